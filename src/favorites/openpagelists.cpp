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

QStringList OpenPageLists::currentLines() const
{
    QStringList lines;
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
        lines << ListFile::join(title, address);
    }
    if (m_pending)
        lines << m_pending->pendingLines();
    return lines;
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
    const QStringList lines = currentLines();
    // A failed write ends the save; the next finished document tries again.
    if (!saveList(m_problems, m_dataFolder + QStringLiteral("OpenURLList.lst"), lines))
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
    }
}
