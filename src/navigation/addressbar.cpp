#include "addressbar.h"

#include "navigationlog.h"

#include "../engine/embeddedwb.h"
#include "../pages/formwebbrowser.h"
#include "../pages/pagecaption.h"
#include "addressbox.h"
#include "addressnormalizer.h"
#include "enterlineedit.h"
#include "pageopener.h"
#include "typedurls.h"
#include "weblinks.h"

#include <QComboBox>
#include <QCompleter>
#include <QStringListModel>

namespace {

const QString kAboutBlank = QStringLiteral("about:blank");

} // namespace

AddressBar::AddressBar(TFormWebbrowser *pages, PageOpener *opener, AddressBox *address)
    : QObject(address), m_pages(pages), m_opener(opener), m_address(address),
      m_typedUrls(new TypedUrls(this)), m_suggestions(new QStringListModel(this))
{
    QComboBox *box = m_address->box();
    EnterLineEdit *edit = EnterLineEdit::install(box);

    // Auto-suggest from the typed addresses. The completer belongs to the edit field alone:
    // given to the box, the box would report a chosen suggestion that is also in its list
    // as a choice of its own, and Go would run twice.
    refreshSuggestions();
    m_completer = new QCompleter(m_suggestions, edit);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->setFilterMode(Qt::MatchContains);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    edit->setCompleter(m_completer);
    connect(m_completer, qOverload<const QString &>(&QCompleter::activated), this, [this](const QString &text) {
        m_address->show(text);
        Go();
    });

    connect(edit, &EnterLineEdit::enterPressed, this, [this](Qt::KeyboardModifiers modifiers) {
        if (modifiers == Qt::NoModifier)
            Go();
        else
            complete(modifiers);
    });
    connect(box, &QComboBox::activated, this, [this, box](int index) {
        m_address->show(box->itemText(index));
        Go();
    });
}

void AddressBar::openAddress(const QString &address)
{
    m_address->show(address);
    Go();
}

void AddressBar::Go()
{
    const QString typed = m_address->text().trimmed();
    if (typed.isEmpty() || typed.compare(kAboutBlank, Qt::CaseInsensitive) == 0)
        return;
    m_pages->setLastPageBlanked(false);
    if (m_pages->count() == 0) {
        if (!m_opener->openPageForAddress())
            return;
        m_address->show(typed);
    }

    const QString text = m_address->text().trimmed();
    const QString address = AddressNormalizer::normalize(text);
    qCDebug(lcNavigation).noquote() << "go:" << text << "->" << address;
    bool toPrivatePage = false;
    if (m_pages->activePage()) {
        const TFormWebbrowser::PageView *target = m_opener->targetPage(true);
        if (!target)
            return;
        // Typed without a scheme, the name got http's from the rule: https is tried first.
        const QString plainPrefix = QStringLiteral("http://");
        if (m_httpsFirst && address == plainPrefix + text) {
            const QString secure = QStringLiteral("https://") + text;
            m_address->show(secure);
            m_pages->navigateSecureFirst(target, secure, address);
        } else {
            m_address->show(address);
            m_pages->navigate(target, address);
        }
        toPrivatePage = TFormWebbrowser::isPrivate(target->browser());
    }
    m_pages->FocusActiveDocument();
    // What a private page was sent to is kept in no list.
    if (toPrivatePage)
        return;
    m_address->appendHistory(address);
    if (!address.startsWith(WebLinks::firstEngineQuery()) || text.contains(QLatin1Char('.'))) {
        m_typedUrls->add(address);
        refreshSuggestions();
    }
}

void AddressBar::clearTypedUrls()
{
    m_typedUrls->clear();
    refreshSuggestions();
}

void AddressBar::setMoreSuggestions(const QStringList &addresses)
{
    m_moreSuggestions = addresses;
    refreshSuggestions();
}

void AddressBar::refreshSuggestions()
{
    QStringList all = m_typedUrls->addresses();
    for (const QString &address : std::as_const(m_moreSuggestions))
        if (!all.contains(address))
            all << address;
    if (all != m_suggestions->stringList())
        m_suggestions->setStringList(all);
}

void AddressBar::complete(Qt::KeyboardModifiers modifiers)
{
    const auto address = AddressNormalizer::complete(m_address->text().trimmed(), modifiers);
    if (address)
        openAddress(*address);
}

void AddressBar::SBPClick()
{
    if (const TFormWebbrowser::PageView *active = m_pages->activePage()) {
        active->browser()->GoBack();
        m_address->show(active->browser()->LocationURL());
    }
}

void AddressBar::SBNClick()
{
    if (const TFormWebbrowser::PageView *active = m_pages->activePage()) {
        active->browser()->GoForward();
        m_address->show(active->browser()->LocationURL());
    }
}

void AddressBar::GoHome()
{
    if (m_pages->count() == 0 && !m_opener->openBlankPage())
        return;
    if (m_pages->activePage()->caption() != PageCaption::kBlankCaption && !m_opener->openBlankPage())
        return;
    const TFormWebbrowser::PageView *active = m_pages->activePage();
    active->browser()->GoHome();
    const QString location = active->browser()->LocationURL().trimmed();
    if (!location.isEmpty())
        m_address->show(location);
}

void AddressBar::dropText(const QString &text)
{
    if (const auto address = AddressNormalizer::droppedAddress(text))
        m_pages->OpenUrlInNewPage(*address);
    else
        emit searchRequested(text);
}

void AddressBar::showActivePage(const ActivePageState &state)
{
    if (!state.exists)
        return;
    m_address->show(state.address);
    if (state.showsNothing() && !state.loading)
        m_address->focus();
}

