#pragma once

#include <QToolBar>

#include <optional>

class FavoritesStore;
class QMenu;
class QMimeData;

// "收藏栏": the favorites at hand under the address bar. Favorites at the top of the store are
// buttons, folders drop-down menus; a click opens one as Go does, a middle click in a page in
// the background. A link or an address dropped on it becomes a favorite there (on a folder:
// in that folder). It shows what the store holds and follows its changes.
class FavoritesBar : public QToolBar
{
    Q_OBJECT

public:
    explicit FavoritesBar(FavoritesStore *store, QWidget *parent = nullptr);

    // The user's choice (查看 → 收藏栏); without one the bar shows once there is a favorite.
    void setChoice(std::optional<bool> shown);
    bool wanted() const;

    // The address and name a drop brings; no address when it brings none that may be opened.
    struct Dropped
    {
        QString address;
        QString name;
    };
    static Dropped fromMime(const QMimeData *mime);
    // What a drop at `position` (the bar's coordinates) would go into: a folder's path, or
    // the store's root.
    QString folderAt(const QPoint &position) const;

signals:
    void openRequested(const QString &address);
    void openInBackgroundRequested(const QString &address);
    // Shown or hidden as the choice and the store say; the menu's check follows.
    void shownChanged(bool shown);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuild();
    void applyShown();
    QMenu *folderMenu(const QString &path, QWidget *parent);

    FavoritesStore *m_store;
    std::optional<bool> m_choice;
    bool m_hasFavorites = false;
    std::optional<bool> m_shown;
};
