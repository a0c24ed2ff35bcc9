#pragma once

#include "../core/configstore.h"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class AdScrubber;
class AddressBar;
class AddressBox;
class Downloads;
class EngineFactory;
class FavoritesBar;
class FavoritesMenu;
class FavoritesStore;
class FilterLists;
class FilterMenu;
class ForwardingRules;
class TextSizeMarks;
class InternetOptionsDialog;
class GlobalHotKeys;
class History;
class HistoryRecorder;
class HistorySuggestions;
class HistoryWindow;
class Passwords;
class PasswordsWindow;
class MessageFilter;
class OpenPageLists;
class PageCommands;
class PrivacyCleaner;
class PageOpener;
class PageTabs;
class PopupFilter;
class RecentlyClosedList;
class PageRest;
class SearchBar;
class SessionRestore;
class StatusLine;
class StorageProblems;
class TFormWebbrowser;
class TQORMainForm;
class TSetForm;
class TaskManager;

// The composition root: makes every part of the program for one program folder and one
// engine, the window and the page collection first, then the features, and connects
// them. The parts know one another only through what is handed to them here.
class Program : public QObject
{
    Q_OBJECT

public:
    // The longest the close waits for "全部清除" when it is to clear on exit.
    static constexpr int kCleanOnExitMs = 5000;

    Program(const QString &programFolder, EngineFactory *engine);
    ~Program() override;

    const QString &programFolder() const { return m_programFolder; }
    QString dataFolder() const { return m_programFolder + QStringLiteral("Data/"); }
    QString tempFolder() const { return m_programFolder + QStringLiteral("Temp/"); }
    ConfigStore &config() { return m_config; }

    TQORMainForm *mainForm() const { return m_main; }
    TFormWebbrowser *pages() const { return m_pages; }
    StatusLine *status() const { return m_status; }
    StorageProblems *storageProblems() const { return m_storageProblems; }
    AddressBox *addressBox() const { return m_addressBox; }
    AddressBar *addressBar() const { return m_addressBar; }
    SearchBar *searchBar() const { return m_searchBar; }
    PageTabs *tabs() const { return m_tabs; }
    RecentlyClosedList *recentlyClosed() const { return m_recentlyClosed; }
    OpenPageLists *openPageLists() const { return m_openPageLists; }
    SessionRestore *sessionRestore() const { return m_sessionRestore; }
    PageRest *pageRest() const { return m_pageRest; }
    PopupFilter *popupFilter() const { return m_popupFilter; }
    AdScrubber *adScrubber() const { return m_adScrubber; }
    FilterLists *filterLists() const { return m_filterLists; }
    PageCommands *pageCommands() const { return m_pageCommands; }
    PrivacyCleaner *cleaner() const { return m_cleaner; }
    Downloads *downloads() const { return m_downloads; }
    FavoritesStore *favorites() const { return m_favorites; }
    FavoritesMenu *favoritesMenu() const { return m_favoritesMenu; }
    // What a second start's messages ask of the window and the address bar.
    ForwardingRules *forwarding() const { return m_forwarding; }
    // The Internet options window, made when first asked for.
    InternetOptionsDialog *showInternetOptions();
    // The task manager window, made when first asked for.
    TaskManager *showTaskManager();
    History *history() const { return m_history; }
    HistoryRecorder *historyRecorder() const { return m_historyRecorder; }
    HistorySuggestions *historySuggestions() const { return m_historySuggestions; }
    // The history window, made when first asked for.
    HistoryWindow *showHistoryWindow();
    Passwords *passwords() const { return m_passwords; }
    // 密码管理, made when first asked for.
    PasswordsWindow *showPasswordsWindow();
    MessageFilter *messageFilter() const { return m_messageFilter; }
    GlobalHotKeys *hotKeys() const { return m_hotKeys; }
    TSetForm *clock() const { return m_clock; }

    FilterMenu *filterMenu() const { return m_filterMenu; }

    // After making: reads the settings and hands them to the parts, loads the lists, opens
    // the last run's pages when asked for. Before the window shows.
    void start();
    // At exit, before the engine goes: every page is destroyed, with what it left behind.
    void shutdown();
    // The user chose to start again (a setting of the engine changed) and the window closed.
    bool restartRequested() const { return m_restartRequested; }
    // The addresses of the pages open when the restart was asked for (private ones left out),
    // for the new start to open again.
    const QStringList &restartAddresses() const { return m_restartAddresses; }
    // The favorites bar, once the window is up (null before).
    FavoritesBar *favoritesBar() const { return m_favoritesBar; }

private:
    void makeParts(EngineFactory *engine);
    void connectParts();
    void bindCommands();
    // The favorites bar under the address bar, made once (at the first turn of the event loop).
    void makeFavoritesBar();
    // Once the engine's library is in, before it starts: enhanced security on or off, and
    // the notice of the engine's age.
    void prepareEngine();
    void enhancedSecurityToggled();
    // The engine's switches changed: asks to start again now, and does when told to.
    void offerRestart(const QString &question);

    QString m_programFolder;
    ConfigStore m_config;
    EngineFactory *m_engine = nullptr;
    std::optional<bool> m_enhancedSecurityChosen;
    QDate m_engineNoticeShown;
    bool m_enginePrepared = false;
    bool m_restartRequested = false;
    QStringList m_restartAddresses;
    StorageProblems *m_storageProblems = nullptr;

    TQORMainForm *m_main = nullptr;
    TFormWebbrowser *m_pages = nullptr;
    StatusLine *m_status = nullptr;
    AddressBox *m_addressBox = nullptr;
    std::unique_ptr<PageOpener> m_opener;
    AddressBar *m_addressBar = nullptr;
    SearchBar *m_searchBar = nullptr;
    PageTabs *m_tabs = nullptr;
    RecentlyClosedList *m_recentlyClosed = nullptr;
    OpenPageLists *m_openPageLists = nullptr;
    SessionRestore *m_sessionRestore = nullptr;
    PageRest *m_pageRest = nullptr;
    AdScrubber *m_adScrubber = nullptr;
    FilterLists *m_filterLists = nullptr;
    FilterMenu *m_filterMenu = nullptr;
    TextSizeMarks *m_textSizeMarks = nullptr;
    PageCommands *m_pageCommands = nullptr;
    PrivacyCleaner *m_cleaner = nullptr;
    Downloads *m_downloads = nullptr;
    FavoritesStore *m_favorites = nullptr;
    FavoritesMenu *m_favoritesMenu = nullptr;
    FavoritesBar *m_favoritesBar = nullptr;
    ForwardingRules *m_forwarding = nullptr;
    QPointer<InternetOptionsDialog> m_internetOptions;
    QPointer<TaskManager> m_taskManager;
    History *m_history = nullptr;
    HistoryRecorder *m_historyRecorder = nullptr;
    HistorySuggestions *m_historySuggestions = nullptr;
    QPointer<HistoryWindow> m_historyWindow;
    Passwords *m_passwords = nullptr;
    QPointer<PasswordsWindow> m_passwordsWindow;
    PopupFilter *m_popupFilter = nullptr;
    MessageFilter *m_messageFilter = nullptr;
    GlobalHotKeys *m_hotKeys = nullptr;
    TSetForm *m_clock = nullptr;
};
