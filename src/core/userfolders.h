#pragma once

#include <QString>

// The user's own folders as the desktop names them (xdg-user-dirs).
namespace UserFolders {

// Where the user keeps downloads: `xdg-user-dir DOWNLOAD`, else the home folder. Save
// dialogs open here rather than in whatever folder the program was started from.
QString downloads();

// The desktop folder: `xdg-user-dir DESKTOP`, else the platform's guess.
QString desktop();

} // namespace UserFolders
