#include "listfile.h"

#include "safefile.h"
#include "textcodec.h"

#include <QFileInfo>

namespace ListFile {

QByteArray encode(const QStringList &lines)
{
    QByteArray bytes;
    for (QString line : lines) {
        // A line break inside an entry would turn it into two entries on the next load.
        line.replace(QLatin1Char('\r'), QLatin1Char(' '));
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        bytes += TextCodec::encode(line);
        bytes += "\r\n";
    }
    return bytes;
}

bool save(const QString &path, const QStringList &lines, QString *error)
{
    return SafeFile::replace(path, encode(lines), error);
}

std::optional<QStringList> load(const QString &path)
{
    const std::optional<QByteArray> bytes = SafeFile::read(path);
    if (!bytes || (bytes->isEmpty() && !QFileInfo::exists(path)))
        return std::nullopt;
    return decode(*bytes);
}

QStringList decode(const QByteArray &bytes)
{
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        text = QString::fromUtf8(bytes.mid(3));
    else
        text = TextCodec::decode(bytes);

    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < size && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines.append(text.mid(start));
    return lines;
}

TitledAddress split(const QString &line)
{
    const qsizetype hash = line.indexOf(QLatin1Char('#'));
    if (hash < 0)
        return {QString(), line};
    return {line.left(hash), line.mid(hash + 1)};
}

QString join(const QString &title, const QString &address)
{
    return title + QLatin1Char('#') + address;
}

} // namespace ListFile
