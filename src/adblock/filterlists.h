#pragma once

#include "../engine/contentfilter.h"
#include "filterset.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class QFileSystemWatcher;
class QNetworkAccessManager;

// The ad filter of the running program: the lists (packaged, subscribed, the user's own)
// compiled into one set off the interface thread and swapped in whole; the engine asks it
// about every request and every page's hiding style sheet. Until the first set is in, pages
// hold their navigations (whenReady) and a request that comes all the same is blocked: nothing
// passes unfiltered and nothing waits on the interface thread. The set is kept compiled in
// a cache between runs. A list that cannot be read, or brings more than can be matched fast,
// is left out (in part) and said once in the status line. The user's rules are read again whenever their file changes; sites the user does
// not want filtered are rules there as well.
class FilterLists : public QObject, public ContentFilter
{
    Q_OBJECT

public:
    // How often a subscribed list is fetched again.
    static constexpr qint64 kRefreshDays = 4;
    // The largest subscribed list taken (the largest real ones are a few MiB).
    static constexpr qint64 kMaxSubscriptionBytes = 16 * 1024 * 1024;

    // Each problem is a list's path and what to say about it.
    using Problems = QList<std::pair<QString, QString>>;

    explicit FilterLists(QObject *parent = nullptr);
    ~FilterLists() override;

    // The longest a navigation is held for the first set; past it, pages go and their
    // requests are blocked until the set is in.
    static constexpr int kFirstSetWaitMs = 10000;
    void setFirstSetWaitMs(int ms) { m_firstSetWaitMs = ms; }

    // Begins the program's first load of the lists (the default sources, the default cache)
    // on a thread of its own while the window is made; the first load of a FilterLists that
    // reads the same lists takes it over. Called once, by main.
    static void beginFirstLoad();
    // Loads the lists in the background; a load asked for while one runs follows it.
    void reload();
    // The same, its thread started once the event loop turns (the window is up by then and
    // the start-up does not share the processor with it); requests wait from now on, and
    // one asked on this object's thread before then begins the load itself.
    void reloadOnceIdle();
    // Where the compiled lists are kept (FilterCache::defaultPath() unless tests say).
    void setCachePath(const QString &path) { m_cachePath = path; }
    // The files a load reads; tests and the tool name their own.
    void setSources(std::function<QStringList()> sources) { m_sources = std::move(sources); }
    // The files of every FilterLists made from now on (the program loads at once as it
    // starts: tests choose before); FilterSources::all unless set.
    static std::function<QStringList()> &defaultSources();

    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled.load(); }
    // The compiled set in use (none before the first load has finished).
    std::shared_ptr<const FilterSet> current() const;

    bool blocksRequest(const QUrl &url, const QUrl &source, const QUrl &topLevel, Resource type) const override;
    QString hidingStyleSheet(const QUrl &page) const override;
    void whenReady(QObject *context, std::function<void()> then) override;

    // "This site is not filtered": an @@||site^$document rule in the user's file.
    bool siteExcepted(const QUrl &page) const;
    bool setSiteExcepted(const QUrl &page, bool excepted);
    static QString siteRule(const QUrl &page);

    // A fetched list is kept only when this holds: a list's header, not too large, rules in it.
    static bool subscriptionParses(const QByteArray &text);
    // Fetches the subscribed lists whose copies are missing or older than kRefreshDays, in
    // the background; each one that arrives brings a new load. Returns how many were asked for.
    int refreshSubscriptions();

signals:
    // The set in use holds every change asked for so far.
    void loaded(const FilterSet::Counts &counts);
    // Something the user should know, in one line (a list that cannot be read).
    void problem(const QString &text);

private:
    void startLoad();
    void finishLoad(std::shared_ptr<const FilterSet> set, const Problems &problems);
    int m_firstSetWaitMs = kFirstSetWaitMs;
    // reloadOnceIdle's load is still to begin (touched on this object's thread only).
    bool m_startPending = false;
    // What waits for the first set (whenReady), on this object's thread.
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> m_waiting;
    bool m_gaveUpWaiting = false;
    void runWaiting();
    void holdNoLongerThanTheBound();
    void watchUserRules();

    // What the loading thread and the engine's threads share; it outlives this object while
    // a load runs.
    struct Shared
    {
        std::mutex mutex;
        std::shared_ptr<const FilterSet> set;
        bool loading = false; // the first set is on its way
        bool closing = false;
    };

    std::function<QStringList()> m_sources;
    std::atomic<bool> m_enabled{true};
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
    QString m_cachePath;
    bool m_loading = false;
    bool m_loadAgain = false;
    QStringList m_reported;
    QFileSystemWatcher *m_watcher;
    QNetworkAccessManager *m_network = nullptr;
};
