#include "filterswitches.h"

#include "../app/mainform.h"
#include "../engine/embeddedwb.h"
#include "../pages/formwebbrowser.h"

#include <QAction>

FilterSwitches::FilterSwitches(TQORMainForm *mainForm) : QObject(mainForm), m_main(mainForm)
{
    connect(m_main->menuItem("NStopPopup"), &QAction::triggered, this, &FilterSwitches::NStopPopupClick);
    connect(m_main->menuItem("NStopFloatAd"), &QAction::triggered, this, &FilterSwitches::NStopFloatAdClick);
    connect(m_main->menuItem("NStopFlashAd"), &QAction::triggered, this, &FilterSwitches::NStopFlashAdClick);
}

void FilterSwitches::applyAtStartup(bool stopPopup, bool stopFloatAd, bool stopFlashAd)
{
    m_popupFilter = stopPopup;
    m_main->menuItem("NStopPopup")->setChecked(stopPopup);
    m_floatAdFilter = stopFloatAd;
    m_main->menuItem("NStopFloatAd")->setChecked(stopFloatAd);
    m_flashAdFilter = stopFlashAd;
    m_main->menuItem("NStopFlashAd")->setChecked(stopFlashAd);
}

void FilterSwitches::toggled(const char *item, const char *key, bool &flag)
{
    // The menu item has already flipped its check mark when triggered.
    flag = m_main->menuItem(item)->isChecked();
    m_main->config().writeString(kRunData, QLatin1String(key), flag ? QStringLiteral("1") : QStringLiteral("0"));
    TFormWebbrowser *pages = m_main->pages();
    if (!pages || pages->count() == 0)
        return;
    TFormWebbrowser::PageRecord *active = pages->activePage();
    if (!active)
        return;
    if (flag) {
        if (active->browser->Document())
            ScrubDocument(active->browser);
    } else {
        // Reloading brings back what the filter had hidden.
        active->browser->Refresh();
    }
}

void FilterSwitches::NStopPopupClick()
{
    try {
        toggled("NStopPopup", "StopPopup", m_popupFilter);
    } catch (...) {
    }
}

void FilterSwitches::NStopFloatAdClick()
{
    try {
        toggled("NStopFloatAd", "StopFloatAd", m_floatAdFilter);
    } catch (...) {
    }
}

void FilterSwitches::NStopFlashAdClick()
{
    try {
        toggled("NStopFlashAd", "StopFlashAd", m_flashAdFilter);
    } catch (...) {
    }
}

bool FilterSwitches::popupAllowed(const TEmbeddedWB *, bool) const
{
    return true;
}

void FilterSwitches::popupOpened() {}

void FilterSwitches::ScrubDocument(TEmbeddedWB *) {}
