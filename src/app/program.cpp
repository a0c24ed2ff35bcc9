#include "program.h"

#include "../adblock/filterswitches.h"
#include "../engine/embeddedwb.h"
#include "../favorites/openpagelists.h"
#include "../navigation/addressbar.h"
#include "../navigation/addressbox.h"
#include "../navigation/pageopener.h"
#include "../navigation/searchbar.h"
#include "../navigation/weblinks.h"
#include "../pages/formwebbrowser.h"
#include "../statusbar/setform.h"
#include "../statusbar/statusline.h"
#include "../tabs/pagetabs.h"
#include "../tabs/recentlyclosed.h"
#include "listfile.h"
#include "mainform.h"
#include "messagefilter.h"
#include "rundata.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QToolButton>

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
    m_main = new TQORMainForm(&m_config);
    TQORMainForm *w = m_main;
    m_status = new StatusLine(w->StatusBar);
    m_pages = new TFormWebbrowser(w->PageControl, w, w->PanelMainClient, engine);
    m_clock = new TSetForm(m_status);

    m_addressBox = new AddressBox(w->CBURL);
    m_opener = std::make_unique<PageOpener>(m_pages, m_addressBox, m_status);
    m_addressBar = new AddressBar(m_pages, m_opener.get(), m_addressBox, w->BBGO,
                                  {w->SBP, w->SBN, w->SBL1, w->SBL2, w->SBH1, w->SBH2});
    m_searchBar = new SearchBar(m_pages, m_opener.get(), m_addressBox, &m_config,
                                {w->ComboBoxSearch, w->SBSearch, w->SBSearchOn, w->PopupMenuSearch,
                                 w->command(Command::NBaidu), w->command(Command::NYahoo)});
    m_tabs = new PageTabs(m_pages, m_opener.get(), m_addressBar, m_addressBox, m_status,
                          {w->PageControl, w->PanelMainClient, w->PopupMenuPcl});
    m_recentlyClosed = new RecentlyClosedList(dataFolder() + QStringLiteral("NewlyList.lst"), w->PopupMenuNewly,
                                              w->ListBoxNewly);
    m_openPageLists = new OpenPageLists(m_pages, dataFolder(), &m_config, m_addressBox);
    m_filters = new FilterSwitches(m_pages, &m_config,
                                   {w->command(Command::NStopPopup), w->command(Command::NStopFloatAd),
                                    w->command(Command::NStopFlashAd)});
    m_messageFilter = new MessageFilter(m_pages, w);
    qApp->installEventFilter(m_messageFilter);
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
    connect(pages, &TFormWebbrowser::statusMessage, m_status, &StatusLine::showMessage);
    connect(pages, &TFormWebbrowser::progressChanged, m_status, &StatusLine::progressChange);
    connect(pages, &TFormWebbrowser::progressHidden, m_status, &StatusLine::hideProgress);
    connect(pages, &TFormWebbrowser::historyStateShown, m_addressBar, &AddressBar::showHistoryState);

    // What happened to pages.
    connect(pages, &TFormWebbrowser::pageClosed, m_recentlyClosed, [this](const QString &title, const QString &address) {
        m_recentlyClosed->setLastClosedAddress(address);
        m_recentlyClosed->add(title, address);
        m_main->clearLastForwardedAddress();
    });
    connect(pages, &TFormWebbrowser::downloadCompleted, m_filters, &FilterSwitches::ScrubDocument);
    connect(pages, &TFormWebbrowser::documentCompleted, m_openPageLists,
            [this] { m_openPageLists->save(m_pages->count() > 2 ? 2 : 1); });
    connect(pages, &TFormWebbrowser::newWindowRequested, this, [this](TEmbeddedWB *, NewWindowRequest *request) {
        if (request->isLinkOpenedInBackground()) {
            // A middle click on a link: the engine asks for the page itself; the link opens
            // once, as every middle click does, and the request is not answered.
            const QString address = request->requestedUrl().trimmed();
            if (!address.isEmpty())
                m_pages->OpenUrlInNewPage(address);
            return;
        }
        if (!m_pages->NewPage(2))
            return;
        if (TEmbeddedWB *target = m_pages->NewPageDispatch())
            request->openIn(target);
    });
    connect(pages, &TFormWebbrowser::closeRequested, this, [this](TEmbeddedWB *page) {
        const int index = m_pages->indexOf(page);
        if (index < 0)
            return;
        const bool wasActive = index == m_pages->activeIndex();
        m_pages->ClosePage(index);
        // The address box and status follow the page that is now active.
        if (wasActive)
            m_tabs->PageChangeRefresh();
    });

    // Features that hand work to one another.
    connect(m_addressBar, &AddressBar::searchRequested, m_searchBar, &SearchBar::searchText);
    connect(m_recentlyClosed, &RecentlyClosedList::reopenRequested, m_addressBar, &AddressBar::openAddress);
    connect(m_tabs, &PageTabs::textSizeShown, this, [this](int level) {
        static constexpr Command items[] = {Command::NSmallest, Command::NSmall, Command::NMiddle, Command::NLarger,
                                            Command::NLargest};
        m_main->command(items[level])->setChecked(true);
    });

    // The window.
    connect(m_main, &TQORMainForm::addressForwarded, m_addressBar, &AddressBar::openAddress);
    connect(m_main, &TQORMainForm::textDropped, m_addressBar, &AddressBar::dropText);
    connect(m_main, &TQORMainForm::closing, this, &Program::FormClose);
    connect(m_main, &TQORMainForm::minimized, m_clock, &TSetForm::stopClock);
    connect(m_main, &TQORMainForm::becameHidden, m_clock, &TSetForm::stopClock);
    connect(m_main, &TQORMainForm::becameVisible, m_clock, &TSetForm::startClock);
    connect(m_main, &TQORMainForm::restored, this, [this] {
        m_clock->startClock();
        m_pages->FocusActiveDocument();
    });
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

    bind(C::NStopPopup, [this] { m_filters->NStopPopupClick(); });
    bind(C::NStopFloatAd, [this] { m_filters->NStopFloatAdClick(); });
    bind(C::NStopFlashAd, [this] { m_filters->NStopFlashAdClick(); });

    bind(C::NExit, [w] { w->close(); });
    bind(C::NAbout, [w] { w->NAboutClick(); });
    bind(C::ActionTest, [this] { ActionTestExecute(); });
}

void Program::FormCreate()
{
    const RunData data = RunData::load(m_config.read());
    m_main->applyRunData(data);
    m_leftClickSleepTime = data.leftClickSleepTime;
    m_rightClickSleepTime = data.rightClickSleepTime;
    if (data.searchOn)
        m_searchBar->applyStartupEngine(*data.searchOn);
    if (data.searchOn)
        m_filters->applyAtStartup(data.stopPopup, data.stopFloatAd, data.stopFlashAd);

    QDir().mkpath(dataFolder());
    m_recentlyClosed->load();
    QDir().mkpath(tempFolder());
}

void Program::FormClose()
{
    m_openPageLists->setClosing();
    m_config.writeString(kRunData, QStringLiteral("TrueClose"), QStringLiteral("1"));
    if (m_pages->count() > 0) {
        m_openPageLists->save(2);
    } else {
        QFile::remove(dataFolder() + QStringLiteral("OpenURLList.lst"));
        QFile::remove(dataFolder() + QStringLiteral("OpenURLList2.lst"));
    }
    ListFile::save(dataFolder() + QStringLiteral("Url.lst"), m_addressBox->history());
    ListFile::save(dataFolder() + QStringLiteral("SearchHistory.lst"), m_searchBar->history());
    m_config.writeString(kRunData, QStringLiteral("TrueClose"), QStringLiteral("1"));
}

void Program::ActionTestExecute()
{
    if (const TFormWebbrowser::PageRecord *page = m_pages->activePage(); page && !page->browser->Document())
        QMessageBox::information(m_main, QStringLiteral("sablix 浏览器"), QStringLiteral("Document is nil."));
}
