// A second floor of the start-up benchmark: a bare Qt Widgets window with what any window
// in Chinese shows at once (a tool bar with a label and an edit box, a status bar), so that
// the cost of its fonts is seen apart from the rest of sablix's window.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QStatusBar>
#include <QToolBar>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("floor 浏览器"));
    QToolBar *bar = window.addToolBar(QStringLiteral("地址"));
    bar->addWidget(new QLabel(QStringLiteral("地址")));
    bar->addWidget(new QLineEdit(QStringLiteral("about:blank")));
    window.statusBar()->showMessage(QStringLiteral("完成"));
    window.resize(793, 509);
    window.show();
    return app.exec();
}
