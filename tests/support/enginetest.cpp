#include "enginetest.h"

#include "navigation/addressbar.h"

#include <QProcess>
#include <QSignalSpy>

void EngineTest::makeProgram(const QByteArray &config)
{
    app.reset();
    app = std::make_unique<AppFixture>(config, &engine);
}

TEmbeddedWB *EngineTest::open(const QString &address)
{
    app->addressBar()->openAddress(address);
    TEmbeddedWB *page = active();
    if (!QTest::qWaitFor([&] { return !page->Busy() && page->LocationURL() == address; }, 20000))
        return nullptr;
    return page;
}

bool EngineTest::waitLoaded(TEmbeddedWB *page, int ms)
{
    QSignalSpy done(page, &TEmbeddedWB::DocumentComplete);
    return done.wait(ms);
}

QVariant EngineTest::evaluate(TEmbeddedWB *page, const QString &script)
{
    QVariant result;
    bool finished = false;
    page->runDocumentScript(script, [&](const QVariant &value) {
        result = value;
        finished = true;
    });
    return QTest::qWaitFor([&] { return finished; }, 10000) ? result : QVariant();
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
