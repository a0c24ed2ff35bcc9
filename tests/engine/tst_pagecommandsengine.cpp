#include "enginetest.h"
#include "favorites/favoritesstore.h"
#include "pages/finddialog.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
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

    // The page's context menu shown at the centre of an element, by a real right click.
    // A page just made active again may let a click go by on a busy machine: the click is
    // made again until the menu shows.
    QMenu *contextMenuAt(TEmbeddedWB *page, const QString &selector)
    {
        QMenu *menu = nullptr;
        auto shown = [&] {
            menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            return menu && menu->objectName() == QLatin1String("PageContextMenu");
        };
        for (int attempt = 0; attempt < 4; ++attempt) {
            if (!clickAt(screenPointOf(page, selector), 3))
                return nullptr;
            if (waitFor(shown, 5000))
                return menu;
        }
        return nullptr;
    }
    static QAction *itemNamed(QMenu *menu, const QString &text)
    {
        for (QAction *action : menu->actions())
            if (action->text() == text || action->objectName() == text)
                return action;
        return nullptr;
    }
    // The menu of a misspelt word: the engine checks a field's words a moment after it has
    // the focus, so the menu is asked for again until it offers the word to the dictionary.
    QMenu *spellingMenuAt(TEmbeddedWB *page, const QString &selector)
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            QMenu *menu = contextMenuAt(page, selector);
            if (!menu)
                return nullptr;
            if (itemNamed(menu, QStringLiteral("AddToDictionaryItem")))
                return menu;
            menu->close();
            if (!waitFor([] { return !QApplication::activePopupWidget(); }, 5000) || !roundTrip(page))
                return nullptr;
        }
        return nullptr;
    }
    static QList<QWidget *> developerTools()
    {
        QList<QWidget *> found;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->objectName() == QLatin1String("DeveloperTools") && top->isVisible())
                found << top;
        return found;
    }

private slots:
    void initTestCase()
    {
        server.setPage("/spelling.html",
                       "<html><head><title>Spelling</title></head><body style='font-size:32px'>"
                       "<div id=en contenteditable spellcheck=true style='display:inline-block'>wrold</div><br>"
                       "<div id=mine contenteditable spellcheck=true style='display:inline-block'>sablixwort</div><br>"
                       "<div id=zh contenteditable spellcheck=true style='display:inline-block'>"
                       "\xe4\xb8\xad\xe6\x96\x87\xe6\xb5\x8b\xe8\xaf\x95\xe5\x86\x85\xe5\xae\xb9</div></body></html>");
        // What the server sent, and what the page's script made of it since.
        server.setPage("/source.html", "<html><head><title>Source</title></head><body><!-- as sent -->"
                                       "<p id=p>before</p><script>document.getElementById('p').textContent = "
                                       "'after' + ' script';</script></body></html>");
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

    void misspeltEnglishIsMarkedAndCorrectedChineseNever()
    {
        TEmbeddedWB *page = openShown("/spelling.html");
        QVERIFY(page);
        QVERIFY(clickAt(screenPointOf(page, QStringLiteral("#en"))));
        QMenu *menu = spellingMenuAt(page, QStringLiteral("#en"));
        QVERIFY2(menu, "the misspelt word was never marked");
        // The languages the system has dictionaries for, American English checking.
        QMenu *languages = menu->findChild<QMenu *>(QStringLiteral("SpellingLanguagesMenu"));
        QVERIFY(languages);
        QAction *english = itemNamed(languages, QStringLiteral("SpellingLanguage_en-US"));
        QVERIFY(english && english->isChecked());
        QAction *correction = itemNamed(menu, QStringLiteral("world"));
        QVERIFY(correction);
        correction->trigger();
        menu->close();
        WAIT_COMPARE(evaluate(page, QStringLiteral("document.getElementById('en').textContent")).toString(),
                     QStringLiteral("world"), 10000);

        // A word of the user's own goes to their dictionary, in their folder.
        QVERIFY(clickAt(screenPointOf(page, QStringLiteral("#mine"))));
        menu = spellingMenuAt(page, QStringLiteral("#mine"));
        QVERIFY(menu);
        itemNamed(menu, QStringLiteral("AddToDictionaryItem"))->trigger();
        menu->close();
        const QString words = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                              QStringLiteral("/sablix/SpellingWords.txt");
        QFile file(words);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().split('\n').contains("sablixwort"));

        // Chinese is never marked: the dictionaries are loaded (the English word was), and the
        // menu of a Chinese field offers nothing to add.
        QVERIFY(clickAt(screenPointOf(page, QStringLiteral("#zh"))));
        QVERIFY(roundTrip(page));
        menu = contextMenuAt(page, QStringLiteral("#zh"));
        QVERIFY(menu);
        QVERIFY(!itemNamed(menu, QStringLiteral("AddToDictionaryItem")));
        QVERIFY(menu->findChild<QMenu *>(QStringLiteral("SpellingLanguagesMenu")));
        menu->close();

        // Turned off in the settings: the English field's menu offers no spelling either.
        app->item("NSpellCheck")->trigger();
        QCOMPARE(app->configValue(QStringLiteral("SpellCheck")), QStringLiteral("0"));
        menu = contextMenuAt(page, QStringLiteral("#mine"));
        QVERIFY(menu);
        QVERIFY(!itemNamed(menu, QStringLiteral("AddToDictionaryItem")));
        QVERIFY(!menu->findChild<QMenu *>(QStringLiteral("SpellingLanguagesMenu")));
        menu->close();
        app->item("NSpellCheck")->trigger();
    }

    void f12OpensTheToolsOfThatPageAndTheyCloseWithIt()
    {
        TEmbeddedWB *first = openShown("/text.html");
        QVERIFY(first);
        TEmbeddedWB *second = openShown("/article.html");
        QVERIFY(second && second != first);
        QVERIFY(xdotool({"key", "--clearmodifiers", "F12"}));
        WAIT_COMPARE(developerTools().size(), 1, 20000);
        QVERIFY(second->developerToolsShown());
        QVERIFY(!first->developerToolsShown());
        QVERIFY2(developerTools().first()->windowTitle().contains(QStringLiteral("Article")),
                 qPrintable(developerTools().first()->windowTitle()));
        // The other key: the same window, not a second.
        QAction *otherKey = app->main->findChild<QAction *>(QStringLiteral("ActionDeveloperTools"));
        QVERIFY(otherKey);
        QCOMPARE(otherKey->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+I")));
        otherKey->trigger();
        QCOMPARE(developerTools().size(), 1);
        // Out of the way of the page's window (there is no window manager to place it).
        developerTools().first()->move(1280 - 300, 1024 - 200);

        // The first page's own tools, from its context menu.
        app->pages->activatePage(app->pages->indexOf(first));
        app->pages->announceActivePage();
        QVERIFY(readyForInput(first));
        QMenu *menu = contextMenuAt(first, QStringLiteral("p"));
        QVERIFY(menu);
        QAction *inspect = itemNamed(menu, QStringLiteral("InspectElementItem"));
        QVERIFY(inspect);
        QCOMPARE(inspect->text(), QStringLiteral("检查元素"));
        inspect->trigger();
        menu->close();
        WAIT_COMPARE(developerTools().size(), 2, 20000);
        QVERIFY(first->developerToolsShown());

        // A page that closes takes its tools with it, and only its own.
        app->pages->ClosePage(app->pages->indexOf(second));
        WAIT_COMPARE(developerTools().size(), 1, 20000);
        QVERIFY(developerTools().first()->windowTitle().contains(QStringLiteral("Words")));
    }

    void ctrlUShowsTheSourceTheServerSent()
    {
        TEmbeddedWB *page = openShown("/source.html");
        QVERIFY(page);
        QCOMPARE(evaluate(page, QStringLiteral("document.getElementById('p').textContent")).toString(),
                 QStringLiteral("after script"));
        const int pages = app->pages->count();
        QVERIFY(xdotool({"key", "--clearmodifiers", "ctrl+u"}));
        WAIT_COMPARE(app->pages->count(), pages + 1, 10000);
        TEmbeddedWB *source = active();
        QVERIFY(source != page);
        const QString address = QStringLiteral("view-source:") + url("/source.html");
        QVERIFY(waitFor([&] { return !source->Busy() && source->LocationURL() == address; }));
        // The bytes as they came, the page's later changes not among them.
        QString text;
        WAIT_VERIFY((text = evaluate(source, QStringLiteral("document.body.innerText")).toString())
                        .contains(QStringLiteral("<!-- as sent -->")), 10000);
        QVERIFY2(text.contains(QStringLiteral("<p id=p>before</p>")), qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("after script")));
    }
};

SABLIX_ENGINE_TEST_MAIN(TestPageCommandsEngine)
#include "tst_pagecommandsengine.moc"
