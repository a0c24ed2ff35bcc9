// The browsing history in figures: a history of 10 000 visited addresses searched (the
// trigram index from three characters, the scan below), then one of 100 000: the history
// window opened on it, and the suggestions answering each keystroke of words typed into an
// address box; then one of 300 000, with words typed into the history window's search box
// at a typist's pace while the list is scrolled: the longest the event loop went without
// turning (a stall the user feels), and the time from the last keystroke of a word to its
// first results; the suggestions for Latin letters typed for Chinese titles (pinyin), and
// the keying of a file kept before there were pinyin keys. Prints a table; the goals are
// < 20 ms a search, < 200 ms to open the window, < 10 ms a keystroke (pinyin too), < 100 ms
// the longest stall and < 300 ms to the first results.
//   history_bench [REPEATS]      (HISTORY_BENCH_KEYS=1 prints each keystroke's time)
#include "history/history.h"
#include "history/historydatabase.h"
#include "history/historylistmodel.h"
#include "history/historysuggestions.h"
#include "history/historywindow.h"
#include "history/historywriter.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <memory>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Figures
{
    double median = 0, worst = 0;
};

Figures figures(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

const char *const kWords[] = {"新闻", "头条", "今日", "体育", "财经", "科技", "天气", "地图", "视频", "音乐",
                              "购物", "旅游", "汽车", "房产", "教育", "游戏", "读书", "健康", "美食", "招聘",
                              "Linux", "Qt", "weather", "news", "shop", "mail", "forum", "blog", "wiki", "docs"};
const char *const kHosts[] = {"news", "shop", "mail", "video", "map", "bbs", "blog", "wiki", "docs", "search"};

// `count` addresses over 90 days (numbered from `first`), some visited often; written as the
// writer does, in batches.
bool fill(const QString &path, int count, int first = 0)
{
    HistoryDatabase db;
    if (!db.open(path))
        return false;
    QRandomGenerator random(42 + first);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QList<HistoryVisit> batch;
    for (int i = first; i < first + count; ++i) {
        QString title;
        for (int w = 0; w < 4; ++w)
            title += QString::fromUtf8(kWords[random.bounded(int(std::size(kWords)))]);
        title += QStringLiteral(" 第%1期").arg(i);
        const QString address = QStringLiteral("https://%1%2.example.com/%3/page%4.html")
                                    .arg(QString::fromLatin1(kHosts[random.bounded(int(std::size(kHosts)))]))
                                    .arg(random.bounded(500))
                                    .arg(random.bounded(1000))
                                    .arg(i);
        const qint64 when = now - qint64(random.bounded(90 * 24 * 3600)) * 1000;
        const int visits = random.bounded(10) == 0 ? 1 + random.bounded(20) : 1;
        for (int v = 0; v < visits; ++v)
            batch.append({address, title, when});
        if (batch.size() >= 5000) {
            if (!db.addVisits(batch))
                return false;
            batch.clear();
        }
    }
    return db.addVisits(batch) && db.count() == first + count;
}

// The longest the event loop went without turning, measured by a timer that asks to run
// every millisecond.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        m_last = Clock::now();
        m_worst = 0;
        m_timer.start();
    }
    // The longest since start() or the last take().
    double take()
    {
        tick();
        return std::exchange(m_worst, 0.0);
    }

private:
    void tick()
    {
        const auto now = Clock::now();
        m_worst = std::max(m_worst, ms(now - m_last));
        m_last = now;
    }
    QTimer m_timer;
    Clock::time_point m_last;
    double m_worst = 0;
};

// Turns the event loop for `msecs`, as the time between two keystrokes.
void spin(int msecs)
{
    QEventLoop loop;
    QTimer::singleShot(msecs, &loop, &QEventLoop::quit);
    loop.exec();
}

// Turns the event loop until `done`; false after `msecs`.
template <typename F> bool spinUntil(F done, int msecs = 30000)
{
    const auto start = Clock::now();
    while (!done()) {
        if (ms(Clock::now() - start) > msecs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    QTemporaryDir dir;
    std::printf("%-52s %10s %10s %8s\n", "history", "median ms", "worst ms", "goal ms");

    // Search over 10 000.
    const QString small = dir.filePath(QStringLiteral("small.sqlite"));
    if (!fill(small, 10000)) {
        std::printf("could not make the history of 10 000\n");
        return 1;
    }
    {
        HistoryDatabase db;
        db.openToRead(small);
        const QStringList queries{QStringLiteral("新闻头"), QStringLiteral("今日新闻头条"), QStringLiteral("shop12"),
                                  QStringLiteral("page777"), QStringLiteral("nothing-like-it"), QStringLiteral("新"),
                                  QStringLiteral("体育"), QStringLiteral("zz")};
        for (const QString &query : queries) {
            std::vector<double> times;
            int found = 0;
            for (int r = 0; r < repeats; ++r) {
                const auto start = Clock::now();
                found = int(db.search(query, 300).size());
                times.push_back(ms(Clock::now() - start));
            }
            const Figures f = figures(times);
            std::printf("%-52s %10.2f %10.2f %8d\n",
                        qPrintable(QStringLiteral("10 000: search \"%1\" (%2 found)").arg(query).arg(found)), f.median,
                        f.worst, 20);
        }
    }

    // The window and the suggestions over 100 000.
    const QString large = dir.filePath(QStringLiteral("large.sqlite"));
    const auto filling = Clock::now();
    if (!fill(large, 100000)) {
        std::printf("could not make the history of 100 000\n");
        return 1;
    }
    std::printf("%-52s %10.0f\n", "100 000: written (batches of 5 000)", ms(Clock::now() - filling));
    // Opened as at a start: looked at (quick_check) and made ready for reading.
    const auto opening = Clock::now();
    auto opened = std::make_unique<History>(large, 3650);
    History &history = *opened;
    QSignalSpy ready(&history, &History::ready);
    if (!history.isReady() && !ready.wait(30000)) {
        std::printf("the history did not open\n");
        return 1;
    }
    std::printf("%-52s %10.0f\n", "100 000: opened and checked (writer thread)", ms(Clock::now() - opening));
    {
        std::vector<double> times;
        int rows = 0;
        for (int r = 0; r < std::max(3, repeats / 4); ++r) {
            const auto start = Clock::now();
            auto *window = new HistoryWindow(&history);
            window->show();
            // Read on the search thread: until its first rows are in, laid out and painted.
            if (!spinUntil([window] { return window->model()->rowCount() > 0; })) {
                std::printf("the history window listed nothing\n");
                return 1;
            }
            QCoreApplication::sendPostedEvents();
            window->repaint();
            times.push_back(ms(Clock::now() - start));
            rows = window->model()->rowCount();
            delete window;
        }
        const Figures f = figures(times);
        std::printf("%-52s %10.2f %10.2f %8d\n",
                    qPrintable(QStringLiteral("100 000: history window open (%1 rows listed)").arg(rows)), f.median,
                    f.worst, 200);
    }
    {
        QComboBox box;
        box.setEditable(true);
        box.show();
        box.activateWindow();
        // Suggestions show for a box that has the keyboard: timed without it, they would
        // measure nothing.
        if (!QTest::qWaitForWindowActive(&box)) {
            std::printf("the address box never became the active window\n");
            return 1;
        }
        box.lineEdit()->setFocus();
        HistorySuggestions suggestions(&history, &box);
        std::vector<double> times;
        int shown = 0;
        const QStringList words{QStringLiteral("新闻头条"), QStringLiteral("https://shop12"), QStringLiteral("weather"),
                                QStringLiteral("page4242"), QStringLiteral("科技游戏"), QStringLiteral("qqqq")};
        for (int r = 0; r < std::max(1, repeats / 4); ++r) {
            for (const QString &word : words) {
                for (int n = 1; n <= word.size(); ++n) {
                    const auto start = Clock::now();
                    suggestions.update(word.left(n));
                    times.push_back(ms(Clock::now() - start));
                    shown += suggestions.popup()->isVisible() ? 1 : 0;
                    if (qEnvironmentVariableIsSet("HISTORY_BENCH_KEYS"))
                        std::printf("  %-20s %8.2f\n", qPrintable(word.left(n)), times.back());
                }
            }
        }
        // The query alone, without the list's drawing.
        std::vector<double> queries;
        for (int r = 0; r < std::max(1, repeats / 4); ++r) {
            for (const QString &word : words) {
                for (int n = 1; n <= word.size(); ++n) {
                    const auto start = Clock::now();
                    history.reader().suggest(word.left(n), HistorySuggestions::kRows);
                    queries.push_back(ms(Clock::now() - start));
                }
            }
        }
        const Figures q = figures(queries);
        std::printf("%-52s %10.2f %10.2f %8d\n", "100 000: suggestion query per keystroke", q.median, q.worst, 10);
        const Figures f = figures(times);
        std::printf("%-52s %10.2f %10.2f %8d\n",
                    qPrintable(QStringLiteral("100 000: suggestions per keystroke (%1 of %2 with a list)")
                                   .arg(shown)
                                   .arg(times.size())),
                    f.median, f.worst, 10);

        // Latin letters typed for Chinese titles: whole readings, first letters, a mix, and
        // letters that find nothing.
        const QStringList pinyinWords{QStringLiteral("xinwentoutiao"), QStringLiteral("xwtt"), QStringLiteral("tiyucj"),
                                      QStringLiteral("kejiyouxi"), QStringLiteral("zhaopin"), QStringLiteral("jkms"),
                                      QStringLiteral("zzzzqx")};
        std::vector<double> pinyinTimes, pinyinQueries;
        int pinyinShown = 0;
        for (int r = 0; r < std::max(1, repeats / 4); ++r) {
            for (const QString &word : pinyinWords) {
                for (int n = 1; n <= word.size(); ++n) {
                    auto start = Clock::now();
                    suggestions.update(word.left(n));
                    pinyinTimes.push_back(ms(Clock::now() - start));
                    pinyinShown += suggestions.popup()->isVisible() ? 1 : 0;
                    start = Clock::now();
                    history.reader().suggest(word.left(n), HistorySuggestions::kRows);
                    pinyinQueries.push_back(ms(Clock::now() - start));
                    if (qEnvironmentVariableIsSet("HISTORY_BENCH_KEYS"))
                        std::printf("  %-20s %8.2f %8.2f\n", qPrintable(word.left(n)), pinyinTimes.back(),
                                    pinyinQueries.back());
                }
            }
        }
        const Figures pq = figures(pinyinQueries);
        std::printf("%-52s %10.2f %10.2f %8d\n", "100 000: pinyin suggestion query per keystroke", pq.median, pq.worst,
                    10);
        const Figures pf = figures(pinyinTimes);
        std::printf("%-52s %10.2f %10.2f %8d\n",
                    qPrintable(QStringLiteral("100 000: pinyin suggestions per keystroke (%1 of %2 listed)")
                                   .arg(pinyinShown)
                                   .arg(pinyinTimes.size())),
                    pf.median, pf.worst, 10);
    }
    {
        // What a file kept before the pinyin keys costs once: every row keyed, as the writer
        // does after the upgrade, a stretch at a time.
        const QString copy = dir.filePath(QStringLiteral("unkeyed.sqlite"));
        QFile::remove(copy);
        if (!QFile::copy(large, copy)) {
            std::printf("could not copy the history of 100 000\n");
            return 1;
        }
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("unkey"));
            raw.setDatabaseName(copy);
            QSqlQuery query(raw);
            if (!raw.open() || !query.exec(QStringLiteral("DELETE FROM pinyin")) ||
                !query.exec(QStringLiteral("UPDATE pages SET keyed = 0"))) {
                std::printf("could not take the keys out of the copy\n");
                return 1;
            }
            raw.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("unkey"));
        HistoryDatabase db;
        if (!db.open(copy))
            return 1;
        const auto keying = Clock::now();
        int keyed = 0;
        for (int n; (n = db.keyPending(HistoryWriter::kKeyStretch)) > 0;)
            keyed += n;
        std::printf("%-52s %10.0f\n", qPrintable(QStringLiteral("100 000: pinyin keys of an older file (%1 rows)").arg(keyed)),
                    ms(Clock::now() - keying));
        std::printf("%-52s %10.1f\n", "100 000: file size, MB", QFileInfo(large).size() / 1e6);
    }
    opened.reset();

    // The history window's search box over 300 000.
    const auto growing = Clock::now();
    if (!fill(large, 200000, 100000)) {
        std::printf("could not make the history of 300 000\n");
        return 1;
    }
    std::printf("%-52s %10.0f\n", "300 000: 200 000 more written", ms(Clock::now() - growing));
    History big(large, 3650);
    QSignalSpy bigReady(&big, &History::ready);
    if (!big.isReady() && !bigReady.wait(60000)) {
        std::printf("the history of 300 000 did not open\n");
        return 1;
    }
    {
        HistoryWindow window(&big);
        window.show();
        HistoryListModel *model = window.model();
        if (!spinUntil([model] { return model->rowCount() > 0; })) {
            std::printf("the history window listed nothing\n");
            return 1;
        }
        // A typist's pace, with some words that match nearly everything, some that match
        // nothing (read to the end: one or two characters have no index) and some rare ones.
        const int keyGapMs = 120;
        const QStringList words{QStringLiteral("mail"), QStringLiteral("新闻"),    QStringLiteral("zz"),
                                QStringLiteral("com"),  QStringLiteral("新闻头条"), QStringLiteral("page123456"),
                                QStringLiteral("q"),    QStringLiteral("qq"),      QStringLiteral("体育 news")};
        StallMeter stalls;
        std::vector<double> worstStalls, firstResults, nothingFound;
        stalls.start();
        for (int r = 0; r < std::max(1, repeats / 10); ++r) {
            for (const QString &word : words) {
                window.searchBox()->clear();
                spin(keyGapMs);
                for (qsizetype n = 0; n < word.size(); ++n) {
                    // A key with its text, as a keyboard or an input method gives it.
                    QTest::sendKeyEvent(QTest::Click, window.searchBox(), Qt::Key_unknown, word.mid(n, 1),
                                        Qt::NoModifier);
                    if (n + 1 < word.size())
                        spin(keyGapMs);
                }
                // From the last keystroke until its first rows show, or its answer is nothing.
                const auto typed = Clock::now();
                if (!spinUntil([model] { return model->rowCount() > 0 || !model->isLoading(); })) {
                    std::printf("no answer for \"%s\"\n", qPrintable(word));
                    return 1;
                }
                window.repaint();
                const int first = model->rowCount();
                // A word found nowhere is known only once every entry has been read.
                (first > 0 ? firstResults : nothingFound).push_back(ms(Clock::now() - typed));
                // Scrolled down as a reader does, page after page.
                for (int page = 0; page < 3 && model->hasMore(); ++page) {
                    spinUntil([model] { return !model->isLoading(); });
                    window.view()->scrollToBottom();
                    spin(keyGapMs);
                }
                spinUntil([model] { return !model->isLoading(); });
                worstStalls.push_back(stalls.take());
                if (qEnvironmentVariableIsSet("HISTORY_BENCH_KEYS"))
                    std::printf("  %-20s answer %8.2f ms (%d rows, %d after scrolling), longest stall %8.2f ms\n",
                                qPrintable(word), (first > 0 ? firstResults : nothingFound).back(), first,
                                model->rowCount(), worstStalls.back());
            }
        }
        const Figures stall = figures(worstStalls);
        std::printf("%-52s %10.2f %10.2f %8d\n", "300 000: longest stall typing a word and scrolling", stall.median,
                    stall.worst, 100);
        const Figures shown = figures(firstResults);
        std::printf("%-52s %10.2f %10.2f %8d\n", "300 000: last keystroke to first results", shown.median,
                    shown.worst, 300);
        if (!nothingFound.empty()) {
            const Figures none = figures(nothingFound);
            std::printf("%-52s %10.2f %10.2f\n", "300 000: last keystroke to \"nothing found\"", none.median,
                        none.worst);
        }
    }
    {
        // The address box's suggestions still ask on the interface thread: the query alone.
        std::vector<double> queries;
        const QStringList words{QStringLiteral("新闻头条"), QStringLiteral("https://shop12"), QStringLiteral("mail"),
                                QStringLiteral("page4242"), QStringLiteral("zz"), QStringLiteral("qqqq")};
        for (int r = 0; r < std::max(1, repeats / 4); ++r) {
            for (const QString &word : words) {
                for (int n = 1; n <= word.size(); ++n) {
                    const auto start = Clock::now();
                    big.reader().suggest(word.left(n), HistorySuggestions::kRows);
                    queries.push_back(ms(Clock::now() - start));
                }
            }
        }
        const Figures q = figures(queries);
        std::printf("%-52s %10.2f %10.2f %8d\n", "300 000: suggestion query per keystroke", q.median, q.worst, 10);
    }
    return 0;
}
