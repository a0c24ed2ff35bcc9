#pragma once

#include <QString>

// Names for downloaded files: what a server suggests is made safe before it is offered,
// and a name that is taken gets a number instead of replacing the file.
namespace DownloadNames {

// The last part of the suggestion only (no folders), nothing a file name cannot hold, no
// leading dots, at most 200 bytes with the extension kept; "下载" when nothing is left.
QString safe(const QString &suggested);

// `name` in `folder`, or "NAME (2).EXT" and so on when it, or its ".part", is there.
QString freePath(const QString &folder, const QString &name);

// Where `finalPath` arrives: "NAME.part", or "NAME.2.part" and so on when that name is
// someone's file already (ours or not), so that no file there is ever written over.
QString partPath(const QString &finalPath);

} // namespace DownloadNames
