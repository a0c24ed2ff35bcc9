#pragma once

#include "favoritesstore.h"

#include <QObject>

#include <functional>

class QWidget;
class TFormWebbrowser;

// The favorites menu's commands: add the active page, organise the favorites.
class FavoritesMenu : public QObject
{
    Q_OBJECT

public:
    FavoritesMenu(TFormWebbrowser *pages, FavoritesStore *store, QWidget *window);

    void NAddFavoriteClick();
    void NTrimFavoriteClick();
    // "导入和导出": favorites from and to a bookmark file, and from a folder of shortcuts.
    void importExport();
    // The same, without dialogs: what an import brought, as the window says it.
    void importBookmarks(const QString &file);
    void importShortcuts(const QString &folder);
    bool exportBookmarks(const QString &file);

signals:
    // A favorite chosen in the organise dialog: open it as Go does.
    void openRequested(const QString &url);
    // What an import or export did, for the status line.
    void statusMessage(const QString &text);

private:
    void runImport(std::function<FavoritesStore::ImportResult(FavoritesStore &)> work);

    TFormWebbrowser *m_pages;
    FavoritesStore *m_store;
    QWidget *m_window;
};
