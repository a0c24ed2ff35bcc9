#include "loginlist.h"

#include "passwordslog.h"

LoginList::LoginList(QWidget *page) : QListWidget(page)
{
    setObjectName(QStringLiteral("LoginList"));
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::Box);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setMouseTracking(true);
    connect(this, &QListWidget::itemEntered, this, [this](QListWidgetItem *item) { setCurrentItem(item); });
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        const int chosenRow = row(item);
        hide();
        emit chosen(chosenRow);
    });
    hide();
}

void LoginList::showUsers(const QStringList &users, const QRect &under)
{
    clear();
    for (const QString &user : users) {
        // Names are shown as they are, never as markup (a list item is plain text).
        auto *item = new QListWidgetItem(user.isEmpty() ? QStringLiteral("(无用户名)") : user, this);
        item->setToolTip(QStringLiteral("填写 %1 的密码").arg(user));
        // Rows a finger's width apart, as the menus' items are.
        item->setSizeHint(QSize(0, fontMetrics().height() + 8));
    }
    const int rowHeight = sizeHintForRow(0) > 0 ? sizeHintForRow(0) : fontMetrics().height() + 4;
    const int visibleRows = qMin(int(users.size()), 6);
    const int width = qMax(under.width(), 180);
    const QWidget *area = parentWidget();
    QPoint at(under.left(), under.bottom() + 1);
    if (area) {
        at.setX(qBound(0, at.x(), qMax(0, area->width() - width)));
        if (at.y() + rowHeight * visibleRows + 4 > area->height())
            at.setY(qMax(0, under.top() - rowHeight * visibleRows - 5));
    }
    setGeometry(QRect(at, QSize(width, rowHeight * visibleRows + 2 * frameWidth())));
    show();
    raise();
    const QPoint top = mapToGlobal(QPoint(0, 0));
    qCDebug(lcPasswords).noquote() << QStringLiteral("login list shown: %1 names at %2,%3, rows of %4")
                                          .arg(users.size()).arg(top.x() + frameWidth()).arg(top.y() + frameWidth())
                                          .arg(rowHeight);
}
