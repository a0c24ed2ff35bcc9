#pragma once

#include <QDialog>

class FavoritesStore;
class QComboBox;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

// "添加到收藏夹": the name (the page's title to start with), the folder, a new folder.
class AddFavoriteDialog : public QDialog
{
    Q_OBJECT

public:
    AddFavoriteDialog(FavoritesStore *store, const QString &title, const QString &url, QWidget *parent = nullptr);

    QString name() const;
    QString folder() const;
    // Writes the favorite; the file, or empty when it could not be written.
    QString save();

private:
    void fillFolders(const QString &select = {});
    void newFolder();

    FavoritesStore *m_store;
    QString m_url;
    QLineEdit *m_name;
    QComboBox *m_folders;
};

// "整理收藏夹": the folders and favorites, to make folders in, rename, move, delete and open.
class OrganizeFavoritesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit OrganizeFavoritesDialog(FavoritesStore *store, QWidget *parent = nullptr);

    QTreeWidget *tree() const { return m_tree; }
    QLineEdit *filter() const { return m_filter; }
    void refresh();
    // Whether a favorite (or folder) shows for the search box's text.
    static bool matches(const QString &text, const QString &name, const QString &url);

signals:
    void openRequested(const QString &url);

private:
    QString selectedPath() const;
    QString selectedFolder() const;
    void newFolder();
    void renameSelected();
    void moveSelected();
    void removeSelected();
    void openSelected();
    void applyFilter();

    FavoritesStore *m_store;
    QTreeWidget *m_tree;
    QLineEdit *m_filter;
};
