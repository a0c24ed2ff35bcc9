#include "folderfiles.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FolderFiles {

Result deleteTopLevelFiles(const QString &folder, const QSet<QString> &keep)
{
    Result result;
    QString path = folder;
    // "Temp/" names the folder itself; with the slash, the kernel would follow a link to it.
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const QByteArray name = QFile::encodeName(path);
    const int dirFd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dirFd < 0) {
        // ELOOP: the folder is a link; ENOTDIR: something else stands in its place.
        if (errno == ELOOP || errno == ENOTDIR) {
            result.folderExists = true;
            result.refused = true;
        }
        return result;
    }
    result.folderExists = true;
    DIR *dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        ++result.failed;
        return result;
    }
    const uid_t me = ::geteuid();
    while (const dirent *entry = ::readdir(dir)) {
        const char *entryName = entry->d_name;
        if (qstrcmp(entryName, ".") == 0 || qstrcmp(entryName, "..") == 0)
            continue;
        if (keep.contains(QFile::decodeName(entryName)))
            continue;
        struct stat info {};
        if (::fstatat(dirFd, entryName, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone meanwhile
        if (S_ISDIR(info.st_mode))
            continue;
        // Another user's file in our folder is not ours to remove.
        if (info.st_uid != me) {
            ++result.failed;
            continue;
        }
        // unlinkat without AT_REMOVEDIR never removes a folder, and removes a link itself.
        if (::unlinkat(dirFd, entryName, 0) == 0 || errno == ENOENT)
            ++result.deleted;
        else
            ++result.failed;
    }
    ::closedir(dir);
    return result;
}

} // namespace FolderFiles
