#include "enginetest.h"
#include "navigation/addressbar.h"
#include "tabs/pagetabs.h"
#include "tabs/recentlyclosed.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QSet>
#include <QSignalSpy>
#include <QTabBar>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <thread>

namespace {

// Sees every event of the application while it lives.
class EventWatch : public QObject
{
public:
    explicit EventWatch(std::function<void(QObject *, QEvent *)> seen) : m_seen(std::move(seen))
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        m_seen(watched, event);
        return false;
    }

private:
    std::function<void(QObject *, QEvent *)> m_seen;
};

} // namespace

// The real Qt WebEngine behind the page collection, against pages served on 127.0.0.1.
class TestWebEngine : public EngineTest
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        server.setPage("/title.html", "<html><head><title>Hello 标题</title></head><body>hello</body></html>");
        server.setPage("/one.html", "<html><head><title>One</title></head><body><a id=next href='/two.html'>two</a></body></html>");
        server.setPage("/two.html", "<html><head><title>Two</title></head><body>two</body></html>");
        server.setPage("/slow.html", "<html><head><title>Slow</title></head><body>slow</body></html>", 1500);
        server.setPage("/closer.html", "<html><head><title>Closer</title></head><body>"
                                       "<script>setTimeout(function(){ window.close(); }, 300);</script></body></html>");
        server.setPage("/opener.html", "<html><head><title>Opener</title></head><body>"
                                       "<script>window.open('/popup.html');</script></body></html>");
        server.setPage("/popup.html", "<html><head><title>Popup</title></head><body>popup</body></html>");
        server.setPage("/hostile.html", "<html><head><title>Hostile</title><script>"
                                        "window.scroll = function () { document.title = 'hijacked'; };"
                                        "window.scrollTo = window.scroll;"
                                        "</script></head><body><div style='height:5000px'>tall</div></body></html>");
        // Sound starts at a click, as a browser lets it.
        server.setPage("/sound.html", "<html><head><title>Sound</title></head><body>"
                                      "<button id=play style='width:200px;height:100px'>play</button><script>"
                                      "document.getElementById('play').onclick = function () {"
                                      " var c = new AudioContext(); var o = c.createOscillator(); o.connect(c.destination);"
                                      " o.start(); };"
                                      "</script></body></html>");
        server.setPage("/lang.html", "<html><head><title>Lang</title></head><body>lang</body></html>");
        QVERIFY(!engine.isLoaded());
    }

    void init() { makeProgram(); }
    void cleanup() { app.reset(); }
    void cleanupTestCase()
    {
        engine.shutdown();
        // The profile is persistent and lives with the user, not in the program folder.
        QVERIFY(QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/sablix/engine").exists());
    }

    void titleBecomesCaptionRecordedTitleAndStatus()
    {
        QStringList statuses;
        // The engine names its switches in the environment as it starts, while other threads
        // (the history's SQLite, the keyring's D-Bus) read theirs.
        QVERIFY(!engine.isLoaded());
        std::atomic<bool> reading = true;
        std::thread reader([&reading] {
            while (reading)
                (void)std::getenv("SABLIX_NEVER_SET");
        });
        app->addressBar()->openAddress(url("/title.html"));
        reading = false;
        reader.join();
        QVERIFY(engine.isLoaded());
        TEmbeddedWB *page = active();
        connect(page, &TEmbeddedWB::DownloadBegin, this, [&] { statuses << app->statusText(0); });
        connect(page, &TEmbeddedWB::DownloadComplete, this, [&] { statuses << app->statusText(0); });
        QVERIFY(waitLoaded(page));
        WAIT_COMPARE(app->pages->page(0)->title(), QStringLiteral("Hello 标题"), 5000);
        WAIT_COMPARE(app->widget<QTabWidget>("PageControl")->tabText(0), QStringLiteral("Hello 标题"), 5000);
        QVERIFY2(statuses.contains(QStringLiteral(">>正在连接地址:<") + url("/title.html") + ">"), qPrintable(statuses.join(" | ")));
        QVERIFY2(statuses.contains(QStringLiteral(">>完成:Hello 标题<") + url("/title.html") + ">"), qPrintable(statuses.join(" | ")));
        QCOMPARE(app->addressText(), url("/title.html"));
        QVERIFY(engine.isLoaded());
    }

    void backAndForwardImagesFollowTheHistory()
    {
        TEmbeddedWB *page = open(url("/one.html"));
        QVERIFY(page);
        QVERIFY(app->showsPictureOf("SBP", "SBH1"));
        app->pages->setLastPageBlanked(false);
        page->Navigate(url("/two.html"));
        QVERIFY(waitLoaded(page));
        WAIT_VERIFY(app->showsPictureOf("SBP", "SBL1"), 5000);
        QVERIFY(app->showsPictureOf("SBN", "SBH2"));
        app->widget<QToolButton>("SBP")->click();
        WAIT_COMPARE(page->LocationURL(), url("/one.html"), 5000);
        WAIT_VERIFY(app->showsPictureOf("SBN", "SBL2"), 5000);
        WAIT_VERIFY(app->showsPictureOf("SBP", "SBH1"), 5000);
    }

    void aPageClosingItselfGoesThroughClosePage()
    {
        QVERIFY(open(url("/title.html")));
        app->pages->OpenUrlInNewPage(url("/closer.html"));
        QCOMPARE(app->pages->count(), 2);
        WAIT_COMPARE(app->pages->count(), 1, 20000);
        QCOMPARE(app->recentlyClosed()->entries().last().address, url("/closer.html"));
    }

    void scriptWindowsReachNewWindow2()
    {
        makeProgram("[RunData]\r\nStopPopup=0\r\n");
        QVERIFY(open(url("/opener.html")));
        WAIT_COMPARE(app->pages->count(), 2, 20000);
        // The popup loads in a page of ours, in the background.
        QCOMPARE(app->pages->activeIndex(), 0);
        WAIT_COMPARE(browser(1)->LocationURL(), url("/popup.html"), 20000);
        WAIT_COMPARE(app->pages->page(1)->title(), QStringLiteral("Popup"), 5000);
    }

    void progressBarShowsAndHides()
    {
        app->addressBar()->openAddress(url("/slow.html"));
        WAIT_VERIFY(app->status()->progressBar() && app->status()->progressBar()->isVisibleTo(app->main), 10000);
        QVERIFY(waitLoaded(active()));
        WAIT_VERIFY(!app->status()->progressBar()->isVisibleTo(app->main), 5000);
    }

    void aKilledRendererLeavesTheRestWorking()
    {
        TEmbeddedWB *first = open(url("/title.html"));
        QVERIFY(first);
        app->tabs()->NAddNewBlankClick();
        TEmbeddedWB *second = open(QStringLiteral("http://localhost:%1/one.html").arg(server.url("/").port()));
        QVERIFY(second);
        const qint64 victim = first->rendererProcessId();
        QVERIFY(victim > 0);
        QVERIFY(victim != second->rendererProcessId());

        QSignalSpy died(first, &TEmbeddedWB::RendererTerminated);
        ::kill(pid_t(victim), SIGKILL);
        QVERIFY(died.wait(10000));
        QCOMPARE(app->pages->count(), 2);

        // The other page keeps working.
        second->Navigate(QStringLiteral("http://localhost:%1/two.html").arg(server.url("/").port()));
        QVERIFY(waitLoaded(second));
        WAIT_COMPARE(app->pages->page(1)->title(), QStringLiteral("Two"), 5000);

        // F5 brings the dead one back.
        app->pages->activatePage(0);
        app->main->findChild<QAction *>(QStringLiteral("ActionNRefresh"))->trigger();
        QVERIFY(waitLoaded(first));
        WAIT_VERIFY(first->rendererProcessId() > 0 && first->rendererProcessId() != victim, 5000);
        QCOMPARE(evaluate(first, QStringLiteral("document.body.textContent")).toString(), QStringLiteral("hello"));
    }

    void documentWalksAreOutOfThePagesReach()
    {
        TEmbeddedWB *page = open(url("/hostile.html"));
        QVERIFY(page);
        app->item("NTOPageEnd")->trigger();
        WAIT_VERIFY(evaluate(page, QStringLiteral("window.scrollY")).toInt() > 1000, 5000);
        QCOMPARE(page->LocationName(), QStringLiteral("Hostile"));
        app->item("NTOPageHome")->trigger();
        WAIT_COMPARE(evaluate(page, QStringLiteral("window.scrollY")).toInt(), 0, 5000);
    }

    void theEngineSpeaksChinese()
    {
        TEmbeddedWB *page = open(url("/lang.html"));
        QVERIFY(page);
        QVERIFY(!server.requests.isEmpty());
        QVERIFY(server.requests.last().headers.value("accept-language").startsWith("zh-CN"));
        QCOMPARE(evaluate(page, QStringLiteral("navigator.language")).toString(), QStringLiteral("zh-CN"));

        // Its own context menu, after a right press in the page.
        QVERIFY(readyForInput(page));
        QWidget *input = inputWidget(page);
        QTest::mousePress(input, Qt::RightButton, Qt::NoModifier, QPoint(40, 40));
        QTest::mouseRelease(input, Qt::RightButton, Qt::NoModifier, QPoint(40, 40));
        WAIT_VERIFY(qobject_cast<QMenu *>(QApplication::activePopupWidget()), 10000);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QStringList texts;
        for (QAction *action : menu->actions())
            texts << action->text();
        menu->close();
        QVERIFY2(texts.join(' ').contains(QStringLiteral("后退")), qPrintable(texts.join(" | ")));
    }

    // Pages are composed in software: no GL driver is loaded for them, and the setting that
    // keeps it out is not handed on to programs the browser starts.
    void pagesDrawWithoutAGlDriver()
    {
        TEmbeddedWB *page = open(url("/lang.html"));
        QVERIFY(page);
        QVERIFY(readyForInput(page));
        QFile maps(QStringLiteral("/proc/self/maps"));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        QVERIFY(mapped.contains("libQt6WebEngineCore"));
        QVERIFY(!mapped.contains("xcbglintegrations"));
        QVERIFY(!mapped.contains("_dri.so"));
        QVERIFY(!QProcessEnvironment::systemEnvironment().contains(QStringLiteral("QT_XCB_GL_INTEGRATION")));
    }

    void dropsOnAPageReachTheMainWindow()
    {
        TEmbeddedWB *page = open(url("/title.html"));
        QVERIFY(page);
        QVERIFY(readyForInput(page));
        QMimeData data;
        data.setText(url("/two.html"));
        QWidget *input = inputWidget(page);
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(input, &enter);
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(input, &drop);
        QCOMPARE(app->pages->count(), 2);
        WAIT_COMPARE(browser(1)->LocationURL(), url("/two.html"), 10000);
        QCOMPARE(page->LocationURL(), url("/title.html"));
    }

    // The engine says a load began only some time after it was asked: a page is busy, and
    // at its new address, from the moment of the call.
    // A page playing sound gets the speaker on its tab; a click on it mutes the page in the
    // engine, and muting holds across the page's navigations.
    void aPagePlayingSoundIsMarkedAndMutedFromItsTab()
    {
        TEmbeddedWB *page = openShown("/sound.html");
        QVERIFY(page);
        QVERIFY(clickAt(screenPointOf(page, QStringLiteral("#play"))));
        QTabBar *bar = app->widget<QTabWidget>("PageControl")->tabBar();
        QVERIFY(waitFor([&] { return page->isAudible() && bar->tabButton(0, QTabBar::RightSide); }));
        auto *mark = qobject_cast<QToolButton *>(bar->tabButton(0, QTabBar::RightSide));
        QVERIFY(!page->isMuted());
        mark->click();
        QVERIFY(waitFor([&] { return page->isMuted() && mark->accessibleName() == QStringLiteral("取消静音"); }));
        page->Navigate(url("/sound.html"));
        QVERIFY(waitLoaded(page));
        QVERIFY(page->isMuted());
        mark->click();
        QVERIFY(waitFor([&] { return !page->isMuted(); }));
    }

    void busyAndAtItsAddressFromTheCall()
    {
        QVERIFY(app->pages->NewPage(0));
        TEmbeddedWB *page = browser(0);
        QVERIFY(!page->Busy());
        page->Navigate(url("/slow.html"));
        QVERIFY(page->Busy());
        QCOMPARE(page->LocationURL(), url("/slow.html"));
        QVERIFY(waitLoaded(page));
        QVERIFY(!page->Busy());
        QCOMPARE(page->LocationURL(), url("/slow.html"));
        // Back is busy as well, until it has gone back.
        page->Navigate(url("/two.html"));
        QVERIFY(waitLoaded(page));
        WAIT_VERIFY(app->pages->page(0)->backEnabled(), 5000);
        page->GoBack();
        QVERIFY(page->Busy());
        WAIT_VERIFY(!page->Busy() && page->LocationURL() == url("/slow.html"), 20000);
    }

    void failedAndStoppedNavigationsLeaveThePageIdle()
    {
        QVERIFY(app->pages->NewPage(0));
        TEmbeddedWB *page = browser(0);
        // Nothing listens on port 1 of the loopback.
        page->Navigate(QStringLiteral("http://127.0.0.1:1/nothing.html"));
        QVERIFY(page->Busy());
        WAIT_VERIFY(!page->Busy(), 20000);
        page->Navigate(url("/slow.html"));
        QVERIFY(page->Busy());
        page->Stop();
        QVERIFY(!page->Busy());
        // The server answers after its delay; a round trip to the page after that, and the
        // stopped navigation has had every chance to come back.
        const int asked = server.requestsFor("/slow.html");
        QVERIFY(waitFor([&] { return server.answeredFor("/slow.html") >= asked; }));
        QVERIFY(roundTrip(page));
        QVERIFY(!page->Busy());
    }

    void addressesForwardedInABurstEachOpenTheirPage()
    {
        QStringList sent;
        for (int i = 0; i < 20; ++i) {
            const QByteArray path = "/burst" + QByteArray::number(i) + ".html";
            server.setPage(path, "<html><head><title>Burst " + QByteArray::number(i) + "</title></head><body>b</body></html>");
            sent << url(path);
        }
        for (const QString &address : sent)
            app->program->forwarding()->handle(address);
        QCOMPARE(app->pages->count(), 20);
        WAIT_VERIFY(
            [&] {
                for (int i = 0; i < 20; ++i)
                    if (browser(i)->Busy() || app->pages->page(i)->title() != QStringLiteral("Burst %1").arg(i))
                        return false;
                return true;
            }(),
            60000);
        for (int i = 0; i < 20; ++i)
            QCOMPARE(browser(i)->LocationURL(), sent.at(i));
    }

    // Pages made active one after another in one go are passed through: only the last is
    // shown, on screen and to its renderer; the others' views are never shown (each would take
    // a drawing surface of megabytes) and their documents never become visible. The keyboard
    // ends in the last one, as when addresses arrive on the command line.
    void pagesPassedThroughInOneGoAreNotShownToTheirDocuments()
    {
        // Counted in the page's DOM, which the program's own script world shares with the page.
        server.setPage("/seen.html", "<html><head><title>Seen</title></head><body><script>"
                                     "var shown = 0; document.addEventListener('visibilitychange', function () {"
                                     " if (document.visibilityState === 'visible') document.body.dataset.shown = ++shown; });"
                                     "document.addEventListener('keydown', function (e) {"
                                     " document.body.dataset.keys = (document.body.dataset.keys || '') + e.key; });"
                                     "</script>seen</body></html>");
        const QString shown = QStringLiteral("Number(document.body.dataset.shown || 0)");
        const QString keys = QStringLiteral("document.body.dataset.keys || ''");
        open(url("/title.html"));
        QVERIFY(showActive());
        QList<TEmbeddedWB *> pages;
        for (int i = 0; i < 3; ++i) {
            app->pages->OpenUrlInNewPage(url("/seen.html"));
            pages << browser(app->pages->newPageIndex());
        }
        for (TEmbeddedWB *page : std::as_const(pages)) {
            WAIT_VERIFY(!page->Busy() && page->Document(), 20000);
            QCOMPARE(evaluate(page, QStringLiteral("document.visibilityState")).toString(), QStringLiteral("hidden"));
        }
        for (TEmbeddedWB *page : std::as_const(pages))
            app->pages->activatePage(app->pages->indexOf(page));
        WAIT_COMPARE(evaluate(pages[2], shown).toInt(), 1, 10000);
        for (TEmbeddedWB *page : {pages[0], pages[1]}) {
            QVERIFY(roundTrip(page));
            QCOMPARE(evaluate(page, shown).toInt(), 0);
        }
        // Made active on its own, a page is shown as before.
        app->pages->activatePage(app->pages->indexOf(pages[0]));
        WAIT_COMPARE(evaluate(pages[0], shown).toInt(), 1, 10000);
        QCOMPARE(evaluate(pages[2], QStringLiteral("document.visibilityState")).toString(), QStringLiteral("hidden"));

        // Addresses handed over in one go: each opens a page of its own, made active and
        // given the keyboard in turn. Every widget shown meanwhile is noted.
        QSet<QObject *> everShown;
        EventWatch watch([&](QObject *watched, QEvent *event) {
            if (event->type() == QEvent::Show)
                everShown.insert(watched);
        });
        QList<TEmbeddedWB *> arrived;
        for (int i = 0; i < 3; ++i) {
            app->addressBar()->openAddress(url("/seen.html") + QStringLiteral("?arrived=%1").arg(i));
            arrived << active();
        }
        QCOMPARE(app->pages->activeIndex(), app->pages->indexOf(arrived[2]));
        WAIT_VERIFY(inputWidget(arrived[2]) && inputWidget(arrived[2])->isVisible(), 10000);
        WAIT_VERIFY(QApplication::focusWidget() == inputWidget(arrived[2]), 10000);
        for (TEmbeddedWB *page : std::as_const(arrived))
            WAIT_VERIFY(!page->Busy() && page->Document(), 20000);
        for (TEmbeddedWB *page : {arrived[0], arrived[1]}) {
            QVERIFY(!everShown.contains(page->focusProxy()));
            QVERIFY(!everShown.contains(inputWidget(page)));
            QCOMPARE(evaluate(page, shown).toInt(), 0);
        }
        // Typed keys reach the page shown, and only it.
        QVERIFY(readyForInput(arrived[2]));
        QVERIFY(xdotool({"type", "--delay", "20", "sab"}));
        WAIT_COMPARE(evaluate(arrived[2], keys).toString(), QStringLiteral("sab"), 10000);
        for (TEmbeddedWB *page : {arrived[0], arrived[1]})
            QCOMPARE(evaluate(page, keys).toString(), QString());
    }

    void droppedTextWithoutASchemeOpensTheAddressItMeans()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("local page.html"));
        QVERIFY(writeFile(file, "<html><head><title>Local</title></head><body>local</body></html>"));
        const QString hostAndPath = url("/two.html").mid(int(qstrlen("http://")));
        app->addressBar()->dropText(hostAndPath);
        app->addressBar()->dropText(file);
        QCOMPARE(app->pages->count(), 2);
        WAIT_COMPARE(app->pages->page(0)->title(), QStringLiteral("Two"), 20000);
        WAIT_COMPARE(app->pages->page(1)->title(), QStringLiteral("Local"), 20000);
    }
};

SABLIX_ENGINE_TEST_MAIN(TestWebEngine)
#include "tst_webengine.moc"
