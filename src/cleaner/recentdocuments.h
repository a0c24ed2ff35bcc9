#pragma once

#include <QString>

// The desktop's record of recently used documents: the files at the top level of
// $XDG_DATA_HOME/RecentDocuments and the list $XDG_DATA_HOME/recently-used.xbel.
namespace RecentDocuments {

QString folder();
QString list();

// Deletes the folder's files and empties the list, replacing it whole in one step, so that
// a desktop reading it at the same time sees the old list or the empty one, never half of
// either. False when the list could not be replaced.
bool clear();

} // namespace RecentDocuments
