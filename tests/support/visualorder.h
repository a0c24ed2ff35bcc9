#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QString>
#include <QTextLayout>

// Whether the first and last characters of `line`, laid out left to right as a label shows
// it, stay at its left and right ends whatever stands between them (a page's title with
// directional marks, say). Needs a QGuiApplication.
inline bool endsStayAtTheEnds(const QString &line)
{
    QTextLayout layout(line, QFont());
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine row = layout.createLine();
    row.setLineWidth(1e6);
    layout.endLayout();
    auto xOf = [&layout](int index) -> qreal {
        const QList<QGlyphRun> runs = layout.glyphRuns(index, 1);
        for (const QGlyphRun &run : runs)
            if (!run.positions().isEmpty())
                return run.positions().first().x();
        return -1;
    };
    const qreal first = xOf(0);
    const qreal last = xOf(int(line.size()) - 1);
    if (first < 0 || last < 0)
        return false;
    for (int i = 1; i + 1 < line.size(); ++i) {
        const qreal x = xOf(i);
        if (x >= 0 && (x < first || x > last))
            return false;
    }
    return true;
}
