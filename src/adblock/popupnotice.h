#pragma once

#include "../pages/noticebar.h"

class QLabel;
class QTimer;

// The slim bar above a page that says a window it asked for was blocked: the last blocked
// address, how many there were, "打开" and "×". It never takes the keyboard, and it does
// not appear while a mouse button is held (the page must not move under a click).
class PopupNoticeBar : public NoticeBar
{
    Q_OBJECT

public:
    explicit PopupNoticeBar(QWidget *parent = nullptr);

    // One more blocked window; the bar counts, it does not grow.
    void blocked(const QString &address);
    int count() const { return m_count; }
    QString address() const { return m_address; }

signals:
    void openRequested(const QString &address);

private:
    void refresh();
    void appearWhenNoButtonIsHeld();

    QTimer *m_refresh;
    QString m_address;
    int m_count = 0;
};
