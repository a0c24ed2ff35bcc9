#pragma once

#include "pendingpages.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

class AddressBox;
class ConfigStore;
class StorageProblems;
class TFormWebbrowser;

// The running record of the open pages: Data/OpenURLList.lst on every save,
// Data/OpenURLList2.lst with mode 2 (more than two pages open, or the window closing),
// and TrueClose "0" while a run with more than two pages is under way. Beside them,
// Data/OpenURLState.lst says which of the listed pages was in front, pinned or muted: the
// lists keep their two fields for whoever reads them, and a list without its state (an older
// one) still restores, with no page pinned.
class OpenPageLists : public QObject
{
    Q_OBJECT

public:
    OpenPageLists(TFormWebbrowser *pages, const QString &dataFolder, ConfigStore *config, AddressBox *address);

    void save(int mode);
    // A save for a page that finished: at once when the lists were not written in the last
    // kBatchMs, otherwise once that time is up, for every page finished meanwhile. Many pages
    // loading together cost a few writes, not three synced files each.
    void saveSoon(int mode);
    static constexpr int kBatchMs = 500;
    // Saves made so far (each one writes the lists it names).
    int saves() const { return m_saves; }
    bool saveWaiting() const { return m_batch.isActive(); }
    // One line per listed page: title + "#" + address, in tab order.
    QStringList currentLines() const;
    // One line per listed page, in the same order: its marks + "#" + its address.
    QStringList currentStateLines() const;
    // The marks of a state line: A in front, P pinned, M muted; "-" for none.
    static QString stateLine(bool active, bool pinned, bool muted, const QString &address);
    struct PageState
    {
        bool active = false;
        bool pinned = false;
        bool muted = false;
    };
    // The state of each line of a list, from a state list: only when the state list names
    // the very addresses of those lines in the same order (else every page gets no marks).
    static QList<PageState> matchStates(const QStringList &stateLines, const QStringList &listLines);
    // From the window's close on, saving no longer marks the run as unfinished.
    void setClosing() { m_closing = true; }
    // At the window's close: the lists of the pages still open (both), or none when no page
    // is; the run counts as closed in order (TrueClose "1").
    void saveAtClose();
    // Lines of pages not open yet that the lists must not lose (the last run's pages while
    // their restore is offered); written after the open pages.
    void setPendingPages(const PendingPages *pending) { m_pending = pending; }
    // Where failed writes of the lists are reported.
    void setStorageProblems(StorageProblems *problems) { m_problems = problems; }

private:
    void collect(QStringList *lines, QStringList *states) const;

    TFormWebbrowser *m_pages;
    QString m_dataFolder;
    ConfigStore *m_config;
    AddressBox *m_address;
    bool m_closing = false;
    const PendingPages *m_pending = nullptr;
    StorageProblems *m_problems = nullptr;
    QTimer m_batch;
    QElapsedTimer m_lastSave;
    int m_waitingMode = 0; // the mode of the save kept for the batch's end; 0 for none
    int m_saves = 0;
};
