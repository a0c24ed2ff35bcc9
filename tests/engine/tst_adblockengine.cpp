#include "adblock/adscrubber.h"
#include "adblock/filtercache.h"
#include "adblock/filterlists.h"
#include "adblock/filtersources.h"
#include "enginetest.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>

// The lists' folder is named before any thread runs and later only given values (empty: the
// packaged lists): adding a variable moves the environment under threads reading theirs.
static const bool g_listsNamed = [] { return qputenv("SABLIX_FILTER_LISTS", QByteArray()); }();

// The ad filter and the ad walks in real pages: blocked requests never reach the server,
// from the first page after start on, listed elements are never painted, an excepted site
// gets everything, and the walks hide what they recognise after a page has loaded.
class TestAdblockEngine : public EngineTest
{
    Q_OBJECT

private:
    QTemporaryDir m_lists;

    bool requested(const QByteArray &path) const
    {
        for (const TestHttpServer::Request &request : server.requests)
            if (request.path.split('?').value(0) == path)
                return true;
        return false;
    }

    // A program whose only list holds these rules, loaded from the start.
    bool withRules(const QByteArray &rules)
    {
        for (const auto &[name, text] : {std::pair{"easylist.txt", rules}, std::pair{"easyprivacy.txt", QByteArray()}}) {
            QFile file(m_lists.filePath(QLatin1String(name)));
            if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
                return false;
        }
        qputenv("SABLIX_FILTER_LISTS", m_lists.path().toLocal8Bit());
        makeProgram();
        FilterLists *lists = app->program->filterLists();
        return waitFor([lists] { return lists->current() != nullptr; });
    }

    // The packaged lists, whole, with these rules added: what a start loads.
    bool packagedListsWith(const QByteArray &rules)
    {
        const QStringList packaged = FilterSources::packagedLists();
        for (const QString &path : packaged) {
            QFile in(path);
            QFile out(m_lists.filePath(QFileInfo(path).fileName()));
            if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
                return false;
            const QByteArray text = in.readAll() + "\n" + (path == packaged.first() ? rules : QByteArray());
            if (out.write(text) != text.size())
                return false;
        }
        qputenv("SABLIX_FILTER_LISTS", m_lists.path().toLocal8Bit());
        return true;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_lists.isValid());
        // The program's own lists (SABLIX_FILTER_LISTS moves them), loaded as it starts.
        FilterLists::defaultSources() = &FilterSources::all;
        AppFixture::s_filterListsChosen = true;
        server.setPage("/ads.html", "<html><head><title>Ads</title></head><body>"
                                    "<img id=ad src='/banner/ad.png'><img id=ok src='/pictures/ok.png'>"
                                    "<script src='/tracker.js'></script>"
                                    "<div class='adbox' id=box>ad</div>"
                                    "<script>var s = getComputedStyle(document.getElementById('box')).display;"
                                    "document.title = 'box ' + s;</script></body></html>");
        server.setPage("/first.html", "<html><head><title>First</title></head><body>"
                                      "<img id=ad src='/banner-ad.png'><img id=ok src='/pictures/ok.png'>"
                                      "<div class='adbox' id=box>ad</div>"
                                      "<script>var s = getComputedStyle(document.getElementById('box')).display;"
                                      "document.title = 'box ' + s;</script></body></html>");
        server.setPage("/banner-ad.png", "png", 0);
        server.setPage("/banner/ad.png", "png", 0);
        server.setPage("/pictures/ok.png", "png", 0);
        server.setPage("/tracker.js", "var tracked = 1;");
        server.setPage("/walk.html", "<html><head><title>Walk</title><style>#sheet{position:absolute}</style></head><body>"
                                     "<div id=inline style='position:absolute;top:0'>float</div>"
                                     "<div id=sheet>positioned by a style sheet</div>"
                                     "<object id=flash classid='clsid:D27CDB6E-AE6D-11cf-96B8-444553540000'></object>"
                                     "<object id=othercase classid='clsid:d27cdb6e-ae6d-11cf-96b8-444553540000'></object>"
                                     "<embed id=swf src='/movie.SWF?x=1'><embed id=noswf src='/movie.mp4'>"
                                     "<div id=plain>plain</div><div id=scripted>scripted</div>"
                                     "<script>document.getElementById('scripted').style.position = 'absolute';</script>"
                                     "</body></html>");
    }

    void cleanup()
    {
        app.reset();
        qputenv("SABLIX_FILTER_LISTS", QByteArray());
    }

    // The very first page of a start, asked for at once, loads without its ad: its requests
    // wait for the lists (parsed from the text on the first start, from the compiled cache
    // on the next), they do not pass unfiltered.
    void theFirstPageAfterStartIsFiltered()
    {
        // The page's own hiding rule: the lists' generic sheet is not what is tested here.
        QVERIFY(packagedListsWith("/banner-ad.png$image\n127.0.0.1##.adbox\n"));
        QFile::remove(FilterCache::defaultPath());
        for (const char *start : {"parsed", "from the cache"}) {
            server.requests.clear();
            makeProgram();
            TEmbeddedWB *page = open(url("/first.html"));
            QVERIFY2(page, start);
            // The page and its other resources have loaded, its hiding sheet was in place.
            QVERIFY2(waitFor([&] { return app->pages->page(0)->title().startsWith(QLatin1String("box ")); }), start);
            QVERIFY2(waitFor([&] { return requested("/pictures/ok.png"); }), start);
            QVERIFY2(!requested("/banner-ad.png"), start);
            QCOMPARE(app->pages->page(0)->title(), QStringLiteral("box none"));
            // The first start left the compiled lists behind for the next.
            QVERIFY(waitFor([] { return QFileInfo::exists(FilterCache::defaultPath()); }));
            app.reset();
        }
    }
    void cleanupTestCase() { engine.shutdown(); }

    void blockedRequestsNeverLeaveAndListedElementsAreNeverPainted()
    {
        QVERIFY(withRules("! test list\n/banner/*$image\n/tracker.js$~script\n##.adbox\n"));
        server.requests.clear();
        TEmbeddedWB *page = open(url("/ads.html"));
        QVERIFY(page);
        WAIT_COMPARE(app->pages->page(0)->title(), QStringLiteral("box none"), 10000);
        // Loaded: every picture of the page was asked for or turned away.
        QVERIFY(waitFor([&] { return evaluate(page, QStringLiteral("document.readyState")).toString() == QLatin1String("complete"); }));
        QVERIFY(!requested("/banner/ad.png"));
        QVERIFY(requested("/pictures/ok.png"));
        // The rule is for anything but scripts: the script loads.
        QVERIFY(requested("/tracker.js"));
    }

    void anExceptedSiteGetsEverything()
    {
        QVERIFY(withRules("/banner/*$image\n##.adbox\n"));
        TEmbeddedWB *page = open(url("/ads.html"));
        QVERIFY(page);
        // "此网站不过滤", then the page again.
        app->widget<QMenu>("NPopup")->aboutToShow();
        QAction *item = app->item("NNoFilterHere");
        QVERIFY(item->isEnabled());
        QVERIFY(!item->isChecked());
        server.requests.clear();
        item->trigger();
        WAIT_COMPARE(app->pages->page(0)->title(), QStringLiteral("box block"), 15000);
        WAIT_VERIFY(requested("/banner/ad.png"), 5000);
        app->widget<QMenu>("NPopup")->aboutToShow();
        QVERIFY(item->isChecked());
        // And back.
        server.requests.clear();
        item->trigger();
        WAIT_COMPARE(app->pages->page(0)->title(), QStringLiteral("box none"), 15000);
        QVERIFY(!requested("/banner/ad.png"));
    }

    void theSwitchTurnsTheListsOff()
    {
        QVERIFY(withRules("/banner/*$image\n"));
        QVERIFY(app->item("NStopListAd")->isChecked());
        app->item("NStopListAd")->trigger();
        QCOMPARE(app->configValue(QStringLiteral("StopListAd")), QStringLiteral("0"));
        server.requests.clear();
        QVERIFY(open(url("/ads.html")));
        WAIT_VERIFY(requested("/banner/ad.png"), 10000);
    }

    void theWalksHideWhatTheyRecogniseAfterLoad()
    {
        makeProgram();
        TEmbeddedWB *page = open(url("/walk.html"));
        QVERIFY(page);
        auto visibility = [&](const char *id) {
            return evaluate(page, QStringLiteral("document.getElementById('%1').style.visibility").arg(QLatin1String(id)))
                .toString();
        };
        // After the load: inline absolute and Flash, by the switches that are on.
        WAIT_COMPARE(visibility("inline"), QStringLiteral("hidden"), 10000);
        QCOMPARE(visibility("flash"), QStringLiteral("hidden"));
        QCOMPARE(visibility("swf"), QStringLiteral("hidden"));
        QCOMPARE(visibility("scripted"), QStringLiteral("hidden"));
        QCOMPARE(visibility("sheet"), QString());
        QCOMPARE(visibility("othercase"), QString());
        QCOMPARE(visibility("noswf"), QString());
        QCOMPARE(visibility("plain"), QString());
        // The walk keeps the layout: the element still takes its room.
        QVERIFY(evaluate(page, QStringLiteral("document.getElementById('inline').offsetHeight")).toInt() > 0);
    }

    void aWalkStopsOnTheExemptHost()
    {
        makeProgram("[RunData]\r\nStopFloatAd=0\r\nStopFlashAd=0\r\n");
        TEmbeddedWB *page = open(url("/walk.html"));
        QVERIFY(page);
        // The walk as it runs on the web-mail host stops at the first element: the page keeps
        // its Flash and its floating elements.
        QCOMPARE(evaluate(page, AdScrubber::walkScript(true, true, true)).toInt(), 0);
        for (const char *id : {"inline", "flash", "swf"})
            QCOMPARE(evaluate(page, QStringLiteral("document.getElementById('%1').style.visibility").arg(QLatin1String(id)))
                         .toString(),
                     QString());
        // Elsewhere the same walk hides them.
        QCOMPARE(evaluate(page, AdScrubber::walkScript(true, true, false)).toInt(), 4);
    }
};

SABLIX_ENGINE_TEST_MAIN(TestAdblockEngine)
#include "tst_adblockengine.moc"
