#include "browserview.h"

#include <QChildEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QShowEvent>
#include <QTimer>

BrowserView::BrowserView(QWidget *parent) : QWebEngineView(parent)
{
    setRefusesDrops(true);
}

void BrowserView::setRefusesDrops(bool refuse)
{
    m_refusesDrops = refuse;
    setAcceptDrops(!refuse);
    for (QObject *child : children())
        refuseDropsOn(child);
}

void BrowserView::refuseDropsOn(QObject *child)
{
    if (!child->isWidgetType())
        return;
    // The engine's input widget (the focus proxy) accepts drops itself and can be replaced
    // at any time; a filter on each new child turns its drops away.
    child->removeEventFilter(this);
    if (m_refusesDrops)
        child->installEventFilter(this);
}

bool BrowserView::event(QEvent *event)
{
    if (event->type() == QEvent::ChildAdded)
        refuseDropsOn(static_cast<QChildEvent *>(event)->child());
    return QWebEngineView::event(event);
}

bool BrowserView::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (m_refusesDrops) {
            // Ignored, the drag goes on to the parents, up to the main window.
            event->ignore();
            return true;
        }
        break;
    default:
        break;
    }
    return QWebEngineView::eventFilter(watched, event);
}

void BrowserView::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_allowed && !m_allowed()) {
        event->accept();
        return;
    }
    QMenu *menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setObjectName(QStringLiteral("PageContextMenu"));
    if (m_extend)
        m_extend(menu, this);
    menu->popup(event->globalPos());
}

void BrowserView::showEvent(QShowEvent *event)
{
    // The engine hears that the page is visible once the event loop turns, and only if it
    // still is: pages passed through on the way to another (a burst of forwarded addresses,
    // each made active in turn) never have their renderers start drawing.
    QWidget::showEvent(event);
    if (m_showPending)
        return;
    m_showPending = true;
    QTimer::singleShot(0, this, [this] {
        if (!m_showPending)
            return;
        m_showPending = false;
        QShowEvent shown;
        QWebEngineView::showEvent(&shown);
    });
}

void BrowserView::hideEvent(QHideEvent *event)
{
    if (m_showPending) {
        m_showPending = false;
        QWidget::hideEvent(event);
        return;
    }
    QWebEngineView::hideEvent(event);
}
