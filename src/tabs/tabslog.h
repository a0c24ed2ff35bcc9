#pragma once

#include <QLoggingCategory>

// Diagnostics of this folder, for a user to turn on alone:
// QT_LOGGING_RULES="sablix.tabs.debug=true". Warnings show by default.
inline const QLoggingCategory &lcTabs()
{
    static const QLoggingCategory category("sablix.tabs", QtWarningMsg);
    return category;
}
