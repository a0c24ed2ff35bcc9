#include "favorites/openpagelists.h"
#include "appfixture.h"
#include "navigation/addressbar.h"
#include "navigation/addressbox.h"
#include "navigation/searchbar.h"
#include "navigation/typedurls.h"
#include "pages/pagecommands.h"
#include "pages/pagecaption.h"
#include "pages/privatetab.h"
#include "passwords/savebar.h"
#include "tabs/recentlyclosed.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

// Private pages with the scripted engine: how their tabs look, that what they open is
// private too, that nothing of them reaches a list or a file, and that their profile goes
// with the last of them.
class TestPrivatePages : public QObject
{
    Q_OBJECT

private:
    // Popups are let through: what matters here is where they go.
    static QByteArray popupsAllowed() { return QByteArray("[RunData]\r\nStopPopup=0\r\n"); }

    static ScriptedBrowser *openPrivatePage(AppFixture &app)
    {
        app.item("NAddNewPrivate")->trigger();
        ScriptedBrowser *page = app.active();
        page->commitNavigation(QStringLiteral("about:blank"));
        return page;
    }

    // Goes to `address` from the address box, as the user does, and lets the page load.
    static ScriptedBrowser *go(AppFixture &app, const QString &address, const QString &title = {})
    {
        app.addressBar()->openAddress(address);
        ScriptedBrowser *page = app.active();
        page->commitNavigation(QString(), title);
        return page;
    }

    static QString stripText(AppFixture &app, int index)
    {
        app.pages->applyCaptions();
        return app.widget<QTabWidget>("PageControl")->tabText(index);
    }

    // Every file under `folder` that holds `text` (UTF-8 or the lists' GB18030).
    static QStringList filesHolding(const QString &folder, const QString &text)
    {
        QStringList found;
        QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = file.readAll();
            if (bytes.contains(text.toUtf8()) || bytes.contains(text.toLatin1()))
                found << file.fileName();
        }
        return found;
    }

    static void dropClosedPages() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

private slots:
    // No test here may reach a desktop's keyring: the session bus is one that is not there.
    void initTestCase() { qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/sablix-test-bus"); }

    // What the user types into a private page's login form is never offered to keep. A normal
    // page's is, and without a Secret Service its bar says so once, never again in the run.
    void aPrivatePageNeverOffersToKeepAPassword()
    {
        AppFixture app;
        const QString sent = QStringLiteral(
            R"({"kind":"submit","origin":"https://bank.example","frame":{"path":[],"x":0,"y":0},)"
            R"("action":"https://bank.example","fields":[{"i":0,"f":0,"t":"text","n":"user","v":true,"k":true,)"
            R"("val":"alice"},{"i":1,"f":0,"t":"password","n":"pass","v":true,"k":true,"val":"s3cret"}]})");
        ScriptedBrowser *secret = openPrivatePage(app);
        go(app, QStringLiteral("https://bank.example/login"));
        secret->postFrameMessage(sent);
        ScriptedBrowser *normal = app.openPage(QStringLiteral("https://bank.example/login"));
        QVERIFY(normal != secret && !normal->isPrivate());
        normal->postFrameMessage(sent);
        QTRY_VERIFY(normal->parentWidget()->findChild<PasswordSaveBar *>());
        const auto bars = normal->parentWidget()->findChildren<PasswordSaveBar *>();
        QCOMPARE(bars.size(), 1);
        QCOMPARE(bars.first()->kind(), PasswordSaveBar::NoKeyring);
        QCOMPARE(bars.first()->text()->text(), QStringLiteral("未找到系统密钥环，密码不会被保存"));
        // The private page's message came first and was handled first: it left nothing.
        QVERIFY(!secret->parentWidget()->findChild<PasswordSaveBar *>());

        // Said once: a second login sent in another page is not kept either, and brings no bar.
        static int notKept = 0;
        static QtMessageHandler previous = nullptr;
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            if (text.contains(QLatin1String("a password was not kept")))
                ++notKept;
            else
                previous(type, context, text);
        });
        ScriptedBrowser *again = app.openPage(QStringLiteral("https://bank.example/login"));
        again->postFrameMessage(sent);
        QTRY_COMPARE(notKept, 1);
        qInstallMessageHandler(previous);
        QVERIFY(!again->parentWidget()->findChild<PasswordSaveBar *>());
        QCOMPARE(normal->parentWidget()->findChildren<PasswordSaveBar *>().size(), 1);
    }

    void aPrivateTabIsToldApartAtAGlance()
    {
        AppFixture app;
        ScriptedBrowser *normal = app.openPage(QStringLiteral("http://normal.example/"), QStringLiteral("Normal"));
        ScriptedBrowser *secret = openPrivatePage(app);
        QVERIFY(secret->isPrivate());
        QVERIFY(!normal->isPrivate());
        QVERIFY(app.pages->activePageIsPrivate());
        QCOMPARE(app.pages->indexOf(secret), 1);
        QVERIFY(stripText(app, 1).startsWith(PrivateTab::kPrefix));
        QVERIFY(!stripText(app, 0).startsWith(PrivateTab::kPrefix));

        // The page's own title comes after the mark; the recorded caption stays the page's.
        secret->Navigate(QStringLiteral("http://secret.example/"));
        secret->commitNavigation(QString(), QStringLiteral("A&B"));
        QCOMPARE(stripText(app, 1), PrivateTab::kPrefix + PageCaption::tabText(PageCaption::shortTitle(QStringLiteral("A&B"))));
        QVERIFY(!app.pages->page(1)->caption().startsWith(PrivateTab::kPrefix));

        QTabBar *bar = app.widget<QTabWidget>("PageControl")->tabBar();
        QCOMPARE(bar->tabTextColor(1), PrivateTab::kColor);
        QVERIFY(!app.widget<QTabWidget>("PageControl")->tabIcon(1).isNull());
        QVERIFY(bar->tabTextColor(0) != PrivateTab::kColor);
        QVERIFY(app.widget<QTabWidget>("PageControl")->tabIcon(0).isNull());

        // The tint goes with the tab when it moves.
        app.pages->MovePage(1, 0);
        QCOMPARE(app.pages->indexOf(secret), 0);
        QCOMPARE(bar->tabTextColor(0), PrivateTab::kColor);
        QVERIFY(bar->tabTextColor(1) != PrivateTab::kColor);
        QVERIFY(stripText(app, 0).startsWith(PrivateTab::kPrefix));
        QVERIFY(!stripText(app, 1).startsWith(PrivateTab::kPrefix));
    }

    void whatAPrivatePageOpensIsPrivate()
    {
        AppFixture app(popupsAllowed());
        ScriptedBrowser *normal = app.openPage(QStringLiteral("http://normal.example/"));
        ScriptedBrowser *secret = openPrivatePage(app);
        go(app, QStringLiteral("http://secret.example/"));
        QCOMPARE(app.active(), secret);

        // A window it asks for, and a link it opens in the background.
        const auto popup = secret->requestNewWindow(QStringLiteral("http://secret.example/popup"));
        QVERIFY(popup.opened);
        QVERIFY(popup.target->isPrivate());
        const int before = app.pages->count();
        secret->requestNewWindow(QStringLiteral("http://secret.example/link"), true);
        QCOMPARE(app.pages->count(), before + 1);
        QVERIFY(app.pages->page(app.pages->newPageIndex())->browser()->isPrivate());
        QCOMPARE(app.pages->page(app.pages->newPageIndex())->address(), QStringLiteral("http://secret.example/link"));

        // An address typed while it shows a page opens in a new private page.
        app.pages->activatePage(app.pages->indexOf(secret));
        ScriptedBrowser *typed = go(app, QStringLiteral("http://secret.example/typed"));
        QVERIFY(typed != secret);
        QVERIFY(typed->isPrivate());

        // A page of the user's opens the user's pages.
        QVERIFY(!normal->requestNewWindow(QStringLiteral("http://normal.example/popup")).target->isPrivate());
        app.pages->activatePage(app.pages->indexOf(normal));
        QVERIFY(!go(app, QStringLiteral("http://normal.example/typed"))->isPrivate());
        // Asked for by name, a blank page is the user's, wherever the user is.
        app.pages->activatePage(app.pages->indexOf(typed));
        QVERIFY(!app.openBlankPage()->isPrivate());
    }

    void nothingOfAPrivatePageIsWritten()
    {
        AppFixture app;
        const QString secretAddress = QStringLiteral("http://secret-4711.example/");
        const QString secretQuery = QStringLiteral("secretquery4711");
        // A page of the user's beside it, whose traces the same lists do keep.
        app.openPage(QStringLiteral("http://kept.example/"), QStringLiteral("Kept"));
        app.openPage(QStringLiteral("http://kept2.example/"), QStringLiteral("Kept2"));
        app.program->searchBar()->searchText(QStringLiteral("keptquery"));
        app.active()->commitNavigation();

        openPrivatePage(app);
        ScriptedBrowser *secret = go(app, secretAddress, QStringLiteral("Secret"));
        QVERIFY(secret->isPrivate());
        app.program->searchBar()->searchText(secretQuery);
        QVERIFY(app.active()->isPrivate());
        app.active()->commitNavigation();
        // The lists of open pages are written as pages load (for the offer after a crash), in
        // batches; what still waits for its batch is written now, so that all is on disk.
        QTRY_VERIFY(app.lines(QStringLiteral("Data/OpenURLList.lst")).join(QLatin1Char('\n')).contains(QStringLiteral("kept.example")));
        app.openPageLists()->save(2);
        QVERIFY(!app.lines(QStringLiteral("Data/OpenURLList.lst")).join(QLatin1Char('\n')).contains(QStringLiteral("secret")));
        QVERIFY(!app.lines(QStringLiteral("Data/OpenURLList2.lst")).join(QLatin1Char('\n')).contains(QStringLiteral("secret")));

        // In memory too: the address box's list, the typed addresses and the search list.
        QVERIFY(app.program->addressBox()->history().contains(QStringLiteral("http://kept.example/")));
        QVERIFY(!app.program->addressBox()->history().join(QLatin1Char(' ')).contains(QStringLiteral("secret")));
        QVERIFY(!app.addressBar()->typedUrls()->addresses().join(QLatin1Char(' ')).contains(QStringLiteral("secret")));
        QCOMPARE(app.searchBar()->history(), QStringList{QStringLiteral("keptquery")});

        // Closed, it is not among the recently closed pages, and undo does not bring it back.
        app.pages->activatePage(app.pages->indexOf(secret));
        app.item("NCloseCurrent")->trigger();
        QVERIFY(app.pages->indexOf(secret) < 0);
        for (const RecentlyClosedList::Entry &entry : app.recentlyClosed()->entries())
            QVERIFY(!entry.address.contains(QStringLiteral("secret")));
        QVERIFY(!app.recentlyClosed()->lastClosedAddress().contains(QStringLiteral("secret")));
        const int pages = app.pages->count();
        app.item("NOpenNewlyOne")->trigger();
        QCOMPARE(app.pages->count(), pages);

        // A page of the user's closed is kept there: the list works.
        app.pages->activatePage(0);
        app.item("NCloseCurrent")->trigger();
        QVERIFY(!app.recentlyClosed()->entries().isEmpty());

        // At the close every list is written; none holds the private page.
        app.main->close();
        QVERIFY(app.lines(QStringLiteral("Data/Url.lst")).contains(QStringLiteral("http://kept.example/")));
        QVERIFY(app.lines(QStringLiteral("Data/SearchHistory.lst")).contains(QStringLiteral("keptquery")));
        QVERIFY(!app.lines(QStringLiteral("Data/NewlyList.lst")).isEmpty());
        QCOMPARE(filesHolding(app.folder(), QStringLiteral("secret")), QStringList());
        QCOMPARE(filesHolding(app.folder(), secretQuery), QStringList());
        QVERIFY(QFile::exists(TypedUrls::filePath()));
        QCOMPARE(filesHolding(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation), QStringLiteral("secret")),
                 QStringList());
    }

    void aPrivatePagesSourceShowsInAPrivatePageWithoutAFile()
    {
        AppFixture app;
        QList<QUrl> external;
        app.program->pageCommands()->openExternally = [&external](const QUrl &url) { return external << url, true; };
        openPrivatePage(app);
        ScriptedBrowser *secret = go(app, QStringLiteral("http://secret-4711.example/"), QStringLiteral("Secret"));
        secret->scriptResponder = [](const QString &) { return QStringLiteral("<body>secret4711</body>"); };
        const int pages = app.pages->count();
        app.item("NSource")->trigger();
        QVERIFY(scriptAnswersArrived(secret));
        QCOMPARE(app.pages->count(), pages + 1);
        QVERIFY(app.active()->isPrivate());
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("view-source:http://secret-4711.example/"));
        QCOMPARE(external, QList<QUrl>());
        QCOMPARE(filesHolding(app.folder(), QStringLiteral("secret4711")), QStringList());
    }

    void theProfileGoesWithTheLastPrivatePage()
    {
        AppFixture app;
        app.openPage(QStringLiteral("http://normal.example/"));
        ScriptedBrowser *first = openPrivatePage(app);
        ScriptedBrowser *second = openPrivatePage(app);
        QCOMPARE(app.engine.privateProfilesMade, 1);
        QCOMPARE(first->privateData, second->privateData);

        app.pages->ClosePage(app.pages->indexOf(first));
        dropClosedPages();
        QVERIFY(!app.engine.privateProfile.expired());
        app.pages->ClosePage(app.pages->indexOf(second));
        dropClosedPages();
        QVERIFY(app.engine.privateProfile.expired());

        // The next private page starts afresh.
        openPrivatePage(app);
        QCOMPARE(app.engine.privateProfilesMade, 2);
    }

    void theOnlyPageBeingPrivateIsReplacedWhenClosed()
    {
        AppFixture app;
        QPointer<ScriptedBrowser> secret = openPrivatePage(app);
        go(app, QStringLiteral("http://secret.example/"));
        QCOMPARE(app.pages->count(), 1);
        app.item("NCloseCurrent")->trigger();
        dropClosedPages();
        // Not blanked and kept as the only page is otherwise: it went, with its profile.
        QVERIFY(secret.isNull());
        QVERIFY(app.engine.privateProfile.expired());
        QCOMPARE(app.pages->count(), 1);
        QVERIFY(!app.active()->isPrivate());
        QVERIFY(app.pages->lastPageBlanked());
        QVERIFY(app.recentlyClosed()->entries().isEmpty());

        // Closing all pages does it as well.
        app.openPage(QStringLiteral("http://normal.example/"));
        secret = openPrivatePage(app);
        app.pages->CloseAllPages();
        dropClosedPages();
        QVERIFY(secret.isNull());
        QVERIFY(app.engine.privateProfile.expired());
        QCOMPARE(app.pages->count(), 1);
        QVERIFY(!app.active()->isPrivate());
    }
};

QTEST_MAIN(TestPrivatePages)
#include "tst_privatepages.moc"
