#include "enginetest.h"
#include "favorites/favoritesstore.h"
#include "pages/finddialog.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

// Page commands and favorites in real pages, with real keys where the user has keys.
class TestPageCommandsEngine : public EngineTest
{
    Q_OBJECT

    QString downloadFolder;

    // The text of a PDF file, as pdftotext finds it; empty while the file is not whole.
    static QString pdfText(const QString &file)
    {
        if (!QFileInfo::exists(file))
            return {};
        QProcess tool;
        tool.start(QStringLiteral("pdftotext"), {file, QStringLiteral("-")});
        if (!waitFor([&] { return tool.state() == QProcess::NotRunning; }, 20000) || tool.exitCode() != 0)
            return {};
        return QString::fromUtf8(tool.readAllStandardOutput()).simplified();
    }

private slots:
    void initTestCase()
    {
        server.setPage("/text.html", "<html><head><title>Words</title></head><body><p>The quick brown fox</p>"
                                     "<img src='/pixel.png'></body></html>");
        server.setPage("/pixel.png", "not really a picture");
        QByteArray article = "<html><head><title>Article</title></head><body><h1>Printed words</h1>";
        for (int i = 0; i < 60; ++i)
            article += "<p>Paragraph " + QByteArray::number(i) + ": the quick brown fox jumps over the lazy dog.</p>";
        server.setPage("/article.html", article + "</body></html>");
        // The desktop names the user's download folder (xdg-user-dirs): save dialogs open there.
        downloadFolder = QDir::home().filePath(QStringLiteral("下载"));
        QVERIFY(QDir().mkpath(downloadFolder));
        QVERIFY(QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)));
        QFile dirs(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/user-dirs.dirs"));
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOWNLOAD_DIR=\"$HOME/\xe4\xb8\x8b\xe8\xbd\xbd\"\n");
    }

    void init() { makeProgram(); }
    void cleanup() { app.reset(); }
    void cleanupTestCase() { engine.shutdown(); }

    void ctrlSWritesAPageThatOpensAgain()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("saved.html"));
        TEmbeddedWB *page = openShown("/text.html");
        QVERIFY(page);
        QString openedIn;
        whenDialogShows([file, &openedIn](QDialog *dialog) {
            auto *chooser = qobject_cast<QFileDialog *>(dialog);
            QVERIFY(chooser);
            openedIn = chooser->directory().absolutePath();
            chooser->selectFile(file);
            QMetaObject::invokeMethod(chooser, "accept");
        });
        QVERIFY(xdotool({"key", "--clearmodifiers", "ctrl+s"}));
        WAIT_VERIFY(QFileInfo(file).size() > 0, 20000);
        QCOMPARE(openedIn, downloadFolder);
        TEmbeddedWB *saved = open(QUrl::fromLocalFile(file).toString());
        QVERIFY(saved);
        WAIT_COMPARE(app->pages->activePage()->title(), QStringLiteral("Words"), 5000);
        QCOMPARE(evaluate(saved, QStringLiteral("document.body.innerText.trim().split('\\n')[0]")).toString(),
                 QStringLiteral("The quick brown fox"));
    }

    // Printed to a file, a page keeps its text: it can be found and copied, and a short
    // article makes a small file. Proposed in the download folder, named after the page.
    void printingToAFileKeepsTheText()
    {
        TEmbeddedWB *page = open(url("/article.html"));
        QVERIFY(page);
        const QString file = QDir(downloadFolder).filePath(QStringLiteral("printed.pdf"));
        QString proposed;
        whenDialogShows([&](QDialog *dialog) {
            auto *printers = dialog->findChild<QComboBox *>(QStringLiteral("printers"));
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("filename"));
            QVERIFY(printers && name);
            const int toFile = printers->findText(QStringLiteral("PDF"), Qt::MatchContains);
            QVERIFY(toFile >= 0);
            printers->setCurrentIndex(toFile);
            proposed = name->text();
            name->setText(file);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        app->item("NPrint")->trigger();
        QString text;
        WAIT_VERIFY((text = pdfText(file)).contains(QStringLiteral("Paragraph 59: the quick brown fox")), 60000);
        QVERIFY(text.contains(QStringLiteral("Printed words")));
        QVERIFY2(QFileInfo(file).size() < 1024 * 1024, qPrintable(QString::number(QFileInfo(file).size())));
        QCOMPARE(proposed, QDir(downloadFolder).filePath(QStringLiteral("Article.pdf")));
    }

    void ctrlFFindsTextOnThePage()
    {
        TEmbeddedWB *page = openShown("/text.html");
        QVERIFY(page);
        QVERIFY(xdotool({"key", "--clearmodifiers", "ctrl+f"}));
        FindDialog *find = nullptr;
        WAIT_VERIFY((find = app->main->findChild<FindDialog *>()) && find->isVisible(), 5000);
        WAIT_VERIFY(find->isActiveWindow(), 5000);
        QVERIFY(xdotool({"type", "--delay", "20", "absent"}));
        QVERIFY(xdotool({"key", "Return"}));
        WAIT_COMPARE(find->result(), QStringLiteral("找不到“absent”"), 10000);
        find->textField()->setText(QStringLiteral("brown"));
        QVERIFY(xdotool({"key", "Return"}));
        WAIT_COMPARE(find->result(), QString(), 10000);
    }

    void zoomAndTextSizeAreTwoThings()
    {
        TEmbeddedWB *page = openShown("/text.html");
        QVERIFY(page);
        const QString fontSize = QStringLiteral("getComputedStyle(document.body).fontSize");
        QCOMPARE(evaluate(page, fontSize).toString(), QStringLiteral("16px"));
        app->item("N200")->trigger();
        WAIT_COMPARE(evaluate(page, QStringLiteral("document.body.style.zoom")).toString(), QStringLiteral("2"), 5000);
        app->item("NLargest")->trigger();
        WAIT_COMPARE(evaluate(page, fontSize).toString(), QStringLiteral("24px"), 5000);
        QVERIFY(app->item("NLargest")->isChecked());
        // The zoom stayed as it was.
        QCOMPARE(evaluate(page, QStringLiteral("document.body.style.zoom")).toString(), QStringLiteral("2"));
    }

    void ctrlDThenEnterWritesAFavorite()
    {
        QDir(FavoritesStore::defaultRoot()).removeRecursively();
        TEmbeddedWB *page = openShown("/text.html");
        QVERIFY(page);
        whenDialogShows([](QDialog *dialog) {
            WAIT_VERIFY(dialog->isActiveWindow(), 5000);
            QVERIFY(xdotool({"key", "Return"}));
            WAIT_VERIFY(!dialog->isVisible(), 5000);
        });
        QVERIFY(xdotool({"key", "--clearmodifiers", "ctrl+d"}));
        WAIT_VERIFY(QFileInfo::exists(FavoritesStore::defaultRoot() + QStringLiteral("/Words.url")), 10000);
        QCOMPARE(FavoritesStore::readShortcut(FavoritesStore::defaultRoot() + QStringLiteral("/Words.url")), url("/text.html"));
    }
};

SABLIX_ENGINE_TEST_MAIN(TestPageCommandsEngine)
#include "tst_pagecommandsengine.moc"
