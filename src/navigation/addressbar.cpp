#include "addressbar.h"

#include "../app/mainform.h"
#include "../engine/embeddedwb.h"
#include "../pages/formwebbrowser.h"
#include "../pages/pagecaption.h"
#include "../tabs/pagetabs.h"
#include "addressnormalizer.h"
#include "enterlineedit.h"
#include "searchbar.h"
#include "typedurls.h"
#include "weblinks.h"

#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QStringListModel>
#include <QTabWidget>
#include <QToolButton>

namespace {

const QString kAboutBlank = QStringLiteral("about:blank");

} // namespace

AddressBar::AddressBar(TQORMainForm *mainForm)
    : QObject(mainForm), m_main(mainForm), m_typedUrls(new TypedUrls(this))
{
    QComboBox *box = m_main->CBURL;
    EnterLineEdit *edit = EnterLineEdit::install(box);

    // Auto-suggest from the typed addresses.
    m_completer = new QCompleter(m_typedUrls->model(), box);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->setFilterMode(Qt::MatchContains);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    box->setCompleter(m_completer);
    connect(m_completer, qOverload<const QString &>(&QCompleter::activated), this, [this](const QString &text) {
        m_main->CBURL->setEditText(text);
        Go();
    });

    connect(edit, &EnterLineEdit::enterPressed, this, [this](Qt::KeyboardModifiers modifiers) {
        if (modifiers == Qt::NoModifier)
            Go();
        else
            complete(modifiers);
    });
    connect(box, &QComboBox::activated, this, [this](int index) {
        m_main->CBURL->setEditText(m_main->CBURL->itemText(index));
        Go();
    });
    connect(m_main->BBGO, &QToolButton::clicked, this, &AddressBar::Go);
    connect(m_main->SBP, &QToolButton::clicked, this, &AddressBar::SBPClick);
    connect(m_main->SBN, &QToolButton::clicked, this, &AddressBar::SBNClick);
    connect(m_main->menuItem("NAddressSetFocus"), &QAction::triggered, this, &AddressBar::focusAddress);

    // F1 to F4 empty the box; Go then has nothing to open.
    for (const char *name : {"ActionF1", "ActionF2", "ActionF3", "ActionF4"}) {
        connect(m_main->findChild<QAction *>(QLatin1String(name)), &QAction::triggered, this, [this] {
            m_main->CBURL->setEditText(QString());
            Go();
        });
    }
    for (const char *name : {"NHelpOnline", "NBrowserHomePage", "NBrowserBBS"}) {
        connect(m_main->menuItem(name), &QAction::triggered, this,
                [this] { openAddress(WebLinks::productSite()); });
    }
}

QStringList AddressBar::history() const
{
    QStringList items;
    for (int i = 0; i < m_main->CBURL->count(); ++i)
        items << m_main->CBURL->itemText(i);
    return items;
}

void AddressBar::appendHistory(const QString &address)
{
    if (address.trimmed().isEmpty() || history().contains(address))
        return;
    // Adding an item must not replace what the box shows.
    const QString shown = m_main->CBURL->currentText();
    m_main->CBURL->addItem(address);
    m_main->CBURL->setEditText(shown);
}

void AddressBar::openAddress(const QString &address)
{
    m_main->CBURL->setEditText(address);
    Go();
}

void AddressBar::Go()
{
    try {
        TFormWebbrowser *pages = m_main->pages();
        const QString typed = m_main->CBURL->currentText().trimmed();
        if (typed.isEmpty() || typed.compare(kAboutBlank, Qt::CaseInsensitive) == 0)
            return;
        pages->setLastPageBlanked(false);
        if (pages->count() == 0) {
            if (!m_main->tabs()->NAddNewBlankClick())
                return;
            m_main->CBURL->setEditText(typed);
        }

        const QString text = m_main->CBURL->currentText().trimmed();
        const QString address = AddressNormalizer::normalize(text);
        if (TFormWebbrowser::PageRecord *active = pages->activePage()) {
            const QString location = active->browser->LocationURL().trimmed();
            if ((!location.isEmpty() && location != kAboutBlank) || active->browser->Busy()) {
                if (!m_main->tabs()->NAddNewBlankClick())
                    return;
                m_main->CBURL->setEditText(address);
                TFormWebbrowser::PageRecord *target = pages->page(pages->newPageIndex());
                target->address = address;
                target->browser->Navigate(address);
            } else {
                m_main->CBURL->setEditText(address);
                active->address = address;
                active->browser->Navigate(address);
            }
        }
        pages->FocusActiveDocument();
        appendHistory(address);
        if (!address.startsWith(WebLinks::firstEngineQuery()) || text.contains(QLatin1Char('.')))
            m_typedUrls->add(address);
    } catch (...) {
    }
}

void AddressBar::complete(Qt::KeyboardModifiers modifiers)
{
    const auto address = AddressNormalizer::complete(m_main->CBURL->currentText().trimmed(), modifiers);
    if (!address)
        return;
    m_main->CBURL->setEditText(*address);
    Go();
}

void AddressBar::SBPClick()
{
    try {
        if (TFormWebbrowser::PageRecord *active = m_main->pages()->activePage()) {
            active->browser->GoBack();
            m_main->CBURL->setEditText(active->browser->LocationURL());
        }
    } catch (...) {
    }
}

void AddressBar::SBNClick()
{
    try {
        if (TFormWebbrowser::PageRecord *active = m_main->pages()->activePage()) {
            active->browser->GoForward();
            m_main->CBURL->setEditText(active->browser->LocationURL());
        }
    } catch (...) {
    }
}

void AddressBar::GoHome()
{
    try {
        TFormWebbrowser *pages = m_main->pages();
        if (pages->count() == 0 && !m_main->tabs()->NAddNewBlankClick())
            return;
        if (pages->activePage()->caption != PageCaption::kBlankCaption &&
            !m_main->tabs()->NAddNewBlankClick())
            return;
        TFormWebbrowser::PageRecord *active = pages->activePage();
        active->browser->GoHome();
        const QString location = active->browser->LocationURL().trimmed();
        if (!location.isEmpty())
            m_main->CBURL->setEditText(location);
    } catch (...) {
    }
}

void AddressBar::dropText(const QString &text)
{
    if (const auto address = AddressNormalizer::droppedAddress(text))
        m_main->pages()->OpenUrlInNewPage(*address);
    else
        m_main->searchBar()->searchText(text);
}

void AddressBar::focusAddress()
{
    m_main->PanelAddress_->setFocus(Qt::ShortcutFocusReason);
    m_main->CBURL->setFocus(Qt::ShortcutFocusReason);
    m_main->CBURL->lineEdit()->selectAll();
}
