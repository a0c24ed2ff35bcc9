#pragma once

#include <QString>

// Deletes the files at the top level of a folder: subfolders and what they hold stay; a
// link is deleted, never what it points to; a file that cannot be deleted, or that is gone
// already, does not stop the rest. False when the folder does not exist.
namespace FolderFiles {

struct Result
{
    bool folderExists = false;
    int deleted = 0;
    int failed = 0;
};

Result deleteTopLevelFiles(const QString &folder);

} // namespace FolderFiles
