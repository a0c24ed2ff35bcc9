// Floor of the start-up benchmark: a bare window of a program linked with Qt WebEngine that
// opens no page. Linking alone loads the engine's libraries and makes a shared GL context.
#include <QApplication>
#include <QMainWindow>
#include <QWebEngineView>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("floor"));
    window.resize(793, 509);
    // Never true: keeps the engine linked without opening a page.
    if (argc > 1000)
        window.setCentralWidget(new QWebEngineView);
    window.show();
    return app.exec();
}
