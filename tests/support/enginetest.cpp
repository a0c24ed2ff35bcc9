#include "enginetest.h"

#include "navigation/addressbar.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QSignalSpy>

#include <memory>

void EngineTest::makeProgram(const QByteArray &config)
{
    app.reset();
    app = std::make_unique<AppFixture>(config, &engine);
}

TEmbeddedWB *EngineTest::open(const QString &address)
{
    app->addressBar()->openAddress(address);
    TEmbeddedWB *page = active();
    return waitFor([&] { return !page->Busy() && page->LocationURL() == address; }) ? page : nullptr;
}

void EngineTest::serveCookiePages(const QByteArray &setCookieHeaders)
{
    TestHttpServer::Page cookies;
    cookies.body = "<html><head><title>Cookies</title></head><body>set</body></html>";
    cookies.headers = setCookieHeaders;
    server.setPage("/setcookie.html", cookies);
    server.setPage("/echo.html", "<html><head><title>Echo</title></head><body>echo</body></html>");
}

TEmbeddedWB *EngineTest::openShown(const char *path)
{
    TEmbeddedWB *page = open(url(path));
    return page && readyForInput(page) ? page : nullptr;
}

bool EngineTest::follow(const char *path)
{
    TEmbeddedWB *page = open(url("/links.html"));
    return page && evaluate(page, QStringLiteral("var a=document.createElement('a');a.href='%1';"
                                                 "document.body.appendChild(a);a.click();true")
                                      .arg(QLatin1String(path)))
                       .toBool();
}

bool EngineTest::waitFor(const std::function<bool()> &done, int ms)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    look.start(10);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

bool EngineTest::waitLoaded(TEmbeddedWB *page, int ms)
{
    QSignalSpy done(page, &TEmbeddedWB::DocumentComplete);
    return done.wait(ms);
}

QVariant EngineTest::evaluate(TEmbeddedWB *page, const QString &script)
{
    // The answer may come after the wait gave up (a page held in a dialog): it lands in
    // state that outlives this call.
    struct Answer
    {
        QVariant value;
        bool finished = false;
    };
    auto answer = std::make_shared<Answer>();
    page->runDocumentScript(script, [answer](const QVariant &value) {
        answer->value = value;
        answer->finished = true;
    });
    return waitFor([&] { return answer->finished; }, 10000) ? answer->value : QVariant();
}

bool EngineTest::showActive()
{
    app->main->show();
    app->main->activateWindow();
    return waitFor([&] { return app->main->isActiveWindow(); }, 10000);
}

bool EngineTest::readyForInput(TEmbeddedWB *page)
{
    if (!showActive() || !waitFor([&] { return inputWidget(page) && inputWidget(page)->isVisible(); }, 10000))
        return false;
    // The engine drops clicks, keys and wheel turns that reach a page before it has drawn
    // something worth seeing (pointer moves excepted), however long the window has been
    // shown: the wheel is turned up over the page, which at the top of a page does
    // nothing, until the page sees it.
    evaluate(page, QStringLiteral("window.sablixWheelSeen = false; if (!window.sablixWheelProbe) { window.sablixWheelProbe = true;"
                                  " window.addEventListener('wheel', function() { window.sablixWheelSeen = true; }, true); } true"));
    QWidget *input = inputWidget(page);
    const QPoint centre = input->mapToGlobal(input->rect().center());
    QElapsedTimer since;
    since.start();
    while (since.elapsed() < 20000) {
        if (!clickAt(centre, 4))
            return false;
        if (waitFor([&] { return evaluate(page, QStringLiteral("window.sablixWheelSeen === true")).toBool(); }, 500))
            return true;
    }
    return false;
}

bool EngineTest::roundTrip(TEmbeddedWB *page)
{
    // A timer task of the page's: it runs after the tasks the page had queued, and its
    // answer comes back after what the page sent before it.
    evaluate(page, QStringLiteral("window.sablixRoundTrip = false; setTimeout(function() { window.sablixRoundTrip = true; }, 0); true"));
    return waitFor([&] { return evaluate(page, QStringLiteral("window.sablixRoundTrip === true")).toBool(); });
}

QWidget *EngineTest::inputWidget(TEmbeddedWB *page)
{
    QWidget *view = page->focusProxy();
    return view && view->focusProxy() ? view->focusProxy() : view;
}

QPoint EngineTest::screenPointOf(TEmbeddedWB *page, const QString &selector)
{
    const QVariantList box = evaluate(page, QStringLiteral("(function(){var r=document.querySelector(%1)"
                                                           ".getBoundingClientRect();return [r.left+r.width/2,r.top+r.height/2];})()")
                                                .arg(QStringLiteral("'") + selector + QStringLiteral("'")))
                                 .toList();
    if (box.size() != 2)
        return {};
    QWidget *input = inputWidget(page);
    return input->mapToGlobal(QPoint(int(box[0].toDouble()), int(box[1].toDouble())));
}

bool EngineTest::xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    // Not waitForFinished: it would hold the thread, and with it the engine's answers to
    // the very input being sent.
    const bool ended = waitFor([&] { return process.state() == QProcess::NotRunning; }, 10000);
    return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool EngineTest::clickAt(const QPoint &screen, int button)
{
    return xdotool({QStringLiteral("mousemove"), QString::number(screen.x()), QString::number(screen.y()),
                    QStringLiteral("click"), QString::number(button)});
}
