#pragma once

#include <QList>
#include <QObject>

#include <optional>

class QAction;
class TFormWebbrowser;

// The View menu's text-size marks, 0 (smallest) to 4 (largest): they follow what the
// active page's engine answers, not the item the user picked.
class TextSizeMarks : public QObject
{
    Q_OBJECT

public:
    // `items` by level, smallest first.
    TextSizeMarks(TFormWebbrowser *pages, const QList<QAction *> &items, QObject *parent);

    // Asks the active page; with no document, the last mark comes back.
    void showOfActivePage();
    // Checks the item of the level; none (or out of range) puts back the last mark.
    void show(std::optional<int> level);

private:
    TFormWebbrowser *m_pages;
    QList<QAction *> m_items;
    std::optional<int> m_mark;
};
