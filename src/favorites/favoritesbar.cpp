#include "favoritesbar.h"

#include "favoritesstore.h"

#include "../pages/pagecaption.h"

#include <QAction>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTextDocumentFragment>
#include <QStyle>
#include <QToolButton>
#include <QUrl>

#include <functional>

namespace {

constexpr int kMaxShownCharacters = 24;
const char *const kAddressProperty = "favoriteAddress";
const char *const kFolderProperty = "favoriteFolder";

// A name as a button or menu item shows it: '&' is no mnemonic, a long one is cut, and its
// direction cannot reorder what is beside it.
QString shownName(const QString &name)
{
    QString text = name;
    if (text.size() > kMaxShownCharacters) {
        qsizetype cut = kMaxShownCharacters;
        if (text.at(cut - 1).isHighSurrogate())
            --cut;
        text = text.left(cut) + QChar(0x2026);
    }
    return PageCaption::isolated(text).replace(QLatin1Char('&'), QLatin1String("&&"));
}

// A tool tip is read as markup when it looks like some: it is given as markup, escaped.
QString tipFor(const QString &name, const QString &address)
{
    return QStringLiteral("<qt>") + name.toHtmlEscaped() + QStringLiteral("<br>") + address.toHtmlEscaped() +
           QStringLiteral("</qt>");
}

} // namespace

FavoritesBar::FavoritesBar(FavoritesStore *store, QWidget *parent) : QToolBar(parent), m_store(store)
{
    setObjectName(QStringLiteral("FavoritesBar"));
    setWindowTitle(QStringLiteral("收藏栏"));
    setMovable(false);
    setFloatable(false);
    // Folders show the folder picture beside their names; favorites, without one, their names.
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setContextMenuPolicy(Qt::PreventContextMenu);
    toggleViewAction()->setVisible(false);
    setAcceptDrops(true);
    connect(m_store, &FavoritesStore::changed, this, &FavoritesBar::rebuild);
    rebuild();
}

void FavoritesBar::setChoice(std::optional<bool> shown)
{
    m_choice = shown;
    applyShown();
}

bool FavoritesBar::wanted() const
{
    return m_choice.value_or(m_hasFavorites);
}

void FavoritesBar::applyShown()
{
    const bool shown = wanted();
    if (m_shown == shown)
        return;
    m_shown = shown;
    setVisible(shown);
    emit shownChanged(shown);
}

QMenu *FavoritesBar::folderMenu(const QString &path, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("FavoritesFolderMenu"));
    menu->installEventFilter(this);
    // Read when it opens: a folder of thousands costs nothing until then.
    connect(menu, &QMenu::aboutToShow, this, [this, menu, path] {
        menu->clear();
        for (QMenu *sub : menu->findChildren<QMenu *>(QString(), Qt::FindDirectChildrenOnly))
            sub->deleteLater();
        FavoritesStore::Folder folder;
        const FavoritesStore::Folder root = m_store->tree();
        // The folder's place in the tree, by its path.
        std::function<bool(const FavoritesStore::Folder &)> find = [&](const FavoritesStore::Folder &at) {
            if (at.path == path) {
                folder = at;
                return true;
            }
            for (const FavoritesStore::Folder &sub : at.folders)
                if (find(sub))
                    return true;
            return false;
        };
        if (!find(root))
            return;
        for (const FavoritesStore::Folder &sub : folder.folders) {
            QMenu *child = folderMenu(sub.path, menu);
            child->setTitle(shownName(sub.name));
            child->menuAction()->setProperty(kFolderProperty, sub.path);
            menu->addMenu(child);
        }
        for (const FavoritesStore::Favorite &favorite : folder.favorites) {
            if (!FavoritesStore::openable(favorite.url))
                continue;
            QAction *item = menu->addAction(shownName(favorite.name));
            item->setProperty(kAddressProperty, favorite.url);
            item->setToolTip(tipFor(favorite.name, favorite.url));
            const QString address = favorite.url;
            connect(item, &QAction::triggered, this, [this, address] { emit openRequested(address); });
        }
        if (menu->isEmpty())
            menu->addAction(QStringLiteral("(空)"))->setEnabled(false);
    });
    return menu;
}

void FavoritesBar::rebuild()
{
    for (QAction *action : actions()) {
        removeAction(action);
        if (QMenu *menu = action->menu())
            menu->deleteLater();
        action->deleteLater();
    }
    const FavoritesStore::Folder root = m_store->tree();
    for (const FavoritesStore::Folder &sub : root.folders) {
        QMenu *menu = folderMenu(sub.path, this);
        menu->setTitle(shownName(sub.name));
        QAction *folder = menu->menuAction();
        folder->setProperty(kFolderProperty, sub.path);
        folder->setToolTip(tipFor(sub.name, QString()));
        folder->setIcon(style()->standardIcon(QStyle::SP_DirIcon));
        addAction(folder);
        if (auto *button = qobject_cast<QToolButton *>(widgetForAction(folder))) {
            button->setPopupMode(QToolButton::InstantPopup);
            button->setObjectName(QStringLiteral("FavoritesFolder"));
        }
    }
    for (const FavoritesStore::Favorite &favorite : root.favorites) {
        if (!FavoritesStore::openable(favorite.url))
            continue;
        auto *item = new QAction(shownName(favorite.name), this);
        item->setProperty(kAddressProperty, favorite.url);
        item->setToolTip(tipFor(favorite.name, favorite.url));
        const QString address = favorite.url;
        connect(item, &QAction::triggered, this, [this, address] { emit openRequested(address); });
        addAction(item);
        if (QWidget *button = widgetForAction(item)) {
            button->setObjectName(QStringLiteral("FavoritesButton"));
            button->installEventFilter(this);
        }
    }
    m_hasFavorites = !root.favorites.isEmpty() || !root.folders.isEmpty();
    applyShown();
}

bool FavoritesBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MouseButtonRelease || static_cast<QMouseEvent *>(event)->button() != Qt::MiddleButton)
        return QToolBar::eventFilter(watched, event);
    QAction *action = nullptr;
    auto *mouse = static_cast<QMouseEvent *>(event);
    if (auto *menu = qobject_cast<QMenu *>(watched)) {
        action = menu->actionAt(mouse->position().toPoint());
        if (action && !action->property(kAddressProperty).isNull()) {
            // The whole chain of menus closes, as after a click.
            for (QWidget *open = menu; qobject_cast<QMenu *>(open); open = open->parentWidget())
                open->close();
        }
    } else if (auto *button = qobject_cast<QToolButton *>(watched)) {
        action = button->defaultAction();
    }
    const QString address = action ? action->property(kAddressProperty).toString() : QString();
    if (address.isEmpty())
        return QToolBar::eventFilter(watched, event);
    emit openInBackgroundRequested(address);
    return true;
}

FavoritesBar::Dropped FavoritesBar::fromMime(const QMimeData *mime)
{
    Dropped dropped;
    if (!mime)
        return dropped;
    QString address;
    QString name;
    if (mime->hasUrls() && !mime->urls().isEmpty()) {
        address = mime->urls().first().toString();
    } else if (mime->hasText()) {
        // Text is an address only when it is one word that reads as one.
        const QString text = mime->text().trimmed();
        const QUrl url = QUrl::fromUserInput(text);
        if (!text.isEmpty() && !text.contains(QLatin1Char(' ')) && !text.contains(QLatin1Char('\n')) && url.isValid() &&
            (text.contains(QLatin1Char('.')) || text.contains(QLatin1Char(':'))))
            address = url.toString();
    }
    address = address.trimmed();
    if (address.isEmpty() || address.contains(QLatin1Char('\n')) || !FavoritesStore::openable(address))
        return dropped;
    // A link's own text names it: the anchor's text of the markup, else text that is not
    // the address itself.
    if (mime->hasHtml())
        name = QTextDocumentFragment::fromHtml(mime->html()).toPlainText().simplified();
    if (name.isEmpty() && mime->hasText() && mime->text().trimmed() != address)
        name = mime->text().simplified();
    if (name.isEmpty())
        name = QUrl(address).host().isEmpty() ? address : QUrl(address).host();
    dropped.address = address;
    dropped.name = name.left(FavoritesStore::kMaxNameLength * 4);
    return dropped;
}

QString FavoritesBar::folderAt(const QPoint &position) const
{
    for (QAction *action : actions()) {
        const QWidget *button = widgetForAction(action);
        if (button && button->isVisible() && button->geometry().contains(position) &&
            !action->property(kFolderProperty).isNull())
            return action->property(kFolderProperty).toString();
    }
    return m_store->root();
}

void FavoritesBar::dragEnterEvent(QDragEnterEvent *event)
{
    if (fromMime(event->mimeData()).address.isEmpty())
        return QToolBar::dragEnterEvent(event);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FavoritesBar::dragMoveEvent(QDragMoveEvent *event)
{
    if (fromMime(event->mimeData()).address.isEmpty())
        return QToolBar::dragMoveEvent(event);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FavoritesBar::dropEvent(QDropEvent *event)
{
    const Dropped dropped = fromMime(event->mimeData());
    if (dropped.address.isEmpty())
        return QToolBar::dropEvent(event);
    event->setDropAction(Qt::CopyAction);
    event->accept();
    m_store->add(folderAt(event->position().toPoint()), dropped.name, dropped.address);
}
