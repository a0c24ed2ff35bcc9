#pragma once

#include <QObject>
#include <QString>

class QAction;
class TQORMainForm;

// The recently closed pages: at most 12 entries (13 right after loading a longer file),
// oldest first, kept as the items of PopupMenuNewly (caption = title, hint = address) and
// in Data/NewlyList.lst; and the address of the page closed last, for undo close.
class RecentlyClosedList : public QObject
{
    Q_OBJECT

public:
    static constexpr int kLimit = 12;

    explicit RecentlyClosedList(TQORMainForm *mainForm);

    void load();
    void add(const QString &title, const QString &address);
    void clear();
    void reopen(QAction *entry);
    void NOpenNewlyOneClick();

    QString lastClosedAddress() const { return m_lastClosedAddress; }
    void setLastClosedAddress(const QString &address) { m_lastClosedAddress = address; }

    struct Entry
    {
        QString caption;
        QString address;
    };
    QList<Entry> entries() const;
    QString filePath() const;

private:
    QAction *appendItem(const QString &caption, const QString &address);
    void writeFile();

    TQORMainForm *m_main;
    QString m_lastClosedAddress;
};
