#pragma once

#include <QObject>
#include <QStringList>

class QStringListModel;
class StorageProblems;

// The user's typed addresses, newest first, kept per user outside the program folder
// ($XDG_DATA_HOME/sablix/TypedURLs.lst); they feed the address box's suggestions.
class TypedUrls : public QObject
{
    Q_OBJECT

public:
    static constexpr int kLimit = 25;

    explicit TypedUrls(QObject *parent = nullptr);

    QStringListModel *model() const { return m_model; }
    QStringList addresses() const;
    void add(const QString &address);
    // Forgets them all, and the file.
    void clear();
    static QString filePath();
    // Where a failed write of the file is reported.
    void setStorageProblems(StorageProblems *problems) { m_problems = problems; }

private:
    QStringListModel *m_model;
    StorageProblems *m_problems = nullptr;
};
