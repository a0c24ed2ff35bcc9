#include "adblock/filtercache.h"
#include "adblock/filterlists.h"
#include "adblock/filterset.h"
#include "adblock/filtersources.h"
#include "adblock/tokenindex.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

#include <sys/stat.h>

// The compiled lists kept between runs: what is read back decides as what was parsed; a
// damaged, cut, foreign or outdated file is never used; and the program's filter answers
// from the first request on, with or without it.
class TestFilterCache : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    static bool write(const QString &file, const QByteArray &bytes)
    {
        QFile out(file);
        return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
    }
    static QByteArray read(const QString &file)
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

    struct Case
    {
        std::string url, page;
        RequestType type;
    };
    // The groups of rules and their requests in the filter cases.
    static QList<QPair<QStringList, QList<Case>>> cases()
    {
        QList<QPair<QStringList, QList<Case>>> groups;
        QFile file(QStringLiteral(SABLIX_TESTS_DIR "/adblock/filtercases.txt"));
        if (!file.open(QIODevice::ReadOnly))
            return groups;
        bool inCases = true;
        for (const QByteArray &raw : file.readAll().split('\n')) {
            const QString text = QString::fromUtf8(raw);
            if (text.startsWith(QLatin1String("rule "))) {
                if (inCases)
                    groups.append(QPair<QStringList, QList<Case>>());
                inCases = false;
                groups.last().first << text.mid(5);
            } else if (text.startsWith(QLatin1String("case ")) && !groups.isEmpty()) {
                inCases = true;
                const QStringList fields = text.mid(5).split(QLatin1Char('\t'));
                RequestType type = RequestType::Other;
                if (fields.size() == 5 && requestTypeFromName(fields[2].toStdString(), type))
                    groups.last().second.append({fields[0].toStdString(), fields[1].toStdString(), type});
            }
        }
        return groups;
    }

    static std::shared_ptr<FilterSet> parsed(const QStringList &rules)
    {
        auto set = std::make_shared<FilterSet>();
        for (const QString &rule : rules)
            set->addLine(rule.toStdString());
        set->finish();
        return set;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Every case of the table, and the hiding of its pages, decided the same after the
    // set went through the file.
    void readBackDecidesAsParsed()
    {
        const auto groups = cases();
        QVERIFY(groups.size() >= 8);
        int compared = 0;
        for (const auto &[rules, requests] : groups) {
            const std::shared_ptr<FilterSet> original = parsed(rules);
            QVERIFY(FilterCache::save(path("cases.cache"), "key", *original));
            const std::shared_ptr<FilterSet> back = FilterCache::load(path("cases.cache"), "key");
            QVERIFY2(back, qPrintable(rules.join(QLatin1Char(' '))));
            QCOMPARE(back->counts().network, original->counts().network);
            QCOMPARE(back->counts().hiding, original->counts().hiding);
            for (const Case &request : requests) {
                const FilterSet::Decision a = original->decide(request.url, request.page, request.type);
                const FilterSet::Decision b = back->decide(request.url, request.page, request.type);
                QCOMPARE(b.block, a.block);
                QCOMPARE(b.rule ? b.rule->text : std::string_view(), a.rule ? a.rule->text : std::string_view());
                QCOMPARE(back->hidingStyleSheet(request.page), original->hidingStyleSheet(request.page));
                ++compared;
            }
        }
        QVERIFY(compared >= 40);

        // Lists the size of the packaged ones, whose rules are kept in arrays of their own
        // mapping and their texts in blocks of many: the first and last rule of each kind are
        // still found, with their texts, as parsed and after the file.
        QStringList many;
        for (int i = 0; i < 30000; ++i)
            many << QStringLiteral("||ads%1.test^").arg(i) << QStringLiteral("site%1.test##.ad%1").arg(i);
        const std::shared_ptr<FilterSet> large = parsed(many);
        QVERIFY(FilterCache::save(path("large.cache"), "key", *large));
        const std::shared_ptr<FilterSet> back = FilterCache::load(path("large.cache"), "key");
        QVERIFY(back);
        QCOMPARE(back->counts().network, size_t(30000));
        QCOMPARE(back->counts().hiding, size_t(30000));
        for (const std::shared_ptr<FilterSet> &set : {large, back})
            for (int i : {0, 29999}) {
                const std::string name = "ads" + std::to_string(i) + ".test";
                const FilterSet::Decision decision = set->decide("http://" + name + "/x.js", "http://page.test/", RequestType::Script);
                QCOMPARE(decision.rule ? decision.rule->text : std::string_view(), "||" + name + "^");
                QCOMPARE(set->hidingSelectors("http://site" + std::to_string(i) + ".test/"),
                         std::vector<std::string>{".ad" + std::to_string(i)});
            }
        QVERIFY(!back->decide("http://ads30000.test/x.js", "http://page.test/", RequestType::Script).block);
    }

    // Damage anywhere, a cut, another version, another program's file, other lists: none
    // of them is read as a set.
    void whatDoesNotFitIsNotUsed()
    {
        const std::shared_ptr<FilterSet> set = parsed({"||ads.test^", "/banner/*$image,domain=a.test|~b.a.test",
                                                       "/ad[0-9]+\\.gif/", "@@||ads.test/ok^", "a.test##.ad"});
        QVERIFY(FilterCache::save(path("good.cache"), "key", *set));
        const QByteArray good = read(path("good.cache"));
        QVERIFY(FilterCache::load(path("good.cache"), "key"));
        QVERIFY(!FilterCache::load(path("good.cache"), "other lists"));
        QVERIFY(!FilterCache::load(path("missing.cache"), "key"));

        auto refused = [&](const QByteArray &bytes) {
            return write(path("bad.cache"), bytes) && !FilterCache::load(path("bad.cache"), "key");
        };
        for (qsizetype at : {qsizetype(0), qsizetype(9), qsizetype(20), good.size() / 2, good.size() - 1}) {
            QByteArray damaged = good;
            damaged[at] = char(damaged[at] ^ 0x20);
            QVERIFY2(refused(damaged), qPrintable(QString::number(at)));
        }
        for (qsizetype size : {qsizetype(0), qsizetype(7), qsizetype(30), good.size() / 2, good.size() - 1})
            QVERIFY2(refused(good.left(size)), qPrintable(QString::number(size)));
        QVERIFY(refused(good + "x"));
        QVERIFY(refused("! Title: EasyList\n||ads.test^\n"));
        QByteArray version = good;
        version[8] = char(FilterCache::kVersion + 1);
        QVERIFY(refused(version));

        // A body that passes its checksum but does not hold a set is refused as well.
        QByteArray forged = good.left(28) + QByteArray(4, '\0') + QByteArray(64, '\xff');
        const QByteArray body = forged.mid(28);
        const quint64 size = quint64(body.size());
        const quint64 sum = FilterCache::checksum(body);
        forged.replace(12, 8, QByteArray(reinterpret_cast<const char *>(&size), 8));
        forged.replace(20, 8, QByteArray(reinterpret_cast<const char *>(&sum), 8));
        QVERIFY(refused(forged));
        QVERIFY(!FilterCache::decode(QByteArray(64, '\xff')));
    }

    // The token table is read as it was written: it finds what was put in, and a table a
    // lookup could not walk (or that names what is not there) is refused.
    void aTokenTableIsUsedOnlyWhenLookupsCanWalkIt()
    {
        const std::unordered_map<uint64_t, std::vector<uint32_t>> buckets{{1, {0, 2}}, {42, {1}}, {7, {2}}};
        TokenIndex built;
        built.build(buckets);
        QCOMPARE(built.size(), size_t(3));
        for (const auto &[hash, ids] : buckets) {
            const std::span<const uint32_t> found = built.find(hash);
            QCOMPARE(std::vector<uint32_t>(found.begin(), found.end()), ids);
        }
        QVERIFY(built.find(99).empty());

        TokenIndex read;
        QVERIFY(read.assign(built.table(), built.ids(), 3));
        QCOMPARE(read.find(1).size(), size_t(2));
        QVERIFY(!read.assign(built.table(), built.ids(), 2)); // an id past the rules
        QVERIFY(read.find(1).empty());
        TokenIndex::Slots table = built.table();
        QVERIFY(!read.assign({table.begin(), table.end() - 1}, built.ids(), 3)); // not a power of two
        for (TokenIndex::Slot &slot : table)
            if (slot.count) {
                slot.count = 100; // past the ids
                break;
            }
        QVERIFY(!read.assign(table, built.ids(), 3));

        // One bucket in two slots sits at its home; in the other slot no lookup reaches it.
        TokenIndex single;
        single.build({{5, {0}}});
        TokenIndex::Slots moved = single.table();
        QCOMPARE(moved.size(), size_t(2));
        std::swap(moved[0], moved[1]);
        QVERIFY(read.assign(single.table(), single.ids(), 1));
        QVERIFY(!read.assign(moved, single.ids(), 1));
    }

    // Any change to a list or to the user's rules names other lists.
    void aChangedListIsAnotherKey()
    {
        QVERIFY(write(path("list.txt"), "||ads.test^\n"));
        QVERIFY(write(path("mine.txt"), "||mine.test^\n"));
        const QStringList files{path("list.txt"), path("mine.txt")};
        const QByteArray before = FilterCache::sourcesKey(files, path("mine.txt"));
        QCOMPARE(FilterCache::sourcesKey(files, path("mine.txt")), before);
        // The user's rules, rewritten at once with as many bytes.
        QVERIFY(write(path("mine.txt"), "||ours.test^\n"));
        const QByteArray mine = FilterCache::sourcesKey(files, path("mine.txt"));
        QVERIFY(mine != before);
        QVERIFY(write(path("list.txt"), "||ads.test^\n||more.test^\n"));
        QVERIFY(FilterCache::sourcesKey(files, path("mine.txt")) != mine);
        QVERIFY(QFile::remove(path("mine.txt")));
        QVERIFY(FilterCache::sourcesKey(files, path("mine.txt")) != mine);
    }

    // The load begun while the window is made serves the program's first load of the same
    // lists, unless a list changed in between.
    void theFirstLoadBegunEarlyIsTakenOverOnlyWhileItsListsHold()
    {
        QVERIFY(write(path("early.txt"), "||early.test^\n"));
        FilterLists::defaultSources() = [this] { return QStringList{path("early.txt")}; };
        FilterLists::beginFirstLoad();
        const QUrl page(QStringLiteral("https://news.test/"));
        auto blocked = [&](const FilterLists &lists, const char *host) {
            return lists.blocksRequest(QUrl(QStringLiteral("https://%1/ad.png").arg(QLatin1String(host))), page, page,
                                       ContentFilter::Resource::Image);
        };
        // Changed after the early load read it (its set is kept in the cache once it is in):
        // one rule more, a larger file.
        QVERIFY(QTest::qWaitFor([] { return QFileInfo::exists(FilterCache::defaultPath()); }, 10000));
        QVERIFY(write(path("early.txt"), "||early.test^\n||later.test^\n"));
        FilterLists lists;
        QSignalSpy loaded(&lists, &FilterLists::loaded);
        lists.reload();
        QVERIFY(loaded.wait(10000));
        QVERIFY(blocked(lists, "early.test"));
        QVERIFY(blocked(lists, "later.test"));
        FilterLists::defaultSources() = &FilterSources::all;
    }

    // Until the lists are in, a request is blocked at once (nothing waits on the window's
    // thread, nothing passes unfiltered), and what holds a navigation for them goes once they
    // are in, once each; a page that went meanwhile is not run for.
    void beforeTheListsRequestsAreBlockedAndNavigationsHeld()
    {
        QVERIFY(write(path("idle.txt"), "||ads.test^\n"));
        FilterLists lists;
        lists.setSources([this] { return QStringList{path("idle.txt")}; });
        lists.setCachePath(path("idle.cache"));
        QSignalSpy loaded(&lists, &FilterLists::loaded);
        lists.reloadOnceIdle();
        const QUrl page(QStringLiteral("https://news.test/"));
        const QUrl fine(QStringLiteral("https://fine.test/a.png"));
        const QUrl ad(QStringLiteral("https://ads.test/banner.png"));
        bool otherThread = false;
        std::thread asker([&] { otherThread = lists.blocksRequest(fine, page, page, ContentFilter::Resource::Image); });
        asker.join();
        QVERIFY(otherThread);
        QVERIFY(lists.blocksRequest(fine, page, page, ContentFilter::Resource::Document));
        QVERIFY(lists.hidingStyleSheet(page).isEmpty());
        QVERIFY(!lists.current());
        int went = 0;
        lists.whenReady(this, [&] {
            // The lists answer by then.
            QVERIFY(!lists.blocksRequest(fine, page, page, ContentFilter::Resource::Image));
            ++went;
        });
        auto *gone = new QObject;
        lists.whenReady(gone, [&] { went += 100; });
        delete gone;
        QCOMPARE(went, 0);
        QVERIFY(loaded.wait(10000));
        QCOMPARE(went, 1);
        QVERIFY(lists.blocksRequest(ad, page, page, ContentFilter::Resource::Image));
        lists.whenReady(this, [&] { ++went; });
        QCOMPARE(went, 2);
    }

    // A FIFO, a link or a huge file in place of a list or of the cache is refused at once,
    // said in the status line, and the rest loads; none of them holds the load up.
    void aPlantedFileIsRefusedWithoutWaiting()
    {
        QVERIFY(write(path("good.txt"), "||ads.test^\n"));
        QVERIFY(::mkfifo(QFile::encodeName(path("fifo.txt")).constData(), 0600) == 0);
        QVERIFY(::mkfifo(QFile::encodeName(path("fifo.cache")).constData(), 0600) == 0);
        QVERIFY(QFile::link(path("good.txt"), path("link.txt")));
        QFile huge(path("huge.txt"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(FilterSources::kMaxListBytes + 1));
        huge.close();
        const QStringList files{path("fifo.txt"), path("link.txt"), path("huge.txt"), path("good.txt")};
        QVERIFY(!FilterCache::load(path("fifo.cache"), "key"));
        FilterSet set;
        QVERIFY(!set.addListFile(path("huge.txt")));

        FilterLists lists;
        lists.setSources([files] { return files; });
        lists.setCachePath(path("fifo.cache"));
        QSignalSpy loaded(&lists, &FilterLists::loaded);
        QSignalSpy problems(&lists, &FilterLists::problem);
        lists.reload();
        QVERIFY(loaded.wait(10000));
        QCOMPARE(lists.current()->counts().network, size_t(1));
        QStringList said;
        for (const QList<QVariant> &problem : problems)
            said << problem.first().toString();
        for (const char *name : {"fifo.txt", "link.txt", "huge.txt", "fifo.cache"})
            QVERIFY2(said.filter(path(name)).size() == 1, qPrintable(said.join(QLatin1Char('\n'))));
        QCOMPARE(said.size(), 4);
    }

    void theFilterAnswersFromTheFirstRequest()
    {
        QVERIFY(write(path("first.txt"), "||ads.test^\n"));
        const QString cache = path("lists.cache");
        QFile::remove(cache);
        const QUrl ad(QStringLiteral("https://ads.test/banner.png"));
        const QUrl page(QStringLiteral("https://news.test/"));
        auto startLists = [&](FilterLists &lists) {
            lists.setSources([this] { return QStringList{path("first.txt")}; });
            lists.setCachePath(cache);
            lists.reload();
        };
        for (const char *start : {"parsed", "from the cache", "cache damaged", "list changed"}) {
            if (QByteArray(start) == "cache damaged") {
                QByteArray bytes = read(cache);
                bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 1);
                QVERIFY(write(cache, bytes));
            } else if (QByteArray(start) == "list changed") {
                QVERIFY(write(path("first.txt"), "||ads.test^\n||other.test^\n"));
            }
            FilterLists lists;
            QSignalSpy loaded(&lists, &FilterLists::loaded);
            startLists(lists);
            // At once: blocked while the lists are on their way, their own answer from then on.
            QVERIFY2(lists.blocksRequest(ad, page, page, ContentFilter::Resource::Image), start);
            QVERIFY(loaded.wait(10000));
            QVERIFY2(lists.blocksRequest(ad, page, page, ContentFilter::Resource::Image), start);
            QVERIFY2(!lists.blocksRequest(QUrl(QStringLiteral("https://fine.test/a.png")), page, page,
                                          ContentFilter::Resource::Image),
                     start);
            const bool changed = QByteArray(start) == "list changed";
            QCOMPARE(lists.blocksRequest(QUrl(QStringLiteral("https://other.test/x.js")), page, page,
                                         ContentFilter::Resource::Script),
                     changed);
            // What is kept now is the set of these lists, whole.
            std::shared_ptr<FilterSet> kept;
            QVERIFY(QTest::qWaitFor([&] {
                kept = FilterCache::load(cache, FilterCache::sourcesKey({path("first.txt")}, FilterSources::userRules()));
                return kept != nullptr;
            }));
            QCOMPARE(kept->counts().network, size_t(changed ? 2 : 1));
        }
    }

    // A program that never asked for lists does not hold its requests up.
    void nothingAskedForNothingWaitedFor()
    {
        FilterLists lists;
        lists.setSources([] { return QStringList(); });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!lists.blocksRequest(QUrl(QStringLiteral("https://ads.test/")), {}, {}, ContentFilter::Resource::Image));
        QVERIFY(clock.elapsed() < 1000);
    }

    // Lists come over https only; the others are not even asked for.
    void subscriptionsAreFetchedOverHttpsOnly()
    {
        const QString file = FilterSources::subscriptionsFile();
        QDir().mkpath(QFileInfo(file).absolutePath());
        QVERIFY(write(file, "http://127.0.0.1:1/list.txt\r\nftp://127.0.0.1:1/list.txt\r\n"
                            "https://127.0.0.1:1/list.txt\r\nhttps:///nohost.txt\r\n"));
        FilterLists lists;
        lists.setSources([] { return QStringList(); });
        QCOMPARE(lists.refreshSubscriptions(), 1);
    }

    void aSubscriptionIsKeptOnlyWhenItParses()
    {
        QVERIFY(FilterLists::subscriptionParses("[Adblock Plus 2.0]\n! Title: x\n||ads.test^\n"));
        QVERIFY(FilterLists::subscriptionParses("! Title: x\n##.ad\n"));
        QVERIFY(!FilterLists::subscriptionParses("<html><body>Sign in</body></html>"));
        QVERIFY(!FilterLists::subscriptionParses("! Title: x\n! nothing but comments\n"));
        QByteArray huge = "! Title: x\n||ads.test^\n";
        huge += QByteArray(FilterLists::kMaxSubscriptionBytes, '!');
        QVERIFY(!FilterLists::subscriptionParses(huge));
    }
};

QTEST_MAIN(TestFilterCache)
#include "tst_filtercache.moc"
