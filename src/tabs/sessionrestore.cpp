#include "sessionrestore.h"

#include "../core/listfile.h"
#include "../favorites/openpagelists.h"
#include "../pages/formwebbrowser.h"
#include "../pages/noticebar.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QToolButton>
#include <QUrl>

namespace {

// Lines beyond this many are not even looked at: a list can only ever hold the page cap.
constexpr int kMostLinesRead = 4 * TFormWebbrowser::kMaxPages;

bool soundAddress(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return !url.host().isEmpty();
    if (scheme == QLatin1String("file")) {
        const QFileInfo file(url.toLocalFile());
        return file.isFile() && file.isReadable();
    }
    return false;
}

// Titles may hold "#" too: the address is what follows the first "#" that leaves a sound one.
std::optional<SessionRestore::Entry> parse(const QString &line)
{
    for (qsizetype at = line.indexOf(QLatin1Char('#')); at >= 0; at = line.indexOf(QLatin1Char('#'), at + 1)) {
        const QString address = line.mid(at + 1).trimmed();
        if (soundAddress(address))
            return SessionRestore::Entry{line.left(at).trimmed(), address};
    }
    const QString whole = line.trimmed();
    if (soundAddress(whole))
        return SessionRestore::Entry{QString(), whole};
    return std::nullopt;
}

} // namespace

SessionRestore::SessionRestore(TFormWebbrowser *pages, const QString &dataFolder, const QString &tempFolder,
                               QObject *parent)
    : QObject(parent), m_pages(pages), m_dataFolder(dataFolder),
      m_lock(std::make_unique<QLockFile>(tempFolder + QStringLiteral("Running.lock")))
{
    // Only a process that is gone leaves a lock behind that may be taken; age says nothing.
    m_lock->setStaleLockTime(0);
}

SessionRestore::~SessionRestore() = default;

void SessionRestore::start()
{
    const bool leftBehind = QFileInfo::exists(m_lock->fileName());
    QDir().mkpath(QFileInfo(m_lock->fileName()).absolutePath());
    if (!m_lock->tryLock(0) || !leftBehind)
        return;
    int skipped = 0;
    const int room = TFormWebbrowser::kMaxPages;
    const QString states = m_dataFolder + QStringLiteral("OpenURLState.lst");
    m_offer = readList(m_dataFolder + QStringLiteral("OpenURLList.lst"), room, &skipped, states);
    if (m_offer.isEmpty())
        m_offer = readList(m_dataFolder + QStringLiteral("OpenURLList2.lst"), room, &skipped, states);
    m_skipped = skipped;
    if (!m_offer.isEmpty())
        emit offerChanged();
}

QList<SessionRestore::Entry> SessionRestore::readList(const QString &path, int room, int *skipped,
                                                     const QString &statePath)
{
    QList<Entry> entries;
    int rest = 0;
    const QStringList lines = ListFile::load(path).value_or(QStringList());
    QStringList filled;
    for (const QString &line : lines)
        if (!line.trimmed().isEmpty())
            filled << line;
    const QList<OpenPageLists::PageState> states =
        statePath.isEmpty() || filled.size() > kMostLinesRead
            ? QList<OpenPageLists::PageState>(filled.size())
            : OpenPageLists::matchStates(ListFile::load(statePath).value_or(QStringList()), filled);
    for (int i = 0; i < filled.size(); ++i) {
        if (i >= kMostLinesRead || entries.size() >= room) {
            ++rest;
            continue;
        }
        if (std::optional<Entry> entry = parse(filled[i])) {
            entry->active = states[i].active;
            entry->pinned = states[i].pinned;
            entry->muted = states[i].muted;
            entries << *entry;
        } else {
            ++rest;
        }
    }
    if (skipped)
        *skipped = rest;
    return entries;
}

QStringList SessionRestore::pendingLines() const
{
    QStringList lines;
    for (const Entry &entry : m_offer)
        lines << ListFile::join(entry.title.isEmpty() ? entry.address : entry.title, entry.address);
    return lines;
}

QStringList SessionRestore::pendingStateLines() const
{
    QStringList lines;
    for (const Entry &entry : m_offer)
        lines << OpenPageLists::stateLine(false, entry.pinned, entry.muted, entry.address);
    return lines;
}

QList<TFormWebbrowser::WaitingPage> SessionRestore::waitingPages(const QList<Entry> &entries)
{
    QList<TFormWebbrowser::WaitingPage> pages;
    for (const Entry &entry : entries)
        pages << TFormWebbrowser::WaitingPage{entry.title, entry.address, entry.pinned, entry.muted};
    return pages;
}

int SessionRestore::continueLastRun(bool addressesFollow)
{
    if (offered())
        return 0;
    const QList<Entry> entries = readList(m_dataFolder + QStringLiteral("OpenURLList.lst"), TFormWebbrowser::kMaxPages,
                                          nullptr, m_dataFolder + QStringLiteral("OpenURLState.lst"));
    int active = 0;
    for (int i = 0; i < entries.size(); ++i)
        if (entries[i].active)
            active = i;
    if (addressesFollow)
        active = int(entries.size()) - 1;
    return m_pages->openWaitingPages(waitingPages(entries), active);
}

QFrame *SessionRestore::makeBar()
{
    if (m_offer.isEmpty())
        return nullptr;
    auto *bar = new NoticeBar(QStringLiteral("RestoreBar"), QColor(0xe8, 0xf1, 0xfc), QStringLiteral("上次没有正常退出。"),
                              false);
    QToolButton *restore = bar->addButton(QStringLiteral("RestorePages"),
                                          QStringLiteral("恢复上次的 %1 个页面").arg(m_offer.size()), false);
    QToolButton *close = bar->addCloseButton(QStringLiteral("RestoreDismiss"));
    connect(restore, &QToolButton::clicked, this, &SessionRestore::restore);
    connect(close, &QToolButton::clicked, this, &SessionRestore::dismiss);
    m_bar = bar;
    return bar;
}

bool SessionRestore::restore()
{
    if (m_offer.isEmpty())
        return false;
    // Taken first: the lists go on holding these pages through their own records.
    const QList<Entry> entries = std::exchange(m_offer, {});
    const int opened = m_pages->openWaitingPages(waitingPages(entries), -1);
    const int skipped = m_skipped + int(entries.size()) - opened;
    emit statusMessage(skipped > 0 ? QStringLiteral("已恢复 %1 个页面，跳过 %2 个无效或超出上限的条目").arg(opened).arg(skipped)
                                   : QStringLiteral("已恢复 %1 个页面").arg(opened));
    dismiss();
    return true;
}

void SessionRestore::dismiss()
{
    m_offer.clear();
    if (m_bar)
        m_bar->deleteLater();
    emit offerChanged();
}

void SessionRestore::closedInOrder()
{
    dismiss();
    m_lock->unlock();
}
