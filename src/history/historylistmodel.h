#pragma once

#include "historydatabase.h"

#include <QAbstractTableModel>
#include <QDate>

// The history as the window lists it: a heading row for each day (今天, 昨天, then the
// date) followed by that day's entries, newest first. Rows come from the file a page at a
// time as the view scrolls, so that a long history opens as fast as a short one.
class HistoryListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kPage = 300;
    enum Column { TitleColumn, AddressColumn, TimeColumn, ColumnCount };
    enum Role { AddressRole = Qt::UserRole, HeadingRole };

    explicit HistoryListModel(HistoryDatabase *database, QObject *parent = nullptr);

    // Lists what matches `text` (everything when empty), from the top again.
    void setFilter(const QString &text);
    QString filter() const { return m_filter; }
    // Reads the rows again from the file, as many as were listed.
    void reload();
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
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

private:
    struct Row
    {
        QDate day;       // a heading when `entry` is empty
        HistoryEntry entry;
    };
    QList<Row> layOut(const QList<HistoryEntry> &entries) const;
    void append(const QList<HistoryEntry> &entries);

    HistoryDatabase *m_database;
    QString m_filter;
    QList<Row> m_rows;
    int m_loaded = 0; // entries read from the file
    bool m_atEnd = false;
    QDate m_today;
};
