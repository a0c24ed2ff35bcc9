#include "adscrubber.h"

#include "../core/configstore.h"
#include "../engine/embeddedwb.h"
#include "../navigation/weblinks.h"
#include "../pages/formwebbrowser.h"

#include <QAction>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace {

// Runs over every element of the page in document order (document.all, which is
// falsy by design, hence its tag-name form). Values are read by name and only when the
// tests before them in the same row hold; a hidden element keeps its place.
const char *const kWalk = R"JS(
(function (o) {
  // A PDF document is the engine's own viewer, placed in the page absolutely: no ad.
  if (document.contentType === 'application/pdf') return 0;
  var all = document.getElementsByTagName('*'), n = all.length, hidden = 0;
  function hide(e) { e.style.visibility = 'hidden'; hidden++; }
  for (var i = 0; i < n; i++) {
    var e = all[i];
    // Inline position lives in the style attribute (also when a script set it): an element
    // without one is not asked for its style object, which the engine would make for it.
    if (o.floating && e.hasAttribute('style') && e.style && String(e.style.position).toLowerCase() === 'absolute') hide(e);
    if (!o.flash) continue;
    if (o.exempt) return hidden;
    var tag = String(e.tagName).toUpperCase();
    if (tag === 'OBJECT' && e.getAttribute('classid') === 'clsid:D27CDB6E-AE6D-11cf-96B8-444553540000') hide(e);
    if (tag === 'EMBED' && String(e.getAttribute('src') || '').toLowerCase().indexOf('.swf') >= 0) hide(e);
    if (tag === 'PARAM' && String(e.getAttribute('name') || '').toLowerCase() === 'movie') hide(e);
  }
  return hidden;
})
)JS";

} // namespace

AdScrubber::AdScrubber(TFormWebbrowser *pages, ConfigStore *config, QAction *floatItem, QAction *flashItem)
    : QObject(pages), m_pages(pages), m_config(config), m_floatItem(floatItem), m_flashItem(flashItem),
      m_timer(new QTimer(this))
{
    m_timer->setObjectName(QStringLiteral("TimerClearAd"));
    m_timer->setInterval(500);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (const TFormWebbrowser::PageView *active = m_pages->activePage())
            ScrubDocumentOnTimer(active->browser());
    });
}

void AdScrubber::applyAtStartup(bool stopFloatAd, bool stopFlashAd)
{
    m_floatAd = stopFloatAd;
    m_floatItem->setChecked(stopFloatAd);
    m_flashAd = stopFlashAd;
    m_flashItem->setChecked(stopFlashAd);
}

QString AdScrubber::walkScript(bool floating, bool flash, bool exempt)
{
    const QJsonObject options{{QStringLiteral("floating"), floating},
                              {QStringLiteral("flash"), flash},
                              {QStringLiteral("exempt"), exempt}};
    return QString::fromLatin1(kWalk).trimmed() + QLatin1Char('(') +
           QString::fromUtf8(QJsonDocument(options).toJson(QJsonDocument::Compact)) + QStringLiteral(");");
}

void AdScrubber::walk(TEmbeddedWB *browser, bool floating, bool flash)
{
    if (!browser->Document())
        return;
    const bool exempt = browser->LocationURL().toLower().contains(WebLinks::exemptWebMailHost());
    browser->runDocumentScript(walkScript(floating, flash, exempt));
}

void AdScrubber::ScrubDocument(TEmbeddedWB *browser)
{
    if (m_floatAd || m_flashAd)
        walk(browser, m_floatAd, m_flashAd);
}

void AdScrubber::ScrubDocumentNow(TEmbeddedWB *browser)
{
    walk(browser, true, true);
}

void AdScrubber::ScrubDocumentOnTimer(TEmbeddedWB *browser)
{
    ScrubDocument(browser);
}

void AdScrubber::startTimer()
{
    if (!m_timer->isActive())
        m_timer->start();
}

void AdScrubber::toggled(QAction *item, const char *key, bool &flag)
{
    // The item has already flipped its check mark when triggered.
    flag = item->isChecked();
    m_config->writeString(kRunData, QLatin1String(key), flag ? QStringLiteral("1") : QStringLiteral("0"));
    const TFormWebbrowser::PageView *active = m_pages->activePage();
    if (!active)
        return;
    if (flag) {
        if (active->browser()->Document())
            ScrubDocument(active->browser());
    } else {
        // Reloading brings back what the filter had hidden.
        active->browser()->Refresh();
    }
}

void AdScrubber::NStopFloatAdClick()
{
    toggled(m_floatItem, "StopFloatAd", m_floatAd);
}

void AdScrubber::NStopFlashAdClick()
{
    toggled(m_flashItem, "StopFlashAd", m_flashAd);
}

void AdScrubber::NCleanCurrentAdClick()
{
    // Stray browser windows of another program, which the key also closed elsewhere, do
    // not exist here: the active page's walk is all there is.
    if (const TFormWebbrowser::PageView *active = m_pages->activePage())
        ScrubDocumentNow(active->browser());
}
