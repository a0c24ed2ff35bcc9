#include "iecache.h"

#include "../engine/browsingdata.h"

namespace {

const QString kVisited = QStringLiteral("Visited:");
const QString kCache = QStringLiteral("Cache:");
const QString kCookie = QStringLiteral("Cookie:");

QString cookieName(const BrowsingData::Cookie &cookie)
{
    return kCookie + QString::fromUtf8(cookie.name) + QLatin1Char('@') + cookie.domain + cookie.path;
}

} // namespace

TIECache::TIECache(std::function<BrowsingData *()> data) : m_data(std::move(data))
{
    setFilterOptions({NORMAL_ENTRY, STICKY_ENTRY, COOKIE_ENTRY, URLHISTORY_ENTRY, TRACK_OFFLINE_ENTRY, TRACK_ONLINE_ENTRY});
}

void TIECache::setFilterOptions(const TFilterOptions &options)
{
    m_options = options;
    m_filter = 0;
    for (TFilterOption option : options)
        m_filter += option;
}

bool TIECache::libraryAvailable() const
{
    return m_data && m_data() != nullptr;
}

QList<TIECache::TEntryInfo> TIECache::entries() const
{
    QList<TEntryInfo> found;
    BrowsingData *data = m_data ? m_data() : nullptr;
    if (!data)
        return found;
    if (m_pattern == spAll || m_pattern == spHistory) {
        TEntryInfo visited;
        visited.SourceUrlName = kVisited;
        visited.EntryType = URLHISTORY_ENTRY;
        found << visited;
    }
    if (m_pattern == spAll || m_pattern == spUrl) {
        TEntryInfo cache;
        cache.SourceUrlName = kCache;
        cache.EntryType = NORMAL_ENTRY;
        found << cache;
    }
    if (m_pattern == spAll || m_pattern == spCookies) {
        for (const BrowsingData::Cookie &cookie : data->cookies()) {
            TEntryInfo entry;
            entry.SourceUrlName = cookieName(cookie);
            entry.EntryType = COOKIE_ENTRY;
            entry.ExpireTime = cookie.expires;
            entry.HeaderInfo = QString::fromUtf8(cookie.raw);
            found << entry;
        }
    }
    // An entry the filter does not let through is not found.
    found.removeIf([this](const TEntryInfo &entry) { return !(entry.EntryType & m_filter); });
    return found;
}

int TIECache::retrieve()
{
    int count = 0;
    for (const TEntryInfo &entry : entries()) {
        m_entry = entry;
        ++count;
        bool cancel = false;
        if (OnEntry)
            OnEntry(this, cancel);
        if (cancel)
            break;
    }
    return count;
}

void TIECache::remove(const TEntryInfo &entry)
{
    BrowsingData *data = m_data ? m_data() : nullptr;
    if (!data)
        return;
    if (entry.SourceUrlName == kVisited) {
        data->clearVisitedLinks();
    } else if (entry.SourceUrlName == kCache) {
        data->clearHttpCache();
    } else {
        for (const BrowsingData::Cookie &cookie : data->cookies())
            if (cookieName(cookie) == entry.SourceUrlName)
                data->deleteCookie(cookie);
    }
}

int TIECache::deleteAll()
{
    int count = 0;
    // Entry by entry; one that cannot be deleted does not stop the others.
    for (const TEntryInfo &entry : entries()) {
        m_entry = entry;
        remove(entry);
        m_entry = {};
        ++count;
    }
    return count;
}

bool TIECache::deleteOne(const QString &sourceUrl)
{
    for (const TEntryInfo &entry : entries()) {
        if (entry.SourceUrlName == sourceUrl) {
            remove(entry);
            return true;
        }
    }
    return false;
}
