// Floor of the pages benchmark: bare QWebEngineViews in tabs, one shown, opening the same
// page N times. Says when all have loaded and the PSS of the process tree.
//   pages_floor N URL
// BENCH_NUMBERED=1: page i loads URL followed by i. Ctrl+Q and Ctrl+M go to the previous and
// the next page, as in sablix.
#include "processmemory.h"

#include <QApplication>
#include <QMainWindow>
#include <QShortcut>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineView>


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

    QObject::connect(new QShortcut(QKeySequence(QStringLiteral("Ctrl+Q")), &window), &QShortcut::activated, [tabs] {
        tabs->setCurrentIndex((tabs->currentIndex() + tabs->count() - 1) % tabs->count());
    });
    QObject::connect(new QShortcut(QKeySequence(QStringLiteral("Ctrl+M")), &window), &QShortcut::activated,
                     [tabs] { tabs->setCurrentIndex((tabs->currentIndex() + 1) % tabs->count()); });
    const bool numbered = qEnvironmentVariableIsSet("BENCH_NUMBERED");

    LoadCounter counter(count);
    QTimer::singleShot(qEnvironmentVariableIntValue("BENCH_OPEN_AFTER_MS"), [&] {
        counter.opened.start();
        for (int i = 0; i < count; ++i) {
            auto *view = new QWebEngineView;
            view->setPage(new QWebEnginePage(profile, view));
            QObject::connect(view, &QWebEngineView::loadFinished, [&] { counter.pageLoaded(); });
            tabs->addTab(view, QStringLiteral("page"));
            if (QWidget *current = tabs->currentWidget(); current != view)
                view->setGeometry(current->geometry());
            view->load(numbered ? QUrl(url.toString() + QString::number(i)) : url);
        }
    });
    const int result = app.exec();
    delete tabs;
    delete profile;
    return result;
}
