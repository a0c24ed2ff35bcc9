#include "filterswitches.h"

#include "../app/configstore.h"
#include "../engine/embeddedwb.h"
#include "../pages/formwebbrowser.h"

#include <QAction>

FilterSwitches::FilterSwitches(TFormWebbrowser *pages, ConfigStore *config, const Items &items)
    : QObject(pages), m_pages(pages), m_config(config), m_items(items)
{
}

void FilterSwitches::applyAtStartup(bool stopPopup, bool stopFloatAd, bool stopFlashAd)
{
    m_popupFilter = stopPopup;
    m_items.stopPopup->setChecked(stopPopup);
    m_floatAdFilter = stopFloatAd;
    m_items.stopFloatAd->setChecked(stopFloatAd);
    m_flashAdFilter = stopFlashAd;
    m_items.stopFlashAd->setChecked(stopFlashAd);
}

void FilterSwitches::toggled(QAction *item, const char *key, bool &flag)
{
    // The menu item has already flipped its check mark when triggered.
    flag = item->isChecked();
    m_config->writeString(kRunData, QLatin1String(key), flag ? QStringLiteral("1") : QStringLiteral("0"));
    TFormWebbrowser::PageRecord *active = m_pages->activePage();
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
    toggled(m_items.stopPopup, "StopPopup", m_popupFilter);
}

void FilterSwitches::NStopFloatAdClick()
{
    toggled(m_items.stopFloatAd, "StopFloatAd", m_floatAdFilter);
}

void FilterSwitches::NStopFlashAdClick()
{
    toggled(m_items.stopFlashAd, "StopFlashAd", m_flashAdFilter);
}

void FilterSwitches::ScrubDocument(TEmbeddedWB *) {}
