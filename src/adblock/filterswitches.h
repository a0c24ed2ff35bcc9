#pragma once

#include <QObject>

class TEmbeddedWB;
class TQORMainForm;

// The three filter switches of the Settings menu (popups, floating ads, Flash) with their
// menu items and RunData keys. The filters themselves (the popup decision with its click
// allowance, the scrubbing of loaded pages) come with the ad-blocking work; until then a page
// may open every window it asks for and documents are not scrubbed.
class FilterSwitches : public QObject
{
    Q_OBJECT

public:
    explicit FilterSwitches(TQORMainForm *mainForm);

    bool popupFilter() const { return m_popupFilter; }
    bool floatAdFilter() const { return m_floatAdFilter; }
    bool flashAdFilter() const { return m_flashAdFilter; }

    // Start-up: the stored switches take effect and check their items. The stored value
    // is not written back; it is already what the file says.
    void applyAtStartup(bool stopPopup, bool stopFloatAd, bool stopFlashAd);

    void NStopPopupClick();
    void NStopFloatAdClick();
    void NStopFlashAdClick();

    // Hooks the page collection calls.
    bool popupAllowed(const TEmbeddedWB *requester, bool requesterIsActive) const;
    void popupOpened();
    void ScrubDocument(TEmbeddedWB *browser);

private:
    void toggled(const char *item, const char *key, bool &flag);

    TQORMainForm *m_main;
    bool m_popupFilter = false;
    bool m_floatAdFilter = false;
    bool m_flashAdFilter = false;
};
