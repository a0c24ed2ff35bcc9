#include "adblock/filterrule.h"
#include "adblock/filterset.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <random>

// The ad filter's rules: a table of rules and requests (shared with the command-line tool's
// test), element hiding, and rules that must be skipped rather than guessed at.
class TestFilterSet : public QObject
{
    Q_OBJECT

private:
    static QString casesFile() { return QStringLiteral(SABLIX_TESTS_DIR "/adblock/filtercases.txt"); }

private slots:
    void rulesAndRequests_data()
    {
        QTest::addColumn<QStringList>("rules");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("decision");
        QTest::addColumn<QString>("rule");
        QFile file(casesFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList rules;
        bool inCases = false;
        int line = 0;
        for (const QByteArray &raw : file.readAll().split('\n')) {
            ++line;
            const QString text = QString::fromUtf8(raw);
            if (text.startsWith(QLatin1String("rule "))) {
                if (inCases)
                    rules.clear();
                inCases = false;
                rules << text.mid(5);
            } else if (text.startsWith(QLatin1String("case "))) {
                inCases = true;
                const QStringList fields = text.mid(5).split(QLatin1Char('\t'));
                QCOMPARE(fields.size(), 5);
                QTest::addRow("line %d", line) << rules << fields[0] << fields[1] << fields[2] << fields[3] << fields[4];
            }
        }
    }

    void rulesAndRequests()
    {
        QFETCH(QStringList, rules);
        QFETCH(QString, url);
        QFETCH(QString, page);
        QFETCH(QString, type);
        QFETCH(QString, decision);
        QFETCH(QString, rule);
        FilterSet set;
        for (const QString &text : rules)
            set.addLine(text.toStdString());
        set.finish();
        QCOMPARE(set.counts().skipped, size_t(0));
        RequestType requestType;
        QVERIFY(requestTypeFromName(type.toStdString(), requestType));
        const FilterSet::Decision found = set.decide(url.toStdString(), page.toStdString(), requestType);
        QCOMPARE(found.block ? QStringLiteral("block") : QStringLiteral("allow"), decision);
        QCOMPARE(found.rule ? QString::fromUtf8(found.rule->text.data(), qsizetype(found.rule->text.size())) : QString(), rule);
    }

    void elementHidingByDomain()
    {
        FilterSet set;
        for (const char *line : {"##.ad", "##.banner", "example.com##.local", "~nohide.test##.generic-but",
                                 "example.com#@#.ad", "#@#.banner", "@@||plain.test^$elemhide", "@@||g.test^$generichide",
                                 "g.test##.own", "sub.example.com##.deeper"})
            set.addLine(line);
        set.finish();
        using V = std::vector<std::string>;
        auto selectors = [&](const char *page) {
            V found = set.hidingSelectors(page);
            std::sort(found.begin(), found.end());
            return found;
        };
        QCOMPARE(selectors("https://other.test/"), (V{".ad", ".generic-but"}));
        QCOMPARE(selectors("https://www.example.com/x"), (V{".generic-but", ".local"}));
        QCOMPARE(selectors("https://sub.example.com/"), (V{".deeper", ".generic-but", ".local"}));
        QCOMPARE(selectors("https://nohide.test/"), (V{".ad"}));
        QCOMPARE(selectors("https://plain.test/"), V{});
        QCOMPARE(selectors("https://g.test/"), (V{".own"}));
        // The sheet says the same, whichever way it was made.
        for (const char *page : {"https://other.test/", "https://www.example.com/x", "https://nohide.test/", "https://g.test/"}) {
            const std::string sheet = set.hidingStyleSheet(page);
            for (const std::string &selector : selectors(page))
                QVERIFY2(sheet.find(selector) != std::string::npos, page);
            QVERIFY(sheet.empty() || sheet.find("{display:none!important}") != std::string::npos);
        }
        QVERIFY(set.hidingStyleSheet("https://plain.test/").empty());
    }

    void whatCannotBeAppliedIsSkippedAndCounted_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("popup option") << "||x.test^$popup";
        QTest::newRow("unknown option") << "||x.test^$frobnicate";
        QTest::newRow("negated domain option") << "||x.test^$~domain=a.test";
        QTest::newRow("entity domain") << "google.*##.ad";
        QTest::newRow("extended selector") << "x.test#?#.ad:-abp-has(.b)";
        QTest::newRow("procedural selector") << "x.test##.a:has-text(Ad)";
        QTest::newRow("snippet") << "x.test#$#abort-on-property-read x";
        QTest::newRow("scriptlet") << "x.test##+js(nowebrtc)";
        QTest::newRow("selector leaving its rule") << "##.a{} body{display:none";
        QTest::newRow("open quote") << "##a[href=\"x]";
        QTest::newRow("backtracking regex") << "/(a+)+b/";
        QTest::newRow("branching repeated") << "/(a|aa)*c/";
        QTest::newRow("back reference") << "/(a)\\1/";
        QTest::newRow("invalid regex") << "/a(/";
        QTest::newRow("binary") << QString::fromLatin1("||x.test\x01^");
        QTest::newRow("too long") << QString(9000, QLatin1Char('a'));
        QTest::newRow("non-ASCII pattern") << QStringLiteral("||广告.test^");
    }

    void whatCannotBeAppliedIsSkippedAndCounted()
    {
        QFETCH(QString, line);
        FilterSet set;
        set.addLine(line.toStdString());
        set.finish();
        QCOMPARE(set.counts().skipped, size_t(1));
        QCOMPARE(set.counts().network + set.counts().hiding, size_t(0));
    }

    void commentsAndHeadersAreNotRules()
    {
        FilterSet set;
        const FilterSet::Counts counts = set.addList("[Adblock Plus 2.0]\r\n! Title: x\r\n\r\n  \n||a.test^\r\n##.b");
        QCOMPARE(counts.network, size_t(1));
        QCOMPARE(counts.hiding, size_t(1));
        QCOMPARE(counts.skipped, size_t(0));
    }

    // Garbage, a long line and a hostile regular expression load without harm, and a
    // hostile address does not make matching slow.
    void hostileListsLoadAndMatchInTime()
    {
        std::mt19937 random(7);
        std::string garbage(1 << 20, '\0');
        for (char &c : garbage)
            c = char(random() & 0xff);
        FilterSet set;
        set.addList(garbage);
        set.addLine(std::string(100000, 'x'));
        set.addLine("/^(a+)+$/");
        set.addLine("/a.*b.*c.*d.*e/");
        set.addLine("||fine.test^");
        set.finish();
        const std::string hostile = "https://x.test/" + std::string(20000, 'a') + "!";
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 100; ++i)
            set.decide(hostile, "https://p.test/", RequestType::Script);
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(set.decide("https://fine.test/a", "https://p.test/", RequestType::Script).block);
    }

    // A hostile expression costs no time: the one with adjacent repetitions is refused when
    // read, and one that gets through is matched under a work limit, whatever the address.
    void hostileExpressionsCostNoTimeOnLongAddresses()
    {
        const std::string query = "https://x.test/search?q=" + std::string(4000, 'a');
        FilterSet set;
        set.addLine("/[a-z0-9]*[a-z0-9]*[a-z0-9]*[a-z0-9]*[=]zz/");
        // Not refused, and without a bound on the whole match (over every place it starts
        // at, as it has no fixed first character) it takes seconds.
        set.addLine("/[a-z0-9]+a[a-z0-9]*[=][z]/");
        set.addLine("/\\/search\\?q=a+$/");
        set.finish();
        QCOMPARE(set.counts().skipped, size_t(1));
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 10; ++i)
            // The "z" makes the expressions try (without one they fail at once).
            QVERIFY(!set.decide(query + "z&x=1", "https://p.test/", RequestType::Script).block);
        QVERIFY2(clock.elapsed() < 10 * 50, qPrintable(QString::number(clock.elapsed())));
        // The limit does not stop a plain expression from matching a long address.
        QVERIFY(set.decide(query, "https://p.test/", RequestType::Script).block);
    }

    // Regular expressions are found by a literal they must contain; those that cannot be
    // (none, or too many sharing one place of the index) are kept to a few a list, and a
    // list brings no more than its cap. What is kept decides as before.
    void aListBringsNoMoreThanCanBeMatchedFast()
    {
        std::string list;
        const size_t indexed = 3000;
        for (size_t i = 0; i < indexed; ++i)
            list += "/ad" + std::to_string(i) + "q[0-9]+\\.gif/\n";
        // No literal; and one literal more often than its place of the index takes.
        for (size_t i = 0; i < FilterSet::kMaxUnindexedPerList; ++i)
            list += "/[0-9]{" + std::to_string(i % 50 + 1) + "}[a-z]{" + std::to_string(i / 50 + 1) + "}x/\n";
        for (size_t i = 0; i < FilterSet::kRegexPerGram + 20; ++i)
            list += "/zzq[0-9]{" + std::to_string(i + 1) + "}/\n";
        FilterSet set;
        FilterSet::Counts counts = set.addList(list);
        QCOMPARE(counts.dropped, size_t(20));
        QCOMPARE(counts.network, indexed + FilterSet::kMaxUnindexedPerList + FilterSet::kRegexPerGram);
        // Another list has its own allowance; a line added after it makes one of its own.
        counts = set.addList("/zzq[a-z]{2}[0-9]/\n/[0-9]{2}x[a-z]{3}y/\n");
        QCOMPARE(counts.dropped, size_t(0));
        set.addLine("/[a-z]{3}q[0-9]{3}w/");
        set.finish();
        QCOMPARE(set.counts().dropped, size_t(20));
        auto blocks = [&](const std::string &url) { return set.decide(url, "https://p.test/", RequestType::Image).block; };
        QVERIFY(blocks("https://x.test/ad2999q17.gif"));
        QVERIFY(blocks("https://x.test/AD17Q1.GIF"));
        QVERIFY(!blocks("https://x.test/ad17q.gif"));
        QVERIFY(blocks("https://x.test/zzq" + std::string(FilterSet::kRegexPerGram, '5')));
        QVERIFY(blocks("https://x.test/zzqab7"));
        QVERIFY(blocks("https://x.test/12xabcy"));
        QVERIFY(blocks("https://x.test/abcq123w"));

        // Patterns without a token naming no site, and more rules for one site than its place
        // takes, come under the same allowance.
        std::string plain;
        for (size_t i = 0; i < FilterSet::kMaxUnindexedPerList + 3; ++i)
            plain += "/q*z$image,domain=~d" + std::to_string(i) + ".test\n";
        for (size_t i = 0; i < FilterSet::kRulesPerSite + 2; ++i)
            plain += "||s" + std::to_string(i) + ".test^$domain=news.test\n";
        FilterSet sites;
        QCOMPARE(sites.addList(plain).dropped, size_t(5));
        sites.finish();
        QVERIFY(sites.decide("https://s0.test/a.js", "https://news.test/", RequestType::Script).block);
        QVERIFY(!sites.decide("https://s257.test/a.js", "https://news.test/", RequestType::Script).block);
        QVERIFY(sites.decide("https://x.test/q/z.png", "https://p.test/", RequestType::Image).block);

        std::string huge;
        for (size_t i = 0; i < FilterSet::kMaxRulesPerList + 5; ++i)
            huge += "||h" + std::to_string(i) + ".test^\n";
        FilterSet capped;
        counts = capped.addList(huge);
        QCOMPARE(counts.network, FilterSet::kMaxRulesPerList);
        QCOMPARE(counts.dropped, size_t(5));
    }

    void safeRegularExpressions_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << "banner\\d+\\.gif" << true;
        QTest::newRow("class") << "^https?://[a-z]+\\.test/" << true;
        QTest::newRow("group once") << "(ads|track)/x" << true;
        QTest::newRow("nested repetition") << "(a+)+" << false;
        QTest::newRow("repeated alternation") << "(a|b)*" << false;
        QTest::newRow("look-ahead") << "a(?=b)" << false;
        QTest::newRow("many repetitions") << "a.*b.*c.*d.*e.*f" << false;
        QTest::newRow("unbalanced") << "(a" << false;
        QTest::newRow("adjacent unbounded") << "[a-z0-9]*[a-z0-9]*" << false;
        QTest::newRow("adjacent through an optional item") << "a+b?.*" << false;
        QTest::newRow("adjacent through a group") << "x.*(y+)z" << false;
        QTest::newRow("adjacent counted") << "a{2,}\\d*" << false;
        QTest::newRow("separated by a required item") << "^https?://[a-z]+\\.[a-z]+/" << true;
        QTest::newRow("bounded beside unbounded") << "[0-9]{4}[a-z]+x" << true;
        QTest::newRow("in other branches") << "(a*|b*)x" << true;
        QTest::newRow("non-capturing group") << "(?:ads|track)\\d+/" << true;
    }

    void safeRegularExpressions()
    {
        QFETCH(QString, pattern);
        QFETCH(bool, safe);
        QCOMPARE(FilterRule::regexIsSafe(pattern.toStdString()), safe);
    }
};

QTEST_MAIN(TestFilterSet)
#include "tst_filterset.moc"
