#include "appfixture.h"
#include "historytesting.h"
#include "history/history.h"
#include "history/historyrecorder.h"
#include "navigation/addressbar.h"

#include <QTest>

using namespace HistoryTesting;

// What the pages leave in the history: each completed document a visit with its title,
// titles that change afterwards, and nothing of what is not a visit or of a private page.
class TestHistoryRecorder : public QObject
{
    Q_OBJECT

private slots:
    void completedPagesAreVisits()
    {
        AppFixture app;
        History *history = app.program->history();
        QVERIFY(readyAndEmpty(history));
        ScriptedBrowser *page = app.openPage(QStringLiteral("news.example"), QStringLiteral("今日新闻头条"));
        app.openPage(QStringLiteral("news.example"), QStringLiteral("今日新闻头条"));
        app.openBlankPage();
        QVERIFY(writeNow(history));
        HistoryDatabase &file = history->reader();
        QCOMPARE(file.count(), 1);
        QCOMPARE(file.entry(QStringLiteral("http://news.example"))->visits, 2);
        QCOMPARE(file.entry(QStringLiteral("http://news.example"))->title, QStringLiteral("今日新闻头条"));
        // A title the page sets later follows the visit into the file.
        emit page->TitleChange(QStringLiteral("新标题"));
        page->commitNavigation(QStringLiteral("http://news.example/2"), QStringLiteral("Second"));
        QVERIFY(writeNow(history));
        QCOMPARE(file.entry(QStringLiteral("http://news.example"))->title, QStringLiteral("新标题"));
        QCOMPARE(file.entry(QStringLiteral("http://news.example/2"))->title, QStringLiteral("Second"));
    }

    void onlyWhatAPersonVisits_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("recorded");
        QTest::newRow("http") << "http://a.test/" << true;
        QTest::newRow("https") << "https://a.test/" << true;
        QTest::newRow("file") << "file:///tmp/a.html" << true;
        QTest::newRow("blank") << "about:blank" << false;
        QTest::newRow("data") << "data:text/html,x" << false;
        QTest::newRow("view-source") << "view-source:http://a.test/" << false;
        QTest::newRow("empty") << "" << false;
    }

    void onlyWhatAPersonVisits()
    {
        QFETCH(QString, address);
        QFETCH(bool, recorded);
        QCOMPARE(HistoryRecorder::isRecorded(address), recorded);
    }

    void privatePagesLeaveNothing()
    {
        AppFixture app;
        History *history = app.program->history();
        QVERIFY(readyAndEmpty(history));
        ScriptedBrowser *open = app.openPage(QStringLiteral("open.example"), QStringLiteral("Open"));
        const TEmbeddedWB *secret = nullptr;
        app.program->historyRecorder()->setPrivatePage([&secret](const TEmbeddedWB *page) { return page == secret; });
        app.openBlankPage();
        secret = app.active();
        app.addressBar()->openAddress(QStringLiteral("secret.example"));
        app.active()->commitNavigation(QString(), QStringLiteral("Secret"));
        emit app.active()->TitleChange(QStringLiteral("Secret again"));
        // The other page goes on being recorded: the batch it makes is the sign that all was seen.
        open->commitNavigation(QStringLiteral("http://open.example/next"), QStringLiteral("Next"));
        QVERIFY(writeNow(history));
        QCOMPARE(history->reader().count(), 2);
        QVERIFY(!history->reader().entry(QStringLiteral("http://secret.example")));
        QVERIFY(history->reader().search(QStringLiteral("Secret"), 10).isEmpty());
    }

    void pagesOpenedPrivateByTheUserLeaveNothing()
    {
        AppFixture app;
        History *history = app.program->history();
        QVERIFY(readyAndEmpty(history));
        ScriptedBrowser *open = app.openPage(QStringLiteral("open.example"), QStringLiteral("Open"));
        app.item("NAddNewPrivate")->trigger();
        QVERIFY(app.active()->isPrivate());
        app.addressBar()->openAddress(QStringLiteral("secret.example"));
        app.active()->commitNavigation(QString(), QStringLiteral("Secret"));
        open->commitNavigation(QStringLiteral("http://open.example/next"), QStringLiteral("Next"));
        QVERIFY(writeNow(history));
        QCOMPARE(history->reader().count(), 2);
        QVERIFY(!history->reader().entry(QStringLiteral("http://secret.example")));
    }
};

QTEST_MAIN(TestHistoryRecorder)
#include "tst_historyrecorder.moc"
