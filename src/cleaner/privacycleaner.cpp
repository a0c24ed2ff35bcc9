#include "privacycleaner.h"

#include "../app/listfile.h"
#include "../app/runprocess.h"
#include "../engine/browsingdata.h"
#include "../navigation/addressbar.h"
#include "../navigation/addressbox.h"
#include "../navigation/searchbar.h"
#include "../tabs/recentlyclosed.h"
#include "folderfiles.h"
#include "recentdocuments.h"

#include <QDeadlineTimer>
#include <QFile>

namespace {

QString said(const QStringList &cleared)
{
    return QStringLiteral("已清除: ") + cleared.join(QStringLiteral("、"));
}

} // namespace

PrivacyCleaner::PrivacyCleaner(const Parts &parts, const QString &dataFolder, const QString &tempFolder,
                               std::function<BrowsingData *()> data, QObject *parent)
    : QObject(parent), m_parts(parts), m_dataFolder(dataFolder), m_tempFolder(tempFolder), m_data(data), m_cache(data)
{
}

void PrivacyCleaner::clearCache(TIECache::TSearchPattern pattern)
{
    m_cache.setSearchPattern(pattern);
    m_cache.retrieve();
    m_cache.deleteAll();
}

QThread *PrivacyCleaner::startWorker(char code, std::function<void()> fileWork, const QStringList &cleared)
{
    RunProcess *worker = RunProcess::start(code, std::move(fileWork));
    connect(worker, &QThread::finished, this, [this, cleared] { emit statusMessage(said(cleared)); });
    return worker;
}

void PrivacyCleaner::NCleanAddressClick()
{
    m_parts.addressBox->clearHistory();
    m_parts.addressBox->show(QString());
    ListFile::save(m_dataFolder + QStringLiteral("Url.lst"), {});
    emit statusMessage(said({QStringLiteral("地址栏历史")}));
}

void PrivacyCleaner::NClearSearchHistoryClick()
{
    m_parts.searchBar->clearHistory();
    QFile::remove(m_dataFolder + QStringLiteral("SearchHistory.lst"));
    emit statusMessage(said({QStringLiteral("搜索栏历史")}));
}

void PrivacyCleaner::NCleanHistoryClick()
{
    clearCache(TIECache::spHistory);
    startWorker('G', {}, {QStringLiteral("浏览历史"), QStringLiteral("最近关闭的页面")});
    m_parts.recentlyClosed->clear();
}

void PrivacyCleaner::NCleanCacheClick()
{
    clearCache(TIECache::spUrl);
    // Whatever became of the cache: the typed addresses go too.
    m_parts.addressBar->clearTypedUrls();
    startWorker('H', {}, {QStringLiteral("缓存"), QStringLiteral("输入过的地址")});
}

void PrivacyCleaner::NCleanCookiesClick()
{
    clearCache(TIECache::spCookies);
    startWorker('I', {}, {QStringLiteral("Cookies")});
}

void PrivacyCleaner::NCleanTempDirClick()
{
    const QString temp = m_tempFolder;
    startWorker('J', [temp] { FolderFiles::deleteTopLevelFiles(temp); }, {QStringLiteral("临时目录")});
}

void PrivacyCleaner::NCleanRecentClick()
{
    RecentDocuments::clear();
    emit statusMessage(said({QStringLiteral("最近浏览的文档")}));
}

void PrivacyCleaner::NCleanAllClick()
{
    m_parts.addressBox->show(QString());
    m_parts.addressBox->clearHistory();
    ListFile::save(m_dataFolder + QStringLiteral("Url.lst"), {});
    m_parts.searchBar->clearHistory();
    ListFile::save(m_dataFolder + QStringLiteral("SearchHistory.lst"), {});
    m_parts.recentlyClosed->clear();

    // Then, whatever happened before: everything of the engine's, the session, the cookies
    // kept on disk, the typed addresses, the temp folder and the recent documents.
    clearCache(TIECache::spAll);
    if (BrowsingData *data = m_data ? m_data() : nullptr) {
        data->deleteSessionCookies();
        data->deleteAllCookies();
    }
    m_parts.addressBar->clearTypedUrls();
    const QString temp = m_tempFolder;
    m_lastAll = startWorker('O', [temp] { FolderFiles::deleteTopLevelFiles(temp); },
                            {QStringLiteral("地址栏历史"), QStringLiteral("搜索栏历史"), QStringLiteral("最近关闭的页面"),
                             QStringLiteral("浏览历史"), QStringLiteral("缓存"), QStringLiteral("Cookies"),
                             QStringLiteral("临时目录"), QStringLiteral("最近浏览的文档")});
    RecentDocuments::clear();
}

void PrivacyCleaner::cleanAllBeforeExit(int ms)
{
    const QDeadlineTimer deadline(ms);
    NCleanAllClick();
    // A stuck step does not keep the program alive: the wait is bounded.
    if (m_lastAll)
        m_lastAll->wait(deadline);
}
