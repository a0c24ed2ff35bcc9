#include "adblock/popupfilter.h"
#include "app/hotkeys.h"
#include "app/messagefilter.h"
#include "app/runprocess.h"
#include "appfixture.h"
#include "statusbar/setform.h"
#include "tabs/recentlyclosed.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

// Application messages: Enter in pages, pages closing themselves, middle clicks, the hot
// keys' commands, and the workers.
class TestMessageFilter : public QObject
{
    Q_OBJECT

private:
    static void showActive(AppFixture &app)
    {
        app.main->show();
        app.main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.main));
    }

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
        QApplication::sendEvent(app.main->PageControl, &outside);
        QVERIFY(!outside.isAccepted());
    }

    void theActivePageClosingItselfClosesTheAllowanceAndGoes()
    {
        AppFixture app;
        showActive(app);
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

    void theYKeyHidesAndShowsAndTheKKeyEnds()
    {
        AppFixture app("[RunData]\r\nWindowMax=0\r\n");
        int ended = 0;
        app.program->endAtOnce = [&ended] { ++ended; };
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

        QCOMPARE(ended, 0);
        const QByteArray config = app.bytes(QStringLiteral("Config.ini"));
        emit keys->pressed(GlobalHotKeys::KeyK);
        QCOMPARE(ended, 1);
        QVERIFY(!app.main->isVisible());
        // Nothing written on the way out.
        QCOMPARE(app.bytes(QStringLiteral("Config.ini")), config);
        QVERIFY(!app.exists(QStringLiteral("Data/Url.lst")));
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
    }

    void comingBackToTheProgramFocusesThePageUnlessTheUserTypes()
    {
        AppFixture app;
        showActive(app);
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        app.main->CBURL->setFocus();
        QTRY_VERIFY(app.main->CBURL->hasFocus());
        page->calls.clear();
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        QVERIFY(page->calls.isEmpty());
        app.main->PageControl->setFocus();
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        QCOMPARE(page->calls, QStringList{QStringLiteral("FocusDocument")});
    }
};

QTEST_MAIN(TestMessageFilter)
#include "tst_messagefilter.moc"
