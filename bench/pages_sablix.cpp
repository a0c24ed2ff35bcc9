// The pages benchmark on sablix itself: the program's own windows and page collection,
// the engine plugin, N pages of one address opened as new pages. Says when all have loaded
// and the PSS of the process tree.
//   pages_sablix N URL
#include "app/applicationsetup.h"
#include "app/mainform.h"
#include "app/program.h"
#include "engine/embeddedwb.h"
#include "engine/engineloader.h"
#include "pages/formwebbrowser.h"
#include "processmemory.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

int main(int argc, char *argv[])
{
    ApplicationSetup::beforeApplication();
    QApplication app(argc, argv);
    ApplicationSetup::afterApplication(app);
    if (argc < 3)
        return 2;
    const int count = QString::fromLocal8Bit(argv[1]).toInt();
    const QString url = QString::fromLocal8Bit(argv[2]);

    QTemporaryDir folder;
    EngineLoader engine;
    auto program = std::make_unique<Program>(folder.path() + QLatin1Char('/'), &engine);
    TQORMainForm *main = program->mainForm();
    TFormWebbrowser *pages = program->pages();
    main->setWindowState(Qt::WindowNoState);
    main->resize(1024, 768);
    main->show();

    LoadCounter counter(count);
    QTimer::singleShot(0, [&] {
        for (int i = 0; i < count; ++i) {
            pages->OpenUrlInNewPage(url);
            TEmbeddedWB *browser = pages->page(pages->newPageIndex())->browser;
            QObject::connect(browser, &TEmbeddedWB::DocumentComplete, [&, browser] {
                if (browser->property("counted").toBool() || browser->LocationURL() != url)
                    return;
                browser->setProperty("counted", true);
                counter.pageLoaded();
            });
        }
    });
    const int result = app.exec();
    program->releasePages();
    engine.shutdown();
    program.reset();
    return result;
}
