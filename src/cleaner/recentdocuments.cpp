#include "recentdocuments.h"

#include "folderfiles.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace RecentDocuments {

QString folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/RecentDocuments");
}

QString list()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/recently-used.xbel");
}

bool clear()
{
    FolderFiles::deleteTopLevelFiles(folder());
    if (!QFileInfo::exists(list()))
        return true;
    QSaveFile file(list());
    const QByteArray empty = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<xbel version=\"1.0\"\n"
                             "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
                             "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
                             ">\n</xbel>\n";
    return file.open(QIODevice::WriteOnly) && file.write(empty) == empty.size() && file.commit();
}

} // namespace RecentDocuments
