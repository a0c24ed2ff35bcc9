#include "appfixture.h"
#include "favorites/openpagelists.h"

#include <QTest>

class TestOpenPageLists : public QObject
{
    Q_OBJECT

private slots:
    void blankAndEmptyPagesAreNotListed()
    {
        AppFixture app;
        app.pages->NewPage(2);
        app.pages->NewPage(2);
        app.pages->NewPage(2);
        app.pages->NewPage(2);
        app.browser(0)->setLocation(QStringLiteral("http://a.example/#x"), QStringLiteral("A#1"));
        app.browser(1)->setLocation(QStringLiteral(" About:Blank "), QStringLiteral("blank"));
        app.browser(2)->setLocation(QString(), QStringLiteral("nothing"));
        app.browser(3)->setLocation(QStringLiteral("http://c.example/"), QStringLiteral("Engine C"));
        // A recorded title of "about:blank" gives way to the engine's.
        app.pages->SetPageCaption(QStringLiteral("about:blank"), app.browser(3));
        app.pages->applyCaptions();
        QCOMPARE(app.openPageLists()->currentLines(),
                 (QStringList{"A#1#http://a.example/#x", "Engine C#http://c.example/"}));
    }

    void modeOneWritesOnlyTheFirstListAndNeverTrueClose()
    {
        AppFixture app;
        writeFile(app.path("Data/OpenURLList2.lst"), "old#http://old/\r\n");
        app.openPage(QStringLiteral("a.example"), QStringLiteral("A"));
        app.openPageLists()->save(1);
        QCOMPARE(app.lines("Data/OpenURLList.lst"), QStringList{QStringLiteral("A#http://a.example")});
        QCOMPARE(app.lines("Data/OpenURLList2.lst"), QStringList{QStringLiteral("old#http://old/")});
        QCOMPARE(app.configValue(QStringLiteral("TrueClose")), QStringLiteral("<missing>"));
    }

    void modeTwoWritesBothListsTheHistoryAndMarksTheRun()
    {
        AppFixture app;
        app.openPage(QStringLiteral("a.example"), QStringLiteral("A"));
        app.openPageLists()->save(2);
        QCOMPARE(app.lines("Data/OpenURLList2.lst"), QStringList{QStringLiteral("A#http://a.example")});
        QCOMPARE(app.lines("Data/Url.lst"), QStringList{QStringLiteral("http://a.example")});
        QCOMPARE(app.configValue(QStringLiteral("TrueClose")), QStringLiteral("0"));
    }

    void modeTwoLeavesUrlListAloneWhenTheHistoryIsEmpty()
    {
        AppFixture app;
        writeFile(app.path("Data/Url.lst"), "kept\r\n");
        app.pages->NewPage(2);
        app.openPageLists()->save(2);
        QCOMPARE(app.lines("Data/Url.lst"), QStringList{QStringLiteral("kept")});
        // Nothing listed: an empty file is written all the same.
        QVERIFY(app.exists("Data/OpenURLList.lst"));
        QCOMPARE(app.bytes("Data/OpenURLList.lst"), QByteArray());
    }

    void withoutPagesNothingIsWritten()
    {
        AppFixture app;
        app.openPageLists()->save(2);
        QVERIFY(!app.exists("Data/OpenURLList.lst"));
        QCOMPARE(app.configValue(QStringLiteral("TrueClose")), QStringLiteral("<missing>"));
    }

    void pagesFinishingTogetherAreWrittenInABatch()
    {
        AppFixture app;
        app.openPage(QStringLiteral("http://p0.example/"), QStringLiteral("P0"));
        QTRY_COMPARE(app.lines("Data/OpenURLList.lst"), QStringList{QStringLiteral("P0#http://p0.example/")});
        const int first = app.openPageLists()->saves();
        QStringList expected{QStringLiteral("P0#http://p0.example/")};
        for (int i = 1; i < 20; ++i) {
            const QString address = QStringLiteral("http://p%1.example/").arg(i);
            app.openPage(address, QStringLiteral("P%1").arg(i));
            expected << QStringLiteral("P%1#").arg(i) + address;
        }
        QVERIFY(app.openPageLists()->saveWaiting());
        // The rest come together, once the batch's time is up.
        QTRY_COMPARE(app.lines("Data/OpenURLList.lst"), expected);
        QCOMPARE(app.lines("Data/OpenURLList2.lst"), expected);
        QVERIFY2(app.openPageLists()->saves() - first <= 2, qPrintable(QString::number(app.openPageLists()->saves())));
        QCOMPARE(app.configValue(QStringLiteral("TrueClose")), QStringLiteral("0"));
    }

    void aSaveNowTakesWhatWaitedForTheBatch()
    {
        AppFixture app;
        app.openPage(QStringLiteral("http://a.example/"), QStringLiteral("A"));
        app.openPage(QStringLiteral("http://b.example/"), QStringLiteral("B"));
        app.openPage(QStringLiteral("http://c.example/"), QStringLiteral("C"));
        // Three pages wait for the batch, which would write the second list too.
        app.openPageLists()->save(1);
        QCOMPARE(app.lines("Data/OpenURLList2.lst").size(), 3);
        // Nothing is left waiting: no second write follows.
        QVERIFY(!app.openPageLists()->saveWaiting());
    }

    void aReadOnlyDataFolderFailsQuietly()
    {
        if (::geteuid() == 0)
            QSKIP("root writes into read-only folders");
        AppFixture app;
        app.openPage(QStringLiteral("a.example"), QStringLiteral("A"));
        QFile::setPermissions(app.path("Data"), QFile::ReadOwner | QFile::ExeOwner);
        app.openPageLists()->save(2);
        QFile::setPermissions(app.path("Data"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!app.exists("Data/OpenURLList2.lst"));
    }
};

QTEST_MAIN(TestOpenPageLists)
#include "tst_openpagelists.moc"
