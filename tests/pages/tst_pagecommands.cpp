#include "appfixture.h"
#include "pages/finddialog.h"
#include "pages/pagecommands.h"
#include "tabs/pagetabs.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

// The File, Edit and View commands with the scripted engine: what each asks of the engine,
// the rules for no page and no document, and the files they write.
class TestPageCommands : public QObject
{
    Q_OBJECT

private:
    static QStringList execs(const ScriptedBrowser *page) { return page->calls.filter(QStringLiteral("ExecWB")); }

private slots:
    void withoutAPageOnlyThreeCommandsDoAnything()
    {
        AppFixture app;
        int opened = 0;
        int chosen = 0;
        app.program->pageCommands()->openExternally = [&opened](const QUrl &) { return ++opened, true; };
        app.program->pageCommands()->chooseFileToOpen = [&chosen] { return ++chosen, QString(); };
        QSignalSpy importExport(app.program->pageCommands(), &PageCommands::importExportRequested);
        for (const char *name : {"NSaveAs", "NPageSetup", "NPrint", "NPrintView", "NNewMail", "NSendPage", "NSendLink",
                                 "NAttribute", "NCut", "NCopy", "NPaste", "NSelectAll", "NFind", "NEditSource", "NLargest",
                                 "N200", "NSource"})
            app.item(name)->trigger();
        QCOMPARE(app.pages->count(), 0);
        QCOMPARE(opened, 0);
        QVERIFY(!app.main->findChild<FindDialog *>());
        // The open dialog still opens; the check mark of 脱机工作 still toggles; import and
        // export opens a blank page first.
        app.item("NOpenFile")->trigger();
        QCOMPARE(chosen, 1);
        app.item("NOffline")->trigger();
        QVERIFY(app.item("NOffline")->isChecked());
        whenDialogShows([](QDialog *) {});
        app.item("NImport")->trigger();
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(importExport.size(), 1);
        // A page without a document gets a blank one beside it.
        whenDialogShows([](QDialog *) {});
        app.item("NImport")->trigger();
        QCOMPARE(app.pages->count(), 2);
    }

    void aPageWithoutADocumentIgnoresTheEngineCommands()
    {
        AppFixture app;
        QVERIFY(app.pages->NewPage(2));
        app.pages->activatePage(0);
        ScriptedBrowser *page = app.active();
        for (const char *name : {"NSaveAs", "NPrint", "NPrintView", "NCopy", "NSelectAll", "N200", "NLargest"})
            app.item(name)->trigger();
        QVERIFY(execs(page).isEmpty());
        QVERIFY(page->calls.filter(QStringLiteral("Script")).isEmpty());
    }

    void theEngineCommandsOfADocument()
    {
        AppFixture app;
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        page->calls.clear();
        for (const char *name : {"NSaveAs", "NPageSetup", "NPrint", "NPrintView", "NAttribute", "NCut", "NCopy", "NPaste",
                                 "NSelectAll"})
            app.item(name)->trigger();
        QCOMPARE(execs(page), (QStringList{"ExecWB 4 0 ", "ExecWB 8 0 ", "ExecWB 6 0 ", "ExecWB 7 0 ", "ExecWB 10 0 ",
                                           "ExecWB 11 1 ", "ExecWB 12 1 ", "ExecWB 13 1 ", "ExecWB 17 1 "}));
    }

    // Text size and zoom are independent; the size's marks follow the engine's answer.
    void textSizeAndZoom()
    {
        AppFixture app;
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        app.item("NLargest")->trigger();
        QCOMPARE(page->textSize(), 4);
        QVERIFY(app.item("NLargest")->isChecked());
        app.item("NSmallest")->trigger();
        QCOMPARE(page->textSize(), 0);
        QVERIFY(app.item("NSmallest")->isChecked());
        app.item("N200")->trigger();
        QVERIFY(page->calls.last().contains(QStringLiteral("document.body.style.zoom = 2")));
        app.item("N75")->trigger();
        QVERIFY(page->calls.last().contains(QStringLiteral("document.body.style.zoom = 0.75")));
        QCOMPARE(page->textSize(), 0);
        // A page without a document keeps the marks where the engine says they are.
        QVERIFY(app.pages->NewPage(2));
        app.pages->activatePage(app.pages->newPageIndex());
        app.item("NLarger")->trigger();
        QVERIFY(app.item("NSmallest")->isChecked());
    }

    // A size command without a document has no answer: the marks stay where they were
    // instead of jumping to the smallest.
    void textSizeMarksStayWithoutAnAnswer()
    {
        AppFixture app;
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        app.item("NLarger")->trigger();
        QCOMPARE(page->textSize(), 3);
        QVERIFY(app.item("NLarger")->isChecked());
        page->setDocument(false);
        app.item("NSmall")->trigger();
        QCOMPARE(page->textSize(), 3);
        QVERIFY(app.item("NLarger")->isChecked());
        QVERIFY(!app.item("NSmall")->isChecked());
        // No page at all, and no mark yet: none is made by the command.
        AppFixture empty;
        empty.item("NLargest")->trigger();
        for (const char *name : {"NLargest", "NLarger", "NMiddle", "NSmall", "NSmallest"})
            QVERIFY2(!empty.item(name)->isChecked(), name);
    }

    void editInPlaceAndFind()
    {
        AppFixture app;
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.example"));
        app.item("NEditSource")->trigger();
        QVERIFY(page->calls.last().contains(QStringLiteral("document.designMode = 'on'")));
        QVERIFY(page->calls.last().contains(QStringLiteral("execCommand('Underline'")));

        page->findResponder = [](const QString &text, bool matchCase) { return text == QStringLiteral("Here") || (!matchCase && text == QStringLiteral("here")) ? 1 : 0; };
        app.item("ActionNFind")->trigger();
        auto *find = app.main->findChild<FindDialog *>();
        QVERIFY(find && find->isVisible());
        find->textField()->setText(QStringLiteral("nowhere"));
        find->findNext();
        QTRY_COMPARE(find->result(), QStringLiteral("找不到“nowhere”"));
        find->textField()->setText(QStringLiteral("here"));
        find->findNext();
        QTRY_COMPARE(page->calls.last(), QStringLiteral("Find here 0 0"));
        QTRY_COMPARE(find->result(), QString());
        // One dialog, however often asked for.
        app.item("ActionNFind")->trigger();
        QCOMPARE(app.main->findChildren<FindDialog *>().size(), 1);
    }

    void openingAFileTellsWebFilesFromTheRest_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("inTheBrowser");
        QTest::newRow("html") << "page.html" << true;
        QTest::newRow("upper case") << "PAGE.HTM" << true;
        QTest::newRow("picture") << "photo.JPeG" << true;
        QTest::newRow("text") << "notes.txt" << false;
        QTest::newRow("no extension") << "README" << false;
    }

    void openingAFileTellsWebFilesFromTheRest()
    {
        QFETCH(QString, name);
        QFETCH(bool, inTheBrowser);
        QTemporaryDir folder;
        const QString file = folder.filePath(name);
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.close();
        AppFixture app;
        QList<QUrl> external;
        app.program->pageCommands()->openExternally = [&external](const QUrl &url) { return external << url, true; };
        app.program->pageCommands()->chooseFileToOpen = [file] { return file; };
        app.item("NOpenFile")->trigger();
        if (inTheBrowser) {
            QVERIFY(external.isEmpty());
            QCOMPARE(app.pages->count(), 1);
            QCOMPARE(app.active()->LocationURL(), QStringLiteral("file://") + file);
        } else {
            QCOMPARE(external, QList<QUrl>{QUrl::fromLocalFile(file)});
            QCOMPARE(app.pages->count(), 0);
        }
    }

    // The link goes to the mail program with its subject and body whole.
    void mailingTheLinkEncodesBothParts()
    {
        const QUrl link = PageCommands::mailLink(QStringLiteral("Q&A #1 问答"), QStringLiteral("http://x.test/?a=1&b=2#top"));
        QCOMPARE(link.scheme(), QStringLiteral("mailto"));
        const QUrlQuery query(link);
        QCOMPARE(query.queryItemValue(QStringLiteral("Subject"), QUrl::FullyDecoded), QStringLiteral("Q&A #1 问答"));
        QCOMPARE(query.queryItemValue(QStringLiteral("Body"), QUrl::FullyDecoded), QStringLiteral("http://x.test/?a=1&b=2#top"));
        QVERIFY(!link.hasFragment());

        AppFixture app;
        QList<QUrl> external;
        app.program->pageCommands()->openExternally = [&external](const QUrl &url) { return external << url, true; };
        app.openPage(QStringLiteral("http://x.test/a&b"), QStringLiteral("A&B"));
        app.item("NSendPage")->trigger();
        QCOMPARE(external.size(), 1);
        QCOMPARE(QUrlQuery(external.first()).queryItemValue(QStringLiteral("Subject"), QUrl::FullyDecoded), QStringLiteral("A&B"));
    }

    void aDesktopShortcutIsALinkFile()
    {
        QTemporaryDir desktop;
        AppFixture app;
        app.program->pageCommands()->desktopFolder = [&desktop] { return desktop.path(); };
        app.openPage(QStringLiteral("http://x.test/page"), QStringLiteral("../../etc/a:b\nc"));
        app.item("NSendLink")->trigger();
        app.item("NSendLink")->trigger();
        const QStringList made = QDir(desktop.path()).entryList(QDir::Files, QDir::Name);
        QCOMPARE(made, (QStringList{"_.._etc_a_b_c (2).desktop", "_.._etc_a_b_c.desktop"}));
        QFile link(desktop.filePath(made.last()));
        QVERIFY(link.open(QIODevice::ReadOnly));
        QCOMPARE(link.readAll(), QByteArray("[Desktop Entry]\nVersion=1.0\nType=Link\nName=../../etc/a:b c\nIcon=text-html\n"
                                            "URL=http://x.test/page\n"));
    }

    // Characters 8 to 17 of the address name the file; nothing in them takes it out of Temp/.
    void theSourceFileNameStaysInTheTempFolder_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "http://www.example.com/" << "www.exampl.txt";
        QTest::newRow("short") << "http://a.b" << "a.b.txt";
        QTest::newRow("climbing") << "http://a/../../x" << "a_.._.._x.txt";
        QTest::newRow("root") << "file:///etc/passwd" << "_etc_passw.txt";
        QTest::newRow("forbidden") << "http://?:*<>|\"\\ab" << "________ab.txt";
        QTest::newRow("non-Latin") << "http://中文网站.com/页面" << "中文网站.com_页.txt";
        QTest::newRow("only dots") << "http://.........." << "";
        QTest::newRow("NUL") << QStringLiteral("http://a") + QChar(0) + QStringLiteral("b") << "a_b.txt";
        QTest::newRow("nothing after the scheme") << "http://" << "";
    }

    void theSourceFileNameStaysInTheTempFolder()
    {
        QFETCH(QString, address);
        QFETCH(QString, name);
        AppFixture app;
        const QString file = app.program->pageCommands()->sourceFile(address);
        if (name.isEmpty()) {
            QVERIFY(file.isEmpty());
            return;
        }
        QCOMPARE(file, QDir(app.path(QStringLiteral("Temp"))).absoluteFilePath(name));
    }

    void theSourceIsWrittenAndShown()
    {
        AppFixture app;
        QList<QUrl> external;
        app.program->pageCommands()->openExternally = [&external](const QUrl &url) { return external << url, true; };
        ScriptedBrowser *page = app.openPage(QStringLiteral("http://www.example.com/one"));
        page->scriptResponder = [](const QString &script) {
            return script.contains(QStringLiteral("outerHTML")) ? QVariant(QStringLiteral("<body>第一</body>")) : QVariant();
        };
        app.item("NSource")->trigger();
        QTRY_COMPARE(external.size(), 1);
        const QString file = app.path(QStringLiteral("Temp/www.exampl.txt"));
        QCOMPARE(external.first(), QUrl::fromLocalFile(file));
        QCOMPARE(app.bytes(QStringLiteral("Temp/www.exampl.txt")), QStringLiteral("<body>第一</body>").toUtf8());
        // Another page with the same characters 8 to 17 writes the same file.
        ScriptedBrowser *second = app.openPage(QStringLiteral("http://www.example.com/two"));
        second->scriptResponder = [](const QString &) { return QVariant(QStringLiteral("<body>second</body>")); };
        app.item("NSource")->trigger();
        QTRY_COMPARE(external.size(), 2);
        QCOMPARE(app.bytes(QStringLiteral("Temp/www.exampl.txt")), QByteArray("<body>second</body>"));
        // The start page has none.
        second->commitNavigation(QStringLiteral("init.htm"));
        app.item("NSource")->trigger();
        QVERIFY(scriptAnswersArrived(app.active()));
        QCOMPARE(external.size(), 2);
    }
};

QTEST_MAIN(TestPageCommands)
#include "tst_pagecommands.moc"
