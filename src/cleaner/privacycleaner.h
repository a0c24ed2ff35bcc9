#pragma once

#include "iecache.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class AddressBar;
class AddressBox;
class QThread;
class RecentlyClosedList;
class SearchBar;

// The Tools menu's "清除浏览记录": the program's own histories, the engine's history,
// cache and cookies, the typed addresses, the desktop's recent documents and the temp
// folder. The engine's data is cleared on the interface thread, files on a worker; the
// window stays responsive. Each command says in the status line what it cleared.
class PrivacyCleaner : public QObject
{
    Q_OBJECT

public:
    struct Parts
    {
        AddressBox *addressBox;
        AddressBar *addressBar;
        SearchBar *searchBar;
        RecentlyClosedList *recentlyClosed;
    };

    PrivacyCleaner(const Parts &parts, const QString &dataFolder, const QString &tempFolder,
                   std::function<BrowsingData *()> data, QObject *parent);

    void NCleanAddressClick();
    void NClearSearchHistoryClick();
    void NCleanHistoryClick();
    void NCleanCacheClick();
    void NCleanCookiesClick();
    void NCleanTempDirClick();
    void NCleanRecentClick();
    void NCleanAllClick();
    // "全部清除" at the close: waits for it, at most `ms`.
    void cleanAllBeforeExit(int ms);

    TIECache &IECache1() { return m_cache; }

signals:
    void statusMessage(const QString &text);

private:
    // The cache component over one pattern: find, then delete.
    void clearCache(TIECache::TSearchPattern pattern);
    // A worker for the task; `cleared` goes to the status line when it is done.
    QThread *startWorker(char code, std::function<void()> fileWork, const QStringList &cleared);

    Parts m_parts;
    QString m_dataFolder;
    QString m_tempFolder;
    std::function<BrowsingData *()> m_data;
    TIECache m_cache;
    QPointer<QThread> m_lastAll;
};
