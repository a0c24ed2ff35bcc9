#include "filtercache.h"

#include "../core/safefile.h"

#include "filterregex.h"
#include "filtersources.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include <sys/stat.h>

namespace {

// Little-endian as the machine writes it: the file is a cache of this machine, and another
// byte order fails the magic.
class Writer
{
public:
    QByteArray out;

    template <typename T> void number(T value) { out.append(reinterpret_cast<const char *>(&value), sizeof value); }
    void text(std::string_view value)
    {
        number(quint32(value.size()));
        out.append(value.data(), qsizetype(value.size()));
    }
    void strings(const std::vector<std::string> &values)
    {
        number(quint32(values.size()));
        for (const std::string &value : values)
            text(value);
    }
};

class Reader
{
public:
    explicit Reader(QByteArrayView bytes) : m_at(bytes.data()), m_end(bytes.data() + bytes.size()) {}

    bool failed = false;

    template <typename T> T number()
    {
        T value{};
        if (size_t(m_end - m_at) < sizeof value) {
            failed = true;
            return value;
        }
        std::memcpy(&value, m_at, sizeof value);
        m_at += sizeof value;
        return value;
    }
    std::string text() { return std::string(view()); }
    // Valid as long as the bytes read.
    std::string_view view()
    {
        const quint32 size = number<quint32>();
        if (failed || size_t(m_end - m_at) < size) {
            failed = true;
            return {};
        }
        const std::string_view value(m_at, size);
        m_at += size;
        return value;
    }
    // A count of items that each take at least `least` bytes: never more than the rest holds.
    quint32 count(size_t least)
    {
        const quint32 n = number<quint32>();
        if (failed || size_t(m_end - m_at) / least < n) {
            failed = true;
            return 0;
        }
        return n;
    }
    // `n` items of `size` bytes each, as they are.
    bool raw(void *into, size_t n, size_t size)
    {
        if (failed || size_t(m_end - m_at) / size < n) {
            failed = true;
            return false;
        }
        if (n == 0)
            return true; // `into` may be null then, which memcpy must not be given
        std::memcpy(into, m_at, n * size);
        m_at += n * size;
        return true;
    }
    std::vector<std::string> strings()
    {
        std::vector<std::string> values(count(4));
        for (std::string &value : values)
            value = text();
        return values;
    }
    bool atEnd() const { return m_at == m_end; }

private:
    const char *m_at;
    const char *m_end;
};

template <typename Ids> void writeIds(Writer &w, const Ids &ids)
{
    w.number(quint32(ids.size()));
    w.out.append(reinterpret_cast<const char *>(ids.data()), qsizetype(ids.size() * sizeof(uint32_t)));
}

// Ids that all name one of `limit` rules.
template <typename Ids> bool readIds(Reader &r, Ids &ids, size_t limit)
{
    ids.resize(r.count(4));
    if (!r.raw(ids.data(), ids.size(), sizeof(uint32_t)))
        return false;
    for (uint32_t id : ids)
        if (id >= limit)
            return false;
    return true;
}

template <typename Map> void writeNamedIds(Writer &w, const Map &map)
{
    w.number(quint32(map.size()));
    for (const auto &[name, ids] : map) {
        w.text(name);
        writeIds(w, ids);
    }
}

template <typename Map> bool readNamedIds(Reader &r, Map &map, size_t limit)
{
    const quint32 n = r.count(8);
    map.reserve(n);
    for (quint32 i = 0; i < n && !r.failed; ++i) {
        std::string name = r.text();
        if (!readIds(r, map[std::move(name)], limit))
            return false;
    }
    return !r.failed;
}

// The token tables are kept as they are in memory: a hash, where its bucket begins, its length.
static_assert(sizeof(TokenIndex::Slot) == 16 && offsetof(TokenIndex::Slot, begin) == 8 &&
              offsetof(TokenIndex::Slot, count) == 12 && std::is_trivially_copyable_v<TokenIndex::Slot>);

enum NetworkFlags : quint16 {
    Exception = 1 << 0,
    Important = 1 << 1,
    MatchCase = 1 << 2,
    HostAnchor = 1 << 3,
    StartAnchor = 1 << 4,
    EndAnchor = 1 << 5,
    WholeDocument = 1 << 6,
    NoHiding = 1 << 7,
    NoGenericHiding = 1 << 8,
    BadFilter = 1 << 9,
    HasRegex = 1 << 10,
    HasDomains = 1 << 11,
};

constexpr size_t kHeaderSize = sizeof FilterCache::kMagic + 4 + 8 + 8;

} // namespace

QString FilterCache::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/sablix/filters.cache");
}

QByteArray FilterCache::sourcesKey(const QStringList &files, const QString &userRules)
{
    Writer key;
    key.number(quint32(files.size()));
    for (const QString &path : files) {
        key.text(path.toStdString());
        struct stat info{};
        if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
            key.number(qint64(-1));
            continue;
        }
        key.number(qint64(info.st_size));
        key.number(qint64(info.st_mtim.tv_sec));
        key.number(qint64(info.st_mtim.tv_nsec));
        key.number(quint64(info.st_ino));
        key.number(quint64(info.st_dev));
        // The user's rules are small and edited by hand, maybe twice within a clock tick.
        if (path == userRules) {
            const QByteArray text = FilterSources::read(path, FilterSources::kMaxListBytes).value_or(QByteArray());
            key.text(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toStdString());
        }
    }
    return key.out;
}

quint64 FilterCache::checksum(QByteArrayView bytes)
{
    // Thirty-two bytes at a time in four lanes that do not wait for each other (one chain of
    // multiplications was a fifth of a load), eight at a time for the rest; any damage
    // changes it.
    auto mix = [](quint64 &hash, quint64 word) {
        hash ^= word;
        hash *= 0xff51afd7ed558ccdull;
        hash ^= hash >> 32;
    };
    quint64 lanes[4] = {0x9e3779b97f4a7c15ull ^ quint64(bytes.size()), 0x6a09e667f3bcc909ull, 0xbb67ae8584caa73bull,
                        0x3c6ef372fe94f82bull};
    const char *at = bytes.data();
    qsizetype left = bytes.size();
    for (; left >= 32; left -= 32, at += 32) {
        quint64 words[4];
        std::memcpy(words, at, 32);
        for (int lane = 0; lane < 4; ++lane)
            mix(lanes[lane], words[lane]);
    }
    quint64 hash = lanes[0];
    for (int lane = 1; lane < 4; ++lane)
        mix(hash, lanes[lane]);
    for (; left >= 8; left -= 8, at += 8) {
        quint64 word;
        std::memcpy(&word, at, 8);
        mix(hash, word);
    }
    quint64 tail = 0;
    std::memcpy(&tail, at, size_t(left));
    mix(hash, tail ^ (quint64(left) << 56));
    hash ^= hash >> 29;
    hash *= 0xc4ceb9fe1a85ec53ull;
    return hash ^ (hash >> 32);
}

QByteArray FilterCache::encode(const FilterSet &set)
{
    Writer w;
    // Room for what the rules take as written, within the bound: a small set does not ask
    // for the packaged lists' sixteen megabytes.
    w.out.reserve(qsizetype(std::min<size_t>(size_t(16) << 20, (set.m_rules.size() + set.m_hiding.size()) * 96 + 4096)));
    w.number(quint64(set.m_counts.network));
    w.number(quint64(set.m_counts.hiding));
    w.number(quint64(set.m_counts.skipped));
    w.number(quint32(set.m_rules.size()));
    for (const NetworkRule &rule : set.m_rules) {
        quint16 flags = 0;
        flags |= rule.exception ? Exception : 0;
        flags |= rule.important ? Important : 0;
        flags |= rule.matchCase ? MatchCase : 0;
        flags |= rule.hostAnchor ? HostAnchor : 0;
        flags |= rule.startAnchor ? StartAnchor : 0;
        flags |= rule.endAnchor ? EndAnchor : 0;
        flags |= rule.wholeDocument ? WholeDocument : 0;
        flags |= rule.noHiding ? NoHiding : 0;
        flags |= rule.noGenericHiding ? NoGenericHiding : 0;
        flags |= rule.badFilter ? BadFilter : 0;
        flags |= rule.regex ? HasRegex : 0;
        flags |= rule.domains ? HasDomains : 0;
        w.number(flags);
        w.number(quint32(rule.types));
        w.number(quint8(rule.party));
        w.number(quint16(rule.hostLength));
        w.text(rule.text);
        w.text(rule.pattern);
        if (rule.regex) {
            w.text(rule.regex->expression->expression());
            w.text(rule.regex->literal);
            w.number(quint32(rule.regex->gram));
        }
        if (rule.domains) {
            w.strings(rule.domains->included);
            w.strings(rule.domains->excluded);
        }
    }
    w.number(quint32(set.m_hiding.size()));
    for (const HidingRule &rule : set.m_hiding) {
        w.number(quint8(rule.exception));
        w.text(rule.text);
        w.text(rule.selector);
        w.strings(rule.domains.included);
        w.strings(rule.domains.excluded);
    }
    // What finish() made of them, so that a load does not index again.
    for (const FilterSet::RuleIndex *index :
         {&set.m_blocking, &set.m_exceptions, &set.m_pageExceptions, &set.m_important}) {
        // The token tables as they are in memory.
        for (const TokenIndex *tokens : {&index->byToken, &index->byGram}) {
            const TokenIndex::Slots &table = tokens->table();
            w.number(quint32(table.size()));
            w.out.append(reinterpret_cast<const char *>(table.data()), qsizetype(table.size() * sizeof(TokenIndex::Slot)));
            writeIds(w, tokens->ids());
        }
        writeIds(w, index->untokenized);
        writeNamedIds(w, index->bySite);
    }
    writeIds(w, set.m_genericHiding);
    writeNamedIds(w, set.m_hidingByDomain);
    writeNamedIds(w, set.m_hidingExceptions);
    w.text(set.m_genericStyleSheet);
    w.number(quint32(set.m_genericExceptionDomains.size()));
    for (const std::string &domain : set.m_genericExceptionDomains)
        w.text(domain);
    return w.out;
}

std::shared_ptr<FilterSet> FilterCache::decode(QByteArrayView bytes)
{
    Reader r(bytes);
    auto set = std::make_shared<FilterSet>();
    set->m_counts.network = r.number<quint64>();
    set->m_counts.hiding = r.number<quint64>();
    set->m_counts.skipped = r.number<quint64>();
    // The texts are a part of the bytes.
    set->m_text.reserve(size_t(bytes.size()));
    set->m_rules.resize(r.count(17));
    for (NetworkRule &rule : set->m_rules) {
        const quint16 flags = r.number<quint16>();
        rule.types = r.number<quint32>() & kAllTypes;
        const quint8 party = r.number<quint8>();
        if (party > quint8(NetworkRule::Party::FirstOnly))
            return nullptr;
        rule.party = NetworkRule::Party(party);
        rule.hostLength = r.number<quint16>();
        rule.exception = flags & Exception;
        rule.important = flags & Important;
        rule.matchCase = flags & MatchCase;
        rule.hostAnchor = flags & HostAnchor;
        rule.startAnchor = flags & StartAnchor;
        rule.endAnchor = flags & EndAnchor;
        rule.wholeDocument = flags & WholeDocument;
        rule.noHiding = flags & NoHiding;
        rule.noGenericHiding = flags & NoGenericHiding;
        rule.badFilter = flags & BadFilter;
        rule.text = set->m_text.keep(r.view());
        rule.pattern = set->m_text.keep(r.view());
        if (rule.hostLength > rule.pattern.size())
            return nullptr;
        if (flags & HasRegex) {
            const std::string expression = r.text();
            std::string literal = r.text();
            const quint32 gram = r.number<quint32>();
            std::shared_ptr<const FilterRegex> regex = FilterRegex::compile(expression, rule.matchCase);
            if (r.failed || !regex)
                return nullptr;
            rule.regex =
                std::make_unique<NetworkRule::Regex>(NetworkRule::Regex{std::move(regex), std::move(literal), gram});
        }
        if (flags & HasDomains) {
            rule.domains = std::make_unique<DomainList>();
            rule.domains->included = r.strings();
            rule.domains->excluded = r.strings();
        }
        if (r.failed)
            return nullptr;
    }
    set->m_hiding.resize(r.count(17));
    for (HidingRule &rule : set->m_hiding) {
        rule.exception = r.number<quint8>() != 0;
        rule.text = set->m_text.keep(r.view());
        rule.selector = set->m_text.keep(r.view());
        rule.domains.included = r.strings();
        rule.domains.excluded = r.strings();
        if (r.failed)
            return nullptr;
    }
    const size_t rules = set->m_rules.size();
    for (FilterSet::RuleIndex *index : {&set->m_blocking, &set->m_exceptions, &set->m_pageExceptions, &set->m_important}) {
        for (TokenIndex *tokens : {&index->byToken, &index->byGram}) {
            TokenIndex::Slots table(r.count(sizeof(TokenIndex::Slot)));
            TokenIndex::Ids ids;
            if (!r.raw(table.data(), table.size(), sizeof(TokenIndex::Slot)) || !readIds(r, ids, rules) ||
                !tokens->assign(std::move(table), std::move(ids), rules))
                return nullptr;
        }
        if (!readIds(r, index->untokenized, rules) || !readNamedIds(r, index->bySite, rules))
            return nullptr;
    }
    const size_t hiding = set->m_hiding.size();
    if (!readIds(r, set->m_genericHiding, hiding) ||
        !readNamedIds(r, set->m_hidingByDomain, hiding) || !readNamedIds(r, set->m_hidingExceptions, hiding))
        return nullptr;
    set->m_genericStyleSheet = r.text();
    const quint32 domains = r.count(4);
    for (quint32 i = 0; i < domains && !r.failed; ++i)
        set->m_genericExceptionDomains.insert(r.text());
    if (r.failed || !r.atEnd())
        return nullptr;
    for (NetworkRule &rule : set->m_rules)
        if (rule.domains)
            rule.domains->index();
    set->indexTokenBits();
    set->m_finished = true;
    return set;
}

std::shared_ptr<FilterSet> FilterCache::load(const QString &path, const QByteArray &key, QString *problem)
{
    const std::optional<QByteArray> read = FilterSources::read(path, kMaxBytes, problem);
    if (!read)
        return nullptr;
    const QByteArray &bytes = *read;
    if (size_t(bytes.size()) < kHeaderSize || std::memcmp(bytes.constData(), kMagic, sizeof kMagic) != 0)
        return nullptr;
    Reader header(QByteArrayView(bytes).sliced(sizeof kMagic, kHeaderSize - sizeof kMagic));
    const quint32 version = header.number<quint32>();
    const quint64 size = header.number<quint64>();
    const quint64 sum = header.number<quint64>();
    const QByteArrayView body = QByteArrayView(bytes).sliced(qsizetype(kHeaderSize));
    if (version != kVersion || size != quint64(body.size()) || sum != checksum(body))
        return nullptr;
    Reader r(body);
    const std::string storedKey = r.text();
    if (r.failed || storedKey != key.toStdString())
        return nullptr;
    return decode(body.sliced(qsizetype(4 + storedKey.size())));
}

bool FilterCache::save(const QString &path, const QByteArray &key, const FilterSet &set)
{
    Writer body;
    body.text(key.toStdString());
    body.out += encode(set);
    if (body.out.size() + qsizetype(kHeaderSize) > kMaxBytes) {
        QFile::remove(path); // no longer of use, and no reason to keep its room
        return false;
    }
    Writer header;
    header.out.append(kMagic, sizeof kMagic);
    header.number(kVersion);
    header.number(quint64(body.out.size()));
    header.number(checksum(body.out));
    QDir().mkpath(QFileInfo(path).absolutePath());
    return SafeFile::replace(path, header.out + body.out);
}
