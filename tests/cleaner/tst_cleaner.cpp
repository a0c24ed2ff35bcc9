#include "core/listfile.h"
#include "appfixture.h"
#include "../history/historytesting.h"
#include "cleaner/folderfiles.h"
#include "cleaner/iecache.h"
#include "cleaner/privacycleaner.h"
#include "cleaner/recentdocuments.h"
#include "engine/sitepermissions.h"
#include "history/history.h"
#include "navigation/addressbar.h"
#include "navigation/addressbox.h"
#include "navigation/searchbar.h"
#include "navigation/typedurls.h"
#include "tabs/recentlyclosed.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

// The cleaning commands with the scripted engine's browsing data: what each clears, what it
// leaves, the files it writes, and folders with hostile entries.
// The cleaner reports once its worker and the engine are done: on a loaded machine that
// may take more than QTRY's usual five seconds.
constexpr int kReportMs = PrivacyCleaner::kEngineMs + 10000;

namespace {
const QString kSiteDataLater =
    QStringLiteral("网站存储的其他数据(本地存储、IndexedDB、Service Worker、网站图标)将在关闭 sablix 后清除");
}

class TestCleaner : public QObject
{
    Q_OBJECT

private:
    static void touch(const QString &path) { QVERIFY(writeFile(path, "x")); }
    static BrowsingData::Cookie cookie(const char *name, bool session)
    {
        return {name, QStringLiteral("a.test"), QStringLiteral("/"),
                session ? QDateTime() : QDateTime::currentDateTime().addDays(30), QByteArray(name) + "=1"};
    }
    // A program with traces of every kind.
    static void leaveTraces(AppFixture &app)
    {
        app.openPage(QStringLiteral("one.example"), QStringLiteral("One"));
        app.openPage(QStringLiteral("two.example"), QStringLiteral("Two"));
        app.item("NCloseCurrent")->trigger();
        app.searchBar()->searchText(QStringLiteral("query"));
        app.engine.data.visitedUrls << QUrl(QStringLiteral("http://one.example"));
        app.engine.data.cookieJar << cookie("kept", false) << cookie("session", true);
        touch(app.path(QStringLiteral("Temp/page.txt")));
        touch(app.path(QStringLiteral("Temp/sub/inner.txt")));
    }

private slots:
    void theMenuHoldsItsItemsInOrder()
    {
        AppFixture app;
        auto *menu = app.main->findChild<QMenu *>(QStringLiteral("NCleanHisttoryM"));
        QStringList items;
        for (QAction *action : menu->actions())
            items << action->objectName() + QLatin1Char('=') + action->text();
        QCOMPARE(items, (QStringList{"NCleanAddress=清除地址栏历史", "NClearSearchHistory=清除搜索栏历史", "N3=",
                                     "NCleanHistory=清除浏览历史", "NCleanCache=清除缓存(Cache)", "NCleanCookies=清除 Cookies",
                                     "N35=", "NCleanTempDir=清空临时目录", "NCleanRecent=清除最近浏览的文档 ", "N34=",
                                     "NCleanAll=全部清除"}));
        auto *tools = app.main->findChild<QMenu *>(QStringLiteral("NTools"));
        const QList<QAction *> toolItems = tools->actions();
        // The sub-menu, the switch below it, then the downloads, the task manager and the
        // developer tools.
        QCOMPARE(toolItems.size(), 6);
        QCOMPARE(toolItems.at(4)->objectName(), QStringLiteral("NTaskManager"));
        QCOMPARE(toolItems.at(5)->objectName(), QStringLiteral("NDeveloperTools"));
        QCOMPARE(toolItems.at(0)->menu(), menu);
        QCOMPARE(toolItems.at(1)->text(), QStringLiteral("退出时清除浏览记录"));
        QVERIFY(toolItems.at(1)->isCheckable() && !toolItems.at(1)->isChecked());
    }

    void theHistoriesOfTheBars()
    {
        AppFixture app;
        leaveTraces(app);
        app.item("NCleanAddress")->trigger();
        QVERIFY(app.program->addressBox()->history().isEmpty());
        QCOMPARE(app.addressText(), QString());
        QVERIFY(app.exists(QStringLiteral("Data/Url.lst")));
        QCOMPARE(app.bytes(QStringLiteral("Data/Url.lst")), QByteArray());
        QCOMPARE(app.statusText(0), QStringLiteral("已清除: 地址栏历史"));

        ListFile::save(app.path(QStringLiteral("Data/SearchHistory.lst")), {QStringLiteral("query")});
        app.item("NClearSearchHistory")->trigger();
        QVERIFY(app.searchBar()->history().isEmpty());
        QVERIFY(!app.exists(QStringLiteral("Data/SearchHistory.lst")));
    }

    void historyCacheAndCookiesEachClearTheirOwn()
    {
        AppFixture app;
        leaveTraces(app);
        QVERIFY(!app.addressBar()->typedUrls()->addresses().isEmpty());

        app.item("NCleanCookies")->trigger();
        QVERIFY(app.engine.data.cookieJar.isEmpty());
        QCOMPARE(app.engine.data.cacheClearings, 0);
        QVERIFY(!app.engine.data.visitedUrls.isEmpty());
        // What sites stored goes with their cookies, once the engine lets go of it: the line
        // says when, rather than that it is gone.
        QCOMPARE(app.engine.data.siteDataErasuresAtEnd, 1);
        QTRY_COMPARE_WITH_TIMEOUT(app.statusText(0), QStringLiteral("已清除: Cookies；") + kSiteDataLater, kReportMs);
        // A page that finishes loading just then does not take the report's place at once.
        emit app.pages->statusMessage(QStringLiteral(">>完成:late<http://late.example/>"));
        QCOMPARE(app.statusText(0), QStringLiteral("已清除: Cookies；") + kSiteDataLater);

        app.item("NCleanCache")->trigger();
        QCOMPARE(app.engine.data.cacheClearings, 1);
        // The typed addresses go with the cache.
        QVERIFY(app.addressBar()->typedUrls()->addresses().isEmpty());
        QVERIFY(!QFileInfo::exists(TypedUrls::filePath()));
        QVERIFY(!app.engine.data.visitedUrls.isEmpty());

        QVERIFY(app.exists(QStringLiteral("Data/NewlyList.lst")));
        app.item("NCleanHistory")->trigger();
        QVERIFY(app.engine.data.visitedUrls.isEmpty());
        QVERIFY(app.recentlyClosed()->entries().isEmpty());
        QCOMPARE(app.recentlyClosed()->lastClosedAddress(), QString());
        QVERIFY(!app.exists(QStringLiteral("Data/NewlyList.lst")));
        // The temp folder was not touched by any of them.
        QVERIFY(app.exists(QStringLiteral("Temp/page.txt")));
    }

    void cleanAllClearsEverythingAndLeavesEmptyLists()
    {
        AppFixture app;
        leaveTraces(app);
        app.item("NCleanAll")->trigger();
        QVERIFY(app.exists(QStringLiteral("Data/Url.lst")));
        QVERIFY(app.exists(QStringLiteral("Data/SearchHistory.lst")));
        QCOMPARE(app.bytes(QStringLiteral("Data/Url.lst")), QByteArray());
        QCOMPARE(app.bytes(QStringLiteral("Data/SearchHistory.lst")), QByteArray());
        QVERIFY(!app.exists(QStringLiteral("Data/NewlyList.lst")));
        QVERIFY(app.recentlyClosed()->entries().isEmpty());
        QVERIFY(app.engine.data.cookieJar.isEmpty());
        QVERIFY(app.engine.data.visitedUrls.isEmpty());
        QCOMPARE(app.engine.data.cacheClearings, 1);
        QVERIFY(app.addressBar()->typedUrls()->addresses().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!app.exists(QStringLiteral("Temp/page.txt")), kReportMs);
        QVERIFY(app.exists(QStringLiteral("Temp/sub/inner.txt")));
        QTRY_VERIFY_WITH_TIMEOUT(app.statusText(0).startsWith(QStringLiteral("已清除: 地址栏历史、搜索栏历史")), kReportMs);
        QVERIFY(app.statusText(0).endsWith(QStringLiteral("；") + kSiteDataLater));
        QVERIFY(!app.statusText(0).contains(QStringLiteral("已清除: ") + kSiteDataLater));
        QCOMPARE(app.engine.data.siteDataErasuresAtEnd, 1);
        // Again, while the first may still run: another whole pass.
        touch(app.path(QStringLiteral("Temp/again.txt")));
        app.item("NCleanAll")->trigger();
        app.item("NCleanAll")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!app.exists(QStringLiteral("Temp/again.txt")), kReportMs);
    }

    void withoutTheEngineTheLaterStepsStillRun()
    {
        AppFixture app;
        leaveTraces(app);
        app.engine.failing = true;
        app.item("NCleanAll")->trigger();
        QVERIFY(!app.exists(QStringLiteral("Data/NewlyList.lst")));
        QTRY_VERIFY_WITH_TIMEOUT(!app.exists(QStringLiteral("Temp/page.txt")), kReportMs);
        QVERIFY(!app.engine.data.cookieJar.isEmpty());
    }

    void theTempWalkTakesFilesOnlyAndNeverWhatLinksPointTo()
    {
        QTemporaryDir folder;
        QTemporaryDir outside;
        const QString target = outside.filePath(QStringLiteral("precious.txt"));
        touch(target);
        touch(folder.filePath(QStringLiteral("plain.txt")));
        touch(folder.filePath(QStringLiteral(".hidden")));
        touch(folder.filePath(QStringLiteral("readonly.txt")));
        QFile::setPermissions(folder.filePath(QStringLiteral("readonly.txt")), QFile::ReadOwner);
        QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("folder.txt"))));
        touch(folder.filePath(QStringLiteral("sub/kept.txt")));
        QVERIFY(QFile::link(target, folder.filePath(QStringLiteral("link.txt"))));
        QVERIFY(QFile::link(outside.path(), folder.filePath(QStringLiteral("dirlink"))));
        QVERIFY(QFile::link(folder.filePath(QStringLiteral("gone")), folder.filePath(QStringLiteral("dangling"))));
        const FolderFiles::Result result = FolderFiles::deleteTopLevelFiles(folder.path());
        QVERIFY(result.folderExists);
        QCOMPARE(result.deleted, 6);
        QCOMPARE(result.failed, 0);
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 (QStringList{"folder.txt", "sub"}));
        QVERIFY(QFileInfo::exists(target));
        QVERIFY(QFileInfo::exists(folder.filePath(QStringLiteral("sub/kept.txt"))));
        QVERIFY(!FolderFiles::deleteTopLevelFiles(folder.filePath(QStringLiteral("missing"))).folderExists);
    }

    void tenThousandTempFilesGoWithoutHoldingTheWindow()
    {
        AppFixture app;
        for (int i = 0; i < 10000; ++i) {
            QFile file(app.path(QStringLiteral("Temp/f%1.tmp").arg(i)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QElapsedTimer clock;
        clock.start();
        app.item("NCleanTempDir")->trigger();
        QVERIFY2(clock.elapsed() < 200, qPrintable(QString::number(clock.elapsed())));
        // Everything but the run's lock.
        QTRY_COMPARE_WITH_TIMEOUT(QDir(app.path(QStringLiteral("Temp"))).entryList(QDir::Files | QDir::NoDotAndDotDot),
                                  QStringList(QStringLiteral("Running.lock")), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(app.statusText(0), QStringLiteral("已清除: 临时目录"), kReportMs);
    }

    void onlyOurOwnRecentDocumentsGo()
    {
        // The desktop's folder of recent documents is not ours: nothing in it is touched.
        touch(RecentDocuments::folder() + QStringLiteral("/doc.desktop"));
        // Ours alone, another program's alone, and one both used.
        const QByteArray others =
            "  <bookmark href=\"file:///home/u/report.odt\" added=\"2024-01-02T10:00:00Z\" modified=\"2024-01-02T10:00:00Z\""
            " visited=\"2024-01-02T10:00:00Z\">\n"
            "    <info>\n      <metadata owner=\"http://freedesktop.org\">\n"
            "        <mime:mime-type type=\"application/vnd.oasis.opendocument.text\"/>\n"
            "        <bookmark:applications>\n"
            "          <bookmark:application name=\"Writer\" exec=\"&apos;writer %u&apos;\" modified=\"2024-01-02T10:00:00Z\" count=\"3\"/>\n"
            "        </bookmark:applications>\n      </metadata>\n    </info>\n  </bookmark>\n";
        const auto entry = [](const char *href, const char *apps) {
            return QByteArray("  <bookmark href=\"") + href +
                   "\" added=\"2024-01-02T10:00:00Z\" modified=\"2024-01-02T10:00:00Z\" visited=\"2024-01-02T10:00:00Z\">\n"
                   "    <info>\n      <metadata owner=\"http://freedesktop.org\">\n"
                   "        <mime:mime-type type=\"text/html\"/>\n        <bookmark:applications>\n" +
                   apps + "        </bookmark:applications>\n      </metadata>\n    </info>\n  </bookmark>\n";
        };
        const QByteArray ours = "          <bookmark:application name=\"sablix\" exec=\"&apos;sablix %u&apos;\""
                                " modified=\"2024-01-02T10:00:00Z\" count=\"1\"/>\n";
        const QByteArray viewer = "          <bookmark:application name=\"Viewer\" exec=\"&apos;viewer %u&apos;\""
                                  " modified=\"2024-01-02T10:00:00Z\" count=\"2\"/>\n";
        writeFile(RecentDocuments::list(),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\"\n"
                  "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
                  "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n>\n" +
                      others + entry("file:///tmp/secret-page.html", ours) + entry("file:///tmp/shared.html", ours + viewer) +
                      "</xbel>\n");
        struct stat before {};
        QCOMPARE(::stat(QFile::encodeName(RecentDocuments::list()).constData(), &before), 0);
        AppFixture app;
        app.item("NCleanRecent")->trigger();
        QCOMPARE(app.statusText(0), QStringLiteral("已清除: 最近浏览的文档"));
        QVERIFY(QFileInfo::exists(RecentDocuments::folder() + QStringLiteral("/doc.desktop")));
        QFile list(RecentDocuments::list());
        QVERIFY(list.open(QIODevice::ReadOnly));
        const QByteArray text = list.readAll();
        list.close();
        QVERIFY2(!text.contains("secret-page") && !text.contains("name=\"sablix\""), text.constData());
        // The other programs' entries, with what they said.
        QVERIFY2(text.contains("file:///home/u/report.odt") && text.contains("name=\"Writer\"") &&
                     text.contains("application/vnd.oasis.opendocument.text") && text.contains("count=\"3\""),
                 text.constData());
        QVERIFY(text.contains("file:///tmp/shared.html") && text.contains("name=\"Viewer\""));
        struct stat after {};
        QCOMPARE(::stat(QFile::encodeName(RecentDocuments::list()).constData(), &after), 0);
        // A new file took the old one's place in one step.
        QVERIFY(before.st_ino != after.st_ino);

        // Nothing of ours left: the list is not written again.
        app.item("NCleanRecent")->trigger();
        struct stat again {};
        QCOMPARE(::stat(QFile::encodeName(RecentDocuments::list()).constData(), &again), 0);
        QCOMPARE(again.st_ino, after.st_ino);

        // A list that is a link is somebody else's: left alone, and said so.
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("list.xbel"));
        QVERIFY(QFile::rename(RecentDocuments::list(), target));
        QVERIFY(QFile::link(target, RecentDocuments::list()));
        app.item("NCleanRecent")->trigger();
        QVERIFY(QFileInfo(RecentDocuments::list()).isSymLink());
        QVERIFY2(app.statusText(0).contains(QStringLiteral("链接")), qPrintable(app.statusText(0)));
        QFile::remove(RecentDocuments::list());
    }

    void aLinkedTempIsRefusedAndItsTargetKeepsItsFiles()
    {
        AppFixture app;
        QTemporaryDir outside;
        touch(outside.filePath(QStringLiteral("precious.txt")));
        // The program's temp folder replaced by a link to somebody else's folder.
        const QString temp = app.path(QStringLiteral("Temp"));
        QVERIFY(QDir(temp).removeRecursively());
        QVERIFY(QFile::link(outside.path(), temp));
        app.item("NCleanTempDir")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(app.statusText(0).contains(QStringLiteral("临时目录是链接")), kReportMs);
        QVERIFY(!app.statusText(0).contains(QStringLiteral("已清除")));
        QVERIFY(QFileInfo::exists(outside.filePath(QStringLiteral("precious.txt"))));
        // "全部清除" does the rest and refuses the same.
        app.item("NCleanAll")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(app.statusText(0).startsWith(QStringLiteral("已清除: 地址栏历史")), kReportMs);
        QVERIFY(!app.statusText(0).contains(QStringLiteral("、临时目录")));
        QVERIFY(app.statusText(0).contains(QStringLiteral("临时目录是链接")));
        QVERIFY(QFileInfo::exists(outside.filePath(QStringLiteral("precious.txt"))));
    }

    void theRunsLockSurvivesATempClean()
    {
        AppFixture app;
        touch(app.path(QStringLiteral("Temp/page.txt")));
        const QString lock = app.path(QStringLiteral("Temp/Running.lock"));
        QVERIFY(QFileInfo::exists(lock));
        app.item("NCleanTempDir")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(app.statusText(0), QStringLiteral("已清除: 临时目录"), kReportMs);
        QVERIFY(!app.exists(QStringLiteral("Temp/page.txt")));
        QVERIFY(QFileInfo::exists(lock));
        // Still this run's: another program cannot take it.
        QLockFile other(lock);
        QVERIFY(!other.tryLock(0));
    }

    void theEnginesPartIsReportedOnlyOnceItIsDone()
    {
        AppFixture app;
        leaveTraces(app);
        // An engine that never confirms: the line says so instead of claiming it.
        app.engine.data.clearingConfirms = false;
        app.item("NCleanCookies")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!app.statusText(0).isEmpty(), kReportMs);
        QCOMPARE(app.statusText(0), QStringLiteral("未能确认已清除: Cookies；") + kSiteDataLater);
        app.item("NCleanAll")->trigger();
        // The line as it was, should the report not come: another notice may have taken its place.
        QTRY_VERIFY2_WITH_TIMEOUT(app.statusText(0).contains(QStringLiteral("未能确认已清除: 浏览历史、缓存、Cookies")),
                                  qPrintable(app.statusText(0)), kReportMs);
        QVERIFY(!app.statusText(0).contains(QStringLiteral("、Cookies、")));
        // Confirmed, they are named with the rest.
        app.engine.data.clearingConfirms = true;
        app.item("NCleanCache")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(app.statusText(0), QStringLiteral("已清除: 输入过的地址、缓存"), kReportMs);
    }

    void cleanAllOffersToForgetTheSitesPermissions()
    {
        SitePermissions::setDecision(QStringLiteral("https://cam.example:-1"), SitePermissions::MediaVideoCapture, true);
        SitePermissions::setDecision(QStringLiteral("file:///home/u/a.html"), SitePermissions::Notifications, false);
        AppFixture app;
        int asked = 0;
        app.program->cleaner()->askToForgetPermissions = [&asked] {
            ++asked;
            return false;
        };
        app.item("NCleanAll")->trigger();
        QCOMPARE(asked, 1);
        QCOMPARE(SitePermissions::answers().size(), 2);
        // The certificates let through in spite of errors go whatever the answer.
        QCOMPARE(app.engine.data.exceptionsForgotten, 1);
        app.program->cleaner()->askToForgetPermissions = [&asked] {
            ++asked;
            return true;
        };
        app.item("NCleanAll")->trigger();
        QCOMPARE(asked, 2);
        QVERIFY(SitePermissions::answers().isEmpty());
        // None kept: no question.
        app.item("NCleanAll")->trigger();
        QCOMPARE(asked, 2);
    }

    void theCacheComponentsPatternsAndFilter()
    {
        ScriptedBrowsingData data;
        data.cookieJar << cookie("a", false) << cookie("b", true);
        TIECache cache([&data] { return &data; });
        QCOMPARE(cache.filter(), quint32(0x300035));
        cache.setFilterOptions({TIECache::COOKIE_ENTRY, TIECache::STABLE_ENTRY});
        QCOMPARE(cache.filter(), quint32(0x100002));
        cache.setSearchPattern(TIECache::spAll);
        QCOMPARE(cache.retrieve(), 2); // the filter lets only the cookies through
        cache.setFilterOptions({TIECache::NORMAL_ENTRY, TIECache::STICKY_ENTRY, TIECache::COOKIE_ENTRY,
                                TIECache::URLHISTORY_ENTRY, TIECache::TRACK_OFFLINE_ENTRY, TIECache::TRACK_ONLINE_ENTRY});
        QStringList found;
        cache.OnEntry = [&found](TIECache *sender, bool &cancel) {
            found << sender->entry().SourceUrlName;
            cancel = found.size() == 3;
        };
        QCOMPARE(cache.retrieve(), 3);
        QCOMPARE(found, (QStringList{"Visited:", "Cache:", "Cookie:a@a.test/"}));
        cache.setSearchPattern(TIECache::spCookies);
        QVERIFY(cache.deleteOne(QStringLiteral("Cookie:b@a.test/")));
        QCOMPARE(data.cookieJar.size(), 1);
        QCOMPARE(cache.deleteAll(), 1);
        QVERIFY(data.cookieJar.isEmpty());
        TIECache none([] { return static_cast<BrowsingData *>(nullptr); });
        QVERIFY(!none.libraryAvailable());
        QCOMPARE(none.deleteAll(), 0);
    }

    // The history's file is emptied on its writer's thread: the line names it only once it is.
    void theHistoryFileIsNamedOnlyOnceItIsEmpty()
    {
        AppFixture app;
        History *history = app.program->history();
        QVERIFY(HistoryTesting::waitReady(history));
        QVERIFY(HistoryTesting::emptyHistory(history));
        int entriesWhenSaid = -1;
        QString said;
        connect(app.program->cleaner(), &PrivacyCleaner::statusMessage, this, [&](const QString &text) {
            said = text;
            entriesWhenSaid = history->reader().count();
        });
        for (const char *command : {"NCleanHistory", "NCleanAll"}) {
            leaveTraces(app);
            QVERIFY(HistoryTesting::writeNow(history));
            QCOMPARE(history->reader().count(), 2);
            said.clear();
            app.item(command)->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(!said.isEmpty(), kReportMs);
            QVERIFY2(said.contains(QStringLiteral("历史记录")), qPrintable(said));
            QCOMPARE(entriesWhenSaid, 0);
        }
        // A history that could not be emptied is not claimed.
        struct Unclearable : ClearableStore
        {
            void clearStore(std::function<void(bool)> done) override { done(false); }
        } unclearable;
        app.program->cleaner()->setHistory(&unclearable);
        said.clear();
        app.item("NCleanHistory")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!said.isEmpty(), kReportMs);
        QVERIFY2(said.contains(QStringLiteral("历史记录未能清除")), qPrintable(said));
        QVERIFY(!said.contains(QStringLiteral("、历史记录")));
    }

    void clearingOnExitIsStoredAndRunsAtTheClose()
    {
        {
            AppFixture app;
            app.item("NCleanOnExit")->trigger();
            QCOMPARE(app.configValue(QStringLiteral("CleanOnExit")), QStringLiteral("1"));
        }
        {
        AppFixture app("[RunData]\r\nCleanOnExit=1\r\n");
        QVERIFY(app.item("NCleanOnExit")->isChecked());
        QVERIFY(HistoryTesting::waitReady(app.program->history()));
        leaveTraces(app);
        QVERIFY(HistoryTesting::writeNow(app.program->history()));
        QVERIFY(app.program->history()->reader().count() > 0);
        QElapsedTimer clock;
        clock.start();
        app.main->close();
        QVERIFY(clock.elapsed() < Program::kCleanOnExitMs + 1000);
        QCOMPARE(app.bytes(QStringLiteral("Data/Url.lst")), QByteArray());
        QVERIFY(app.engine.data.cookieJar.isEmpty());
        QVERIFY(!app.exists(QStringLiteral("Temp/page.txt")));
        // The browsing history's file was emptied before the close went on.
        QCOMPARE(app.program->history()->reader().count(), 0);
        QCOMPARE(app.configValue(QStringLiteral("TrueClose")), QStringLiteral("1"));
        // What the engine keeps on disk goes with the engine.
        QCOMPARE(app.engine.data.erasuresAtEnd, 1);
        // The close asks nothing.
        QVERIFY(!QApplication::activeModalWidget());
        // A page that finishes after the clearing (the close lets events run) stays out.
        app.active()->commitNavigation(QStringLiteral("http://late.example/"), QStringLiteral("Late"));
        }
        HistoryDatabase file;
        QVERIFY(file.openToRead(HistoryDatabase::defaultPath()));
        QCOMPARE(file.count(), 0);
    }
};

QTEST_MAIN(TestCleaner)
#include "tst_cleaner.moc"
