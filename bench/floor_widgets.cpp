// Floor of the start-up benchmark: a bare Qt Widgets window.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("floor"));
    window.resize(793, 509);
    window.show();
    return app.exec();
}
