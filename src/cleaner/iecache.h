#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <set>

class BrowsingData;

// The cache component of the cleaner: finds the entries of the user's browsing data that a
// search pattern and a filter select, one by one, and deletes them. Its entries are the
// engine's: one for the visited links, one for the HTTP cache (neither can be told apart
// further), and one per cookie. It is used on the interface thread only, where the
// engine's data lives: two tasks can never use it at once.
class TIECache
{
public:
    enum TSearchPattern { spAll, spCookies, spHistory, spUrl };
    enum TFilterOption : quint32 {
        NORMAL_ENTRY = 0x1,
        STABLE_ENTRY = 0x2,
        STICKY_ENTRY = 0x4,
        COOKIE_ENTRY = 0x100000,
        URLHISTORY_ENTRY = 0x200000,
        TRACK_OFFLINE_ENTRY = 0x10,
        TRACK_ONLINE_ENTRY = 0x20,
        SPARSE_ENTRY = 0x10000,
        OCX_ENTRY = 0x20000,
    };
    using TFilterOptions = std::set<TFilterOption>;

    struct TEntryInfo
    {
        QString SourceUrlName;
        QString LocalFileName;
        quint32 EntryType = 0;
        quint32 UseCount = 0;
        quint32 HitRate = 0;
        qint64 Size = 0;
        QDateTime LastModifiedTime;
        QDateTime ExpireTime;
        QDateTime LastAccessTime;
        QDateTime LastSyncTime;
        QString HeaderInfo;
        QString FileExtension;
        quint32 ExemptDelta = 0;
    };

    // Called for each entry found; setting `cancel` ends the search.
    using TOnEntryEvent = std::function<void(TIECache *sender, bool &cancel)>;

    // `data` gives the engine's browsing data, none when the engine cannot start.
    explicit TIECache(std::function<BrowsingData *()> data);

    void setSearchPattern(TSearchPattern pattern) { m_pattern = pattern; }
    TSearchPattern SearchPattern() const { return m_pattern; }
    // The filter the search uses is the sum of the options' bits, made anew on each change.
    void setFilterOptions(const TFilterOptions &options);
    const TFilterOptions &FilterOptions() const { return m_options; }
    quint32 filter() const { return m_filter; }

    TOnEntryEvent OnEntry;
    const TEntryInfo &entry() const { return m_entry; }

    // Without the engine, every operation does nothing.
    bool libraryAvailable() const;
    // Goes through the entries the pattern and filter select, firing OnEntry; how many.
    int retrieve();
    // Deletes every entry the pattern and filter select; how many.
    int deleteAll();
    bool deleteOne(const QString &sourceUrl);

private:
    QList<TEntryInfo> entries() const;
    void remove(const TEntryInfo &entry);

    std::function<BrowsingData *()> m_data;
    TSearchPattern m_pattern = spAll;
    TFilterOptions m_options;
    quint32 m_filter = 0;
    TEntryInfo m_entry;
};
