#include "appfixture.h"
#include "core/textcodec.h"
#include "favorites/openpagelists.h"
#include "tabs/recentlyclosed.h"
#include "tabs/sessionrestore.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFrame>
#include <QTemporaryDir>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <csignal>

// Getting the pages back after a run that did not close: the offer, restoring in order and
// loading when shown, the lists meanwhile, and lists that are not what they should be.
class TestSessionRestore : public QObject
{
    Q_OBJECT

private:
    // The lock a killed run leaves: a process that is gone.
    static QByteArray leftLock()
    {
        qint64 pid = 4000000;
        while (::kill(pid_t(pid), 0) == 0 || errno != ESRCH)
            --pid;
        return QByteArray::number(pid) + "\nsablix\n\n";
    }
    static QByteArray list(const QStringList &lines)
    {
        QByteArray bytes;
        for (const QString &line : lines)
            bytes += TextCodec::encode(line) + "\r\n";
        return bytes;
    }
    static QList<QPair<QString, QByteArray>> killedRun(const QStringList &lines)
    {
        return {{QStringLiteral("Temp/Running.lock"), leftLock()}, {QStringLiteral("Data/OpenURLList.lst"), list(lines)}};
    }
    static QFrame *bar(const AppFixture &app) { return app.main->findChild<QFrame *>(QStringLiteral("RestoreBar")); }

private slots:
    void afterAKilledRunThePagesComeBackInOrderEachLoadingWhenShown()
    {
        AppFixture app(killedRun({QStringLiteral("One#http://one.test/"), QStringLiteral("C# and more#http://two.test/a#frag"),
                                  QStringLiteral("javascript:alert(1)"), QStringLiteral("Three#http://three.test/")}));
        QVERIFY(bar(app));
        auto *restore = bar(app)->findChild<QToolButton *>(QStringLiteral("RestorePages"));
        QCOMPARE(restore->text(), QStringLiteral("恢复上次的 3 个页面"));
        restore->click();
        QCOMPARE(app.pages->count(), 3);
        QStringList captions;
        for (const QString &caption : app.captions())
            captions << caption.trimmed();
        QCOMPARE(captions, QStringList({QStringLiteral("One"), QStringLiteral("C# and m.."), QStringLiteral("Three")}));
        // Only the page in front loads; the others wait until shown.
        QCOMPARE(app.browser(0)->pendingAddress(), QStringLiteral("http://one.test/"));
        QCOMPARE(app.browser(1)->pendingAddress(), QString());
        QCOMPARE(app.browser(2)->pendingAddress(), QString());
        QVERIFY(app.statusText(0).contains(QStringLiteral("跳过 1 个")));
        // Pages not loaded yet keep their lines.
        QCOMPARE(app.openPageLists()->currentLines(),
                 QStringList({QStringLiteral("One#http://one.test/"), QStringLiteral("C# and more#http://two.test/a#frag"),
                              QStringLiteral("Three#http://three.test/")}));
        app.widget<QTabWidget>("PageControl")->setCurrentIndex(2);
        QCOMPARE(app.browser(2)->pendingAddress(), QStringLiteral("http://three.test/"));
        QCOMPARE(app.browser(1)->pendingAddress(), QString());
        QTRY_VERIFY(!bar(app));
        // Nothing is restored twice: the key now reopens the last closed page.
        QVERIFY(!app.program->sessionRestore()->restore());
    }

    // The count stays in view while the first restored page loads, then the page's own
    // texts come back.
    void theRestoredCountIsNotCoveredByThePagesMessages()
    {
        AppFixture app(killedRun({QStringLiteral("One#http://one.test/"), QStringLiteral("Two#http://two.test/")}));
        bar(app)->findChild<QToolButton *>(QStringLiteral("RestorePages"))->click();
        QCOMPARE(app.statusText(0), QStringLiteral("已恢复 2 个页面"));
        QVERIFY(app.status()->isHolding());
        app.browser(0)->commitNavigation(QString(), QStringLiteral("One"));
        QCOMPARE(app.statusText(0), QStringLiteral("已恢复 2 个页面"));
        // Showing the second page loads it: its messages wait too.
        app.widget<QTabWidget>("PageControl")->setCurrentIndex(1);
        app.browser(1)->commitNavigation(QString(), QStringLiteral("Two"));
        QCOMPARE(app.statusText(0), QStringLiteral("已恢复 2 个页面"));
        // Held for a while only: then the newest of the pages' texts shows.
        app.status()->releaseHeld();
        QCOMPARE(app.statusText(0), QStringLiteral(">>完成:Two<http://two.test/>"));
        app.browser(1)->commitNavigation(QStringLiteral("http://two.test/b"), QStringLiteral("B"));
        QCOMPARE(app.statusText(0), QStringLiteral(">>完成:B<http://two.test/b>"));
    }

    void theKeyRestoresWhileOfferedAndReopensTheLastClosedOtherwise()
    {
        {
            AppFixture app(killedRun({QStringLiteral("One#http://one.test/")}));
            app.item("ActionRestorePages")->trigger();
            QCOMPARE(app.pages->count(), 1);
            QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://one.test/"));
        }
        AppFixture app;
        app.recentlyClosed()->add(QStringLiteral("Gone"), QStringLiteral("http://gone.test/"));
        app.item("ActionRestorePages")->trigger();
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://gone.test/"));
    }

    void noOfferAfterAnOrderlyCloseOrWhileAnotherRunHoldsTheFolder()
    {
        QTemporaryDir dir;
        {
            // An orderly run: the lock goes with the close.
            AppFixture app({{QStringLiteral("Data/OpenURLList.lst"), list({QStringLiteral("One#http://one.test/")})}});
            QVERIFY(!bar(app));
            app.openPage(QStringLiteral("http://two.test/"), QStringLiteral("Two"));
            QVERIFY(QFileInfo::exists(app.path(QStringLiteral("Temp/Running.lock"))));
            app.main->close();
            QVERIFY(!QFileInfo::exists(app.path(QStringLiteral("Temp/Running.lock"))));
        }
        // A lock of a process that still runs (this one) is another program's.
        const QByteArray alive = QByteArray::number(QCoreApplication::applicationPid()) + "\n" +
                                 QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + "\n\n";
        AppFixture app({{QStringLiteral("Temp/Running.lock"), alive},
                        {QStringLiteral("Data/OpenURLList.lst"), list({QStringLiteral("One#http://one.test/")})}});
        QVERIFY(!bar(app));
        QVERIFY(!app.program->sessionRestore()->offered());
    }

    void theListsKeepTheOfferedPagesUntilAnswered()
    {
        AppFixture app(killedRun({QStringLiteral("Old#http://old.test/")}));
        app.openPage(QStringLiteral("http://new.test/"), QStringLiteral("New"));
        app.openPageLists()->save(1);
        QCOMPARE(app.lines("Data/OpenURLList.lst"),
                 QStringList({QStringLiteral("New#http://new.test/"), QStringLiteral("Old#http://old.test/")}));
        bar(app)->findChild<QToolButton *>(QStringLiteral("RestoreDismiss"))->click();
        app.openPageLists()->save(1);
        QCOMPARE(app.lines("Data/OpenURLList.lst"), QStringList(QStringLiteral("New#http://new.test/")));
        QTRY_VERIFY(!bar(app));
    }

    void hostileListsGiveOnlySoundEntriesUpToTheCap()
    {
        QTemporaryDir dir;
        const QString readable = dir.filePath(QStringLiteral("page.html"));
        QVERIFY(writeFile(readable, "<p>x</p>"));
        const QString path = dir.filePath(QStringLiteral("list.lst"));
        auto write = [&](const QByteArray &bytes) {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(bytes);
        };
        int skipped = -1;

        write(QByteArray());
        QVERIFY(SessionRestore::readList(path, 256, &skipped).isEmpty());
        QCOMPARE(skipped, 0);
        QVERIFY(SessionRestore::readList(dir.filePath(QStringLiteral("missing.lst")), 256, &skipped).isEmpty());

        // Garbage, other schemes, files out of reach, a line cut off mid-write.
        write(list({QStringLiteral("Local#") + QUrl::fromLocalFile(readable).toString(),
                    QStringLiteral("Gone#file:///nonexistent/secret.html"), QStringLiteral("x#javascript:alert(1)"),
                    QStringLiteral("d#data:text/html,hi"), QStringLiteral("no address at all"),
                    QStringLiteral("http://bare.test/")}) +
              QByteArray("\xff\xfe\x00garbage\r\n", 12) + "Cut#http://cut.te");
        const QList<SessionRestore::Entry> entries = SessionRestore::readList(path, 256, &skipped);
        QStringList addresses;
        for (const auto &entry : entries)
            addresses << entry.address;
        QCOMPARE(addresses, QStringList({QUrl::fromLocalFile(readable).toString(), QStringLiteral("http://bare.test/"),
                                         QStringLiteral("http://cut.te")}));
        QCOMPARE(skipped, 5);

        // 100 000 lines: the cap, and the rest counted without being parsed.
        QByteArray many;
        for (int i = 0; i < 100000; ++i)
            many += "P#http://p" + QByteArray::number(i) + ".test/\r\n";
        write(many);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(SessionRestore::readList(path, 256, &skipped).size(), 256);
        QCOMPARE(skipped, 100000 - 256);
        QVERIFY2(clock.elapsed() < 2000, "a long list is read in passing");
    }

    void restoringStopsAtThePageCap()
    {
        QStringList lines;
        for (int i = 0; i < 256; ++i)
            lines << QStringLiteral("P#http://p%1.test/").arg(i);
        AppFixture app(killedRun(lines));
        app.openPage(QStringLiteral("http://first.test/"), QStringLiteral("First"));
        QVERIFY(app.program->sessionRestore()->restore());
        QCOMPARE(app.pages->count(), 256);
        QCOMPARE(app.pages->activeIndex(), 0);
        QVERIFY(app.statusText(0).contains(QStringLiteral("跳过 1 个")));
        // Restored pages go behind the one in front, which stays in front.
        QCOMPARE(app.active()->LocationURL(), QStringLiteral("http://first.test/"));
    }

    static QStringList shownAddresses(const AppFixture &app)
    {
        QStringList all;
        for (int i = 0; i < app.pages->count(); ++i)
            all << app.pages->page(i)->address();
        return all;
    }

    // "继续上次打开的页面": a start after an orderly close opens the last run's pages in order,
    // the one in front in front and the only one loading, pinned and muted as they were.
    void continuingOpensTheLastRunsPagesAsTheyWere()
    {
        const QByteArray on = "[RunData]\r\nRestoreOnStart=1\r\n";
        const QPair<QString, QByteArray> pages{
            QStringLiteral("Data/OpenURLList.lst"),
            list({QStringLiteral("One#http://one.test/"), QStringLiteral("Two#http://two.test/"),
                  QStringLiteral("T#hree#http://three.test/")})};
        const QPair<QString, QByteArray> state{
            QStringLiteral("Data/OpenURLState.lst"),
            list({QStringLiteral("-#http://one.test/"), QStringLiteral("P#http://two.test/"),
                  QStringLiteral("AM#http://three.test/")})};
        const QStringList inOrder{QStringLiteral("http://one.test/"), QStringLiteral("http://two.test/"),
                                  QStringLiteral("http://three.test/")};
        {
            AppFixture app({pages, state}, on);
            QVERIFY(!bar(app));
            QCOMPARE(shownAddresses(app), QStringList({inOrder[1], inOrder[0], inOrder[2]}));
            QCOMPARE(app.pages->activeIndex(), 2);
            QCOMPARE(app.browser(2)->pendingAddress(), inOrder[2]);
            QCOMPARE(app.browser(0)->pendingAddress(), QString());
            QCOMPARE(app.browser(1)->pendingAddress(), QString());
            QVERIFY(app.pages->page(0)->pinned() && !app.pages->page(1)->pinned());
            QVERIFY(app.browser(2)->isMuted() && !app.browser(0)->isMuted());
            QCOMPARE(app.pages->page(2)->title().trimmed(), QStringLiteral("T#hree"));
        }
        // Off, as by default: the strip starts empty.
        {
            AppFixture app({pages, state});
            QCOMPARE(app.pages->count(), 0);
        }
        // A list of an older version without its state, or a state of other pages: the pages
        // come all the same, none pinned or muted, the first in front.
        const QPair<QString, QByteArray> otherState{
            QStringLiteral("Data/OpenURLState.lst"),
            list({QStringLiteral("P#http://other.test/"), QStringLiteral("AP#http://two.test/"),
                  QStringLiteral("M#http://three.test/")})};
        for (const auto &files : {QList<QPair<QString, QByteArray>>{pages}, QList<QPair<QString, QByteArray>>{pages, otherState}}) {
            AppFixture app(files, on);
            QCOMPARE(shownAddresses(app), inOrder);
            QCOMPARE(app.pages->activeIndex(), 0);
            QCOMPARE(app.pages->pinnedCount(), 0);
            QVERIFY(!app.browser(2)->isMuted());
            QCOMPARE(app.browser(0)->pendingAddress(), inOrder[0]);
        }
        // After a crash the offer comes instead, as it always did; what it restores is pinned
        // and muted as it was, behind the pages open by then.
        {
            AppFixture app({{QStringLiteral("Temp/Running.lock"), leftLock()}, pages, state}, on);
            QCOMPARE(app.pages->count(), 0);
            QVERIFY(bar(app));
            app.openPage(QStringLiteral("http://now.test/"), QStringLiteral("Now"));
            QVERIFY(app.program->sessionRestore()->restore());
            QCOMPARE(shownAddresses(app), QStringList({inOrder[1], QStringLiteral("http://now.test/"), inOrder[0], inOrder[2]}));
            QCOMPARE(app.active()->LocationURL(), QStringLiteral("http://now.test/"));
            QVERIFY(app.pages->page(0)->pinned());
            QVERIFY(app.browser(3)->isMuted());
        }
    }

    // Dragged, pinned, muted and in front: so again after a restart, through the lists the
    // close writes.
    void theArrangementSurvivesARestart()
    {
        const QByteArray on = "[RunData]\r\nRestoreOnStart=1\r\n";
        QList<QPair<QString, QByteArray>> kept;
        QStringList order;
        {
            AppFixture app({}, on);
            for (int i = 0; i < 4; ++i)
                app.openPage(QStringLiteral("http://p%1.test/").arg(i), QStringLiteral("P%1").arg(i));
            // As a drag of the last tab to the front ends.
            app.widget<QTabWidget>("PageControl")->tabBar()->moveTab(3, 0);
            app.pages->setPinned(2, true);
            app.browser(3)->setMuted(true);
            app.pages->activatePage(2);
            order = shownAddresses(app);
            QCOMPARE(order, QStringList({QStringLiteral("http://p1.test/"), QStringLiteral("http://p3.test/"),
                                         QStringLiteral("http://p0.test/"), QStringLiteral("http://p2.test/")}));
            app.main->close();
            for (const QString &name : {QStringLiteral("Data/OpenURLList.lst"), QStringLiteral("Data/OpenURLState.lst"),
                                        QStringLiteral("Config.ini")})
                kept << qMakePair(name, app.bytes(name));
            // The list keeps its two fields: whatever reads it still can.
            QCOMPARE(app.lines(QStringLiteral("Data/OpenURLList.lst")).first(), QStringLiteral("P1#http://p1.test/"));
        }
        AppFixture again(kept.mid(0, 2), kept.at(2).second);
        QCOMPARE(shownAddresses(again), order);
        QCOMPARE(again.pages->activeIndex(), 2);
        QCOMPARE(again.pages->pinnedCount(), 1);
        QVERIFY(again.browser(3)->isMuted());
        QVERIFY(!again.browser(0)->isMuted() && !again.browser(2)->isMuted());
        QCOMPARE(again.widget<QTabWidget>("PageControl")->tabText(0), QStringLiteral("P"));
    }
};

QTEST_MAIN(TestSessionRestore)
#include "tst_sessionrestore.moc"
