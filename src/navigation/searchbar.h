#pragma once

#include "../core/storageproblems.h"

#include <QObject>
#include <QStringList>

class StorageProblems;
class AddressBox;
class ConfigStore;
class PageOpener;
class QAction;
class QComboBox;
class QMenu;
class QStringListModel;
class QToolButton;
class TFormWebbrowser;

// The search bar: sends the query, percent-encoded, to the chosen engine in the current page
// when it is blank, otherwise in a new page; keeps the search history (a model the box
// shows); lets the user pick the engine, stored as SearchOn.
class SearchBar : public QObject
{
    Q_OBJECT

public:
    enum EngineCode { FirstEngine = 1, SecondEngine = 3, NoEngineChecked = 5 };

    struct Widgets
    {
        QComboBox *box;
        QToolButton *search, *engineMenuButton;
        QMenu *engineMenu;
        QAction *firstEngineItem, *secondEngineItem;
    };

    SearchBar(TFormWebbrowser *pages, PageOpener *opener, AddressBox *address, ConfigStore *config,
              const Widgets &widgets);

    void Search();
    // Puts the text into the search box and searches it (dropped text).
    void searchText(const QString &text);
    void SBSearchOnClick();
    void NBaiduClick();
    void NYahooClick();
    void applyStartupEngine(int code);

    int engineCode() const { return m_engineCode; }
    // The engine's query address with the words encoded; the history keeps them as typed.
    QString queryAddress(const QString &query) const;
    QStringList history() const;
    // The box's text and list are emptied.
    // Forgets the history, in its file too (left empty).
    void clearHistory();
    // The history's file (SearchHistory.lst); only this bar writes it.
    void setHistoryFile(const QString &path, StorageProblems *problems);
    bool saveHistory();
    void removeHistoryFile();

private:
    OwnedListFile m_historyFile;
    void chooseEngine(int code);

    TFormWebbrowser *m_pages;
    PageOpener *m_opener;
    AddressBox *m_address;
    ConfigStore *m_config;
    Widgets m_widgets;
    QStringListModel *m_history;
    int m_engineCode = FirstEngine;
};
