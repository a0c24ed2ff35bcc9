#include "appfixture.h"
#include "engine/internetoptions.h"
#include "tabs/pagetabs.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTabBar>
#include <QTabWidget>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

// The tab commands, the strip's mouse and the refresh after a change of page.
class TestPageTabs : public QObject
{
    Q_OBJECT

private:
    static void openPages(AppFixture &app, int n)
    {
        for (int i = 0; i < n; ++i)
            app.openPage(QStringLiteral("p%1.example").arg(i), QStringLiteral("P%1").arg(i));
    }
    static QTabBar *bar(AppFixture &app) { return app.widget<QTabWidget>("PageControl")->tabBar(); }
    static void press(AppFixture &app, Qt::MouseButton button, int tab)
    {
        QTest::mousePress(bar(app), button, Qt::NoModifier, bar(app)->tabRect(tab).center());
        QTest::mouseRelease(bar(app), button, Qt::NoModifier, bar(app)->tabRect(tab).center());
    }

    static void dblClickEmpty(AppFixture &app)
    {
        app.main->show();
        const QPoint beside(app.widget<QTabWidget>("PageControl")->width() - 5, app.pages->count() == 0 ? 20 : bar(app)->height() / 2);
        QTest::mouseDClick(app.widget<QTabWidget>("PageControl"), Qt::LeftButton, Qt::NoModifier, beside);
    }

private slots:
    void newBlankPageIsActiveWithTheAddressBoxReady()
    {
        AppFixture app;
        openPages(app, 1);
        app.main->show();
        app.main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.main));
        app.status()->showMessage(QStringLiteral("x"));
        app.item("NAddNewBlank")->trigger();
        QCOMPARE(app.pages->count(), 2);
        QCOMPARE(app.pages->activeIndex(), 1);
        QCOMPARE(app.addressText(), QStringLiteral("about:blank"));
        QCOMPARE(app.statusText(0), QString());
        QVERIFY(app.widget<QComboBox>("CBURL")->hasFocus());
        QCOMPARE(app.widget<QComboBox>("CBURL")->lineEdit()->selectedText(), QStringLiteral("about:blank"));
    }

    void homePageOpensInANewBlankPage()
    {
        InternetOptions::setHomePage(QStringLiteral("http://home.example/"));
        AppFixture app;
        openPages(app, 1);
        app.item("NAddNewHomePage")->trigger();
        QCOMPARE(app.pages->count(), 2);
        QCOMPARE(app.active()->calls.last(), QStringLiteral("GoHome"));
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://home.example/"));
        InternetOptions::setHomePage(QString());
        QCOMPARE(InternetOptions::homePage(), QStringLiteral("about:blank"));
    }

    void copyCurrentPage()
    {
        AppFixture app;
        openPages(app, 1);
        app.item("NCopyCurrentPage")->trigger();
        QCOMPARE(app.pages->count(), 2);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://p0.example"));
        app.setAddressText(QStringLiteral(" about:blank "));
        app.item("NCopyCurrentPage")->trigger();
        QCOMPARE(app.pages->count(), 3);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("about:blank"));
    }

    void closeAll()
    {
        AppFixture app;
        int asked = 0;
        bool answer = false;
        app.tabs()->confirmCloseAll = [&] {
            ++asked;
            return answer;
        };
        app.item("NAllClose")->trigger();
        QCOMPARE(app.pages->count(), 0);
        openPages(app, 1);
        app.item("NAllClose")->trigger();
        QCOMPARE(asked, 0);
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("about:blank"));
        openPages(app, 2);
        app.item("NAllClose")->trigger();
        QCOMPARE(asked, 1);
        QCOMPARE(app.pages->count(), 3);
        answer = true;
        app.item("NAllClose")->trigger();
        QCOMPARE(asked, 2);
        QCOMPARE(app.pages->count(), 1);
    }

    void closeAllAsksWithTheQuestionBox()
    {
        AppFixture app;
        openPages(app, 2);
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->standardButtons();
            box->button(QMessageBox::No)->click();
        });
        app.item("NAllClose")->trigger();
        QCOMPARE(title, QStringLiteral("询问"));
        QCOMPARE(text, QStringLiteral("确定要关闭全部页面吗？"));
        QCOMPARE(icon, QMessageBox::Information);
        QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(app.pages->count(), 2);
    }

    void previousAndNextDoNotWrap()
    {
        AppFixture app;
        openPages(app, 3);
        app.item("NNextPage")->trigger();
        QCOMPARE(app.pages->activeIndex(), 2);
        app.item("NPreviousPage")->trigger();
        app.item("NPreviousPage")->trigger();
        QCOMPARE(app.pages->activeIndex(), 0);
        app.item("NPreviousPage")->trigger();
        QCOMPARE(app.pages->activeIndex(), 0);
        QCOMPARE(app.addressText(), QStringLiteral("http://p0.example"));
        app.item("NNextPage")->trigger();
        QCOMPARE(app.pages->activeIndex(), 1);
        QCOMPARE(app.statusText(0), QStringLiteral(">>P1<http://p1.example>"));
    }

    void stopAndRefreshNeedADocument()
    {
        AppFixture app;
        app.item("NRefresh")->trigger();
        app.pages->NewPage(2);
        app.item("NRefresh")->trigger();
        app.item("NStop")->trigger();
        QVERIFY(app.active()->calls.filter(QRegularExpression("^(Refresh|Stop)$")).isEmpty());
        app.active()->setDocument(true);
        app.main->findChild<QAction *>(QStringLiteral("ActionNRefresh"))->trigger();
        app.main->findChild<QAction *>(QStringLiteral("ActionNStop"))->trigger();
        QCOMPARE(app.active()->calls.filter(QRegularExpression("^(Refresh|Stop)$")), (QStringList{"Refresh", "Stop"}));
        // The tool bar's buttons do what the commands do.
        app.widget<QToolButton>("SBRefresh")->click();
        app.widget<QToolButton>("SBStop")->click();
        QCOMPARE(app.active()->calls.filter(QRegularExpression("^(Refresh|Stop)$")),
                 (QStringList{"Refresh", "Stop", "Refresh", "Stop"}));
        app.widget<QToolButton>("SBAddNew")->click();
        QCOMPARE(app.pages->count(), 2);
        app.widget<QToolButton>("SBCloseCurrentPage")->click();
        QCOMPARE(app.pages->count(), 1);
    }

    void clickingATabShowsItsPage()
    {
        AppFixture app;
        openPages(app, 3);
        app.main->show();
        QTest::mouseClick(bar(app), Qt::LeftButton, Qt::NoModifier, bar(app)->tabRect(0).center());
        QCOMPARE(app.pages->activeIndex(), 0);
        QTRY_COMPARE(app.addressText(), QStringLiteral("http://p0.example"));
        QCOMPARE(app.statusText(0), QStringLiteral(">>P0<http://p0.example>"));
    }

    void middlePressClosesAnyTabButTheFirst()
    {
        AppFixture app;
        openPages(app, 3);
        app.main->show();
        press(app, Qt::MiddleButton, 0);
        QCOMPARE(app.pages->count(), 3);
        press(app, Qt::MiddleButton, 1);
        QCOMPARE(app.pages->count(), 2);
        QCOMPARE(app.browser(1)->LocationURL(), QStringLiteral("http://p2.example"));
    }

    void doubleClickClosesTheTabUnderThePointer()
    {
        AppFixture app;
        openPages(app, 2);
        app.main->show();
        QTest::mouseDClick(bar(app), Qt::LeftButton, Qt::NoModifier, bar(app)->tabRect(0).center());
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.browser(0)->LocationURL(), QStringLiteral("http://p1.example"));
        // The first and only page is blanked, as closing it does.
        QTest::mouseDClick(bar(app), Qt::LeftButton, Qt::NoModifier, bar(app)->tabRect(0).center());
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.browser(0)->pendingAddress(), QStringLiteral("about:blank"));
    }

    void tabPopupActsOnTheRightClickedTab()
    {
        AppFixture app;
        openPages(app, 3);
        app.main->show();
        QTest::mousePress(bar(app), Qt::RightButton, Qt::NoModifier, bar(app)->tabRect(0).center());
        app.widget<QMenu>("PopupMenuPcl")->hide();
        QCOMPARE(app.tabs()->rightClickedTab(), 0);
        app.item("NRRefresh")->trigger();
        QCOMPARE(app.browser(0)->calls.last(), QStringLiteral("Refresh"));
        app.item("PopupMenuCloseCurrent")->trigger();
        QCOMPARE(app.pages->count(), 2);
        QCOMPARE(app.browser(0)->LocationURL(), QStringLiteral("http://p1.example"));

        // A press beside the tabs makes the popup's commands do nothing.
        const QPoint beside(app.widget<QTabWidget>("PageControl")->width() - 5, bar(app)->height() / 2);
        QTest::mousePress(app.widget<QTabWidget>("PageControl"), Qt::RightButton, Qt::NoModifier, beside);
        app.widget<QMenu>("PopupMenuPcl")->hide();
        QCOMPARE(app.tabs()->rightClickedTab(), -1);
        app.item("PopupMenuCloseCurrent")->trigger();
        QCOMPARE(app.pages->count(), 2);
    }

    void doubleClickOnTheEmptyClientArea()
    {
        AppFixture app;
        dblClickEmpty(app);
        QCOMPARE(app.pages->count(), 1);
        dblClickEmpty(app);
        QCOMPARE(app.pages->count(), 2);
        // A never-navigated blank page has three blanks on each side: another page opens.
        QCOMPARE(app.pages->page(1)->caption(), QStringLiteral("   空白页   "));
        dblClickEmpty(app);
        QCOMPARE(app.pages->count(), 3);
        // A page titled "空白页" has two: the double-click closes it.
        emit app.browser(2)->TitleChange(QStringLiteral("空白页"));
        QCOMPARE(app.pages->page(2)->caption(), QStringLiteral("  空白页  "));
        dblClickEmpty(app);
        QCOMPARE(app.pages->count(), 2);
    }

    void refreshShowsTheActivePage()
    {
        AppFixture app;
        openPages(app, 2);
        ScriptedBrowser *first = app.browser(0);
        first->setBusy(true);
        first->setTextSize(4);
        app.pages->activatePage(0);
        QSignalSpy shown(app.pages, &TFormWebbrowser::activePageShown);
        app.tabs()->PageChangeRefresh();
        QCOMPARE(app.addressText(), QStringLiteral("http://p0.example"));
        QCOMPARE(app.statusText(0), QStringLiteral(">>正在连接地址:<http://p0.example>"));
        QVERIFY(app.item("NLargest")->isChecked());
        QCOMPARE(shown.size(), 1);
        QVERIFY(!shown.last().at(0).value<ActivePageState>().idle());

        first->setBusy(false);
        first->commitNavigation(QStringLiteral("init.htm"));
        app.tabs()->PageChangeRefresh();
        // The start page is not asked for its text size: the answer counts as 0.
        QVERIFY(app.item("NSmallest")->isChecked());
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.last().at(0).value<ActivePageState>().idle());
    }

    void refreshOfABlankPageReadiesTheAddressBox()
    {
        AppFixture app;
        app.pages->NewPage(0);
        app.setAddressText(QStringLiteral("left over"));
        app.status()->showMessage(QStringLiteral("left over"));
        app.tabs()->PageChangeRefresh();
        QCOMPARE(app.addressText(), QStringLiteral("about:blank"));
        QCOMPARE(app.statusText(0), QString());
    }

};

QTEST_MAIN(TestPageTabs)
#include "tst_pagetabs.moc"
