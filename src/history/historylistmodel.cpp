#include "historylistmodel.h"

#include "history.h"
#include "../pages/pagecaption.h"

#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <QSet>

HistoryListModel::HistoryListModel(History *history, QObject *parent)
    : QAbstractTableModel(parent), m_history(history), m_today(QDate::currentDate())
{
    connect(m_history->search(), &HistorySearch::found, this, &HistoryListModel::answer);
    reload();
}

QString HistoryListModel::dayHeading(const QDate &day, const QDate &today)
{
    if (day == today)
        return QStringLiteral("今天");
    if (day == today.addDays(-1))
        return QStringLiteral("昨天");
    return QLocale(QLocale::Chinese, QLocale::China).toString(day, QStringLiteral("yyyy年M月d日 dddd"));
}

void HistoryListModel::setFilter(const QString &text)
{
    m_filter = text;
    beginResetModel();
    m_rows.clear();
    m_loaded = 0;
    m_atEnd = true;
    m_today = QDate::currentDate();
    endResetModel();
    ask(Asked::Rows, {}, kPage);
}

void HistoryListModel::reload()
{
    ask(Asked::Reload, {}, qMax(m_loaded, int(kPage)));
}

void HistoryListModel::loadMore()
{
    if (m_ticket != 0 || m_atEnd)
        return;
    HistoryKey from;
    for (auto it = m_rows.crbegin(); it != m_rows.crend(); ++it) {
        if (!it->entry.address.isEmpty()) {
            from = HistoryKey::after(it->entry);
            break;
        }
    }
    ask(Asked::Rows, from, kPage);
}

void HistoryListModel::ask(Asked what, const HistoryKey &from, int limit)
{
    m_reloaded.clear();
    // Before the file is ready there is nothing to read; its ready() reloads.
    if (!m_history->isReady()) {
        m_history->search()->cancel();
        m_ticket = 0;
        return;
    }
    m_asked = what;
    m_ticket = m_history->search()->find(m_filter, from, limit);
}

void HistoryListModel::answer(quint64 ticket, const QList<HistoryEntry> &entries, bool done, bool atEnd)
{
    if (ticket != m_ticket)
        return;
    if (m_asked == Asked::Reload) {
        m_reloaded += entries;
        if (!done)
            return;
        m_reloading = true;
        beginResetModel();
        m_rows = layOut(m_reloaded, {});
        m_loaded = int(m_reloaded.size());
        m_today = QDate::currentDate();
        m_reloaded.clear();
        endResetModel();
        m_reloading = false;
    } else if (!entries.isEmpty()) {
        QDate last;
        for (auto it = m_rows.crbegin(); it != m_rows.crend(); ++it) {
            if (it->entry.address.isEmpty()) {
                last = it->day;
                break;
            }
        }
        const QList<Row> rows = layOut(entries, last);
        beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + rows.size()) - 1);
        m_rows.append(rows);
        m_loaded += int(entries.size());
        endInsertRows();
    }
    if (!done)
        return;
    m_atEnd = atEnd;
    m_ticket = 0;
    emit loaded();
}

QList<HistoryListModel::Row> HistoryListModel::layOut(const QList<HistoryEntry> &entries, QDate last)
{
    QList<Row> rows;
    for (const HistoryEntry &entry : entries) {
        const QDate day = QDateTime::fromMSecsSinceEpoch(entry.lastVisit).date();
        if (day != last) {
            rows.append({day, {}});
            last = day;
        }
        rows.append({day, entry});
    }
    return rows;
}

void HistoryListModel::removeAddresses(const QStringList &addresses)
{
    const QSet<QString> gone(addresses.cbegin(), addresses.cend());
    for (int row = int(m_rows.size()) - 1; row >= 0; --row) {
        if (!m_rows.at(row).entry.address.isEmpty() && gone.contains(m_rows.at(row).entry.address)) {
            beginRemoveRows({}, row, row);
            m_rows.removeAt(row);
            --m_loaded;
            endRemoveRows();
        }
    }
    // A day left without entries loses its heading.
    for (int row = int(m_rows.size()) - 1; row >= 0; --row) {
        const bool heading = m_rows.at(row).entry.address.isEmpty();
        const bool nextIsHeading = row + 1 >= m_rows.size() || m_rows.at(row + 1).entry.address.isEmpty();
        if (heading && nextIsHeading) {
            beginRemoveRows({}, row, row);
            m_rows.removeAt(row);
            endRemoveRows();
        }
    }
}

bool HistoryListModel::isHeading(int row) const
{
    return row >= 0 && row < m_rows.size() && m_rows.at(row).entry.address.isEmpty();
}

QString HistoryListModel::address(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).entry.address : QString();
}

int HistoryListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HistoryListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    const bool heading = row.entry.address.isEmpty();
    if (role == HeadingRole)
        return heading;
    if (role == AddressRole)
        return row.entry.address;
    if (heading) {
        if (role == Qt::DisplayRole && index.column() == TitleColumn)
            return dayHeading(row.day, m_today);
        if (role == Qt::FontRole) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    }
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case TitleColumn:
            return PageCaption::isolated(row.entry.title.isEmpty() ? row.entry.address : row.entry.title);
        case AddressColumn:
            return row.entry.address;
        case TimeColumn:
            return QDateTime::fromMSecsSinceEpoch(row.entry.lastVisit).toString(QStringLiteral("HH:mm"));
        }
    }
    if (role == Qt::ToolTipRole && index.column() != TimeColumn)
        return QStringLiteral("%1\n%2 (%3 次)").arg(PageCaption::isolated(row.entry.title), PageCaption::isolated(row.entry.address)).arg(row.entry.visits);
    return {};
}

QVariant HistoryListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case TitleColumn:
        return QStringLiteral("标题");
    case AddressColumn:
        return QStringLiteral("地址");
    case TimeColumn:
        return QStringLiteral("时间");
    }
    return {};
}

Qt::ItemFlags HistoryListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (isHeading(index.row()))
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
