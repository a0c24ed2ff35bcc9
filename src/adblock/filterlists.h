#pragma once

#include "../engine/contentfilter.h"
#include "filterset.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>

class QFileSystemWatcher;
class QNetworkAccessManager;

// The ad filter of the running program: the lists (packaged, subscribed, the user's own)
// compiled into one set off the interface thread and swapped in whole; the engine asks it
// about every request and every page's hiding style sheet. A list that cannot be read is
// left out and said once in the status line. The user's rules are read again whenever
// their file changes; sites the user does not want filtered are rules there as well.
class FilterLists : public QObject, public ContentFilter
{
    Q_OBJECT

public:
    // How often a subscribed list is fetched again.
    static constexpr qint64 kRefreshDays = 4;
    // The largest subscribed list taken (the largest real ones are a few MiB).
    static constexpr qint64 kMaxSubscriptionBytes = 16 * 1024 * 1024;

    explicit FilterLists(QObject *parent = nullptr);
    ~FilterLists() override;

    // Loads the lists in the background; a load asked for while one runs follows it.
    void reload();
    // The files a load reads; tests and the tool name their own.
    void setSources(std::function<QStringList()> sources) { m_sources = std::move(sources); }

    void setEnabled(bool enabled) { m_enabled.store(enabled); }
    bool isEnabled() const { return m_enabled.load(); }
    // The compiled set in use (none before the first load has finished).
    std::shared_ptr<const FilterSet> current() const;

    bool blocksRequest(const QUrl &url, const QUrl &source, const QUrl &topLevel, Resource type) const override;
    QString hidingStyleSheet(const QUrl &page) const override;

    // "This site is not filtered": an @@||site^$document rule in the user's file.
    bool siteExcepted(const QUrl &page) const;
    bool setSiteExcepted(const QUrl &page, bool excepted);
    static QString siteRule(const QUrl &page);

    // A fetched list is kept only when this holds: a list's header, not too large, rules in it.
    static bool subscriptionParses(const QByteArray &text);
    // Fetches the subscribed lists whose copies are missing or older than kRefreshDays, in
    // the background; each one that arrives brings a new load.
    void refreshSubscriptions();

signals:
    void loaded(const FilterSet::Counts &counts);
    // Something the user should know, in one line (a list that cannot be read).
    void problem(const QString &text);

private:
    void startLoad();
    void finishLoad(std::shared_ptr<const FilterSet> set, const QStringList &unreadable);
    void watchUserRules();

    std::function<QStringList()> m_sources;
    std::atomic<bool> m_enabled{true};
    mutable std::mutex m_mutex;
    std::shared_ptr<const FilterSet> m_set;
    bool m_loading = false;
    bool m_loadAgain = false;
    QStringList m_reported;
    QFileSystemWatcher *m_watcher;
    QNetworkAccessManager *m_network = nullptr;
};
