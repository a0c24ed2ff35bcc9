#include "window/messagefilter.h"
#include "appfixture.h"
#include "pages/pagecaption.h"
#include "visualorder.h"
#include "navigation/addressbar.h"
#include "tabs/recentlyclosed.h"
#include "tabs/pagetabs.h"

#include <QAction>
#include <QComboBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QTabWidget>
#include <QLabel>
#include <QMenu>
#include <QTabBar>
#include <QTest>
#include <QTextDocumentFragment>
#include <QToolButton>

// The page collection with the scripted engine: placement, closing, the limit, and what
// every engine event changes.
class TestPageCollection : public QObject
{
    Q_OBJECT

private:
    // n pages that show documents, the last one active.
    static void openPages(AppFixture &app, int n)
    {
        for (int i = 0; i < n; ++i)
            app.openPage(QStringLiteral("p%1.example").arg(i), QStringLiteral("P%1").arg(i));
    }
    static QStringList addresses(const AppFixture &app)
    {
        QStringList list;
        for (int i = 0; i < app.pages->count(); ++i)
            list << app.browser(i)->LocationURL();
        return list;
    }

private slots:
    void newPagePlacement_data()
    {
        QTest::addColumn<int>("existing");
        QTest::addColumn<int>("active");
        QTest::addColumn<int>("expected");
        QTest::newRow("one page") << 1 << 0 << 1;
        QTest::newRow("two, first active") << 2 << 0 << 1;
        QTest::newRow("two, last active") << 2 << 1 << 2;
        QTest::newRow("three, first active") << 3 << 0 << 1;
        QTest::newRow("three, second active") << 3 << 1 << 2;
        QTest::newRow("three, last active") << 3 << 2 << 3;
    }

    void newPagePlacement()
    {
        QFETCH(int, existing);
        QFETCH(int, active);
        QFETCH(int, expected);
        AppFixture app;
        openPages(app, existing);
        app.pages->activatePage(active);
        TEmbeddedWB *before = app.pages->activePage()->browser();
        QVERIFY(app.pages->NewPage(2));
        QCOMPARE(app.pages->newPageIndex(), expected);
        QCOMPARE(app.pages->count(), existing + 1);
        QCOMPARE(app.widget<QTabWidget>("PageControl")->tabText(expected), QStringLiteral("   空白页   "));
        QVERIFY(app.browser(expected)->calls.contains(QStringLiteral("Silent 1")));
        QVERIFY(app.browser(expected)->calls.contains(QStringLiteral("RegisterAsDropTarget 0")));
        // Mode 2 does not navigate; the page stays in the background.
        QVERIFY(!app.browser(expected)->calls.join(' ').contains(QStringLiteral("Navigate")));
        QCOMPARE(app.pages->activePage()->browser(), before);
    }

    void modeZeroNavigatesToBlank()
    {
        AppFixture app;
        QVERIFY(app.pages->NewPage(0));
        QCOMPARE(app.browser(0)->pendingAddress(), QStringLiteral("about:blank"));
    }

    void atMost256Pages()
    {
        AppFixture app;
        for (int i = 0; i < TFormWebbrowser::kMaxPages; ++i) {
            QVERIFY(app.pages->NewPage(2));
            app.browser(app.pages->newPageIndex())->setLocation(QStringLiteral("http://open%1/").arg(i));
        }
        app.status()->showMessage(QString());
        QVERIFY(!app.pages->NewPage(0));
        QCOMPARE(app.pages->count(), 256);
        QVERIFY(app.statusText(0).contains(QStringLiteral("256")));
        // Opening one more address in a new page touches none of the open pages.
        app.pages->OpenUrlInNewPage(QStringLiteral("http://one.more/"));
        app.tabs()->NAddNewBlankClick();
        app.addressBar()->openAddress(QStringLiteral("http://typed.more/"));
        QCOMPARE(app.pages->count(), 256);
        for (int i = 0; i < 256; ++i)
            QVERIFY(!app.browser(i)->calls.join(' ').contains(QStringLiteral(".more/")));
    }

    void anEngineThatCannotStartOpensNothing()
    {
        AppFixture app;
        app.engine.failing = true;
        app.pages->OpenUrlInNewPage(QStringLiteral("http://a.b/"));
        app.tabs()->NAddNewBlankClick();
        QCOMPARE(app.pages->count(), 0);
        QVERIFY(app.main->findChild<QWidget *>(QStringLiteral("EngineFailure")));
        QCOMPARE(app.main->findChildren<QWidget *>(QStringLiteral("EngineFailure")).size(), 1);
    }

    void openUrlInNewPageStaysInTheBackground()
    {
        AppFixture app;
        openPages(app, 3);
        app.pages->activatePage(0);
        app.pages->setLastPageBlanked(true);
        app.pages->OpenUrlInNewPage(QStringLiteral("http://bg.example/"));
        QCOMPARE(app.pages->activeIndex(), 0);
        QCOMPARE(app.pages->page(1)->address(), QStringLiteral("http://bg.example/"));
        QCOMPARE(app.browser(1)->pendingAddress(), QStringLiteral("http://bg.example/"));
        QVERIFY(!app.pages->lastPageBlanked());
        // It has the active page's size although it was never shown.
        QCOMPARE(app.browser(1)->parentWidget()->size(), app.browser(0)->parentWidget()->size());
    }

    void closePageOfTheActivePage()
    {
        AppFixture app;
        openPages(app, 3);
        app.pages->activatePage(1);
        app.pages->ClosePage(300);
        QCOMPARE(addresses(app), (QStringList{"http://p0.example", "http://p2.example"}));
        QCOMPARE(app.recentlyClosed()->lastClosedAddress(), QStringLiteral("http://p1.example"));
        QCOMPARE(app.recentlyClosed()->entries().last().caption, QStringLiteral("P1"));
    }

    void closingTheLastPageActivatesTheNewLast()
    {
        AppFixture app;
        openPages(app, 3);
        app.pages->activatePage(0);
        app.pages->ClosePage(2);
        QCOMPARE(app.pages->activeIndex(), 1);
    }

    void theOnlyPageIsBlankedAndKept()
    {
        AppFixture app;
        app.program->forwarding()->handle(QStringLiteral("http://fwd.example/"));
        ScriptedBrowser *page = app.active();
        page->commitNavigation(QString(), QStringLiteral("Fwd"));
        QCOMPARE(app.pages->count(), 1);
        app.pages->ClosePage(0);
        QCOMPARE(app.pages->count(), 1);
        QVERIFY(app.pages->lastPageBlanked());
        QCOMPARE(page->pendingAddress(), QStringLiteral("about:blank"));
        QCOMPARE(app.recentlyClosed()->lastClosedAddress(), QStringLiteral("http://fwd.example/"));
        QCOMPARE(app.program->forwarding()->lastAddress(), QString());
        // Its next completed download shows a blank page.
        page->setLocation(QStringLiteral("about:blank"));
        emit page->DownloadComplete();
        QCOMPARE(app.addressText(), QStringLiteral("about:blank"));
        QCOMPARE(app.statusText(0), QString());
        QCOMPARE(app.pages->page(0)->address(), QStringLiteral("about:blank"));
        QCOMPARE(app.pages->page(0)->title(), QString());
    }

    void closeUsesTheEnginesValuesWhenNothingWasRecorded()
    {
        AppFixture app;
        app.pages->NewPage(2);
        app.pages->NewPage(2);
        app.browser(1)->setLocation(QStringLiteral("http://engine.example/"), QStringLiteral("Engine title"));
        app.pages->ClosePage(1);
        const auto entry = app.recentlyClosed()->entries().value(0);
        QCOMPARE(entry.caption, QStringLiteral("Engine title"));
        QCOMPARE(entry.address, QStringLiteral("http://engine.example/"));
    }

    void movePageClampsItsTarget()
    {
        AppFixture app;
        openPages(app, 3);
        app.pages->MovePage(2, -5);
        QCOMPARE(addresses(app), (QStringList{"http://p2.example", "http://p0.example", "http://p1.example"}));
        app.pages->MovePage(0, 99);
        QCOMPARE(addresses(app), (QStringList{"http://p0.example", "http://p1.example", "http://p2.example"}));
        app.pages->MovePage(1, 1);
        QCOMPARE(addresses(app), (QStringList{"http://p0.example", "http://p1.example", "http://p2.example"}));
        QCOMPARE(app.captions(), (QStringList{"    P0    ", "    P1    ", "    P2    "}));
    }

    void closeAllKeepsOneBlankedPage()
    {
        AppFixture app;
        openPages(app, 4);
        app.pages->CloseAllPages();
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.browser(0)->pendingAddress(), QStringLiteral("about:blank"));
        // Only the page that was blanked went to the recently closed list.
        QCOMPARE(app.recentlyClosed()->entries().size(), 1);
        QCOMPARE(app.recentlyClosed()->entries().first().address, QStringLiteral("http://p3.example"));

        app.pages->CloseAllPages();
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.addressText(), QStringLiteral("about:blank"));
    }

    void downloadEventsOfTheActivePage()
    {
        AppFixture app;
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"), QStringLiteral("A"));
        page->setLocation(QStringLiteral("http://b.example/"));
        emit page->DownloadBegin();
        QCOMPARE(app.addressText(), QStringLiteral("http://b.example/"));
        QCOMPARE(app.statusText(0), QStringLiteral(">>正在连接地址:<http://b.example/>"));
        QCOMPARE(app.pages->page(0)->address(), QStringLiteral("http://b.example/"));
        emit page->DownloadComplete();
        QCOMPARE(app.statusText(0), QStringLiteral(">>完成:A<http://b.example/>"));

        // The start page never reports that it connects.
        app.status()->showMessage(QString());
        page->setLocation(QStringLiteral("init.htm"));
        emit page->DownloadBegin();
        QCOMPARE(app.statusText(0), QString());
        QCOMPARE(app.addressText(), QStringLiteral("init.htm"));
    }

    void eventsOfABackgroundPageChangeOnlyItsOwnPage()
    {
        AppFixture app;
        openPages(app, 2);
        app.pages->activatePage(0);
        app.status()->showMessage(QStringLiteral("unchanged"));
        app.setAddressText(QStringLiteral("typed"));
        ScriptedBrowser *background = app.browser(1);
        background->setLocation(QStringLiteral("http://elsewhere.example/"), QStringLiteral("Elsewhere"));
        emit background->DownloadBegin();
        emit background->ProgressChange(10, 100);
        emit background->DownloadComplete();
        emit background->TitleChange(QStringLiteral("Elsewhere"));
        emit background->CommandStateChange(TEmbeddedWB::CommandBack, true);
        QCOMPARE(app.statusText(0), QStringLiteral("unchanged"));
        QCOMPARE(app.addressText(), QStringLiteral("typed"));
        QVERIFY(!app.status()->progressBar());
        QCOMPARE(app.pages->page(1)->caption(), QStringLiteral(" Elsewhere"));
        QCOMPARE(app.pages->page(0)->caption(), QStringLiteral("    P0    "));
        QVERIFY(app.showsPictureOf("SBP", "SBH1"));
        // Its own back flag is kept and shows once it is the active page.
        app.item("NNextPage")->trigger();
        QVERIFY(app.showsPictureOf("SBP", "SBL1"));
    }

    void titleChanges()
    {
        AppFixture app;
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"), QStringLiteral("Short"));
        emit page->TitleChange(QString(53, QLatin1Char('x')));
        QCOMPARE(app.pages->page(0)->title(), QString(52, QLatin1Char('x')) + QStringLiteral("..."));
        QCOMPARE(app.pages->page(0)->caption(), QStringLiteral("xxxxxxxx.."));
        // The strip follows within a tenth of a second, all pages at once.
        QTRY_COMPARE_WITH_TIMEOUT(app.widget<QTabWidget>("PageControl")->tabText(0), QStringLiteral("xxxxxxxx.."), 1000);
        QCOMPARE(QTextDocumentFragment::fromHtml(app.widget<QTabWidget>("PageControl")->tabToolTip(0)).toPlainText(),
                 app.pages->page(0)->title());
        emit page->TitleChange(QStringLiteral("   "));
        QCOMPARE(app.pages->page(0)->caption(), QStringLiteral("xxxxxxxx.."));
        emit page->TitleChange(QStringLiteral("about:blank"));
        QCOMPARE(app.pages->page(0)->caption(), QStringLiteral("   空白页   "));
        QTRY_COMPARE_WITH_TIMEOUT(app.widget<QTabWidget>("PageControl")->tabText(0), QStringLiteral("   空白页   "), 1000);
    }

    void historyImagesFollowTheActivePage()
    {
        AppFixture app;
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        emit page->CommandStateChange(TEmbeddedWB::CommandBack, true);
        QVERIFY(app.showsPictureOf("SBP", "SBL1"));
        QVERIFY(app.showsPictureOf("SBN", "SBH2"));
        emit page->CommandStateChange(TEmbeddedWB::CommandForward, true);
        QVERIFY(app.showsPictureOf("SBN", "SBL2"));
        emit page->CommandStateChange(TEmbeddedWB::CommandBack, false);
        QVERIFY(app.showsPictureOf("SBP", "SBH1"));
        emit page->CommandStateChange(7, true);
        QVERIFY(app.showsPictureOf("SBP", "SBH1"));

        // A page made active by the collection itself shows its own, not the page before's:
        // a new blank page, then the page of a Go from a page that shows something.
        emit page->CommandStateChange(TEmbeddedWB::CommandBack, true);
        app.openBlankPage();
        QVERIFY(app.showsPictureOf("SBP", "SBH1"));
        QVERIFY(app.showsPictureOf("SBN", "SBH2"));
        app.pages->activatePage(0);
        QVERIFY(app.showsPictureOf("SBN", "SBL2"));
        app.addressBar()->openAddress(QStringLiteral("http://b.example/"));
        QCOMPARE(app.pages->count(), 3);
        QCOMPARE(app.active()->LocationURL(), QStringLiteral("http://b.example/"));
        QVERIFY(app.showsPictureOf("SBP", "SBH1"));
        QVERIFY(app.showsPictureOf("SBN", "SBH2"));
        // Closing the active page shows the images of the page active after it.
        app.pages->activatePage(0);
        app.pages->ClosePage(0);
        QVERIFY(app.showsPictureOf("SBN", "SBH2"));
    }

    void progressBar()
    {
        AppFixture app;
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        emit page->ProgressChange(40, 100);
        QProgressBar *bar = app.status()->progressBar();
        QVERIFY(bar);
        QCOMPARE(bar->value(), 0);
        QCOMPARE(bar->maximum(), 100);
        QVERIFY(bar->isVisibleTo(app.main));
        emit page->ProgressChange(50, 200);
        QCOMPARE(bar->value(), 50);
        QCOMPARE(bar->maximum(), 200);
        emit page->ProgressChange(198, 200);
        QVERIFY(!bar->isVisibleTo(app.main));
        emit page->ProgressChange(10, 200);
        QVERIFY(bar->isVisibleTo(app.main));
        emit page->DownloadComplete();
        QVERIFY(!bar->isVisibleTo(app.main));
        QCOMPARE(app.status()->progressBar(), bar);
    }

    void newWindowRequestsOpenInTheBackground()
    {
        AppFixture app("[RunData]\r\nStopPopup=0\r\n");
        openPages(app, 3);
        app.pages->activatePage(0);
        const auto played = app.browser(0)->requestNewWindow(QStringLiteral("http://popup.example/"));
        QVERIFY(played.opened);
        QCOMPARE(app.pages->count(), 4);
        QCOMPARE(app.pages->activeIndex(), 0);
        QCOMPARE(played.target, app.pages->page(1)->browser());
        QVERIFY(app.browser(1)->calls.filter(QStringLiteral("Navigate")).isEmpty());
    }

    void aMiddleClickOnALinkOpensExactlyOnePage()
    {
        AppFixture app;
        openPages(app, 1);
        const auto played = app.browser(0)->requestNewWindow(QStringLiteral("http://link.example/"), true);
        QVERIFY(!played.opened);
        QCOMPARE(app.pages->count(), 2);
        QCOMPARE(app.pages->activeIndex(), 0);
        QCOMPARE(app.browser(1)->calls.filter(QStringLiteral("Navigate")), QStringList{QStringLiteral("Navigate http://link.example/")});
    }

    void aPageClosingItselfLeavesTheStrip()
    {
        AppFixture app;
        openPages(app, 2);
        emit app.browser(1)->CloseQuery();
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.recentlyClosed()->entries().last().address, QStringLiteral("http://p1.example"));
        QCOMPARE(app.addressText(), QStringLiteral("http://p0.example"));
    }

    void aPageThatOnlyLedToADownloadGoes()
    {
        AppFixture app;
        openPages(app, 3);
        app.pages->activatePage(0);
        app.addressBar()->openAddress(QStringLiteral("http://files.example/a.zip"));
        QCOMPARE(app.pages->count(), 4);
        TEmbeddedWB *download = app.active();
        const int closed = app.recentlyClosed()->entries().size();
        emit download->DownloadOnly();
        QCOMPARE(app.pages->count(), 3);
        QCOMPARE(app.pages->indexOf(download), -1);
        // Back on the page it came from; nothing to reopen that would download again.
        QCOMPARE(app.pages->activeIndex(), 0);
        QCOMPARE(app.addressText(), QStringLiteral("http://p0.example"));
        QCOMPARE(app.recentlyClosed()->entries().size(), closed);

        // The only page stays.
        AppFixture alone;
        ScriptedBrowser *blank = alone.openBlankPage();
        emit blank->DownloadOnly();
        QCOMPARE(alone.pages->count(), 1);
    }

    void refreshAndStopAllSkipPagesWithoutDocument()
    {
        AppFixture app;
        openPages(app, 2);
        app.pages->NewPage(2);
        app.pages->RefreshAllPages();
        app.pages->StopAllPages();
        QCOMPARE(app.browser(0)->calls.filter(QRegularExpression("^(Refresh|Stop)$")).size(), 2);
        QCOMPARE(app.browser(2)->calls.filter(QRegularExpression("^(Refresh|Stop)$")).size(), 0);
        app.pages->RefreshPage(300);
        QCOMPARE(app.active()->calls.filter(QStringLiteral("Refresh")).size(), 2);
    }

    void scrollingRunsInTheDocument()
    {
        AppFixture app;
        app.pages->NewPage(2);
        app.pages->ScrollToStart();
        QVERIFY(app.browser(0)->calls.filter(QStringLiteral("Script")).isEmpty());
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        app.item("NTOPageHome")->trigger();
        app.item("NTOPageEnd")->trigger();
        const QStringList scripts = page->calls.filter(QStringLiteral("window.scroll"));
        QCOMPARE(scripts.size(), 2);
        QVERIFY(scripts[0].contains(QStringLiteral("window.scroll(0, 0)")));
        QVERIFY(scripts[1].contains(QStringLiteral("offsetHeight + b.scrollTop + 10000")));
    }

    void documentCompleteSavesTheOpenPages()
    {
        AppFixture app;
        openPages(app, 2);
        // Pages finishing close together are written in one batch, within its time.
        QTRY_COMPARE(app.lines("Data/OpenURLList.lst"), (QStringList{"P0#http://p0.example", "P1#http://p1.example"}));
        QVERIFY(!app.exists("Data/OpenURLList2.lst"));
        QCOMPARE(app.configValue(QStringLiteral("TrueClose")), QStringLiteral("<missing>"));
        openPages(app, 1);
        QTRY_COMPARE(app.lines("Data/OpenURLList2.lst").size(), 3);
        QCOMPARE(app.configValue(QStringLiteral("TrueClose")), QStringLiteral("0"));
    }

    void contextMenuOnlyAfterARightPressInThePage()
    {
        AppFixture app;
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        app.main->show();
        app.main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.main));
        QVERIFY(!page->contextMenuWouldShow());
        QTest::mousePress(page, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        QVERIFY(page->contextMenuWouldShow());
        QTest::mouseRelease(page, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        QVERIFY(page->contextMenuWouldShow());
        // The start page never gets one.
        page->commitNavigation(QStringLiteral("init.htm"));
        QTest::mousePress(page, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        QTest::mouseRelease(page, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        QVERIFY(!page->contextMenuWouldShow());
    }

    // Titles and addresses come from pages: shown as they are, never read as markup or
    // as mnemonics.
    void pageTextIsShownAsItIs()
    {
        AppFixture app;
        const QString title = QStringLiteral("<b>Q&A</b><img src=file:///etc/hostname>");
        const QString address = QStringLiteral("http://a.example/<i>x</i>");
        app.openPage(address, title);
        QCOMPARE(app.statusText(0), QStringLiteral(">>完成:") + title + QLatin1Char('<') + address + QLatin1Char('>'));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(app.status()->panel(i)->textFormat(), Qt::PlainText);
        app.pages->applyCaptions();
        QTabBar *strip = app.widget<QTabWidget>("PageControl")->tabBar();
        QCOMPARE(app.pages->page(0)->caption(), QStringLiteral("<b>Q&A</..")); // 10 characters, as counted
        QCOMPARE(strip->tabText(0), QStringLiteral("<b>Q&&A</.."));
        QVERIFY(QKeySequence::mnemonic(strip->tabText(0)).isEmpty());
        QCOMPARE(QTextDocumentFragment::fromHtml(strip->tabToolTip(0)).toPlainText(), title);

        app.openPage(QStringLiteral("b.example"), QStringLiteral("Q&A"));
        app.pages->applyCaptions();
        QCOMPARE(app.pages->activePage()->caption(), QStringLiteral("    Q&A   "));
        QCOMPARE(strip->tabText(app.pages->activeIndex()), QStringLiteral("    Q&&A   "));
    }

    // A title with directional marks reorders nothing around it: not in the tab, its
    // tooltip, the status line or the recently closed menu.
    void pageTextCannotReorderWhatStandsAroundIt_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("an override left open") << QStringLiteral("\u202Egnp.exe");
        QTest::newRow("a stray close, then an override") << QStringLiteral("\u2069\u202Eabc");
        QTest::newRow("an isolate left open") << QStringLiteral("\u2067abc def");
        QTest::newRow("an embedding left open") << QStringLiteral("\u202Babc 12");
        QTest::newRow("right-to-left letters and digits") << QStringLiteral("שלום 123");
    }

    void pageTextCannotReorderWhatStandsAroundIt()
    {
        QFETCH(QString, title);
        auto between = [](const QString &text) { return QStringLiteral("(") + text + QStringLiteral(")"); };
        // The check can tell: as it stands the title would take what follows it along.
        if (QTest::currentDataTag() != QByteArray("right-to-left letters and digits"))
            QVERIFY(!endsStayAtTheEnds(between(title)));
        QVERIFY(endsStayAtTheEnds(between(PageCaption::isolated(title))));
        QCOMPARE(PageCaption::isolated(QStringLiteral("Plain 标题 (1)")), QStringLiteral("Plain 标题 (1)"));

        AppFixture app;
        const QString address = QStringLiteral("http://a.example/");
        app.openPage(address, title);
        QVERIFY(endsStayAtTheEnds(app.statusText(0)));
        app.pages->applyCaptions();
        QTabBar *strip = app.widget<QTabWidget>("PageControl")->tabBar();
        QVERIFY(endsStayAtTheEnds(between(strip->tabText(0))));
        QVERIFY(endsStayAtTheEnds(between(QTextDocumentFragment::fromHtml(strip->tabToolTip(0)).toPlainText())));
        // What the page collection keeps, and writes to the lists, is the title itself.
        QCOMPARE(app.pages->page(0)->title(), title);
        app.openPage(QStringLiteral("b.example"), QStringLiteral("B"));
        app.pages->ClosePage(0);
        const QList<QAction *> closed = app.widget<QMenu>("PopupMenuNewly")->actions();
        QVERIFY(!closed.isEmpty());
        QVERIFY(endsStayAtTheEnds(between(closed.last()->text())));
    }

    void backgroundWorkLeavesTheAddressBoxTheKeyboard()
    {
        AppFixture app;
        openPages(app, 2);
        app.main->show();
        app.main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.main));
        app.widget<QComboBox>("CBURL")->setFocus();
        QTRY_VERIFY(app.widget<QComboBox>("CBURL")->hasFocus());
        const int other = app.pages->activeIndex() == 0 ? 1 : 0;
        emit app.browser(other)->NavigateComplete2();
        QVERIFY(app.widget<QComboBox>("CBURL")->hasFocus());
    }
};

QTEST_MAIN(TestPageCollection)
#include "tst_pagecollection.moc"
