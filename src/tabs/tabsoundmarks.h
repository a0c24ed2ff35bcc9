#pragma once

#include <QObject>

class QTabWidget;
class QToolButton;
class TEmbeddedWB;
class TFormWebbrowser;

// A speaker on the tab of a page that plays sound, or that the user muted; a click on it
// mutes or unmutes the page.
class TabSoundMarks : public QObject
{
    Q_OBJECT

public:
    TabSoundMarks(TFormWebbrowser *pages, QTabWidget *pageControl);

    // The mark on a page's tab; none while it is silent and not muted.
    QToolButton *mark(const TEmbeddedWB *page) const;

private:
    void update(TEmbeddedWB *page);

    TFormWebbrowser *m_pages;
    QTabWidget *m_pageControl;
};
