// The program's commands, each bound to the part that does it, and the windows they bring up.
#include "program.h"

#include "../adblock/adscrubber.h"
#include "../adblock/filtermenu.h"
#include "../adblock/popupfilter.h"
#include "../cleaner/privacycleaner.h"
#include "../core/configstore.h"
#include "../downloads/downloads.h"
#include "../downloads/downloadswindow.h"
#include "../favorites/favoritesbar.h"
#include "../favorites/favoritesmenu.h"
#include "../navigation/addressbar.h"
#include "../navigation/addressbox.h"
#include "../navigation/pageopener.h"
#include "../navigation/searchbar.h"
#include "../navigation/weblinks.h"
#include "../pages/formwebbrowser.h"
#include "../pages/pagecommands.h"
#include "../statusbar/statusline.h"
#include "../tabs/pagetabs.h"
#include "../tabs/recentlyclosed.h"
#include "../tabs/sessionrestore.h"
#include "../window/mainform.h"
#include "../adblock/filterlists.h"
#include "../history/history.h"
#include "../history/historywindow.h"
#include "../passwords/passwordswindow.h"
#include "../tabs/taskmanager.h"
#include "../window/internetoptionsdialog.h"
#include "../core/storageproblems.h"
#include "../engine/embeddedwb.h"
#include "../tabs/pagerest.h"
#include "applicationsetup.h"
#include "defaultbrowser.h"
#include "../window/hotkeys.h"

#include <QAction>
#include <QToolButton>

void Program::bindCommands()
{
    using C = Command;
    CommandSet &commands = m_main->commands();
    auto bind = [&commands, this](C id, std::function<void()> handler) { commands.bind(id, this, std::move(handler)); };
    // A checked item kept in RunData as "1" or "0", then handed to what it switches.
    auto bindSwitch = [&bind, this](C id, const char *key, std::function<void(bool)> then) {
        bind(id, [this, id, key, then = std::move(then)] {
            const bool on = m_main->command(id)->isChecked();
            m_config.writeString(kRunData, QLatin1String(key), on ? QStringLiteral("1") : QStringLiteral("0"));
            if (then)
                then(on);
        });
    };

    PageTabs *tabs = m_tabs;
    bind(C::NAddNewBlank, [tabs] { tabs->NAddNewBlankClick(); });
    bind(C::NAddNewHomePage, [tabs] { tabs->NAddNewHomePageClick(); });
    bind(C::NCopyCurrentPage, [tabs] { tabs->NCopyCurrentPageClick(); });
    bind(C::NAddNewPrivate, [this] { m_opener->openBlankPage(true); });
    bind(C::NCloseCurrent, [tabs] { tabs->NCloseCurrentClick(); });
    bind(C::NAllClose, [tabs] { tabs->NAllCloseClick(); });
    bind(C::NPreviousPage, [tabs] { tabs->NPreviousPageClick(); });
    bind(C::NNextPage, [tabs] { tabs->NNextPageClick(); });
    bind(C::NStop, [tabs] { tabs->NStopClick(); });
    bind(C::NRefresh, [tabs] { tabs->NRefreshClick(); });
    bind(C::NAllStop, [tabs] { tabs->NAllStopClick(); });
    bind(C::NAllRefresh, [tabs] { tabs->NAllRefreshClick(); });
    bind(C::PopupMenuCloseCurrent, [tabs] { tabs->PopupMenuCloseCurrentClick(); });
    bind(C::NRRefresh, [tabs] { tabs->NRRefreshClick(); });
    bind(C::NDuplicatePage, [tabs] { tabs->NDuplicatePageClick(); });
    bind(C::NPinPage, [tabs] { tabs->NPinPageClick(); });
    bind(C::NMutePage, [tabs] { tabs->NMutePageClick(); });
    bind(C::NCloseOtherPages, [tabs] { tabs->NCloseOtherPagesClick(); });
    bind(C::NCloseRightPages, [tabs] { tabs->NCloseRightPagesClick(); });
    bind(C::NReopenClosedPage, [this] { m_recentlyClosed->NOpenNewlyOneClick(); });

    bind(C::NOpenNewlyOne, [this] { m_recentlyClosed->NOpenNewlyOneClick(); });
    // The last run's pages while their restore is offered, else the last closed page.
    bind(C::ActionRestorePages, [this] {
        if (!m_sessionRestore->restore())
            m_recentlyClosed->NOpenNewlyOneClick();
    });

    bind(C::NAddressSetFocus, [this] { m_addressBox->focus(); });
    // F1 to F4 empty the box; Go then has nothing to open.
    for (C id : {C::ActionF1, C::ActionF2, C::ActionF3, C::ActionF4})
        bind(id, [this] { m_addressBar->openAddress(QString()); });
    for (C id : {C::NHelpOnline, C::NBrowserHomePage, C::NBrowserBBS})
        bind(id, [this] { m_addressBar->openAddress(WebLinks::productSite()); });

    bind(C::NBaidu, [this] { m_searchBar->NBaiduClick(); });
    bind(C::NYahoo, [this] { m_searchBar->NYahooClick(); });

    bind(C::NDocmentSetFocus, [this] { m_pages->FocusActiveDocument(); });
    bind(C::NTOPageHome, [this] { m_pages->ScrollToStart(); });
    bind(C::NTOPageEnd, [this] { m_pages->ScrollToEnd(); });

    bind(C::NStopPopup, [this] { m_popupFilter->NStopPopupClick(); });
    bind(C::NStopFloatAd, [this] { m_adScrubber->NStopFloatAdClick(); });
    bind(C::NStopFlashAd, [this] { m_adScrubber->NStopFlashAdClick(); });
    bind(C::NCleanCurrentAd, [this] { m_adScrubber->NCleanCurrentAdClick(); });
    bind(C::NStopListAd, [this] { m_filterMenu->stopListAdToggled(); });
    bind(C::NNoFilterHere, [this] { m_filterMenu->noFilterHereToggled(); });

    PageCommands *page = m_pageCommands;
    bind(C::NOpenFile, [page] { page->NOpenFileClick(); });
    bind(C::NSaveAs, [page] { page->NSaveAsClick(); });
    bind(C::NPageSetup, [page] { page->NPageSetupClick(); });
    bind(C::NPrint, [page] { page->NPrintClick(); });
    bind(C::NPrintView, [page] { page->NPrintViewClick(); });
    bind(C::NNewMail, [page] { page->NNewMailClick(); });
    bind(C::NSendPage, [page] { page->NSendPageClick(); });
    bind(C::NSendLink, [page] { page->NSendLinkClick(); });
    bind(C::NImport, [page] { page->NImportClick(); });
    bind(C::NAttribute, [page] { page->NAttributeClick(); });
    bind(C::NCut, [page] { page->NCutClick(); });
    bind(C::NCopy, [page] { page->NCopyClick(); });
    bind(C::NPaste, [page] { page->NPasteClick(); });
    bind(C::NSelectAll, [page] { page->NSelectAllClick(); });
    bind(C::NFind, [page] { page->NFindClick(); });
    bind(C::NEditSource, [page] { page->NEditSourceClick(); });
    bind(C::NSource, [page] { page->NSourceClick(); });
    const C textSizes[] = {C::NSmallest, C::NSmall, C::NMiddle, C::NLarger, C::NLargest};
    for (int level = 0; level < int(std::size(textSizes)); ++level)
        bind(textSizes[level], [page, level] { page->setTextSize(level); });
    const std::pair<C, double> zooms[] = {{C::N50, 0.5}, {C::N75, 0.75}, {C::N100, 1.0}, {C::N125, 1.25}, {C::N150, 1.5}, {C::N200, 2.0}};
    for (const auto &[id, factor] : zooms)
        bind(id, [page, factor = factor] { page->setZoom(factor); });
    bind(C::NInternetOption, [this] { showInternetOptions(); });
    bind(C::NAddFavorite, [this] { m_favoritesMenu->NAddFavoriteClick(); });
    bind(C::NTrimFavorite, [this] { m_favoritesMenu->NTrimFavoriteClick(); });
    bindSwitch(C::NFavoritesBar, "FavoritesBar", [this](bool on) {
        makeFavoritesBar();
        m_favoritesBar->setChoice(on);
    });
    bind(C::NSetBrowserQOR, [this] { setAsDefaultBrowser(this, [this](const QString &text) { m_status->showMessage(text); }); });

    PrivacyCleaner *cleaner = m_cleaner;
    bind(C::NCleanAddress, [cleaner] { cleaner->NCleanAddressClick(); });
    bind(C::NClearSearchHistory, [cleaner] { cleaner->NClearSearchHistoryClick(); });
    bind(C::NCleanHistory, [cleaner] { cleaner->NCleanHistoryClick(); });
    bind(C::NCleanCache, [cleaner] { cleaner->NCleanCacheClick(); });
    bind(C::NCleanCookies, [cleaner] { cleaner->NCleanCookiesClick(); });
    bind(C::NCleanTempDir, [cleaner] { cleaner->NCleanTempDirClick(); });
    bind(C::NCleanRecent, [cleaner] { cleaner->NCleanRecentClick(); });
    bind(C::NCleanAll, [cleaner] { cleaner->NCleanAllClick(); });
    bindSwitch(C::NCleanOnExit, "CleanOnExit", {});

    bind(C::NDownloads, [this] {
        m_downloads->window()->show();
        m_downloads->window()->raise();
    });

    bind(C::NTaskManager, [this] { showTaskManager(); });
    bind(C::NHistory, [this] { showHistoryWindow(); });
    bind(C::NPasswords, [this] { showPasswordsWindow(); });
    bind(C::NViewSource, [page] { page->NViewSourceClick(); });
    bind(C::NDeveloperTools, [page] { page->NDeveloperToolsClick(); });
    bind(C::ActionDeveloperTools, [page] { page->NDeveloperToolsClick(); });
    bindSwitch(C::NSpellCheck, "SpellCheck", [this](bool on) {
        m_engine->setSpellChecking(on);
    });
    bindSwitch(C::NHttpsFirst, "HttpsFirst", [this](bool on) {
        m_addressBar->setHttpsFirst(on);
    });
    bindSwitch(C::NDarkPages, "DarkPages", [this](bool on) {
        // The engine's switch, read once when it starts.
        if (!m_engine->setDarkPages(on))
            offerRestart(QStringLiteral("深色网页在 sablix 重新启动后生效。现在重新启动吗？"));
    });
    bindSwitch(C::NPlainHotKeys, "PlainHotKeys", [this](bool on) {
        m_hotKeys->setPlainKeys(on);
    });

    TQORMainForm *w = m_main;
    bind(C::NExit, [w] { w->close(); });
    bind(C::NEnhancedSecurity, [this] { enhancedSecurityToggled(); });
    bind(C::NAbout, [this, w] {
        w->NAboutClick(EngineAge::describe(QLatin1String(ApplicationSetup::kVersion), m_engine->versions()));
    });
    bind(C::ActionTest, [page] { page->ActionTestClick(); });
}

namespace {

// A window of its own, made when first asked for and brought up each time.
template <typename Window, typename Make> Window *bringUp(QPointer<Window> &window, Make make)
{
    if (!window)
        window = make();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace

InternetOptionsDialog *Program::showInternetOptions()
{
    return bringUp(m_internetOptions, [this] {
        const QList<QAction *> switches{m_main->command(Command::NStopPopup), m_main->command(Command::NStopFloatAd),
                                        m_main->command(Command::NStopFlashAd), m_main->command(Command::NStopListAd)};
        m_internetOptions = new InternetOptionsDialog(switches, [this] {
            const TFormWebbrowser::PageView *active = m_pages->activePage();
            return active ? active->browser()->LocationURL() : QString();
        }, m_main);
        // In a window of its own, beside the browser.
        m_internetOptions->setWindowFlag(Qt::Window);
        m_internetOptions->setStorageProblems(m_storageProblems);
        m_internetOptions->setHistoryDays(m_history->retentionDays());
        m_internetOptions->setRestoreOnStart(m_restoreOnStart);
        connect(m_internetOptions, &InternetOptionsDialog::restoreOnStartChanged, this, [this](bool restore) {
            m_restoreOnStart = restore;
            m_config.writeString(kRunData, QStringLiteral("RestoreOnStart"), restore ? QStringLiteral("1") : QStringLiteral("0"));
        });
        connect(m_internetOptions, &InternetOptionsDialog::historyDaysChanged, this, [this](int days) {
            m_config.writeString(kRunData, QStringLiteral("HistoryDays"), QString::number(days));
            m_history->setRetentionDays(days);
        });
        connect(m_internetOptions, &InternetOptionsDialog::subscriptionsChanged, m_filterLists, [this] {
            m_filterLists->refreshSubscriptions();
            m_filterLists->reload();
        });
        connect(m_internetOptions, &InternetOptionsDialog::editRulesRequested, m_filterMenu, &FilterMenu::editUserRules);
        return m_internetOptions.data();
    });
}

TaskManager *Program::showTaskManager()
{
    return bringUp(m_taskManager, [this] {
        auto *manager = new TaskManager(m_pages, m_pageRest, m_main);
        connect(manager, &TaskManager::statusMessage, m_status, &StatusLine::showMessage);
        return manager;
    });
}

PasswordsWindow *Program::showPasswordsWindow()
{
    return bringUp(m_passwordsWindow, [this] { return new PasswordsWindow(m_passwords, m_main); });
}

HistoryWindow *Program::showHistoryWindow()
{
    return bringUp(m_historyWindow, [this] {
        auto *window = new HistoryWindow(m_history, m_main);
        connect(window, &HistoryWindow::openRequested, m_addressBar, &AddressBar::openAddress);
        return window;
    });
}
