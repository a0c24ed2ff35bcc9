#pragma once

#include "clearablestore.h"

#include "iecache.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class AddressBar;
class AddressBox;
class QThread;
class RecentlyClosedList;
class SearchBar;

// The Tools menu's "清除浏览记录": the program's own histories, the engine's history,
// cache, cookies and what sites stored, the typed addresses, the program's own recent documents and the temp
// folder. The engine's data is cleared on the interface thread, files on a worker; the
// window stays responsive. Each command says in the status line what it cleared, once it
// has been (the engine clears asynchronously), and what it could not.
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
    // Asked by "全部清除" when there are any: the answers given to sites that asked to use a
    // feature. The question's answer; tests put one here.
    std::function<bool()> askToForgetPermissions;
    // Empties the browsing history's file and calls back, with whether it did, once it is
    // done; none when there is no such history.
    // The history database, emptied with the browsing history.
    void setHistory(ClearableStore *history) { m_history = history; }
    // "全部清除" at the close: waits for it, at most `ms`; what the engine keeps on disk goes
    // with the engine.
    void cleanAllBeforeExit(int ms);

    // The longest a command waits for the engine to confirm its clearing.
    static constexpr int kEngineMs = 4000;
    // Kept in the temp folder while the program runs: restore after a crash needs it.
    static QString runningLock() { return QStringLiteral("Running.lock"); }

    TIECache &IECache1() { return m_cache; }

signals:
    void statusMessage(const QString &text);
    // A command's work is over (its message was given).
    void finished();

private:
    ClearableStore *m_history = nullptr;
    // The cache component over one pattern: find, then delete.
    void clearCache(TIECache::TSearchPattern pattern);
    void cleanAll();
    // Asks the engine to erase what sites stored once it lets go of it; the line's note.
    QString siteDataAtEnd();
    struct Task;
    // Runs a command's slow parts: the temp folder on a worker (`temp`), the engine's
    // clearing already asked for (`engineParts`); says what was cleared once both are over.
    std::shared_ptr<Task> finish(char code, QStringList cleared, bool temp, QStringList engineParts, QStringList problems = {},
                                 bool historyFile = false, QString later = {});
    void report(const std::shared_ptr<Task> &task);

    Parts m_parts;
    QString m_dataFolder;
    QString m_tempFolder;
    std::function<BrowsingData *()> m_data;
    TIECache m_cache;
    std::shared_ptr<Task> m_lastAll;
};
