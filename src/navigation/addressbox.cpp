#include "addressbox.h"

#include "../core/storageproblems.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStringListModel>

AddressBox::AddressBox(QComboBox *box) : QObject(box), m_box(box), m_history(new QStringListModel(this))
{
    m_box->setModel(m_history);
}

QString AddressBox::text() const
{
    return m_box->currentText();
}

void AddressBox::show(const QString &text)
{
    m_box->setEditText(text);
}

void AddressBox::showPageAddress(const QString &text)
{
    QLineEdit *edit = m_box->lineEdit();
    if (!edit || !(m_box->hasFocus() || edit->hasFocus())) {
        show(text);
        return;
    }
    if (edit->isModified())
        return;
    const bool allSelected = !edit->text().isEmpty() && edit->selectedText() == edit->text();
    show(text);
    if (allSelected)
        edit->selectAll();
}

void AddressBox::focus()
{
    if (QWidget *panel = m_box->parentWidget())
        panel->setFocus(Qt::ShortcutFocusReason);
    m_box->setFocus(Qt::ShortcutFocusReason);
    if (QLineEdit *edit = m_box->lineEdit())
        edit->selectAll();
}

QStringList AddressBox::history() const
{
    return m_history->stringList();
}

void AddressBox::appendHistory(const QString &address)
{
    if (address.trimmed().isEmpty() || m_history->stringList().contains(address))
        return;
    // A new row must not replace what the box shows.
    const QString shown = m_box->currentText();
    const int row = m_history->rowCount();
    m_history->insertRows(row, 1);
    m_history->setData(m_history->index(row), address);
    m_box->setEditText(shown);
}

void AddressBox::clearHistory()
{
    m_history->setStringList({});
    saveHistory();
}

void AddressBox::setHistoryFile(const QString &path, StorageProblems *problems)
{
    m_historyFile = {path, problems};
}

bool AddressBox::saveHistory()
{
    return m_historyFile.save(history());
}
