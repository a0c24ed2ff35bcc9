#pragma once

#include <QGlyphRun>
#include <QRawFont>
#include <QString>
#include <QWidget>

// The clock's text, new every second, in a box of the size it is given. On X11 a new text is
// drawn at once into the window's backing store and that rectangle alone is sent to the
// server: an ordinary repaint would post itself, go through the window's repaint, and first
// wait on a round trip to the server (Qt makes sure the server has read the shared image
// before drawing over it; a second later it long has), which is most of what an idle browser
// does each second. Elsewhere, or while anything might cover the clock, a new text is an
// ordinary repaint; both ways draw it alike.
class ClockFace : public QWidget
{
    Q_OBJECT

public:
    explicit ClockFace(QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    // How the last new text reached the screen: drawn in place, or by a repaint asked for.
    bool drewInPlace() const { return m_drewInPlace; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void draw(QPainter &painter) const;
    bool drawInPlace();
    void placeGlyphs();

    QString m_text;
    bool m_drewInPlace = false;
    // The text's glyphs side by side, found without laying the text out (plain ASCII, left to
    // right, every glyph in the font); empty otherwise, and the text is laid out as usual.
    QRawFont m_rawFont;
    QGlyphRun m_glyphs;
};
