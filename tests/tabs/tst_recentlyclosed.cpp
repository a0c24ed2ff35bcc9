#include "appfixture.h"
#include "tabs/recentlyclosed.h"

#include <QAction>
#include <QMenu>
#include <QTest>

// The recently closed list: adding, its limit, its file, loading and undo close.
class TestRecentlyClosed : public QObject
{
    Q_OBJECT

private:
    static QStringList addresses(const AppFixture &app)
    {
        QStringList list;
        for (const auto &entry : app.recentlyClosed()->entries())
            list << entry.address;
        return list;
    }

private slots:
    void addingKeepsTheTwelveNewestOnce()
    {
        AppFixture app;
        RecentlyClosedList *list = app.recentlyClosed();
        for (int i = 0; i < 13; ++i)
            list->add(QStringLiteral("T%1").arg(i), QStringLiteral("http://p%1/").arg(i));
        QCOMPARE(list->entries().size(), 12);
        QCOMPARE(list->entries().first().address, QStringLiteral("http://p1/"));
        list->add(QStringLiteral("again"), QStringLiteral("http://p5/"));
        QCOMPARE(list->entries().size(), 12);
        QCOMPARE(list->entries().last().address, QStringLiteral("http://p12/"));
        // Exact address comparison: another letter case is another entry.
        list->add(QStringLiteral("upper"), QStringLiteral("HTTP://p5/"));
        QCOMPARE(list->entries().last().address, QStringLiteral("HTTP://p5/"));
        QCOMPARE(app.lines("Data/NewlyList.lst").size(), 12);
        QCOMPARE(app.lines("Data/NewlyList.lst").last(), QStringLiteral("upper#HTTP://p5/"));
    }

    void captionsAreCutAtFiftyCharacters()
    {
        AppFixture app;
        RecentlyClosedList *list = app.recentlyClosed();
        list->add(QString(49, QLatin1Char('a')), QStringLiteral("http://49/"));
        list->add(QString(50, QLatin1Char('b')), QStringLiteral("http://50/"));
        list->add(QStringLiteral("  trimmed  "), QStringLiteral("http://t/"));
        QCOMPARE(list->entries()[0].caption, QString(49, QLatin1Char('a')));
        QCOMPARE(list->entries()[1].caption, QString(50, QLatin1Char('b')) + QStringLiteral("..."));
        QCOMPARE(list->entries()[2].caption, QStringLiteral("trimmed"));
    }

    void blankAddressesAddNothingButTheFileIsRewritten()
    {
        AppFixture app;
        RecentlyClosedList *list = app.recentlyClosed();
        list->add(QStringLiteral("A"), QStringLiteral("http://a/"));
        writeFile(app.path("Data/NewlyList.lst"), "stale\r\n");
        list->add(QStringLiteral("blank"), QStringLiteral(" ABOUT:blank "));
        list->add(QStringLiteral("empty"), QStringLiteral("  "));
        QCOMPARE(list->entries().size(), 1);
        QCOMPARE(app.lines("Data/NewlyList.lst"), QStringList{QStringLiteral("A#http://a/")});
    }

    void anEmptyListLeavesTheFileAsItIs()
    {
        AppFixture app;
        writeFile(app.path("Data/NewlyList.lst"), QByteArray());
        app.recentlyClosed()->clear();
        writeFile(app.path("Data/NewlyList.lst"), "untouched\r\n");
        app.recentlyClosed()->add(QString(), QStringLiteral("about:blank"));
        QCOMPARE(app.lines("Data/NewlyList.lst"), QStringList{QStringLiteral("untouched")});
    }

    void loadingReadsAtMostThirteen()
    {
        QByteArray file;
        for (int i = 0; i < 20; ++i)
            file += "Title " + QByteArray::number(i) + "#http://p" + QByteArray::number(i) + "/#part\r\n";
        AppFixture prepared;
        writeFile(prepared.path("Data/NewlyList.lst"), file);
        prepared.recentlyClosed()->load();
        // load() appends to what is there: the fixture's own start-up found no file.
        QCOMPARE(prepared.recentlyClosed()->entries().size(), 13);
        QCOMPARE(prepared.recentlyClosed()->entries().first().caption, QStringLiteral("Title 0"));
        QCOMPARE(prepared.recentlyClosed()->entries().first().address, QStringLiteral("http://p0/#part"));
        prepared.recentlyClosed()->add(QStringLiteral("new"), QStringLiteral("http://new/"));
        QCOMPARE(prepared.recentlyClosed()->entries().size(), 12);
    }

    void startUpLoadsTheFile()
    {
        AppFixture first;
        first.recentlyClosed()->add(QStringLiteral("标题"), QStringLiteral("http://kept/"));
        const QByteArray saved = first.bytes("Data/NewlyList.lst");
        QCOMPARE(saved, QByteArray("\xB1\xEA\xCC\xE2#http://kept/\r\n"));
        // A second program on the same folder sees the entry at start-up.
        Program second(first.folder(), &first.engine);
        second.start();
        QCOMPARE(second.recentlyClosed()->entries().size(), 1);
        QCOMPARE(second.recentlyClosed()->entries().first().caption, QStringLiteral("标题"));
    }

    void undoCloseReopensTheLastClosedAddressEachTime()
    {
        AppFixture app;
        app.openPage(QStringLiteral("a.example"), QStringLiteral("A"));
        app.openPage(QStringLiteral("b.example"), QStringLiteral("B"));
        app.item("NCloseCurrent")->trigger();
        QCOMPARE(app.pages->count(), 1);
        app.item("NOpenNewlyOne")->trigger();
        QCOMPARE(app.pages->count(), 2);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://b.example"));
        app.active()->commitNavigation();
        app.item("NOpenNewlyOne")->trigger();
        QCOMPARE(app.pages->count(), 3);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://b.example"));
    }

    void undoCloseFallsBackToTheNewestEntry()
    {
        AppFixture app;
        RecentlyClosedList *list = app.recentlyClosed();
        list->add(QStringLiteral("Old"), QStringLiteral("http://old/"));
        list->add(QStringLiteral("New"), QStringLiteral("http://new/"));
        list->setLastClosedAddress(QStringLiteral("about:blank"));
        app.item("NOpenNewlyOne")->trigger();
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://new/"));
        QCOMPARE(addresses(app), QStringList{QStringLiteral("http://old/")});
        // The file waits for the next addition.
        QCOMPARE(app.lines("Data/NewlyList.lst").size(), 2);
    }

    void clearEmptiesTheMenuAndDeletesTheFile()
    {
        AppFixture app;
        app.recentlyClosed()->add(QStringLiteral("A"), QStringLiteral("http://a/"));
        QVERIFY(app.exists("Data/NewlyList.lst"));
        app.recentlyClosed()->clear();
        QVERIFY(app.recentlyClosed()->entries().isEmpty());
        QVERIFY(!app.exists("Data/NewlyList.lst"));
    }
};

QTEST_MAIN(TestRecentlyClosed)
#include "tst_recentlyclosed.moc"
