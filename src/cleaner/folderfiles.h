#pragma once

#include <QSet>
#include <QString>

// Deletes the files at the top level of one of the program's folders. The folder is opened
// once, without following a link, and every entry is removed through that handle: a folder
// that is a link (to somebody else's files) is refused whole, and a folder renamed or
// replaced meanwhile is never walked by name. Only the user's own plain files and links go;
// subfolders and what they hold stay, and a link is deleted, never what it points to. A
// file that cannot be deleted, or that is gone already, does not stop the rest.
namespace FolderFiles {

struct Result
{
    bool folderExists = false;
    // The folder is a link, or not a folder: nothing in it was touched.
    bool refused = false;
    int deleted = 0;
    int failed = 0;
};

// `keep`: names at the top level that stay whatever they are (files in use by the program).
Result deleteTopLevelFiles(const QString &folder, const QSet<QString> &keep = {});

} // namespace FolderFiles
