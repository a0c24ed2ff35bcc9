#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class TEmbeddedWB;
class TFormWebbrowser;

// Keeps memory bounded with many pages: a page in the background that has not been shown
// for a while is frozen, and at the next look discarded; when memory runs low, at once.
// Never the page in front, one that is loading or playing sound, or one with typed text
// in a form. A discarded page keeps its tab, caption, address and history and loads again
// when shown.
class PageRest : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultMinutes = 10;
    static constexpr int kLookMs = 30 * 1000;

    explicit PageRest(TFormWebbrowser *pages, QObject *parent = nullptr);

    // 0: pages never rest (but still under memory pressure).
    void setIdleMinutes(int minutes) { m_idleMs = qint64(qMax(0, minutes)) * 60 * 1000; }
    void setIdleMs(qint64 ms) { m_idleMs = ms; }
    // One look at every page; also runs every kLookMs.
    void look();
    // The user asks for it: the page is discarded now unless it is in front, loading,
    // playing sound or holds typed text. `done` hears whether it was (later, once the page
    // answered).
    void restNow(TEmbeddedWB *page, std::function<void(bool rested)> done);
    // True when the machine is short of memory; by default from /proc/meminfo.
    std::function<bool()> memoryLow;
    static bool systemMemoryLow();

private:
    void shown(TEmbeddedWB *page);
    void rest(TEmbeddedWB *page, bool deep, std::function<void(bool rested)> done = {});

    TFormWebbrowser *m_pages;
    qint64 m_idleMs = qint64(kDefaultMinutes) * 60 * 1000;
    QHash<const TEmbeddedWB *, QElapsedTimer> m_lastShown;
    QTimer m_timer;
};
