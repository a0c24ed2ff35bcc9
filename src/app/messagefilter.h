#pragma once

#include <QObject>

class TFormWebbrowser;
class QWidget;

// Sees every event of the application before its receiver does. Today it keeps the
// context-menu rule: the engine's menu stays off until the first right press inside the
// active page, and from then on each right release inside the page decides.
class MessageFilter : public QObject
{
    Q_OBJECT

public:
    MessageFilter(TFormWebbrowser *pages, QWidget *window);

    bool contextMenuAllowed() const { return m_contextMenuAllowed; }
    bool rightPressSeen() const { return m_rightPressSeen; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool insideActivePage(QObject *watched) const;

    TFormWebbrowser *m_pages;
    QWidget *m_window;
    bool m_contextMenuAllowed = false;
    bool m_rightPressSeen = false;
};
