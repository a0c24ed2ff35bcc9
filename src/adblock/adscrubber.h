#pragma once

#include <QObject>

class ConfigStore;
class QAction;
class QTimer;
class TEmbeddedWB;
class TFormWebbrowser;

// Hides floating and Flash advertisements in loaded documents: each walk goes over every
// element of the page's document once, in a world of its own out of the page's scripts'
// reach, and sets visibility hidden on what a filter recognises, so the layout keeps its
// place. The switches NStopFloatAd and NStopFlashAd are stored as StopFloatAd and
// StopFlashAd; F8 walks the active page whatever they say.
class AdScrubber : public QObject
{
    Q_OBJECT

public:
    AdScrubber(TFormWebbrowser *pages, ConfigStore *config, QAction *floatItem, QAction *flashItem);

    bool floatAdFilter() const { return m_floatAd; }
    bool flashAdFilter() const { return m_flashAd; }
    // Start-up: the stored switches take effect and check their items, without being
    // written back.
    void applyAtStartup(bool stopFloatAd, bool stopFlashAd);

    void ScrubDocument(TEmbeddedWB *browser);
    void ScrubDocumentNow(TEmbeddedWB *browser);
    void ScrubDocumentOnTimer(TEmbeddedWB *browser);
    // The one-shot delay after a page switch; a second switch does not restart it.
    void startTimer();
    QTimer *TimerClearAd() const { return m_timer; }

    void NStopFloatAdClick();
    void NStopFlashAdClick();
    void NCleanCurrentAdClick();

    // The walk's script for the given tests; `exempt` stops the walk where the Flash tests
    // would begin (a page of the exempt web-mail host).
    static QString walkScript(bool floating, bool flash, bool exempt);

private:
    void walk(TEmbeddedWB *browser, bool floating, bool flash);
    void toggled(QAction *item, const char *key, bool &flag);

    TFormWebbrowser *m_pages;
    ConfigStore *m_config;
    QAction *m_floatItem;
    QAction *m_flashItem;
    QTimer *m_timer;
    bool m_floatAd = false;
    bool m_flashAd = false;
};
