#pragma once

#include <QObject>
#include <QPoint>

#include <functional>

class QLabel;
class QMimeData;

// The address box's label is the page's icon: dragged, it carries the active page's address
// and title, as a link of a page does, to wherever takes links (the favorites bar makes a
// favorite of it).
class PageIconDrag : public QObject
{
    Q_OBJECT

public:
    // `page` answers the active page's address and title; an empty address drags nothing.
    PageIconDrag(QLabel *icon, std::function<QPair<QString, QString>()> page);

    // What a drag of the page carries: the address, and the title as the link's text.
    static QMimeData *mimeFor(const QString &address, const QString &title);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *m_icon;
    std::function<QPair<QString, QString>()> m_page;
    QPoint m_pressedAt;
    bool m_pressed = false;
};
