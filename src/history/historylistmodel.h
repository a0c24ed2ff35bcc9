#pragma once

#include "historydatabase.h"

#include <QAbstractTableModel>
#include <QDate>

class History;

// The history as the window lists it: a heading row for each day (今天, 昨天, then the
// date) followed by that day's entries, newest first. Rows are read on the history's search
// thread a page at a time, when asked for (loadMore), and come in as they are found: the list
// never waits for the file, and a newer filter gives up the older one's reading.
class HistoryListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kPage = 300;
    enum Column { TitleColumn, AddressColumn, TimeColumn, ColumnCount };
    enum Role { AddressRole = Qt::UserRole, HeadingRole };

    explicit HistoryListModel(History *history, QObject *parent = nullptr);

    // Lists what matches `text` (everything when empty), from the top again: the list empties
    // at once and fills as the matches are found.
    void setFilter(const QString &text);
    QString filter() const { return m_filter; }
    // Reads the rows again from the file, as many as were listed; they replace the list in
    // one reset once all are read.
    void reload();
    // Asks for the next page; nothing while an answer is awaited or when all are listed.
    void loadMore();
    bool hasMore() const { return !m_atEnd; }
    // An answer is awaited (a filter, a reload or a page).
    bool isLoading() const { return m_ticket != 0; }
    // The reset under way brings the same list read again (not a new filter).
    bool isReloading() const { return m_reloading; }
    // Takes the entries out of the list (not the file).
    void removeAddresses(const QStringList &addresses);

    bool isHeading(int row) const;
    QString address(int row) const;
    // What a day's heading says, seen on `today`.
    static QString dayHeading(const QDate &day, const QDate &today);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // The answer awaited is complete.
    void loaded();

private:
    struct Row
    {
        QDate day;       // a heading when `entry` is empty
        HistoryEntry entry;
    };
    enum class Asked { Rows, Reload };
    static QList<Row> layOut(const QList<HistoryEntry> &entries, QDate last);
    void ask(Asked what, const HistoryKey &from, int limit);
    void answer(quint64 ticket, const QList<HistoryEntry> &entries, bool done, bool atEnd);

    History *m_history;
    QString m_filter;
    QList<Row> m_rows;
    int m_loaded = 0; // entries read from the file
    bool m_atEnd = true;
    quint64 m_ticket = 0; // the answer awaited
    Asked m_asked = Asked::Rows;
    QList<HistoryEntry> m_reloaded; // a reload's parts, until the last
    bool m_reloading = false;
    QDate m_today;
};
