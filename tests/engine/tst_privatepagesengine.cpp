#include "enginetest.h"
#include "adblock/adscrubber.h"
#include "downloads/downloads.h"
#include "engine/browsingdata.h"

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>

// Private pages and PDF documents against the real engine: a private page's cookies stay
// in its own profile and go with it; a PDF shows in the page instead of being downloaded.
class TestPrivatePagesEngine : public EngineTest
{
    Q_OBJECT

private:

    int requestsWithCookie(const QByteArray &path) const
    {
        int count = 0;
        for (const TestHttpServer::Request &request : server.requests)
            count += request.path.split('?').value(0) == path && !request.headers.value("cookie").isEmpty();
        return count;
    }

    // A private page the way the user opens one (Ctrl+Shift+N), active and blank.
    TEmbeddedWB *openPrivatePage()
    {
        const int before = app->pages->count();
        app->item("NAddNewPrivate")->trigger();
        if (app->pages->count() != before + 1 || !active()->isPrivate())
            return nullptr;
        return active();
    }


    static QByteArray pdfDocument()
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        {
            QPdfWriter writer(&buffer);
            writer.setTitle(QStringLiteral("sablix pdf"));
            QPainter painter(&writer);
            painter.setFont(QFont(QStringLiteral("Sans"), 24));
            painter.drawText(QPointF(200, 400), QStringLiteral("A document shown in the page"));
        }
        return buffer.data();
    }

private slots:
    void initTestCase()
    {
        serveCookiePages("Set-Cookie: secret=private42; Max-Age=3600; Path=/\r\n");
        server.setPage("/popup.html", "<html><head><title>Opener</title></head><body>"
                                      "<a id='link' href='/echo.html' target='_blank'"
                                      " style='display:block;width:300px;height:200px;background:#ccc'>open</a>"
                                      "</body></html>");
        server.setPage("/links.html", "<html><head><title>Links</title></head><body>links</body></html>");
        for (const QByteArray &name : {QByteArray("one"), QByteArray("two")}) {
            TestHttpServer::Page file;
            file.body = name + " file";
            file.contentType = "application/octet-stream";
            file.headers = "Content-Disposition: attachment; filename=\"" + name + ".bin\"\r\n";
            server.setPage("/" + name + ".bin", file);
        }
        TestHttpServer::Page endless;
        endless.contentType = "application/octet-stream";
        endless.headers = "Content-Disposition: attachment; filename=\"endless.bin\"\r\n";
        endless.chunkSize = 16 * 1024;
        endless.endless = true;
        server.setPage("/endless.bin", endless);
        TestHttpServer::Page pdf;
        pdf.body = pdfDocument();
        pdf.contentType = "application/pdf";
        server.setPage("/document.pdf", pdf);
    }

    void init() { makeProgram(); }
    void cleanup() { app.reset(); }
    void cleanupTestCase() { engine.shutdown(); }

    void aPrivatePagesCookieIsItsOwn()
    {
        QVERIFY(openPrivatePage());
        QVERIFY(open(url("/setcookie.html")));
        QVERIFY(active()->isPrivate());
        // The private page itself sends it back: the cookie was taken.
        QVERIFY(open(url("/echo.html")));
        QVERIFY(active()->isPrivate());
        QCOMPARE(server.lastCookieHeader("/echo.html"), QByteArray("secret=private42"));

        // A page of the user's never sees it, and the user's jar never held it.
        const int echoes = server.requestsFor("/echo.html");
        app->item("NAddNewBlank")->trigger();
        QVERIFY(!active()->isPrivate());
        QVERIFY(open(url("/echo.html")));
        QVERIFY(!active()->isPrivate());
        QCOMPARE(server.requestsFor("/echo.html"), echoes + 1);
        QCOMPARE(server.lastCookieHeader("/echo.html"), QByteArray());
        QVERIFY(engine.browsingData()->cookies().isEmpty());
    }

    void aPrivatePagesSourceIsShownByTheEngineAndWrittenNowhere()
    {
        QVERIFY(openPrivatePage());
        TEmbeddedWB *page = open(url("/links.html"));
        QVERIFY(page && page->isPrivate());
        app->item("NSource")->trigger();
        QVERIFY(active() != page && active()->isPrivate());
        const QString source = QStringLiteral("view-source:") + url("/links.html");
        WAIT_VERIFY(!active()->Busy() && active()->LocationURL() == source, 20000);
        WAIT_VERIFY(evaluate(active(), QStringLiteral("document.body ? document.body.innerText : ''"))
                        .toString().contains(QStringLiteral("<title>Links</title>")), 10000);
        QStringList written = QDir(app->path(QStringLiteral("Temp"))).entryList(QDir::Files);
        written.removeAll(QStringLiteral("Running.lock"));
        QCOMPARE(written, QStringList());
    }

    void afterTheLastPrivatePageTheCookieIsGone()
    {
        QVERIFY(openPrivatePage());
        QVERIFY(open(url("/setcookie.html")));
        // A second private page shares the first one's profile while it is open.
        QVERIFY(openPrivatePage());
        QVERIFY(open(url("/echo.html")));
        QCOMPARE(server.lastCookieHeader("/echo.html"), QByteArray("secret=private42"));

        // Both private pages close; a page of the user's stays.
        QList<QPointer<TEmbeddedWB>> closed;
        for (int i = app->pages->count() - 1; i >= 0; --i)
            if (browser(i)->isPrivate()) {
                closed << browser(i);
                app->pages->ClosePage(i);
            }
        QCOMPARE(closed.size(), 2);
        WAIT_VERIFY(closed[0].isNull() && closed[1].isNull(), 10000);

        const int echoes = server.requestsFor("/echo.html");
        QVERIFY(openPrivatePage());
        QVERIFY(open(url("/echo.html")));
        QVERIFY(active()->isPrivate());
        QCOMPARE(server.requestsFor("/echo.html"), echoes + 1);
        QCOMPARE(server.lastCookieHeader("/echo.html"), QByteArray());
    }

    void theOnlyPageBeingPrivateGoesWhenClosed()
    {
        // The one page left is kept blank when closed, unless it is private: then it goes,
        // its profile with it, and a page of the user's takes its place.
        QVERIFY(openPrivatePage());
        QCOMPARE(app->pages->count(), 1);
        QVERIFY(open(url("/setcookie.html")));
        QPointer<TEmbeddedWB> privatePage = active();
        app->item("NCloseCurrent")->trigger();
        WAIT_VERIFY(privatePage.isNull(), 10000);
        QCOMPARE(app->pages->count(), 1);
        QVERIFY(!active()->isPrivate());

        QVERIFY(openPrivatePage());
        QVERIFY(open(url("/echo.html")));
        QCOMPARE(server.lastCookieHeader("/echo.html"), QByteArray());
    }

    void aLinkFromAPrivatePageOpensAPrivatePage()
    {
        QVERIFY(openPrivatePage());
        QVERIFY(open(url("/setcookie.html")));
        TEmbeddedWB *opener = open(url("/popup.html"));
        QVERIFY(opener);
        QVERIFY(readyForInput(opener));
        const int before = app->pages->count();
        const int echoesWithCookie = requestsWithCookie("/echo.html");
        QVERIFY(clickAt(screenPointOf(opener, QStringLiteral("#link"))));
        WAIT_VERIFY(app->pages->count() == before + 1, 10000);
        TEmbeddedWB *opened = browser(app->pages->newPageIndex());
        QVERIFY(opened != opener);
        QVERIFY(opened->isPrivate());
        // It is the engine's own window, in the opener's profile: it sends the cookie.
        WAIT_VERIFY(requestsWithCookie("/echo.html") == echoesWithCookie + 1, 10000);
        QCOMPARE(server.lastCookieHeader("/echo.html"), QByteArray("secret=private42"));
        QVERIFY(engine.browsingData()->cookies().isEmpty());
    }

    void aPrivatePagesDownloadGoesWhereTheUserSays()
    {
        QStringList proposed;
        app->program->downloads()->askWhereTo = [&proposed](const QString &path) {
            proposed << path;
            return path;
        };
        const auto items = [this] { return app->program->downloads()->items(); };
        // The user's download, then a private page's: the engines count downloads each for
        // itself, and the second is a download of its own, asked for and kept apart.
        QVERIFY(follow("/one.bin"));
        WAIT_VERIFY(items().size() == 1 && items()[0] && items()[0]->state() == DownloadItem::Completed, 20000);
        QVERIFY(openPrivatePage());
        QVERIFY(follow("/two.bin"));
        WAIT_VERIFY(items().size() == 2 && items()[1] && items()[1]->state() == DownloadItem::Completed, 20000);
        QCOMPARE(proposed.size(), 2);
        QVERIFY(proposed[1].endsWith(QLatin1String("two.bin")));
        WAIT_VERIFY(QFileInfo(proposed[1]).size() == 8, 5000);
        QFile two(proposed[1]);
        QVERIFY(two.open(QIODevice::ReadOnly));
        QCOMPARE(two.readAll(), QByteArray("two file"));
        QFile one(proposed[0]);
        QVERIFY(one.open(QIODevice::ReadOnly));
        QCOMPARE(one.readAll(), QByteArray("one file"));

        // The private page closes and its profile goes; the window still tells what came of
        // the download.
        QPointer<DownloadItem> item = items()[1].data();
        QPointer<TEmbeddedWB> privatePage = active();
        app->item("NCloseCurrent")->trigger();
        WAIT_VERIFY(privatePage.isNull(), 10000);
        WAIT_VERIFY(!item || item->url().isEmpty(), 10000); // the engine's request went with its profile
        QVERIFY(item);
        QCOMPARE(item->state(), DownloadItem::Completed);
    }

    void aDownloadOutlivesTheLastPrivatePage()
    {
        QStringList proposed;
        app->program->downloads()->askWhereTo = [&proposed](const QString &path) {
            proposed << path;
            return path;
        };
        QVERIFY(openPrivatePage());
        QVERIFY(follow("/endless.bin"));
        const auto items = [this] { return app->program->downloads()->items(); };
        WAIT_VERIFY(items().size() == 1 && items()[0] && items()[0]->received() > 64 * 1024, 20000);
        QPointer<DownloadItem> item = items()[0].data();

        // The last private page closes while its download runs: the download goes on.
        QPointer<TEmbeddedWB> privatePage = active();
        app->item("NCloseCurrent")->trigger();
        WAIT_VERIFY(privatePage.isNull(), 10000);
        const qint64 before = item ? item->received() : 0;
        WAIT_VERIFY(item && item->received() > before + 256 * 1024, 20000);
        QCOMPARE(item->state(), DownloadItem::InProgress);

        // Once it ends, the profile goes.
        item->cancel();
        WAIT_VERIFY(!item || item->url().isEmpty(), 10000);
        QVERIFY(item);
        QCOMPARE(item->state(), DownloadItem::Cancelled);
    }

    void aPdfShowsInThePage()
    {
        QStringList asked;
        app->program->downloads()->askWhereTo = [&asked](const QString &proposed) {
            asked << proposed;
            return QString();
        };
        TEmbeddedWB *page = open(url("/document.pdf"));
        QVERIFY(page);
        QVERIFY(waitFor([&] { return page->Document() && !page->Busy(); }));
        QCOMPARE(page->LocationURL(), url("/document.pdf"));
        // The page holds the engine's viewer with the PDF in it.
        WAIT_VERIFY(evaluate(page, QStringLiteral("document.contentType")).toString() == QLatin1String("application/pdf"),
                    10000);
        QCOMPARE(evaluate(page, QStringLiteral("document.embeds.length")).toInt(), 1);
        // The ad scrubbers have been at the page (on its completion, and on their timer)
        // and left the viewer in sight.
        app->adScrubber()->ScrubDocumentNow(page);
        QVERIFY(roundTrip(page));
        QCOMPARE(evaluate(page, QStringLiteral("getComputedStyle(document.embeds[0]).visibility")).toString(),
                 QStringLiteral("visible"));
        // Nothing was offered for download, nothing was saved.
        QVERIFY2(asked.isEmpty(), qPrintable(asked.join(QLatin1Char(' '))));
        QVERIFY(app->program->downloads()->items().isEmpty());
    }

    void aPdfShowsInAPrivatePageToo()
    {
        QStringList asked;
        app->program->downloads()->askWhereTo = [&asked](const QString &proposed) {
            asked << proposed;
            return QString();
        };
        QVERIFY(openPrivatePage());
        TEmbeddedWB *page = open(url("/document.pdf"));
        QVERIFY(page);
        QVERIFY(page->isPrivate());
        WAIT_VERIFY(evaluate(page, QStringLiteral("document.contentType")).toString() == QLatin1String("application/pdf"),
                    10000);
        QVERIFY(roundTrip(page));
        QVERIFY(asked.isEmpty());
        QVERIFY(app->program->downloads()->items().isEmpty());
    }
};

SABLIX_ENGINE_TEST_MAIN(TestPrivatePagesEngine)
#include "tst_privatepagesengine.moc"
