#include "adblock/popupfilter.h"
#include "window/hotkeys.h"
#include "window/messagefilter.h"
#include "core/runprocess.h"
#include "navigation/addressbox.h"
#include "appfixture.h"
#include "statusbar/setform.h"
#include "tabs/recentlyclosed.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

// Application messages: Enter in pages, pages closing themselves, middle clicks, the hot
// keys' commands, and the workers.
namespace {

// The question at close, answered by the test.
struct Guard : CloseGuard
{
    explicit Guard(std::function<bool()> answer) : answer(std::move(answer)) {}
    bool mayClose() override { return answer(); }
    std::function<bool()> answer;
};

} // namespace

class TestMessageFilter : public QObject
{
    Q_OBJECT

private slots:
    void enterInsideThePageIsNeverAShortcut()
    {
        AppFixture app;
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        QKeyEvent inPage(QEvent::ShortcutOverride, Qt::Key_Return, Qt::NoModifier);
        inPage.ignore();
        QApplication::sendEvent(page, &inPage);
        QVERIFY(inPage.isAccepted());
        QKeyEvent letter(QEvent::ShortcutOverride, Qt::Key_E, Qt::ControlModifier);
        letter.ignore();
        QApplication::sendEvent(page, &letter);
        QVERIFY(!letter.isAccepted());
        QKeyEvent outside(QEvent::ShortcutOverride, Qt::Key_Return, Qt::NoModifier);
        outside.ignore();
        QApplication::sendEvent(app.widget<QTabWidget>("PageControl"), &outside);
        QVERIFY(!outside.isAccepted());
    }

    void theActivePageClosingItselfClosesTheAllowanceAndGoes()
    {
        AppFixture app;
        QVERIFY(app.showActive());
        app.openPage(QStringLiteral("a.example"), QStringLiteral("A"));
        ScriptedBrowser *closer = app.openPage(QStringLiteral("closer.example"), QStringLiteral("Closer"));
        app.popupFilter()->openAllowance(5000);
        QVERIFY(app.popupFilter()->allowanceOpen());
        emit closer->CloseQuery();
        QVERIFY(!app.popupFilter()->allowanceOpen());
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.recentlyClosed()->entries().last().address, QStringLiteral("http://closer.example"));
        // The window follows the page that is active now.
        QCOMPARE(app.addressText(), QStringLiteral("http://a.example"));
        // Asked twice (a script in a loop): the second ask finds no page and does nothing.
        emit closer->CloseQuery();
        QCOMPARE(app.pages->count(), 1);
    }

    void aBackgroundPageClosingItselfLeavesTheRest()
    {
        AppFixture app;
        ScriptedBrowser *opener = app.openPage(QStringLiteral("a.example"), QStringLiteral("A"));
        app.pages->OpenUrlInNewPage(QStringLiteral("http://popup.example/"));
        ScriptedBrowser *popup = app.browser(1);
        app.popupFilter()->openAllowance(5000);
        emit popup->CloseQuery();
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.active(), opener);
        // Only the active page's own close spends the allowance.
        QVERIFY(app.popupFilter()->allowanceOpen());
        QCOMPARE(app.recentlyClosed()->entries().last().address, QStringLiteral("http://popup.example/"));
    }

    void aMiddleClickedLinkOpensOnceInTheBackground()
    {
        AppFixture app;
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        const auto played = page->requestNewWindow(QStringLiteral("http://link.example/"), true);
        QVERIFY(!played.opened);
        QCOMPARE(app.pages->count(), 2);
        QCOMPARE(app.active(), page);
        QCOMPARE(app.browser(1)->LocationURL(), QStringLiteral("http://link.example/"));
        // An element without an address.
        page->requestNewWindow(QStringLiteral("  "), true);
        QCOMPARE(app.pages->count(), 2);
    }

    void theYKeyHidesAndShows()
    {
        AppFixture app("[RunData]\r\nWindowMax=0\r\n");
        app.main->showAsConfigured();
        QVERIFY(QTest::qWaitForWindowExposed(app.main));
        GlobalHotKeys *keys = app.program->hotKeys();
        emit keys->pressed(GlobalHotKeys::KeyY);
        QVERIFY(!app.main->isVisible());
        QVERIFY(!app.clock()->clockRunning());
        emit keys->pressed(GlobalHotKeys::KeyY);
        QVERIFY(app.main->isVisible());
        QVERIFY(app.clock()->clockRunning());
        QCOMPARE(app.main->windowStateValue(), int(TQORMainForm::StateBroughtUp));

        app.main->showMinimized();
        QTRY_COMPARE(app.main->windowStateValue(), int(TQORMainForm::StateMinimized));
        emit keys->pressed(GlobalHotKeys::KeyY);
        QTRY_VERIFY(!(app.main->windowState() & Qt::WindowMinimized));
        QVERIFY(app.main->isVisible());
    }

    // The boss key: at once, no question, and the orderly close's lists and settings.
    void theKKeyClosesInOrderWithoutAQuestion()
    {
        AppFixture app("[RunData]\r\nWindowMax=0\r\nTrueClose=0\r\n");
        int asked = 0;
        Guard guard([&asked] {
            ++asked;
            return false;
        });
        app.main->setCloseGuard(&guard);
        app.main->showAsConfigured();
        QVERIFY(QTest::qWaitForWindowExposed(app.main));
        app.openPage(QStringLiteral("http://one.example/"), QStringLiteral("One"));
        app.openPage(QStringLiteral("http://two.example/"), QStringLiteral("Two"));
        app.program->addressBox()->appendHistory(QStringLiteral("http://typed.example/"));
        QSignalSpy closed(app.main, &TQORMainForm::closed);
        emit app.program->hotKeys()->pressed(GlobalHotKeys::KeyK);
        QVERIFY(!app.main->isVisible());
        QVERIFY(closed.wait(2000));
        QCOMPARE(asked, 0);
        QCOMPARE(app.configValue(QStringLiteral("TrueClose")), QStringLiteral("1"));
        QVERIFY(app.lines(QStringLiteral("Data/Url.lst")).contains(QStringLiteral("http://typed.example/")));
        QVERIFY(app.exists(QStringLiteral("Data/SearchHistory.lst")));
        const QStringList open = app.lines(QStringLiteral("Data/OpenURLList.lst"));
        QCOMPARE(open.size(), 2);
        QVERIFY(open[0].endsWith(QStringLiteral("http://one.example/")));
        QVERIFY(open[1].endsWith(QStringLiteral("http://two.example/")));
    }

    // Pressed while the close waits on its question, the boss key still ends the program.
    void theKKeyEndsAWaitingClose()
    {
        AppFixture app("[RunData]\r\nWindowMax=0\r\n");
        QSignalSpy closing(app.main, &TQORMainForm::closing);
        QSignalSpy closed(app.main, &TQORMainForm::closed);
        bool answered = false;
        Guard guard([&] {
            // The question is open: the key comes in its event loop.
            emit app.program->hotKeys()->pressed(GlobalHotKeys::KeyK);
            answered = QTest::qWaitFor([&] { return !closed.isEmpty(); }, 2000);
            return false; // "keep running", said too late
        });
        app.main->setCloseGuard(&guard);
        app.main->showAsConfigured();
        QVERIFY(QTest::qWaitForWindowExposed(app.main));
        app.main->close();
        QVERIFY(answered);
        QCOMPARE(closing.size(), 1);
        QCOMPARE(app.configValue(QStringLiteral("TrueClose")), QStringLiteral("1"));
    }

    void workersRunTheTaskTheyWereGiven()
    {
        std::atomic<int> ran{0};
        RunProcess *cleaning = RunProcess::start('J', [&ran] { ran += 1; });
        RunProcess *unknown = RunProcess::start('z', [&ran] { ran += 100; });
        QCOMPARE(cleaning->taskCode(), 'J');
        QCOMPARE(unknown->taskCode(), 'z');
        QSignalSpy cleaningDone(cleaning, &QObject::destroyed);
        QSignalSpy unknownDone(unknown, &QObject::destroyed);
        QVERIFY(cleaningDone.wait(2000) || cleaningDone.size() == 1);
        QVERIFY(unknownDone.size() == 1 || unknownDone.wait(2000));
        QCOMPARE(ran.load(), 1);

        auto allowance = std::make_shared<std::atomic<bool>>(false);
        RunProcess::startAllowance(allowance, 100);
        QVERIFY(allowance->load());
        QTRY_VERIFY_WITH_TIMEOUT(!allowance->load(), 2000);

        // Closed at once (a popup let through), before its worker has even started: it stays
        // closed all through the worker's sleep.
        QPointer<RunProcess> worker = RunProcess::startAllowance(allowance, 400);
        allowance->store(false);
        bool reopened = false;
        QTRY_VERIFY_WITH_TIMEOUT((reopened = reopened || allowance->load(), worker.isNull()), 5000);
        QVERIFY(!reopened);
    }

    void comingBackToTheProgramFocusesThePageUnlessTheUserTypes()
    {
        AppFixture app;
        QVERIFY(app.showActive());
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        app.widget<QComboBox>("CBURL")->setFocus();
        QTRY_VERIFY(app.widget<QComboBox>("CBURL")->hasFocus());
        page->calls.clear();
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        QVERIFY(page->calls.isEmpty());
        app.widget<QTabWidget>("PageControl")->setFocus();
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        QCOMPARE(page->calls, QStringList{QStringLiteral("FocusDocument")});
    }
};

QTEST_MAIN(TestMessageFilter)
#include "tst_messagefilter.moc"
