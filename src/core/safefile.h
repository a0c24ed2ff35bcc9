#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Whole-file reads and writes for the files sablix keeps, in one place.
namespace SafeFile {

// The file's bytes; a file that is not there (a dangling link included) reads as empty.
// None, with the reason in `error`, when it is there but cannot be read: a caller that
// would write it back must not take that for an empty file.
std::optional<QByteArray> read(const QString &path, QString *error = nullptr);

// Replaces the file whole through a temporary file and a rename, so that a crash leaves the
// old file or the new one, never a part. Unbuffered: a write
// that fails (a full disk) fails here, where it is seen, whereas a buffered one fails only in
// the flush inside commit(), which QSaveFile (Qt 6.4) does not check, and the old file would
// be replaced by an empty one.
bool replace(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace SafeFile
