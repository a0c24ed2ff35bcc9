#include "enginetest.h"
#include "favorites/favoritesstore.h"
#include "pages/finddialog.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>

// Page commands and favorites in real pages, with real keys where the user has keys.
class TestPageCommandsEngine : public EngineTest
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        server.setPage("/text.html", "<html><head><title>Words</title></head><body><p>The quick brown fox</p>"
                                     "<img src='/pixel.png'></body></html>");
        server.setPage("/pixel.png", "not really a picture");
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
        whenDialogShows([file](QDialog *dialog) {
            auto *chooser = qobject_cast<QFileDialog *>(dialog);
            QVERIFY(chooser);
            chooser->selectFile(file);
            QMetaObject::invokeMethod(chooser, "accept");
        });
        QVERIFY(xdotool({"key", "--clearmodifiers", "ctrl+s"}));
        WAIT_VERIFY(QFileInfo(file).size() > 0, 20000);
        TEmbeddedWB *saved = open(QUrl::fromLocalFile(file).toString());
        QVERIFY(saved);
        WAIT_COMPARE(app->pages->activePage()->title(), QStringLiteral("Words"), 5000);
        QCOMPARE(evaluate(saved, QStringLiteral("document.body.innerText.trim().split('\\n')[0]")).toString(),
                 QStringLiteral("The quick brown fox"));
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
