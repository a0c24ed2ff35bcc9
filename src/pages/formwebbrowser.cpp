#include "formwebbrowser.h"

#include "pageslog.h"

#include "../engine/embeddedwb.h"
#include "pagecaption.h"
#include "privatetab.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopedValueRollback>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QString kAboutBlank = QStringLiteral("about:blank");
const QString kStartPage = QStringLiteral("init.htm");

bool isBlankAddress(const QString &address)
{
    return address.isEmpty() || address.compare(kAboutBlank, Qt::CaseInsensitive) == 0;
}

// Painting of the main window stops while pages are removed: no flicker.
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

// A tab's tooltip is the page's title as it stands; a tooltip that looks like markup would
// otherwise be read as markup.
QString plainToolTip(const QString &text)
{
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace

TFormWebbrowser::TFormWebbrowser(QTabWidget *pageControl, QWidget *window, QWidget *emptyFocus,
                                 EngineFactory *engine)
    : QObject(window), m_pageControl(pageControl), m_window(window), m_emptyFocus(emptyFocus),
      m_engine(engine)
{
    setObjectName(QStringLiteral("TFormWebbrowser"));
    m_captionTimer.setSingleShot(true);
    m_captionTimer.setInterval(kCaptionDelayMs);
    connect(&m_captionTimer, &QTimer::timeout, this, &TFormWebbrowser::applyCaptions);
    connect(m_pageControl, &QTabWidget::currentChanged, this, [this] {
        // Mid-move the strip and the records disagree on indexes.
        if (!m_moving)
            loadIfWaiting(activeRecord());
        if (m_changingPages == 0)
            emit activePageChanged();
    });
}

TFormWebbrowser::~TFormWebbrowser()
{
    destroyAllPages();
}

int TFormWebbrowser::activeIndex() const
{
    return m_pages.empty() ? -1 : m_pageControl->currentIndex();
}

const TFormWebbrowser::PageView *TFormWebbrowser::page(int index) const
{
    return record(index);
}

TFormWebbrowser::PageRecord *TFormWebbrowser::record(int index) const
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
        if (m_pages[size_t(i)]->m_browser == browser)
            return i;
    return -1;
}

bool TFormWebbrowser::isActive(const TEmbeddedWB *browser) const
{
    const PageRecord *active = activeRecord();
    return active && active->m_browser == browser;
}

void TFormWebbrowser::activatePage(int index)
{
    if (index < 0 || index >= count())
        return;
    {
        const QScopedValueRollback<int> ownChange(m_changingPages, m_changingPages + 1);
        m_pageControl->setCurrentIndex(index);
    }
    // Not the user's change, so the window is not refreshed for it; but the back and
    // forward images are the page's own and must never show the page before.
    announceHistoryState(activeRecord());
}

bool TFormWebbrowser::isPrivate(const TEmbeddedWB *browser)
{
    return browser && browser->isPrivate();
}

bool TFormWebbrowser::activePageIsPrivate() const
{
    const PageRecord *active = activeRecord();
    return active && isPrivate(active->m_browser);
}

bool TFormWebbrowser::NewPage(quint8 mode, bool isPrivate)
{
    if (count() >= kMaxPages) {
        emit statusMessage(QStringLiteral("已打开 %1 个页面，不能再打开新页面；请先关闭一些页面。").arg(kMaxPages));
        return false;
    }
    const int n = count();
    TEmbeddedWB *browser = !m_engine ? nullptr
                           : isPrivate ? m_engine->createPrivateBrowser(nullptr)
                                       : m_engine->createBrowser(nullptr);
    if (!browser) {
        reportEngineFailure();
        return false;
    }

    auto *sheet = new QWidget;
    sheet->setObjectName(QStringLiteral("TabSheet"));
    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);

    {
        const QScopedValueRollback<int> ownChange(m_changingPages, m_changingPages + 1);
        const int tab = m_pageControl->addTab(sheet, isPrivate ? PrivateTab::caption(PageCaption::kBlankCaption)
                                                               : PageCaption::kBlankCaption);
        if (isPrivate)
            PrivateTab::mark(m_pageControl, tab);
    }
    // A page in the background has no size until it is shown; it gets the active one's.
    if (QWidget *current = m_pageControl->currentWidget(); current && current != sheet)
        sheet->setGeometry(current->geometry());

    browser->setSilent(true);
    browser->setRegisterAsDropTarget(false);
    bindEvents(browser);

    auto record = std::make_unique<PageRecord>();
    record->m_sheet = sheet;
    record->m_browser = browser;
    record->m_caption = PageCaption::kBlankCaption;
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
    emit statusMessage(text);
    // Said once, in a box that stays: with no page open the status line is cleared again.
    if (m_engineFailureReported)
        return;
    m_engineFailureReported = true;
    qCWarning(lcPages) << "the web engine could not start; no page can open";
    auto *box = new QMessageBox(QMessageBox::Critical, QStringLiteral("sablix 浏览器"), text, QMessageBox::Ok, m_window);
    box->setObjectName(QStringLiteral("EngineFailure"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void TFormWebbrowser::bindEvents(TEmbeddedWB *browser)
{
    connect(browser, &TEmbeddedWB::CommandStateChange, this,
            [this, browser](int command, bool enable) { WebbrowserCommandStateChange(browser, command, enable); });
    connect(browser, &TEmbeddedWB::DownloadBegin, this, [this, browser] {
        WebbrowserDownloadBegin(browser);
        emit pageLoadStarted(browser);
    });
    connect(browser, &TEmbeddedWB::DownloadComplete, this, [this, browser] { WebbrowserDownloadComplete(browser); });
    connect(browser, &TEmbeddedWB::DocumentComplete, this, [this, browser] { WebBrowserDocumentComplete(browser); });
    connect(browser, &TEmbeddedWB::NavigateComplete2, this, [this, browser] { WebBrowserNavigateComplete2(browser); });
    connect(browser, &TEmbeddedWB::NewWindow2, this,
            [this, browser](NewWindowRequest *request) { emit newWindowRequested(browser, request); });
    connect(browser, &TEmbeddedWB::ProgressChange, this,
            [this, browser](int progress, int progressMax) { WebbrowserProgressChange(browser, progress, progressMax); });
    connect(browser, &TEmbeddedWB::TitleChange, this,
            [this, browser](const QString &text) { SetPageCaption(text, browser); });
    browser->setContextMenuHandler([this] { return WebbrowserShowContextMenu(); });
    // Script errors are never shown: nothing to bind.
    connect(browser, &TEmbeddedWB::CloseQuery, this, [this, browser] { emit closeRequested(browser); });
    connect(browser, &TEmbeddedWB::DownloadOnly, this, [this, browser] { WebbrowserDownloadOnly(browser); });
    connect(browser, &TEmbeddedWB::FrameMessage, this,
            [this, browser](const QString &message) { emit frameMessage(browser, message); });
    connect(browser, &TEmbeddedWB::InsecureFallback, this, [this, browser](const QString &address) {
        if (PageRecord *record = this->record(indexOf(browser)))
            record->m_address = address;
        emit insecureFallback(browser, address);
    });
    connect(browser, &TEmbeddedWB::SourceRequested, this, [this, browser] { emit sourceRequested(browser); });
}

void TFormWebbrowser::WebbrowserDownloadOnly(TEmbeddedWB *sender)
{
    // A page opened for what turned out to be a download would stay behind empty: it goes,
    // unless it is the only page. It is not offered again among the closed pages, where it
    // would only start the download again.
    const int index = indexOf(sender);
    if (index < 0 || count() < 2)
        return;
    const bool wasActive = index == activeIndex();
    {
        PaintingSuspended suspended(m_window);
        removePage(index);
        // Back to the page it was opened from, which stands before it.
        if (wasActive)
            activatePage(qMax(0, index - 1));
    }
    if (wasActive)
        announceActivePage();
}

void TFormWebbrowser::addPageBar(TEmbeddedWB *browser, QWidget *bar)
{
    const PageRecord *record = this->record(indexOf(browser));
    if (!record) {
        bar->deleteLater();
        return;
    }
    auto *layout = static_cast<QVBoxLayout *>(record->m_sheet->layout());
    layout->insertWidget(layout->indexOf(browser), bar);
}

void TFormWebbrowser::navigate(const PageView *page, const QString &address)
{
    PageRecord *record = this->record(indexOf(page->browser()));
    if (!record)
        return;
    record->m_address = address;
    record->m_browser->Navigate(address);
}

void TFormWebbrowser::navigateSecureFirst(const PageView *page, const QString &secure, const QString &insecure)
{
    PageRecord *record = this->record(indexOf(page->browser()));
    if (!record)
        return;
    record->m_address = secure;
    record->m_browser->NavigateSecureFirst(secure, insecure);
}

bool TFormWebbrowser::openWaitingPage(const QString &title, const QString &address)
{
    const int active = activeIndex();
    bool added = false;
    {
        const QScopedValueRollback<int> ownChange(m_changingPages, m_changingPages + 1);
        added = NewPage(2);
    }
    if (!added)
        return false;
    PageRecord *record = this->record(m_newPageIndex);
    record->m_waitingAddress = address;
    record->m_address = address;
    if (!title.trimmed().isEmpty()) {
        record->m_caption = PageCaption::shortTitle(title);
        record->m_title = PageCaption::fullTitle(title);
        scheduleCaptions();
    }
    // NewPage puts a page after the active one from the third on; restored pages keep
    // their order at the end of the strip.
    if (m_newPageIndex != count() - 1)
        MovePage(m_newPageIndex, count() - 1);
    m_newPageIndex = count() - 1;
    if (active >= 0)
        activatePage(active);
    else
        loadIfWaiting(activeRecord());
    return true;
}

void TFormWebbrowser::loadIfWaiting(PageRecord *record)
{
    if (!record || record->m_waitingAddress.isEmpty())
        return;
    const QString address = record->m_waitingAddress;
    record->m_waitingAddress.clear();
    navigate(record, address);
}

void TFormWebbrowser::OpenUrlInNewPage(const QString &address, bool isPrivate)
{
    if (NewPage(2, isPrivate))
        navigate(record(m_newPageIndex), address);
    m_lastPageBlanked = false;
    FocusActiveDocument();
}

TEmbeddedWB *TFormWebbrowser::NewPageDispatch()
{
    // The page's window is made with its view; it stays in the background.
    PageRecord *record = this->record(m_newPageIndex);
    return record ? record->m_browser : nullptr;
}

void TFormWebbrowser::removePage(int index)
{
    std::unique_ptr<PageRecord> record = std::move(m_pages[size_t(index)]);
    m_pages.erase(m_pages.begin() + index);
    record->m_browser->disconnect(this);
    record->m_browser->setContextMenuHandler({});
    const bool wasActive = index == m_pageControl->currentIndex();
    {
        const QScopedValueRollback<int> ownChange(m_changingPages, m_changingPages + 1);
        m_pageControl->removeTab(index);
    }
    // The page after it is active now: its back and forward images, not the closed one's.
    if (wasActive)
        announceHistoryState(activeRecord());
    record->m_sheet->hide();
    // Later, not now: the page may be closing from inside one of its own events.
    record->m_sheet->deleteLater();
}

void TFormWebbrowser::ClosePage(int index)
{
    if (m_pages.empty())
        return;
    if (index >= kActivePage)
        index = activeIndex();
    PageRecord *record = this->record(index);
    if (!record)
        return;

    QString title = record->m_title.trimmed();
    if (title.isEmpty())
        title = record->m_browser->LocationName();
    QString address = record->m_address;
    if (address.isEmpty() || address.trimmed() == kAboutBlank)
        address = record->m_browser->LocationURL();

    const bool wasPrivate = isPrivate(record->m_browser);
    if (count() == 1 && !wasPrivate) {
        // The only page is never removed: it is blanked and kept.
        m_lastPageBlanked = true;
        record->m_browser->Navigate(kAboutBlank);
        emit pageClosed(title, address);
        return;
    }
    if (count() == 1) {
        // A private page goes with all it holds: a blank page of the user's takes its place.
        if (!NewPage(0))
            return;
        m_lastPageBlanked = true;
        index = indexOf(record->m_browser);
    }

    {
        PaintingSuspended suspended(m_window);
        const bool wasLast = index == count() - 1;
        removePage(index);
        if (wasLast && count() >= 2)
            activatePage(count() - 1);
        m_pageControl->update();
    }
    if (!wasPrivate)
        emit pageClosed(title, address);
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
        const QScopedValueRollback<bool> moving(m_moving, true);
        m_pageControl->tabBar()->moveTab(from, to);
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
        m_pages.front()->m_browser->Navigate(kAboutBlank);
        emit addressShown(kAboutBlank);
        emit statusCleared();
        FocusActiveDocument();
        return;
    }
    {
        PaintingSuspended suspended(m_window);
        // These pages are dropped as they are: not blanked, not added to the closed list.
        while (count() > 1)
            removePage(0);
    }
    ClosePage(0);
    FocusActiveDocument();
}

void TFormWebbrowser::RefreshPage(int index)
{
    if (PageRecord *record = this->record(index))
        record->m_browser->Refresh();
}

void TFormWebbrowser::RefreshAllPages()
{
    for (const auto &record : m_pages)
        if (record->m_browser->Document())
            record->m_browser->Refresh();
}

void TFormWebbrowser::StopAllPages()
{
    for (const auto &record : m_pages)
        if (record->m_browser->Document())
            record->m_browser->Stop();
}

void TFormWebbrowser::FocusActiveDocument()
{
    if (PageRecord *active = activeRecord()) {
        active->m_sheet->setFocus(Qt::OtherFocusReason);
        if (active->m_browser->Document())
            active->m_browser->focusDocument();
        return;
    }
    if (m_pages.empty()) {
        emit addressShown(kAboutBlank);
        emit statusCleared();
        m_emptyFocus->setFocus(Qt::OtherFocusReason);
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
        if (record->m_browser != sender)
            continue;
        record->m_caption = caption;
        record->m_title = full;
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
    for (int i = 0; i < count(); ++i) {
        const PageRecord *record = m_pages[size_t(i)].get();
        // A title's "&" is shown as it is and takes no mnemonic (Alt+letter stays the menus').
        QString shown = PageCaption::tabText(PageCaption::isolated(record->m_caption));
        if (isPrivate(record->m_browser))
            shown = PrivateTab::caption(shown);
        if (m_pageControl->tabText(i) != shown) {
            m_pageControl->setTabText(i, shown);
            m_pageControl->setTabToolTip(i, plainToolTip(PageCaption::isolated(record->m_title)));
        }
    }
}

void TFormWebbrowser::ScrollToStart()
{
    if (PageRecord *active = activeRecord(); active && active->m_browser->Document())
        active->m_browser->runDocumentScript(QStringLiteral("window.scroll(0, 0);"));
}

void TFormWebbrowser::ScrollToEnd()
{
    if (PageRecord *active = activeRecord(); active && active->m_browser->Document())
        active->m_browser->runDocumentScript(QStringLiteral(
            "(function () { var b = document.body; if (!b) return;"
            " window.scroll(b.scrollLeft, b.offsetHeight + b.scrollTop + 10000); })();"));
}

void TFormWebbrowser::destroyAllPages()
{
    const QScopedValueRollback<int> ownChange(m_changingPages, m_changingPages + 1);
    while (!m_pages.empty()) {
        std::unique_ptr<PageRecord> record = std::move(m_pages.back());
        m_pages.pop_back();
        record->m_browser->disconnect(this);
        m_pageControl->removeTab(count());
        delete record->m_sheet;
    }
}

bool TFormWebbrowser::keyboardInside(const TEmbeddedWB *browser) const
{
    QWidget *focus = QApplication::focusWidget();
    return focus && (focus == browser || browser->isAncestorOf(focus));
}

bool TFormWebbrowser::keyboardInTextField() const
{
    // Background work never takes the keyboard from a text field of the window (the
    // address and search boxes), where the user may be typing.
    QWidget *focus = QApplication::focusWidget();
    const auto *box = qobject_cast<QComboBox *>(focus);
    const bool textField = qobject_cast<QLineEdit *>(focus) || (box && box->isEditable());
    if (!textField || !m_window->isAncestorOf(focus))
        return false;
    for (const auto &record : m_pages)
        if (record->m_browser->isAncestorOf(focus))
            return false;
    return true;
}

void TFormWebbrowser::announceActivePage()
{
    const PageRecord *record = activeRecord();
    ActivePageState state;
    if (!record) {
        FocusActiveDocument();
    } else {
        TEmbeddedWB *browser = record->m_browser;
        state.exists = true;
        state.loading = browser->Busy();
        state.title = record->m_title.trimmed();
        if (isBlankAddress(state.title))
            state.title = browser->LocationName().trimmed();
        state.address = record->m_address.trimmed();
        if (isBlankAddress(state.address))
            state.address = browser->LocationURL().trimmed();
        if (isBlankAddress(state.address))
            state.address = kAboutBlank;
    }
    // A strip whose current tab is not set yet still has a first page to speak for.
    if (!record && count() > 0)
        record = m_pages.front().get();
    // The start page, a page with no document and one that does not answer count as 0.
    state.textSize = 0;
    if (record && record->m_browser->Document() && record->m_address != kStartPage) {
        QVariant answer;
        record->m_browser->ExecWB(TEmbeddedWB::ExecZoom, TEmbeddedWB::OptionDontPromptUser, QVariant(), &answer);
        if (answer.isValid())
            state.textSize = answer.toInt() >= 0 && answer.toInt() <= 4 ? answer.toInt() : -1;
    }
    state.backEnabled = record && record->m_backEnabled;
    state.forwardEnabled = record && record->m_forwardEnabled;
    emit activePageShown(state);
    if (state.exists && !state.showsNothing())
        FocusActiveDocument();
    announceHistoryState(record);
}

void TFormWebbrowser::announceHistoryState(const PageView *record)
{
    emit historyStateShown(record && record->m_backEnabled, record && record->m_forwardEnabled);
}

void TFormWebbrowser::WebbrowserCommandStateChange(TEmbeddedWB *sender, int command, bool enable)
{
    // Every page keeps its own flags, so that they are right when it becomes active; the
    // buttons follow the active page only.
    PageRecord *record = this->record(indexOf(sender));
    if (!record)
        return;
    if (command == TEmbeddedWB::CommandBack)
        record->m_backEnabled = enable;
    else if (command == TEmbeddedWB::CommandForward)
        record->m_forwardEnabled = enable;
    else
        return;
    if (isActive(sender))
        announceHistoryState(record);
}

void TFormWebbrowser::WebbrowserDownloadBegin(TEmbeddedWB *sender)
{
    if (!isActive(sender))
        return;
    PageRecord *record = activeRecord();
    QString address = sender->LocationURL().trimmed();
    if (isBlankAddress(address))
        address = record->m_address.trimmed();
    if (isBlankAddress(address))
        return;
    emit addressShown(address);
    if (address != kStartPage)
        emit connecting(address);
    record->m_address = address;
}

void TFormWebbrowser::WebbrowserDownloadComplete(TEmbeddedWB *sender)
{
    if (!m_pages.empty() && isActive(sender)) {
        PageRecord *record = activeRecord();
        QString title = record->m_title.trimmed();
        if (title.isEmpty() || title == kAboutBlank)
            title = sender->LocationName().trimmed();
        const QString address = sender->LocationURL().trimmed();
        if (!address.isEmpty() && address != kAboutBlank) {
            emit addressShown(address);
            emit completed(title, address);
            record->m_address = address;
        } else if (count() == 1 && m_lastPageBlanked) {
            if (record->m_address == kStartPage) {
                emit addressShown(kStartPage);
            } else {
                emit addressShown(kAboutBlank);
                emit statusCleared();
                record->m_title.clear();
                record->m_address = kAboutBlank;
            }
        }
        emit progressHidden();
    }
    // Every page, active or not.
    emit downloadCompleted(sender);
}

void TFormWebbrowser::WebBrowserDocumentComplete(TEmbeddedWB *sender)
{
    emit documentCompleted(sender);
}

void TFormWebbrowser::WebBrowserNavigateComplete2(TEmbeddedWB *sender)
{
    if (m_pages.empty())
        return;
    if (isActive(sender)) {
        if (!keyboardInside(sender) && !keyboardInTextField() && m_window->isActiveWindow() && sender->Document())
            sender->focusDocument();
    } else if (PageRecord *active = activeRecord()) {
        if (active->m_address == kStartPage)
            emit addressShown(kStartPage);
        if (!keyboardInside(active->m_browser) && !keyboardInTextField() && m_window->isActiveWindow())
            FocusActiveDocument();
    }
    emit progressHidden();
}

void TFormWebbrowser::WebbrowserProgressChange(TEmbeddedWB *sender, int progress, int progressMax)
{
    if (isActive(sender))
        emit progressChanged(progress, progressMax);
}

bool TFormWebbrowser::WebbrowserShowContextMenu() const
{
    return !m_contextMenuAllowed || m_contextMenuAllowed();
}

void TFormWebbrowser::focusDocumentUnlessTyping()
{
    if (count() > 0 && !keyboardInTextField())
        FocusActiveDocument();
}
