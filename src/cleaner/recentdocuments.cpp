#include "recentdocuments.h"

#include "../core/safefile.h"

#include <QFile>
#include <QStandardPaths>

#include <glib.h>

#include <cerrno>
#include <sys/stat.h>

namespace RecentDocuments {

QString folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/RecentDocuments");
}

QString list()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/recently-used.xbel");
}

Result clear()
{
    Result result;
    const QByteArray path = QFile::encodeName(list());
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0) {
        result.failed = errno != ENOENT; // no list: nothing of ours in it
        return result;
    }
    // A link leads to somebody else's file; replacing it would also cut the link.
    if (!S_ISREG(info.st_mode)) {
        result.failed = result.refused = true;
        return result;
    }
    // Read as every file of ours is: what is opened is what was looked at, and is not waited on.
    const std::optional<QByteArray> bytes = SafeFile::read(list());
    GBookmarkFile *bookmarks = g_bookmark_file_new();
    if (!bytes || !g_bookmark_file_load_from_data(bookmarks, bytes->constData(), gsize(bytes->size()), nullptr)) {
        g_bookmark_file_free(bookmarks);
        result.failed = true;
        return result;
    }
    gsize count = 0;
    gchar **uris = g_bookmark_file_get_uris(bookmarks, &count);
    for (gsize i = 0; i < count; ++i) {
        if (!g_bookmark_file_has_application(bookmarks, uris[i], kApplication, nullptr))
            continue;
        g_bookmark_file_remove_application(bookmarks, uris[i], kApplication, nullptr);
        // A document only we used goes; one another program used stays, without us.
        gsize left = 0;
        gchar **apps = g_bookmark_file_get_applications(bookmarks, uris[i], &left, nullptr);
        g_strfreev(apps);
        if (left == 0)
            g_bookmark_file_remove_item(bookmarks, uris[i], nullptr);
        ++result.removed;
    }
    g_strfreev(uris);
    if (result.removed > 0) {
        gsize length = 0;
        gchar *data = g_bookmark_file_to_data(bookmarks, &length, nullptr);
        result.failed = !data || !SafeFile::replace(list(), QByteArray(data, qsizetype(length)));
        g_free(data);
        if (result.failed)
            result.removed = 0;
    }
    g_bookmark_file_free(bookmarks);
    return result;
}

} // namespace RecentDocuments
