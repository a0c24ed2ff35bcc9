#pragma once

#include "../core/storageproblems.h"

#include <QObject>
#include <QStringList>

class QComboBox;
class StorageProblems;
class QStringListModel;

// The address box CBURL, with one owner: the text it shows, its keyboard focus and the
// address history of its drop-down list (a model the box shows: insertion order, no
// duplicates, exact comparison).
class AddressBox : public QObject
{
    Q_OBJECT

public:
    explicit AddressBox(QComboBox *box);

    QComboBox *box() const { return m_box; }
    QString text() const;
    void show(const QString &text);
    // What a page reports: shown like show(), except that it never replaces what the user
    // is typing, and text the user selected to type over stays selected.
    void showPageAddress(const QString &text);
    // The box's panel, then the box, take the focus; the whole text is selected.
    void focus();

    QStringList history() const;
    // Appends an address the history does not hold yet; the text shown stays.
    void appendHistory(const QString &address);
    // Forgets the history, in its file too.
    void clearHistory();
    // The history's file (Url.lst); only this box writes it.
    void setHistoryFile(const QString &path, StorageProblems *problems);
    // Writes the history to its file; false when it could not be written.
    bool saveHistory();

private:
    OwnedListFile m_historyFile;
    QComboBox *m_box;
    QStringListModel *m_history;
};
