#include "appfixture.h"
#include "historytesting.h"
#include "history/history.h"
#include "history/historylistmodel.h"
#include "history/historywindow.h"
#include "visualorder.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTreeView>

#include <algorithm>

using namespace HistoryTesting;

// The history window as the user finds it (查看 → 历史记录, Ctrl+Shift+H): days, search,
// opening, removing and clearing.
class TestHistoryWindow : public QObject
{
    Q_OBJECT

private:
    static QStringList rows(const HistoryWindow *window)
    {
        QStringList list;
        const HistoryListModel *model = window->model();
        for (int row = 0; row < model->rowCount(); ++row)
            list << (model->isHeading(row) ? QStringLiteral("# ") + model->index(row, 0).data().toString()
                                           : model->address(row));
        return list;
    }
    static qint64 at(int daysAgo, int hour)
    {
        return QDateTime(QDate::currentDate().addDays(-daysAgo), QTime(hour, 0)).toMSecsSinceEpoch();
    }
    // The list has its answer (it is read off this thread).
    static bool listed(const HistoryWindow *window)
    {
        return QTest::qWaitFor([window] { return !window->model()->isLoading(); });
    }
    static int entries(const HistoryWindow *window)
    {
        int count = 0;
        for (int row = 0; row < window->model()->rowCount(); ++row)
            count += window->model()->isHeading(row) ? 0 : 1;
        return count;
    }
    static int rowOf(const HistoryWindow *window, const QString &address)
    {
        for (int row = 0; row < window->model()->rowCount(); ++row)
            if (window->model()->address(row) == address)
                return row;
        return -1;
    }
    // A program with a history of four days.
    static HistoryWindow *showWithHistory(AppFixture &app)
    {
        History *history = app.program->history();
        if (!waitReady(history) || !emptyHistory(history))
            return nullptr;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        history->record(QStringLiteral("http://news.test/"), QStringLiteral("今日新闻头条"), now - 1000);
        history->record(QStringLiteral("http://mail.test/"), QStringLiteral("<b>Mail</b>"), now - 2000);
        history->record(QStringLiteral("http://yesterday.test/"), QStringLiteral("Yesterday"), at(1, 12));
        history->record(QStringLiteral("http://older.test/"), QStringLiteral("Older"), at(3, 9));
        history->record(QStringLiteral("http://older2.test/"), QString(), at(3, 8));
        if (!writeNow(history))
            return nullptr;
        app.item("NHistory")->trigger();
        auto *window = app.main->findChild<HistoryWindow *>(QStringLiteral("HistoryWindow"));
        return window && listed(window) ? window : nullptr;
    }

private slots:
    // A title kept with directional marks reorders nothing beside it, in the list or its tip.
    void aTitleWithDirectionalMarksStaysInItsPlace()
    {
        AppFixture app;
        History *history = app.program->history();
        QVERIFY(waitReady(history) && emptyHistory(history));
        history->record(QStringLiteral("http://spoof.test/"), QStringLiteral("\u202Egnp.exe"), QDateTime::currentMSecsSinceEpoch());
        QVERIFY(writeNow(history));
        app.item("NHistory")->trigger();
        auto *window = app.main->findChild<HistoryWindow *>(QStringLiteral("HistoryWindow"));
        QVERIFY(window && listed(window));
        const int row = rowOf(window, QStringLiteral("http://spoof.test/"));
        QVERIFY(row >= 0);
        const QModelIndex title = window->model()->index(row, 0);
        QVERIFY(endsStayAtTheEnds(QStringLiteral("(") + title.data().toString() + QStringLiteral(")")));
        const QString tipTitle = title.data(Qt::ToolTipRole).toString().section(QLatin1Char('\n'), 0, 0);
        QVERIFY(endsStayAtTheEnds(QStringLiteral("(") + tipTitle + QStringLiteral(")")));
    }

    void theMenuItemAndItsKeys()
    {
        AppFixture app;
        QCOMPARE(app.item("NHistory")->text(), QStringLiteral("历史记录\tCtrl+Shift+H"));
        QCOMPARE(app.item("ActionNHistory")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+H")));
        QCOMPARE(app.item("ActionNAddNewHomePage")->shortcut(), QKeySequence(QStringLiteral("Ctrl+H")));
    }

    void visitsAreGroupedByDayNewestFirst()
    {
        AppFixture app;
        HistoryWindow *window = showWithHistory(app);
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("历史记录"));
        const QString older = HistoryListModel::dayHeading(QDate::currentDate().addDays(-3), QDate::currentDate());
        QVERIFY(older.contains(QString::number(QDate::currentDate().addDays(-3).day())));
        QCOMPARE(rows(window), (QStringList{"# 今天", "http://news.test/", "http://mail.test/", "# 昨天",
                                            "http://yesterday.test/", "# " + older, "http://older.test/",
                                            "http://older2.test/"}));
        // Titles as text, never markup; an entry without one shows its address.
        const HistoryListModel *model = window->model();
        QCOMPARE(model->index(rowOf(window, "http://mail.test/"), 0).data().toString(), QStringLiteral("<b>Mail</b>"));
        QCOMPARE(model->index(rowOf(window, "http://older2.test/"), 0).data().toString(),
                 QStringLiteral("http://older2.test/"));
        // Headings cannot be chosen.
        QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsSelectable));
        // A visit while the window is open shows at the top; the entry the user is on stays.
        window->view()->setCurrentIndex(model->index(rowOf(window, "http://yesterday.test/"), 0));
        app.program->history()->record(QStringLiteral("http://new.test/"), QStringLiteral("New"),
                                       QDateTime::currentMSecsSinceEpoch());
        QVERIFY(writeNow(app.program->history()));
        QTRY_COMPARE_WITH_TIMEOUT(rows(window).mid(0, 2), (QStringList{"# 今天", "http://new.test/"}), kThreadMs);
        QCOMPARE(model->address(window->view()->currentIndex().row()), QStringLiteral("http://yesterday.test/"));
    }

    void theSearchBoxFiltersAsTheUserTypes()
    {
        AppFixture app;
        HistoryWindow *window = showWithHistory(app);
        QVERIFY(window);
        // Typed in as an input method gives it: the whole word at once.
        window->searchBox()->insert(QStringLiteral("新闻头"));
        QVERIFY(listed(window));
        QCOMPARE(rows(window), (QStringList{"# 今天", "http://news.test/"}));
        window->searchBox()->clear();
        // Latin letters find the Chinese title by its pinyin.
        QTest::keyClicks(window->searchBox(), QStringLiteral("xwtt"));
        QVERIFY(listed(window));
        QCOMPARE(rows(window), (QStringList{"# 今天", "http://news.test/"}));
        window->searchBox()->clear();
        // Each keystroke gives up the query before it: only the last one's answer shows.
        QTest::keyClicks(window->searchBox(), QStringLiteral("ol"));
        QVERIFY(listed(window));
        QCOMPARE(rows(window).mid(1), (QStringList{"http://older.test/", "http://older2.test/"}));
        QTest::keyClicks(window->searchBox(), QStringLiteral("nothing"));
        QVERIFY(listed(window));
        QCOMPARE(rows(window), QStringList());
        window->searchBox()->clear();
        QVERIFY(listed(window));
        QCOMPARE(rows(window).size(), 8);
    }

    void enterAndDoubleClickOpenAsGoDoes()
    {
        AppFixture app;
        HistoryWindow *window = showWithHistory(app);
        QVERIFY(window);
        // Enter in the search box opens the first match, also when typed before it is found.
        QTest::keyClicks(window->searchBox(), QStringLiteral("yesterday"));
        QTest::keyClick(window->searchBox(), Qt::Key_Return);
        QTRY_COMPARE(app.pages->count(), 1);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://yesterday.test/"));
        app.active()->commitNavigation();
        window->searchBox()->clear();
        QVERIFY(listed(window));

        QTreeView *view = window->view();
        view->setCurrentIndex(window->model()->index(rowOf(window, "http://older.test/"), 0));
        QTest::keyClick(view, Qt::Key_Return);
        // The page shows a document: Go opens a new one.
        QCOMPARE(app.pages->count(), 2);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://older.test/"));

        const QRect mail = view->visualRect(window->model()->index(rowOf(window, "http://mail.test/"), 0));
        // As the mouse does it: the first click, then the second that makes it a double click.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, mail.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, mail.center());
        QCOMPARE(app.pages->count(), 3);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://mail.test/"));
        // A heading opens nothing.
        view->setCurrentIndex(window->model()->index(0, 0));
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(app.pages->count(), 3);
        // Esc puts the window away.
        QTest::keyClick(view, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }

    // A long history is read a page at a time as the list is scrolled, each page after the
    // last entry listed: the view's layout never asks for the next page by itself.
    void aLongHistoryIsReadAPageAtATime()
    {
        AppFixture app;
        History *history = app.program->history();
        QVERIFY(readyAndEmpty(history));
        const int total = 3 * HistoryListModel::kPage + 7;
        // Some at the same time: the pages must not lose or repeat them.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (int i = 0; i < total; ++i)
            history->record(QStringLiteral("http://page%1.test/").arg(i), QStringLiteral("Page"), now - (i / 3) * 1000);
        QVERIFY(writeNow(history));
        QTRY_COMPARE_WITH_TIMEOUT(history->reader().count(), total, kThreadMs);
        app.item("NHistory")->trigger();
        auto *window = app.main->findChild<HistoryWindow *>(QStringLiteral("HistoryWindow"));
        QVERIFY(window && listed(window));
        QTest::keyClicks(window->searchBox(), QStringLiteral("page"));
        QVERIFY(listed(window));
        QVERIFY2(entries(window) < total, qPrintable(QString::number(entries(window))));
        QVERIFY(entries(window) >= HistoryListModel::kPage);
        HistoryListModel *model = window->model();
        for (int page = 0; model->hasMore() && page < 5; ++page) {
            const int before = model->rowCount();
            window->view()->scrollToBottom();
            QVERIFY(QTest::qWaitFor([&] { return model->rowCount() > before && !model->isLoading(); }));
        }
        QVERIFY(!model->hasMore());
        QStringList listedAddresses = rows(window);
        listedAddresses.erase(std::remove_if(listedAddresses.begin(), listedAddresses.end(),
                                             [](const QString &row) { return row.startsWith(QLatin1String("# ")); }),
                              listedAddresses.end());
        QCOMPARE(listedAddresses.size(), total);
        QCOMPARE(QSet<QString>(listedAddresses.cbegin(), listedAddresses.cend()).size(), total);
        QCOMPARE(listedAddresses.last(), QStringLiteral("http://page%1.test/").arg(total - 1));
    }

    void aFileMovedAsideIsSaidInTheStatusLine()
    {
        const QString file = HistoryDatabase::defaultPath();
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile::remove(file + QStringLiteral("-wal"));
        QFile::remove(file + QStringLiteral("-shm"));
        QFile garbage(file);
        QVERIFY(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
        garbage.write(QByteArray("no database here\n").repeated(100));
        garbage.close();
        AppFixture app;
        QVERIFY(waitReady(app.program->history()));
        QTRY_VERIFY(app.statusText(0).contains(QStringLiteral("已移到")));
        QVERIFY(app.statusText(0).contains(QStringLiteral("已损坏")));
    }

    void deleteRemovesTheChosenEntries()
    {
        AppFixture app;
        HistoryWindow *window = showWithHistory(app);
        QVERIFY(window);
        QTreeView *view = window->view();
        const HistoryListModel *model = window->model();
        view->setCurrentIndex(model->index(rowOf(window, "http://yesterday.test/"), 0));
        view->selectionModel()->select(model->index(rowOf(window, "http://news.test/"), 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QSignalSpy changed(app.program->history(), &History::changed);
        QTest::keyClick(view, Qt::Key_Delete);
        // Yesterday's heading goes with its only entry.
        QCOMPARE(rows(window), (QStringList{"# 今天", "http://mail.test/", "# " + HistoryListModel::dayHeading(
                                                                                   QDate::currentDate().addDays(-3),
                                                                                   QDate::currentDate()),
                                            "http://older.test/", "http://older2.test/"}));
        QVERIFY(changed.wait(kThreadMs));
        HistoryDatabase &file = app.program->history()->reader();
        QVERIFY(!file.entry(QStringLiteral("http://yesterday.test/")));
        QVERIFY(!file.entry(QStringLiteral("http://news.test/")));
        QCOMPARE(file.count(), 3);
    }

    void clearingAllAsksFirst()
    {
        AppFixture app;
        HistoryWindow *window = showWithHistory(app);
        QVERIFY(window);
        QCOMPARE(window->clearAllButton()->text(), QStringLiteral("清除全部历史记录"));
        int asked = 0;
        bool answer = false;
        window->askToClearAll = [&] {
            ++asked;
            return answer;
        };
        QSignalSpy changed(app.program->history(), &History::changed);
        window->clearAllButton()->click();
        QCOMPARE(asked, 1);
        // Said no: nothing was asked of the writer, so a visit written next is all that changes.
        app.program->history()->record(QStringLiteral("http://kept.test/"), QString(), QDateTime::currentMSecsSinceEpoch());
        QVERIFY(writeNow(app.program->history()));
        QCOMPARE(app.program->history()->reader().count(), 6);

        answer = true;
        changed.clear();
        window->clearAllButton()->click();
        QCOMPARE(asked, 2);
        QVERIFY(changed.wait(kThreadMs));
        QCOMPARE(app.program->history()->reader().count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(rows(window), QStringList(), kThreadMs);
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
