#pragma once

#include "popupnotice.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <memory>

class AdScrubber;
class ConfigStore;
class NewWindowRequest;
class QAction;
class TEmbeddedWB;
class TFormWebbrowser;

// The popup decision: with the filter on, a page other than the active one opens no window,
// and the active page opens one only while the click allowance is open, which a user click
// into the page opens for a moment. The switch NStopPopup is stored as StopPopup. A dropped
// request leaves a notice above its page, from which the user can still open it.
class PopupFilter : public QObject
{
    Q_OBJECT

public:
    PopupFilter(TFormWebbrowser *pages, ConfigStore *config, QAction *item, AdScrubber *scrubber);

    bool isOn() const { return m_on; }
    // Start-up: the stored switch takes effect and checks the item, without being written back.
    void applyAtStartup(bool on);
    void NStopPopupClick();

    // Open now, closed `ms` later by a worker (or earlier, by a popup let through).
    void openAllowance(int ms);
    void closeAllowance();
    bool allowanceOpen() const { return m_allowance->load(); }

    void WebbrowserNewWindow2(TEmbeddedWB *sender, NewWindowRequest *request);

    // A page that asks for this many windows within kFloodWindowMs, all dropped, asks for
    // no more until it loads another document: the engine drops them by itself, before
    // it has built a page for each.
    static constexpr int kFloodCount = 50;
    static constexpr int kFloodWindowMs = 2000;

    // The notice above a page, while one stands.
    PopupNoticeBar *noticeOf(TEmbeddedWB *page) const { return m_notices.value(page); }

private:
    void blocked(TEmbeddedWB *page, const QString &address);

    TFormWebbrowser *m_pages;
    ConfigStore *m_config;
    QAction *m_item;
    AdScrubber *m_scrubber;
    bool m_on = false;
    std::shared_ptr<std::atomic<bool>> m_allowance = std::make_shared<std::atomic<bool>>(false);
    QHash<TEmbeddedWB *, QPointer<PopupNoticeBar>> m_notices;
    struct Flood
    {
        qint64 since = 0;
        int count = 0;
    };
    QHash<TEmbeddedWB *, Flood> m_floods;
};
