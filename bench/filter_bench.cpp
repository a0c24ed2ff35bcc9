// The ad filter in figures: EasyList and EasyPrivacy loaded from their text (cold, each
// time from the files), kept in the compiled cache and loaded from it, then a corpus of
// requests matched one by one, and a hostile regular expression on a long address.
//   filter_bench CORPUS [LOADS]
#include "adblock/filtercache.h"
#include "adblock/filterset.h"
#include "adblock/filtersources.h"
#include "processmemory.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const int loads = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    struct Line
    {
        std::string url, page;
        RequestType type;
    };
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
    return 0;
}
