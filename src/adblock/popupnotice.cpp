#include "popupnotice.h"

#include <QGuiApplication>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

namespace {

// A page that opens windows in a loop is counted; the text follows at this pace.
constexpr int kRefreshMs = 100;
constexpr int kButtonPollMs = 50;

} // namespace

PopupNoticeBar::PopupNoticeBar(QWidget *parent)
    : NoticeBar(QStringLiteral("PopupNoticeBar"), QColor(0xff, 0xf6, 0xd5), QString(), true, parent)
{
    text()->setObjectName(QStringLiteral("PopupNoticeText"));
    QToolButton *open = addButton(QStringLiteral("PopupNoticeOpen"), QStringLiteral("打开"));
    QToolButton *close = addCloseButton(QStringLiteral("PopupNoticeClose"));

    m_refresh = new QTimer(this);
    m_refresh->setSingleShot(true);
    m_refresh->setInterval(kRefreshMs);
    connect(m_refresh, &QTimer::timeout, this, &PopupNoticeBar::refresh);
    connect(open, &QToolButton::clicked, this, [this] {
        emit openRequested(m_address);
        deleteLater();
    });
    connect(close, &QToolButton::clicked, this, &QObject::deleteLater);
    hide();
}

void PopupNoticeBar::blocked(const QString &address)
{
    m_address = address;
    ++m_count;
    if (m_count == 1) {
        refresh();
        appearWhenNoButtonIsHeld();
    } else if (!m_refresh->isActive()) {
        m_refresh->start();
    }
}

void PopupNoticeBar::refresh()
{
    QString text = QStringLiteral("已拦截弹出窗口: ") + m_address;
    if (m_count > 1)
        text += QStringLiteral("  (共 %1 个)").arg(m_count);
    this->text()->setText(text);
}

void PopupNoticeBar::appearWhenNoButtonIsHeld()
{
    if (QGuiApplication::mouseButtons() != Qt::NoButton) {
        QTimer::singleShot(kButtonPollMs, this, &PopupNoticeBar::appearWhenNoButtonIsHeld);
        return;
    }
    show();
}
