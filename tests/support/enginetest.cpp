#include "enginetest.h"

#include "navigation/addressbar.h"

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
    return QTest::qWaitFor([&] { return answer->finished; }, 10000) ? answer->value : QVariant();
}

bool EngineTest::showActive()
{
    app->main->show();
    app->main->activateWindow();
    return QTest::qWaitForWindowActive(app->main);
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
    return process.waitForFinished(10000) && process.exitCode() == 0;
}

bool EngineTest::clickAt(const QPoint &screen, int button)
{
    return xdotool({QStringLiteral("mousemove"), QString::number(screen.x()), QString::number(screen.y()),
                    QStringLiteral("click"), QString::number(button)});
}
