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
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

HistoryWindow::HistoryWindow(History *history, QWidget *parent)
    : QWidget(parent, Qt::Window), m_history(history), m_model(new HistoryListModel(history, this))
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

    // A day's heading spans the row. Rows come in from the search thread, never from the
    // view's layout (the model fetches nothing by itself), so spanning one cannot bring more.
    auto span = [this](int first, int last) {
        for (int row = first; row <= last; ++row)
            if (m_model->isHeading(row))
                m_view->setFirstColumnSpanned(row, {}, true);
    };
    connect(m_model, &QAbstractItemModel::modelReset, this, [this, span] { span(0, m_model->rowCount() - 1); });
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [span](const QModelIndex &, int first, int last) { span(first, last); });
    span(0, m_model->rowCount() - 1);
    // A reload is the same list read again: the user keeps the entry they are on and where
    // they had scrolled to.
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        if (!m_model->isReloading())
            return;
        const QModelIndex current = m_view->currentIndex();
        m_keptAddress = current.isValid() ? m_model->address(current.row()) : QString();
        m_keptScroll = m_view->verticalScrollBar()->value();
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (!m_model->isReloading())
            return;
        if (!m_keptAddress.isEmpty()) {
            for (int row = 0; row < m_model->rowCount(); ++row) {
                if (m_model->address(row) == m_keptAddress) {
                    m_view->setCurrentIndex(m_model->index(row, 0));
                    break;
                }
            }
        }
        // Laid out now, so that the scroll bar has its new range before it is set.
        m_view->doItemsLayout();
        m_view->verticalScrollBar()->setValue(m_keptScroll);
    });
    // The next page is asked for as the list nears its end, and until the view is full.
    QScrollBar *bar = m_view->verticalScrollBar();
    auto wantMore = [this, bar] {
        if (isVisible() && bar->value() >= bar->maximum() - bar->pageStep())
            m_model->loadMore();
    };
    connect(bar, &QScrollBar::valueChanged, this, wantMore);
    connect(bar, &QScrollBar::rangeChanged, this, wantMore);
    // Once the view has laid the answer out (its layout waits for the event loop too).
    connect(m_model, &HistoryListModel::loaded, this, [this, wantMore] {
        QTimer::singleShot(0, this, wantMore);
        if (m_openWhenFound) {
            m_openWhenFound = false;
            openFirst(true);
        }
    });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_openWhenFound) {
            m_openWhenFound = false;
            openFirst(true);
        }
    });

    connect(m_search, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_openWhenFound = false;
        m_model->setFilter(text);
    });
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
    // Pages visited while the list is read must not take the user's place in it (kept when
    // the answer comes).
    m_model->reload();
}

bool HistoryWindow::openFirst(bool open)
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->isHeading(row))
            continue;
        m_view->setCurrentIndex(m_model->index(row, 0));
        if (open)
            openCurrent();
        else
            m_view->setFocus();
        return true;
    }
    return false;
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
        // Enter typed before the matches are in opens the first of them when it comes.
        if (enter || key->key() == Qt::Key_Down) {
            if (!openFirst(enter) && enter && m_model->isLoading())
                m_openWhenFound = true;
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
