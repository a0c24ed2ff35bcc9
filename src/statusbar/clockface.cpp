#include "clockface.h"

#include <QBackingStore>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QStyle>
#include <QWindow>

#include <algorithm>
#include <utility>

ClockFace::ClockFace(QWidget *parent) : QWidget(parent)
{
    // It fills its box itself: what lies under it is not painted again for a new text.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize ClockFace::sizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(m_text), fontMetrics().height());
}

void ClockFace::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    placeGlyphs();
    // What a label would tell a screen reader; nothing is sent unless one listens.
    setAccessibleName(text);
    m_drewInPlace = drawInPlace();
    if (!m_drewInPlace)
        update();
}

void ClockFace::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    draw(painter);
}

void ClockFace::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::LayoutDirectionChange) {
        m_rawFont = QRawFont();
        placeGlyphs();
    }
    QWidget::changeEvent(event);
}

// The text is digits and separators: looked up glyph by glyph, it needs none of the shaping
// and line layout a label does again for each new text.
void ClockFace::placeGlyphs()
{
    m_glyphs = QGlyphRun();
    if (m_text.isEmpty() || layoutDirection() != Qt::LeftToRight ||
        std::any_of(m_text.cbegin(), m_text.cend(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() > 0x7e; }))
        return;
    if (!m_rawFont.isValid())
        m_rawFont = QRawFont::fromFont(font());
    const QList<quint32> glyphs = m_rawFont.glyphIndexesForString(m_text);
    if (glyphs.size() != m_text.size() || glyphs.contains(0))
        return;
    QList<QPointF> positions = m_rawFont.advancesForGlyphIndexes(glyphs);
    qreal x = 0;
    for (QPointF &position : positions)
        x += std::exchange(position, QPointF(x, 0)).x();
    m_glyphs.setRawFont(m_rawFont);
    m_glyphs.setGlyphIndexes(glyphs);
    m_glyphs.setPositions(positions);
}

void ClockFace::draw(QPainter &painter) const
{
    painter.fillRect(rect(), palette().brush(backgroundRole()));
    if (!m_glyphs.isEmpty()) {
        const QFontMetricsF metrics(font());
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawGlyphRun(QPointF(0, (height() - metrics.height()) / 2 + metrics.ascent()), m_glyphs);
        return;
    }
    painter.setFont(font());
    style()->drawItemText(&painter, rect(), int(QStyle::visualAlignment(layoutDirection(), Qt::AlignLeft | Qt::AlignVCenter)),
                          palette(), isEnabled(), m_text, QPalette::WindowText);
}

bool ClockFace::drawInPlace()
{
    // Only X11 keeps one image for a window's backing store, there to draw into between
    // repaints; elsewhere the store may hand out another buffer each time.
    static const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    if (!x11 || !isVisible() || !updatesEnabled())
        return false;
    QWidget *top = window();
    QWindow *handle = top->windowHandle();
    QBackingStore *store = backingStore();
    // A window not on screen, resized since its last repaint, scaled, or composed with
    // OpenGL waits for Qt's own repaint.
    if (!handle || !handle->isExposed() || handle->surfaceType() != QSurface::RasterSurface || !store ||
        store->size() != top->size() || handle->devicePixelRatio() != 1.0)
        return false;
    const QRect area(mapTo(top, QPoint(0, 0)), size());
    // So does a clock inside a native child window (its rectangle would be that window's),
    // not wholly inside its parents, or that a widget stacked above it (one after it or after
    // one of its parents) reaches over, opaque or not.
    for (const QWidget *widget = this; widget != top; widget = widget->parentWidget()) {
        const QWidget *parent = widget->parentWidget();
        if (widget->internalWinId())
            return false;
        if (!QRect(parent->mapTo(top, QPoint(0, 0)), parent->size()).contains(area))
            return false;
        const QObjectList &siblings = parent->children();
        for (qsizetype i = siblings.indexOf(widget) + 1; i < siblings.size(); ++i) {
            const auto *other = qobject_cast<const QWidget *>(siblings.at(i));
            if (other && !other->isWindow() && other->isVisible() &&
                QRect(other->mapTo(top, QPoint(0, 0)), other->size()).intersects(area))
                return false;
        }
    }
    QPaintDevice *device = store->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return false;
    {
        QPainter painter(device);
        painter.setClipRect(area);
        painter.translate(area.topLeft());
        draw(painter);
    }
    store->flush(QRegion(area), handle);
    return true;
}
