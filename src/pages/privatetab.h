#pragma once

#include <QColor>
#include <QString>

class QTabWidget;

// How a private page's tab is told apart at a glance: its caption begins with "[隐私] ", its
// text has a colour of its own, and a mark of that colour stands before it.
namespace PrivateTab {

inline const QString kPrefix = QStringLiteral("[隐私] ");
inline const QColor kColor = QColor(0x6a, 0x1b, 0x9a);

// The tab's text for what the strip would show of a page.
QString caption(const QString &shown);
// Tints the tab at `index` (tabs keep it when moved).
void mark(QTabWidget *tabs, int index);

} // namespace PrivateTab
