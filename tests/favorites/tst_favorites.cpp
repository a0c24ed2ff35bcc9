#include "appfixture.h"
#include "favorites/favoritesbar.h"
#include "favorites/favoritesdialogs.h"
#include "favorites/favoritesmenu.h"
#include "favorites/favoritesstore.h"
#include "window/pageicondrag.h"

#include <QAction>
#include <QCompleter>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <functional>
#include <memory>

// The favorites: files of their own, names made safe, hostile files passed over, the
// bookmark file both ways, the menu's two commands, the favorites bar and the organise
// dialog's search.
class TestFavorites : public QObject
{
    Q_OBJECT

private:
    static void write(const QString &path, const QByteArray &bytes) { QVERIFY(writeFile(path, bytes)); }
    // The tree as "folder/name=url" lines, sorted.
    static QStringList flat(const FavoritesStore::Folder &folder, const QString &prefix = {})
    {
        QStringList lines;
        for (const FavoritesStore::Favorite &favorite : folder.favorites)
            lines << prefix + favorite.name + QLatin1Char('=') + favorite.url;
        for (const FavoritesStore::Folder &sub : folder.folders) {
            lines << prefix + sub.name + QLatin1Char('/');
            lines << flat(sub, prefix + sub.name + QLatin1Char('/'));
        }
        lines.sort();
        return lines;
    }

private slots:
    void namesAreSafe_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "新闻 - 首页" << "新闻 - 首页";
        QTest::newRow("slashes") << "a/b\\c" << "a_b_c";
        QTest::newRow("climbing") << "../../.bashrc" << "_.._.bashrc";
        QTest::newRow("hidden") << ".hidden" << "hidden";
        QTest::newRow("control") << QStringLiteral("a\x01\x7f" "b") << "a__b";
        QTest::newRow("blank") << "   " << "未命名";
        QTest::newRow("long") << QString(300, QLatin1Char('x')) << QString(80, QLatin1Char('x'));
        QTest::newRow("line break") << "one\ntwo" << "one two";
    }

    void namesAreSafe()
    {
        QFETCH(QString, title);
        QFETCH(QString, name);
        QCOMPARE(FavoritesStore::safeName(title), name);
    }

    void addRenameMoveRemove()
    {
        QTemporaryDir root;
        FavoritesStore store(root.path());
        QSignalSpy changed(&store, &FavoritesStore::changed);
        const QString first = store.add(QString(), QStringLiteral("页面"), QStringLiteral("http://a.test/"));
        const QString second = store.add(QString(), QStringLiteral("页面"), QStringLiteral("http://b.test/"));
        QCOMPARE(QFileInfo(first).fileName(), QStringLiteral("页面.url"));
        QCOMPARE(QFileInfo(second).fileName(), QStringLiteral("页面 (2).url"));
        QFile file(first);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("[InternetShortcut]\r\nURL=http://a.test/\r\n"));
        const QString folder = store.createFolder(QString(), QStringLiteral("新闻"));
        const QString moved = store.moveInto(second, folder);
        QCOMPARE(moved, folder + QStringLiteral("/页面 (2).url"));
        const QString renamed = store.rename(moved, QStringLiteral("乙"));
        QCOMPARE(flat(store.tree()), (QStringList{"新闻/", "新闻/乙=http://b.test/", "页面=http://a.test/"}));
        // Nothing leaves the folder, a folder does not go into itself, and the root stays.
        QVERIFY(store.add(root.path() + QStringLiteral("/../elsewhere"), QStringLiteral("x"), QStringLiteral("http://x/")).isEmpty());
        QVERIFY(store.moveInto(folder, folder).isEmpty());
        QVERIFY(!store.remove(root.path()));
        QVERIFY(store.add(QString(), QStringLiteral("x"), QStringLiteral("http://x/\n[Other]")).isEmpty());
        QVERIFY(store.remove(folder));
        QCOMPARE(flat(store.tree()), QStringList{"页面=http://a.test/"});
        QVERIFY(!renamed.isEmpty());
        QVERIFY(changed.size() >= 5);
    }

    void hostileFilesAreListedSafelyOrPassedOver()
    {
        QTemporaryDir root;
        write(root.filePath(QStringLiteral("good.url")), "[InternetShortcut]\r\nURL=http://good.test/\r\n");
        write(root.filePath(QStringLiteral("script.url")), "[InternetShortcut]\nURL=javascript:alert(1)\n");
        write(root.filePath(QStringLiteral("other section.url")), "[Other]\nURL=http://nope/\n");
        write(root.filePath(QStringLiteral("binary.url")), QByteArray("[InternetShortcut]\nURL=http://x/") + '\0' + '\xff');
        write(root.filePath(QStringLiteral("huge.url")), "[InternetShortcut]\nURL=http://x/\n" + QByteArray(100000, 'a'));
        write(root.filePath(QStringLiteral("notes.txt")), "[InternetShortcut]\nURL=http://txt/\n");
        write(root.filePath(QStringLiteral("lower.URL")), "[internetshortcut]\r\nurl=http://lower.test/\r\n");
        FavoritesStore store(root.path());
        QCOMPARE(flat(store.tree()), (QStringList{"good=http://good.test/", "lower=http://lower.test/", "script=javascript:alert(1)"}));
        // Listed, but a script opens nothing and is no suggestion.
        QVERIFY(!FavoritesStore::openable(QStringLiteral("javascript:alert(1)")));
        QVERIFY(!FavoritesStore::openable(QStringLiteral(" JavaScript:void(0)")));
        QVERIFY(FavoritesStore::openable(QStringLiteral("http://good.test/")));
        QCOMPARE(store.addresses(), (QStringList{"http://good.test/", "http://lower.test/"}));
    }

    void bookmarkFilesRoundTrip()
    {
        QTemporaryDir first;
        FavoritesStore source(first.path());
        source.add(QString(), QStringLiteral("A & <B>"), QStringLiteral("http://a.test/?x=1&y=\"2\""));
        const QString news = source.createFolder(QString(), QStringLiteral("新闻"));
        source.add(news, QStringLiteral("头条"), QStringLiteral("https://news.test/头条"));
        source.createFolder(source.createFolder(news, QStringLiteral("深")), QStringLiteral("更深"));
        source.add(QString(), QStringLiteral("script"), QStringLiteral("javascript:alert(1)"));
        QTemporaryDir files;
        const QString exported = files.filePath(QStringLiteral("bookmarks.html"));
        QVERIFY(source.exportBookmarkFile(exported));

        QTemporaryDir second;
        FavoritesStore target(second.path());
        const FavoritesStore::ImportResult result = target.importBookmarkFile(exported, QString());
        QCOMPARE(result.imported, 2);
        QCOMPARE(result.skipped, 1); // the script
        QStringList expected = flat(source.tree());
        expected.removeAll(QStringLiteral("script=javascript:alert(1)"));
        QCOMPARE(flat(target.tree()), expected);
    }

    void malformedAndHugeBookmarkFilesImportWhatTheyCan()
    {
        QTemporaryDir files;
        QByteArray deep = "<DL>";
        for (int i = 0; i < 5000; ++i)
            deep += "<DT><H3>level</H3><DL>";
        deep += "<DT><A HREF=\"http://deep.test/\">deep</A>";
        deep += "<DT><A HREF='http://single.test/'>single</A><A HREF=unquoted>x</A><A>no address</A><DL></DL></DL>";
        write(files.filePath(QStringLiteral("deep.html")), deep);
        QByteArray huge = "<DL>";
        while (huge.size() < 50 * 1024 * 1024)
            huge += "<p>padding that is no bookmark at all " + QByteArray(200, 'z') + "</p>\n";
        huge += "<DT><A HREF=\"http://end.test/\">end</A></DL>";
        write(files.filePath(QStringLiteral("huge.html")), huge);
        write(files.filePath(QStringLiteral("garbage.html")), QByteArray(4096, '\xff') + QByteArray("<a href=\"http://g.test/\">g</a>"));

        QTemporaryDir root;
        FavoritesStore store(root.path());
        const auto deepResult = store.importBookmarkFile(files.filePath(QStringLiteral("deep.html")), QString());
        QCOMPARE(deepResult.imported, 2);
        // The lists below the deepest folder, two links without an address, and the list
        // under the deepest one at the end.
        QCOMPARE(deepResult.skipped, (5000 - FavoritesStore::kMaxDepth) + 2 + 1);
        QVERIFY(store.addresses().contains(QStringLiteral("http://deep.test/")));
        QCOMPARE(store.importBookmarkFile(files.filePath(QStringLiteral("huge.html")), QString()).imported, 1);
        QCOMPARE(store.importBookmarkFile(files.filePath(QStringLiteral("garbage.html")), QString()).imported, 1);
        QCOMPARE(store.importBookmarkFile(files.filePath(QStringLiteral("missing.html")), QString()).imported, 0);
    }

    // Hostile bookmark files of 64 MB: the import is one pass over the text, and what it
    // makes on disk is capped.
    void hostileBookmarkFilesImportInLinearTime_data()
    {
        QTest::addColumn<QByteArray>("unit");
        QTest::addColumn<int>("imported");
        // Millions of links, none of them closed (scripts: nothing is written for them, so
        // the time is the walk's own).
        QTest::newRow("links never closed") << QByteArray("<DT><A HREF=\"javascript:void(0)\">same") << 0;
        // Tags that never end, and quotes that never close.
        QTest::newRow("tags never ended") << QByteArray("<a href=\"http://x.test/ <dl <h3 ") << 0;
        QTest::newRow("quotes never closed") << QByteArray("<A HREF=\"http://q.test/ HREF='x ") << 0;
        QTest::newRow("titles never closed") << QByteArray("<DT><H3>folder<DT><A HREF=x>") << 0;
        // Folder after folder.
        QTest::newRow("folders") << QByteArray("<DT><H3>f</H3><DL><p></DL>") << 0;
    }

    void hostileBookmarkFilesImportInLinearTime()
    {
        QFETCH(QByteArray, unit);
        QFETCH(int, imported);
        QTemporaryDir files;
#ifdef __SANITIZE_ADDRESS__
        // Under the sanitizers every string operation is checked, many times slower:
        // a sixteenth of the largest file in the same time still shows a walk that is not linear.
        const qint64 bytes = FavoritesStore::kMaxBookmarkFileBytes / 16;
#else
        const qint64 bytes = FavoritesStore::kMaxBookmarkFileBytes;
#endif
        QByteArray hostile = "<DL>";
        hostile.reserve(bytes);
        while (hostile.size() + unit.size() <= bytes)
            hostile += unit;
        write(files.filePath(QStringLiteral("hostile.html")), hostile);
        hostile.clear();

        QTemporaryDir root;
        FavoritesStore store(root.path());
        QElapsedTimer timer;
        timer.start();
        const auto result = store.importBookmarkFile(files.filePath(QStringLiteral("hostile.html")), QString());
        const qint64 ms = timer.elapsed();
        qInfo("%lld MB imported in %lld ms: %d favorites, %d skipped", bytes >> 20, ms, result.imported, result.skipped);
        QVERIFY2(ms < 10000, "a bookmark file of the largest size must take seconds, not minutes");
        QCOMPARE(result.imported, imported);
        int folders = 0;
        for (QDirIterator it(root.path(), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories); it.hasNext(); it.next())
            ++folders;
        QVERIFY(folders <= FavoritesStore::kMaxImportedFolders);
    }

    // Favorites of one name get a file each, numbered, without trying every number again.
    void manyFavoritesOfOneName()
    {
        QTemporaryDir files;
        QByteArray html = "<DL>";
        for (int i = 0; i < 1500; ++i)
            html += "<DT><A HREF=\"http://same.test/" + QByteArray::number(i) + "\">same</A>";
        write(files.filePath(QStringLiteral("same.html")), html);
        QTemporaryDir root;
        FavoritesStore store(root.path());
        QCOMPARE(store.importBookmarkFile(files.filePath(QStringLiteral("same.html")), QString()).imported, 1500);
        QCOMPARE(store.addresses().size(), 1500);
        QVERIFY(QFileInfo::exists(root.filePath(QStringLiteral("same (1500).url"))));
        // A second import numbers on from there.
        QCOMPARE(store.importBookmarkFile(files.filePath(QStringLiteral("same.html")), QString()).imported, 1500);
        QVERIFY(QFileInfo::exists(root.filePath(QStringLiteral("same (3000).url"))));
    }

    void aFolderOfShortcutsComesIn()
    {
        QTemporaryDir from;
        write(from.filePath(QStringLiteral("a.url")), "[InternetShortcut]\r\nURL=http://a.test/\r\n");
        write(from.filePath(QStringLiteral("sub/b.url")), "[InternetShortcut]\r\nURL=http://b.test/\r\n");
        write(from.filePath(QStringLiteral("sub/not.txt")), "x");
        QTemporaryDir root;
        FavoritesStore store(root.path());
        const auto result = store.importShortcutFolder(from.path(), QString());
        QCOMPARE(result.imported, 2);
        QCOMPARE(result.skipped, 1);
        QCOMPARE(flat(store.tree()), (QStringList{"a=http://a.test/", "sub/", "sub/b=http://b.test/"}));
    }

    void addingTheActivePage()
    {
        AppFixture app;
        // No page, and a page without a document: no dialog.
        app.item("ActionNAddFavorite")->trigger();
        QVERIFY(app.pages->NewPage(2));
        app.pages->activatePage(0);
        app.item("ActionNAddFavorite")->trigger();
        QCOMPARE(app.program->favorites()->addresses(), QStringList());

        app.openPage(QStringLiteral("http://fav.test/"), QStringLiteral("收藏的/页面"));
        whenDialogShows([](QDialog *dialog) {
            QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("FavoriteName"))->text(), QStringLiteral("收藏的_页面"));
            dialog->accept();
        });
        app.item("ActionNAddFavorite")->trigger();
        QCOMPARE(app.program->favorites()->addresses(), QStringList{QStringLiteral("http://fav.test/")});
        QVERIFY(QFileInfo::exists(FavoritesStore::defaultRoot() + QStringLiteral("/收藏的_页面.url")));
        // The favorites are suggested in the address box.
        app.program->favorites()->add(QString(), QStringLiteral("only"), QStringLiteral("http://only-a-favorite.test/"));
        QAbstractItemModel *suggestions = app.widget<QComboBox>("CBURL")->completer()->model();
        QTRY_VERIFY(!suggestions->match(suggestions->index(0, 0), Qt::DisplayRole,
                                        QStringLiteral("http://only-a-favorite.test/"), 1, Qt::MatchExactly).isEmpty());
        // Cancelled, nothing is written.
        whenDialogShows([](QDialog *dialog) { dialog->reject(); });
        app.item("ActionNAddFavorite")->trigger();
        QCOMPARE(app.program->favorites()->addresses().size(), 2);
        QDir(FavoritesStore::defaultRoot()).removeRecursively();
    }

    void theOrganiseDialogOpensAFavoriteByGo()
    {
        AppFixture app;
        app.program->favorites()->add(QString(), QStringLiteral("站点"), QStringLiteral("http://site.test/"));
        app.program->favorites()->add(QString(), QStringLiteral("脚本"), QStringLiteral("javascript:alert(1)"));
        whenDialogShows([](QDialog *dialog) {
            auto *tree = dialog->findChild<QTreeWidget *>();
            for (QTreeWidgetItemIterator it(tree); *it; ++it) {
                if ((*it)->text(0) == QStringLiteral("脚本") || (*it)->text(0) == QStringLiteral("站点")) {
                    tree->setCurrentItem(*it);
                    dialog->findChild<QPushButton *>(QStringLiteral("FavoriteOpen"))->click();
                }
            }
            dialog->accept();
        });
        app.item("NTrimFavorite")->trigger();
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.active()->LocationURL(), QStringLiteral("http://site.test/"));
        QDir(FavoritesStore::defaultRoot()).removeRecursively();
    }

    // A name from a page or an imported file is shown as it is in the question, not as markup.
    void theDeleteQuestionShowsTheNameAsPlainText()
    {
        QTemporaryDir root;
        FavoritesStore store(root.path());
        const QString name = QStringLiteral("<b>粗体</b><img src=x>");
        QVERIFY(!store.add(QString(), name, QStringLiteral("http://markup.test/")).isEmpty());
        OrganizeFavoritesDialog dialog(&store);
        const QString shown = FavoritesStore::safeName(name);
        for (QTreeWidgetItemIterator it(dialog.tree()); *it; ++it)
            if ((*it)->text(0) == shown)
                dialog.tree()->setCurrentItem(*it);
        QVERIFY(dialog.tree()->currentItem());
        Qt::TextFormat format = Qt::AutoText;
        QString text;
        bool asked = false;
        whenDialogShows([&](QDialog *question) {
            auto *box = qobject_cast<QMessageBox *>(question);
            QVERIFY(box);
            asked = true;
            format = box->textFormat();
            text = box->text();
            box->button(QMessageBox::No)->click();
        });
        dialog.findChild<QPushButton *>(QStringLiteral("FavoriteDelete"))->click();
        QVERIFY(asked);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(text, QStringLiteral("确定要删除“%1”吗？").arg(shown));
        // Answered no: the favorite stays.
        QCOMPARE(store.addresses(), QStringList{QStringLiteral("http://markup.test/")});
    }

    // The bar under the address bar: hidden until there is a favorite, a button per favorite
    // and a menu per folder; a click opens as Go does, a middle click in the background; a
    // link dropped on it (on a folder: into the folder) becomes a favorite; 查看 → 收藏栏 hides
    // it for good.
    void theFavoritesBarOpensAndTakesDrops()
    {
        AppFixture app;
        QVERIFY(app.showActive());
        QTRY_VERIFY(app.program->favoritesBar());
        FavoritesBar *bar = app.program->favoritesBar();
        QAction *choice = app.item("NFavoritesBar");
        QVERIFY(bar->isHidden());
        QVERIFY(!choice->isChecked());
        FavoritesStore *store = app.program->favorites();
        store->add(QString(), QStringLiteral("新闻 & 头条"), QStringLiteral("http://news.test/"));
        const QString work = store->createFolder(QString(), QStringLiteral("工作"));
        store->add(work, QStringLiteral("邮件"), QStringLiteral("http://mail.test/"));
        QVERIFY(!bar->isHidden());
        QVERIFY(choice->isChecked());
        // Under the address bar, in a row of its own.
        QVERIFY(app.main->toolBarBreak(bar));
        QCOMPARE(app.main->toolBarArea(bar), Qt::TopToolBarArea);

        // The bar's buttons now (those of its earlier contents go at the next turn of the loop).
        auto buttonsOf = [](FavoritesBar *bar) {
            QList<QToolButton *> buttons;
            for (QToolButton *button : bar->findChildren<QToolButton *>(QStringLiteral("FavoritesButton")))
                if (bar->actions().contains(button->defaultAction()))
                    buttons << button;
            return buttons;
        };
        const QList<QToolButton *> buttons = buttonsOf(bar);
        QCOMPARE(buttons.size(), 1);
        // '&' is shown, not taken for a key.
        QVERIFY(buttons.first()->text().contains(QStringLiteral("新闻 && 头条")));
        QTest::mouseClick(buttons.first(), Qt::LeftButton);
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.active()->LocationURL(), QStringLiteral("http://news.test/"));
        QTest::mouseClick(buttons.first(), Qt::MiddleButton);
        QCOMPARE(app.pages->count(), 2);
        QCOMPARE(app.pages->activeIndex(), 0);
        QCOMPARE(app.browser(1)->LocationURL(), QStringLiteral("http://news.test/"));

        auto folderOf = [](FavoritesBar *bar) -> QToolButton * {
            for (QToolButton *button : bar->findChildren<QToolButton *>(QStringLiteral("FavoritesFolder")))
                if (bar->actions().contains(button->defaultAction()))
                    return button;
            return nullptr;
        };
        QToolButton *folder = folderOf(bar);
        QVERIFY(folder && folder->defaultAction()->menu());
        QMenu *folderMenu = folder->defaultAction()->menu();
        emit folderMenu->aboutToShow();
        QAction *mail = nullptr;
        for (QAction *action : folderMenu->actions())
            if (action->text().contains(QStringLiteral("邮件")))
                mail = action;
        QVERIFY(mail);
        mail->trigger();
        QCOMPARE(app.active()->LocationURL(), QStringLiteral("http://mail.test/"));

        auto drop = [bar](const QPoint &at, QMimeData *mime) {
            // As a drag brings it: entered, then dropped.
            QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
            enter.ignore();
            QApplication::sendEvent(bar, &enter);
            if (!enter.isAccepted())
                return false;
            QDropEvent event(QPointF(at), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
            event.ignore();
            QApplication::sendEvent(bar, &event);
            return event.isAccepted();
        };
        QMimeData link;
        link.setUrls({QUrl(QStringLiteral("http://dropped.test/page"))});
        link.setHtml(QStringLiteral("<a href=\"http://dropped.test/page\">拖来的<b>链接</b></a>"));
        QVERIFY(drop(QPoint(bar->width() - 2, bar->height() / 2), &link));
        QVERIFY(flat(store->tree()).contains(QStringLiteral("拖来的链接=http://dropped.test/page")));
        QMimeData address;
        address.setText(QStringLiteral("www.typed.test"));
        // The bar made anew with the new favorite, laid out as a drag would find it.
        folder = folderOf(bar);
        QVERIFY(folder);
        QTRY_VERIFY(folder->isVisible() && folder->geometry().isValid() && folder->geometry().right() < bar->width());
        QVERIFY(drop(folder->geometry().center(), &address));
        QVERIFY(flat(store->tree()).contains(QStringLiteral("工作/www.typed.test=http://www.typed.test")));
        // The page's icon (the label before the address box) carries the page as a link.
        QVERIFY(app.widget<QLabel>("LabelAddress")->cursor().shape() == Qt::OpenHandCursor);
        std::unique_ptr<QMimeData> pageIcon(PageIconDrag::mimeFor(QStringLiteral("http://page.test/a?b=1&c=2"),
                                                                  QStringLiteral("<i>当前</i> 页面")));
        QVERIFY(drop(QPoint(bar->width() - 2, bar->height() / 2), pageIcon.get()));
        // Its title is the name, as text: markup in it is only characters.
        QVERIFY(flat(store->tree()).contains(FavoritesStore::safeName(QStringLiteral("<i>当前</i> 页面")) +
                                             QStringLiteral("=http://page.test/a?b=1&c=2")));
        // A script or a sentence is no favorite.
        QMimeData script, sentence;
        script.setUrls({QUrl(QStringLiteral("javascript:alert(1)"))});
        sentence.setText(QStringLiteral("just some words."));
        QVERIFY(FavoritesBar::fromMime(&script).address.isEmpty());
        QVERIFY(FavoritesBar::fromMime(&sentence).address.isEmpty());
        QCOMPARE(store->addresses().size(), 5);
        QCOMPARE(buttonsOf(bar).size(), 3);

        // Turned off: hidden with favorites there, and so at the next start.
        choice->trigger();
        QVERIFY(bar->isHidden());
        QCOMPARE(app.configValue(QStringLiteral("FavoritesBar")), QStringLiteral("0"));
        QDir(FavoritesStore::defaultRoot()).removeRecursively();
    }

    // The organise dialog's search box: a part of the name or address, or the pinyin of a
    // Chinese name (whole, first letters, a polyphonic character by either reading).
    void theOrganiseDialogFindsByPinyin()
    {
        QTemporaryDir root;
        FavoritesStore store(root.path());
        store.add(QString(), QStringLiteral("新闻头条"), QStringLiteral("http://news.test/"));
        const QString bank = store.createFolder(QString(), QStringLiteral("银行"));
        store.add(bank, QStringLiteral("网上银行"), QStringLiteral("http://bank.test/"));
        store.add(QString(), QStringLiteral("Example"), QStringLiteral("http://example.test/"));
        OrganizeFavoritesDialog dialog(&store);
        auto shown = [&dialog](const QString &text) {
            dialog.filter()->setText(text);
            QStringList names;
            for (QTreeWidgetItemIterator it(dialog.tree()); *it; ++it)
                if (!(*it)->isHidden() && (*it)->parent())
                    names << (*it)->text(0);
            return names;
        };
        QCOMPARE(shown(QStringLiteral("xinwen")), QStringList{QStringLiteral("新闻头条")});
        QCOMPARE(shown(QStringLiteral("xw")), QStringList{QStringLiteral("新闻头条")});
        QCOMPARE(shown(QStringLiteral("XinW")), QStringList{QStringLiteral("新闻头条")});
        QCOMPARE(shown(QStringLiteral("toutiao")), QStringList{QStringLiteral("新闻头条")});
        // 行 is hang in 银行, xing elsewhere: either finds it.
        QCOMPARE(shown(QStringLiteral("wsyh")), (QStringList{QStringLiteral("银行"), QStringLiteral("网上银行")}));
        QCOMPARE(shown(QStringLiteral("yinxing")), (QStringList{QStringLiteral("银行"), QStringLiteral("网上银行")}));
        // A folder that matches shows what it holds.
        QCOMPARE(shown(QStringLiteral("yh")), (QStringList{QStringLiteral("银行"), QStringLiteral("网上银行")}));
        QCOMPARE(shown(QStringLiteral("example.test")), QStringList{QStringLiteral("Example")});
        // Out of order, or a piece that is neither a reading nor its first letter: nothing.
        QCOMPARE(shown(QStringLiteral("wx")), QStringList());
        QCOMPARE(shown(QStringLiteral("xiw")), QStringList());
        QCOMPARE(shown(QString()).size(), 4);
    }

    void theMenuHoldsExactlyItsItems()
    {
        AppFixture app;
        auto *menu = app.main->findChild<QMenu *>(QStringLiteral("NFavorit"));
        QStringList names;
        for (QAction *action : menu->actions())
            names << action->objectName();
        QCOMPARE(names, (QStringList{"NAddFavorite", "NTrimFavorite", "N28"}));
        app.program->favorites()->add(QString(), QStringLiteral("x"), QStringLiteral("http://x.test/"));
        emit menu->aboutToShow();
        QCOMPARE(menu->actions().size(), 3);
        QDir(FavoritesStore::defaultRoot()).removeRecursively();
    }
};

QTEST_MAIN(TestFavorites)
#include "tst_favorites.moc"
