#pragma once

#include <QObject>
#include <QStringList>

class QStringListModel;
class QTimer;
class StorageProblems;

// The user's typed addresses, newest first, kept per user outside the program folder
// ($XDG_DATA_HOME/sablix/TypedURLs.lst); they feed the address box's suggestions.
class TypedUrls : public QObject
{
    Q_OBJECT

public:
    static constexpr int kLimit = 25;

    explicit TypedUrls(QObject *parent = nullptr);
    // What was added and not yet written is written.
    ~TypedUrls() override;

    QStringListModel *model() const { return m_model; }
    QStringList addresses() const;
    // Written in a batch shortly after: addresses that come in a burst (forwarded by other
    // instances, say) cost one write, not one each.
    void add(const QString &address);
    // Writes now what is waiting; nothing when nothing is.
    void save();
    // Forgets them all, and the file.
    void clear();
    static QString filePath();
    // Where a failed write of the file is reported.
    void setStorageProblems(StorageProblems *problems) { m_problems = problems; }

private:
    QStringListModel *m_model;
    QTimer *m_saveSoon;
    bool m_unsaved = false;
    StorageProblems *m_problems = nullptr;
};
