#pragma once

#include <QString>

// The folder that holds Config.ini, Data/ and Temp/: the executable's folder, or
// $SABLIX_HOME when set (tests, portable installs). Where the executable's folder is not
// writable the files go to $XDG_DATA_HOME/sablix/. Always ends in "/".
namespace ProgramFolder {

QString locate();
QString withSlash(const QString &path);

} // namespace ProgramFolder
