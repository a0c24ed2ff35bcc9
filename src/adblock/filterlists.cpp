#include "filterlists.h"

#include "adblocklog.h"

#include "../core/listfile.h"
#include "../core/safefile.h"
#include "filtercache.h"
#include "filtersources.h"
#include "registrabledomain.h"
#include "rulesfile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <future>
#include <optional>
#include <thread>

namespace {

RequestType requestTypeOf(ContentFilter::Resource resource)
{
    using R = ContentFilter::Resource;
    switch (resource) {
    case R::Document:
        return RequestType::Document;
    case R::Subdocument:
        return RequestType::Subdocument;
    case R::Script:
        return RequestType::Script;
    case R::Image:
        return RequestType::Image;
    case R::Stylesheet:
        return RequestType::Stylesheet;
    case R::XmlHttpRequest:
        return RequestType::XmlHttpRequest;
    case R::Font:
        return RequestType::Font;
    case R::Media:
        return RequestType::Media;
    case R::Ping:
        return RequestType::Ping;
    case R::WebSocket:
        return RequestType::WebSocket;
    case R::Object:
        return RequestType::Object;
    case R::Other:
        break;
    }
    return RequestType::Other;
}

std::string encoded(const QUrl &url)
{
    const QByteArray bytes = url.toEncoded();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// Only pages of the web can be filtered or excepted.
bool webPage(const QUrl &url)
{
    return (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) && !url.host().isEmpty();
}

} // namespace

FilterLists::FilterLists(QObject *parent)
    : QObject(parent), m_sources(defaultSources()), m_cachePath(FilterCache::defaultPath()),
      m_watcher(new QFileSystemWatcher(this))
{
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, [this] {
        watchUserRules();
        reload();
    });
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        // The file came into being (or was replaced through a rename).
        const bool watched = m_watcher->files().contains(FilterSources::userRules());
        watchUserRules();
        if (!watched && QFileInfo::exists(FilterSources::userRules()))
            reload();
    });
    watchUserRules();
}

std::function<QStringList()> &FilterLists::defaultSources()
{
    static std::function<QStringList()> sources = &FilterSources::all;
    return sources;
}

FilterLists::~FilterLists()
{
    // A request asked from now on is blocked.
    const std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->closing = true;
}

void FilterLists::setEnabled(bool enabled)
{
    m_enabled.store(enabled);
    // Nothing is filtered now: nothing needs to wait for the lists.
    if (!enabled)
        runWaiting();
}

void FilterLists::whenReady(QObject *context, std::function<void()> then)
{
    bool ready = m_gaveUpWaiting || !m_enabled.load();
    if (!ready) {
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        ready = m_shared->set || !m_shared->loading || m_shared->closing;
    }
    if (ready)
        then();
    else
        m_waiting.emplace_back(context, std::move(then));
}

void FilterLists::runWaiting()
{
    const auto waiting = std::exchange(m_waiting, {});
    for (const auto &[context, then] : waiting)
        if (context)
            then();
}

void FilterLists::watchUserRules()
{
    const QString file = FilterSources::userRules();
    const QString folder = QFileInfo(file).absolutePath();
    QDir().mkpath(folder);
    if (!m_watcher->directories().contains(folder))
        m_watcher->addPath(folder);
    // A file replaced through a rename is a new file: watch it anew.
    if (QFileInfo::exists(file)) {
        m_watcher->removePath(file);
        m_watcher->addPath(file);
    }
}

std::shared_ptr<const FilterSet> FilterLists::current() const
{
    const std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->set;
}

void FilterLists::reload()
{
    if (m_loading) {
        m_loadAgain = true;
        return;
    }
    startLoad();
}

void FilterLists::reloadOnceIdle()
{
    if (m_loading) {
        m_loadAgain = true;
        return;
    }
    // Loading from now on: whatever asks before the thread starts waits, never passes.
    m_loading = true;
    {
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->loading = true;
    }
    m_startPending = true;
    holdNoLongerThanTheBound();
    QTimer::singleShot(0, this, [this] {
        if (m_startPending)
            startLoad();
    });
}

namespace {

// One load of the lists: the set (from the compiled cache when it fits, parsed otherwise) and
// what the user should hear about them.
struct ListsLoad
{
    QByteArray key;
    std::shared_ptr<const FilterSet> set;
    FilterLists::Problems problems;
    bool fromCache = false;
};

ListsLoad loadLists(const QStringList &files, const QString &userRules, const QString &cachePath)
{
    ListsLoad load;
    for (const QString &path : files) {
        bool missing = false;
        const QString why = FilterSources::refusal(path, FilterSources::kMaxListBytes, &missing);
        // The user's own file need not exist.
        if (!why.isEmpty() && !(missing && path == userRules))
            load.problems.append({path, QStringLiteral("广告过滤列表无法读取，未使用: %1（%2）").arg(path, why)});
    }
    load.key = FilterCache::sourcesKey(files, userRules);
    QString cacheProblem;
    std::shared_ptr<FilterSet> set = cachePath.isEmpty() ? nullptr : FilterCache::load(cachePath, load.key, &cacheProblem);
    if (!cacheProblem.isEmpty())
        load.problems.append({cachePath, QStringLiteral("广告过滤缓存未使用: %1（%2）").arg(cachePath, cacheProblem)});
    load.fromCache = set != nullptr;
    if (!set) {
        set = std::make_shared<FilterSet>();
        for (const QString &path : files) {
            const std::optional<FilterSet::Counts> counts = set->addListFile(path);
            if (counts && counts->dropped)
                load.problems.append(
                    {path, QStringLiteral("广告过滤列表规则过多，%1 条未使用: %2").arg(counts->dropped).arg(path)});
        }
        set->finish();
    }
    load.set = std::move(set);
    return load;
}

// Kept for the next start once it is in use; a cache that cannot be written only costs the
// next start its speed.
void keepInCache(const ListsLoad &load, const QString &cachePath)
{
    if (!load.fromCache && !cachePath.isEmpty())
        FilterCache::save(cachePath, load.key, *load.set);
}

// The program's first load, begun while its window is made (beginFirstLoad); the first load
// of the same lists takes it over.
struct FirstLoad
{
    QStringList files;
    QString userRules;
    QString cachePath;
    std::shared_future<ListsLoad> result; // until the first load looks at it
    std::thread thread;
    ~FirstLoad()
    {
        if (thread.joinable())
            thread.join();
    }
};

FirstLoad &firstLoad()
{
    static FirstLoad load;
    return load;
}

} // namespace

void FilterLists::beginFirstLoad()
{
    FirstLoad &first = firstLoad();
    if (first.thread.joinable())
        return;
    first.files = defaultSources()();
    first.userRules = FilterSources::userRules();
    first.cachePath = FilterCache::defaultPath();
    std::promise<ListsLoad> promise;
    first.result = promise.get_future().share();
    first.thread = std::thread([&first, promise = std::move(promise)]() mutable {
        ListsLoad load = loadLists(first.files, first.userRules, first.cachePath);
        promise.set_value(load);
        keepInCache(load, first.cachePath);
    });
}

void FilterLists::startLoad()
{
    m_startPending = false;
    m_loading = true;
    m_loadAgain = false;
    const QStringList files = m_sources();
    const QString userRules = FilterSources::userRules();
    const QString cachePath = m_cachePath;
    const std::shared_ptr<Shared> shared = m_shared;
    {
        const std::lock_guard<std::mutex> lock(shared->mutex);
        shared->loading = true;
    }
    holdNoLongerThanTheBound();
    // The load begun while the window was made, when it read these lists; looked at once, so
    // that its set is not kept beyond its use.
    std::optional<std::shared_future<ListsLoad>> early;
    FirstLoad &first = firstLoad();
    if (std::shared_future<ListsLoad> result = std::exchange(first.result, {}); result.valid() &&
        first.files == files && first.userRules == userRules && first.cachePath == cachePath)
        early = std::move(result);
    QPointer<FilterLists> self = this;
    QThread *worker = QThread::create([self, shared, files, userRules, cachePath, early]() mutable {
        ListsLoad load;
        if (early) {
            load = early->get();
            // A list changed since that load began: read them as they are now.
            if (load.key != FilterCache::sourcesKey(files, userRules))
                early.reset();
        }
        if (!early)
            load = loadLists(files, userRules, cachePath);
        {
            // In use from here on.
            const std::lock_guard<std::mutex> lock(shared->mutex);
            shared->set = load.set;
            shared->loading = false;
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [self, set = load.set, problems = load.problems] {
                if (self)
                    self->finishLoad(set, problems);
            },
            Qt::QueuedConnection);
        if (!early)
            keepInCache(load, cachePath);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    // Pages may be waiting for it.
    worker->start();
}

void FilterLists::holdNoLongerThanTheBound()
{
    if (current())
        return;
    // Should the lists never come (a file system that hangs), pages go after all, and their
    // requests are blocked until the lists are in.
    QTimer::singleShot(m_firstSetWaitMs, this, [this] {
        if (current() || m_waiting.empty())
            return;
        m_gaveUpWaiting = true;
        qCWarning(lcAdblock) << "filter lists not in after" << m_firstSetWaitMs << "ms; pages go, requests blocked";
        runWaiting();
    });
}

void FilterLists::finishLoad(std::shared_ptr<const FilterSet> set, const Problems &problems)
{
    m_loading = false;
    // The pages that held their navigations for the lists go now.
    runWaiting();
    for (const auto &[path, text] : problems) {
        if (m_reported.contains(text))
            continue;
        m_reported << text;
        qCWarning(lcAdblock).noquote() << text;
        emit problem(text);
    }
    // A change asked for while this load ran is not in it: "loaded" waits for the load
    // that has it.
    if (m_loadAgain) {
        startLoad();
        return;
    }
    qCDebug(lcAdblock) << "lists in:" << set->counts().network << "network rules," << set->counts().hiding
                       << "hiding rules";
    emit loaded(set->counts());
}

bool FilterLists::blocksRequest(const QUrl &url, const QUrl &source, const QUrl &topLevel, Resource type) const
{
    if (!m_enabled.load() || !webPage(url))
        return false;
    std::shared_ptr<const FilterSet> set;
    {
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        set = m_shared->set;
        // No list was ever asked for (nothing to wait for), or they are on their way: only
        // the latter blocks, so that nothing passes unfiltered. Nothing waits here.
        if (!set)
            return m_shared->loading || m_shared->closing;
    }
    return set->decide(encoded(url), encoded(source), requestTypeOf(type), encoded(topLevel)).block;
}

QString FilterLists::hidingStyleSheet(const QUrl &page) const
{
    if (!m_enabled.load() || !webPage(page))
        return {};
    const std::shared_ptr<const FilterSet> set = current();
    if (!set)
        return {};
    return QString::fromStdString(set->hidingStyleSheet(encoded(page)));
}

QString FilterLists::siteRule(const QUrl &page)
{
    if (!webPage(page))
        return {};
    const std::string site = RegistrableDomain::of(page.host().toLower().toStdString());
    return QStringLiteral("@@||") + QString::fromStdString(site) + QStringLiteral("^$document");
}

bool FilterLists::subscriptionParses(const QByteArray &text)
{
    // Only what reads as a list replaces a copy: its header, within the size, and rules in it.
    if (text.size() > kMaxSubscriptionBytes || (!text.startsWith("[Adblock") && !text.startsWith("!")))
        return false;
    FilterSet set;
    const FilterSet::Counts counts = set.addList(std::string_view(text.constData(), size_t(text.size())));
    return counts.network + counts.hiding > 0;
}

bool FilterLists::siteExcepted(const QUrl &page) const
{
    const QString rule = siteRule(page);
    return !rule.isEmpty() &&
           RulesFile::containsLine(
               FilterSources::read(FilterSources::userRules(), FilterSources::kMaxListBytes).value_or(QByteArray()), rule);
}

bool FilterLists::setSiteExcepted(const QUrl &page, bool excepted)
{
    const QString rule = siteRule(page);
    if (rule.isEmpty())
        return false;
    // Only the rule's own line changes: the rest of the file is the user's.
    QString error;
    const bool written = RulesFile::setLine(FilterSources::userRules(), rule, excepted, &error);
    if (!written) {
        emit problem(QStringLiteral("无法保存过滤规则: %1：%2").arg(FilterSources::userRules(), error));
        return false;
    }
    // The watcher reloads too; this makes it at once.
    reload();
    return true;
}

int FilterLists::refreshSubscriptions()
{
    int asked = 0;
    const QStringList addresses = ListFile::decode(
        FilterSources::read(FilterSources::subscriptionsFile(), FilterSources::kMaxListBytes).value_or(QByteArray()));
    const QDateTime stale = QDateTime::currentDateTime().addDays(-kRefreshDays);
    for (const QString &line : addresses) {
        const QUrl address(line.trimmed());
        // Over https only: a list decides what every page loads, it must come unaltered.
        if (!address.isValid() || address.scheme() != QLatin1String("https") || address.host().isEmpty())
            continue;
        const QString copy = FilterSources::subscriptionCopy(line);
        const QFileInfo info(copy);
        if (info.exists() && info.lastModified() > stale)
            continue;
        if (!m_network)
            m_network = new QNetworkAccessManager(this);
        QNetworkRequest request(address);
        // Redirects stay on https too.
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        request.setTransferTimeout(60000);
        QNetworkReply *reply = m_network->get(request);
        ++asked;
        // A list larger than any real one is refused as it arrives, not read into memory.
        connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
            if (received > kMaxSubscriptionBytes || total > kMaxSubscriptionBytes)
                reply->abort();
        });
        connect(reply, &QNetworkReply::finished, this, [this, reply, copy] {
            reply->deleteLater();
            if (reply->error() != QNetworkReply::NoError || reply->url().scheme() != QLatin1String("https"))
                return; // offline or refused: the copy kept (or the packaged lists) stand
            const QByteArray text = reply->read(kMaxSubscriptionBytes + 1);
            if (!subscriptionParses(text))
                return;
            QDir().mkpath(QFileInfo(copy).absolutePath());
            if (SafeFile::replace(copy, text))
                reload();
        });
    }
    return asked;
}
