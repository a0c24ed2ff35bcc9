#include "appfixture.h"
#include "tabs/pagerest.h"

#include <QElapsedTimer>
#include <QTest>

// Resting pages: which pages rest, when, how deep, and which never do.
class TestPageRest : public QObject
{
    Q_OBJECT

private:
    using Rest = TEmbeddedWB::Rest;

private slots:
    void backgroundPagesFreezeAfterTheIdleTimeThenGo()
    {
        AppFixture app;
        app.main->show();
        ScriptedBrowser *back = app.openPage(QStringLiteral("http://back.test/"), QStringLiteral("Back"));
        ScriptedBrowser *front = app.openPage(QStringLiteral("http://front.test/"), QStringLiteral("Front"));
        QVERIFY(app.active() == front);
        PageRest *rest = app.program->pageRest();
        rest->memoryLow = [] { return false; };
        QElapsedTimer idle; // started after the page was last shown
        idle.start();
        rest->setIdleMs(200);
        rest->look();
        QVERIFY(scriptAnswersArrived(back));
        QCOMPARE(back->rest(), Rest::Active); // not idle long enough yet
        QTRY_VERIFY(idle.elapsed() > 200);
        rest->look();
        QTRY_COMPARE(back->rest(), Rest::Frozen);
        rest->look();
        QCOMPARE(back->rest(), Rest::Discarded);
        QCOMPARE(front->rest(), Rest::Active);
        // Shown, it is active again and loads what it had.
        app.widget<QTabWidget>("PageControl")->setCurrentIndex(app.pages->indexOf(back));
        back->setRest(Rest::Active);
        QCOMPARE(back->reloadsAfterDiscard, 1);
        // Being shown starts its idle time afresh.
        app.widget<QTabWidget>("PageControl")->setCurrentIndex(app.pages->indexOf(front));
        rest->look();
        QVERIFY(scriptAnswersArrived(back));
        QCOMPARE(back->rest(), Rest::Active);
    }

    void underMemoryPressureIdlePagesGoAtOnceButSomeNever()
    {
        AppFixture app;
        app.main->show();
        ScriptedBrowser *plain = app.openPage(QStringLiteral("http://plain.test/"));
        ScriptedBrowser *typed = app.openPage(QStringLiteral("http://typed.test/"));
        typed->scriptResponder = [](const QString &) { return QVariant(true); };
        ScriptedBrowser *loud = app.openPage(QStringLiteral("http://loud.test/"));
        loud->audible = true;
        ScriptedBrowser *loading = app.openPage(QStringLiteral("http://loading.test/"));
        loading->setBusy(true);
        ScriptedBrowser *front = app.openPage(QStringLiteral("http://front.test/"));
        PageRest *rest = app.program->pageRest();
        rest->setIdleMinutes(0);
        rest->memoryLow = [] { return true; };
        rest->look();
        QTRY_COMPARE(plain->rest(), Rest::Discarded);
        QVERIFY(scriptAnswersArrived(typed));
        QCOMPARE(typed->rest(), Rest::Active);
        QCOMPARE(loud->rest(), Rest::Active);
        QCOMPARE(loading->rest(), Rest::Active);
        QCOMPARE(front->rest(), Rest::Active);
        // Without pressure and with no idle time set, nothing rests.
        rest->memoryLow = [] { return false; };
        loud->audible = false;
        rest->look();
        QVERIFY(scriptAnswersArrived(loud));
        QCOMPARE(loud->rest(), Rest::Active);
    }

    void aPageClosedBeforeItsAnswerIsLeftAlone()
    {
        AppFixture app;
        app.main->show();
        app.openPage(QStringLiteral("http://closing.test/"));
        app.openPage(QStringLiteral("http://front.test/"));
        PageRest *rest = app.program->pageRest();
        rest->memoryLow = [] { return true; };
        rest->look();
        app.pages->ClosePage(0);
        QVERIFY(scriptAnswersArrived(app.active()));
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.active()->rest(), Rest::Active);
    }
};

QTEST_MAIN(TestPageRest)
#include "tst_pagerest.moc"
