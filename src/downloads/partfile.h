#pragma once

#include <QString>

// What has arrived of a download outlives the engine: the engine deletes a partial file when
// a server breaks off a download it cannot resume, and people want to keep what came. A
// second, hidden name for the same file (a hard link beside it) holds on to it.
namespace PartFile {

// The hidden name of `part`.
QString keptPath(const QString &part);
// Adds the hidden name to the file being written (`arriving`, which may be `part` itself)
// once it is there; true when it is held. A hidden name held by another file (an earlier
// attempt, or a run that ended before it could let go) is moved to this one.
bool hold(const QString &arriving, const QString &part);
// After a break: what arrived is NAME.part, whatever the engine did with its own file (the
// hidden name's, or the engine's file where no hidden name was made or it brought more); no
// hidden name stays.
void restore(const QString &part);
// Done with it (complete, cancelled, or a new download under the name): the hidden name goes.
void release(const QString &part);
// A hidden name whose file is gone (a run that ended before it could let go, and the
// user deleted the partial file since) goes: it holds the space of a deleted file.
void dropOrphan(const QString &part);
// A name no download of ours can be writing under: neither it, the engine's file for it,
// nor its hidden name is there.
bool unused(const QString &part);

} // namespace PartFile
