#pragma once

#include <QObject>
#include <QPointer>
#include <QSet>

#include <functional>

class History;
class TEmbeddedWB;
class TFormWebbrowser;

// Records every page's visits into the history: a document completed is a visit of the
// address it shows, with its title; a title that comes or changes later follows it. Pages
// the program says are private leave nothing.
class HistoryRecorder : public QObject
{
    Q_OBJECT

public:
    HistoryRecorder(TFormWebbrowser *pages, History *history, QObject *parent = nullptr);

    // Asked for every visit and title; true keeps the page out of the history.
    void setPrivatePage(std::function<bool(const TEmbeddedWB *)> isPrivate) { m_isPrivate = std::move(isPrivate); }
    // Only what a person visits: web, file and ftp addresses, not the engine's own pages.
    static bool isRecorded(const QString &address);

private:
    void watch(TEmbeddedWB *page);
    void visited(TEmbeddedWB *page);
    bool isPrivate(const TEmbeddedWB *page) const { return m_isPrivate && m_isPrivate(page); }

    History *m_history;
    std::function<bool(const TEmbeddedWB *)> m_isPrivate;
    QSet<const TEmbeddedWB *> m_watched;
};
