#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The user's own filter rules (filters.txt): a text file people edit by hand, in UTF-8.
// The program only ever adds or removes whole lines of its own, at the byte level: every
// other line, comment, blank line and line end stays exactly as it was.
namespace RulesFile {

// Whether a line of the bytes is the rule (blanks around a line do not count).
bool containsLine(const QByteArray &bytes, const QString &rule);
// The bytes with every line that is the rule removed, and with one such line at the end
// when `present`, in the file's own line end (CR LF, LF or CR; LF in a file without one).
// Adding and then removing the rule gives back the same bytes.
QByteArray withLine(QByteArray bytes, const QString &rule, bool present);

// Adds or removes the rule's line in the file, replacing it atomically. An existing file
// that cannot be read is left as it is; false with the reason then, or when it could not
// be written. Nothing is written when nothing changes.
bool setLine(const QString &path, const QString &rule, bool present, QString *error = nullptr);

// Makes the file with these lines (UTF-8, LF) unless it exists already.
bool create(const QString &path, const QStringList &lines, QString *error = nullptr);

} // namespace RulesFile
