#pragma once

#include <QString>

// What has arrived of a download outlives the engine: the engine deletes a partial file when
// a server breaks off a download it cannot resume, and people want to keep what came. A
// second, hidden name for the same file (a hard link beside it) holds on to it.
namespace PartFile {

// The hidden name of `part`.
QString keptPath(const QString &part);
// Adds the hidden name to the file being written (`arriving`, which may be `part` itself)
// once it is there; true when it is held.
bool hold(const QString &arriving, const QString &part);
// After a break: what arrived is NAME.part, whatever the engine did with its own file.
void restore(const QString &part);
// Done with it (complete or cancelled): the hidden name goes.
void release(const QString &part);

} // namespace PartFile
