#include "pinyin.h"

#include "corelog.h"

#include <QFile>
#include <QSet>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

constexpr qint64 kMaxDictionaryBytes = 32 * 1024 * 1024;

bool isLatinLetter(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A reading as the dictionary writes it: Latin small letters ("lv" for lü).
bool isReading(QByteArrayView text)
{
    return !text.isEmpty() && text.size() <= 8 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// zh, ch, sh: the initials of two letters.
bool hasDoubleInitial(const QByteArray &reading)
{
    return reading.size() > 2 && reading.at(1) == 'h' && (reading.at(0) == 'z' || reading.at(0) == 'c' || reading.at(0) == 's');
}

} // namespace

QString Pinyin::defaultDictionary()
{
    const QByteArray chosen = qgetenv("SABLIX_PINYIN_DICTIONARY");
    return chosen.isEmpty() ? QStringLiteral("/usr/share/rime-data/pinyin_simp.dict.yaml") : QString::fromLocal8Bit(chosen);
}

const Pinyin &Pinyin::shared()
{
    // A static's first use is thread-safe: a second thread waits for the first's reading.
    static const Pinyin table(defaultDictionary());
    return table;
}

Pinyin::Pinyin(const QString &dictionary)
{
    QFile file(dictionary);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxDictionaryBytes) {
        qCWarning(lcCore).noquote() << "no pinyin readings:" << dictionary << "cannot be read";
        return;
    }
    const QByteArray bytes = file.readAll();
    // "字<TAB>reading<TAB>weight" after the header's "..."; words of several characters are
    // passed over, the readings of single characters are what is kept. Read as each program
    // starts, beside the engine's own start: the readings are gathered flat and sorted once,
    // and each syllable's text is one shared copy.
    struct Entry
    {
        char32_t character;
        qint64 weight;
        int syllable;
    };
    std::vector<Entry> entries;
    entries.reserve(32768);
    QHash<QByteArrayView, int> syllableIds;
    QList<QByteArray> syllables;
    QSet<quint64> seen; // a character's reading is kept once, as first written
    bool inBody = false;
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype lineEnd = bytes.indexOf('\n', at);
        if (lineEnd < 0)
            lineEnd = bytes.size();
        const QByteArrayView line(bytes.constData() + at, lineEnd - at);
        at = lineEnd + 1;
        if (!inBody) {
            inBody = line.trimmed() == "...";
            continue;
        }
        const qsizetype tab = line.indexOf('\t');
        // One character is at most four bytes of UTF-8: longer text is a word.
        if (tab < 1 || tab > 4)
            continue;
        const QList<uint> ucs4 = QString::fromUtf8(line.first(tab)).toUcs4();
        const qsizetype tab2 = line.indexOf('\t', tab + 1);
        const QByteArrayView reading = line.sliced(tab + 1, (tab2 < 0 ? line.size() : tab2) - tab - 1).trimmed();
        if (ucs4.size() != 1 || !isReading(reading))
            continue;
        auto id = syllableIds.constFind(reading);
        if (id == syllableIds.constEnd()) {
            syllables << reading.toByteArray();
            // The key views the list's own copy, which lives as long as the table.
            id = syllableIds.insert(QByteArrayView(syllables.last()), int(syllables.size() - 1));
        }
        const char32_t character = char32_t(ucs4.first());
        if (seen.contains((quint64(character) << 32) | quint32(*id)))
            continue;
        seen.insert((quint64(character) << 32) | quint32(*id));
        const qint64 weight = tab2 < 0 ? 0 : line.sliced(tab2 + 1).trimmed().toLongLong();
        entries.push_back({character, weight, *id});
    }
    // Each character's readings, most common first; equal weights as the file has them.
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.character != b.character ? a.character < b.character : a.weight > b.weight;
    });
    m_readings.reserve(qsizetype(entries.size()));
    for (size_t i = 0; i < entries.size();) {
        QList<QByteArray> readings;
        size_t j = i;
        for (; j < entries.size() && entries[j].character == entries[i].character; ++j)
            readings << syllables.at(entries[j].syllable);
        m_readings.insert(entries[i].character, readings);
        i = j;
    }
    m_syllables = syllables;
    std::sort(m_syllables.begin(), m_syllables.end());
    if (m_readings.isEmpty())
        qCWarning(lcCore).noquote() << "no pinyin readings in" << dictionary;
}

QList<QByteArray> Pinyin::readings(char32_t c) const
{
    return m_readings.value(c);
}

bool Pinyin::isQuery(const QString &text)
{
    if (text.size() < 2 || text.size() > kMaxQuery)
        return false;
    return std::all_of(text.begin(), text.end(), [](QChar c) { return isLatinLetter(c.unicode()); });
}

bool Pinyin::isSyllablePrefix(const QByteArray &text) const
{
    const auto at = std::lower_bound(m_syllables.begin(), m_syllables.end(), text);
    return at != m_syllables.end() && at->startsWith(text);
}

QList<QList<Pinyin::Unit>> Pinyin::stretches(const QString &text) const
{
    QList<QList<Unit>> all;
    QList<Unit> current;
    bool holdsChinese = false;
    auto end = [&] {
        if (holdsChinese)
            all << current;
        current.clear();
        holdsChinese = false;
    };
    bool afterLetter = false;
    for (const uint c : text.toUcs4()) {
        if (isLatinLetter(c)) {
            current << Unit{{QByteArray(1, char(QChar::toLower(c)))}, !afterLetter};
            afterLetter = true;
            continue;
        }
        afterLetter = false;
        const auto found = m_readings.constFind(char32_t(c));
        if (found == m_readings.constEnd()) {
            end();
            continue;
        }
        current << Unit{found.value(), true};
        holdsChinese = true;
    }
    end();
    return all;
}

bool Pinyin::matches(const QString &query, const QString &text) const
{
    if (isEmpty() || !isQuery(query))
        return false;
    const QByteArray q = query.toLatin1().toLower();
    const int n = int(q.size());
    for (const QList<Unit> &units : stretches(text)) {
        const int size = int(units.size());
        // Whether q from p on is matched by the units from u on; 0 unknown, 1 no, 2 yes.
        QByteArray known((size + 1) * (n + 1), 0);
        std::function<bool(int, int)> from = [&](int u, int p) -> bool {
            if (p >= n)
                return true;
            if (u >= size)
                return false;
            char &memo = known[u * (n + 1) + p];
            if (memo)
                return memo == 2;
            bool found = false;
            const QByteArray rest = q.mid(p);
            for (const QByteArray &reading : units.at(u).readings) {
                // The last piece: any beginning of the reading.
                if (reading.startsWith(rest)) {
                    found = true;
                    break;
                }
                if (rest.startsWith(reading) && from(u + 1, p + int(reading.size()))) {
                    found = true;
                    break;
                }
                if (rest.at(0) == reading.at(0) && from(u + 1, p + 1)) {
                    found = true;
                    break;
                }
                if (hasDoubleInitial(reading) && rest.startsWith(reading.left(2)) && from(u + 1, p + 2)) {
                    found = true;
                    break;
                }
            }
            memo = found ? 2 : 1;
            return found;
        };
        for (int start = 0; start < size; ++start)
            if (units.at(start).startsMatch && from(start, 0))
                return true;
    }
    return false;
}

QStringList Pinyin::keys(const QString &text) const
{
    if (isEmpty())
        return {};
    std::vector<QByteArray> keys;
    for (const QList<Unit> &units : stretches(text)) {
        const int size = int(units.size());
        // The distinct first letters of each unit's readings.
        std::vector<QByteArray> initials(size);
        for (int u = 0; u < size; ++u)
            for (const QByteArray &reading : units.at(u).readings)
                if (!initials[u].contains(reading.at(0)))
                    initials[u] += reading.at(0);
        for (int start = 0; start < size && int(keys.size()) < kMaxKeys; ++start) {
            if (!units.at(start).startsMatch)
                continue;
            // Both kinds: the first unit by its first letters, and by its whole readings.
            for (const bool wholeFirst : {false, true}) {
                QList<QByteArray> made;
                if (wholeFirst) {
                    made = units.at(start).readings;
                } else {
                    for (const char letter : initials[start])
                        made << QByteArray(1, letter);
                }
                bool cut = false;
                for (int u = start + 1, taken = 1; u < size && taken < kKeyUnits; ++u, ++taken) {
                    const QByteArray &letters = initials[u];
                    if (letters.size() == 1) {
                        for (QByteArray &key : made)
                            key += letters.at(0);
                        continue;
                    }
                    if (made.size() * letters.size() > kMaxCombinations) {
                        cut = true;
                        break;
                    }
                    QList<QByteArray> longer;
                    longer.reserve(made.size() * letters.size());
                    for (const QByteArray &key : std::as_const(made))
                        for (const char letter : letters)
                            longer << key + letter;
                    made.swap(longer);
                }
                for (QByteArray &key : made)
                    keys.push_back(cut ? key + '*' : key);
            }
        }
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    QStringList list;
    list.reserve(qsizetype(keys.size()));
    for (const QByteArray &key : keys)
        list << QString::fromLatin1(key);
    return list;
}

Pinyin::Lookup Pinyin::lookup(const QString &query) const
{
    Lookup found;
    if (isEmpty() || !isQuery(query))
        return found;
    const QByteArray q = query.toLatin1().toLower();
    const int n = int(q.size());
    // Each way of cutting the first kKeyUnits pieces gives one probe: a list of what each
    // piece puts into the key. Different cuts often give the same probe.
    QSet<QList<QByteArray>> probes;
    constexpr int kMaxProbes = 64;
    bool tooMany = false;
    QList<QByteArray> pieces;
    std::function<void(int)> cut = [&](int p) {
        if (tooMany)
            return;
        if (p >= n || pieces.size() == kKeyUnits) {
            probes.insert(pieces);
            tooMany = probes.size() > kMaxProbes;
            return;
        }
        const QByteArray rest = q.mid(p);
        const bool first = pieces.isEmpty();
        // The last piece: any beginning of a reading (a Latin letter's reading is itself).
        if (rest.size() == 1 || isSyllablePrefix(rest)) {
            pieces << (first ? rest : rest.left(1));
            cut(n);
            pieces.removeLast();
        }
        // Not the last: a whole reading, a first letter, or zh/ch/sh.
        for (int length = 1; length < rest.size() && length <= 6; ++length) {
            const QByteArray piece = rest.left(length);
            const bool whole = std::binary_search(m_syllables.begin(), m_syllables.end(), piece);
            const bool initial = length == 1 || (length == 2 && piece.at(1) == 'h' && QByteArray("zcs").contains(piece.at(0)));
            if (!whole && !initial)
                continue;
            if (whole && first) {
                pieces << piece;
                cut(p + length);
                pieces.removeLast();
            }
            if (initial || !first) {
                pieces << piece.left(1);
                cut(p + length);
                pieces.removeLast();
            }
        }
    };
    cut(0);
    if (tooMany) {
        // Past so many cuts the first piece alone is looked up: more candidates, none lost.
        probes.clear();
        for (int length = 1; length <= qMin(n, 6); ++length) {
            const QByteArray piece = q.left(length);
            if (length == 1 || std::binary_search(m_syllables.begin(), m_syllables.end(), piece))
                probes.insert({piece});
        }
    }
    QSet<QString> prefixes, exact;
    for (const QList<QByteArray> &probe : std::as_const(probes)) {
        if (probe.isEmpty())
            continue;
        QByteArray key;
        for (int i = 0; i < probe.size(); ++i) {
            key += probe.at(i);
            // A key cut short after this many units still leads to a match.
            if (i + 1 < probe.size())
                exact.insert(QString::fromLatin1(key + '*'));
        }
        prefixes.insert(QString::fromLatin1(key));
    }
    found.prefixes = QStringList(prefixes.begin(), prefixes.end());
    found.exact = QStringList(exact.begin(), exact.end());
    found.prefixes.sort();
    found.exact.sort();
    return found;
}
