#pragma once

#include "../favorites/pendingpages.h"
#include "../pages/formwebbrowser.h"

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class QFrame;

// Getting the pages back after a run that did not end through the window's close (killed,
// crashed, power lost). A lock file in Temp is held for the run; finding one whose process
// is gone means that run ended without closing. The last run's open-page list is then
// offered in a bar; restoring opens its pages in order, each loading when first shown.
// When the user asked to continue where they left off, a start after an orderly close opens
// the last run's pages by itself, the one in front in front again.
class SessionRestore : public QObject, public PendingPages
{
    Q_OBJECT

public:
    struct Entry
    {
        QString title;
        QString address;
        bool active = false;
        bool pinned = false;
        bool muted = false;
    };

    SessionRestore(TFormWebbrowser *pages, const QString &dataFolder, const QString &tempFolder,
                   QObject *parent = nullptr);
    ~SessionRestore() override;

    // At start: takes the run's lock and decides whether there is something to offer. A
    // second program on the same folder finds the lock held and offers nothing.
    void start();
    bool offered() const { return !m_offer.isEmpty(); }
    int offeredCount() const { return int(m_offer.size()); }
    // The offered pages as list lines, so that the lists keep them until they are restored.
    QStringList pendingLines() const override;
    QStringList pendingStateLines() const override;
    // The bar with "恢复上次的 N 个页面" and "×" (nullptr when nothing is offered); it goes
    // when answered.
    QFrame *makeBar();

    // Opens the offered pages after those open now, up to the page cap; false when nothing
    // was offered.
    bool restore();
    void dismiss();
    // A start with "继续上次打开的页面": the last run's pages, when nothing is offered (after a
    // crash the offer stands instead). With `addressesFollow` (the command line brings more)
    // the last of them comes in front, so that those open after it; otherwise the one that
    // was in front. Returns how many opened.
    int continueLastRun(bool addressesFollow);
    // The window closes in order: nothing to offer next time.
    void closedInOrder();

    // The sound entries of a list file: web addresses and local files the user can read,
    // at most `room`; `skipped` counts the rest (garbage, other schemes, beyond the room).
    // Their marks come from the state list at `statePath` when it matches the list.
    static QList<Entry> readList(const QString &path, int room, int *skipped, const QString &statePath = {});

signals:
    void offerChanged();
    void statusMessage(const QString &text);

private:
    static QList<TFormWebbrowser::WaitingPage> waitingPages(const QList<Entry> &entries);

    TFormWebbrowser *m_pages;
    QString m_dataFolder;
    std::unique_ptr<QLockFile> m_lock;
    QList<Entry> m_offer;
    int m_skipped = 0;
    QPointer<QFrame> m_bar;
};
