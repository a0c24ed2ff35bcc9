#include "pageicondrag.h"

#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

PageIconDrag::PageIconDrag(QLabel *icon, std::function<QPair<QString, QString>()> page)
    : QObject(icon), m_icon(icon), m_page(std::move(page))
{
    icon->setCursor(Qt::OpenHandCursor);
    icon->setToolTip(QStringLiteral("拖到收藏栏即可收藏当前页面"));
    icon->installEventFilter(this);
}

QMimeData *PageIconDrag::mimeFor(const QString &address, const QString &title)
{
    auto *mime = new QMimeData;
    mime->setUrls({QUrl(address)});
    mime->setText(address);
    // The title as a link's text, escaped: it is a page's, never markup of ours.
    const QString name = title.trimmed().isEmpty() ? address : title;
    mime->setHtml(QStringLiteral("<a href=\"%1\">%2</a>").arg(address.toHtmlEscaped(), name.toHtmlEscaped()));
    return mime;
}

bool PageIconDrag::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_icon)
        return false;
    if (event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        m_pressed = mouse->button() == Qt::LeftButton;
        m_pressedAt = mouse->position().toPoint();
    } else if (event->type() == QEvent::MouseButtonRelease) {
        m_pressed = false;
    } else if (event->type() == QEvent::MouseMove && m_pressed) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if ((mouse->position().toPoint() - m_pressedAt).manhattanLength() < QApplication::startDragDistance())
            return false;
        m_pressed = false;
        const auto [address, title] = m_page ? m_page() : QPair<QString, QString>();
        if (address.trimmed().isEmpty())
            return false;
        auto *drag = new QDrag(m_icon);
        drag->setMimeData(mimeFor(address.trimmed(), title));
        drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
        return true;
    }
    return false;
}
