#include "historylistmodel.h"

#include "../pages/pagecaption.h"

#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <QSet>

HistoryListModel::HistoryListModel(HistoryDatabase *database, QObject *parent)
    : QAbstractTableModel(parent), m_database(database)
{
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
    m_atEnd = false;
    m_today = QDate::currentDate();
    append(m_database->search(m_filter, kPage, 0));
    endResetModel();
}

void HistoryListModel::reload()
{
    const int wanted = qMax(m_loaded, int(kPage));
    beginResetModel();
    m_rows.clear();
    m_loaded = 0;
    m_atEnd = false;
    m_today = QDate::currentDate();
    const QList<HistoryEntry> entries = m_database->search(m_filter, wanted, 0);
    m_rows = layOut(entries);
    m_loaded = int(entries.size());
    m_atEnd = m_loaded < wanted;
    endResetModel();
}

QList<HistoryListModel::Row> HistoryListModel::layOut(const QList<HistoryEntry> &entries) const
{
    QDate last;
    for (auto it = m_rows.crbegin(); it != m_rows.crend(); ++it) {
        if (it->entry.address.isEmpty()) {
            last = it->day;
            break;
        }
    }
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

void HistoryListModel::append(const QList<HistoryEntry> &entries)
{
    if (entries.size() < kPage)
        m_atEnd = true;
    m_rows.append(layOut(entries));
    m_loaded += int(entries.size());
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

bool HistoryListModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_atEnd;
}

void HistoryListModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || m_atEnd)
        return;
    const QList<HistoryEntry> more = m_database->search(m_filter, kPage, m_loaded);
    if (more.isEmpty()) {
        m_atEnd = true;
        return;
    }
    const QList<Row> rows = layOut(more);
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + rows.size()) - 1);
    m_rows.append(rows);
    m_loaded += int(more.size());
    if (more.size() < kPage)
        m_atEnd = true;
    endInsertRows();
}
