#include "folderfiles.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

namespace FolderFiles {

Result deleteTopLevelFiles(const QString &folder)
{
    Result result;
    const QDir dir(folder);
    if (!dir.exists())
        return result;
    result.folderExists = true;
    for (const QFileInfo &entry : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        // Links are taken as themselves: their targets are not this folder's.
        if (!entry.isSymLink() && entry.isDir())
            continue;
        const QByteArray path = QFile::encodeName(entry.absoluteFilePath());
        if (::unlink(path.constData()) == 0 || errno == ENOENT)
            ++result.deleted;
        else
            ++result.failed;
    }
    return result;
}

} // namespace FolderFiles
