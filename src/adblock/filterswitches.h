#pragma once

#include <QObject>

class ConfigStore;
class QAction;
class TEmbeddedWB;
class TFormWebbrowser;

// The three filter switches of the Settings menu (popups, floating ads, Flash) with their
// menu items and RunData keys.
class FilterSwitches : public QObject
{
    Q_OBJECT

public:
    struct Items
    {
        QAction *stopPopup, *stopFloatAd, *stopFlashAd;
    };

    FilterSwitches(TFormWebbrowser *pages, ConfigStore *config, const Items &items);

    bool popupFilter() const { return m_popupFilter; }
    bool floatAdFilter() const { return m_floatAdFilter; }
    bool flashAdFilter() const { return m_flashAdFilter; }

    // Start-up: the stored switches take effect and check their items. The stored value
    // is not written back; it is already what the file says.
    void applyAtStartup(bool stopPopup, bool stopFloatAd, bool stopFlashAd);

    void NStopPopupClick();
    void NStopFloatAdClick();
    void NStopFlashAdClick();

    void ScrubDocument(TEmbeddedWB *browser);

private:
    void toggled(QAction *item, const char *key, bool &flag);

    TFormWebbrowser *m_pages;
    ConfigStore *m_config;
    Items m_items;
    bool m_popupFilter = false;
    bool m_floatAdFilter = false;
    bool m_flashAdFilter = false;
};
