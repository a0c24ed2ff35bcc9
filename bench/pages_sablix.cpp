// The pages benchmark on sablix itself: the program's own windows and page collection,
// the engine plugin, N pages of one address opened as new pages. Says when all have loaded
// and the PSS of the process tree.
//   pages_sablix N URL
// BENCH_FORWARDED=1: the addresses arrive as a second instance hands them over, one by one.
// BENCH_REST=1: then every background page rests, and "pss_rested_mib" follows.
// BENCH_ENHANCED_SECURITY=0 or 1: the engine's enhanced security mode off or on (unset: as
// the engine's age has it). BENCH_RUNDATA="Key=Value;...": further settings, to compare.
#include "adblock/filterlists.h"
#include "app/applicationsetup.h"
#include "window/mainform.h"
#include "app/program.h"
#include "engine/embeddedwb.h"
#include "engine/engineloader.h"
#include "instance/forwardingrules.h"
#include "pages/formwebbrowser.h"
#include "statusbar/setform.h"
#include "tabs/pagerest.h"
#include "processmemory.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

int main(int argc, char *argv[])
{
    ApplicationSetup::beforeApplication();
    QApplication app(argc, argv);
    ApplicationSetup::afterApplication(app);
    FilterLists::beginFirstLoad();
    if (argc < 3)
        return 2;
    const int count = QString::fromLocal8Bit(argv[1]).toInt();
    const QString url = QString::fromLocal8Bit(argv[2]);

    QTemporaryDir folder;
    QByteArray runData;
    const QByteArray enhanced = qgetenv("BENCH_ENHANCED_SECURITY");
    if (!enhanced.isEmpty())
        runData += "EnhancedSecurity=" + enhanced + "\r\n";
    for (const QByteArray &setting : qgetenv("BENCH_RUNDATA").split(';'))
        if (!setting.isEmpty())
            runData += setting + "\r\n";
    if (!runData.isEmpty()) {
        QFile config(folder.filePath(QStringLiteral("Config.ini")));
        if (!config.open(QIODevice::WriteOnly) || config.write("[RunData]\r\n" + runData) < 0)
            return 2;
    }
    EngineLoader engine;
    auto program = std::make_unique<Program>(folder.path() + QLatin1Char('/'), &engine);
    program->start();
    TQORMainForm *main = program->mainForm();
    TFormWebbrowser *pages = program->pages();
    main->setWindowState(Qt::WindowNoState);
    main->resize(1024, 768);
    main->show();

    // The idle benchmark's reference: sablix with its status-bar clock stopped.
    if (qEnvironmentVariableIsSet("BENCH_CLOCK_STOPPED"))
        QTimer::singleShot(0, [&] { program->clock()->stopClock(); });

    LoadCounter counter(count);
    const bool forwarded = qEnvironmentVariableIsSet("BENCH_FORWARDED");
    // BENCH_OPEN_AFTER_MS: the pages are asked for once the window has been idle that long,
    // with the engine started in the background as the program does.
    const int openAfter = qEnvironmentVariableIntValue("BENCH_OPEN_AFTER_MS");
    if (openAfter > 0)
        QTimer::singleShot(150, [&engine] { engine.warmUp(); });
    QTimer::singleShot(openAfter, [&] {
        counter.opened.start();
        for (int i = 0; i < count; ++i) {
            // Forwarded addresses that repeat the last one are dropped: each gets its own.
            const QString address = forwarded ? url + QStringLiteral("?n=%1").arg(i) : url;
            if (forwarded)
                program->forwarding()->handle(address);
            else
                pages->OpenUrlInNewPage(address);
            TEmbeddedWB *browser = pages->page(pages->newPageIndex())->browser();
            QObject::connect(browser, &TEmbeddedWB::DocumentComplete, [&counter, browser, address] {
                if (browser->property("counted").toBool() || browser->LocationURL() != address)
                    return;
                browser->setProperty("counted", true);
                counter.pageLoaded();
            });
        }
    });
    if (qEnvironmentVariableIsSet("BENCH_REST")) {
        counter.then = [&](std::function<void()> done) {
            program->pageRest()->memoryLow = [] { return true; };
            program->pageRest()->look();
            QTimer::singleShot(5000, [done] {
                std::printf("pss_rested_mib %.1f\n", treePssMiB());
                std::fflush(stdout);
                done();
            });
        };
    }
    const int result = app.exec();
    program->shutdown();
    engine.shutdown();
    program.reset();
    return result;
}
