#include "rulesfile.h"

#include "../core/safefile.h"
#include "filtersources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace RulesFile {
namespace {

struct Line
{
    qsizetype start = 0;
    qsizetype length = 0;    // without the line end
    qsizetype endLength = 0; // 0 for a last line without one
};

QList<Line> lines(const QByteArray &bytes)
{
    QList<Line> result;
    const qsizetype size = bytes.size();
    qsizetype pos = 0;
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        Line line{pos, end - pos, 0};
        if (end < size)
            line.endLength = (bytes[end] == '\r' && end + 1 < size && bytes[end + 1] == '\n') ? 2 : 1;
        result.append(line);
        pos = end + line.endLength;
    }
    return result;
}

bool isRule(const QByteArray &bytes, const Line &line, const QByteArray &rule)
{
    return QByteArrayView(bytes.constData() + line.start, line.length).trimmed() == rule;
}

QByteArray lineEndOf(const QByteArray &bytes)
{
    for (const Line &line : lines(bytes))
        if (line.endLength > 0)
            return bytes.mid(line.start + line.length, line.endLength);
    return QByteArrayLiteral("\n");
}

bool writeWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return SafeFile::replace(path, bytes, error);
}

} // namespace


bool containsLine(const QByteArray &bytes, const QString &rule)
{
    const QByteArray wanted = rule.trimmed().toUtf8();
    for (const Line &line : lines(bytes))
        if (isRule(bytes, line, wanted))
            return true;
    return false;
}

QByteArray withLine(QByteArray bytes, const QString &rule, bool present)
{
    const QByteArray wanted = rule.trimmed().toUtf8();
    const QByteArray lineEnd = lineEndOf(bytes);
    const QList<Line> all = lines(bytes);
    // From the end, so that the spans before stay where they are.
    for (qsizetype i = all.size() - 1; i >= 0; --i) {
        const Line &line = all[i];
        if (!isRule(bytes, line, wanted))
            continue;
        qsizetype from = line.start;
        // A last line without a line end takes the line end before it along: the line
        // before is the last one again, as it was before the rule came after it.
        if (line.endLength == 0 && from > 0)
            from -= (from >= 2 && bytes[from - 1] == '\n' && bytes[from - 2] == '\r') ? 2 : 1;
        bytes.remove(from, line.start + line.length + line.endLength - from);
    }
    if (present) {
        // After a last line without a line end, the rule is the new last line without one,
        // so that taking it away again gives back the same bytes.
        if (!bytes.isEmpty() && !bytes.endsWith('\n') && !bytes.endsWith('\r'))
            bytes += lineEnd + wanted;
        else
            bytes += wanted + lineEnd;
    }
    return bytes;
}

bool setLine(const QString &path, const QString &rule, bool present, QString *error)
{
    // A FIFO or a link planted there would hold the window up, or be written through.
    bool missing = false;
    const QString refused = FilterSources::refusal(path, FilterSources::kMaxListBytes, &missing);
    if (!refused.isEmpty() && !missing) {
        if (error)
            *error = refused;
        return false;
    }
    const std::optional<QByteArray> bytes = SafeFile::read(path, error);
    if (!bytes)
        return false;
    // Already as asked: the file stays as the person left it.
    if (containsLine(*bytes, rule) == present)
        return true;
    return writeWhole(path, withLine(*bytes, rule, present), error);
}

bool create(const QString &path, const QStringList &lines, QString *error)
{
    if (QFileInfo::exists(path))
        return true;
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + '\n';
    return writeWhole(path, bytes, error);
}

} // namespace RulesFile
