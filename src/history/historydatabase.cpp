#include "historydatabase.h"

#include "../core/pinyin.h"
#include "../core/safefile.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSet>
#include <QStandardPaths>

#include <sys/stat.h>

#include <algorithm>

namespace {

QAtomicInteger<quint64> s_connections;

const char *const kSchema[] = {
    // rank: log2(visits) + last_visit in weeks. Visits that count half for every week since
    // the last one, compared in logarithms, order the same at any later time: the order can
    // be kept in an index.
    "CREATE TABLE pages(id INTEGER PRIMARY KEY, address TEXT NOT NULL UNIQUE, title TEXT NOT NULL DEFAULT '',"
    " visits INTEGER NOT NULL DEFAULT 0, last_visit INTEGER NOT NULL, rank REAL NOT NULL DEFAULT 0)",
    "CREATE INDEX pages_by_last_visit ON pages(last_visit)",
    "CREATE INDEX pages_by_rank ON pages(rank)",
    // Title and address as text the trigram tokenizer indexes: any substring of three
    // characters or more, Chinese included, is found without a word splitter.
    "CREATE VIRTUAL TABLE pages_text USING fts5(title, address, content='pages', content_rowid='id',"
    " tokenize='trigram')",
    "CREATE TRIGGER pages_added AFTER INSERT ON pages BEGIN"
    " INSERT INTO pages_text(rowid, title, address) VALUES (new.id, new.title, new.address); END",
    "CREATE TRIGGER pages_removed AFTER DELETE ON pages BEGIN"
    " INSERT INTO pages_text(pages_text, rowid, title, address) VALUES ('delete', old.id, old.title, old.address); END",
    // Only a changed title touches the index: a visit that counts up does not.
    "CREATE TRIGGER pages_retitled AFTER UPDATE OF title, address ON pages"
    " WHEN old.title IS NOT new.title OR old.address IS NOT new.address BEGIN"
    " INSERT INTO pages_text(pages_text, rowid, title, address) VALUES ('delete', old.id, old.title, old.address);"
    " INSERT INTO pages_text(rowid, title, address) VALUES (new.id, new.title, new.address); END",
};

// Version 2: pinyin keys of the titles (Pinyin::keys), an index of their own that finds a
// Chinese title by Latin letters. A row's keys are made when its title is written (`keyed`
// says they are); a file of version 1 gets the table and has its rows keyed after opening.
const char *const kUpgradeTo2[] = {
    "ALTER TABLE pages ADD COLUMN keyed INTEGER NOT NULL DEFAULT 0",
    "CREATE TABLE pinyin(key TEXT NOT NULL, page INTEGER NOT NULL, PRIMARY KEY(key, page)) WITHOUT ROWID",
    "CREATE INDEX pinyin_by_page ON pinyin(page, key)",
    "CREATE INDEX pages_unkeyed ON pages(id) WHERE keyed = 0",
    "CREATE TRIGGER pinyin_removed AFTER DELETE ON pages BEGIN DELETE FROM pinyin WHERE page = old.id; END",
    "CREATE TRIGGER pinyin_retitled AFTER UPDATE OF title ON pages WHEN old.title IS NOT new.title BEGIN"
    " UPDATE pages SET keyed = 0 WHERE id = new.id; END",
};

const QString kColumns = QStringLiteral("address, title, visits, last_visit, id, rank");

// Lone halves of surrogate pairs cannot be kept as UTF-8; they become U+FFFD.
QString withoutLoneSurrogates(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if (c.isSurrogate()) {
            out += QChar(QChar::ReplacementCharacter);
        } else {
            out += c;
        }
    }
    return out;
}

QString likePattern(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('%'), QLatin1String("\\%"));
    escaped.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

// The full-text index finds a phrase of three characters or more; shorter text is scanned.
bool useIndex(const QString &text)
{
    return text.toUcs4().size() >= 3;
}

// LIKE folds the case of ASCII letters only, the index that of every letter: they find the
// same where the text has no letter with case beyond ASCII (Chinese has none).
bool scanFindsTheSame(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80 && (c.toLower() != c || c.toUpper() != c))
            return false;
    return true;
}

QString phrase(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Which keys make a row a candidate for `text` (Pinyin::lookup), as a condition on the pinyin
// table; empty when the text is not looked for by pinyin.
QString pinyinKeys(const QString &text, QVariantList *values)
{
    if (!Pinyin::isQuery(text))
        return {};
    const Pinyin::Lookup lookup = Pinyin::shared().lookup(text);
    QStringList terms;
    for (const QString &prefix : lookup.prefixes) {
        terms << QStringLiteral("(key >= ? AND key < ?)");
        // '{' follows 'z': every key that begins with the prefix sorts before it.
        *values << prefix << prefix + QLatin1Char('{');
    }
    if (!lookup.exact.isEmpty()) {
        terms << QStringLiteral("key IN (%1)").arg(QStringList(lookup.exact.size(), QStringLiteral("?")).join(QLatin1Char(',')));
        for (const QString &key : lookup.exact)
            *values << key;
    }
    return terms.isEmpty() ? QString() : QLatin1Char('(') + terms.join(QStringLiteral(" OR ")) + QLatin1Char(')');
}

QString likeCondition()
{
    return QStringLiteral("(title LIKE ? ESCAPE '\\' OR address LIKE ? ESCAPE '\\')");
}

QString movedAsideName(const QString &path, const QString &why)
{
    const QFileInfo info(path);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('-') + why +
                         QLatin1Char('-') + stamp;
    QString name = base + QStringLiteral(".sqlite");
    for (int n = 2; QFileInfo::exists(name) || QFileInfo::exists(name + QStringLiteral("-wal")); ++n)
        name = base + QStringLiteral("-%1.sqlite").arg(n);
    return name;
}

} // namespace

HistoryDatabase::HistoryDatabase()
    : m_connection(QStringLiteral("sablix-history-%1").arg(s_connections.fetchAndAddRelaxed(1)))
{
}

HistoryDatabase::~HistoryDatabase()
{
    closeConnection();
}

QString HistoryDatabase::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/sablix/History.sqlite");
}

bool HistoryDatabase::refuseSpecialFiles(const QString &path, QString *notice)
{
    // Looked at without opening or following anything: opening a pipe waits for a writer
    // that never comes, and a link would have SQLite make or write the history (or its
    // journal) wherever it points.
    for (const QString &file : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm"),
                                path + QStringLiteral("-journal")}) {
        struct stat info;
        if (::lstat(QFile::encodeName(file).constData(), &info) != 0 || S_ISREG(info.st_mode))
            continue;
        m_lastError = QStringLiteral("%1 is not a plain file").arg(file);
        if (notice)
            *notice = QStringLiteral("历史记录文件 %1 %2，未打开它；本次运行不记录历史。").arg(file, SafeFile::refusedKind(info.st_mode));
        return true;
    }
    return false;
}

bool HistoryDatabase::openConnection(const QString &path, bool readOnly)
{
    closeConnection();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(path);
    db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000")
                                  : QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        m_lastError = db.lastError().text();
        return false;
    }
    return true;
}

void HistoryDatabase::closeConnection()
{
    if (!QSqlDatabase::contains(m_connection))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
    m_state = OpenState::Closed;
    m_writable = false;
}

void HistoryDatabase::close()
{
    if (isOpen() && m_writable) {
        // Deleted rows linger in the full-text index's older segments until they are merged.
        if (m_indexHoldsDeleted && exec(QStringLiteral("INSERT INTO pages_text(pages_text) VALUES ('optimize')")))
            m_indexHoldsDeleted = false;
        scrubLog();
    }
    closeConnection();
}

void HistoryDatabase::scrubLog()
{
    // Pages written before the deletion stay in the log until it starts over: the log is
    // copied into the file and cut to nothing. A reader in the middle of a query can hold it
    // up; the next deletion or the close tries again.
    exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

bool HistoryDatabase::exec(const QString &sql)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (query.exec(sql))
        return true;
    m_lastError = query.lastError().text();
    return false;
}

HistoryDatabase::FileState HistoryDatabase::inspect()
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    auto number = [&query](const QString &sql, bool *ok) {
        *ok = query.exec(sql) && query.next();
        return *ok ? query.value(0).toLongLong() : 0;
    };
    bool ok = false;
    // A file that is not SQLite at all fails on its first read.
    const qint64 tables = number(QStringLiteral("SELECT count(*) FROM sqlite_master"), &ok);
    if (!ok)
        return FileState::Damaged;
    const qint64 application = number(QStringLiteral("PRAGMA application_id"), &ok);
    if (!ok)
        return FileState::Damaged;
    const qint64 version = number(QStringLiteral("PRAGMA user_version"), &ok);
    if (!ok)
        return FileState::Damaged;
    if (application != kApplicationId)
        return tables == 0 && application == 0 && version == 0 ? FileState::Empty : FileState::Foreign;
    if (version > kSchemaVersion)
        return FileState::Newer;
    if (version < 1)
        return FileState::Damaged;
    const bool older = version < kSchemaVersion;
    // A file cut short or with broken pages.
    if (!query.exec(QStringLiteral("PRAGMA quick_check")) || !query.next() ||
        query.value(0).toString() != QLatin1String("ok"))
        return FileState::Damaged;
    number(QStringLiteral("SELECT count(*) FROM pages_text"), &ok);
    if (!ok)
        return FileState::Damaged;
    return older ? FileState::Older : FileState::Ours;
}

bool HistoryDatabase::configure()
{
    // WAL: readers never wait for the writer; NORMAL: a commit survives the process being
    // killed (what is lost to a power cut is the last commits, never the file).
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !query.next() ||
        query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        m_lastError = query.lastError().text();
        return false;
    }
    // Deleted rows are overwritten, not only unlinked (Debian's SQLite does it by default;
    // others need asking).
    return exec(QStringLiteral("PRAGMA synchronous=NORMAL")) && exec(QStringLiteral("PRAGMA secure_delete=ON"));
}

bool HistoryDatabase::createSchema(bool fromVersion1)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction())
        return false;
    // A new file is made as version 1 was and upgraded the same way an old one is.
    if (!fromVersion1) {
        for (const char *statement : kSchema) {
            if (!exec(QString::fromLatin1(statement))) {
                db.rollback();
                return false;
            }
        }
    }
    for (const char *statement : kUpgradeTo2) {
        if (!exec(QString::fromLatin1(statement))) {
            db.rollback();
            return false;
        }
    }
    if (!exec(QStringLiteral("PRAGMA application_id=%1").arg(kApplicationId)) ||
        !exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion))) {
        db.rollback();
        return false;
    }
    return db.commit();
}

bool HistoryDatabase::keyRows(const QString &where, const QVariantList &values, int limit, int *keyed)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT id, title FROM pages WHERE keyed = 0%1 LIMIT ?")
                      .arg(where.isEmpty() ? QString() : QStringLiteral(" AND ") + where));
    for (const QVariant &value : values)
        query.addBindValue(value);
    query.addBindValue(limit);
    if (!query.exec()) {
        m_lastError = query.lastError().text();
        return false;
    }
    QList<QPair<qint64, QString>> rows;
    while (query.next())
        rows.append({query.value(0).toLongLong(), query.value(1).toString()});
    query.finish();
    const Pinyin &pinyin = Pinyin::shared();
    QSqlQuery drop(db), insert(db), done(db);
    drop.prepare(QStringLiteral("DELETE FROM pinyin WHERE page = ?"));
    insert.prepare(QStringLiteral("INSERT OR IGNORE INTO pinyin(key, page) VALUES (?, ?)"));
    done.prepare(QStringLiteral("UPDATE pages SET keyed = 1 WHERE id = ?"));
    for (const auto &[id, title] : std::as_const(rows)) {
        drop.addBindValue(id);
        bool ok = drop.exec();
        for (const QString &key : pinyin.keys(title)) {
            if (!ok)
                break;
            insert.addBindValue(key);
            insert.addBindValue(id);
            ok = insert.exec();
        }
        done.addBindValue(id);
        if (!ok || !done.exec()) {
            m_lastError = (ok ? done : insert).lastError().text();
            return false;
        }
    }
    if (keyed)
        *keyed = int(rows.size());
    return true;
}

int HistoryDatabase::keyPending(int limit)
{
    if (!isOpen() || !m_writable)
        return -1;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction())
        return -1;
    int keyed = 0;
    if (!keyRows(QString(), {}, limit, &keyed) || !db.commit()) {
        db.rollback();
        return -1;
    }
    return keyed;
}

bool HistoryDatabase::open(const QString &path, QString *notice)
{
    m_path = path;
    m_state = OpenState::Unusable;
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        m_lastError = QStringLiteral("cannot make the folder");
        return false;
    }
    if (refuseSpecialFiles(path, notice))
        return false;
    FileState state = FileState::Missing;
    if (QFileInfo::exists(path)) {
        // Looked at read-only: a file that is not ours is left exactly as it was.
        state = openConnection(path, true) ? inspect() : FileState::Damaged;
        closeConnection();
        m_state = OpenState::Unusable;
    }
    if (state == FileState::Damaged || state == FileState::Foreign || state == FileState::Newer) {
        const QString why = state == FileState::Damaged   ? QStringLiteral("damaged")
                            : state == FileState::Foreign ? QStringLiteral("foreign")
                                                          : QStringLiteral("newer");
        const QString aside = movedAsideName(path, why);
        if (!QFile::rename(path, aside)) {
            m_lastError = QStringLiteral("cannot move the file aside");
            if (notice)
                *notice = QStringLiteral("历史记录文件 %1 无法使用，也无法移开；本次运行不记录历史。").arg(path);
            return false;
        }
        // Its journal belongs to it: it goes along, under the same new name.
        for (const QString &suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")})
            if (QFileInfo::exists(path + suffix))
                QFile::rename(path + suffix, aside + suffix);
        if (notice) {
            const QString reason = state == FileState::Damaged   ? QStringLiteral("已损坏")
                                   : state == FileState::Foreign ? QStringLiteral("不是 sablix 的历史记录")
                                                                 : QStringLiteral("来自更新的版本");
            *notice = QStringLiteral("历史记录文件%1，已移到 %2，并新建了历史记录。").arg(reason, aside);
        }
        state = FileState::Missing;
    }
    if (!openConnection(path, false) || !configure())
        return false;
    if (state != FileState::Ours && !createSchema(state == FileState::Older))
        return false;
    m_state = OpenState::Opened;
    m_writable = true;
    return true;
}

bool HistoryDatabase::openToRead(const QString &path)
{
    m_path = path;
    m_state = OpenState::Unusable;
    if (!QFileInfo::exists(path) || refuseSpecialFiles(path, nullptr))
        return false;
    if (!openConnection(path, true))
        return false;
    m_state = OpenState::Opened;
    return true;
}

QString HistoryDatabase::cleanTitle(const QString &title)
{
    QString clean = withoutLoneSurrogates(title.left(kMaxTitle + 1));
    for (QChar &c : clean)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    clean = clean.trimmed();
    if (clean.size() > kMaxTitle) {
        clean.truncate(kMaxTitle);
        // Never half a pair at the cut.
        if (clean.back().isHighSurrogate())
            clean.chop(1);
    }
    return clean;
}

QString HistoryDatabase::cleanAddress(const QString &address)
{
    return withoutLoneSurrogates(address);
}

bool HistoryDatabase::addVisits(const QList<HistoryVisit> &visits)
{
    if (!isOpen())
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) {
        m_lastError = db.lastError().text();
        return false;
    }
    QSqlQuery query(db);
    // A visit counts up the address's row; the title stays unless the visit brings one.
    query.prepare(QStringLiteral(
        "INSERT INTO pages(address, title, visits, last_visit, rank) VALUES (?, ?, 1, ?, ? / 604800000.0)"
        " ON CONFLICT(address) DO UPDATE SET visits = visits + 1, last_visit = max(last_visit, excluded.last_visit),"
        " rank = log2(visits + 1) + max(last_visit, excluded.last_visit) / 604800000.0,"
        " title = CASE WHEN excluded.title <> '' THEN excluded.title ELSE title END"));
    for (const HistoryVisit &visit : visits) {
        if (visit.address.isEmpty() || visit.address.size() > kMaxAddress)
            continue;
        query.addBindValue(cleanAddress(visit.address));
        query.addBindValue(cleanTitle(visit.title));
        query.addBindValue(visit.time);
        query.addBindValue(visit.time);
        if (!query.exec()) {
            m_lastError = query.lastError().text();
            db.rollback();
            return false;
        }
    }
    // A new page or a new title: its pinyin keys go in with it.
    for (const HistoryVisit &visit : visits) {
        if (visit.address.isEmpty() || visit.address.size() > kMaxAddress)
            continue;
        if (!keyRows(QStringLiteral("address = ?"), {cleanAddress(visit.address)}, 1)) {
            db.rollback();
            return false;
        }
    }
    if (!db.commit()) {
        m_lastError = db.lastError().text();
        db.rollback();
        return false;
    }
    return true;
}

bool HistoryDatabase::setTitle(const QString &address, const QString &title)
{
    if (!isOpen())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction())
        return false;
    query.prepare(QStringLiteral("UPDATE pages SET title = ? WHERE address = ?"));
    query.addBindValue(cleanTitle(title));
    query.addBindValue(cleanAddress(address));
    if (!query.exec()) {
        m_lastError = query.lastError().text();
        db.rollback();
        return false;
    }
    if (!keyRows(QStringLiteral("address = ?"), {cleanAddress(address)}, 1) || !db.commit()) {
        db.rollback();
        return false;
    }
    return true;
}

bool HistoryDatabase::remove(const QStringList &addresses)
{
    if (!isOpen())
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction())
        return false;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("DELETE FROM pages WHERE address = ?"));
    for (const QString &address : addresses) {
        query.addBindValue(cleanAddress(address));
        if (!query.exec()) {
            m_lastError = query.lastError().text();
            db.rollback();
            return false;
        }
    }
    if (!db.commit())
        return false;
    m_indexHoldsDeleted = true;
    scrubLog();
    return true;
}

bool HistoryDatabase::clear()
{
    if (!isOpen())
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction())
        return false;
    // The indexes are emptied whole rather than row by row.
    if (!exec(QStringLiteral("DELETE FROM pinyin")) || !exec(QStringLiteral("DELETE FROM pages")) ||
        !exec(QStringLiteral("INSERT INTO pages_text(pages_text) VALUES ('delete-all')"))) {
        db.rollback();
        return false;
    }
    if (!db.commit())
        return false;
    // What was cleared is not left readable in the log or the free pages. VACUUM writes the
    // new file through the log: the old pages stay in the file until it is copied in.
    m_indexHoldsDeleted = false;
    scrubLog();
    exec(QStringLiteral("VACUUM"));
    scrubLog();
    return true;
}

int HistoryDatabase::removeOlderThan(qint64 cutoff)
{
    if (!isOpen())
        return 0;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("DELETE FROM pages WHERE last_visit < ?"));
    query.addBindValue(cutoff);
    if (!query.exec()) {
        m_lastError = query.lastError().text();
        return 0;
    }
    // Expired rows leave the log too; the index is merged for what the user deleted only, not
    // for what expires every day (a merge rewrites the whole index).
    const int removed = query.numRowsAffected();
    if (removed > 0)
        scrubLog();
    return removed;
}

int HistoryDatabase::count()
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!isOpen() || !query.exec(QStringLiteral("SELECT count(*) FROM pages")) || !query.next())
        return 0;
    return query.value(0).toInt();
}

QList<HistoryEntry> HistoryDatabase::select(const QString &where, const QVariantList &values, const QString &order,
                                            int limit, int offset, const QString &from, const QString &pinyin)
{
    QList<HistoryEntry> entries;
    if (!isOpen())
        return entries;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    // Rows the pinyin keys brought are only candidates: a row is kept when its text holds
    // what was typed or its title matches by pinyin. They are read until enough are kept.
    const bool verify = !pinyin.isEmpty();
    query.prepare(QStringLiteral("SELECT %1%5 FROM %4%2 ORDER BY %3 LIMIT ? OFFSET ?")
                      .arg(kColumns, where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where, order, from,
                           verify ? QStringLiteral(", ") + likeCondition() : QString()));
    if (verify) {
        query.addBindValue(likePattern(pinyin));
        query.addBindValue(likePattern(pinyin));
    }
    for (const QVariant &value : values)
        query.addBindValue(value);
    query.addBindValue(verify ? -1 : limit);
    query.addBindValue(offset);
    if (!query.exec()) {
        m_lastError = query.lastError().text();
        return entries;
    }
    while ((!verify || entries.size() < limit) && query.next()) {
        const QString title = query.value(1).toString();
        if (verify && !query.value(6).toBool() && !Pinyin::shared().matches(pinyin, title))
            continue;
        entries.append({query.value(0).toString(), title, query.value(2).toInt(), query.value(3).toLongLong(),
                        query.value(4).toLongLong(), query.value(5).toDouble()});
    }
    return entries;
}

QString HistoryDatabase::pinyinCandidates(const QString &text, QVariantList *values)
{
    QVariantList keyValues;
    const QString keys = pinyinKeys(text, &keyValues);
    if (keys.isEmpty())
        return {};
    // Few keys: their rows are gathered once. Many: each row read asks for its own keys in
    // the index, so that a walk in rank or time order stops at the first matches instead of
    // gathering tens of thousands of rows first.
    QSqlQuery count(QSqlDatabase::database(m_connection, false));
    count.prepare(QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM pinyin WHERE %1 LIMIT %2)").arg(keys).arg(kFewKeys + 1));
    for (const QVariant &value : std::as_const(keyValues))
        count.addBindValue(value);
    const bool few = count.exec() && count.next() && count.value(0).toInt() <= kFewKeys;
    *values += keyValues;
    return few ? QStringLiteral("id IN (SELECT page FROM pinyin WHERE %1)").arg(keys)
               : QStringLiteral("EXISTS (SELECT 1 FROM pinyin WHERE page = id AND %1)").arg(keys);
}

std::optional<HistoryEntry> HistoryDatabase::entry(const QString &address)
{
    const QList<HistoryEntry> found =
        select(QStringLiteral("address = ?"), {cleanAddress(address)}, QStringLiteral("id"), 1);
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

QList<HistoryEntry> HistoryDatabase::recent(int limit, int offset)
{
    return select(QString(), {}, QStringLiteral("last_visit DESC, id DESC"), limit, offset);
}

QList<HistoryEntry> HistoryDatabase::search(const QString &text, int limit)
{
    QList<HistoryEntry> all;
    HistoryKey from;
    QList<HistoryEntry> step;
    for (bool more = true; more && all.size() < limit; all += step)
        more = searchStep(text, from, limit - int(all.size()), &step);
    return all;
}

bool HistoryDatabase::scanStep(const QString &wanted, HistoryKey &from, int limit, QList<HistoryEntry> *found)
{
    // (last_visit, id) walks the index on last_visit, whose entries end in the id.
    QString where = QStringLiteral("(last_visit, id) < (?, ?)");
    QVariantList values{from.lastVisit, from.id};
    std::optional<HistoryKey> bound;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT last_visit, id FROM pages WHERE (last_visit, id) < (?, ?)"
                                 " ORDER BY last_visit DESC, id DESC LIMIT 1 OFFSET ?"));
    query.addBindValue(from.lastVisit);
    query.addBindValue(from.id);
    query.addBindValue(kScanStep - 1);
    if (!query.exec()) {
        m_lastError = query.lastError().text();
        return false;
    }
    if (query.next()) {
        bound = HistoryKey{query.value(0).toLongLong(), query.value(1).toLongLong()};
        where += QStringLiteral(" AND (last_visit, id) >= (?, ?)");
        values << bound->lastVisit << bound->id;
    }
    values << likePattern(wanted) << likePattern(wanted);
    QVariantList pinyinValues;
    const QString candidates = pinyinCandidates(wanted, &pinyinValues);
    if (candidates.isEmpty()) {
        where += QStringLiteral(" AND ") + likeCondition();
    } else {
        where += QStringLiteral(" AND (%1 OR %2)").arg(likeCondition(), candidates);
        values += pinyinValues;
    }
    m_lastError.clear();
    *found = select(where, values, QStringLiteral("last_visit DESC, id DESC"), limit, 0, QStringLiteral("pages"),
                    candidates.isEmpty() ? QString() : wanted);
    if (!m_lastError.isEmpty())
        return false;
    if (found->size() >= limit) {
        from = HistoryKey::after(found->last());
        return true;
    }
    if (bound) {
        from = *bound;
        return true;
    }
    if (!found->isEmpty())
        from = HistoryKey::after(found->last());
    return false;
}

bool HistoryDatabase::searchStep(const QString &text, HistoryKey &from, int limit, QList<HistoryEntry> *found)
{
    found->clear();
    if (!isOpen() || limit <= 0)
        return false;
    const QString wanted = cleanAddress(text.trimmed());
    // No index finds one or two characters: the entries are read a stretch at a time.
    if (!wanted.isEmpty() && !useIndex(wanted))
        return scanStep(wanted, from, limit, found);
    if (!wanted.isEmpty() && scanFindsTheSame(wanted)) {
        // Text found often ("com") is found sooner among the newest entries than by sorting
        // everything the index finds; rarer text goes on in the index after the stretch read.
        if (!scanStep(wanted, from, limit, found) || found->size() >= limit)
            return !m_lastError.isEmpty() ? false : found->size() >= limit;
    }
    QString where = QStringLiteral("(last_visit, id) < (?, ?)");
    QVariantList values{from.lastVisit, from.id};
    QVariantList pinyinValues;
    const QString candidates = pinyinCandidates(wanted, &pinyinValues);
    if (!wanted.isEmpty()) {
        where += QStringLiteral(" AND (id IN (SELECT rowid FROM pages_text WHERE pages_text MATCH ?)%1)")
                     .arg(candidates.isEmpty() ? QString() : QStringLiteral(" OR ") + candidates);
        values << phrase(wanted) << pinyinValues;
    }
    const int rest = limit - int(found->size());
    m_lastError.clear();
    const QList<HistoryEntry> more = select(where, values, QStringLiteral("last_visit DESC, id DESC"), rest, 0,
                                            QStringLiteral("pages"), candidates.isEmpty() ? QString() : wanted);
    if (!m_lastError.isEmpty())
        return false;
    *found += more;
    if (!found->isEmpty())
        from = HistoryKey::after(found->last());
    return more.size() >= rest;
}

QList<HistoryEntry> HistoryDatabase::suggest(const QString &text, int limit)
{
    const QString wanted = cleanAddress(text.trimmed());
    if (wanted.isEmpty())
        return {};
    const QString rank = QStringLiteral("rank DESC, id DESC");
    // First among the best ranked: what matches there outranks any match further down, and
    // text that matches everywhere ("http") is answered without reading everything.
    QList<HistoryEntry> found = select(likeCondition(), {likePattern(wanted), likePattern(wanted)}, rank, limit, 0,
                                       QStringLiteral("(SELECT * FROM pages ORDER BY rank DESC LIMIT %1)").arg(kSuggestFirst));
    // One or two characters suggest only from there; longer text is looked up in the index.
    if (found.size() < limit && useIndex(wanted))
        found = select(QStringLiteral("id IN (SELECT rowid FROM pages_text WHERE pages_text MATCH ?)"), {phrase(wanted)},
                       rank, limit);
    // Latin letters also find Chinese titles by their pinyin, anywhere in rank order; the
    // keys give candidates, which `select` checks. Both lists are merged in rank order.
    QVariantList pinyinValues;
    const QString candidates = pinyinCandidates(wanted, &pinyinValues);
    if (candidates.isEmpty())
        return found;
    const QList<HistoryEntry> byPinyin = select(candidates, pinyinValues, rank, limit, 0, QStringLiteral("pages"), wanted);
    QSet<qint64> ids;
    for (const HistoryEntry &entry : std::as_const(found))
        ids.insert(entry.id);
    for (const HistoryEntry &entry : byPinyin)
        if (!ids.contains(entry.id))
            found.append(entry);
    std::sort(found.begin(), found.end(), [](const HistoryEntry &a, const HistoryEntry &b) {
        return a.rank != b.rank ? a.rank > b.rank : a.id > b.id;
    });
    return found.mid(0, limit);
}
