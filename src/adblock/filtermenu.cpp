#include "filtermenu.h"

#include "../core/configstore.h"
#include "../engine/embeddedwb.h"
#include "../pages/formwebbrowser.h"
#include "filterlists.h"
#include "filtersources.h"
#include "rulesfile.h"

#include <QAction>
#include <QPointer>
#include <QUrl>

namespace {

const QString kStopListAd = QStringLiteral("StopListAd");

QUrl activeAddress(const TFormWebbrowser *pages)
{
    const TFormWebbrowser::PageView *active = pages->activePage();
    return active ? QUrl(active->browser()->LocationURL()) : QUrl();
}

} // namespace

FilterMenu::FilterMenu(TFormWebbrowser *pages, FilterLists *lists, ConfigStore *config, QAction *stopListAd,
                       QAction *noFilterHere)
    : QObject(lists), m_pages(pages), m_lists(lists), m_config(config), m_stopListAd(stopListAd),
      m_noFilterHere(noFilterHere)
{
}

void FilterMenu::applyAtStartup(bool on)
{
    m_lists->setEnabled(on);
    m_stopListAd->setChecked(on);
}

void FilterMenu::stopListAdToggled()
{
    const bool on = m_stopListAd->isChecked();
    m_config->writeString(kRunData, kStopListAd, on ? QStringLiteral("1") : QStringLiteral("0"));
    m_lists->setEnabled(on);
    if (const TFormWebbrowser::PageView *active = m_pages->activePage(); active && active->browser()->Document())
        active->browser()->Refresh();
}

void FilterMenu::noFilterHereToggled()
{
    const TFormWebbrowser::PageView *active = m_pages->activePage();
    if (!active || !m_lists->setSiteExcepted(activeAddress(m_pages), m_noFilterHere->isChecked())) {
        showStateOfActivePage();
        return;
    }
    // The page comes again once the lists with the new rule are in.
    QPointer<TEmbeddedWB> page = active->browser();
    connect(
        m_lists, &FilterLists::loaded, this,
        [page] {
            if (page)
                page->Refresh();
        },
        Qt::SingleShotConnection);
}

void FilterMenu::editUserRules()
{
    // A file people edit by hand: UTF-8, made once, never rewritten here.
    const QString rules = FilterSources::userRules();
    QString error;
    if (!RulesFile::create(rules, {QStringLiteral("! sablix 浏览器: 我的广告过滤规则，每行一条")}, &error)) {
        emit statusMessage(QStringLiteral("无法保存过滤规则: %1：%2").arg(rules, error));
        return;
    }
    emit openRequested(QUrl::fromLocalFile(rules));
}

void FilterMenu::showStateOfActivePage()
{
    const QUrl page = activeAddress(m_pages);
    m_noFilterHere->setEnabled(!FilterLists::siteRule(page).isEmpty());
    m_noFilterHere->setChecked(m_lists->siteExcepted(page));
}
