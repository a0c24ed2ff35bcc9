#pragma once

#include <QObject>

class ConfigStore;
class FilterLists;
class QAction;
class QUrl;
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

    // The stored switch, handed to the lists.
    void applyAtStartup(bool on);
    // Opens the user's own rules in the desktop's editor, made first when missing.
    void editUserRules();

    void stopListAdToggled();
    void noFilterHereToggled();
    // The "not here" item for the active page's site: greyed where there is no site.
    void showStateOfActivePage();

signals:
    void openRequested(const QUrl &file);
    void statusMessage(const QString &text);

private:
    TFormWebbrowser *m_pages;
    FilterLists *m_lists;
    ConfigStore *m_config;
    QAction *m_stopListAd;
    QAction *m_noFilterHere;
};
