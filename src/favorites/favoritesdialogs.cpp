#include "favoritesdialogs.h"

#include "favoritesstore.h"

#include "../core/pinyin.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <functional>

namespace {

enum Role { PathRole = Qt::UserRole, UrlRole, FolderRole };

// The folders of the tree, with their depth shown by indentation.
void addFolders(QComboBox *box, const FavoritesStore::Folder &folder, int depth)
{
    box->addItem(QString(depth * 2, QLatin1Char(' ')) + folder.name, folder.path);
    for (const FavoritesStore::Folder &sub : folder.folders)
        addFolders(box, sub, depth + 1);
}

} // namespace

AddFavoriteDialog::AddFavoriteDialog(FavoritesStore *store, const QString &title, const QString &url, QWidget *parent)
    : QDialog(parent), m_store(store), m_url(url)
{
    setObjectName(QStringLiteral("AddFavoriteDialog"));
    setWindowTitle(QStringLiteral("添加到收藏夹"));
    m_name = new QLineEdit(FavoritesStore::safeName(title.trimmed().isEmpty() ? url : title), this);
    m_name->setObjectName(QStringLiteral("FavoriteName"));
    m_folders = new QComboBox(this);
    m_folders->setObjectName(QStringLiteral("FavoriteFolder"));
    auto *newFolder = new QPushButton(QStringLiteral("新建文件夹(&N)..."), this);
    newFolder->setAutoDefault(false);
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folders, 1);
    folderRow->addWidget(newFolder);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("名称(&M):"), m_name);
    // The field is a row of two: the label is given its buddy by hand.
    auto *folderLabel = new QLabel(QStringLiteral("创建位置(&I):"), this);
    folderLabel->setBuddy(m_folders);
    form->addRow(folderLabel, folderRow);
    auto *address = new QLineEdit(url, this);
    address->setReadOnly(true);
    form->addRow(QStringLiteral("地址:"), address);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(newFolder, &QPushButton::clicked, this, &AddFavoriteDialog::newFolder);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    fillFolders();
    m_name->selectAll();
    m_name->setFocus();
    resize(420, sizeHint().height());
}

void AddFavoriteDialog::fillFolders(const QString &select)
{
    m_folders->clear();
    addFolders(m_folders, m_store->tree(), 0);
    if (const int index = m_folders->findData(select); index >= 0)
        m_folders->setCurrentIndex(index);
}

void AddFavoriteDialog::newFolder()
{
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("新建文件夹"), QStringLiteral("文件夹名称:"),
                                               QLineEdit::Normal, QString(), &ok);
    if (!ok || name.trimmed().isEmpty())
        return;
    const QString made = m_store->createFolder(folder(), name);
    fillFolders(made);
}

QString AddFavoriteDialog::name() const
{
    return m_name->text();
}

QString AddFavoriteDialog::folder() const
{
    return m_folders->currentData().toString();
}

QString AddFavoriteDialog::save()
{
    return m_store->add(folder(), name(), m_url);
}

OrganizeFavoritesDialog::OrganizeFavoritesDialog(FavoritesStore *store, QWidget *parent)
    : QDialog(parent), m_store(store)
{
    setObjectName(QStringLiteral("OrganizeFavoritesDialog"));
    setWindowTitle(QStringLiteral("整理收藏夹"));
    m_tree = new QTreeWidget(this);
    m_tree->setColumnCount(2);
    m_tree->setHeaderLabels({QStringLiteral("名称"), QStringLiteral("地址")});
    m_tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        if (!item->data(0, FolderRole).toBool())
            openSelected();
    });

    auto *buttons = new QVBoxLayout;
    auto add = [&](const QString &text, const char *name, void (OrganizeFavoritesDialog::*slot)()) {
        auto *button = new QPushButton(text, this);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, slot);
        buttons->addWidget(button);
    };
    add(QStringLiteral("打开(&O)"), "FavoriteOpen", &OrganizeFavoritesDialog::openSelected);
    add(QStringLiteral("新建文件夹(&N)"), "FavoriteNewFolder", &OrganizeFavoritesDialog::newFolder);
    add(QStringLiteral("重命名(&R)"), "FavoriteRename", &OrganizeFavoritesDialog::renameSelected);
    add(QStringLiteral("移至文件夹(&M)..."), "FavoriteMove", &OrganizeFavoritesDialog::moveSelected);
    add(QStringLiteral("删除(&D)"), "FavoriteDelete", &OrganizeFavoritesDialog::removeSelected);
    buttons->addStretch();
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(close);

    // Finds a favorite by what its name or address holds, or a Chinese name by its pinyin.
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("FavoriteSearch"));
    m_filter->setPlaceholderText(QStringLiteral("搜索收藏夹"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, this, &OrganizeFavoritesDialog::applyFilter);
    auto *left = new QVBoxLayout;
    left->addWidget(m_filter);
    left->addWidget(m_tree, 1);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    connect(m_store, &FavoritesStore::changed, this, &OrganizeFavoritesDialog::refresh);
    refresh();
    resize(620, 420);
}

void OrganizeFavoritesDialog::refresh()
{
    const QString selected = selectedPath();
    m_tree->clear();
    std::function<void(QTreeWidgetItem *, const FavoritesStore::Folder &)> fill = [&](QTreeWidgetItem *parent,
                                                                                      const FavoritesStore::Folder &folder) {
        for (const FavoritesStore::Folder &sub : folder.folders) {
            auto *item = new QTreeWidgetItem(parent, {sub.name});
            item->setData(0, PathRole, sub.path);
            item->setData(0, FolderRole, true);
            fill(item, sub);
        }
        for (const FavoritesStore::Favorite &favorite : folder.favorites) {
            auto *item = new QTreeWidgetItem(parent, {favorite.name, favorite.url});
            item->setData(0, PathRole, favorite.path);
            item->setData(0, UrlRole, favorite.url);
        }
    };
    const FavoritesStore::Folder root = m_store->tree();
    auto *top = new QTreeWidgetItem(m_tree, {root.name});
    top->setData(0, PathRole, root.path);
    top->setData(0, FolderRole, true);
    fill(top, root);
    m_tree->expandAll();
    m_tree->setCurrentItem(top);
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if ((*it)->data(0, PathRole).toString() == selected)
            m_tree->setCurrentItem(*it);
    applyFilter();
}

bool OrganizeFavoritesDialog::matches(const QString &text, const QString &name, const QString &url)
{
    const QString wanted = text.trimmed();
    return wanted.isEmpty() || name.contains(wanted, Qt::CaseInsensitive) || url.contains(wanted, Qt::CaseInsensitive) ||
           (Pinyin::isQuery(wanted) && Pinyin::shared().matches(wanted, name));
}

void OrganizeFavoritesDialog::applyFilter()
{
    const QString text = m_filter->text();
    // A folder shows while it matches or holds something that does; what a matching folder
    // holds shows with it.
    std::function<bool(QTreeWidgetItem *, bool)> filter = [&](QTreeWidgetItem *item, bool shownByParent) {
        const bool self = matches(text, item->text(0), item->data(0, UrlRole).toString()) || shownByParent;
        bool child = false;
        for (int i = 0; i < item->childCount(); ++i)
            child = filter(item->child(i), self && item->data(0, FolderRole).toBool() && item != m_tree->topLevelItem(0)) ||
                    child;
        item->setHidden(!(self || child));
        return self || child;
    };
    if (QTreeWidgetItem *top = m_tree->topLevelItem(0)) {
        for (int i = 0; i < top->childCount(); ++i)
            filter(top->child(i), false);
        top->setHidden(false);
    }
}

QString OrganizeFavoritesDialog::selectedPath() const
{
    QTreeWidgetItem *item = m_tree->currentItem();
    return item ? item->data(0, PathRole).toString() : QString();
}

QString OrganizeFavoritesDialog::selectedFolder() const
{
    QTreeWidgetItem *item = m_tree->currentItem();
    if (!item)
        return m_store->root();
    return item->data(0, FolderRole).toBool() ? item->data(0, PathRole).toString()
                                              : QFileInfo(item->data(0, PathRole).toString()).absolutePath();
}

void OrganizeFavoritesDialog::newFolder()
{
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("新建文件夹"), QStringLiteral("文件夹名称:"),
                                               QLineEdit::Normal, QString(), &ok);
    if (ok && !name.trimmed().isEmpty())
        m_store->createFolder(selectedFolder(), name);
}

void OrganizeFavoritesDialog::renameSelected()
{
    QTreeWidgetItem *item = m_tree->currentItem();
    if (!item || item->data(0, PathRole).toString() == m_store->root())
        return;
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("重命名"), QStringLiteral("新名称:"), QLineEdit::Normal,
                                               item->text(0), &ok);
    if (ok && !name.trimmed().isEmpty())
        m_store->rename(item->data(0, PathRole).toString(), name);
}

void OrganizeFavoritesDialog::moveSelected()
{
    const QString path = selectedPath();
    if (path.isEmpty() || path == m_store->root())
        return;
    QStringList names;
    QStringList paths;
    std::function<void(const FavoritesStore::Folder &, int)> collect = [&](const FavoritesStore::Folder &folder, int depth) {
        names << QString(depth * 2, QLatin1Char(' ')) + folder.name;
        paths << folder.path;
        for (const FavoritesStore::Folder &sub : folder.folders)
            collect(sub, depth + 1);
    };
    collect(m_store->tree(), 0);
    bool ok = false;
    const QString chosen = QInputDialog::getItem(this, QStringLiteral("移至文件夹"), QStringLiteral("目标文件夹:"), names, 0,
                                                 false, &ok);
    if (ok && names.contains(chosen))
        m_store->moveInto(path, paths.at(names.indexOf(chosen)));
}

void OrganizeFavoritesDialog::removeSelected()
{
    QTreeWidgetItem *item = m_tree->currentItem();
    if (!item || item->data(0, PathRole).toString() == m_store->root())
        return;
    QMessageBox ask(QMessageBox::Information, QStringLiteral("询问"),
                    QStringLiteral("确定要删除“%1”吗？").arg(item->text(0)), QMessageBox::Yes | QMessageBox::No, this);
    // The name came from a title or an imported file: shown as it is, never read as markup.
    ask.setTextFormat(Qt::PlainText);
    if (ask.exec() == QMessageBox::Yes)
        m_store->remove(item->data(0, PathRole).toString());
}

void OrganizeFavoritesDialog::openSelected()
{
    QTreeWidgetItem *item = m_tree->currentItem();
    if (!item || item->data(0, FolderRole).toBool())
        return;
    const QString url = item->data(0, UrlRole).toString();
    // A script in a favorite opens nothing.
    if (FavoritesStore::openable(url))
        emit openRequested(url);
}
