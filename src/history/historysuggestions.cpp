#include "historysuggestions.h"

#include "history.h"

#include "../pages/pagecaption.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTreeView>

HistorySuggestions::HistorySuggestions(History *history, QComboBox *box, QObject *parent)
    : QObject(parent), m_history(history), m_box(box), m_edit(box->lineEdit()), m_popup(new QTreeView),
      m_model(new QStandardItemModel(this)), m_watchedEdit(m_edit), m_watchedBox(box), m_watchedBoxList(box->view())
{
    // A tool window: shown without taking the focus or grabbing the keyboard.
    m_popup->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
    m_popup->setAttribute(Qt::WA_ShowWithoutActivating);
    m_popup->setObjectName(QStringLiteral("HistorySuggestions"));
    m_popup->setFocusPolicy(Qt::NoFocus);
    m_popup->setModel(m_model);
    m_popup->setHeaderHidden(true);
    m_popup->setRootIsDecorated(false);
    m_popup->setUniformRowHeights(true);
    m_popup->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_popup->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_popup->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_popup->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_popup->setMouseTracking(true);
    connect(m_popup, &QTreeView::clicked, this, [this](const QModelIndex &index) { choose(index.row()); });

    connect(m_edit, &QLineEdit::textEdited, this, &HistorySuggestions::update);
    m_edit->installEventFilter(this);
    m_watchedBoxList->installEventFilter(this);
    m_box->installEventFilter(this);
    if (QAbstractItemView *typed = typedList())
        typed->installEventFilter(this);
}

QAbstractItemView *HistorySuggestions::typedList() const
{
    // A completer that completes in the line has no list (and makes none when asked).
    const QCompleter *typed = m_edit->completer();
    return typed && typed->completionMode() != QCompleter::InlineCompletion ? typed->popup() : nullptr;
}

HistorySuggestions::~HistorySuggestions()
{
    delete m_popup;
}

void HistorySuggestions::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (!enabled)
        hide();
}

void HistorySuggestions::hide()
{
    m_popup->hide();
    m_popup->clearSelection();
    m_popup->setCurrentIndex({});
}

void HistorySuggestions::update(const QString &text)
{
    const QString wanted = text.trimmed();
    if (!m_enabled || (m_allowed && !m_allowed()) || wanted.isEmpty() || !m_edit->hasFocus() || !m_history->isReady()) {
        // Typing in the first moments opens the file without waiting for the start to settle.
        if (!m_history->isReady() && m_edit->hasFocus())
            m_history->startWriter();
        hide();
        return;
    }
    const QList<HistoryEntry> entries = m_history->reader().suggest(wanted, kRows);
    m_model->clear();
    for (const HistoryEntry &entry : entries) {
        // Plain text: a page's title is never markup here.
        auto *title = new QStandardItem(PageCaption::isolated(entry.title.isEmpty() ? entry.address : entry.title));
        auto *address = new QStandardItem(entry.address);
        title->setData(entry.address, Qt::UserRole);
        address->setForeground(m_popup->palette().color(QPalette::PlaceholderText));
        m_model->appendRow({title, address});
    }
    if (entries.isEmpty()) {
        hide();
        return;
    }
    m_popup->setCurrentIndex({});
    m_popup->clearSelection();
    place();
    m_popup->show();
}

void HistorySuggestions::place()
{
    // Under the box, or under the typed addresses' list while that is open.
    QWidget *above = m_box;
    if (QAbstractItemView *typed = typedList(); typed && typed->isVisible())
        above = typed;
    const QPoint topLeft = above->mapToGlobal(QPoint(0, above->height()));
    const int width = qMax(m_box->width(), 400);
    m_popup->header()->resizeSection(0, width / 2);
    const int rows = m_model->rowCount();
    const int rowHeight = qMax(m_popup->sizeHintForRow(0), m_popup->fontMetrics().height() + 4);
    m_popup->setGeometry(topLeft.x(), topLeft.y(), width, rowHeight * rows + 2 * m_popup->frameWidth());
}

bool HistorySuggestions::otherListOpen() const
{
    const QAbstractItemView *typed = typedList();
    return m_box->view()->isVisible() || (typed && typed->isVisible());
}

void HistorySuggestions::walk(int step)
{
    const int rows = m_model->rowCount();
    int row = m_popup->currentIndex().isValid() ? m_popup->currentIndex().row() + step : (step > 0 ? 0 : rows - 1);
    // Past either end: nothing chosen, the typed text stands.
    if (row < 0 || row >= rows) {
        m_popup->setCurrentIndex({});
        m_popup->clearSelection();
        return;
    }
    m_popup->setCurrentIndex(m_model->index(row, 0));
}

void HistorySuggestions::choose(int row)
{
    const QString address = m_model->index(row, 0).data(Qt::UserRole).toString();
    hide();
    if (!address.isEmpty())
        emit chosen(address);
}

bool HistorySuggestions::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == m_watchedBoxList) {
        // The box's own list opens: it has the keys, ours goes.
        if (type == QEvent::Show)
            hide();
        return false;
    }
    if (watched != m_watchedEdit && watched != m_watchedBox) {
        // The typed addresses' list opened, moved or closed: ours keeps under it.
        if (m_popup->isVisible() && (type == QEvent::Show || type == QEvent::Hide || type == QEvent::Resize ||
                                     type == QEvent::Move))
            place();
        return false;
    }
    if (type == QEvent::FocusOut || type == QEvent::Hide || (watched == m_watchedBox && type == QEvent::Move)) {
        if (type == QEvent::Move)
            place();
        else
            hide();
        return false;
    }
    if (watched != m_watchedEdit || !m_popup->isVisible() || otherListOpen())
        return false;
    // Only key events are keys: any other that reaches here (a window deactivated) is not cast.
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    // Esc would be the window's (stop loading) before the box saw it: while the list is
    // open it closes the list first.
    if (type == QEvent::ShortcutOverride && key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
        event->accept();
        return true;
    }
    if (type != QEvent::KeyPress)
        return false;
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Down:
        walk(1);
        return true;
    case Qt::Key_Up:
        walk(-1);
        return true;
    case Qt::Key_Escape:
        hide();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_popup->currentIndex().isValid()) {
            choose(m_popup->currentIndex().row());
            return true;
        }
        hide();
        return false;
    default:
        return false;
    }
}
