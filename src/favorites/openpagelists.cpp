#include "openpagelists.h"

#include "../core/configstore.h"
#include "../core/listfile.h"
#include "../core/storageproblems.h"
#include "../engine/embeddedwb.h"
#include "../navigation/addressbox.h"
#include "../pages/formwebbrowser.h"

#include <QFile>

OpenPageLists::OpenPageLists(TFormWebbrowser *pages, const QString &dataFolder, ConfigStore *config,
                             AddressBox *address)
    : QObject(pages), m_pages(pages), m_dataFolder(dataFolder), m_config(config), m_address(address)
{
    m_batch.setSingleShot(true);
    connect(&m_batch, &QTimer::timeout, this, [this] { save(m_waitingMode); });
}

void OpenPageLists::collect(QStringList *lines, QStringList *states) const
{
    const int active = m_pages->activeIndex();
    for (int i = 0; i < m_pages->count(); ++i) {
        const TFormWebbrowser::PageView *record = m_pages->page(i);
        // Neither kept nor offered back after a crash.
        if (TFormWebbrowser::isPrivate(record->browser()))
            continue;
        QString title = record->title().trimmed();
        // A page that loads when first shown is listed with what it will load.
        const bool waiting = !record->waitingAddress().isEmpty();
        if (!waiting && (title.isEmpty() || title == QLatin1String("about:blank")))
            title = record->browser()->LocationName();
        if (waiting && title.isEmpty())
            title = record->waitingAddress();
        const QString address = waiting ? record->waitingAddress() : record->browser()->LocationURL();
        if (title.trimmed().isEmpty() || address.trimmed().isEmpty() ||
            address.trimmed().toLower() == QLatin1String("about:blank"))
            continue;
        if (lines)
            *lines << ListFile::join(title, address);
        if (states)
            *states << stateLine(i == active, record->pinned(), record->browser()->isMuted(), address);
    }
    if (m_pending && lines)
        *lines << m_pending->pendingLines();
    if (m_pending && states)
        *states << m_pending->pendingStateLines();
}

QStringList OpenPageLists::currentLines() const
{
    QStringList lines;
    collect(&lines, nullptr);
    return lines;
}

QStringList OpenPageLists::currentStateLines() const
{
    QStringList states;
    collect(nullptr, &states);
    return states;
}

QString OpenPageLists::stateLine(bool active, bool pinned, bool muted, const QString &address)
{
    QString marks;
    if (active)
        marks += QLatin1Char('A');
    if (pinned)
        marks += QLatin1Char('P');
    if (muted)
        marks += QLatin1Char('M');
    return ListFile::join(marks.isEmpty() ? QStringLiteral("-") : marks, address);
}

QList<OpenPageLists::PageState> OpenPageLists::matchStates(const QStringList &stateLines, const QStringList &listLines)
{
    QList<PageState> states(listLines.size());
    QStringList lines;
    for (const QString &line : stateLines)
        if (!line.trimmed().isEmpty())
            lines << line;
    // Written a moment apart from the list, the two may disagree after a crash: then the
    // marks are not guessed.
    if (lines.size() != listLines.size())
        return states;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // A title may hold "#": the list's line ends with the address, whatever comes before.
        const QString address = ListFile::split(lines[i]).address;
        if (address.isEmpty() || (listLines[i] != address && !listLines[i].endsWith(QLatin1Char('#') + address)))
            return QList<PageState>(listLines.size());
    }
    bool anActive = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString marks = ListFile::split(lines[i]).title;
        states[i].active = !anActive && marks.contains(QLatin1Char('A'));
        anActive = anActive || states[i].active;
        states[i].pinned = marks.contains(QLatin1Char('P'));
        states[i].muted = marks.contains(QLatin1Char('M'));
    }
    return states;
}

void OpenPageLists::saveSoon(int mode)
{
    // After the close's own save the lists are final: a page finishing while the clearing
    // on exit runs must not write them back.
    if (m_closing)
        return;
    m_waitingMode = qMax(m_waitingMode, mode);
    if (m_batch.isActive())
        return;
    const qint64 since = m_lastSave.isValid() ? m_lastSave.elapsed() : kBatchMs;
    if (since >= kBatchMs)
        save(m_waitingMode);
    else
        m_batch.start(int(kBatchMs - since));
}

void OpenPageLists::save(int mode)
{
    // This save covers whatever was waiting for the batch to end.
    mode = qMax(mode, std::exchange(m_waitingMode, 0));
    m_batch.stop();
    if (m_pages->count() == 0)
        return;
    ++m_saves;
    m_lastSave.start();
    QStringList lines, states;
    collect(&lines, &states);
    // A failed write ends the save; the next finished document tries again.
    if (!saveList(m_problems, m_dataFolder + QStringLiteral("OpenURLList.lst"), lines))
        return;
    if (!saveList(m_problems, m_dataFolder + QStringLiteral("OpenURLState.lst"), states))
        return;
    if (mode == 2) {
        if (!saveList(m_problems, m_dataFolder + QStringLiteral("OpenURLList2.lst"), lines))
            return;
        if (!m_address->history().isEmpty() && !m_address->saveHistory())
            return;
    }
    if (mode != 1 && !m_closing)
        m_config->writeString(kRunData, QStringLiteral("TrueClose"), QStringLiteral("0"));
}

void OpenPageLists::saveAtClose()
{
    setClosing();
    m_batch.stop();
    m_config->writeString(kRunData, QStringLiteral("TrueClose"), QStringLiteral("1"));
    if (m_pages->count() > 0) {
        save(2);
    } else {
        QFile::remove(m_dataFolder + QStringLiteral("OpenURLList.lst"));
        QFile::remove(m_dataFolder + QStringLiteral("OpenURLList2.lst"));
        QFile::remove(m_dataFolder + QStringLiteral("OpenURLState.lst"));
    }
}
