#include "historyrecorder.h"

#include "../engine/embeddedwb.h"
#include "../pages/formwebbrowser.h"
#include "history.h"

#include <QDateTime>
#include <QUrl>

HistoryRecorder::HistoryRecorder(TFormWebbrowser *pages, History *history, QObject *parent)
    : QObject(parent), m_history(history)
{
    // Every page loads before it completes: that is where its title changes are picked up.
    connect(pages, &TFormWebbrowser::pageLoadStarted, this, &HistoryRecorder::watch);
    connect(pages, &TFormWebbrowser::documentCompleted, this, [this](TEmbeddedWB *page) {
        watch(page);
        visited(page);
    });
}

bool HistoryRecorder::isRecorded(const QString &address)
{
    const QString scheme = QUrl(address).scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("file") ||
           scheme == QLatin1String("ftp");
}

void HistoryRecorder::watch(TEmbeddedWB *page)
{
    if (!page || m_watched.contains(page))
        return;
    m_watched.insert(page);
    connect(page, &QObject::destroyed, this, [this, page] { m_watched.remove(page); });
    connect(page, &TEmbeddedWB::TitleChange, this, [this, page](const QString &title) {
        const QString address = page->LocationURL();
        if (title.trimmed().isEmpty() || !isRecorded(address) || isPrivate(page))
            return;
        m_history->updateTitle(address, title);
    });
}

void HistoryRecorder::visited(TEmbeddedWB *page)
{
    const QString address = page->LocationURL();
    if (!isRecorded(address) || isPrivate(page))
        return;
    m_history->record(address, page->LocationName(), QDateTime::currentMSecsSinceEpoch());
}
