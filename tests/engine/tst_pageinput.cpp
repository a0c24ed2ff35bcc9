#include "adblock/popupfilter.h"
#include "adblock/popupnotice.h"
#include "enginetest.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

// Real X input into real pages: Enter in a form, middle clicks, clicks that let a window
// through, pages that ask for windows by themselves, and the notice of what was blocked.
class TestPageInput : public EngineTest
{
    Q_OBJECT

private:
    // Records on the page the buttons of the clicks that reach it.
    void recordClicks(TEmbeddedWB *page)
    {
        evaluate(page, QStringLiteral("window.sablixClicks = []; document.addEventListener('mouseup', function(e) {"
                                      " window.sablixClicks.push(e.button); }, true); true"));
    }
    bool clickReached(TEmbeddedWB *page, int button)
    {
        return waitFor([&] {
            return evaluate(page, QStringLiteral("window.sablixClicks.indexOf(%1) >= 0").arg(button)).toBool();
        });
    }

private slots:
    void initTestCase()
    {
        server.setPage("/form.html", "<html><head><title>Form</title></head><body>"
                                     "<form action='/submitted.html'><input id=q name=q style='width:300px'></form></body></html>");
        server.setPage("/submitted.html", "<html><head><title>Submitted</title></head><body>ok</body></html>");
        server.setPage("/links.html", "<html><head><title>Links</title></head><body style='margin:0'>"
                                      "<a id=link href='/target.html' style='display:block;height:100px'>link</a>"
                                      "<div id=plain style='height:100px'>no link here</div></body></html>");
        server.setPage("/target.html", "<html><head><title>Target</title></head><body>target</body></html>");
        server.setPage("/two.html", "<html><head><title>Two</title></head><body style='margin:0'>"
                                    "<button id=b style='width:200px;height:60px' onclick=\""
                                    "window.open('/target.html?1'); window.open('/target.html?2');\">two</button></body></html>");
        server.setPage("/loop.html", "<html><head><title>Loop</title></head><body style='margin:0'>"
                                     "<button id=b style='width:200px;height:60px' onclick=\""
                                     "for (var i = 0; i < 2000; i++) window.open('/target.html?' + i); document.title = 'done';\">loop</button>"
                                     "</body></html>");
        server.setPage("/later.html", "<html><head><title>Later</title></head><body>"
                                      "<script>setTimeout(function(){ window.open('/target.html?later'); }, 1500);</script>"
                                      "</body></html>");
    }

    void init() { makeProgram(); }
    void cleanup() { app.reset(); }
    void cleanupTestCase() { engine.shutdown(); }

    void enterSubmitsAFormInThePage()
    {
        TEmbeddedWB *page = openShown("/form.html");
        QVERIFY(page);
        QVERIFY(clickAt(screenPointOf(page, QStringLiteral("#q"))));
        QVERIFY(waitFor([&] { return evaluate(page, QStringLiteral("document.activeElement.id")).toString() == QLatin1String("q"); }));
        QVERIFY(xdotool({"type", "--delay", "20", "abc"}));
        QVERIFY(waitFor([&] { return evaluate(page, QStringLiteral("document.getElementById('q').value")).toString() == QLatin1String("abc"); }));
        QVERIFY(xdotool({"key", "Return"}));
        WAIT_COMPARE(page->LocationURL(), url("/submitted.html") + QStringLiteral("?q=abc"), 20000);
    }

    void aMiddleClickOpensTheLinkOnceAndANonLinkNothing()
    {
        TEmbeddedWB *page = openShown("/links.html");
        QVERIFY(page);
        recordClicks(page);
        QVERIFY(clickAt(screenPointOf(page, QStringLiteral("#plain")), 2));
        // The page had the click, and whatever it asked for on it has arrived.
        QVERIFY(clickReached(page, 1));
        QVERIFY(roundTrip(page));
        QCOMPARE(app->pages->count(), 1);
        QVERIFY(clickAt(screenPointOf(page, QStringLiteral("#link")), 2));
        WAIT_COMPARE(app->pages->count(), 2, 10000);
        QVERIFY(roundTrip(page));
        QCOMPARE(app->pages->count(), 2);
        QCOMPARE(active(), page);
        QCOMPARE(page->LocationURL(), url("/links.html"));
        WAIT_COMPARE(app->pages->page(1)->title(), QStringLiteral("Target"), 10000);
    }

    void aClickLetsOneWindowThroughAndTheNoticeOpensTheOther()
    {
        TEmbeddedWB *page = openShown("/two.html");
        QVERIFY(page);
        QVERIFY(clickAt(screenPointOf(page, QStringLiteral("#b"))));
        WAIT_VERIFY(app->popupFilter()->noticeOf(page), 10000);
        // Both asked for, one after the other, before the click's handler returned.
        QVERIFY(roundTrip(page));
        QCOMPARE(app->pages->count(), 2);
        QCOMPARE(active(), page);
        PopupNoticeBar *notice = app->popupFilter()->noticeOf(page);
        QCOMPARE(notice->count(), 1);
        QCOMPARE(notice->address(), url("/target.html") + QStringLiteral("?2"));
        WAIT_VERIFY(notice->isVisible(), 5000);
        // "打开", clicked for real.
        auto *open = notice->findChild<QToolButton *>(QStringLiteral("PopupNoticeOpen"));
        QVERIFY(clickAt(open->mapToGlobal(open->rect().center())));
        WAIT_COMPARE(app->pages->count(), 3, 10000);
        QCOMPARE(active(), page);
        WAIT_VERIFY(!app->popupFilter()->noticeOf(page), 5000);
    }

    void aPageAskingByItselfOpensNothing()
    {
        TEmbeddedWB *front = openShown("/links.html");
        QVERIFY(front);
        // In the background, and without a click: no window either way.
        app->pages->OpenUrlInNewPage(url("/later.html"));
        app->pages->activatePage(1);
        app->pages->activatePage(0);
        // Its request was heard and turned away: the notice, and nothing else.
        WAIT_VERIFY(app->popupFilter()->noticeOf(browser(1)), 20000);
        QVERIFY(roundTrip(browser(1)));
        QCOMPARE(app->pages->count(), 2);
    }

    void aPageOpeningWindowsInALoopGetsOneAndStaysResponsive()
    {
        TEmbeddedWB *page = openShown("/loop.html");
        QVERIFY(page);
        // The interface thread keeps answering while the requests pour in: the longest
        // pause between two ticks of a 20 ms timer.
        QElapsedTimer sinceTick;
        qint64 longestPause = 0;
        QTimer ticks;
        connect(&ticks, &QTimer::timeout, this, [&] {
            longestPause = qMax(longestPause, sinceTick.restart());
        });
        QVERIFY(clickAt(screenPointOf(page, QStringLiteral("#b"))));
        sinceTick.start();
        ticks.start(20);
        WAIT_COMPARE(app->pages->page(0)->title(), QStringLiteral("done"), 90000);
        ticks.stop();
        qInfo("2000 window requests; longest pause of the interface thread: %lld ms", longestPause);
        QVERIFY2(longestPause < 500, qPrintable(QString::number(longestPause)));
        // Every request was sent before the title changed.
        QVERIFY(roundTrip(page));
        QCOMPARE(app->pages->count(), 2);
        QCOMPARE(app->main->findChildren<PopupNoticeBar *>().size(), 1);
        PopupNoticeBar *notice = app->popupFilter()->noticeOf(page);
        QVERIFY(notice->count() >= PopupFilter::kFloodCount);
        WAIT_VERIFY(notice->findChild<QLabel *>()->text().contains(QString::number(notice->count())), 5000);
    }
};

SABLIX_ENGINE_TEST_MAIN(TestPageInput)
#include "tst_pageinput.moc"
