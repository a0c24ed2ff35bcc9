#include "program.h"

#include "../adblock/adscrubber.h"
#include "../adblock/filterlists.h"
#include "../adblock/filtersources.h"
#include "../adblock/popupfilter.h"
#include "../adblock/rulesfile.h"
#include "../cleaner/privacycleaner.h"
#include "../downloads/downloads.h"
#include "../downloads/downloadswindow.h"
#include "../engine/embeddedwb.h"
#include "../favorites/favoritesmenu.h"
#include "../favorites/favoritesstore.h"
#include "../favorites/openpagelists.h"
#include "../navigation/addressbar.h"
#include "../navigation/addressbox.h"
#include "../navigation/pageopener.h"
#include "../navigation/typedurls.h"
#include "../navigation/searchbar.h"
#include "../navigation/weblinks.h"
#include "../pages/formwebbrowser.h"
#include "../pages/pagecommands.h"
#include "../statusbar/setform.h"
#include "../statusbar/statusline.h"
#include "../tabs/pagetabs.h"
#include "../tabs/recentlyclosed.h"
#include "../tabs/pagerest.h"
#include "../tabs/sessionrestore.h"
#include "../tabs/taskmanager.h"
#include "hotkeys.h"
#include "../instance/instanceprotocol.h"
#include "internetoptionsdialog.h"
#include "../core/listfile.h"
#include "../window/mainform.h"
#include "messagefilter.h"
#include "rootnotice.h"
#include "../core/rundata.h"
#include "../core/storageproblems.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QFile>
#include <QFileInfo>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>

#include <malloc.h>

namespace {

// The View menu's text-size items by level, 0 (smallest) to 4 (largest).
constexpr Command kTextSizeItems[] = {Command::NSmallest, Command::NSmall, Command::NMiddle, Command::NLarger,
                                      Command::NLargest};

} // namespace

Program::Program(const QString &programFolder, EngineFactory *engine)
    : m_programFolder(programFolder), m_config(programFolder + QStringLiteral("Config.ini"))
{
    makeParts(engine);
    connectParts();
    bindCommands();
    FormCreate();
}

Program::~Program()
{
    qApp->removeEventFilter(m_messageFilter);
    releasePages();
    delete m_main;
}

void Program::releasePages()
{
    m_pages->destroyAllPages();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Program::makeParts(EngineFactory *engine)
{
    // Every file the parts write reports here; the status line says what failed.
    m_storageProblems = new StorageProblems(this);
    m_config.setProblems(m_storageProblems);
    m_main = new TQORMainForm(&m_config);
    TQORMainForm *w = m_main;
    m_status = new StatusLine(w->StatusBar);
    m_pages = new TFormWebbrowser(w->PageControl, w, w->PanelMainClient, engine);
    m_clock = new TSetForm(m_status);

    m_addressBox = new AddressBox(w->CBURL);
    m_opener = std::make_unique<PageOpener>(m_pages, m_addressBox, m_status);
    m_addressBar = new AddressBar(m_pages, m_opener.get(), m_addressBox, w->BBGO,
                                  {w->SBP, w->SBN, w->SBL1, w->SBL2, w->SBH1, w->SBH2});
    // A line edit keeps 32767 characters unless told: a forwarded address goes in whole.
    if (QLineEdit *edit = w->CBURL->lineEdit())
        edit->setMaxLength(InstanceProtocol::kMaxChars);
    m_addressBar->typedUrls()->setStorageProblems(m_storageProblems);
    m_searchBar = new SearchBar(m_pages, m_opener.get(), m_addressBox, &m_config,
                                {w->ComboBoxSearch, w->SBSearch, w->SBSearchOn, w->PopupMenuSearch,
                                 w->command(Command::NBaidu), w->command(Command::NYahoo)});
    m_tabs = new PageTabs(m_pages, m_opener.get(), m_addressBar, m_addressBox, m_status,
                          {w->PageControl, w->PanelMainClient, w->PopupMenuPcl});
    m_recentlyClosed = new RecentlyClosedList(dataFolder() + QStringLiteral("NewlyList.lst"), w->PopupMenuNewly,
                                              w->ListBoxNewly);
    m_recentlyClosed->setStorageProblems(m_storageProblems);
    m_openPageLists = new OpenPageLists(m_pages, dataFolder(), &m_config, m_addressBox);
    m_openPageLists->setStorageProblems(m_storageProblems);
    m_sessionRestore = new SessionRestore(m_pages, dataFolder(), tempFolder(), this);
    m_openPageLists->pendingLines = [this] { return m_sessionRestore->pendingLines(); };
    m_pageRest = new PageRest(m_pages, this);
    m_adScrubber = new AdScrubber(m_pages, &m_config, w->command(Command::NStopFloatAd),
                                  w->command(Command::NStopFlashAd));
    m_popupFilter = new PopupFilter(m_pages, &m_config, w->command(Command::NStopPopup), m_adScrubber);
    m_filterLists = new FilterLists(this);
    engine->setContentFilter(m_filterLists);
    m_messageFilter = new MessageFilter(m_pages, w, m_popupFilter);
    qApp->installEventFilter(m_messageFilter);
    m_pageCommands = new PageCommands(m_pages, tempFolder(), w);
    m_pageCommands->openBlankPage = [this] { return m_opener->openBlankPage(); };
    m_cleaner = new PrivacyCleaner({m_addressBox, m_addressBar, m_searchBar, m_recentlyClosed}, dataFolder(), tempFolder(),
                                   [engine] { return engine->browsingData(); }, this);
    m_downloads = new Downloads(w);
    engine->setDownloadHandler(m_downloads);
    w->mayClose = [this] { return m_downloads->mayClose(); };
    m_favorites = new FavoritesStore(FavoritesStore::defaultRoot(), this);
    m_favoritesMenu = new FavoritesMenu(m_pages, m_favorites, w);
    m_hotKeys = new GlobalHotKeys(this);
    m_pages->setContextMenuPermission([this] { return m_messageFilter->contextMenuAllowed(); });
}

void Program::connectParts()
{
    TFormWebbrowser *pages = m_pages;

    // What the window shows for the active page.
    connect(pages, &TFormWebbrowser::addressShown, m_addressBox, &AddressBox::showPageAddress);
    connect(pages, &TFormWebbrowser::connecting, m_status, &StatusLine::showConnecting);
    connect(pages, &TFormWebbrowser::completed, m_status, &StatusLine::showCompleted);
    connect(pages, &TFormWebbrowser::statusCleared, m_status, &StatusLine::clear);
    connect(pages, &TFormWebbrowser::statusMessage, m_status, &StatusLine::showPageMessage);
    connect(pages, &TFormWebbrowser::progressChanged, m_status, &StatusLine::progressChange);
    connect(pages, &TFormWebbrowser::progressHidden, m_status, &StatusLine::hideProgress);
    connect(pages, &TFormWebbrowser::historyStateShown, m_addressBar, &AddressBar::showHistoryState);

    // What happened to pages.
    connect(pages, &TFormWebbrowser::pageClosed, m_recentlyClosed, [this](const QString &title, const QString &address) {
        m_recentlyClosed->setLastClosedAddress(address);
        m_recentlyClosed->add(title, address);
        m_main->clearLastForwardedAddress();
    });
    connect(pages, &TFormWebbrowser::downloadCompleted, m_adScrubber, &AdScrubber::ScrubDocument);
    connect(pages, &TFormWebbrowser::documentCompleted, m_openPageLists,
            [this] { m_openPageLists->saveSoon(m_pages->count() > 2 ? 2 : 1); });
    connect(pages, &TFormWebbrowser::newWindowRequested, this, [this](TEmbeddedWB *page, NewWindowRequest *request) {
        // A middle click on a link comes as the engine's own request for a background page:
        // the link opens once, by the middle-click rule, and the request is not answered.
        if (request->isLinkOpenedInBackground())
            m_messageFilter->middleClickedLink(request->requestedUrl());
        else
            m_popupFilter->WebbrowserNewWindow2(page, request);
    });
    connect(pages, &TFormWebbrowser::closeRequested, m_messageFilter, &MessageFilter::pageAsksToClose);
    // The address box and status follow the page that is now active.
    connect(m_messageFilter, &MessageFilter::activePageClosedItself, m_tabs, &PageTabs::PageChangeRefresh);
    connect(m_tabs, &PageTabs::idlePageShown, m_adScrubber, &AdScrubber::startTimer);
    connect(m_filterLists, &FilterLists::problem, m_status, &StatusLine::showMessage);
    connect(m_storageProblems, &StorageProblems::problem, m_status, &StatusLine::showMessage);
    connect(m_pageCommands, &PageCommands::openFileRequested, m_addressBar, &AddressBar::openAddress);
    connect(m_pageCommands, &PageCommands::importExportRequested, m_favoritesMenu, &FavoritesMenu::importExport);
    connect(m_pageCommands, &PageCommands::textSizeChanged, this, &Program::showTextSizeOfActivePage);
    connect(m_pageCommands, &PageCommands::statusMessage, m_status, &StatusLine::showMessage);
    connect(m_favoritesMenu, &FavoritesMenu::openRequested, m_addressBar, &AddressBar::openAddress);
    connect(m_favoritesMenu, &FavoritesMenu::statusMessage, m_status, &StatusLine::showMessage);
    connect(m_cleaner, &PrivacyCleaner::statusMessage, m_status, &StatusLine::showMessage);
    // The count of restored pages stays in view while the first of them loads.
    connect(m_sessionRestore, &SessionRestore::statusMessage, m_status,
            [this](const QString &text) { m_status->holdMessage(text); });
    connect(m_downloads, &Downloads::activeChanged, m_status, &StatusLine::setDownloadsText);
    // The favorites feed the address box's suggestions.
    connect(m_favorites, &FavoritesStore::changed, this, [this] { m_addressBar->setMoreSuggestions(m_favorites->addresses()); });
    connect(m_main->NPopup, &QMenu::aboutToShow, this, &Program::showFilterStateOfActivePage);

    // Features that hand work to one another.
    connect(m_addressBar, &AddressBar::searchRequested, m_searchBar, &SearchBar::searchText);
    connect(m_recentlyClosed, &RecentlyClosedList::reopenRequested, m_addressBar, &AddressBar::openAddress);
    connect(m_tabs, &PageTabs::textSizeShown, this, [this](int level) { showTextSizeMark(level); });

    // The window.
    connect(m_main, &TQORMainForm::addressForwarded, m_addressBar, &AddressBar::openAddress);
    connect(m_main, &TQORMainForm::textDropped, m_addressBar, &AddressBar::dropText);
    connect(m_main, &TQORMainForm::closing, this, &Program::FormClose);
    connect(m_main, &TQORMainForm::minimized, m_clock, &TSetForm::stopClock);
    connect(m_main, &TQORMainForm::becameHidden, m_clock, &TSetForm::stopClock);
    connect(m_main, &TQORMainForm::becameVisible, m_clock, &TSetForm::startClock);
    connect(m_main, &TQORMainForm::restored, this, [this] {
        m_clock->startClock();
        applicationActivated();
    });
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            applicationActivated();
    });
    connect(m_hotKeys, &GlobalHotKeys::pressed, this, [this](GlobalHotKeys::Key key) { hotKeyPressed(key); });
    connect(m_hotKeys, &GlobalHotKeys::unavailable, m_status, &StatusLine::showMessage);
}

void Program::bindCommands()
{
    using C = Command;
    CommandSet &commands = m_main->commands();
    auto bind = [&commands, this](C id, std::function<void()> handler) { commands.bind(id, this, std::move(handler)); };

    PageTabs *tabs = m_tabs;
    bind(C::NAddNewBlank, [tabs] { tabs->NAddNewBlankClick(); });
    bind(C::NAddNewHomePage, [tabs] { tabs->NAddNewHomePageClick(); });
    bind(C::NCopyCurrentPage, [tabs] { tabs->NCopyCurrentPageClick(); });
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
    TQORMainForm *w = m_main;
    connect(w->SBAddNew, &QAbstractButton::clicked, tabs, [tabs] { tabs->NAddNewBlankClick(); });
    connect(w->SBCloseCurrentPage, &QAbstractButton::clicked, tabs, &PageTabs::NCloseCurrentClick);
    connect(w->SBStop, &QAbstractButton::clicked, tabs, &PageTabs::NStopClick);
    connect(w->SBRefresh, &QAbstractButton::clicked, tabs, &PageTabs::NRefreshClick);

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
    bind(C::NStopListAd, [this] { NStopListAdClick(); });
    bind(C::NNoFilterHere, [this] { NNoFilterHereClick(); });

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
    for (int level = 0; level < int(std::size(kTextSizeItems)); ++level)
        bind(kTextSizeItems[level], [page, level] { page->setTextSize(level); });
    const std::pair<C, double> zooms[] = {{C::N50, 0.5}, {C::N75, 0.75}, {C::N100, 1.0}, {C::N125, 1.25}, {C::N150, 1.5}, {C::N200, 2.0}};
    for (const auto &[id, factor] : zooms)
        bind(id, [page, factor = factor] { page->setZoom(factor); });
    bind(C::NInternetOption, [this] { showInternetOptions(); });
    bind(C::NAddFavorite, [this] { m_favoritesMenu->NAddFavoriteClick(); });
    bind(C::NTrimFavorite, [this] { m_favoritesMenu->NTrimFavoriteClick(); });
    bind(C::NSetBrowserQOR, [this] { NSetBrowserQORClick(); });

    PrivacyCleaner *cleaner = m_cleaner;
    bind(C::NCleanAddress, [cleaner] { cleaner->NCleanAddressClick(); });
    bind(C::NClearSearchHistory, [cleaner] { cleaner->NClearSearchHistoryClick(); });
    bind(C::NCleanHistory, [cleaner] { cleaner->NCleanHistoryClick(); });
    bind(C::NCleanCache, [cleaner] { cleaner->NCleanCacheClick(); });
    bind(C::NCleanCookies, [cleaner] { cleaner->NCleanCookiesClick(); });
    bind(C::NCleanTempDir, [cleaner] { cleaner->NCleanTempDirClick(); });
    bind(C::NCleanRecent, [cleaner] { cleaner->NCleanRecentClick(); });
    bind(C::NCleanAll, [cleaner] { cleaner->NCleanAllClick(); });
    bind(C::NCleanOnExit, [this] {
        const bool on = m_main->command(Command::NCleanOnExit)->isChecked();
        m_config.writeString(kRunData, QStringLiteral("CleanOnExit"), on ? QStringLiteral("1") : QStringLiteral("0"));
    });

    bind(C::NDownloads, [this] {
        m_downloads->window()->show();
        m_downloads->window()->raise();
    });

    bind(C::NTaskManager, [this] { showTaskManager(); });
    bind(C::NPlainHotKeys, [this] {
        const bool on = m_main->command(Command::NPlainHotKeys)->isChecked();
        m_config.writeString(kRunData, QStringLiteral("PlainHotKeys"), on ? QStringLiteral("1") : QStringLiteral("0"));
        m_hotKeys->setPlainKeys(on);
    });

    bind(C::NExit, [w] { w->close(); });
    bind(C::NAbout, [w] { w->NAboutClick(); });
    bind(C::ActionTest, [this] { ActionTestExecute(); });
}

void Program::FormCreate()
{
    // The file exists from the first run on, so that a second start finds its RunOne;
    // one that exists keeps every byte.
    if (!m_config.exists())
        m_config.writeString(kRunData, QStringLiteral("RunOne"), QStringLiteral("1"));
    const RunData data = RunData::load(m_config.read());
    m_main->applyRunData(data);
    m_leftClickSleepTime = data.leftClickSleepTime;
    m_rightClickSleepTime = data.rightClickSleepTime;
    m_messageFilter->setClickAllowances(data.leftClickSleepTime, data.rightClickSleepTime);
    if (data.searchOn)
        m_searchBar->applyStartupEngine(*data.searchOn);
    m_popupFilter->applyAtStartup(data.stopPopup);
    m_adScrubber->applyAtStartup(data.stopFloatAd, data.stopFlashAd);
    // The filter lists are ours, beside the switches above: on unless switched off.
    const bool listAd = m_config.readString(kRunData, QStringLiteral("StopListAd"), QStringLiteral("1")).trimmed() ==
                        QLatin1String("1");
    m_filterLists->setEnabled(listAd);
    m_main->command(Command::NStopListAd)->setChecked(listAd);
    m_main->command(Command::NCleanOnExit)
        ->setChecked(m_config.readString(kRunData, QStringLiteral("CleanOnExit"), QStringLiteral("0")).trimmed() ==
                     QLatin1String("1"));
    // The lists load in the background once the window is up (from their compiled cache
    // when it fits); a page's requests that come before they are in wait for them.
    m_filterLists->reloadOnceIdle();
    QTimer::singleShot(0, m_filterLists, [this] {
        m_filterLists->refreshSubscriptions();
        m_addressBar->setMoreSuggestions(m_favorites->addresses());
    });
    const bool plainHotKeys =
        m_config.readString(kRunData, QStringLiteral("PlainHotKeys"), QStringLiteral("0")).trimmed() == QLatin1String("1");
    m_main->command(Command::NPlainHotKeys)->setChecked(plainHotKeys);
    m_hotKeys->registerAll(plainHotKeys);

    QDir().mkpath(dataFolder());
    m_recentlyClosed->load();
    QDir().mkpath(tempFolder());
    m_pageRest->setIdleMinutes(
        m_config.readString(kRunData, QStringLiteral("IdlePageMinutes"), QString::number(PageRest::kDefaultMinutes))
            .trimmed()
            .toInt());
    m_sessionRestore->start();
    if (QWidget *bar = RootNotice::make())
        m_main->addNotice(bar);
    if (QFrame *bar = m_sessionRestore->makeBar())
        m_main->addNotice(bar);
}

void Program::FormClose()
{
    m_sessionRestore->closedInOrder();
    m_openPageLists->setClosing();
    m_config.writeString(kRunData, QStringLiteral("TrueClose"), QStringLiteral("1"));
    if (m_pages->count() > 0) {
        m_openPageLists->save(2);
    } else {
        QFile::remove(dataFolder() + QStringLiteral("OpenURLList.lst"));
        QFile::remove(dataFolder() + QStringLiteral("OpenURLList2.lst"));
    }
    m_storageProblems->saveList(dataFolder() + QStringLiteral("Url.lst"), m_addressBox->history());
    m_storageProblems->saveList(dataFolder() + QStringLiteral("SearchHistory.lst"), m_searchBar->history());
    // Downloads the user chose to leave behind leave no partial files either.
    m_downloads->cancelAllForExit();
    // Asked for: the traces go before the program does.
    if (m_main->command(Command::NCleanOnExit)->isChecked())
        m_cleaner->cleanAllBeforeExit(kCleanOnExitMs);
    m_config.writeString(kRunData, QStringLiteral("TrueClose"), QStringLiteral("1"));
}

void Program::applicationActivated()
{
    // The active page's document takes the keyboard, unless the user is typing in a text
    // field of the window (the address box keeps what it was given).
    if (m_pages->count() > 0 && !m_pages->keyboardInTextField())
        m_pages->FocusActiveDocument();
}

void Program::hotKeyPressed(int key)
{
    if (key == GlobalHotKeys::KeyK) {
        // At once and without a question, but the orderly way: lists, settings and the
        // clearing on exit as at any close. Queued, so that the close does not run inside
        // the native event filter.
        m_main->hide();
        QMetaObject::invokeMethod(m_main, &TQORMainForm::closeWithoutQuestion, Qt::QueuedConnection);
        return;
    }
    m_main->showOrHideByHotKey();
    // What a hidden or restored program no longer needs goes back to the system.
    ::malloc_trim(0);
}

void Program::NStopListAdClick()
{
    const bool on = m_main->command(Command::NStopListAd)->isChecked();
    m_config.writeString(kRunData, QStringLiteral("StopListAd"), on ? QStringLiteral("1") : QStringLiteral("0"));
    m_filterLists->setEnabled(on);
    // The page comes again, filtered or not.
    if (TFormWebbrowser::PageRecord *active = m_pages->activePage(); active && active->browser->Document())
        active->browser->Refresh();
}

void Program::NNoFilterHereClick()
{
    QAction *item = m_main->command(Command::NNoFilterHere);
    TFormWebbrowser::PageRecord *active = m_pages->activePage();
    if (!active || !m_filterLists->setSiteExcepted(QUrl(active->browser->LocationURL()), item->isChecked())) {
        showFilterStateOfActivePage();
        return;
    }
    // The page comes again once the lists with the new rule are in.
    QPointer<TEmbeddedWB> page = active->browser;
    connect(
        m_filterLists, &FilterLists::loaded, this,
        [page] {
            if (page)
                page->Refresh();
        },
        Qt::SingleShotConnection);
}

void Program::showFilterStateOfActivePage()
{
    QAction *item = m_main->command(Command::NNoFilterHere);
    const TFormWebbrowser::PageRecord *active = m_pages->activePage();
    const QUrl page = active ? QUrl(active->browser->LocationURL()) : QUrl();
    item->setEnabled(!FilterLists::siteRule(page).isEmpty());
    item->setChecked(m_filterLists->siteExcepted(page));
}

void Program::showTextSizeOfActivePage()
{
    // The marks follow the engine's answer, not the command: with no document, no change.
    const TFormWebbrowser::PageRecord *active = m_pages->activePage();
    std::optional<int> level;
    if (active && active->browser->Document()) {
        QVariant answer;
        active->browser->ExecWB(TEmbeddedWB::ExecZoom, TEmbeddedWB::OptionDontPromptUser, QVariant(), &answer);
        if (answer.isValid())
            level = answer.toInt();
    }
    showTextSizeMark(level);
}

void Program::showTextSizeMark(std::optional<int> level)
{
    if (level && *level >= 0 && *level < int(std::size(kTextSizeItems)))
        m_textSizeMark = level;
    // The item the user picked checked itself: without an answer the last mark comes back.
    if (m_textSizeMark) {
        m_main->command(kTextSizeItems[*m_textSizeMark])->setChecked(true);
        return;
    }
    for (Command id : kTextSizeItems) {
        QAction *item = m_main->command(id);
        if (!item->isChecked())
            continue;
        QActionGroup *group = item->actionGroup();
        const auto policy = group ? group->exclusionPolicy() : QActionGroup::ExclusionPolicy::Exclusive;
        if (group)
            group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        item->setChecked(false);
        if (group)
            group->setExclusionPolicy(policy);
    }
}

InternetOptionsDialog *Program::showInternetOptions()
{
    if (!m_internetOptions) {
        const QList<QAction *> switches{m_main->command(Command::NStopPopup), m_main->command(Command::NStopFloatAd),
                                        m_main->command(Command::NStopFlashAd), m_main->command(Command::NStopListAd)};
        m_internetOptions = new InternetOptionsDialog(switches, [this] {
            const TFormWebbrowser::PageRecord *active = m_pages->activePage();
            return active ? active->browser->LocationURL() : QString();
        }, m_main);
        // In a window of its own, beside the browser.
        m_internetOptions->setWindowFlag(Qt::Window);
        m_internetOptions->setStorageProblems(m_storageProblems);
        connect(m_internetOptions, &InternetOptionsDialog::subscriptionsChanged, m_filterLists, [this] {
            m_filterLists->refreshSubscriptions();
            m_filterLists->reload();
        });
        connect(m_internetOptions, &InternetOptionsDialog::editRulesRequested, this, [this] {
            // A file people edit by hand: UTF-8, made once, never rewritten here.
            const QString rules = FilterSources::userRules();
            QString error;
            if (!RulesFile::create(rules, {QStringLiteral("! sablix 浏览器: 我的广告过滤规则，每行一条")}, &error)) {
                m_status->showMessage(QStringLiteral("无法保存过滤规则: %1：%2").arg(rules, error));
                return;
            }
            m_pageCommands->openExternally(QUrl::fromLocalFile(rules));
        });
    }
    m_internetOptions->show();
    m_internetOptions->raise();
    m_internetOptions->activateWindow();
    return m_internetOptions;
}

TaskManager *Program::showTaskManager()
{
    if (!m_taskManager) {
        m_taskManager = new TaskManager(m_pages, m_pageRest, m_main);
        connect(m_taskManager, &TaskManager::statusMessage, m_status, &StatusLine::showMessage);
    }
    m_taskManager->show();
    m_taskManager->raise();
    m_taskManager->activateWindow();
    return m_taskManager;
}

void Program::NSetBrowserQORClick()
{
    // The desktop's own setting, through its own tool; it needs the program's desktop entry.
    auto *process = new QProcess(this);
    connect(process, &QProcess::finished, this, [this, process](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        m_status->showMessage(status == QProcess::NormalExit && code == 0 ? QStringLiteral("已将 sablix 设为默认浏览器。")
                                                                          : QStringLiteral("无法设置默认浏览器。"));
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            m_status->showMessage(QStringLiteral("无法设置默认浏览器: 找不到 xdg-settings。"));
            process->deleteLater();
        }
    });
    process->start(QStringLiteral("xdg-settings"), {QStringLiteral("set"), QStringLiteral("default-web-browser"),
                                                    QStringLiteral("sablix.desktop")});
}

void Program::ActionTestExecute()
{
    if (const TFormWebbrowser::PageRecord *page = m_pages->activePage(); page && !page->browser->Document())
        QMessageBox::information(m_main, QStringLiteral("sablix 浏览器"), QStringLiteral("Document is nil."));
}
