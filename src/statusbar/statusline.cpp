#include "statusline.h"

#include "clockface.h"

#include "../pages/activepagestate.h"
#include "../pages/pagecaption.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QLoggingCategory>
#include <QStatusBar>
#include <QTimer>

// What the status line shows, for a user (or a test) to follow: QT_LOGGING_RULES="sablix.status.info=true".
Q_LOGGING_CATEGORY(lcStatus, "sablix.status", QtWarningMsg)

namespace {

QStatusBar *makeBar()
{
    auto *bar = new QStatusBar;
    bar->setObjectName(QStringLiteral("StatusBar"));
    return bar;
}

} // namespace

StatusLine::StatusLine() : StatusLine(makeBar()) {}

StatusLine::StatusLine(QStatusBar *bar) : QObject(bar), m_bar(bar)
{
    const int widths[4] = {400, 80, 60, 60};
    for (int i = 0; i < 4; ++i) {
        auto *panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setTextFormat(Qt::PlainText);
        if (i < 3)
            panel->setFixedWidth(widths[i]);
        else
            panel->setMinimumWidth(widths[i]);
        m_panels[size_t(i)] = panel;
        bar->addWidget(panel, i == 3 ? 1 : 0);
    }
    auto *progressHolder = new QHBoxLayout(m_panels[1]);
    progressHolder->setContentsMargins(1, 1, 1, 1);

    // The clock changes every second: a box of a fixed size asks for no new layout when its
    // text changes, and a tick draws that box alone, not the window around it.
    m_clock = new ClockFace(m_panels[3]);
    m_clock->setObjectName(QStringLiteral("ClockText"));
    auto *clockHolder = new QHBoxLayout(m_panels[3]);
    clockHolder->setContentsMargins(2, 0, 2, 0);
    clockHolder->addWidget(m_clock);
    clockHolder->addStretch(1);
    m_clock->setFixedSize(0, m_clock->sizeHint().height());
}

void StatusLine::showConnecting(const QString &address)
{
    showPageMessage(QStringLiteral(">>正在连接地址:<") + PageCaption::isolated(address) + QLatin1Char('>'));
}

// A page's title and address are the page's to choose: each stays inside its own brackets.
void StatusLine::showCompleted(const QString &title, const QString &address)
{
    showPageMessage(QStringLiteral(">>完成:") + PageCaption::isolated(title) + QLatin1Char('<') + PageCaption::isolated(address) +
                    QLatin1Char('>'));
}

void StatusLine::showPage(const QString &title, const QString &address)
{
    showPageMessage(QStringLiteral(">>") + PageCaption::isolated(title) + QLatin1Char('<') + PageCaption::isolated(address) +
                    QLatin1Char('>'));
}

void StatusLine::showPageMessage(const QString &text)
{
    if (isHolding())
        m_afterHold = text;
    else
        setText(text);
}

void StatusLine::clear()
{
    showPageMessage(QString());
}

void StatusLine::showMessage(const QString &text)
{
    if (m_hold)
        m_hold->stop();
    m_afterHold.reset();
    setText(text);
}

void StatusLine::holdMessage(const QString &text, int ms)
{
    if (!m_hold) {
        m_hold = new QTimer(this);
        m_hold->setSingleShot(true);
        connect(m_hold, &QTimer::timeout, this, &StatusLine::releaseHeld);
    }
    m_afterHold.reset();
    setText(text);
    m_hold->start(ms);
}

bool StatusLine::isHolding() const
{
    return m_hold && m_hold->isActive();
}

void StatusLine::releaseHeld()
{
    if (m_hold)
        m_hold->stop();
    if (m_afterHold)
        setText(*std::exchange(m_afterHold, std::nullopt));
}

void StatusLine::setText(const QString &text)
{
    if (text.isEmpty())
        m_panels[0]->clear();
    else
        m_panels[0]->setText(text);
    qCInfo(lcStatus).noquote() << text;
}

void StatusLine::setClockText(const QString &text)
{
    if (text == m_clock->text())
        return;
    // Grows for a longer text (another format), never shrinks: the layout stays put. Measured
    // with each digit as the font's widest, so that one measure holds for every second of a
    // format (a font may have digits of different widths): only a new format or font is
    // measured again, never a tick.
    QString shape = text;
    if (m_clockShape.isEmpty() || m_clock->font() != m_clockFont) {
        m_clockFont = m_clock->font();
        m_clockShape.clear();
        const QFontMetrics metrics(m_clockFont);
        m_widestDigit = u'0';
        for (char16_t digit = u'1'; digit <= u'9'; ++digit)
            if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(QChar(m_widestDigit)))
                m_widestDigit = digit;
    }
    for (QChar &c : shape)
        if (c.isDigit())
            c = QChar(m_widestDigit);
    m_clock->setText(text);
    if (shape != m_clockShape) {
        const int width = m_clock->fontMetrics().horizontalAdvance(shape) + 2;
        m_clock->setFixedSize(qMax(width, m_clock->width()), m_clock->sizeHint().height());
        m_clockShape = shape;
    }
}

void StatusLine::setDownloadsText(const QString &text)
{
    m_panels[2]->setText(text);
}

QString StatusLine::text(int panel) const
{
    if (panel == 3)
        return m_clock->text();
    return panel >= 0 && panel < 4 ? m_panels[size_t(panel)]->text() : QString();
}

QLabel *StatusLine::panel(int index) const
{
    return index >= 0 && index < 4 ? m_panels[size_t(index)] : nullptr;
}

void StatusLine::progressChange(int progress, int maximum)
{
    if (!m_progress) {
        m_progress = new QProgressBar(m_panels[1]);
        m_progress->setObjectName(QStringLiteral("ProgressBar"));
        m_progress->setRange(0, maximum);
        m_progress->setValue(0);
        m_progress->setTextVisible(false);
        m_progress->setMaximumHeight(m_bar->height() - 2);
        m_panels[1]->layout()->addWidget(m_progress);
        m_progress->show();
        return;
    }
    if (maximum - progress > 2) {
        m_progress->show();
        if (m_progress->maximum() != maximum)
            m_progress->setMaximum(maximum);
        m_progress->setValue(progress);
    } else {
        m_progress->hide();
    }
}

void StatusLine::hideProgress()
{
    if (m_progress)
        m_progress->hide();
}

void StatusLine::resetProgress()
{
    if (!m_progress)
        return;
    m_progress->setValue(0);
    m_progress->hide();
}

void StatusLine::showActivePage(const ActivePageState &state)
{
    if (state.exists) {
        if (state.showsNothing())
            clear();
        else if (state.loading)
            showConnecting(state.address);
        else
            showPage(state.title, state.address);
    }
    resetProgress();
}
