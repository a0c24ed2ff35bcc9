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
    // Whatever still waits for a first set stops waiting (and blocks).
    const std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->closing = true;
    m_shared->ready.notify_all();
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

std::shared_ptr<const FilterSet> FilterLists::answeringSet() const
{
    // Asked on this object's own thread (the engine asks on the window's) before the load
    // it waits for began: waiting for the event loop to begin it would wait in vain.
    if (QThread::currentThread() == thread() && m_startPending)
        const_cast<FilterLists *>(this)->startLoad();
    const std::shared_ptr<Shared> shared = m_shared;
    std::unique_lock<std::mutex> lock(shared->mutex);
    // The loading thread hands the set over itself: waiting here needs no other thread
    // than that one, whichever thread the engine asks on.
    shared->ready.wait_for(lock, std::chrono::milliseconds(m_firstSetWaitMs),
                           [&] { return shared->set || !shared->loading || shared->closing; });
    return shared->set;
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
    QTimer::singleShot(0, this, [this] {
        if (m_startPending)
            startLoad();
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
    QPointer<FilterLists> self = this;
    QThread *worker = QThread::create([self, shared, files, userRules, cachePath] {
        QStringList unreadable;
        for (const QString &path : files) {
            // The user's own file need not exist.
            if (!QFileInfo(path).isReadable() && (path != userRules || QFileInfo::exists(path)))
                unreadable << path;
        }
        const QByteArray key = FilterCache::sourcesKey(files, userRules);
        std::shared_ptr<FilterSet> set = cachePath.isEmpty() ? nullptr : FilterCache::load(cachePath, key);
        const bool fromCache = set != nullptr;
        if (!set) {
            set = std::make_shared<FilterSet>();
            for (const QString &path : files)
                set->addListFile(path);
            set->finish();
        }
        std::shared_ptr<const FilterSet> done = std::move(set);
        {
            // In use from here on, also by requests that waited for it.
            const std::lock_guard<std::mutex> lock(shared->mutex);
            shared->set = done;
            shared->loading = false;
        }
        shared->ready.notify_all();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [self, done, unreadable] {
                if (self)
                    self->finishLoad(done, unreadable);
            },
            Qt::QueuedConnection);
        // Kept for the next start once it is in use; a cache that cannot be written only
        // costs the next start its speed.
        if (!fromCache && !cachePath.isEmpty())
            FilterCache::save(cachePath, key, *done);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    // Pages may be waiting for it.
    worker->start();
}

void FilterLists::finishLoad(std::shared_ptr<const FilterSet> set, const QStringList &unreadable)
{
    m_loading = false;
    for (const QString &path : unreadable) {
        if (m_reported.contains(path))
            continue;
        m_reported << path;
        qCWarning(lcAdblock).noquote() << "filter list not readable, not used:" << path;
        emit problem(QStringLiteral("广告过滤列表无法读取，未使用: ") + path);
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
    const std::shared_ptr<const FilterSet> set = answeringSet();
    if (!set) {
        // No list was ever asked for (nothing to wait for), or none came in time: only
        // the latter blocks, so that nothing passes unfiltered.
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        return m_shared->loading || m_shared->closing;
    }
    return set->decide(encoded(url), encoded(source), requestTypeOf(type), encoded(topLevel)).block;
}

QString FilterLists::hidingStyleSheet(const QUrl &page) const
{
    if (!m_enabled.load() || !webPage(page))
        return {};
    const std::shared_ptr<const FilterSet> set = answeringSet();
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
    return !rule.isEmpty() && RulesFile::containsLine(SafeFile::read(FilterSources::userRules()).value_or(QByteArray()), rule);
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
    const QStringList addresses = ListFile::load(FilterSources::subscriptionsFile()).value_or(QStringList());
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
