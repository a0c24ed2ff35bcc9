#pragma once

#include <QList>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

// The user's favorites: a folder of Internet Shortcut files (NAME.url holding
// "[InternetShortcut]" and "URL="), subfolders as folders, in $XDG_DATA_HOME/sablix/
// Favorites. Names come from page titles and are made safe for file names; files that
// are not shortcuts are passed over. Imports and exports the bookmark file every browser
// reads and writes.
class FavoritesStore : public QObject
{
    Q_OBJECT

public:
    struct Favorite
    {
        QString name;
        QString url;
        QString path; // the .url file
    };
    struct Folder
    {
        QString name;
        QString path;
        QList<Folder> folders;
        QList<Favorite> favorites;
    };
    struct ImportResult
    {
        int imported = 0;
        int skipped = 0;
    };

    // A file larger than this is not a shortcut; a bookmark file larger than the other is
    // not read; folders deeper than the third are not followed.
    static constexpr qint64 kMaxShortcutBytes = 64 * 1024;
    static constexpr qint64 kMaxBookmarkFileBytes = 64 * 1024 * 1024;
    static constexpr int kMaxDepth = 32;
    static constexpr int kMaxNameLength = 80;
    // One import brings at most this many favorites and makes at most this many folders;
    // the rest are counted as skipped (their favorites go into the enclosing folder).
    static constexpr int kMaxImported = 20000;
    static constexpr int kMaxImportedFolders = 2000;

    explicit FavoritesStore(const QString &root = defaultRoot(), QObject *parent = nullptr);

    static QString defaultRoot();
    const QString &root() const { return m_root; }

    Folder tree() const;
    // Every favorite's address, for the address box's suggestions.
    QStringList addresses() const;

    // A file name of at most kMaxNameLength characters: no "/", "\\", control characters or
    // leading dots; blank names become "未命名".
    static QString safeName(const QString &title);
    // The address of a shortcut file, empty when the file is not one.
    static QString readShortcut(const QString &path);

    // Each returns the new file or folder, empty when nothing could be written. A name that
    // is taken gets " (2)", " (3)", ...
    QString add(const QString &folder, const QString &name, const QString &url);
    QString createFolder(const QString &parent, const QString &name);
    QString rename(const QString &path, const QString &newName);
    QString moveInto(const QString &path, const QString &toFolder);
    bool remove(const QString &path);

    // The Netscape bookmark format, both ways.
    ImportResult importBookmarkFile(const QString &file, const QString &intoFolder);
    bool exportBookmarkFile(const QString &file) const;
    // Copies the shortcuts of a folder (and its subfolders) in.
    ImportResult importShortcutFolder(const QString &folder, const QString &intoFolder);

    // An address a favorite may open: not a script.
    static bool openable(const QString &url);

signals:
    void changed();

private:
    bool within(const QString &path) const;
    QString freeName(const QString &folder, const QString &name, const QString &suffix) const;
    Folder readFolder(const QString &path, const QString &name, int depth) const;

    QString m_root;
    bool m_batch = false; // an import under way: one change said at its end
    // While importing: the next number to try for a name already taken, so that thousands
    // of favorites of one name do not each try every number before theirs.
    mutable QHash<QString, int> m_nextFreeNumber;
};
