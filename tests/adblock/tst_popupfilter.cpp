#include "adblock/popupfilter.h"
#include "adblock/popupnotice.h"
#include "appfixture.h"
#include "tabs/pagetabs.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QToolButton>

// The popup decision with the scripted engine: the two rules, the click allowance that
// clicks into the page open, the switch, and the notice a dropped window leaves.
class TestPopupFilter : public QObject
{
    Q_OBJECT

private:
    static void click(QWidget *page, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mousePress(page, button, Qt::NoModifier, QPoint(5, 5));
        QTest::mouseRelease(page, button, Qt::NoModifier, QPoint(5, 5));
    }

private slots:
    void aBackgroundPageNeverOpensAWindow()
    {
        AppFixture app;
        QVERIFY(app.showActive());
        ScriptedBrowser *background = app.openPage(QStringLiteral("bg.example"));
        ScriptedBrowser *front = app.openPage(QStringLiteral("front.example"));
        click(front);
        QVERIFY(app.popupFilter()->allowanceOpen());
        QVERIFY(!background->requestNewWindow(QStringLiteral("http://pop.example/")).opened);
        QCOMPARE(app.pages->count(), 2);
        // The allowance was not spent on it.
        QVERIFY(front->requestNewWindow(QStringLiteral("http://pop.example/")).opened);
        QCOMPARE(app.pages->count(), 3);
    }

    void noWindowBeforeTheFirstClickAndOneWindowPerClick()
    {
        AppFixture app;
        QVERIFY(app.showActive());
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        QVERIFY(!page->requestNewWindow(QStringLiteral("http://early.example/")).opened);
        click(page);
        const auto first = page->requestNewWindow(QStringLiteral("http://one.example/"));
        QVERIFY(first.opened);
        QVERIFY(!page->requestNewWindow(QStringLiteral("http://two.example/")).opened);
        QCOMPARE(app.pages->count(), 2);
        // In the background, placed after the active page.
        QCOMPARE(app.pages->activeIndex(), 0);
        QCOMPARE(first.target, app.pages->page(1)->browser());
    }

    void aRightReleaseInsideThePageOpensTheLongerAllowance()
    {
        AppFixture app("[RunData]\r\nRClickSleepTime=400\r\nLClickSleepTime=100\r\n");
        QVERIFY(app.showActive());
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        // Outside the page: nothing.
        QTest::mouseRelease(static_cast<QWidget *>(app.widget<QComboBox>("CBURL")), Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        QVERIFY(!app.popupFilter()->allowanceOpen());
        QTest::mousePress(page, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        QVERIFY(!app.popupFilter()->allowanceOpen());
        QElapsedTimer clock;
        clock.start();
        QTest::mouseRelease(page, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        QVERIFY(app.popupFilter()->allowanceOpen());
        QTRY_VERIFY_WITH_TIMEOUT(!app.popupFilter()->allowanceOpen(), 2000);
        // Open for the right click's time, not the left one's.
        QVERIFY2(clock.elapsed() >= 350, qPrintable(QString::number(clock.elapsed())));
    }

    // Each click starts its own worker; the first to wake closes the allowance.
    void theFirstClicksAllowanceEndsIt()
    {
        AppFixture app("[RunData]\r\nLClickSleepTime=1000\r\n");
        QVERIFY(app.showActive());
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        QElapsedTimer clock;
        clock.start();
        click(page);
        QTest::qWait(600);
        click(page);
        QTRY_VERIFY_WITH_TIMEOUT(!app.popupFilter()->allowanceOpen(), 3000);
        const qint64 closedAfter = clock.elapsed();
        QVERIFY2(closedAfter >= 950 && closedAfter < 1550, qPrintable(QString::number(closedAfter)));
    }

    void withTheFilterOffEveryRequestOpensInTheBackground()
    {
        AppFixture app("[RunData]\r\nStopPopup=0\r\n");
        QVERIFY(!app.item("NStopPopup")->isChecked());
        ScriptedBrowser *background = app.openPage(QStringLiteral("bg.example"));
        ScriptedBrowser *front = app.openPage(QStringLiteral("front.example"));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(background->requestNewWindow(QStringLiteral("http://a%1.example/").arg(i)).opened);
            QVERIFY(front->requestNewWindow(QStringLiteral("http://b%1.example/").arg(i)).opened);
        }
        QCOMPARE(app.pages->count(), 8);
        QCOMPARE(app.pages->activePage()->browser(), front);
    }

    void theSwitchReloadsOrScrubsAndIsStored()
    {
        AppFixture app;
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        page->calls.clear();
        app.item("NStopPopup")->trigger();
        QVERIFY(!app.popupFilter()->isOn());
        QCOMPARE(app.configValue(QStringLiteral("StopPopup")), QStringLiteral("0"));
        QCOMPARE(page->calls, QStringList{QStringLiteral("Refresh")});
        page->calls.clear();
        app.item("NStopPopup")->trigger();
        QVERIFY(app.popupFilter()->isOn());
        QCOMPARE(app.configValue(QStringLiteral("StopPopup")), QStringLiteral("1"));
        QCOMPARE(page->calls.filter(QStringLiteral("Script")).size(), 1);
    }

    void aDroppedWindowLeavesOneNoticeThatCounts()
    {
        AppFixture app;
        QVERIFY(app.showActive());
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        // A page that asks in a loop.
        for (int i = 0; i < 2000; ++i)
            page->requestNewWindow(QStringLiteral("http://loop.example/%1").arg(i));
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.main->findChildren<PopupNoticeBar *>().size(), 1);
        PopupNoticeBar *notice = app.popupFilter()->noticeOf(page);
        QVERIFY(notice);
        QCOMPARE(notice->count(), 2000);
        QTRY_VERIFY(notice->isVisible());
        QTRY_VERIFY(notice->findChild<QLabel *>()->text().contains(QStringLiteral("共 2000 个")));
        QVERIFY(notice->findChild<QLabel *>()->text().startsWith(QStringLiteral("已拦截弹出窗口: http://loop.example/1999")));
        // It never takes the keyboard.
        for (QWidget *part : notice->findChildren<QWidget *>())
            QCOMPARE(part->focusPolicy(), Qt::NoFocus);

        // "打开" opens the last one in the background, as an allowed window would.
        notice->findChild<QToolButton *>(QStringLiteral("PopupNoticeOpen"))->click();
        QCOMPARE(app.pages->count(), 2);
        QCOMPARE(app.pages->activePage()->browser(), page);
        QCOMPARE(app.browser(1)->LocationURL(), QStringLiteral("http://loop.example/1999"));
        QTRY_VERIFY(!app.popupFilter()->noticeOf(page));

        // A new notice goes when the page loads something else; "×" closes one.
        page->requestNewWindow(QStringLiteral("http://again.example/"));
        QVERIFY(app.popupFilter()->noticeOf(page));
        page->commitNavigation(QStringLiteral("http://b.example/"));
        QTRY_VERIFY(!app.popupFilter()->noticeOf(page));
        page->requestNewWindow(QStringLiteral("http://again.example/"));
        app.popupFilter()->noticeOf(page)->findChild<QToolButton *>(QStringLiteral("PopupNoticeClose"))->click();
        QTRY_VERIFY(!app.popupFilter()->noticeOf(page));
        QTRY_COMPARE(app.main->findChildren<PopupNoticeBar *>().size(), 0);
    }

    void aNoticeWaitsForTheMouseButton()
    {
        AppFixture app;
        QVERIFY(app.showActive());
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        QTest::mousePress(page, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        page->requestNewWindow(QStringLiteral("http://pop.example/"));
        PopupNoticeBar *notice = app.popupFilter()->noticeOf(page);
        QTest::qWait(150);
        QVERIFY(!notice->isVisible());
        QTest::mouseRelease(page, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        QTRY_VERIFY(notice->isVisible());
    }
};

QTEST_MAIN(TestPopupFilter)
#include "tst_popupfilter.moc"
