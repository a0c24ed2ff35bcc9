#include "app/listfile.h"
#include "appfixture.h"
#include "cleaner/folderfiles.h"
#include "cleaner/iecache.h"
#include "cleaner/privacycleaner.h"
#include "cleaner/recentdocuments.h"
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
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

// The cleaning commands with the scripted engine's browsing data: what each clears, what it
// leaves, the files it writes, and folders with hostile entries.
class TestCleaner : public QObject
{
    Q_OBJECT

private:
    static void touch(const QString &path)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
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
        // The sub-menu, the switch below it, then the downloads and the task manager.
        QCOMPARE(toolItems.size(), 5);
        QCOMPARE(toolItems.at(4)->objectName(), QStringLiteral("NTaskManager"));
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
        QTRY_COMPARE(app.statusText(0), QStringLiteral("已清除: Cookies"));

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
        QTRY_VERIFY(!app.exists(QStringLiteral("Temp/page.txt")));
        QVERIFY(app.exists(QStringLiteral("Temp/sub/inner.txt")));
        QTRY_VERIFY(app.statusText(0).startsWith(QStringLiteral("已清除: 地址栏历史、搜索栏历史")));
        // Again, while the first may still run: another whole pass.
        touch(app.path(QStringLiteral("Temp/again.txt")));
        app.item("NCleanAll")->trigger();
        app.item("NCleanAll")->trigger();
        QTRY_VERIFY(!app.exists(QStringLiteral("Temp/again.txt")));
    }

    void withoutTheEngineTheLaterStepsStillRun()
    {
        AppFixture app;
        leaveTraces(app);
        app.engine.failing = true;
        app.item("NCleanAll")->trigger();
        QVERIFY(!app.exists(QStringLiteral("Data/NewlyList.lst")));
        QTRY_VERIFY(!app.exists(QStringLiteral("Temp/page.txt")));
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
        QTRY_VERIFY_WITH_TIMEOUT(QDir(app.path(QStringLiteral("Temp"))).isEmpty(), 30000);
        QTRY_COMPARE(app.statusText(0), QStringLiteral("已清除: 临时目录"));
    }

    void recentDocumentsAreReplacedWhole()
    {
        touch(RecentDocuments::folder() + QStringLiteral("/doc.desktop"));
        touch(RecentDocuments::folder() + QStringLiteral("/kept/inner"));
        QFile list(RecentDocuments::list());
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("<?xml version=\"1.0\"?><xbel><bookmark href=\"file:///secret.txt\"/></xbel>");
        list.close();
        struct stat before {};
        QCOMPARE(::stat(QFile::encodeName(RecentDocuments::list()).constData(), &before), 0);
        AppFixture app;
        app.item("NCleanRecent")->trigger();
        QVERIFY(!QFileInfo::exists(RecentDocuments::folder() + QStringLiteral("/doc.desktop")));
        QVERIFY(QFileInfo::exists(RecentDocuments::folder() + QStringLiteral("/kept/inner")));
        QVERIFY(list.open(QIODevice::ReadOnly));
        const QByteArray text = list.readAll();
        QVERIFY(text.contains("<xbel") && text.contains("</xbel>") && !text.contains("secret"));
        struct stat after {};
        QCOMPARE(::stat(QFile::encodeName(RecentDocuments::list()).constData(), &after), 0);
        // A new file took the old one's place in one step.
        QVERIFY(before.st_ino != after.st_ino);
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

    void clearingOnExitIsStoredAndRunsAtTheClose()
    {
        {
            AppFixture app;
            app.item("NCleanOnExit")->trigger();
            QCOMPARE(app.configValue(QStringLiteral("CleanOnExit")), QStringLiteral("1"));
        }
        AppFixture app("[RunData]\r\nCleanOnExit=1\r\n");
        QVERIFY(app.item("NCleanOnExit")->isChecked());
        leaveTraces(app);
        QElapsedTimer clock;
        clock.start();
        app.main->close();
        QVERIFY(clock.elapsed() < Program::kCleanOnExitMs + 1000);
        QCOMPARE(app.bytes(QStringLiteral("Data/Url.lst")), QByteArray());
        QVERIFY(app.engine.data.cookieJar.isEmpty());
        QVERIFY(!app.exists(QStringLiteral("Temp/page.txt")));
        QCOMPARE(app.configValue(QStringLiteral("TrueClose")), QStringLiteral("1"));
    }
};

QTEST_MAIN(TestCleaner)
#include "tst_cleaner.moc"
