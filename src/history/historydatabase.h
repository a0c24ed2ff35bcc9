#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <limits>
#include <optional>

// One visited address as the history keeps it: the latest title, how often and when it was
// last visited (milliseconds since the epoch, UTC).
struct HistoryEntry
{
    QString address;
    QString title;
    int visits = 0;
    qint64 lastVisit = 0;
    qint64 id = 0;
    // The order of suggestions: log2(visits) + the last visit in weeks.
    double rank = 0;
};

// Where a listing newest first stands: the entries after it are those last visited before
// `lastVisit`, or at the same time with a smaller id. Pages are asked for by this key, so that
// the thousandth page costs what the first does.
struct HistoryKey
{
    qint64 lastVisit = std::numeric_limits<qint64>::max();
    qint64 id = std::numeric_limits<qint64>::max();

    static HistoryKey after(const HistoryEntry &entry) { return {entry.lastVisit, entry.id}; }
};

// One visit to record.
struct HistoryVisit
{
    QString address;
    QString title;
    qint64 time = 0;
};

// The history file, History.sqlite, through one connection of Qt's SQLite driver: its
// schema, visits written in batches, titles, removal and retention, and the queries. One
// address is one row counting its visits; a full-text table with the trigram tokenizer
// follows it, kept in step by triggers. A connection belongs to the thread that opened it.
class HistoryDatabase
{
public:
    static constexpr int kSchemaVersion = 2;
    // Written into the file's header: a file with another id is some other program's.
    static constexpr int kApplicationId = 0x53424c58;
    static constexpr int kMaxTitle = 1000;
    // Longer addresses (pages made of data) are not kept.
    static constexpr int kMaxAddress = 65536;
    static constexpr int kDefaultDays = 90;
    static constexpr int kMaxDays = 3650;

    enum class OpenState { Closed, Opened, Unusable };

    HistoryDatabase();
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase &) = delete;
    HistoryDatabase &operator=(const HistoryDatabase &) = delete;

    // The usual place: $XDG_DATA_HOME/sablix/History.sqlite.
    static QString defaultPath();

    // Opens the file, or starts a new one. A damaged file, some other program's, or one of a
    // newer schema is moved aside first (renamed with the date, never deleted) and `notice`
    // says so; a file that can be neither used nor moved leaves the history off for the run.
    bool open(const QString &path, QString *notice = nullptr);
    // Opens an existing history only to read (another thread's view of it).
    bool openToRead(const QString &path);
    // A history opened to write leaves no log behind: its last changes go into the file first.
    void close();
    bool isOpen() const { return m_state == OpenState::Opened; }
    QString path() const { return m_path; }
    QString lastError() const { return m_lastError; }

    // All in one transaction: either every visit of the batch is in, or none is.
    bool addVisits(const QList<HistoryVisit> &visits);
    bool setTitle(const QString &address, const QString &title);
    bool remove(const QStringList &addresses);
    bool clear();
    // Forgets what was last visited before `cutoff` (ms since the epoch); how many went.
    int removeOlderThan(qint64 cutoff);
    // Makes the pinyin keys of at most `limit` rows that have none yet (those of a file
    // kept before there were keys), in a transaction of their own: how many, -1 on an error.
    int keyPending(int limit);

    int count();
    std::optional<HistoryEntry> entry(const QString &address);
    // Newest first, at most `limit`, after skipping the first `offset`.
    QList<HistoryEntry> recent(int limit, int offset = 0);
    // Title or address containing `text` (any case for letters of the Latin script): the
    // full-text index from three characters on, a plain scan below; Latin letters also find
    // titles by pinyin. Newest first.
    QList<HistoryEntry> search(const QString &text, int limit);
    // One step of that search (everything when `text` is empty) among the entries after
    // `from`: at most `limit` matches into `found`, having read at most kScanStep entries when
    // the text is scanned, so that a step can be given up between two. `from` moves on to
    // where the next step starts; false once nothing is left after it (or on an error).
    bool searchStep(const QString &text, HistoryKey &from, int limit, QList<HistoryEntry> *found);
    static constexpr int kScanStep = 4096;
    // Two or more Latin letters and nothing else also find Chinese titles by their pinyin
    // (Pinyin::matches), through the pinyin keys.
    // The same matches, most visited and most recent first (visits count half for every
    // week since the last): what to suggest. One or two characters are looked for among the
    // kSuggestFirst best ranked only.
    QList<HistoryEntry> suggest(const QString &text, int limit);
    static constexpr int kSuggestFirst = 2000;

    // Text made safe to keep: lone halves of surrogate pairs replaced; for a title, control
    // characters become spaces and the length is capped.
    static QString cleanTitle(const QString &title);
    static QString cleanAddress(const QString &address);

private:
    enum class FileState { Missing, Ours, Older, Empty, Damaged, Foreign, Newer };
    bool openConnection(const QString &path, bool readOnly);
    void closeConnection();
    FileState inspect();
    bool createSchema(bool fromVersion1);
    // Makes the pinyin keys of at most `limit` rows not keyed yet that `where` chooses, in the
    // transaction under way; how many in `keyed`.
    // Rows the pinyin keys give as candidates for `text`, as a condition on the pages with
    // its values; empty when the text is not looked for by pinyin.
    QString pinyinCandidates(const QString &text, QVariantList *values);
    static constexpr int kFewKeys = 2000;
    bool keyRows(const QString &where, const QVariantList &values, int limit, int *keyed = nullptr);
    bool configure();
    bool exec(const QString &sql);
    // A search step that reads the next kScanStep entries (or fewer, once `limit` is found).
    bool scanStep(const QString &wanted, HistoryKey &from, int limit, QList<HistoryEntry> *found);
    // What was deleted is left in neither the log nor the file's free space.
    void scrubLog();
    // Anything at the path or at SQLite's companions of it that is not a plain file.
    bool refuseSpecialFiles(const QString &path, QString *notice);
    QList<HistoryEntry> select(const QString &where, const QVariantList &values, const QString &order, int limit,
                               int offset = 0, const QString &from = QStringLiteral("pages"), const QString &pinyin = QString());

    QString m_connection;
    QString m_path;
    QString m_lastError;
    OpenState m_state = OpenState::Closed;
    bool m_writable = false;
    // Rows were deleted since the full-text index was last merged.
    bool m_indexHoldsDeleted = false;
};
