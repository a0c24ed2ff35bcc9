#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Whole-file reads and writes for the files sablix keeps, in one place.
namespace SafeFile {

// The most a file of ours is read to, unless the caller says otherwise (a Config.ini of
// 50 MB, kept by another program's sections, still loads).
constexpr qint64 kMaxReadBytes = 64 * 1024 * 1024;

// The file's bytes; a file that is not there reads as empty. None, with the reason in
// `error`, when it is there but cannot be read, and when it is refused: a link (not
// followed), anything but a regular file (a FIFO planted there would hold the program at
// its open), or more than `maxBytes`. A caller that would write it back must not take that
// for an empty file. A refusal is also told to the refusal handler.
std::optional<QByteArray> read(const QString &path, QString *error = nullptr, qint64 maxBytes = kMaxReadBytes);

// Whether the file at `path` is one `read` would take: not there, or a regular file (not a
// link) of at most `maxBytes`. For files another component opens by name; a refusal is
// told to the refusal handler.
bool acceptable(const QString &path, qint64 maxBytes = kMaxReadBytes);

// Why a file of this kind (an lstat's st_mode) is not read, in Chinese; empty for a regular file.
QString refusedKind(unsigned int mode);

// Told of every file refused, with the reason in Chinese; from any thread.
using RefusalHandler = std::function<void(const QString &path, const QString &reason)>;
void setRefusalHandler(RefusalHandler handler);

// Replaces the file whole through a temporary file and a rename, so that a crash leaves the
// old file or the new one, never a part. Unbuffered: a write
// that fails (a full disk) fails here, where it is seen, whereas a buffered one fails only in
// the flush inside commit(), which QSaveFile (Qt 6.4) does not check, and the old file would
// be replaced by an empty one. Anything at `path` but a regular file (a link above all) is
// refused and told, as `read` does, and left as it is.
bool replace(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace SafeFile
