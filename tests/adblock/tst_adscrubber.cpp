#include "adblock/adscrubber.h"
#include "appfixture.h"
#include "navigation/weblinks.h"
#include "tabs/pagetabs.h"

#include <QAction>
#include <QJsonDocument>
#include <QJsonObject>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// Which walks run when, with which tests, by the switches, F8 and the timer. What a walk
// does to a document is tested with the real engine.
class TestAdScrubber : public QObject
{
    Q_OBJECT

private:
    // The options the last walk of a page was given; empty when it was never walked.
    static QJsonObject lastWalk(const ScriptedBrowser *page)
    {
        const QStringList walks = page->calls.filter(QStringLiteral("getElementsByTagName"));
        if (walks.isEmpty())
            return {};
        const QString script = walks.last();
        const qsizetype open = script.lastIndexOf(QLatin1String(")({"));
        return QJsonDocument::fromJson(script.mid(open + 2).chopped(2).toUtf8()).object();
    }
    static int walks(const ScriptedBrowser *page) { return int(page->calls.filter(QStringLiteral("getElementsByTagName")).size()); }

private slots:
    void startUpTakesTheStoredSwitchesWithoutWriting()
    {
        AppFixture app("[RunData]\r\nStopFloatAd=1\r\nStopFlashAd=0\r\n");
        QVERIFY(app.adScrubber()->floatAdFilter());
        QVERIFY(!app.adScrubber()->flashAdFilter());
        QVERIFY(app.item("NStopFloatAd")->isChecked());
        QVERIFY(!app.item("NStopFlashAd")->isChecked());
        QCOMPARE(app.bytes(QStringLiteral("Config.ini")), QByteArray("[RunData]\r\nStopFloatAd=1\r\nStopFlashAd=0\r\n"));
    }

    void everyFinishedDownloadIsWalkedWithTheFiltersThatAreOn()
    {
        AppFixture app("[RunData]\r\nStopFlashAd=0\r\n");
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        QCOMPARE(lastWalk(page), (QJsonObject{{"floating", true}, {"flash", false}, {"exempt", false}}));
        // A background page is walked as well.
        app.pages->OpenUrlInNewPage(QStringLiteral("http://bg.example/"));
        ScriptedBrowser *background = app.browser(app.pages->newPageIndex());
        background->commitNavigation();
        QCOMPARE(walks(background), 1);

        AppFixture off("[RunData]\r\nStopFloatAd=0\r\nStopFlashAd=0\r\n");
        QCOMPARE(walks(off.openPage(QStringLiteral("a.example"))), 0);
    }

    void theExemptWebMailHostKeepsItsFlash()
    {
        AppFixture app;
        ScriptedBrowser *page = app.openPage(QStringLiteral("https://") + WebLinks::exemptWebMailHost() + QStringLiteral("/inbox"));
        QCOMPARE(lastWalk(page).value(QStringLiteral("exempt")).toBool(), true);
    }

    void f8WalksTheActivePageWhateverTheSwitchesSay()
    {
        AppFixture app("[RunData]\r\nStopFloatAd=0\r\nStopFlashAd=0\r\n");
        app.item("ActionCleanCurrentAd")->trigger(); // no page: nothing, no failure
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        QCOMPARE(walks(page), 0);
        app.item("ActionCleanCurrentAd")->trigger();
        QCOMPARE(lastWalk(page), (QJsonObject{{"floating", true}, {"flash", true}, {"exempt", false}}));
    }

    void switchesReloadOrWalkAndAreStored()
    {
        AppFixture app;
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        page->calls.clear();
        app.item("NStopFlashAd")->trigger();
        QCOMPARE(app.configValue(QStringLiteral("StopFlashAd")), QStringLiteral("0"));
        QCOMPARE(page->calls, QStringList{QStringLiteral("Refresh")});
        page->calls.clear();
        app.item("NStopFlashAd")->trigger();
        QCOMPARE(app.configValue(QStringLiteral("StopFlashAd")), QStringLiteral("1"));
        QCOMPARE(lastWalk(page).value(QStringLiteral("flash")).toBool(), true);
        app.item("NStopFloatAd")->trigger();
        QCOMPARE(app.configValue(QStringLiteral("StopFloatAd")), QStringLiteral("0"));
        QVERIFY(!app.adScrubber()->floatAdFilter());
    }

    // The walk after a page switch waits 500 ms, is not restarted by a second switch, and
    // walks whichever page is active when it runs.
    void thePageSwitchWalkRunsOnceForTheActivePage()
    {
        AppFixture app;
        ScriptedBrowser *first = app.openPage(QStringLiteral("a.example"));
        ScriptedBrowser *second = app.openPage(QStringLiteral("b.example"));
        const int firstBefore = walks(first);
        const int secondBefore = walks(second);
        QTimer *timer = app.adScrubber()->TimerClearAd();
        QCOMPARE(timer->objectName(), QStringLiteral("TimerClearAd"));
        QVERIFY(!timer->isActive());
        QSignalSpy fired(timer, &QTimer::timeout);
        QElapsedTimer clock;
        clock.start();
        app.item("NPreviousPage")->trigger();
        QVERIFY(timer->isActive());
        QTest::qWait(250);
        if (clock.elapsed() > 400)
            QSKIP("the machine is too slow to tell a restarted timer from one that was not");
        app.item("NNextPage")->trigger();
        QVERIFY(fired.wait(1000));
        // Not restarted: it fired 500 ms after the first switch, not after the second.
        QVERIFY2(clock.elapsed() < 700, qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(300);
        QCOMPARE(fired.size(), 1);
        QCOMPARE(walks(first), firstBefore);
        QCOMPARE(walks(second), secondBefore + 1);
    }

    void theScriptCarriesItsDataAsJson()
    {
        const QString script = AdScrubber::walkScript(true, false, true);
        QVERIFY(script.endsWith(QStringLiteral("({\"exempt\":true,\"flash\":false,\"floating\":true});")));
        QVERIFY(script.contains(QStringLiteral("clsid:D27CDB6E-AE6D-11cf-96B8-444553540000")));
    }
};

QTEST_MAIN(TestAdScrubber)
#include "tst_adscrubber.moc"
