#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QListView;
class QMenu;
class QStringListModel;
class StorageProblems;

// The recently closed pages: at most 12 entries (13 right after loading a longer file),
// oldest first, in Data/NewlyList.lst; and the address of the page closed last, for undo
// close. The list is the data; PopupMenuNewly (caption = title, hint = address) and the
// hidden ListBoxNewly (the file's lines) show it.
class RecentlyClosedList : public QObject
{
    Q_OBJECT

public:
    static constexpr int kLimit = 12;

    struct Entry
    {
        QString caption;
        QString address;
    };

    RecentlyClosedList(const QString &filePath, QMenu *menu, QListView *lines);

    void load();
    void add(const QString &title, const QString &address);
    // Empties the list and the last closed address, and deletes the file.
    void clear();
    void reopen(int index);
    void NOpenNewlyOneClick();

    QString lastClosedAddress() const { return m_lastClosedAddress; }
    void setLastClosedAddress(const QString &address) { m_lastClosedAddress = address; }

    const QList<Entry> &entries() const { return m_entries; }
    const QString &filePath() const { return m_filePath; }
    // Where a failed write of the file is reported.
    void setStorageProblems(StorageProblems *problems) { m_problems = problems; }

signals:
    // Open this address the way the address bar's Go does.
    void reopenRequested(const QString &address);

private:
    void showEntries();
    void writeFile();

    QString m_filePath;
    QMenu *m_menu;
    QStringListModel *m_lines;
    QList<Entry> m_entries;
    QString m_lastClosedAddress;
    StorageProblems *m_problems = nullptr;
};
