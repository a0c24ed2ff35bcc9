#pragma once

#include "app/applicationsetup.h"
#include "appfixture.h"
#include "engine/engineloader.h"
#include "testhttpserver.h"

#include <QApplication>
#include <QObject>
#include <QPoint>
#include <QTest>
#include <QVariant>

#include <functional>
#include <memory>

// What the tests with the real engine share: the engine, a page server on 127.0.0.1, a
// fresh program for each test, and ways to drive it as a person does (real X input
// through xdotool; the tests run under Xvfb).
class EngineTest : public QObject
{
    Q_OBJECT

protected:
    EngineLoader engine;
    TestHttpServer server;
    std::unique_ptr<AppFixture> app;

    TEmbeddedWB *browser(int index) const { return app->pages->page(index)->browser(); }
    TEmbeddedWB *active() const { return app->pages->activePage()->browser(); }
    QString url(const char *path) const { return server.url(path).toString(); }

    // Makes the program for a test; `config` goes to Config.ini first.
    void makeProgram(const QByteArray &config = {});
    // Goes to an address the way the user does and waits until it has loaded.
    TEmbeddedWB *open(const QString &address);
    // Serves /setcookie.html, which sets cookies by these Set-Cookie header lines, and
    // /echo.html, a plain page whose requests show the cookies sent.
    void serveCookiePages(const QByteArray &setCookieHeaders);
    // Opens a page of the server, shows the window, and waits until the page can take input.
    TEmbeddedWB *openShown(const char *path);
    // Starts a download the way a person does, from a link on the server's /links.html
    // (the test serves it).
    bool follow(const char *path);
    static bool waitLoaded(TEmbeddedWB *page, int ms = 20000);
    // Waits in an event loop that never sleeps: the engine shares this thread, and a fast
    // transfer starves its other work while the thread sleeps between looks, as QTRY_ does.
    static bool waitFor(const std::function<bool()> &done, int ms = 20000);
    QVariant evaluate(TEmbeddedWB *page, const QString &script);
    bool showActive();
    // Shows the window and waits until the page takes input: the window is active, the
    // page's input widget is shown, and input sent to it reaches the page.
    bool readyForInput(TEmbeddedWB *page);
    // A round trip to the page's renderer: what the page sent before it has arrived, and a
    // task the page queued before it has run.
    bool roundTrip(TEmbeddedWB *page);
    // The engine's input widget of a page, where mouse input goes.
    static QWidget *inputWidget(TEmbeddedWB *page);
    // The centre of an element of the page (by CSS selector), on the screen.
    QPoint screenPointOf(TEmbeddedWB *page, const QString &selector);
    // Real X input: xdotool with these arguments; true when it ran. The event loop runs
    // meanwhile: the engine shares this thread.
    static bool xdotool(const QStringList &arguments);
    static bool clickAt(const QPoint &screen, int button = 1);
};

// QTRY_VERIFY and QTRY_COMPARE without their sleeps (see waitFor).
#define WAIT_VERIFY(expr, ms) QVERIFY2(waitFor([&] { return bool(expr); }, ms), #expr)
#define WAIT_COMPARE(actual, expected, ms)                                                                             \
    do {                                                                                                               \
        waitFor([&] { return (actual) == (expected); }, ms);                                                           \
        QCOMPARE(actual, expected);                                                                                    \
    } while (false)

// Runs a test class with the program's own application set-up. QTest adds its variable to the
// environment as it begins, while the desktop settings' thread already reads there: named
// first, it is then set in place (see beforeApplication).
#define SABLIX_ENGINE_TEST_MAIN(TestClass)                                                                             \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        qputenv("QT_QTESTLIB_RUNNING", "1");                                                                           \
        ApplicationSetup::beforeApplication();                                                                         \
        QApplication application(argc, argv);                                                                          \
        ApplicationSetup::afterApplication(application);                                                              \
        TestClass test;                                                                                                \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
