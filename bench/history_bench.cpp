// The browsing history in figures: a history of 10 000 visited addresses searched (the
// trigram index from three characters, the scan below), then one of 100 000: the history
// window opened on it, and the suggestions answering each keystroke of words typed into an
// address box. Prints a table; the goals are < 20 ms a search, < 200 ms to open the window
// and < 10 ms a keystroke.
//   history_bench [REPEATS]      (HISTORY_BENCH_KEYS=1 prints each keystroke's time)
#include "history/history.h"
#include "history/historydatabase.h"
#include "history/historylistmodel.h"
#include "history/historysuggestions.h"
#include "history/historywindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <chrono>
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

// `count` addresses over 90 days, some visited often; written as the writer does, in batches.
bool fill(const QString &path, int count)
{
    HistoryDatabase db;
    if (!db.open(path))
        return false;
    QRandomGenerator random(42);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QList<HistoryVisit> batch;
    for (int i = 0; i < count; ++i) {
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
    return db.addVisits(batch) && db.count() == count;
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
    History history(large, 3650);
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
            // Laid out and painted once.
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
        QTest::qWaitForWindowActive(&box);
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
    }
    return 0;
}
