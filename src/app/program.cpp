#include "program.h"

#include "../adblock/adscrubber.h"
#include "../adblock/filterlists.h"
#include "../adblock/filtermenu.h"
#include "../adblock/popupfilter.h"
#include "../cleaner/privacycleaner.h"
#include "../downloads/downloads.h"
#include "../downloads/downloadswindow.h"
#include "../engine/embeddedwb.h"
#include "../favorites/favoritesbar.h"
#include "../favorites/favoritesmenu.h"
#include "../favorites/favoritesstore.h"
#include "../favorites/openpagelists.h"
#include "../history/history.h"
#include "../history/historyrecorder.h"
#include "../history/historysuggestions.h"
#include "../history/historywindow.h"
#include "../navigation/addressbar.h"
#include "../navigation/addressbox.h"
#include "../navigation/pageopener.h"
#include "../navigation/typedurls.h"
#include "../navigation/searchbar.h"
#include "../navigation/weblinks.h"
#include "../pages/formwebbrowser.h"
#include "../pages/pagecommands.h"
#include "../passwords/passwords.h"
#include "../statusbar/setform.h"
#include "../statusbar/statusline.h"
#include "../tabs/pagetabs.h"
#include "../tabs/recentlyclosed.h"
#include "../tabs/pagerest.h"
#include "../tabs/sessionrestore.h"
#include "../tabs/tabsoundmarks.h"
#include "../tabs/taskmanager.h"
#include "enginenotice.h"
#include "../window/hotkeys.h"
#include "../instance/forwardingrules.h"
#include "../instance/instanceprotocol.h"
#include "../window/internetoptionsdialog.h"
#include "../core/listfile.h"
#include "../core/safefile.h"
#include "../window/mainform.h"
#include "../window/pageicondrag.h"
#include "../window/textsizemarks.h"
#include "../window/messagefilter.h"
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
#include <QMenuBar>
#include <QPointer>
#include <QProcess>
#include <QMessageBox>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

#include <malloc.h>

namespace {

// How many days the history keeps (HistoryDays in RunData); anything unusable is the default.
int historyDays(const ConfigStore &config)
{
    bool ok = false;
    const int days = config.readString(kRunData, QStringLiteral("HistoryDays"), QString()).trimmed().toInt(&ok);
    return ok && days >= 1 && days <= HistoryDatabase::kMaxDays ? days : HistoryDatabase::kDefaultDays;
}

} // namespace

Program::Program(const QString &programFolder, EngineFactory *engine)
    : m_programFolder(programFolder), m_config(programFolder + QStringLiteral("Config.ini")), m_engine(engine)
{
    makeParts(engine);
    connectParts();
    bindCommands();
}

Program::~Program()
{
    m_engine->setBeforeStart({});
    qApp->removeEventFilter(m_messageFilter);
    SafeFile::setRefusalHandler({});
    shutdown();
    delete m_main;
}

void Program::shutdown()
{
    m_pages->destroyAllPages();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Program::makeParts(EngineFactory *engine)
{
    // Every file the parts write reports here; the status line says what failed.
    m_storageProblems = new StorageProblems(this);
    m_config.setProblems(m_storageProblems);
    SafeFile::setRefusalHandler([problems = QPointer<StorageProblems>(m_storageProblems)](const QString &path, const QString &reason) {
        if (problems)
            problems->refusedRead(path, reason);
    });
    m_main = new TQORMainForm(&m_config);
    TQORMainForm *w = m_main;
    const TQORMainForm::DrivenWidgets driven = w->drivenWidgets();
    m_status = new StatusLine;
    w->placeStatusBar(m_status->bar());
    m_pages = new TFormWebbrowser(driven.PageControl, w, driven.PanelMainClient, engine);
    m_clock = new TSetForm(m_status);

    m_addressBox = new AddressBox(driven.CBURL);
    m_opener = std::make_unique<PageOpener>(m_pages, m_addressBox, m_status);
    m_addressBar = new AddressBar(m_pages, m_opener.get(), m_addressBox);
    // A line edit keeps 32767 characters unless told: a forwarded address goes in whole.
    if (QLineEdit *edit = m_addressBox->box()->lineEdit())
        edit->setMaxLength(InstanceProtocol::kMaxChars);
    m_addressBar->typedUrls()->setStorageProblems(m_storageProblems);
    m_addressBox->setHistoryFile(dataFolder() + QStringLiteral("Url.lst"), m_storageProblems);
    m_searchBar = new SearchBar(m_pages, m_opener.get(), m_addressBox, &m_config,
                                {driven.ComboBoxSearch, driven.SBSearch, driven.SBSearchOn, driven.PopupMenuSearch,
                                 w->command(Command::NBaidu), w->command(Command::NYahoo)});
    m_searchBar->setHistoryFile(dataFolder() + QStringLiteral("SearchHistory.lst"), m_storageProblems);
    m_tabs = new PageTabs(m_pages, m_opener.get(), m_addressBar, m_addressBox,
                          {driven.PageControl, driven.PanelMainClient, driven.PopupMenuPcl,
                           w->command(Command::NDuplicatePage), w->command(Command::NPinPage),
                           w->command(Command::NMutePage), w->command(Command::NCloseOtherPages),
                           w->command(Command::NCloseRightPages)});
    new TabSoundMarks(m_pages, driven.PageControl);
    m_recentlyClosed = new RecentlyClosedList(dataFolder() + QStringLiteral("NewlyList.lst"), driven.PopupMenuNewly,
                                              driven.ListBoxNewly);
    m_recentlyClosed->setStorageProblems(m_storageProblems);
    m_openPageLists = new OpenPageLists(m_pages, dataFolder(), &m_config, m_addressBox);
    m_openPageLists->setStorageProblems(m_storageProblems);
    m_sessionRestore = new SessionRestore(m_pages, dataFolder(), tempFolder(), this);
    m_openPageLists->setPendingPages(m_sessionRestore);
    m_pageRest = new PageRest(m_pages, this);
    m_adScrubber = new AdScrubber(m_pages, &m_config, w->command(Command::NStopFloatAd),
                                  w->command(Command::NStopFlashAd));
    m_popupFilter = new PopupFilter(m_pages, &m_config, w->command(Command::NStopPopup), m_adScrubber);
    m_filterLists = new FilterLists(this);
    engine->setContentFilter(m_filterLists);
    m_filterMenu = new FilterMenu(m_pages, m_filterLists, &m_config, w->command(Command::NStopListAd),
                                  w->command(Command::NNoFilterHere));
    m_textSizeMarks = new TextSizeMarks(m_pages,
                                        {w->command(Command::NSmallest), w->command(Command::NSmall),
                                         w->command(Command::NMiddle), w->command(Command::NLarger),
                                         w->command(Command::NLargest)},
                                        this);
    m_messageFilter = new MessageFilter(m_pages, w, m_popupFilter);
    qApp->installEventFilter(m_messageFilter);
    m_pageCommands = new PageCommands(m_pages, tempFolder(), w);
    m_pageCommands->setBlankPageOpener(m_opener.get());
    m_cleaner = new PrivacyCleaner({m_addressBox, m_addressBar, m_searchBar, m_recentlyClosed}, dataFolder(), tempFolder(),
                                   [engine] { return engine->browsingData(); }, this);
    m_downloads = new Downloads(w);
    engine->setDownloadHandler(m_downloads);
    w->setCloseGuard(m_downloads);
    // Logins: offered to keep when sent, kept in the desktop's keyring, filled when asked.
    m_passwords = new Passwords(m_pages, engine, this);
    m_favorites = new FavoritesStore(FavoritesStore::defaultRoot(), this);
    m_favoritesMenu = new FavoritesMenu(m_pages, m_favorites, w);
    m_hotKeys = new GlobalHotKeys(this);
    m_forwarding = new ForwardingRules(this);
    m_pages->setContextMenuPermission([this] { return m_messageFilter->contextMenuAllowed(); });

    // The browsing history: recorded from every page, suggested under the address box,
    // emptied with the cleaner's history.
    m_history = new History(HistoryDatabase::defaultPath(), historyDays(m_config), this);
    m_historyRecorder = new HistoryRecorder(m_pages, m_history, m_history);
    m_historySuggestions = new HistorySuggestions(m_history, m_addressBox->box(), m_history);
    // A private page leaves no history and is offered none.
    m_historyRecorder->setPrivatePage([](const TEmbeddedWB *page) { return TFormWebbrowser::isPrivate(page); });
    m_historySuggestions->setAllowed([this] { return !m_pages->activePageIsPrivate(); });
    connect(m_historySuggestions, &HistorySuggestions::chosen, m_addressBar, &AddressBar::openAddress);
    connect(m_history, &History::notice, m_status, &StatusLine::showMessage);
    // Before the close's own work (clearing on exit among it): nothing is recorded after.
    connect(m_main, &TQORMainForm::closing, m_history, &History::stopRecording);
    m_cleaner->setHistory(m_history);
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
    connect(pages, &TFormWebbrowser::historyStateShown, m_main, &TQORMainForm::showHistoryState);
    connect(pages, &TFormWebbrowser::activePageShown, m_addressBar, &AddressBar::showActivePage);
    connect(pages, &TFormWebbrowser::activePageShown, m_status, &StatusLine::showActivePage);
    connect(pages, &TFormWebbrowser::activePageShown, this, [this](const ActivePageState &state) {
        if (state.textSize >= 0)
            m_textSizeMarks->show(state.textSize);
        // A loaded page switched to gets its ad walk.
        if (state.idle())
            m_adScrubber->startTimer();
    });

    // What happened to pages.
    connect(pages, &TFormWebbrowser::pageClosed, m_recentlyClosed, [this](const QString &title, const QString &address) {
        m_recentlyClosed->setLastClosedAddress(address);
        m_recentlyClosed->add(title, address);
        m_forwarding->forgetLastAddress();
    });
    connect(pages, &TFormWebbrowser::downloadCompleted, m_adScrubber, &AdScrubber::ScrubDocument);
    connect(pages, &TFormWebbrowser::documentCompleted, m_openPageLists,
            [this] { m_openPageLists->saveSoon(m_pages->count() > 2 ? 2 : 1); });
    // A tab dragged or pinned: the lists keep the strip's order and marks.
    connect(pages, &TFormWebbrowser::arrangementChanged, m_openPageLists, [this] { m_openPageLists->saveSoon(1); });
    connect(pages, &TFormWebbrowser::newWindowRequested, this, [this](TEmbeddedWB *page, NewWindowRequest *request) {
        // A middle click on a link comes as the engine's own request for a background page:
        // the link opens once, by the middle-click rule, and the request is not answered.
        if (request->isLinkOpenedInBackground())
            m_messageFilter->middleClickedLink(request->requestedUrl(), TFormWebbrowser::isPrivate(page));
        else
            m_popupFilter->WebbrowserNewWindow2(page, request);
    });
    connect(pages, &TFormWebbrowser::closeRequested, m_messageFilter, &MessageFilter::pageAsksToClose);
    connect(pages, &TFormWebbrowser::sourceRequested, m_pageCommands, &PageCommands::viewSourceOf);
    // Said while the page that fell back loads, and after.
    connect(pages, &TFormWebbrowser::insecureFallback, m_status,
            [this] { m_status->holdMessage(QStringLiteral("此网站不支持安全连接")); });
    // The address box and status follow the page that is now active.
    connect(m_messageFilter, &MessageFilter::activePageClosedItself, m_tabs, &PageTabs::PageChangeRefresh);
    connect(m_filterLists, &FilterLists::problem, m_status, &StatusLine::showMessage);
    connect(m_storageProblems, &StorageProblems::problem, m_status, &StatusLine::showMessage);
    connect(m_pageCommands, &PageCommands::openFileRequested, m_addressBar, &AddressBar::openAddress);
    connect(m_pageCommands, &PageCommands::importExportRequested, m_favoritesMenu, &FavoritesMenu::importExport);
    connect(m_pageCommands, &PageCommands::textSizeChanged, m_textSizeMarks, &TextSizeMarks::showOfActivePage);
    connect(m_pageCommands, &PageCommands::statusMessage, m_status, &StatusLine::showMessage);
    connect(m_favoritesMenu, &FavoritesMenu::openRequested, m_addressBar, &AddressBar::openAddress);
    connect(m_favoritesMenu, &FavoritesMenu::statusMessage, m_status, &StatusLine::showMessage);
    // What a clean did stays in view a while: a page's own status (one that finished loading
    // meanwhile) would otherwise take its place before it could be read.
    connect(m_cleaner, &PrivacyCleaner::statusMessage, m_status, [this](const QString &text) { m_status->holdMessage(text); });
    connect(m_passwords, &Passwords::statusMessage, m_status, &StatusLine::showMessage);
    // The count of restored pages stays in view while the first of them loads.
    connect(m_sessionRestore, &SessionRestore::statusMessage, m_status,
            [this](const QString &text) { m_status->holdMessage(text); });
    connect(m_downloads, &Downloads::activeChanged, m_status, &StatusLine::setDownloadsText);
    // The favorites feed the address box's suggestions.
    connect(m_favorites, &FavoritesStore::changed, this, [this] { m_addressBar->setMoreSuggestions(m_favorites->addresses()); });
    connect(m_main, &TQORMainForm::filterMenuAboutToShow, m_filterMenu, &FilterMenu::showStateOfActivePage);
    connect(m_filterMenu, &FilterMenu::statusMessage, m_status, &StatusLine::showMessage);
    connect(m_filterMenu, &FilterMenu::openRequested, m_pageCommands, [this](const QUrl &file) { m_pageCommands->openExternally(file); });

    // Features that hand work to one another.
    connect(m_addressBar, &AddressBar::searchRequested, m_searchBar, &SearchBar::searchText);
    connect(m_recentlyClosed, &RecentlyClosedList::reopenRequested, m_addressBar, &AddressBar::openAddress);

    // The window.
    connect(m_forwarding, &ForwardingRules::bringUpRequested, m_main, &TQORMainForm::comeForward);
    connect(m_forwarding, &ForwardingRules::openRequested, m_addressBar, &AddressBar::openAddress);
    // A window on its way out opens nothing more.
    connect(m_main, &TQORMainForm::closing, m_forwarding, &ForwardingRules::stop);
    connect(m_main, &TQORMainForm::textDropped, m_addressBar, &AddressBar::dropText);
    connect(m_main, &TQORMainForm::goClicked, m_addressBar, &AddressBar::Go);
    connect(m_main, &TQORMainForm::backClicked, m_addressBar, &AddressBar::SBPClick);
    connect(m_main, &TQORMainForm::forwardClicked, m_addressBar, &AddressBar::SBNClick);
    // The close, in this order: the lists, the histories, the downloads, then the clearing
    // on exit when asked for.
    connect(m_main, &TQORMainForm::closing, m_sessionRestore, &SessionRestore::closedInOrder);
    connect(m_main, &TQORMainForm::closing, m_openPageLists, &OpenPageLists::saveAtClose);
    connect(m_main, &TQORMainForm::closing, m_addressBox, &AddressBox::saveHistory);
    connect(m_main, &TQORMainForm::closing, m_addressBar->typedUrls(), &TypedUrls::save);
    connect(m_main, &TQORMainForm::closing, m_searchBar, &SearchBar::saveHistory);
    // Downloads the user chose to leave behind leave no partial files either.
    connect(m_main, &TQORMainForm::closing, m_downloads, &Downloads::cancelAllForExit);
    connect(m_main, &TQORMainForm::closing, m_cleaner, [this] {
        if (m_main->command(Command::NCleanOnExit)->isChecked())
            m_cleaner->cleanAllBeforeExit(kCleanOnExitMs);
        m_config.writeString(kRunData, QStringLiteral("TrueClose"), QStringLiteral("1"));
    });
    connect(m_main, &TQORMainForm::minimized, m_clock, &TSetForm::stopClock);
    connect(m_main, &TQORMainForm::becameHidden, m_clock, &TSetForm::stopClock);
    connect(m_main, &TQORMainForm::becameVisible, m_clock, &TSetForm::startClock);
    connect(m_main, &TQORMainForm::restored, this, [this] {
        m_clock->startClock();
        m_pages->focusDocumentUnlessTyping();
    });
    connect(qApp, &QGuiApplication::applicationStateChanged, m_pages, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            m_pages->focusDocumentUnlessTyping();
    });
    connect(m_hotKeys, &GlobalHotKeys::pressed, m_main, [this](GlobalHotKeys::Key key) {
        if (key == GlobalHotKeys::KeyK)
            m_main->exitByHotKey();
        else
            m_main->showOrHideByHotKey();
    });
    connect(m_hotKeys, &GlobalHotKeys::unavailable, m_status, &StatusLine::showMessage);
}

void Program::start(bool addressesFollow)
{
    // The file exists from the first run on, so that a second start finds its RunOne;
    // one that exists keeps every byte.
    if (!m_config.exists())
        m_config.writeString(kRunData, QStringLiteral("RunOne"), QStringLiteral("1"));
    const RunData data = RunData::load(m_config.read());
    m_main->applyRunData(data);
    m_messageFilter->setClickAllowances(data.leftClickSleepTime, data.rightClickSleepTime);
    if (data.searchOn)
        m_searchBar->applyStartupEngine(*data.searchOn);
    m_popupFilter->applyAtStartup(data.stopPopup);
    m_adScrubber->applyAtStartup(data.stopFloatAd, data.stopFlashAd);
    m_filterMenu->applyAtStartup(data.stopListAd);
    m_main->command(Command::NCleanOnExit)->setChecked(data.cleanOnExit);
    // The lists load in the background once the window is up (from their compiled cache
    // when it fits); a page's requests that come before they are in wait for them.
    m_filterLists->reloadOnceIdle();
    QTimer::singleShot(0, m_filterLists, [this] {
        m_filterLists->refreshSubscriptions();
        m_addressBar->setMoreSuggestions(m_favorites->addresses());
    });
    // The favorites bar reads the favorites folder: once the window is up, not before.
    QTimer::singleShot(0, this, [this] { makeFavoritesBar(); });
    m_main->command(Command::NPlainHotKeys)->setChecked(data.plainHotKeys);
    m_main->command(Command::NSpellCheck)->setChecked(data.spellCheck);
    m_engine->setSpellChecking(data.spellCheck);
    m_main->command(Command::NDarkPages)->setChecked(data.darkPages);
    m_engine->setDarkPages(data.darkPages);
    m_main->command(Command::NHttpsFirst)->setChecked(data.httpsFirst);
    m_addressBar->setHttpsFirst(data.httpsFirst);
    // The engine's library comes in after the window is up; what it starts with is decided
    // then, or when the settings menu asks first.
    m_enhancedSecurityChosen = data.enhancedSecurity;
    m_engineNoticeShown = data.engineNoticeShown;
    m_main->command(Command::NEnhancedSecurity)->setChecked(data.enhancedSecurity.value_or(false));
    m_engine->setBeforeStart([this] { prepareEngine(); });
    if (QMenu *settings = m_main->menuBar()->findChild<QMenu *>(QStringLiteral("NSet")))
        connect(settings, &QMenu::aboutToShow, this, [this] { m_engine->versions(); });
    m_hotKeys->registerAll(data.plainHotKeys);

    QDir().mkpath(dataFolder());
    m_recentlyClosed->load();
    QDir().mkpath(tempFolder());
    m_pageRest->setIdleMinutes(data.idlePageMinutes.value_or(PageRest::kDefaultMinutes));
    m_sessionRestore->start();
    if (QWidget *bar = RootNotice::make())
        m_main->addNotice(bar);
    if (QFrame *bar = m_sessionRestore->makeBar())
        m_main->addNotice(bar);
    else if (data.restoreOnStart)
        m_sessionRestore->continueLastRun(addressesFollow);
    m_restoreOnStart = data.restoreOnStart;
}

void Program::prepareEngine()
{
    if (m_enginePrepared)
        return;
    m_enginePrepared = true;
    const EngineVersions versions = m_engine->versions();
    const QDate today = QDate::currentDate();
    const bool outdated = EngineAge::isOutdated(versions, today);
    // Unless the user chose, on while the engine's security fixes are old.
    const bool on = m_enhancedSecurityChosen.value_or(outdated);
    m_engine->setEnhancedSecurity(on);
    m_main->command(Command::NEnhancedSecurity)->setChecked(on);
    if (!outdated || !EngineNotice::due(m_engineNoticeShown, today))
        return;
    m_main->addNotice(EngineNotice::make(versions, on, [this] { m_main->showSettingsItem(Command::NEnhancedSecurity); }));
    m_engineNoticeShown = today;
    m_config.writeString(kRunData, QStringLiteral("EngineNoticeShown"), today.toString(Qt::ISODate));
}

void Program::enhancedSecurityToggled()
{
    const bool on = m_main->command(Command::NEnhancedSecurity)->isChecked();
    m_enhancedSecurityChosen = on;
    m_config.writeString(kRunData, QStringLiteral("EnhancedSecurity"), on ? QStringLiteral("1") : QStringLiteral("0"));
    // The switches are the whole engine's, set when it starts.
    offerRestart(QStringLiteral("增强安全模式在 sablix 重新启动后生效。现在重新启动吗？"));
}

void Program::offerRestart(const QString &question)
{
    QMessageBox ask(QMessageBox::Information, QStringLiteral("询问"), question, QMessageBox::Yes | QMessageBox::No, m_main);
    if (ask.exec() != QMessageBox::Yes)
        return;
    m_restartRequested = true;
    m_restartAddresses.clear();
    // Continuing where the user left off brings them back by itself, pinned and in order.
    for (int i = 0; i < m_pages->count() && !m_restoreOnStart; ++i) {
        const TEmbeddedWB *page = m_pages->page(i)->browser();
        const QString address = page->LocationURL();
        if (!TFormWebbrowser::isPrivate(page) && !address.isEmpty() && address != QLatin1String("about:blank"))
            m_restartAddresses << address;
    }
    // A close the user then cancels (downloads running) is no restart either.
    if (!m_main->close())
        m_restartRequested = false;
}

void Program::makeFavoritesBar()
{
    if (m_favoritesBar)
        return;
    m_favoritesBar = new FavoritesBar(m_favorites, m_main);
    // FavoritesBar in RunData: "1" shown, "0" hidden; unset, it shows once there is a favorite.
    const QString choice = m_config.readString(kRunData, QStringLiteral("FavoritesBar"), QString()).trimmed();
    m_favoritesBar->setChoice(choice == QLatin1String("1")   ? std::optional<bool>(true)
                              : choice == QLatin1String("0") ? std::optional<bool>(false)
                                                             : std::nullopt);
    m_main->placeUnderAddressBar(m_favoritesBar);
    QAction *item = m_main->command(Command::NFavoritesBar);
    item->setChecked(m_favoritesBar->wanted());
    connect(m_favoritesBar, &FavoritesBar::shownChanged, item, &QAction::setChecked);
    connect(m_favoritesBar, &FavoritesBar::openRequested, m_addressBar, &AddressBar::openAddress);
    connect(m_favoritesBar, &FavoritesBar::openInBackgroundRequested, m_pages,
            [this](const QString &address) { m_pages->OpenUrlInNewPage(address, m_pages->activePageIsPrivate()); });
    // The label before the address box is the page's icon, to drag onto the bar.
    if (auto *icon = m_main->findChild<QLabel *>(QStringLiteral("LabelAddress"))) {
        new PageIconDrag(icon, [this]() -> QPair<QString, QString> {
            const TFormWebbrowser::PageView *page = m_pages->activePage();
            if (!page || !page->browser()->Document())
                return {};
            return {page->browser()->LocationURL(), page->browser()->LocationName()};
        });
    }
}
