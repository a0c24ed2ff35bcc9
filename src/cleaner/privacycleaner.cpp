#include "privacycleaner.h"

#include "cleanerlog.h"

#include "../core/listfile.h"
#include "../core/runprocess.h"
#include "../engine/browsingdata.h"
#include "../engine/sitepermissions.h"
#include "../navigation/addressbar.h"
#include "../navigation/addressbox.h"
#include "../navigation/searchbar.h"
#include "../tabs/recentlyclosed.h"
#include "folderfiles.h"
#include "recentdocuments.h"

#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

namespace {

QString said(const QStringList &cleared)
{
    return QStringLiteral("已清除: ") + cleared.join(QStringLiteral("、"));
}

const QString kTemp = QStringLiteral("临时目录");
const QString kRecent = QStringLiteral("最近浏览的文档");
// The engine holds these files while it runs: they go once it has let go of them, and the
// line says so rather than calling them cleared.
const QString kSiteDataLater =
    QStringLiteral("网站存储的其他数据(本地存储、IndexedDB、Service Worker、网站图标)将在关闭 sablix 后清除");

} // namespace

struct PrivacyCleaner::Task
{
    QStringList cleared;
    QStringList engineParts;
    QStringList problems;
    QString later; // what goes only once the engine lets go of it
    bool temp = false;
    bool historyFile = false;
    bool historyFileCleared = false;
    FolderFiles::Result tempResult; // written by the worker, read after it finished
    int waiting = 0;                // worker, engine and history file still to finish
    bool engineConfirmed = false;
    bool reported = false;
};

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

std::shared_ptr<PrivacyCleaner::Task> PrivacyCleaner::finish(char code, QStringList cleared, bool temp, QStringList engineParts, QStringList problems,
                                                             bool historyFile, QString later)
{
    auto task = std::make_shared<Task>();
    task->later = std::move(later);
    task->cleared = std::move(cleared);
    task->engineParts = std::move(engineParts);
    task->problems = std::move(problems);
    task->temp = temp;
    task->historyFile = historyFile && m_history;
    task->waiting = task->historyFile ? 3 : 2;
    if (task->historyFile) {
        QPointer<PrivacyCleaner> self = this;
        m_history->clearStore([self, task](bool ok) {
            task->historyFileCleared = ok;
            if (self && --task->waiting == 0)
                self->report(task);
        });
    }
    const QString folder = m_tempFolder;
    RunProcess *worker = RunProcess::start(code, [task, temp, folder] {
        if (temp)
            task->tempResult = FolderFiles::deleteTopLevelFiles(folder, {runningLock()});
    });
    connect(worker, &QThread::finished, this, [this, task] {
        if (--task->waiting == 0)
            report(task);
    });
    BrowsingData *data = m_data ? m_data() : nullptr;
    if (task->engineParts.isEmpty() || !data) {
        --task->waiting;
    } else {
        QPointer<PrivacyCleaner> self = this;
        data->whenCleared(kEngineMs, [self, task](bool confirmed) {
            task->engineConfirmed = confirmed;
            if (self && --task->waiting == 0)
                self->report(task);
        });
    }
    return task;
}

void PrivacyCleaner::report(const std::shared_ptr<Task> &task)
{
    QStringList cleared = task->cleared;
    QStringList problems = task->problems;
    if (task->engineConfirmed)
        cleared << task->engineParts;
    else if (!task->engineParts.isEmpty())
        problems << QStringLiteral("未能确认已清除: ") + task->engineParts.join(QStringLiteral("、"));
    if (task->historyFile)
        (task->historyFileCleared ? cleared : problems) << (task->historyFileCleared ? QStringLiteral("历史记录")
                                                                                     : QStringLiteral("历史记录未能清除"));
    if (task->temp) {
        const FolderFiles::Result &temp = task->tempResult;
        if (temp.refused)
            problems << QStringLiteral("临时目录是链接或不是文件夹，未清空");
        else if (temp.failed > 0)
            problems << QStringLiteral("临时目录中有 %1 个文件未能删除").arg(temp.failed);
        else if (temp.folderExists)
            cleared << kTemp;
    }
    if (!task->later.isEmpty())
        problems << task->later;
    QString text = cleared.isEmpty() ? QString() : said(cleared);
    if (!problems.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("；")) + problems.join(QStringLiteral("；"));
    task->reported = true;
    qCInfo(lcCleaner).noquote() << text;
    emit statusMessage(text);
    emit finished();
}

void PrivacyCleaner::NCleanAddressClick()
{
    m_parts.addressBox->clearHistory();
    m_parts.addressBox->show(QString());
    emit statusMessage(said({QStringLiteral("地址栏历史")}));
}

void PrivacyCleaner::NClearSearchHistoryClick()
{
    m_parts.searchBar->clearHistory();
    m_parts.searchBar->removeHistoryFile();
    emit statusMessage(said({QStringLiteral("搜索栏历史")}));
}

void PrivacyCleaner::NCleanHistoryClick()
{
    clearCache(TIECache::spHistory);
    m_parts.recentlyClosed->clear();
    finish('G', {QStringLiteral("最近关闭的页面")}, false, {QStringLiteral("浏览历史")}, {}, true);
}

void PrivacyCleaner::NCleanCacheClick()
{
    clearCache(TIECache::spUrl);
    // Whatever became of the cache: the typed addresses go too.
    m_parts.addressBar->clearTypedUrls();
    finish('H', {QStringLiteral("输入过的地址")}, false, {QStringLiteral("缓存")});
}

void PrivacyCleaner::NCleanCookiesClick()
{
    clearCache(TIECache::spCookies);
    finish('I', {}, false, {QStringLiteral("Cookies")}, {}, false, siteDataAtEnd());
}

QString PrivacyCleaner::siteDataAtEnd()
{
    BrowsingData *data = m_data ? m_data() : nullptr;
    if (!data)
        return {};
    data->eraseSiteDataAtEnd();
    return kSiteDataLater;
}

void PrivacyCleaner::NCleanTempDirClick()
{
    finish('J', {}, true, {});
}

namespace {

// The recent documents: what became of them, for the status line.
void clearRecent(QStringList &cleared, QStringList &problems)
{
    const RecentDocuments::Result recent = RecentDocuments::clear();
    if (recent.refused)
        problems << QStringLiteral("最近文档列表是链接，未修改");
    else if (recent.failed)
        problems << QStringLiteral("最近文档列表未能修改");
    else
        cleared << kRecent;
}

} // namespace

void PrivacyCleaner::NCleanRecentClick()
{
    QStringList cleared;
    QStringList problems;
    clearRecent(cleared, problems);
    QString text = cleared.isEmpty() ? QString() : said(cleared);
    if (!problems.isEmpty())
        text += problems.join(QStringLiteral("；"));
    emit statusMessage(text);
}

void PrivacyCleaner::NCleanAllClick()
{
    // The sites' permissions are settings rather than traces: forgotten only when the user
    // says so.
    bool forgetPermissions = false;
    if (!SitePermissions::answers().isEmpty()) {
        forgetPermissions = askToForgetPermissions
                                ? askToForgetPermissions()
                                : QMessageBox::question(nullptr, QStringLiteral("询问"),
                                                        QStringLiteral("是否同时清除您对网站权限请求(摄像头、麦克风、位置、通知、"
                                                                       "屏幕共享)的回答?"),
                                                        QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    }
    if (forgetPermissions)
        SitePermissions::forgetAll();
    cleanAll();
}

void PrivacyCleaner::cleanAll()
{
    m_parts.addressBox->show(QString());
    m_parts.addressBox->clearHistory();
    m_parts.searchBar->clearHistory();
    m_parts.recentlyClosed->clear();

    // Then, whatever happened before: everything of the engine's, the session, the cookies
    // kept on disk, the typed addresses, the temp folder and the recent documents.
    clearCache(TIECache::spAll);
    if (BrowsingData *data = m_data ? m_data() : nullptr) {
        data->deleteSessionCookies();
        data->deleteAllCookies();
        data->forgetCertificateExceptions();
    }
    m_parts.addressBar->clearTypedUrls();
    QStringList cleared{QStringLiteral("地址栏历史"), QStringLiteral("搜索栏历史"), QStringLiteral("最近关闭的页面"),
                        QStringLiteral("输入过的地址")};
    QStringList problems;
    clearRecent(cleared, problems);
    m_lastAll = finish('O', cleared, true, {QStringLiteral("浏览历史"), QStringLiteral("缓存"), QStringLiteral("Cookies")},
                       problems, true, siteDataAtEnd());
}

void PrivacyCleaner::cleanAllBeforeExit(int ms)
{
    QEventLoop loop;
    connect(this, &PrivacyCleaner::finished, &loop, [this, &loop] {
        if (m_lastAll && m_lastAll->reported)
            loop.quit();
    });
    // A stuck step does not keep the program alive: the wait is bounded.
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    // No question at the close: the answers to sites stay.
    cleanAll();
    // The engine answers on this thread: its events have to go on while we wait.
    loop.exec();
    // What the engine holds on disk goes too, whatever came of the clearing: now, and once
    // the engine has let go of it.
    if (BrowsingData *data = m_data ? m_data() : nullptr)
        data->eraseFilesAtEnd();
}
