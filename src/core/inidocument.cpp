#include "inidocument.h"

#include "textcodec.h"

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");
const QByteArray kLineEnd("\r\n");

struct LineSpan
{
    qsizetype start = 0;
    qsizetype length = 0;    // without the line end
    qsizetype endLength = 0; // 0 for a last line without a line end, else 1 or 2
};

// Calls visit(span) for each line; stops early when visit returns false.
template<typename Visit>
void forEachLine(const QByteArray &bytes, qsizetype from, Visit visit)
{
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype pos = from;
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && data[end] != '\n' && data[end] != '\r')
            ++end;
        LineSpan span{pos, end - pos, 0};
        if (end < size)
            span.endLength = (data[end] == '\r' && end + 1 < size && data[end + 1] == '\n') ? 2 : 1;
        if (!visit(span))
            return;
        pos = end + span.endLength;
    }
}

// Two-byte GB18030 text is often valid UTF-8 by chance; Chinese in UTF-8 takes three
// bytes a character. A file counts as UTF-8 only with such a sequence in it.
bool hasLongUtf8Sequence(const QByteArray &bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0xE0)
            return true;
    return false;
}

// A section header is "[name]" after optional blanks; returns the trimmed name.
std::optional<QString> sectionName(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    return trimmed.mid(1, close - 1).trimmed();
}

QString sanitizeValue(QString value)
{
    // A line break in a value would split the line; a value is one line.
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return value;
}

} // namespace

IniDocument::IniDocument(QByteArray bytes) : m_bytes(std::move(bytes))
{
    if (m_bytes.startsWith(kUtf8Bom)) {
        m_encoding = Encoding::Utf8;
        m_bodyStart = kUtf8Bom.size();
    } else if (hasLongUtf8Sequence(m_bytes) && TextCodec::isValidUtf8(m_bytes)) {
        // A file that a person saved in UTF-8 stays UTF-8.
        m_encoding = Encoding::Utf8;
    }
}

QString IniDocument::decodeLine(qsizetype start, qsizetype length) const
{
    const QByteArrayView view(m_bytes.constData() + start, length);
    return m_encoding == Encoding::Utf8 ? QString::fromUtf8(view) : TextCodec::decode(view);
}

QByteArray IniDocument::encodeLine(const QString &text) const
{
    return m_encoding == Encoding::Utf8 ? text.toUtf8() : TextCodec::encode(text);
}

QHash<QString, QString> IniDocument::section(QStringView name) const
{
    QHash<QString, QString> keys;
    bool inSection = false;
    forEachLine(m_bytes, m_bodyStart, [&](const LineSpan &span) {
        const QByteArrayView raw(m_bytes.constData() + span.start, span.length);
        if (raw.trimmed().startsWith('[')) {
            if (const auto header = sectionName(decodeLine(span.start, span.length))) {
                inSection = header->compare(name, Qt::CaseInsensitive) == 0;
                return true;
            }
        }
        if (!inSection)
            return true;
        if (!raw.contains('='))
            return true;
        const QString line = decodeLine(span.start, span.length);
        const qsizetype eqChar = line.indexOf(QLatin1Char('='));
        if (eqChar < 0)
            return true;
        const QString key = line.left(eqChar).trimmed().toLower();
        if (!key.isEmpty() && !keys.contains(key))
            keys.insert(key, line.mid(eqChar + 1));
        return true;
    });
    return keys;
}

std::optional<QString> IniDocument::value(QStringView section, QStringView key) const
{
    const QHash<QString, QString> keys = this->section(section);
    const auto it = keys.constFind(key.toString().toLower());
    if (it == keys.constEnd())
        return std::nullopt;
    return *it;
}

void IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    const QString newLine = key + QLatin1Char('=') + sanitizeValue(value);

    bool inSection = false;
    bool inFirstSection = false;
    bool sectionSeen = false;
    qsizetype insertAt = -1;     // after the last non-blank line of the first matching section
    qsizetype replaceStart = -1; // the first existing key line
    qsizetype replaceLength = 0;
    forEachLine(m_bytes, m_bodyStart, [&](const LineSpan &span) {
        const QByteArrayView raw(m_bytes.constData() + span.start, span.length);
        const QByteArrayView trimmed = raw.trimmed();
        if (trimmed.startsWith('[')) {
            if (const auto header = sectionName(decodeLine(span.start, span.length))) {
                const bool matches = header->compare(section, Qt::CaseInsensitive) == 0;
                inFirstSection = matches && !sectionSeen;
                if (inFirstSection)
                    insertAt = span.start + span.length + span.endLength;
                sectionSeen = sectionSeen || matches;
                inSection = matches;
                return true;
            }
        }
        if (!inSection)
            return true;
        if (raw.contains('=')) {
            const QString line = decodeLine(span.start, span.length);
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (eq >= 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
                replaceStart = span.start;
                replaceLength = span.length;
                return false;
            }
        }
        // New keys go inside the first section, ahead of the blank lines that part it
        // from what follows.
        if (inFirstSection && !trimmed.isEmpty())
            insertAt = span.start + span.length + span.endLength;
        return true;
    });

    if (replaceStart >= 0) {
        m_bytes.replace(replaceStart, replaceLength, encodeLine(newLine));
        return;
    }
    if (insertAt >= 0) {
        QByteArray insertion = encodeLine(newLine) + kLineEnd;
        // The section's last line may lack a line end when it is the file's last line.
        if (insertAt == m_bytes.size() && !m_bytes.endsWith('\n') && !m_bytes.endsWith('\r'))
            insertion.prepend(kLineEnd);
        m_bytes.insert(insertAt, insertion);
        return;
    }
    if (m_bytes.size() > m_bodyStart && !m_bytes.endsWith('\n') && !m_bytes.endsWith('\r'))
        m_bytes.append(kLineEnd);
    m_bytes.append(encodeLine(QLatin1Char('[') + section + QLatin1Char(']')) + kLineEnd);
    m_bytes.append(encodeLine(newLine) + kLineEnd);
}
