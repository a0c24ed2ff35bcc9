#pragma once

#include <QObject>

class ConfigStore;
class FilterLists;
class QAction;
class TFormWebbrowser;

// The list-filter switches of the ad menu: list filtering on or off for every page
// (StopListAd in RunData, on unless switched off) and "not here", the current site's own
// exception. Either brings the active page again, filtered or not.
class FilterMenu : public QObject
{
    Q_OBJECT

public:
    FilterMenu(TFormWebbrowser *pages, FilterLists *lists, ConfigStore *config, QAction *stopListAd,
               QAction *noFilterHere);

    // Reads the switch and hands it to the lists.
    void applyAtStartup();
    void stopListAdToggled();
    void noFilterHereToggled();
    // The "not here" item for the active page's site: greyed where there is no site.
    void showStateOfActivePage();

private:
    TFormWebbrowser *m_pages;
    FilterLists *m_lists;
    ConfigStore *m_config;
    QAction *m_stopListAd;
    QAction *m_noFilterHere;
};
