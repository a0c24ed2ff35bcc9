#include "searchbar.h"

#include "../app/mainform.h"
#include "../engine/embeddedwb.h"
#include "../pages/formwebbrowser.h"
#include "../tabs/pagetabs.h"
#include "enterlineedit.h"
#include "weblinks.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QMenu>
#include <QToolButton>

SearchBar::SearchBar(TQORMainForm *mainForm) : QObject(mainForm), m_main(mainForm)
{
    QComboBox *box = m_main->ComboBoxSearch;
    EnterLineEdit *edit = EnterLineEdit::install(box);
    connect(edit, &EnterLineEdit::enterPressed, this, &SearchBar::Search);
    connect(box, &QComboBox::activated, this, [this](int index) {
        m_main->ComboBoxSearch->setEditText(m_main->ComboBoxSearch->itemText(index));
        Search();
    });
    connect(m_main->SBSearch, &QToolButton::clicked, this, &SearchBar::Search);
    connect(m_main->SBSearchOn, &QToolButton::clicked, this, &SearchBar::SBSearchOnClick);
    connect(m_main->menuItem("NBaidu"), &QAction::triggered, this, &SearchBar::NBaiduClick);
    connect(m_main->menuItem("NYahoo"), &QAction::triggered, this, &SearchBar::NYahooClick);
}

QString SearchBar::queryAddress(const QString &query) const
{
    return (m_engineCode == SecondEngine ? WebLinks::secondEngineQuery() : WebLinks::firstEngineQuery()) + query;
}

QStringList SearchBar::history() const
{
    QStringList items;
    for (int i = 0; i < m_main->ComboBoxSearch->count(); ++i)
        items << m_main->ComboBoxSearch->itemText(i);
    return items;
}

void SearchBar::searchText(const QString &text)
{
    m_main->ComboBoxSearch->setEditText(text);
    Search();
}

void SearchBar::Search()
{
    try {
        TFormWebbrowser *pages = m_main->pages();
        const QString query = m_main->ComboBoxSearch->currentText().trimmed();
        if (query.isEmpty()) {
            m_main->ComboBoxSearch->setEditText(QString());
            if (TFormWebbrowser::PageRecord *active = pages->activePage())
                active->browser->focusDocument();
            return;
        }
        if (pages->count() == 0) {
            if (!m_main->tabs()->NAddNewBlankClick())
                return;
            m_main->CBURL->setEditText(query);
        }

        const QString address = queryAddress(query);
        TFormWebbrowser::PageRecord *target = pages->activePage();
        if (target) {
            const QString location = target->browser->LocationURL().trimmed();
            if (!location.isEmpty() && location != QLatin1String("about:blank")) {
                if (!m_main->tabs()->NAddNewBlankClick())
                    return;
                target = pages->page(pages->newPageIndex());
            }
            target->address = address;
            target->browser->Navigate(address);
            pages->FocusActiveDocument();
        }

        if (!history().contains(query)) {
            m_main->ComboBoxSearch->addItem(query);
        }
        m_main->ComboBoxSearch->setEditText(QString());
        if (target)
            target->browser->focusDocument();
    } catch (...) {
    }
}

void SearchBar::SBSearchOnClick()
{
    m_main->PopupMenuSearch->popup(QCursor::pos());
}

void SearchBar::chooseEngine(int code)
{
    m_engineCode = code;
    m_main->menuItem("NBaidu")->setChecked(code != SecondEngine && code != NoEngineChecked);
    m_main->menuItem("NYahoo")->setChecked(code == SecondEngine);
}

void SearchBar::NBaiduClick()
{
    chooseEngine(FirstEngine);
    m_main->config().writeString(kRunData, QStringLiteral("SearchOn"), QStringLiteral("1"));
}

void SearchBar::NYahooClick()
{
    chooseEngine(SecondEngine);
    m_main->config().writeString(kRunData, QStringLiteral("SearchOn"), QStringLiteral("3"));
}

void SearchBar::applyStartupEngine(int code)
{
    switch (code) {
    case SecondEngine:
    case NoEngineChecked:
    case 7:
    case 8:
    case 9:
        chooseEngine(code);
        break;
    default:
        chooseEngine(FirstEngine);
        break;
    }
}
