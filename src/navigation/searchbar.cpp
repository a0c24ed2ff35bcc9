#include "searchbar.h"

#include "../core/storageproblems.h"

#include "../core/configstore.h"
#include "../engine/embeddedwb.h"
#include "../pages/formwebbrowser.h"
#include "addressbox.h"
#include "enterlineedit.h"
#include "pageopener.h"
#include "weblinks.h"

#include <QFile>
#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QMenu>
#include <QStringListModel>
#include <QToolButton>

SearchBar::SearchBar(TFormWebbrowser *pages, PageOpener *opener, AddressBox *address, ConfigStore *config,
                     const Widgets &widgets)
    : QObject(widgets.box), m_pages(pages), m_opener(opener), m_address(address), m_config(config),
      m_widgets(widgets), m_history(new QStringListModel(this))
{
    QComboBox *box = m_widgets.box;
    box->setModel(m_history);
    EnterLineEdit *edit = EnterLineEdit::install(box);
    connect(edit, &EnterLineEdit::enterPressed, this, &SearchBar::Search);
    connect(box, &QComboBox::activated, this, [this, box](int index) {
        box->setEditText(box->itemText(index));
        Search();
    });
    connect(m_widgets.search, &QToolButton::clicked, this, &SearchBar::Search);
    connect(m_widgets.engineMenuButton, &QToolButton::clicked, this, &SearchBar::SBSearchOnClick);
}

QString SearchBar::queryAddress(const QString &query) const
{
    return WebLinks::searchAddress(
        m_engineCode == SecondEngine ? WebLinks::secondEngineQuery() : WebLinks::firstEngineQuery(), query);
}

QStringList SearchBar::history() const
{
    return m_history->stringList();
}

void SearchBar::clearHistory()
{
    m_history->setStringList({});
    m_widgets.box->setEditText(QString());
    saveHistory();
}

void SearchBar::setHistoryFile(const QString &path, StorageProblems *problems)
{
    m_historyFile = {path, problems};
}

bool SearchBar::saveHistory()
{
    return m_historyFile.save(history());
}

void SearchBar::removeHistoryFile()
{
    if (!m_historyFile.path.isEmpty())
        QFile::remove(m_historyFile.path);
}

void SearchBar::searchText(const QString &text)
{
    m_widgets.box->setEditText(text);
    Search();
}

void SearchBar::Search()
{
    QComboBox *box = m_widgets.box;
    const QString query = box->currentText().trimmed();
    if (query.isEmpty()) {
        box->setEditText(QString());
        if (const TFormWebbrowser::PageView *active = m_pages->activePage())
            active->browser()->focusDocument();
        return;
    }
    if (m_pages->count() == 0) {
        if (!m_opener->openPageForAddress())
            return;
        m_address->show(query);
    }

    const QString address = queryAddress(query);
    const TFormWebbrowser::PageView *target = nullptr;
    if (m_pages->activePage()) {
        target = m_opener->targetPage(false);
        if (!target)
            return;
        m_pages->navigate(target, address);
        m_pages->FocusActiveDocument();
    }

    // What was searched from a private page is kept in no list.
    const bool fromPrivatePage = target && TFormWebbrowser::isPrivate(target->browser());
    if (!fromPrivatePage && !m_history->stringList().contains(query)) {
        const int row = m_history->rowCount();
        m_history->insertRows(row, 1);
        m_history->setData(m_history->index(row), query);
    }
    box->setEditText(QString());
    if (target)
        target->browser()->focusDocument();
}

void SearchBar::SBSearchOnClick()
{
    m_widgets.engineMenu->popup(QCursor::pos());
}

void SearchBar::chooseEngine(int code)
{
    m_engineCode = code;
    m_widgets.firstEngineItem->setChecked(code != SecondEngine && code != NoEngineChecked);
    m_widgets.secondEngineItem->setChecked(code == SecondEngine);
}

void SearchBar::NBaiduClick()
{
    chooseEngine(FirstEngine);
    m_config->writeString(kRunData, QStringLiteral("SearchOn"), QStringLiteral("1"));
}

void SearchBar::NYahooClick()
{
    chooseEngine(SecondEngine);
    m_config->writeString(kRunData, QStringLiteral("SearchOn"), QStringLiteral("3"));
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
