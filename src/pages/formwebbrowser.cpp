#include "formwebbrowser.h"

#include "../adblock/filterswitches.h"
#include "../app/mainform.h"
#include "../app/messagefilter.h"
#include "../engine/embeddedwb.h"
#include "../favorites/openpagelists.h"
#include "../tabs/pagetabs.h"
#include "../tabs/recentlyclosed.h"
#include "pagecaption.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLayout>
#include <QMessageBox>
#include <QProgressBar>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kAboutBlank = QStringLiteral("about:blank");
const QString kStartPage = QStringLiteral("init.htm");

bool isBlankAddress(const QString &address)
{
    return address.isEmpty() || address.compare(kAboutBlank, Qt::CaseInsensitive) == 0;
}

// Painting of the main window stops while pages are added or removed: no flicker.
class PaintingSuspended
{
public:
    explicit PaintingSuspended(QWidget *window) : m_window(window), m_was(window->updatesEnabled())
    {
        m_window->setUpdatesEnabled(false);
    }
    ~PaintingSuspended() { m_window->setUpdatesEnabled(m_was); }

private:
    QWidget *m_window;
    bool m_was;
};

} // namespace

TFormWebbrowser::TFormWebbrowser(TQORMainForm *mainForm, EngineFactory *engine)
    : QObject(mainForm), m_main(mainForm), m_engine(engine)
{
    setObjectName(QStringLiteral("TFormWebbrowser"));
    m_captionTimer.setSingleShot(true);
    m_captionTimer.setInterval(kCaptionDelayMs);
    connect(&m_captionTimer, &QTimer::timeout, this, &TFormWebbrowser::applyCaptions);
    connect(m_main->menuItem("NDocmentSetFocus"), &QAction::triggered, this, &TFormWebbrowser::FocusActiveDocument);
    connect(m_main->menuItem("NTOPageHome"), &QAction::triggered, this, &TFormWebbrowser::ScrollToStart);
    connect(m_main->menuItem("NTOPageEnd"), &QAction::triggered, this, &TFormWebbrowser::ScrollToEnd);
}

TFormWebbrowser::~TFormWebbrowser()
{
    destroyAllPages();
}

int TFormWebbrowser::activeIndex() const
{
    return m_pages.empty() ? -1 : m_main->PageControl->currentIndex();
}

TFormWebbrowser::PageRecord *TFormWebbrowser::page(int index) const
{
    if (index >= kActivePage)
        index = activeIndex();
    if (index < 0 || index >= count())
        return nullptr;
    return m_pages[size_t(index)].get();
}

int TFormWebbrowser::indexOf(const TEmbeddedWB *browser) const
{
    for (int i = 0; i < count(); ++i)
        if (m_pages[size_t(i)]->browser == browser)
            return i;
    return -1;
}

bool TFormWebbrowser::isActive(const TEmbeddedWB *browser) const
{
    const PageRecord *active = activePage();
    return active && active->browser == browser;
}

void TFormWebbrowser::activatePage(int index)
{
    if (index < 0 || index >= count())
        return;
    const QScopedValueRollback<int> ownChange(m_changingPages, m_changingPages + 1);
    m_main->PageControl->setCurrentIndex(index);
}

bool TFormWebbrowser::NewPage(quint8 mode)
{
    if (count() >= kMaxPages) {
        m_main->setStatusText(0, QStringLiteral("已打开 %1 个页面，不能再打开新页面；请先关闭一些页面。").arg(kMaxPages));
        return false;
    }
    const int n = count();
    TEmbeddedWB *browser = m_engine ? m_engine->createBrowser(nullptr) : nullptr;
    if (!browser) {
        reportEngineFailure();
        return false;
    }

    auto *sheet = new QWidget;
    sheet->setObjectName(QStringLiteral("TabSheet"));
    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);

    QTabWidget *control = m_main->PageControl;
    {
        const QScopedValueRollback<int> ownChange(m_changingPages, m_changingPages + 1);
        control->addTab(sheet, PageCaption::kBlankCaption);
    }
    // A page in the background has no size until it is shown; it gets the active one's.
    if (QWidget *current = control->currentWidget(); current && current != sheet)
        sheet->setGeometry(current->geometry());

    browser->setSilent(true);
    browser->setRegisterAsDropTarget(false);
    bindEvents(browser);

    auto record = std::make_unique<PageRecord>();
    record->sheet = sheet;
    record->browser = browser;
    record->caption = PageCaption::kBlankCaption;
    m_pages.push_back(std::move(record));

    if (mode != 2)
        browser->Navigate(kAboutBlank);

    if (count() > 2) {
        const int target = activeIndex() + 1;
        MovePage(n, target);
        m_newPageIndex = target;
    } else {
        m_newPageIndex = n;
    }
    return true;
}

void TFormWebbrowser::reportEngineFailure()
{
    const QString text = QStringLiteral("网页引擎无法启动，不能打开页面。");
    m_main->setStatusText(0, text);
    // Said once, in a box that stays: with no page open the status line is cleared again.
    if (m_engineFailureReported)
        return;
    m_engineFailureReported = true;
    auto *box = new QMessageBox(QMessageBox::Critical, QStringLiteral("sablix 浏览器"), text, QMessageBox::Ok, m_main);
    box->setObjectName(QStringLiteral("EngineFailure"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void TFormWebbrowser::bindEvents(TEmbeddedWB *browser)
{
    connect(browser, &TEmbeddedWB::CommandStateChange, this,
            [this, browser](int command, bool enable) { WebbrowserCommandStateChange(browser, command, enable); });
    connect(browser, &TEmbeddedWB::DownloadBegin, this, [this, browser] { WebbrowserDownloadBegin(browser); });
    connect(browser, &TEmbeddedWB::DownloadComplete, this, [this, browser] { WebbrowserDownloadComplete(browser); });
    connect(browser, &TEmbeddedWB::DocumentComplete, this, [this, browser] { WebBrowserDocumentComplete(browser); });
    connect(browser, &TEmbeddedWB::NavigateComplete2, this, [this, browser] { WebBrowserNavigateComplete2(browser); });
    connect(browser, &TEmbeddedWB::NewWindow2, this,
            [this, browser](NewWindowRequest *request) { WebbrowserNewWindow2(browser, request); });
    connect(browser, &TEmbeddedWB::ProgressChange, this,
            [this, browser](int progress, int progressMax) { WebbrowserProgressChange(browser, progress, progressMax); });
    connect(browser, &TEmbeddedWB::TitleChange, this,
            [this, browser](const QString &text) { WebbrowserTitleChange(browser, text); });
    browser->setContextMenuHandler([this] { return WebbrowserShowContextMenu(); });
    // Script errors are never shown: nothing to bind.
    connect(browser, &TEmbeddedWB::CloseQuery, this, [this, browser] { WebbrowserCloseQuery(browser); });
}

void TFormWebbrowser::OpenUrlInNewPage(const QString &address)
{
    try {
        if (NewPage(2)) {
            PageRecord *record = page(m_newPageIndex);
            record->browser->Navigate(address);
            record->address = address;
        }
    } catch (...) {
    }
    m_lastPageBlanked = false;
    FocusActiveDocument();
}

TEmbeddedWB *TFormWebbrowser::NewPageDispatch()
{
    PageRecord *record = page(m_newPageIndex);
    if (!record)
        return nullptr;
    PaintingSuspended suspended(m_main);
    return record->browser;
}

void TFormWebbrowser::removePage(int index)
{
    std::unique_ptr<PageRecord> record = std::move(m_pages[size_t(index)]);
    m_pages.erase(m_pages.begin() + index);
    record->browser->disconnect(this);
    record->browser->setContextMenuHandler({});
    {
        const QScopedValueRollback<int> ownChange(m_changingPages, m_changingPages + 1);
        m_main->PageControl->removeTab(index);
    }
    record->sheet->hide();
    // Later, not now: the page may be closing from inside one of its own events.
    record->sheet->deleteLater();
}

void TFormWebbrowser::ClosePage(int index)
{
    if (m_pages.empty())
        return;
    if (index >= kActivePage)
        index = activeIndex();
    PageRecord *record = page(index);
    if (!record)
        return;

    QString title = record->title.trimmed();
    if (title.isEmpty())
        title = record->browser->LocationName();
    QString address = record->address;
    if (address.isEmpty() || address.trimmed() == kAboutBlank)
        address = record->browser->LocationURL();

    auto recordClosed = [&] {
        m_main->recentlyClosed()->setLastClosedAddress(address);
        m_main->recentlyClosed()->add(title, address);
        m_main->clearLastForwardedAddress();
    };

    if (count() == 1) {
        // The only page is never removed: it is blanked and kept.
        m_lastPageBlanked = true;
        record->browser->Navigate(kAboutBlank);
        recordClosed();
        return;
    }

    {
        PaintingSuspended suspended(m_main);
        try {
            const bool wasLast = index == count() - 1;
            removePage(index);
            if (wasLast && count() >= 2)
                activatePage(count() - 1);
            m_main->PageControl->update();
        } catch (...) {
        }
    }
    recordClosed();
}

void TFormWebbrowser::MovePage(int from, int to)
{
    if (from < 0 || from >= count())
        return;
    to = qBound(0, to, count() - 1);
    if (from == to)
        return;
    {
        const QScopedValueRollback<int> ownChange(m_changingPages, m_changingPages + 1);
        m_main->PageControl->tabBar()->moveTab(from, to);
    }
    std::unique_ptr<PageRecord> record = std::move(m_pages[size_t(from)]);
    m_pages.erase(m_pages.begin() + from);
    m_pages.insert(m_pages.begin() + to, std::move(record));
}

void TFormWebbrowser::CloseAllPages()
{
    if (m_pages.empty()) {
        FocusActiveDocument();
        return;
    }
    if (count() == 1) {
        m_pages.front()->browser->Navigate(kAboutBlank);
        m_main->CBURL->setEditText(kAboutBlank);
        m_main->setStatusText(0, QString());
        FocusActiveDocument();
        return;
    }
    {
        PaintingSuspended suspended(m_main);
        // These pages are dropped as they are: not blanked, not added to the closed list.
        for (int attempts = count(); count() > 1 && attempts > 0; --attempts) {
            try {
                removePage(0);
            } catch (...) {
            }
        }
    }
    ClosePage(0);
    FocusActiveDocument();
}

void TFormWebbrowser::RefreshPage(int index)
{
    if (PageRecord *record = page(index))
        record->browser->Refresh();
}

void TFormWebbrowser::RefreshAllPages()
{
    for (const auto &record : m_pages) {
        try {
            if (record->browser->Document())
                record->browser->Refresh();
        } catch (...) {
        }
    }
}

void TFormWebbrowser::StopAllPages()
{
    for (const auto &record : m_pages) {
        try {
            if (record->browser->Document())
                record->browser->Stop();
        } catch (...) {
        }
    }
}

void TFormWebbrowser::FocusActiveDocument()
{
    if (PageRecord *active = activePage()) {
        active->sheet->setFocus(Qt::OtherFocusReason);
        if (active->browser->Document())
            active->browser->focusDocument();
        return;
    }
    if (m_pages.empty()) {
        m_main->CBURL->setEditText(kAboutBlank);
        m_main->setStatusText(0, QString());
        m_main->PanelMainClient->setFocus(Qt::OtherFocusReason);
    }
}

void TFormWebbrowser::SetPageCaption(const QString &title, const TEmbeddedWB *sender)
{
    if (title.trimmed().isEmpty())
        return;
    const QString full = PageCaption::fullTitle(title);
    const QString caption = PageCaption::shortTitle(title);
    for (int i = 0; i < count(); ++i) {
        PageRecord *record = m_pages[size_t(i)].get();
        if (record->browser != sender)
            continue;
        record->caption = caption;
        record->title = full;
        scheduleCaptions();
    }
}

void TFormWebbrowser::scheduleCaptions()
{
    // Pages loading together change their titles one after another; the strip takes them
    // all at once. Once the window holds a web view every repaint is a full composition of
    // the window, which costs much where there is no GPU.
    if (!m_captionTimer.isActive())
        m_captionTimer.start();
}

void TFormWebbrowser::applyCaptions()
{
    m_captionTimer.stop();
    QTabWidget *control = m_main->PageControl;
    for (int i = 0; i < count(); ++i) {
        const PageRecord *record = m_pages[size_t(i)].get();
        if (control->tabText(i) != record->caption) {
            control->setTabText(i, record->caption);
            control->setTabToolTip(i, record->title);
        }
    }
}

void TFormWebbrowser::ScrollToStart()
{
    if (PageRecord *active = activePage(); active && active->browser->Document())
        active->browser->runDocumentScript(QStringLiteral("window.scroll(0, 0);"));
}

void TFormWebbrowser::ScrollToEnd()
{
    if (PageRecord *active = activePage(); active && active->browser->Document())
        active->browser->runDocumentScript(QStringLiteral(
            "(function () { var b = document.body; if (!b) return;"
            " window.scroll(b.scrollLeft, b.offsetHeight + b.scrollTop + 10000); })();"));
}

void TFormWebbrowser::resetProgressBar()
{
    if (!m_progressBar)
        return;
    m_progressBar->setValue(0);
    m_progressBar->hide();
}

void TFormWebbrowser::destroyAllPages()
{
    const QScopedValueRollback<int> ownChange(m_changingPages, m_changingPages + 1);
    while (!m_pages.empty()) {
        std::unique_ptr<PageRecord> record = std::move(m_pages.back());
        m_pages.pop_back();
        record->browser->disconnect(this);
        m_main->PageControl->removeTab(count());
        delete record->sheet;
    }
}

bool TFormWebbrowser::keyboardInside(const TEmbeddedWB *browser) const
{
    QWidget *focus = QApplication::focusWidget();
    return focus && (focus == browser || browser->isAncestorOf(focus));
}

bool TFormWebbrowser::userIsTyping() const
{
    // Background work never takes the keyboard from the address or search box.
    QWidget *focus = QApplication::focusWidget();
    return focus && (m_main->CBURL->isAncestorOf(focus) || m_main->ComboBoxSearch->isAncestorOf(focus) ||
                     focus == m_main->CBURL || focus == m_main->ComboBoxSearch);
}

void TFormWebbrowser::showHistoryImages(const PageRecord *record)
{
    m_main->SBP->setIcon(record && record->backEnabled ? m_main->SBL1->icon() : m_main->SBH1->icon());
    m_main->SBN->setIcon(record && record->forwardEnabled ? m_main->SBL2->icon() : m_main->SBH2->icon());
}

void TFormWebbrowser::WebbrowserCommandStateChange(TEmbeddedWB *sender, int command, bool enable)
{
    try {
        // Every page keeps its own flags, so that they are right when it becomes active;
        // the buttons follow the active page only.
        PageRecord *record = page(indexOf(sender));
        if (!record)
            return;
        if (command == TEmbeddedWB::CommandBack)
            record->backEnabled = enable;
        else if (command == TEmbeddedWB::CommandForward)
            record->forwardEnabled = enable;
        else
            return;
        if (isActive(sender))
            showHistoryImages(record);
    } catch (...) {
    }
}

void TFormWebbrowser::WebbrowserDownloadBegin(TEmbeddedWB *sender)
{
    try {
        if (!isActive(sender))
            return;
        PageRecord *record = activePage();
        QString address = sender->LocationURL().trimmed();
        if (isBlankAddress(address))
            address = record->address.trimmed();
        if (isBlankAddress(address))
            return;
        m_main->CBURL->setEditText(address);
        if (address != kStartPage)
            m_main->setStatusText(0, QStringLiteral(">>正在连接地址:<") + address + QLatin1Char('>'));
        record->address = address;
    } catch (...) {
    }
}

void TFormWebbrowser::WebbrowserDownloadComplete(TEmbeddedWB *sender)
{
    try {
        if (!m_pages.empty() && isActive(sender)) {
            PageRecord *record = activePage();
            QString title = record->title.trimmed();
            if (title.isEmpty() || title == kAboutBlank)
                title = sender->LocationName().trimmed();
            const QString address = sender->LocationURL().trimmed();
            if (!address.isEmpty() && address != kAboutBlank) {
                m_main->CBURL->setEditText(address);
                m_main->setStatusText(0, QStringLiteral(">>完成:") + title + QLatin1Char('<') + address + QLatin1Char('>'));
                record->address = address;
            } else if (count() == 1 && m_lastPageBlanked) {
                if (record->address == kStartPage) {
                    m_main->CBURL->setEditText(kStartPage);
                } else {
                    m_main->CBURL->setEditText(kAboutBlank);
                    m_main->setStatusText(0, QString());
                    record->title.clear();
                    record->address = kAboutBlank;
                }
            }
            if (m_progressBar)
                m_progressBar->hide();
        }
    } catch (...) {
    }
    m_main->filters()->ScrubDocument(sender);
}

void TFormWebbrowser::WebBrowserDocumentComplete(TEmbeddedWB *)
{
    try {
        m_main->openPageLists()->save(count() > 2 ? 2 : 1);
    } catch (...) {
    }
}

void TFormWebbrowser::WebBrowserNavigateComplete2(TEmbeddedWB *sender)
{
    try {
        if (m_pages.empty())
            return;
        if (isActive(sender)) {
            if (!keyboardInside(sender) && !userIsTyping() && m_main->isActiveWindow() && sender->Document())
                sender->focusDocument();
        } else if (PageRecord *active = activePage()) {
            if (active->address == kStartPage)
                m_main->CBURL->setEditText(kStartPage);
            if (!keyboardInside(active->browser) && !userIsTyping() && m_main->isActiveWindow())
                FocusActiveDocument();
        }
        if (m_progressBar)
            m_progressBar->hide();
    } catch (...) {
    }
}

void TFormWebbrowser::WebbrowserNewWindow2(TEmbeddedWB *sender, NewWindowRequest *request)
{
    try {
        if (request->isLinkOpenedInBackground()) {
            // A middle click on a link: the engine asks for the page itself; the link opens
            // once, as every middle click does, and the request is not answered.
            const QString address = request->requestedUrl().trimmed();
            if (!address.isEmpty())
                OpenUrlInNewPage(address);
            return;
        }
        if (!m_main->filters()->popupAllowed(sender, isActive(sender)))
            return;
        if (!NewPage(2))
            return;
        if (TEmbeddedWB *target = NewPageDispatch())
            request->openIn(target);
        m_main->filters()->popupOpened();
    } catch (...) {
    }
}

void TFormWebbrowser::WebbrowserProgressChange(TEmbeddedWB *sender, int progress, int progressMax)
{
    try {
        if (!isActive(sender))
            return;
        if (!m_progressBar) {
            QWidget *panel = m_main->statusPanel(1);
            m_progressBar = new QProgressBar(panel);
            m_progressBar->setObjectName(QStringLiteral("ProgressBar"));
            m_progressBar->setRange(0, progressMax);
            m_progressBar->setValue(0);
            m_progressBar->setTextVisible(false);
            m_progressBar->setMaximumHeight(m_main->StatusBar->height() - 2);
            panel->layout()->addWidget(m_progressBar);
            m_progressBar->show();
            return;
        }
        if (progressMax - progress > 2) {
            m_progressBar->show();
            if (m_progressBar->maximum() != progressMax)
                m_progressBar->setMaximum(progressMax);
            m_progressBar->setValue(progress);
        } else {
            m_progressBar->hide();
        }
    } catch (...) {
    }
}

void TFormWebbrowser::WebbrowserTitleChange(TEmbeddedWB *sender, const QString &text)
{
    try {
        SetPageCaption(text, sender);
    } catch (...) {
    }
}

bool TFormWebbrowser::WebbrowserShowContextMenu() const
{
    return m_main->messageFilter()->contextMenuAllowed();
}

void TFormWebbrowser::WebbrowserCloseQuery(TEmbeddedWB *sender)
{
    try {
        const int index = indexOf(sender);
        if (index < 0)
            return;
        const bool wasActive = index == activeIndex();
        ClosePage(index);
        // The address box and status follow the page that is now active.
        if (wasActive)
            m_main->tabs()->PageChangeRefresh();
    } catch (...) {
    }
}
