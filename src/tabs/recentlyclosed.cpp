#include "recentlyclosed.h"

#include "../core/listfile.h"
#include "../core/storageproblems.h"
#include "../pages/pagecaption.h"

#include <QAction>
#include <QFile>
#include <QListView>
#include <QMenu>
#include <QStringListModel>

RecentlyClosedList::RecentlyClosedList(const QString &filePath, QMenu *menu, QListView *lines)
    : QObject(menu), m_filePath(filePath), m_menu(menu), m_lines(new QStringListModel(this))
{
    lines->setModel(m_lines);
}

void RecentlyClosedList::showEntries()
{
    // Later, not now: an item may be in the middle of its own triggered().
    for (QAction *item : m_menu->actions()) {
        m_menu->removeAction(item);
        item->deleteLater();
    }
    // Captions are shown as they are: "&" is not a mnemonic here.
    QStringList lines;
    for (int i = 0; i < m_entries.size(); ++i) {
        const Entry &entry = m_entries.at(i);
        QAction *item = m_menu->addAction(PageCaption::tabText(PageCaption::isolated(entry.caption)));
        item->setData(entry.address);
        item->setToolTip(entry.address);
        item->setStatusTip(entry.address);
        connect(item, &QAction::triggered, this, [this, i] { reopen(i); });
        lines << ListFile::join(entry.caption, entry.address);
    }
    m_lines->setStringList(lines);
}

void RecentlyClosedList::load()
{
    const auto lines = ListFile::load(m_filePath);
    if (!lines)
        return;
    // At most one more than the limit, as the list is loaded without trimming.
    for (const QString &line : *lines) {
        const ListFile::TitledAddress entry = ListFile::split(line);
        m_entries.append({entry.title, entry.address});
        if (m_entries.size() > kLimit)
            break;
    }
    showEntries();
}

void RecentlyClosedList::add(const QString &title, const QString &address)
{
    const QString trimmedAddress = address.trimmed();
    if (!trimmedAddress.isEmpty() && trimmedAddress.compare(QLatin1String("about:blank"), Qt::CaseInsensitive) != 0) {
        QString caption = title.trimmed();
        if (caption.size() >= 50)
            caption = PageCaption::leftChars(caption, 50) + QStringLiteral("...");
        bool known = false;
        for (const Entry &entry : std::as_const(m_entries))
            known = known || entry.address == address;
        if (!known) {
            m_entries.append({caption, address});
            while (m_entries.size() > kLimit)
                m_entries.removeFirst();
            showEntries();
        }
    }
    writeFile();
}

void RecentlyClosedList::writeFile()
{
    // An empty list leaves the file as it is; a file that cannot be written keeps its
    // previous content, and the next addition tries again.
    const QStringList lines = m_lines->stringList();
    if (!lines.isEmpty())
        saveList(m_problems, m_filePath, lines);
}

void RecentlyClosedList::clear()
{
    m_entries.clear();
    m_lastClosedAddress.clear();
    showEntries();
    QFile::remove(m_filePath);
}

void RecentlyClosedList::reopen(int index)
{
    if (index < 0 || index >= m_entries.size())
        return;
    const QString address = m_entries.at(index).address;
    emit reopenRequested(address);
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).address == address) {
            m_entries.removeAt(i);
            break;
        }
    }
    // The file follows at the next addition.
    showEntries();
}

void RecentlyClosedList::NOpenNewlyOneClick()
{
    const QString last = m_lastClosedAddress.trimmed();
    if (!last.isEmpty() && last != QLatin1String("about:blank")) {
        // The last closed address stays: repeating the command opens it again.
        emit reopenRequested(last);
        return;
    }
    if (!m_entries.isEmpty())
        reopen(int(m_entries.size()) - 1);
}
