#include "history/history.h"
#include "history/historydatabase.h"
#include "historytesting.h"
#include "history/historywriter.h"
#include "core/pinyin.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kDay = 24 * 3600 * 1000LL;

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QStringList addresses(const QList<HistoryEntry> &entries)
{
    QStringList list;
    for (const HistoryEntry &entry : entries)
        list << entry.address;
    return list;
}

QByteArray bytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

// Runs SQL on a file through a connection of its own (making files the history must refuse).
void runSql(const QString &path, const QStringList &statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("maker"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        for (const QString &sql : statements)
            QVERIFY2(query.exec(sql), qPrintable(sql));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("maker"));
}

// Every file under `folder` that holds `data` anywhere in it.
QStringList filesHolding(const QString &folder, const QByteArray &data)
{
    QStringList found;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        if (bytes(folder + QLatin1Char('/') + name).contains(data))
            found << name;
    return found;
}

} // namespace

// The history file: visits counted, titles, removal and retention, the search (Chinese
// substrings through the trigram index, one or two characters by scanning), files that are
// not a usable history moved aside, any text kept safely, and the writer thread's batches.
class TestHistoryDatabase : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name = QStringLiteral("History.sqlite")) const { return m_dir.filePath(name); }

private slots:
    void init()
    {
        // Pipes and links left by a test that failed go too.
        for (const QString &name : QDir(m_dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden))
            QFile::remove(m_dir.filePath(name));
    }

    void visitsAreCountedAndTitlesFollow()
    {
        HistoryDatabase db;
        QVERIFY(db.open(path()));
        const qint64 t = now();
        QVERIFY(db.addVisits({{"http://a.test/", "First", t - 3000},
                              {"http://b.test/", "B", t - 2000},
                              {"http://a.test/", "", t - 1000},
                              {"http://a.test/", "Second", t - 5000}}));
        QCOMPARE(db.count(), 2);
        const auto a = db.entry(QStringLiteral("http://a.test/"));
        QVERIFY(a);
        QCOMPARE(a->visits, 3);
        // The latest time stays, even when a late batch brings an older visit; a visit without
        // a title keeps the one known.
        QCOMPARE(a->lastVisit, t - 1000);
        QCOMPARE(a->title, QStringLiteral("Second"));
        QVERIFY(db.setTitle(QStringLiteral("http://a.test/"), QStringLiteral("Renamed")));
        QCOMPARE(db.entry(QStringLiteral("http://a.test/"))->title, QStringLiteral("Renamed"));
        // The index follows the title: the old one is not found any more.
        QCOMPARE(addresses(db.search(QStringLiteral("Renamed"), 10)), QStringList{"http://a.test/"});
        QVERIFY(db.search(QStringLiteral("Second"), 10).isEmpty());
        QCOMPARE(addresses(db.recent(10)), (QStringList{"http://a.test/", "http://b.test/"}));

        QVERIFY(db.remove({QStringLiteral("http://a.test/")}));
        QCOMPARE(db.count(), 1);
        QVERIFY(db.search(QStringLiteral("Renamed"), 10).isEmpty());
        QVERIFY(db.clear());
        QCOMPARE(db.count(), 0);
        QVERIFY(db.search(QStringLiteral("b.test"), 10).isEmpty());
    }

    void searchFindsSubstringsOfAnyLength()
    {
        HistoryDatabase db;
        QVERIFY(db.open(path()));
        const qint64 t = now();
        QVERIFY(db.addVisits({{"http://news.example/today", "今日新闻头条", t - 1000},
                              {"http://shop.example/", "Shopping 50% off_now", t - 2000},
                              {"http://plain.example/", "新的一天", t - 3000}}));
        QCOMPARE(addresses(db.search(QStringLiteral("新闻头"), 10)), QStringList{"http://news.example/today"});
        QVERIFY(db.search(QStringLiteral("头条新"), 10).isEmpty());
        // Below three characters the index cannot answer: the scan does.
        QCOMPARE(addresses(db.search(QStringLiteral("新闻"), 10)), QStringList{"http://news.example/today"});
        QCOMPARE(addresses(db.search(QStringLiteral("新"), 10)),
                 (QStringList{"http://news.example/today", "http://plain.example/"}));
        // Addresses too, any case of Latin letters, both ways.
        QCOMPARE(addresses(db.search(QStringLiteral("SHOP.EX"), 10)), QStringList{"http://shop.example/"});
        QCOMPARE(addresses(db.search(QStringLiteral("Sh"), 10)), QStringList{"http://shop.example/"});
        // The scan's wildcards and the index's syntax are only text here.
        QCOMPARE(addresses(db.search(QStringLiteral("0%"), 10)), QStringList{"http://shop.example/"});
        QVERIFY(db.search(QStringLiteral("%"), 10).size() == 1);
        QVERIFY(db.search(QStringLiteral("_x"), 10).isEmpty());
        QVERIFY(db.search(QStringLiteral("\"新闻 OR"), 10).isEmpty());
        QVERIFY(db.search(QStringLiteral("a\" OR \"b"), 10).isEmpty());
        // Paged by key, newest first.
        HistoryKey from;
        QList<HistoryEntry> page;
        QVERIFY(db.searchStep(QStringLiteral("example"), from, 1, &page));
        QCOMPARE(addresses(page), QStringList{"http://news.example/today"});
        QVERIFY(db.searchStep(QStringLiteral("example"), from, 1, &page));
        QCOMPARE(addresses(page), QStringList{"http://shop.example/"});
    }

    void aScanGoesAStretchAtATime()
    {
        HistoryDatabase db;
        QVERIFY(db.open(path()));
        const qint64 t = now();
        // Entries visited at the same time: the key's id keeps them apart.
        QList<HistoryVisit> visits;
        for (int i = 0; i < 2 * HistoryDatabase::kScanStep + 10; ++i)
            visits.append({QStringLiteral("http://f%1.test/").arg(i), QStringLiteral("Filler"), t});
        visits.append({"http://old-zq.test/", "Oldest", t - kDay});
        visits.append({"http://umlaut.test/", "ÄRGER im Büro", t + 1});
        QVERIFY(db.addVisits(visits));
        HistoryKey from;
        QList<HistoryEntry> found;
        // The newest stretch holds no match: a step ends there, with more to read.
        QVERIFY(db.searchStep(QStringLiteral("zq"), from, 10, &found));
        QVERIFY(found.isEmpty());
        // Two more: the second stretch, then the rest, where the match is.
        QVERIFY(db.searchStep(QStringLiteral("zq"), from, 10, &found));
        QVERIFY(found.isEmpty());
        QVERIFY(!db.searchStep(QStringLiteral("zq"), from, 10, &found));
        QCOMPARE(addresses(found), QStringList{"http://old-zq.test/"});
        QCOMPARE(addresses(db.search(QStringLiteral("zq"), 10)), QStringList{"http://old-zq.test/"});
        // Longer text found often comes from the newest stretch, rarer from the index after it;
        // a letter whose case only the index folds is always looked up there.
        QCOMPARE(db.search(QStringLiteral("iller"), 5).size(), 5);
        QCOMPARE(addresses(db.search(QStringLiteral("oldest"), 10)), QStringList{"http://old-zq.test/"});
        QCOMPARE(addresses(db.search(QStringLiteral("ärger"), 10)), QStringList{"http://umlaut.test/"});
        // Pages of the whole list meet without a gap or a repeat where the time is the same.
        from = HistoryKey();
        QStringList all;
        while (db.searchStep(QString(), from, 1000, &found))
            all += addresses(found);
        all += addresses(found);
        QCOMPARE(all.size(), 2 * HistoryDatabase::kScanStep + 12);
        QCOMPARE(QSet<QString>(all.cbegin(), all.cend()).size(), all.size());
    }

    void suggestionsRankByVisitsAndRecency()
    {
        HistoryDatabase db;
        QVERIFY(db.open(path()));
        const qint64 t = now();
        QList<HistoryVisit> visits;
        // Often, but a month ago; a few times today; once today; often and today.
        for (int i = 0; i < 10; ++i)
            visits.append({"http://old.shop.test/", "Old shop", t - 30 * kDay});
        for (int i = 0; i < 3; ++i)
            visits.append({"http://new.shop.test/", "New shop", t - 1000});
        visits.append({"http://once.shop.test/", "Once", t - 500});
        for (int i = 0; i < 6; ++i)
            visits.append({"http://daily.shop.test/", "Daily", t - 2000});
        visits.append({"http://other.test/", "Other", t});
        QVERIFY(db.addVisits(visits));
        // Visits count half for every week since the last: ten a month ago count less than one today.
        const QStringList expected{"http://daily.shop.test/", "http://new.shop.test/", "http://once.shop.test/",
                                   "http://old.shop.test/"};
        QCOMPARE(addresses(db.suggest(QStringLiteral("shop"), 8)), expected);
        QCOMPARE(addresses(db.suggest(QStringLiteral("sh"), 8)), expected);
        QCOMPARE(addresses(db.suggest(QStringLiteral("shop"), 2)), expected.mid(0, 2));
        QVERIFY(db.suggest(QStringLiteral("  "), 8).isEmpty());
        // An order that holds at any later time: another visit today puts "once" above "new".
        QVERIFY(db.addVisits({{"http://once.shop.test/", "Once", t}, {"http://once.shop.test/", "Once", t},
                              {"http://once.shop.test/", "Once", t}}));
        QCOMPARE(addresses(db.suggest(QStringLiteral("shop"), 2)),
                 (QStringList{"http://daily.shop.test/", "http://once.shop.test/"}));
    }

    void suggestionsReachBeyondTheBestRanked()
    {
        HistoryDatabase db;
        QVERIFY(db.open(path()));
        const qint64 t = now();
        QList<HistoryVisit> visits;
        for (int i = 0; i < HistoryDatabase::kSuggestFirst + 10; ++i)
            visits.append({QStringLiteral("http://f%1.test/").arg(i), QStringLiteral("Filler"), t - i});
        visits.append({"http://rare.test/", "Seldom", t - 60 * kDay});
        visits.append({"http://fresh-rare.test/", "Seldom too", t - kDay});
        QVERIFY(db.addVisits(visits));
        // Not among the best ranked: found through the index, still in rank order.
        QCOMPARE(addresses(db.suggest(QStringLiteral("seldom"), 8)),
                 (QStringList{"http://fresh-rare.test/", "http://rare.test/"}));
        // Matches among the best ranked come first and alone when there are enough.
        QCOMPARE(addresses(db.suggest(QStringLiteral("filler"), 2)), (QStringList{"http://f0.test/", "http://f1.test/"}));
    }

    // Latin letters find Chinese titles by pinyin: whole readings, first letters, a mix, the
    // last reading still being typed, a polyphonic character by any reading; in the
    // suggestions (among the best ranked and through the keys beyond them) and the search.
    void pinyinFindsChineseTitles()
    {
        HistoryDatabase db;
        QVERIFY(db.open(path()));
        const qint64 t = now();
        QList<HistoryVisit> visits;
        // Enough better-ranked fillers that the pinyin matches lie beyond the best ranked.
        for (int i = 0; i < HistoryDatabase::kSuggestFirst + 10; ++i)
            visits.append({QStringLiteral("http://f%1.test/").arg(i), QStringLiteral("Filler 填充"), t - i});
        visits.append({"http://news.test/", "今日新闻头条_门户", t - 30 * kDay});
        visits.append({"http://bank.test/", "网上银行", t - 31 * kDay});
        visits.append({"http://trip.test/", "行程单查询", t - 32 * kDay});
        visits.append({"http://mail.test/", "QQ邮箱", t - 33 * kDay});
        // A long title of one polyphonic character: its keys are bounded and cut short, and
        // it is still found by either reading.
        visits.append({"http://many.test/", QString(300, QChar(0x884C)), t - 34 * kDay});
        QVERIFY(db.addVisits(visits));
        auto suggested = [&db](const char *text) { return addresses(db.suggest(QString::fromLatin1(text), 8)); };
        const QStringList news{"http://news.test/"};
        for (const char *typed : {"xinwen", "xw", "xinw", "XinWen", "xwtt", "xinwentoutiao", "xwtoutiao", "jrxw", "toutiao"})
            QVERIFY2(suggested(typed) == news, typed);
        QCOMPARE(suggested("yinhang"), QStringList{"http://bank.test/"});
        QCOMPARE(suggested("yinxing"), QStringList{"http://bank.test/"});
        QCOMPARE(suggested("wsyh"), QStringList{"http://bank.test/"});
        QCOMPARE(suggested("xingcheng"), (QStringList{"http://trip.test/"}));
        QCOMPARE(suggested("hcd"), (QStringList{"http://trip.test/"}));
        QCOMPARE(suggested("qqyx"), QStringList{"http://mail.test/"});
        QCOMPARE(suggested("hxhxhxhx"), QStringList{"http://many.test/"});
        QCOMPARE(suggested("xinghangxing"), QStringList{"http://many.test/"});
        // Out of order, a piece that is neither a reading nor its first letter, a reading
        // that does not follow: nothing.
        for (const char *typed : {"wx", "xiw", "xinwenx", "toutiaox", "qyx"})
            QVERIFY2(suggested(typed).isEmpty(), typed);
        // Among the best ranked too, above the matches further down.
        QCOMPARE(suggested("tc").mid(0, 3), (QStringList{"http://f0.test/", "http://f1.test/", "http://f2.test/"}));
        // The history window's search, newest first.
        QCOMPARE(addresses(db.search(QStringLiteral("xw"), 10)), news);
        QCOMPARE(addresses(db.search(QStringLiteral("yinhang"), 10)), QStringList{"http://bank.test/"});
        QCOMPARE(addresses(db.search(QStringLiteral("hang"), 3)),
                 (QStringList{"http://bank.test/", "http://trip.test/", "http://many.test/"}));
        // The keys follow the title, and go with the entry.
        QVERIFY(db.setTitle(QStringLiteral("http://news.test/"), QStringLiteral("体育")));
        QVERIFY(suggested("xw").isEmpty());
        QCOMPARE(suggested("tiyu"), news);
        QVERIFY(db.remove({QStringLiteral("http://bank.test/")}));
        QVERIFY(suggested("yinhang").isEmpty());
        {
            QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("keys"));
            check.setDatabaseName(path());
            QVERIFY(check.open());
            QSqlQuery query(check);
            QVERIFY(query.exec(QStringLiteral("SELECT count(*) FROM pinyin WHERE page NOT IN (SELECT id FROM pages)")) &&
                    query.next());
            QCOMPARE(query.value(0).toInt(), 0);
            QVERIFY(query.exec(QStringLiteral("SELECT count(*) FROM pinyin WHERE page = (SELECT id FROM pages WHERE "
                                              "address = 'http://many.test/')")) &&
                    query.next());
            QVERIFY(query.value(0).toInt() > 0 && query.value(0).toInt() <= Pinyin::kMaxKeys);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("keys"));
    }

    // A file of the first version (no pinyin keys) is upgraded as it is opened: its entries
    // stay, and get their keys from the writer, a stretch at a time, while it takes visits.
    void anOlderFileGetsItsPinyinKeys()
    {
        const QString file = path();
        {
            HistoryDatabase db;
            QVERIFY(db.open(file));
        }
        // Back to what the first version made: no keys, no column for them.
        QStringList older{"DROP TRIGGER pinyin_removed", "DROP TRIGGER pinyin_retitled", "DROP INDEX pages_unkeyed",
                          "DROP TABLE pinyin", "ALTER TABLE pages DROP COLUMN keyed", "PRAGMA user_version=1"};
        const int rows = HistoryWriter::kKeyStretch + 500;
        older << "BEGIN";
        for (int i = 0; i < rows; ++i)
            older << QStringLiteral("INSERT INTO pages(address, title, visits, last_visit, rank) VALUES "
                                    "('http://old%1.test/', '旧页面%1', 1, %2, 0)")
                         .arg(i)
                         .arg(now() - i);
        older << "INSERT INTO pages(address, title, visits, last_visit, rank) VALUES ('http://news.test/', '新闻头条', 1, 0, 0)"
              << "COMMIT";
        runSql(file, older);

        History history(file, 0);
        QVERIFY(HistoryTesting::waitReady(&history));
        history.record(QStringLiteral("http://new.test/"), QStringLiteral("新的访问"), now());
        QVERIFY(HistoryTesting::writeNow(&history));
        QCOMPARE(history.reader().count(), rows + 2);
        QCOMPARE(addresses(history.reader().suggest(QStringLiteral("xdfw"), 8)), QStringList{"http://new.test/"});
        // The last of the old rows is keyed once the writer has gone through them all.
        QTRY_COMPARE_WITH_TIMEOUT(addresses(history.reader().search(QStringLiteral("xwtt"), 8)),
                                  QStringList{"http://news.test/"}, 30000);
        QCOMPARE(addresses(history.reader().suggest(QStringLiteral("jiuyemian"), 8)).size(), 8);
        HistoryDatabase reopened;
        QVERIFY(reopened.openToRead(file));
        QCOMPARE(reopened.count(), rows + 2);
    }

    void retentionForgetsOnlyWhatIsOlder()
    {
        HistoryDatabase db;
        QVERIFY(db.open(path()));
        const qint64 t = now();
        QVERIFY(db.addVisits({{"http://old.test/", "Old", t - 91 * kDay},
                              {"http://recent.test/", "Recent", t - 89 * kDay},
                              {"http://revisited.test/", "Revisited", t - 120 * kDay},
                              {"http://revisited.test/", "Revisited", t - kDay}}));
        QCOMPARE(db.removeOlderThan(t - 90 * kDay), 1);
        QCOMPARE(addresses(db.recent(10)), (QStringList{"http://revisited.test/", "http://recent.test/"}));
        QVERIFY(db.search(QStringLiteral("Old"), 10).isEmpty());
    }

    void badFilesAreMovedAsideAndKept_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("not SQLite") << "garbage";
        QTest::newRow("truncated") << "truncated";
        QTest::newRow("another program's") << "foreign";
        QTest::newRow("a newer schema") << "newer";
    }

    void badFilesAreMovedAsideAndKept()
    {
        QFETCH(QString, kind);
        const QString file = path();
        if (kind == QLatin1String("garbage")) {
            write(file, QByteArray("this is no database\n").repeated(300));
        } else if (kind == QLatin1String("truncated")) {
            {
                HistoryDatabase db;
                QVERIFY(db.open(file));
                QList<HistoryVisit> visits;
                for (int i = 0; i < 2000; ++i)
                    visits.append({QStringLiteral("http://site%1.test/").arg(i), QString(200, QLatin1Char('t')), now()});
                QVERIFY(db.addVisits(visits));
            }
            const QByteArray whole = bytes(file);
            QVERIFY(whole.size() > 100000);
            write(file, whole.left(whole.size() / 2));
        } else if (kind == QLatin1String("foreign")) {
            runSql(file, {"CREATE TABLE pages(id INTEGER PRIMARY KEY, address TEXT)",
                          "INSERT INTO pages(address) VALUES ('theirs')"});
        } else {
            {
                HistoryDatabase db;
                QVERIFY(db.open(file));
            }
            runSql(file, {QStringLiteral("PRAGMA user_version=%1").arg(HistoryDatabase::kSchemaVersion + 1)});
        }
        const QByteArray before = bytes(file);
        QVERIFY(!before.isEmpty());

        HistoryDatabase db;
        QString notice;
        QVERIFY(db.open(file, &notice));
        QVERIFY2(notice.contains(QStringLiteral("已移到")), qPrintable(notice));
        const QStringList aside = QDir(m_dir.path()).entryList({QStringLiteral("History-*-*.sqlite")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QVERIFY(aside.first().contains(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))));
        QVERIFY(notice.contains(aside.first()));
        QCOMPARE(bytes(m_dir.filePath(aside.first())), before);
        // A new history in its place, working.
        QCOMPARE(db.count(), 0);
        QVERIFY(db.addVisits({{"http://new.test/", "New", now()}}));
        QCOMPARE(db.count(), 1);
        db.close();
        // Ours now: opened again as it is.
        HistoryDatabase again;
        notice.clear();
        QVERIFY(again.open(file, &notice));
        QCOMPARE(notice, QString());
        QCOMPARE(again.count(), 1);
    }

    // Nothing at the file's path or its companions is opened unless it is a plain file: a pipe
    // would hold the opening thread for good, a link would put the history where it points.
    void specialFilesAreRefusedNotFollowed_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("a pipe") << "pipe" << "";
        QTest::newRow("a dangling link") << "dangling" << "";
        QTest::newRow("a link to a history") << "history link" << "";
        QTest::newRow("a folder") << "folder" << "";
        QTest::newRow("a pipe as its log") << "pipe" << "-wal";
        QTest::newRow("a dangling link as its journal") << "dangling" << "-journal";
        QTest::newRow("a link to a device as its shared memory") << "device link" << "-shm";
    }

    void specialFilesAreRefusedNotFollowed()
    {
        QFETCH(QString, kind);
        QFETCH(QString, suffix);
        const QString file = path();
        const QString planted = file + suffix;
        const QString target = path(QStringLiteral("target.sqlite"));
        QDir(m_dir.path()).rmdir(QStringLiteral("History.sqlite"));
        QFile::remove(target);
        if (!suffix.isEmpty()) {
            HistoryDatabase db;
            QVERIFY(db.open(file));
            QVERIFY(db.addVisits({{"http://kept.test/", "Kept", now()}}));
        }
        if (kind == QLatin1String("pipe")) {
            QCOMPARE(::mkfifo(QFile::encodeName(planted).constData(), 0600), 0);
        } else if (kind == QLatin1String("dangling")) {
            QVERIFY(QFile::link(target, planted));
        } else if (kind == QLatin1String("history link")) {
            {
                HistoryDatabase other;
                QVERIFY(other.open(target));
            }
            QVERIFY(QFile::link(target, planted));
        } else if (kind == QLatin1String("device link")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/null"), planted));
        } else {
            QVERIFY(QDir().mkdir(planted));
        }
        const QByteArray targetBefore = bytes(target);

        HistoryDatabase db;
        QString notice;
        QVERIFY(!db.open(file, &notice));
        QVERIFY2(notice.contains(planted) && notice.contains(QStringLiteral("本次运行不记录历史")), qPrintable(notice));
        QVERIFY(!db.openToRead(file));
        // Left as it was found, and nothing made or changed where a link points.
        struct stat info;
        QCOMPARE(::lstat(QFile::encodeName(planted).constData(), &info), 0);
        QVERIFY(!S_ISREG(info.st_mode));
        QCOMPARE(bytes(target), targetBefore);
        QCOMPARE(QFileInfo::exists(target + QStringLiteral("-wal")), false);
        QVERIFY(QDir(m_dir.path()).entryList({QStringLiteral("History-*")}).isEmpty());

        // The program's history says so once and closes without waiting on anything.
        {
            History history(file, 90);
            QSignalSpy notices(&history, &History::notice);
            QVERIFY(notices.wait());
            QVERIFY(notices.first().first().toString().contains(planted));
            QVERIFY(!history.isReady());
        }
        QFile::remove(planted);
        QDir(m_dir.path()).rmdir(QStringLiteral("History.sqlite") + suffix);
    }

    // What the user deletes is gone from every file at once, not only from the list; so is
    // everything once the history is cleared.
    void deletedEntriesAreReadableNowhere()
    {
        const QByteArray secret = "http://secret-deleted.test/inbox";
        const QByteArray title = "Secret-title-deleted";
        {
            History history(path(), 90);
            QSignalSpy ready(&history, &History::ready);
            QVERIFY(ready.wait());
            const qint64 t = now();
            for (int i = 0; i < 50; ++i)
                history.record(QStringLiteral("http://kept%1.test/").arg(i), QStringLiteral("Kept"), t - i);
            history.record(QString::fromLatin1(secret), QString::fromLatin1(title), t);
            QSignalSpy committed(&history, &History::batchCommitted);
            history.flush();
            QVERIFY(committed.wait());
            // A reader on each thread, as the program has them.
            QCOMPARE(history.reader().entry(QString::fromLatin1(secret))->title, QString::fromLatin1(title));
            int found = -1;
            connect(history.search(), &HistorySearch::found, this,
                    [&found](quint64, const QList<HistoryEntry> &entries, bool done) {
                        if (done)
                            found = int(entries.size());
                    });
            history.search()->find(QString::fromLatin1(title), {}, 10);
            QTRY_COMPARE_WITH_TIMEOUT(found, 1, HistoryTesting::kThreadMs);
            QVERIFY(!filesHolding(m_dir.path(), secret).isEmpty());

            QSignalSpy changed(&history, &History::changed);
            history.remove({QString::fromLatin1(secret)});
            QVERIFY(changed.wait(HistoryTesting::kThreadMs));
            QCOMPARE(history.reader().count(), 50);
            QCOMPARE(filesHolding(m_dir.path(), secret), QStringList());
            QCOMPARE(filesHolding(m_dir.path(), title), QStringList());

            history.record(QString::fromLatin1(secret) + "2", QString::fromLatin1(title), t);
            QVERIFY(committed.wait());
            bool cleared = false;
            history.clear([&cleared](bool ok) { cleared = ok; });
            QVERIFY(changed.wait(HistoryTesting::kThreadMs));
            QVERIFY(cleared);
            QCOMPARE(filesHolding(m_dir.path(), secret), QStringList());
            QCOMPARE(filesHolding(m_dir.path(), "http://kept1"), QStringList());
            history.record(QString::fromLatin1(secret) + "3", QString::fromLatin1(title), t);
            history.flush();
            QVERIFY(committed.wait());
            history.remove({QString::fromLatin1(secret) + "3"});
            // Closed at once: the deletion and the close leave nothing either.
        }
        QCOMPARE(filesHolding(m_dir.path(), secret), QStringList());
        QCOMPARE(filesHolding(m_dir.path(), title), QStringList());
        HistoryDatabase db;
        QVERIFY(db.open(path()));
        QCOMPARE(db.count(), 0);
    }

    void anyTextIsKeptSafely()
    {
        HistoryDatabase db;
        QVERIFY(db.open(path()));
        const QString controls = QStringLiteral("a\x01\x1b[31mb\tc") + QChar(0) + QStringLiteral("d\x7f");
        const QString huge = QString(100 * 1024, QChar(0x4e2d));
        QString loneHigh = QStringLiteral("x");
        loneHigh += QChar(0xd800);
        loneHigh += QStringLiteral("y");
        QString loneLow = QStringLiteral("http://surrogate.test/");
        loneLow += QChar(0xdc00);
        const QString pair = QStringLiteral("emoji \U0001F600 ok");
        const QString injection = QStringLiteral("'); DROP TABLE pages; --");
        const QString tooLong = QStringLiteral("data:text/plain,") + QString(HistoryDatabase::kMaxAddress, QLatin1Char('a'));
        QVERIFY(db.addVisits({{"http://controls.test/", controls, now()},
                              {"http://huge.test/", huge, now()},
                              {"http://lone.test/", loneHigh, now()},
                              {loneLow, pair, now()},
                              {"http://inject.test/?q=" + injection, injection, now()},
                              {tooLong, "dropped", now()}}));
        QCOMPARE(db.count(), 5);
        QCOMPARE(db.entry(QStringLiteral("http://controls.test/"))->title, QStringLiteral("a  [31mb c d"));
        QCOMPARE(db.entry(QStringLiteral("http://huge.test/"))->title.size(), HistoryDatabase::kMaxTitle);
        QCOMPARE(db.entry(QStringLiteral("http://lone.test/"))->title, QStringLiteral("x\uFFFDy"));
        // The address is looked up the way it was kept.
        QVERIFY(db.entry(loneLow));
        QCOMPARE(db.entry(loneLow)->title, pair);
        QCOMPARE(addresses(db.search(QStringLiteral("\U0001F600 o"), 10)), QStringList{db.entry(loneLow)->address});
        QCOMPARE(db.entry("http://inject.test/?q=" + injection)->title, injection);
        QCOMPARE(addresses(db.search(injection, 10)), QStringList{"http://inject.test/?q=" + injection});
        QVERIFY(!db.entry(tooLong));
        // A title cut at its cap never leaves half a pair.
        QString pairs;
        for (int i = 0; i < HistoryDatabase::kMaxTitle; ++i)
            pairs += QStringLiteral("\U0001F600");
        QVERIFY(db.setTitle(QStringLiteral("http://huge.test/"), QStringLiteral("a") + pairs));
        const QString cut = db.entry(QStringLiteral("http://huge.test/"))->title;
        QVERIFY(cut.size() <= HistoryDatabase::kMaxTitle);
        QVERIFY(!cut.back().isHighSurrogate());
    }

    // The program's history: batches written on the writer's thread, read on this one.
    void visitsAreWrittenInBatchesOffThisThread()
    {
        History history(path(), 90);
        QSignalSpy ready(&history, &History::ready);
        QSignalSpy committed(&history, &History::batchCommitted);
        // The file is left alone while the program starts: a title that comes as the first
        // page loads waits in the queue (and finds no visit); the first batch starts the writer.
        history.updateTitle(QStringLiteral("http://batch.test/3"), QStringLiteral("Early"));
        QCoreApplication::processEvents();
        QVERIFY(!history.writerStarted());
        const qint64 t = now();
        for (int i = 0; i < History::kBatchVisits + 20; ++i)
            history.record(QStringLiteral("http://batch.test/%1").arg(i), QStringLiteral("Page %1").arg(i), t + i);
        QVERIFY(history.writerStarted());
        QVERIFY(!ready.isEmpty() || ready.wait());
        // A full batch goes at once; the rest when the batch time is up.
        QVERIFY(!committed.isEmpty() || committed.wait());
        QCOMPARE(committed.first().at(1).toInt(), History::kBatchVisits);
        QCOMPARE(history.reader().count(), History::kBatchVisits);
        QCOMPARE(history.reader().entry(QStringLiteral("http://batch.test/3"))->title, QStringLiteral("Page 3"));
        // A title that comes while its visit is still gathered goes with the visit.
        history.updateTitle(QStringLiteral("http://batch.test/110"), QStringLiteral("新闻头条"));
        QVERIFY(committed.size() == 2 || committed.wait());
        QCOMPARE(history.reader().count(), History::kBatchVisits + 20);
        QCOMPARE(history.reader().entry(QStringLiteral("http://batch.test/110"))->title, QStringLiteral("新闻头条"));
        // One that comes later reaches the file.
        history.updateTitle(QStringLiteral("http://batch.test/3"), QStringLiteral("Later"));
        bool cleared = false;
        QSignalSpy changed(&history, &History::changed);
        history.record(QStringLiteral("http://gathered.test/"), QString(), t);
        history.clear([&cleared](bool ok) { cleared = ok; });
        QVERIFY(changed.wait(HistoryTesting::kThreadMs));
        QVERIFY(cleared);
        QCOMPARE(history.reader().count(), 0);
        // What was still gathered went with the rest; nothing comes after.
        history.record(QStringLiteral("http://after.test/"), QStringLiteral("After"), t);
        history.flush();
        QVERIFY(committed.wait());
        QCOMPARE(addresses(history.reader().recent(10)), QStringList{"http://after.test/"});
    }

    void aHistoryThatCannotBeKeptSaysSoOnce()
    {
        // The folder the file should be in is a file: nothing can be made there.
        write(path(QStringLiteral("blocker")), "x");
        History history(path(QStringLiteral("blocker/History.sqlite")), 90);
        QSignalSpy notice(&history, &History::notice);
        QVERIFY(notice.wait());
        QVERIFY(notice.first().first().toString().contains(QStringLiteral("不记录历史")));
        QVERIFY(!history.isReady());
        history.record(QStringLiteral("http://a.test/"), QString(), now());
        history.flush();
        QCOMPARE(history.reader().count(), 0);
        QCOMPARE(bytes(path(QStringLiteral("blocker"))), QByteArray("x"));
    }
};

QTEST_MAIN(TestHistoryDatabase)
#include "tst_historydatabase.moc"
