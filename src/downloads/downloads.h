#pragma once

#include "../core/closeguard.h"

#include "../engine/downloaditem.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class DownloadsWindow;
class QFileSystemWatcher;
class QWidget;

// The program's downloads: where each goes (a save dialog in the user's download folder),
// the window that lists them, the count in the status line, and the question at the close
// while some still run. A file arrives as NAME.part and takes its name when complete; a
// file that is there already is never replaced without the user saying so.
class Downloads : public QObject, public DownloadHandler, public CloseGuard
{
    Q_OBJECT

public:
    explicit Downloads(QWidget *window);
    ~Downloads() override;

    QString chooseFile(const QString &suggestedName, const QUrl &url) override;
    QString partFileFor(const QString &finalPath) override;
    void downloadStarted(DownloadItem *item) override;

    const QList<QPointer<DownloadItem>> &items() const { return m_items; }
    int activeCount() const;
    DownloadsWindow *window();
    // At the close: true when no download runs, or the user wants to leave all the same.
    bool mayClose() override;
    // The program ends: downloads still running are cancelled and what they wrote goes.
    void cancelAllForExit();

    // The save dialog's answer (a full path, empty to refuse); tests put in their own.
    std::function<QString(const QString &proposedPath)> askWhereTo;
    std::function<bool(int running)> askToCloseWhileRunning;

signals:
    // "下载: N" while downloads run, empty when none does.
    void activeChanged(const QString &text);

private:
    void finish(DownloadItem *item);
    // The folders of the downloads that run are watched: each attempt's file is held the
    // moment it appears there, not only at the engine's next report (it reports seldom, and
    // an attempt that breaks off between two reports would leave nothing).
    void watchFolders();
    void holdArriving(const QString &folder);

    QWidget *m_window;
    QList<QPointer<DownloadItem>> m_items;
    QList<QString> m_replaceAllowed; // final paths the user chose to replace
    QPointer<DownloadsWindow> m_list;
    QFileSystemWatcher *m_folders = nullptr;
};
