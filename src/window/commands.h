#pragma once

#include <QObject>

#include <array>
#include <functional>

class QAction;
class QWidget;

// Every command of the window: the items of the main menu and of the popups, and the
// actions that exist for their keys only. The menus and the key actions are built from
// one table (commands.cpp); handlers are bound by the program's composition.
enum class Command {
    // File
    NAddNewBlank, NAddNewHomePage, NCopyCurrentPage, NAddNewPrivate, NOpenFile, NSaveAs, NPageSetup, NPrint,
    NPrintView, NNewMail, NSendPage, NSendLink, NImport, NCloseCurrent, NAllClose, NAttribute,
    NOffline, NExit,
    // Edit
    NOpenNewlyOne, NCut, NCopy, NPaste, NSelectAll, NFind, NEditSource, NAddressSetFocus,
    NDocmentSetFocus, NCleanCurrentAd,
    // View
    NFavoritesBar,
    NLargest, NLarger, NMiddle, NSmall, NSmallest, N50, N75, N100, N125, N150, N200, NStop,
    NRefresh, NAllStop, NAllRefresh, NPreviousPage, NNextPage, NTOPageHome, NTOPageEnd, NSource,
    NViewSource, NHistory, NDarkPages,
    // Favorites
    NAddFavorite, NTrimFavorite,
    // Settings
    NStopPopup, NStopFloatAd, NStopFlashAd, NStopListAd, NNoFilterHere, NSetBrowserQOR, NSetBrowserIE,
    NPlainHotKeys, NEnhancedSecurity, NSpellCheck, NHttpsFirst, NPasswords, NInternetOption,
    // Tools
    NCleanAddress, NClearSearchHistory, NCleanHistory, NCleanCache, NCleanCookies,
    NCleanTempDir, NCleanRecent, NCleanAll, NCleanOnExit, NDownloads, NTaskManager, NDeveloperTools,
    // Help
    NHelpOnline, NBrowserHomePage, NBrowserBBS, NAbout,
    // Tab popup and search-engine popup
    PopupMenuCloseCurrent, NRRefresh, NBaidu, NYahoo,
    // Keys without a menu item
    ActionF1, ActionF2, ActionF3, ActionF4, ActionTest, ActionRestorePages, ActionDeveloperTools,
    Count
};

constexpr int kCommandCount = int(Command::Count);

struct CommandInfo
{
    Command id;
    const char *name;       // object name of the item (or of the action, for keys only)
    const char *caption;    // nullptr for keys without an item
    const char *keys;       // "" for none
    const char *actionName; // the ActionList1 action that carries the key, or nullptr
    enum Kind { Plain, Check, Radio, Hidden } kind;
    // Commands that do nothing on purpose (a check mark that is its own state, an item
    // without an action on this system); all the others must have a handler.
    bool withoutHandler;
};

const CommandInfo &commandInfo(Command id);

// The actions of the table, made once for a window.
class CommandSet : public QObject
{
    Q_OBJECT

public:
    explicit CommandSet(QWidget *window);

    // The item (or, for keys without an item, the key action).
    QAction *operator[](Command id) const { return m_items[size_t(id)]; }
    // The ActionList1 action that carries the item's key wherever the window has the keyboard.
    QAction *keyAction(Command id) const { return m_keyActions[size_t(id)]; }

    void bind(Command id, QObject *context, std::function<void()> handler);
    bool isBound(Command id) const { return m_bound[size_t(id)]; }

private:
    std::array<QAction *, kCommandCount> m_items{};
    std::array<QAction *, kCommandCount> m_keyActions{};
    std::array<bool, kCommandCount> m_bound{};
};
