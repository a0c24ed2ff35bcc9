#include "downloads.h"

#include "downloadslog.h"

#include "downloadnames.h"
#include "downloadswindow.h"
#include "partfile.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMessageBox>
#include <QStandardPaths>

Downloads::Downloads(QWidget *window) : QObject(window), m_window(window)
{
    askWhereTo = [window](const QString &proposed) {
        // The dialog asks before a file that is there is replaced.
        return QFileDialog::getSaveFileName(window, QStringLiteral("保存文件"), proposed);
    };
    askToCloseWhileRunning = [window](int running) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("询问"),
                        QStringLiteral("还有 %1 个下载正在进行，确定要退出吗？").arg(running), QMessageBox::Yes | QMessageBox::No,
                        window);
        box.setObjectName(QStringLiteral("CloseWhileDownloading"));
        return box.exec() == QMessageBox::Yes;
    };
}

QString Downloads::chooseFile(const QString &suggestedName, const QUrl &url)
{
    QString name = suggestedName;
    if (name.trimmed().isEmpty())
        name = url.fileName();
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    QDir().mkpath(folder);
    const QString chosen = askWhereTo(DownloadNames::freePath(folder, DownloadNames::safe(name)));
    if (chosen.isEmpty())
        return {};
    if (QFileInfo::exists(chosen))
        m_replaceAllowed << QFileInfo(chosen).absoluteFilePath();
    return chosen;
}

QString Downloads::partFileFor(const QString &finalPath)
{
    PartFile::dropOrphan(finalPath + QStringLiteral(".part"));
    return DownloadNames::partPath(finalPath);
}

void Downloads::downloadStarted(DownloadItem *item)
{
    m_items << item;
    connect(item, &DownloadItem::changed, this, [this, item] {
        if (!item->savedPage()) {
            switch (item->state()) {
            case DownloadItem::InProgress:
            case DownloadItem::Paused:
                PartFile::hold(item->arrivingPath(), item->partPath());
                break;
            case DownloadItem::Interrupted:
                qCWarning(lcDownloads).noquote() << "download interrupted:" << item->partPath();
                PartFile::restore(item->partPath());
                PartFile::release(item->partPath());
                break;
            case DownloadItem::Completed:
            case DownloadItem::Cancelled:
                PartFile::release(item->partPath());
                break;
            }
        }
        watchFolders();
        if (item->state() == DownloadItem::Completed)
            finish(item);
        emit activeChanged(activeCount() ? QStringLiteral("下载: %1").arg(activeCount()) : QString());
    });
    watchFolders();
    window()->add(item);
    window()->show();
    emit activeChanged(QStringLiteral("下载: %1").arg(activeCount()));
}

void Downloads::watchFolders()
{
    QStringList wanted;
    for (const QPointer<DownloadItem> &item : std::as_const(m_items))
        if (item && !item->savedPage() && !item->partPath().isEmpty() &&
            (item->state() == DownloadItem::InProgress || item->state() == DownloadItem::Paused))
            wanted << QFileInfo(item->partPath()).absolutePath();
    wanted.removeDuplicates();
    if (!m_folders) {
        if (wanted.isEmpty())
            return;
        m_folders = new QFileSystemWatcher(this);
        connect(m_folders, &QFileSystemWatcher::directoryChanged, this, &Downloads::holdArriving);
    }
    const QStringList watched = m_folders->directories();
    for (const QString &folder : watched)
        if (!wanted.contains(folder))
            m_folders->removePath(folder);
    for (const QString &folder : std::as_const(wanted))
        if (!watched.contains(folder))
            m_folders->addPath(folder);
}

void Downloads::holdArriving(const QString &folder)
{
    for (const QPointer<DownloadItem> &item : std::as_const(m_items))
        if (item && !item->savedPage() && (item->state() == DownloadItem::InProgress || item->state() == DownloadItem::Paused) &&
            QFileInfo(item->partPath()).absolutePath() == folder)
            PartFile::hold(item->arrivingPath(), item->partPath());
}

void Downloads::finish(DownloadItem *item)
{
    if (item->savedPage() || item->property("finished").toBool())
        return;
    item->setProperty("finished", true);
    const QString part = item->partPath();
    QString target = item->finalPath();
    if (part == target || !QFileInfo::exists(part))
        return;
    if (QFileInfo::exists(target)) {
        if (m_replaceAllowed.contains(target))
            QFile::remove(target);
        else
            target = DownloadNames::freePath(QFileInfo(target).absolutePath(), QFileInfo(target).fileName());
    }
    m_replaceAllowed.removeAll(item->finalPath());
    if (QFile::rename(part, target))
        item->setProperty("savedAs", target);
}

void Downloads::cancelAllForExit()
{
    for (const QPointer<DownloadItem> &item : std::as_const(m_items)) {
        if (!item || item->savedPage() || (item->state() != DownloadItem::InProgress && item->state() != DownloadItem::Paused))
            continue;
        const QString part = item->partPath();
        const QString arriving = item->arrivingPath();
        item->cancel();
        // The engine removes its file in the background, which may not come before the end:
        // the names are this download's own (the part name was free when it began).
        QFile::remove(arriving);
        QFile::remove(part + QStringLiteral(".download"));
        QFile::remove(part);
        PartFile::release(part);
    }
}

Downloads::~Downloads()
{
    // Leaving while downloads run: the engine drops them, the hidden names go.
    for (const QPointer<DownloadItem> &item : std::as_const(m_items))
        if (item && !item->savedPage())
            PartFile::release(item->partPath());
}

int Downloads::activeCount() const
{
    int count = 0;
    for (const QPointer<DownloadItem> &item : m_items)
        count += item && (item->state() == DownloadItem::InProgress || item->state() == DownloadItem::Paused);
    return count;
}

DownloadsWindow *Downloads::window()
{
    if (!m_list) {
        m_list = new DownloadsWindow(m_window);
        m_list->setWindowFlag(Qt::Window);
    }
    return m_list;
}

bool Downloads::mayClose()
{
    const int running = activeCount();
    return running == 0 || askToCloseWhileRunning(running);
}
