#include "favoritesmenu.h"

#include "favoriteslog.h"

#include "../core/offthread.h"
#include "../core/userfolders.h"
#include "../engine/embeddedwb.h"
#include "../pages/formwebbrowser.h"
#include "favoritesdialogs.h"
#include "favoritesstore.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

FavoritesMenu::FavoritesMenu(TFormWebbrowser *pages, FavoritesStore *store, QWidget *window)
    : QObject(window), m_pages(pages), m_store(store), m_window(window)
{
}

void FavoritesMenu::NAddFavoriteClick()
{
    if (m_pages->count() == 0)
        return;
    if (const TFormWebbrowser::PageView *active = m_pages->activePage(); active && active->browser()->Document()) {
        AddFavoriteDialog dialog(m_store, active->browser()->LocationName(), active->browser()->LocationURL(), m_window);
        if (dialog.exec() == QDialog::Accepted)
            dialog.save();
    }
    m_pages->FocusActiveDocument();
}

void FavoritesMenu::NTrimFavoriteClick()
{
    OrganizeFavoritesDialog dialog(m_store, m_window);
    connect(&dialog, &OrganizeFavoritesDialog::openRequested, this, &FavoritesMenu::openRequested);
    dialog.exec();
    m_pages->FocusActiveDocument();
}

void FavoritesMenu::runImport(std::function<FavoritesStore::ImportResult(FavoritesStore &)> work)
{
    // Off the interface thread: a big or broken file must not freeze the window. The worker
    // has a store of its own on the same folder.
    const QString root = m_store->root();
    emit statusMessage(QStringLiteral("正在导入收藏夹..."));
    offThread<FavoritesStore::ImportResult>(
        this,
        [root, work] {
            FavoritesStore store(root);
            return work(store);
        },
        [this](const FavoritesStore::ImportResult &result) {
            emit m_store->changed();
            emit statusMessage(QStringLiteral("已导入 %1 个收藏，跳过 %2 个。").arg(result.imported).arg(result.skipped));
        });
}

void FavoritesMenu::importBookmarks(const QString &file)
{
    runImport([file](FavoritesStore &store) { return store.importBookmarkFile(file, QString()); });
}

void FavoritesMenu::importShortcuts(const QString &folder)
{
    runImport([folder](FavoritesStore &store) { return store.importShortcutFolder(folder, QString()); });
}

bool FavoritesMenu::exportBookmarks(const QString &file)
{
    const bool written = m_store->exportBookmarkFile(file);
    if (!written)
        qCWarning(lcFavorites).noquote() << "favorites not exported to" << file;
    emit statusMessage(written ? QStringLiteral("收藏夹已导出到 ") + file : QStringLiteral("无法导出收藏夹到 ") + file);
    return written;
}

void FavoritesMenu::importExport()
{
    QMessageBox choice(QMessageBox::Question, QStringLiteral("导入和导出"), QStringLiteral("请选择要进行的操作:"),
                       QMessageBox::Cancel, m_window);
    choice.setObjectName(QStringLiteral("ImportExportChoice"));
    QPushButton *importFile = choice.addButton(QStringLiteral("从书签文件导入..."), QMessageBox::ActionRole);
    QPushButton *importFolder = choice.addButton(QStringLiteral("从收藏夹文件夹导入..."), QMessageBox::ActionRole);
    QPushButton *exportFile = choice.addButton(QStringLiteral("导出到书签文件..."), QMessageBox::ActionRole);
    choice.exec();
    const QString filter = QStringLiteral("书签文件 (*.html *.htm);;所有文件 (*)");
    if (choice.clickedButton() == importFile) {
        const QString file = QFileDialog::getOpenFileName(m_window, QStringLiteral("导入书签文件"), QString(), filter);
        if (!file.isEmpty())
            importBookmarks(file);
    } else if (choice.clickedButton() == importFolder) {
        const QString folder = QFileDialog::getExistingDirectory(m_window, QStringLiteral("导入收藏夹文件夹"));
        if (!folder.isEmpty())
            importShortcuts(folder);
    } else if (choice.clickedButton() == exportFile) {
        const QString file = QFileDialog::getSaveFileName(m_window, QStringLiteral("导出到书签文件"),
                                                          QDir(UserFolders::downloads()).filePath(QStringLiteral("bookmarks.html")), filter);
        if (!file.isEmpty())
            exportBookmarks(file);
    }
    m_pages->FocusActiveDocument();
}
