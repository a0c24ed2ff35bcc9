#include "recentlyclosed.h"

#include "../app/listfile.h"
#include "../app/mainform.h"
#include "../navigation/addressbar.h"
#include "../pages/pagecaption.h"

#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QMenu>

RecentlyClosedList::RecentlyClosedList(TQORMainForm *mainForm) : QObject(mainForm), m_main(mainForm)
{
    connect(m_main->menuItem("NOpenNewlyOne"), &QAction::triggered, this,
            &RecentlyClosedList::NOpenNewlyOneClick);
}

QString RecentlyClosedList::filePath() const
{
    return m_main->dataFile(QStringLiteral("NewlyList.lst"));
}

QList<RecentlyClosedList::Entry> RecentlyClosedList::entries() const
{
    QList<Entry> list;
    for (QAction *item : m_main->PopupMenuNewly->actions())
        list.append({item->text(), item->data().toString()});
    return list;
}

QAction *RecentlyClosedList::appendItem(const QString &caption, const QString &address)
{
    // Captions are shown as they are: "&" is not a mnemonic here.
    QAction *item = m_main->PopupMenuNewly->addAction(caption);
    item->setData(address);
    item->setToolTip(address);
    item->setStatusTip(address);
    connect(item, &QAction::triggered, this, [this, item] { reopen(item); });
    return item;
}

void RecentlyClosedList::load()
{
    try {
        const auto lines = ListFile::load(filePath());
        if (!lines)
            return;
        for (const QString &line : *lines) {
            const ListFile::TitledAddress entry = ListFile::split(line);
            appendItem(entry.title, entry.address);
            if (m_main->PopupMenuNewly->actions().size() > kLimit)
                break;
        }
    } catch (...) {
    }
}

void RecentlyClosedList::add(const QString &title, const QString &address)
{
    try {
        const QString trimmedAddress = address.trimmed();
        if (!trimmedAddress.isEmpty() && trimmedAddress.compare(QLatin1String("about:blank"), Qt::CaseInsensitive) != 0) {
            QString caption = title.trimmed();
            if (caption.size() >= 50)
                caption = PageCaption::leftChars(caption, 50) + QStringLiteral("...");
            bool known = false;
            for (QAction *item : m_main->PopupMenuNewly->actions())
                known = known || item->data().toString() == address;
            if (!known) {
                appendItem(caption, address);
                QList<QAction *> items = m_main->PopupMenuNewly->actions();
                while (items.size() > kLimit) {
                    m_main->PopupMenuNewly->removeAction(items.first());
                    items.first()->deleteLater();
                    items.removeFirst();
                }
            }
        }
    } catch (...) {
    }
    writeFile();
}

void RecentlyClosedList::writeFile()
{
    try {
        m_main->ListBoxNewly->clear();
        for (QAction *item : m_main->PopupMenuNewly->actions())
            m_main->ListBoxNewly->addItem(ListFile::join(item->text(), item->data().toString()));
        // An empty list leaves the file as it is.
        if (m_main->ListBoxNewly->count() == 0)
            return;
        QStringList lines;
        for (int i = 0; i < m_main->ListBoxNewly->count(); ++i)
            lines << m_main->ListBoxNewly->item(i)->text();
        ListFile::save(filePath(), lines);
    } catch (...) {
    }
}

void RecentlyClosedList::clear()
{
    for (QAction *item : m_main->PopupMenuNewly->actions()) {
        m_main->PopupMenuNewly->removeAction(item);
        item->deleteLater();
    }
    QFile::remove(filePath());
}

void RecentlyClosedList::reopen(QAction *entry)
{
    try {
        const QString address = entry->data().toString();
        m_main->addressBar()->openAddress(address);
        for (QAction *item : m_main->PopupMenuNewly->actions()) {
            if (item->data().toString() == address) {
                m_main->PopupMenuNewly->removeAction(item);
                item->deleteLater();
                break;
            }
        }
    } catch (...) {
    }
}

void RecentlyClosedList::NOpenNewlyOneClick()
{
    try {
        const QString last = m_lastClosedAddress.trimmed();
        if (!last.isEmpty() && last != QLatin1String("about:blank")) {
            // The last closed address stays: repeating the command opens it again.
            m_main->addressBar()->openAddress(last);
            return;
        }
        const QList<QAction *> items = m_main->PopupMenuNewly->actions();
        if (!items.isEmpty())
            reopen(items.last());
    } catch (...) {
    }
}
