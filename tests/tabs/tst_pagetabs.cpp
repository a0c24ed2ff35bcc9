#include "appfixture.h"
#include "engine/internetoptions.h"
#include "tabs/pagetabs.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QDropEvent>
#include "favorites/openpagelists.h"
#include <QPushButton>
#include <QTimer>
#include <QTabBar>
#include <QTabWidget>
#include <QSet>
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

    // A right press on a tab, as the user opens its popup; the popup is closed again.
    static void rightClick(AppFixture &app, int tab)
    {
        QTest::mousePress(bar(app), Qt::RightButton, Qt::NoModifier, bar(app)->tabRect(tab).center());
        app.widget<QMenu>("PopupMenuPcl")->hide();
    }
    static QStringList addresses(AppFixture &app)
    {
        QStringList all;
        for (int i = 0; i < app.pages->count(); ++i)
            all << app.browser(i)->LocationURL();
        return all;
    }
    // What the strip shows on a tab.
    static QString shown(AppFixture &app, int tab) { return app.widget<QTabWidget>("PageControl")->tabText(tab).trimmed(); }
    static QString host(int i) { return QStringLiteral("http://p%1.example").arg(i); }
    // Drags a tab with the mouse, in steps, as a hand does.
    static void drag(AppFixture &app, int from, int to)
    {
        const QPoint start = bar(app)->tabRect(from).center();
        const QPoint end = bar(app)->tabRect(to).center() + QPoint(to > from ? 10 : -10, 0);
        QTest::mousePress(bar(app), Qt::LeftButton, Qt::NoModifier, start);
        for (int step = 1; step <= 10; ++step)
            QTest::mouseMove(bar(app), start + (end - start) * step / 10);
        QTest::mouseRelease(bar(app), Qt::LeftButton, Qt::NoModifier, end);
    }
    static bool drop(AppFixture &app, QMimeData *data, int onTab)
    {
        const QPoint at = onTab >= 0 ? bar(app)->tabRect(onTab).center() : QPoint(bar(app)->width() - 2, 5);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar(app), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(at), Qt::CopyAction | Qt::LinkAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar(app), &dropped);
        return dropped.isAccepted();
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

    // A tab dragged elsewhere takes its page there: Ctrl+Q and Ctrl+M walk the new order and
    // the open-page list follows it at once.
    void draggingATabReordersThePages()
    {
        AppFixture app;
        openPages(app, 4);
        app.main->resize(900, 500);
        QVERIFY(app.showActive());
        drag(app, 0, 2);
        QTRY_COMPARE(addresses(app), QStringList({host(1), host(2), host(0), host(3)}));
        QCOMPARE(app.pages->activeIndex(), 2);
        QCOMPARE(app.active()->LocationURL(), host(0));
        app.item("NPreviousPage")->trigger();
        QCOMPARE(app.active()->LocationURL(), host(2));
        app.item("NNextPage")->trigger();
        app.item("NNextPage")->trigger();
        QCOMPARE(app.active()->LocationURL(), host(3));
        QTRY_COMPARE(app.lines(QStringLiteral("Data/OpenURLList.lst")),
                     QStringList({"P1#" + host(1), "P2#" + host(2), "P0#" + host(0), "P3#" + host(3)}));
        // The captions went with their pages.
        QTRY_COMPARE(shown(app, 2), QStringLiteral("P0"));
    }

    // Pinning: the tab moves to the left among the pinned, shows the first character of its
    // title, is kept by Close all (which asks), and a drag cannot take it among the others.
    void pinnedPagesStayLeftAndOutliveCloseAll()
    {
        AppFixture app;
        openPages(app, 4);
        app.main->resize(900, 500);
        QVERIFY(app.showActive());
        rightClick(app, 2);
        QCOMPARE(app.item("NPinPage")->text(), QStringLiteral("固定"));
        app.item("NPinPage")->trigger();
        rightClick(app, 3);
        app.item("NPinPage")->trigger();
        QCOMPARE(addresses(app), QStringList({host(2), host(3), host(0), host(1)}));
        QCOMPARE(app.pages->pinnedCount(), 2);
        QCOMPARE(shown(app, 0), QStringLiteral("P"));
        QCOMPARE(shown(app, 1), QStringLiteral("P"));
        QCOMPARE(shown(app, 2), QStringLiteral("P0"));
        QVERIFY(app.widget<QTabWidget>("PageControl")->tabToolTip(0).contains(QStringLiteral("P2")));
        rightClick(app, 0);
        QCOMPARE(app.item("NPinPage")->text(), QStringLiteral("取消固定"));

        // Dragged among the others, a pinned page comes back to the pinned; another page
        // dragged among the pinned goes back behind them.
        drag(app, 0, 3);
        QTRY_COMPARE(app.pages->pinnedCount(), 2);
        QVERIFY(app.pages->page(0)->pinned() && app.pages->page(1)->pinned());
        drag(app, 3, 0);
        QTRY_VERIFY(app.pages->page(0)->pinned() && app.pages->page(1)->pinned());
        QCOMPARE(app.pages->count(), 4);

        // A new page never goes among the pinned ones, even from a pinned page in front.
        app.pages->activatePage(0);
        app.pages->NewPage(2);
        QCOMPARE(app.pages->newPageIndex(), 2);
        QVERIFY(!app.pages->page(2)->pinned());

        QString question;
        app.tabs()->confirmCloseAll = [&] {
            question = QStringLiteral("asked");
            return true;
        };
        app.item("NAllClose")->trigger();
        QCOMPARE(question, QStringLiteral("asked"));
        QCOMPARE(app.pages->count(), 2);
        const QStringList pinnedOnes = addresses(app);
        QCOMPARE(QSet<QString>(pinnedOnes.begin(), pinnedOnes.end()), QSet<QString>({host(2), host(3)}));
        // Only pinned pages: nothing to close, nothing asked.
        question.clear();
        app.item("NAllClose")->trigger();
        QCOMPARE(question, QString());
        QCOMPARE(app.pages->count(), 2);

        // Unpinned, the page goes to the edge of the pinned and shows its caption again.
        rightClick(app, 0);
        app.item("NPinPage")->trigger();
        QCOMPARE(addresses(app), QStringList({pinnedOnes[1], pinnedOnes[0]}));
        QCOMPARE(app.pages->pinnedCount(), 1);
        QCOMPARE(shown(app, 1), pinnedOnes[0] == host(2) ? QStringLiteral("P2") : QStringLiteral("P3"));
    }

    // A page playing sound shows a speaker on its tab; the speaker and the popup's item mute
    // and unmute it, and the mark goes once the page is silent and not muted.
    void theSoundMarkMutesAndUnmutes()
    {
        AppFixture app;
        openPages(app, 2);
        QVERIFY(app.showActive());
        ScriptedBrowser *loud = app.browser(0);
        QVERIFY(!bar(app)->tabButton(0, QTabBar::RightSide));
        loud->playSound(true);
        QTRY_VERIFY(bar(app)->tabButton(0, QTabBar::RightSide));
        auto *mark = qobject_cast<QToolButton *>(bar(app)->tabButton(0, QTabBar::RightSide));
        QCOMPARE(mark->objectName(), QStringLiteral("SoundMark"));
        QVERIFY(mark->isVisible());
        QTest::mouseClick(mark, Qt::LeftButton);
        QVERIFY(loud->isMuted());
        QTRY_COMPARE(mark->accessibleName(), QStringLiteral("取消静音"));
        rightClick(app, 0);
        QCOMPARE(app.item("NMutePage")->text(), QStringLiteral("取消静音"));
        app.item("NMutePage")->trigger();
        QVERIFY(!loud->isMuted());
        QTRY_COMPARE(mark->accessibleName(), QStringLiteral("静音"));
        // Silent, but muted: the mark stays so that it can be unmuted.
        rightClick(app, 0);
        app.item("NMutePage")->trigger();
        loud->playSound(false);
        QTRY_VERIFY(loud->isMuted() && mark->accessibleName() == QStringLiteral("取消静音"));
        QVERIFY(bar(app)->tabButton(0, QTabBar::RightSide));
        QTest::mouseClick(mark, Qt::LeftButton);
        QTRY_VERIFY(!bar(app)->tabButton(0, QTabBar::RightSide));
        QCOMPARE(loud->calls.filter(QRegularExpression("^(Mute|Unmute)$")),
                 QStringList({"Mute", "Unmute", "Mute", "Unmute"}));
        // The other page never had a mark.
        QVERIFY(!bar(app)->tabButton(1, QTabBar::RightSide));
    }

    void tabPopupDuplicatesClosesOthersAndToTheRightAndReopens()
    {
        AppFixture app;
        openPages(app, 5);
        QVERIFY(app.showActive());
        rightClick(app, 4);
        app.item("NPinPage")->trigger(); // p4 pinned, first
        rightClick(app, 2);
        app.item("NDuplicatePage")->trigger();
        QCOMPARE(app.pages->count(), 6);
        QCOMPARE(app.pages->activeIndex(), 3);
        QCOMPARE(app.active()->pendingAddress(), host(1));

        // Right of p0 (index 1): all go but the pinned, which stands left anyway.
        rightClick(app, 1);
        app.item("NCloseRightPages")->trigger();
        QCOMPARE(addresses(app), QStringList({host(4), host(0)}));
        QCOMPARE(app.pages->activeIndex(), 1);
        // Nothing stands right of the last tab.
        rightClick(app, 1);
        QVERIFY(!app.item("NCloseRightPages")->isEnabled());

        app.item("NReopenClosedPage")->trigger();
        QCOMPARE(app.pages->count(), 3);
        openPages(app, 1);
        rightClick(app, 1);
        app.item("NCloseOtherPages")->trigger();
        QCOMPARE(addresses(app), QStringList({host(4), host(0)}));
        QCOMPARE(app.pages->activeIndex(), 1);
        // Beside the tabs, the items that act on a tab are off.
        const QPoint beside(app.widget<QTabWidget>("PageControl")->width() - 5, bar(app)->height() / 2);
        QTest::mousePress(app.widget<QTabWidget>("PageControl"), Qt::RightButton, Qt::NoModifier, beside);
        app.widget<QMenu>("PopupMenuPcl")->hide();
        for (const char *name : {"NDuplicatePage", "NPinPage", "NMutePage", "NCloseOtherPages", "NCloseRightPages"})
            QVERIFY2(!app.item(name)->isEnabled(), name);
        QVERIFY(app.item("NReopenClosedPage")->isEnabled());
        // The popup keeps its first two items first.
        const QList<QAction *> items = app.widget<QMenu>("PopupMenuPcl")->actions();
        QCOMPARE(items.at(0)->objectName(), QStringLiteral("PopupMenuCloseCurrent"));
        QCOMPARE(items.at(1)->objectName(), QStringLiteral("NRRefresh"));
    }

    // A link dropped on the strip opens in a new page beside the tab it fell on, in front;
    // what no page may open (a script) is not taken.
    void aLinkDroppedOnTheStripOpensInANewPage()
    {
        AppFixture app;
        openPages(app, 3);
        QVERIFY(app.showActive());
        QMimeData link;
        link.setUrls({QUrl(QStringLiteral("http://dropped.example/a"))});
        link.setText(QStringLiteral("http://dropped.example/a"));
        QVERIFY(drop(app, &link, 0));
        QCOMPARE(app.pages->count(), 4);
        QCOMPARE(app.pages->activeIndex(), 1);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://dropped.example/a"));
        // The strip leaves these to the window (which searches for words).
        const QPoint beside = bar(app)->tabRect(3).center();
        for (const QString &text : {QStringLiteral("javascript:alert(1)"), QStringLiteral("data:text/html,x"),
                                    QStringLiteral("just words")})
            QVERIFY2(!app.tabs()->dropOnStrip(text, beside), qPrintable(text));
        QCOMPARE(app.pages->count(), 4);
        QMimeData bare;
        bare.setText(QStringLiteral("www.bare.example"));
        QVERIFY(drop(app, &bare, -1));
        QCOMPARE(app.pages->activeIndex(), 4);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://www.bare.example"));
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
