#include "popupnotice.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

namespace {

// A page that opens windows in a loop is counted; the text follows at this pace.
constexpr int kRefreshMs = 100;
constexpr int kButtonPollMs = 50;

QToolButton *makeButton(const QString &text, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setText(text);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

PopupNoticeBar::PopupNoticeBar(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("PopupNoticeBar"));
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette shade = palette();
    shade.setColor(QPalette::Window, QColor(0xff, 0xf6, 0xd5));
    setPalette(shade);

    m_text = new QLabel(this);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setObjectName(QStringLiteral("PopupNoticeText"));
    QToolButton *open = makeButton(QStringLiteral("打开"), this);
    open->setObjectName(QStringLiteral("PopupNoticeOpen"));
    QToolButton *close = makeButton(QStringLiteral("×"), this);
    close->setObjectName(QStringLiteral("PopupNoticeClose"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 1, 2, 1);
    layout->addWidget(m_text, 1);
    layout->addWidget(open);
    layout->addWidget(close);

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
    m_text->setText(text);
}

void PopupNoticeBar::appearWhenNoButtonIsHeld()
{
    if (QGuiApplication::mouseButtons() != Qt::NoButton) {
        QTimer::singleShot(kButtonPollMs, this, &PopupNoticeBar::appearWhenNoButtonIsHeld);
        return;
    }
    show();
}
