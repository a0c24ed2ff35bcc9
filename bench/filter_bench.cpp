// The ad filter in figures: EasyList and EasyPrivacy loaded from their text (cold, each
// time from the files), kept in the compiled cache and loaded from it, then a corpus of
// requests matched one by one, and a hostile regular expression on a long address. Given a
// hostile list (make_hostile_list.py), also: the corpus decided with it beside the packaged
// lists, and how long the window's thread waits at a first start and at the next with a
// 100 MB filters.txt and with the hostile list as filters.txt.
//   filter_bench CORPUS [LOADS] [HOSTILE_LIST]
#include "adblock/filtercache.h"
#include "adblock/filterlists.h"
#include "adblock/filterset.h"
#include "adblock/filtersources.h"
#include "processmemory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <malloc.h>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

std::unique_ptr<FilterSet> load()
{
    auto set = std::make_unique<FilterSet>();
    for (const QString &path : FilterSources::packagedLists())
        set->addListFile(path);
    set->finish();
    return set;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[size_t(p * double(values.size() - 1))];
}

struct Line
{
    std::string url, page;
    RequestType type;
};

// A start of the program's filter with these lists, as the window's thread sees it: a page
// navigation held for the lists, and the corpus asked for every 10 ms (as requests of pages
// already open would be) until they are in. Prints the thread's time inside the filter.
double firstStart(const char *name, const QStringList &files, const QString &cache, const std::vector<Line> &corpus)
{
    FilterLists lists;
    lists.setSources([files] { return files; });
    lists.setCachePath(cache);
    QEventLoop loop;
    QObject::connect(&lists, &FilterLists::loaded, &loop, &QEventLoop::quit);
    std::vector<double> calls;
    QElapsedTimer ready;
    ready.start();
    double readyMs = -1;
    auto timed = [&](auto call) {
        const auto begin = Clock::now();
        call();
        calls.push_back(ms(Clock::now() - begin));
    };
    timed([&] { lists.reloadOnceIdle(); });
    timed([&] { lists.whenReady(&loop, [&] { readyMs = double(ready.elapsed()); }); });
    QTimer asking;
    size_t next = 0;
    QObject::connect(&asking, &QTimer::timeout, [&] {
        const Line &line = corpus[next++ % corpus.size()];
        const QUrl url(QString::fromStdString(line.url));
        const QUrl page(QString::fromStdString(line.page));
        timed([&] { lists.blocksRequest(url, page, page, ContentFilter::Resource::Image); });
    });
    asking.start(10);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    double total = 0;
    for (double call : calls)
        total += call;
    std::printf("%-34s %12.1f\n", (std::string(name) + ", lists in after ms").c_str(), readyMs);
    std::printf("%-34s %12.2f\n", (std::string(name) + ", UI waited ms").c_str(), total);
    std::printf("%-34s %12.3f\n", (std::string(name) + ", longest call ms").c_str(), percentile(calls, 1.0));
    return total;
}

// The hostile list beside the packaged ones: what is kept, and the corpus decided with it.
void hostileFigures(const QString &hostile, const std::vector<Line> &corpus)
{
    auto start = Clock::now();
    FilterSet set;
    for (const QString &path : FilterSources::packagedLists())
        set.addListFile(path);
    const std::optional<FilterSet::Counts> counts = set.addListFile(hostile);
    set.finish();
    const double loadMs = ms(Clock::now() - start);
    // Each request's best of three: on a busy machine a decision is now and then put off by
    // the scheduler for whole milliseconds, which says nothing of the decision.
    std::vector<double> decideUs;
    size_t blocked = 0;
    for (const Line &line : corpus) {
        double best = 1e18;
        for (int pass = 0; pass < 3; ++pass) {
            const auto begin = Clock::now();
            const bool block = set.decide(line.url, line.page, line.type).block;
            best = std::min(best, std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
            blocked += pass == 0 && block;
        }
        decideUs.push_back(best);
    }
    std::printf("%-34s %12zu\n", "hostile: regex rules kept", counts ? counts->network : 0);
    std::printf("%-34s %12zu\n", "hostile: rules left out", counts ? counts->dropped : 0);
    std::printf("%-34s %12.0f\n", "hostile: load with packaged, ms", loadMs);
    std::printf("%-34s %12zu\n", "hostile: decisions", decideUs.size());
    std::printf("%-34s %12zu\n", "hostile: blocked", blocked);
    std::printf("%-34s %12.2f\n", "hostile: decide median us (best of 3)", percentile(decideUs, 0.5));
    std::printf("%-34s %12.2f\n", "hostile: decide p99 us", percentile(decideUs, 0.99));
    std::printf("%-34s %12.2f\n", "hostile: decide p99.9 us", percentile(decideUs, 0.999));
    std::printf("%-34s %12.2f\n", "hostile: decide max us", percentile(decideUs, 1.0));
    std::printf("%-34s %12s\n", "  (aim: p99.9 under 1000 us)", percentile(decideUs, 0.999) < 1000 ? "met" : "NOT MET");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const int loads = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    std::vector<Line> corpus;
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QList<QByteArray> fields = raw.split('\t');
        RequestType type;
        if (fields.size() == 3 && requestTypeFromName(fields[2].toStdString(), type))
            corpus.push_back({fields[0].toStdString(), fields[1].toStdString(), type});
    }

    // The memory of one set: after the first load, before any other was made and freed.
    ::malloc_trim(0);
    const double pssBefore = treePssMiB();
    std::vector<double> loadTimes;
    auto start = Clock::now();
    std::unique_ptr<FilterSet> set = load();
    loadTimes.push_back(ms(Clock::now() - start));
    ::malloc_trim(0);
    const double pssAfter = treePssMiB();
    for (int i = 1; i < loads; ++i) {
        set.reset();
        start = Clock::now();
        set = load();
        loadTimes.push_back(ms(Clock::now() - start));
    }

    // The compiled cache: written once per load, then read back (file read, check, rules,
    // index) as a start does.
    QTemporaryDir scratch;
    const QString cachePath = scratch.filePath(QStringLiteral("filters.cache"));
    const QByteArray key = FilterCache::sourcesKey(FilterSources::packagedLists(), QString());
    std::vector<double> writeTimes;
    std::vector<double> cacheTimes;
    for (int i = 0; i < loads; ++i) {
        start = Clock::now();
        if (!FilterCache::save(cachePath, key, *set))
            return 1;
        writeTimes.push_back(ms(Clock::now() - start));
        start = Clock::now();
        if (!FilterCache::load(cachePath, key))
            return 1;
        cacheTimes.push_back(ms(Clock::now() - start));
    }
    const qint64 cacheBytes = QFileInfo(cachePath).size();

    // A hostile expression that a list could carry, beside one the limit has to stop, on
    // an address with a 4 000-character query.
    FilterSet hostile;
    hostile.addLine("/[a-z0-9]*[a-z0-9]*[a-z0-9]*[a-z0-9]*[=]zz/");
    hostile.finish();
    FilterSet limited;
    limited.addLine("/[a-z0-9]+a[a-z0-9]*[=][z]/");
    limited.finish();
    // The "z" makes the expressions try; without one they fail at once.
    const std::string longUrl = "https://x.test/search?q=" + std::string(4000, 'a') + "z&x=1";
    auto timed = [&](const FilterSet &rules) {
        std::vector<double> times;
        for (int i = 0; i < 20; ++i) {
            const auto begin = Clock::now();
            rules.decide(longUrl, "https://p.test/", RequestType::Script);
            times.push_back(ms(Clock::now() - begin));
        }
        return percentile(times, 0.5);
    };
    const double hostileMs = timed(hostile);
    const double limitedMs = timed(limited);

    std::vector<double> matchNs;
    size_t blocked = 0;
    for (int pass = 0; pass < 3; ++pass) {
        matchNs.clear();
        blocked = 0;
        for (const Line &line : corpus) {
            const auto start = Clock::now();
            const FilterSet::Decision decision = set->decide(line.url, line.page, line.type);
            matchNs.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count());
            blocked += decision.block;
        }
    }

    std::printf("%-34s %12s\n", "figure", "value");
    std::printf("%-34s %12zu\n", "network rules", set->counts().network);
    std::printf("%-34s %12zu\n", "hiding rules", set->counts().hiding);
    std::printf("%-34s %12zu\n", "skipped lines", set->counts().skipped);
    std::printf("%-34s %12.1f\n", "load from text, median ms", percentile(loadTimes, 0.5));
    std::printf("%-34s %12.1f\n", "load from text, fastest ms", percentile(loadTimes, 0.0));
    std::printf("%-34s %12.1f\n", "cache write, median ms", percentile(writeTimes, 0.5));
    std::printf("%-34s %12.1f\n", "cache load, median ms", percentile(cacheTimes, 0.5));
    std::printf("%-34s %12.1f\n", "cache load, fastest ms", percentile(cacheTimes, 0.0));
    std::printf("%-34s %12.1f\n", "cache file, MiB", double(cacheBytes) / 1048576.0);
    std::printf("%-34s %12.1f\n", "memory of one set, PSS MiB", pssAfter - pssBefore);
    std::printf("%-34s %12zu\n", "requests matched", corpus.size());
    std::printf("%-34s %12zu\n", "requests blocked", blocked);
    std::printf("%-34s %12.2f\n", "match median us", percentile(matchNs, 0.5) / 1000.0);
    std::printf("%-34s %12.2f\n", "match p99 us", percentile(matchNs, 0.99) / 1000.0);
    std::printf("%-34s %12.2f\n", "match max us", percentile(matchNs, 1.0) / 1000.0);
    std::printf("%-34s %12.3f\n", "adjacent-repetition regex, ms", hostileMs);
    std::printf("%-34s %12zu\n", "  (refused when read)", hostile.counts().skipped);
    std::printf("%-34s %12.3f\n", "regex stopped by the limit, ms", limitedMs);

    if (argc > 3 && !corpus.empty()) {
        const QString hostile = QString::fromLocal8Bit(argv[3]);
        hostileFigures(hostile, corpus);
        // A 100 MB filters.txt (the hostile list over and over), then the hostile list itself
        // as filters.txt: a first start (no cache) and the next one.
        const QByteArray text = [&] {
            QFile file(hostile);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        const QString big = scratch.filePath(QStringLiteral("big-filters.txt"));
        QFile out(big);
        if (!out.open(QIODevice::WriteOnly))
            return 1;
        while (out.size() < 100 * 1000 * 1000)
            out.write(text);
        out.close();
        const QStringList packaged = FilterSources::packagedLists();
        double waited = 0;
        waited = std::max(waited, firstStart("100 MB filters.txt, first start", packaged + QStringList{big},
                   scratch.filePath(QStringLiteral("big.cache")), corpus));
        waited = std::max(waited, firstStart("100 MB filters.txt, next start", packaged + QStringList{big},
                   scratch.filePath(QStringLiteral("big.cache")), corpus));
        waited = std::max(waited, firstStart("hostile filters.txt, first start", packaged + QStringList{hostile},
                   scratch.filePath(QStringLiteral("hostile.cache")), corpus));
        waited = std::max(waited, firstStart("hostile filters.txt, next start", packaged + QStringList{hostile},
                   scratch.filePath(QStringLiteral("hostile.cache")), corpus));
        std::printf("%-34s %12s\n", "  (aim: UI waited under 200 ms)", waited < 200 ? "met" : "NOT MET");
    }
    return 0;
}
