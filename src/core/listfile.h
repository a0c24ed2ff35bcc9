#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The program's line lists (Data/*.lst): one entry per line, CR LF after every line,
// GB18030, each save replacing the file whole and atomically.
namespace ListFile {

// False when the file could not be replaced (the reason in `error`); the old file stays.
bool save(const QString &path, const QStringList &lines, QString *error = nullptr);

// Splits at CR LF, a lone CR or a lone LF; a last line without a line end is kept.
// A missing, unreadable or refused file (SafeFile::read) gives nothing, so callers keep
// what they had.
std::optional<QStringList> load(const QString &path);
// The same on bytes held in memory.
QByteArray encode(const QStringList &lines);
QStringList decode(const QByteArray &bytes);

// A two-field line is title + "#" + address; the first "#" separates them, so an address
// may itself contain "#". A line without "#" is all address.
struct TitledAddress
{
    QString title;
    QString address;
};
TitledAddress split(const QString &line);
QString join(const QString &title, const QString &address);

} // namespace ListFile
