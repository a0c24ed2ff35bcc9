// Floor of the pages benchmark: bare QWebEngineViews in tabs, one shown, opening the same
// page N times. Prints the time until all have loaded and the PSS of the process tree.
//   pages_floor N URL
#include "processmemory.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const int count = QString::fromLocal8Bit(argv[1]).toInt();
    const QUrl url(QString::fromLocal8Bit(argv[2]));

    auto *profile = new QWebEngineProfile(QStringLiteral("floor"));
    QMainWindow window;
    auto *tabs = new QTabWidget;
    window.setCentralWidget(tabs);
    window.resize(1024, 768);
    window.show();

    QElapsedTimer timer;
    int loaded = 0;
    QTimer::singleShot(0, [&] {
        timer.start();
        for (int i = 0; i < count; ++i) {
            auto *view = new QWebEngineView;
            view->setPage(new QWebEnginePage(profile, view));
            QObject::connect(view, &QWebEngineView::loadFinished, [&] {
                if (++loaded == count) {
                    std::printf("loaded %.1f\n", double(timer.nsecsElapsed()) / 1e6);
                    std::fflush(stdout);
                    QTimer::singleShot(2000, [&] {
                        std::printf("pss_mib %.1f\n", treePssMiB());
                        std::fflush(stdout);
                        app.quit();
                    });
                }
            });
            tabs->addTab(view, QStringLiteral("page"));
            if (QWidget *current = tabs->currentWidget(); current != view)
                view->setGeometry(current->geometry());
            view->load(url);
        }
    });
    const int result = app.exec();
    delete tabs;
    delete profile;
    return result;
}
