#pragma once

#include <QMetaType>
#include <QString>

// What the window shows of the page that has just become the active one, said once by the
// page collection; the address box and the status line each show their part of it.
struct ActivePageState
{
    bool exists = false;     // false: no page at all
    QString address;         // "about:blank" when the page shows nothing yet
    QString title;
    bool loading = false;
    int textSize = -1;       // 0 (smallest) to 4 (largest); -1 when the page did not say
    bool backEnabled = false;
    bool forwardEnabled = false;

    bool showsNothing() const { return address == QLatin1String("about:blank"); }
    // Loaded and showing something: what a page switch walks for ads.
    bool idle() const { return exists && !loading && !showsNothing(); }
};
Q_DECLARE_METATYPE(ActivePageState)
