#include "privatetab.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QTabBar>
#include <QTabWidget>

namespace PrivateTab {
namespace {

QIcon markIcon()
{
    // A filled disc: an icon stands out on every style, where a text colour alone may not.
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kColor);
    painter.drawEllipse(QRectF(2, 2, 12, 12));
    return QIcon(pixmap);
}

} // namespace

QString caption(const QString &shown)
{
    return kPrefix + shown;
}

void mark(QTabWidget *tabs, int index)
{
    // Made once and kept for the run: a pixmap must not outlive the application at exit.
    static const QIcon *icon = new QIcon(markIcon());
    tabs->setTabIcon(index, *icon);
    tabs->tabBar()->setTabTextColor(index, kColor);
}

} // namespace PrivateTab
