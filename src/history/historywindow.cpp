#include "historywindow.h"

#include "history.h"
#include "historylistmodel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

HistoryWindow::HistoryWindow(History *history, QWidget *parent)
    : QWidget(parent, Qt::Window), m_history(history), m_model(new HistoryListModel(&history->reader(), this))
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("历史记录"));

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("HistorySearch"));
    m_search->setPlaceholderText(QStringLiteral("搜索历史记录"));
    m_search->setClearButtonEnabled(true);

    m_view = new QTreeView(this);
    m_view->setObjectName(QStringLiteral("HistoryList"));
    m_view->setModel(m_model);
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setTextElideMode(Qt::ElideRight);
    m_view->header()->setStretchLastSection(false);
    m_view->header()->setSectionResizeMode(HistoryListModel::TitleColumn, QHeaderView::Stretch);
    m_view->header()->setSectionResizeMode(HistoryListModel::AddressColumn, QHeaderView::Interactive);
    m_view->header()->setSectionResizeMode(HistoryListModel::TimeColumn, QHeaderView::ResizeToContents);
    m_view->header()->resizeSection(HistoryListModel::AddressColumn, 280);
    m_view->installEventFilter(this);
    m_search->installEventFilter(this);

    m_remove = new QPushButton(QStringLiteral("删除(&D)"), this);
    m_remove->setObjectName(QStringLiteral("HistoryRemove"));
    m_clearAll = new QPushButton(QStringLiteral("清除全部历史记录"), this);
    m_clearAll->setObjectName(QStringLiteral("HistoryClearAll"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_remove);
    buttons->addStretch();
    buttons->addWidget(m_clearAll);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);
    resize(720, 520);

    auto showSpans = [this] {
        for (int row = 0; row < m_model->rowCount(); ++row)
            m_view->setFirstColumnSpanned(row, {}, m_model->isHeading(row));
    };
    connect(m_model, &QAbstractItemModel::modelReset, this, showSpans);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first, int last) {
        for (int row = first; row <= last; ++row)
            m_view->setFirstColumnSpanned(row, {}, m_model->isHeading(row));
    });
    showSpans();

    connect(m_search, &QLineEdit::textChanged, m_model, &HistoryListModel::setFilter);
    connect(m_view, &QTreeView::doubleClicked, this, [this] { openCurrent(); });
    connect(m_remove, &QPushButton::clicked, this, &HistoryWindow::removeSelected);
    connect(m_clearAll, &QPushButton::clicked, this, &HistoryWindow::clearAll);
    // The list follows the file while it is in view; out of view, when it comes back.
    connect(history, &History::changed, this, [this] {
        if (isVisible())
            reloadKeepingPlace();
        else
            m_stale = true;
    });
    connect(history, &History::ready, m_model, &HistoryListModel::reload);
    // Opened to find something: the keyboard starts in the search box.
    m_search->setFocus();
}

void HistoryWindow::reloadKeepingPlace()
{
    // Pages visited while the list is read must not take the user's place in it.
    const QModelIndex current = m_view->currentIndex();
    const QString address = current.isValid() ? m_model->address(current.row()) : QString();
    const int scrolled = m_view->verticalScrollBar()->value();
    m_model->reload();
    if (!address.isEmpty()) {
        for (int row = 0; row < m_model->rowCount(); ++row) {
            if (m_model->address(row) == address) {
                m_view->setCurrentIndex(m_model->index(row, 0));
                break;
            }
        }
    }
    m_view->verticalScrollBar()->setValue(scrolled);
}

void HistoryWindow::showEvent(QShowEvent *event)
{
    if (m_stale) {
        m_stale = false;
        m_model->reload();
    }
    QWidget::showEvent(event);
}

void HistoryWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool HistoryWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (watched == m_view) {
        if (enter) {
            openCurrent();
            return true;
        }
        if (key->matches(QKeySequence::Delete) || key->key() == Qt::Key_Delete) {
            removeSelected();
            return true;
        }
    } else if (watched == m_search) {
        // From the search box: Enter opens the first match, Down walks into the list.
        if (enter || key->key() == Qt::Key_Down) {
            for (int row = 0; row < m_model->rowCount(); ++row) {
                if (m_model->isHeading(row))
                    continue;
                m_view->setCurrentIndex(m_model->index(row, 0));
                break;
            }
            if (enter)
                openCurrent();
            else
                m_view->setFocus();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HistoryWindow::openCurrent()
{
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid() || m_model->isHeading(current.row()))
        return;
    emit openRequested(m_model->address(current.row()));
}

void HistoryWindow::removeSelected()
{
    QStringList addresses;
    for (const QModelIndex &index : m_view->selectionModel()->selectedRows())
        if (!m_model->isHeading(index.row()))
            addresses << m_model->address(index.row());
    if (addresses.isEmpty())
        return;
    m_model->removeAddresses(addresses);
    m_history->remove(addresses);
}

void HistoryWindow::clearAll()
{
    const bool yes = askToClearAll ? askToClearAll()
                                   : QMessageBox::question(this, QStringLiteral("询问"),
                                                           QStringLiteral("确定要清除全部历史记录吗?"),
                                                           QMessageBox::Yes | QMessageBox::No,
                                                           QMessageBox::No) == QMessageBox::Yes;
    if (yes)
        m_history->clear();
}
