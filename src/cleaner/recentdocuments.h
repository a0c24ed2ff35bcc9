#pragma once

#include <QString>

// The desktop's record of recently used documents, which every program shares: the list
// $XDG_DATA_HOME/recently-used.xbel. Only what sablix itself added is ours to take out.
namespace RecentDocuments {

QString folder();
QString list();

// The name the program's entries carry as their application.
inline constexpr char kApplication[] = "sablix";

struct Result
{
    // Entries of ours taken out; other programs' entries stay as they are.
    int removed = 0;
    // The list is a link or could not be read or written back.
    bool failed = false;
    bool refused = false;
};

// Takes sablix out of every entry of the list; an entry no other program uses goes. The
// list is written back only when something changed, replaced whole in one step, so that a
// desktop reading it meanwhile sees the old list or the new one, never half of either. The
// folder RecentDocuments belongs to the desktop: nothing of it is sablix's, it stays.
Result clear();

} // namespace RecentDocuments
