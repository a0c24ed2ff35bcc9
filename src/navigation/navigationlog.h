#pragma once

#include <QLoggingCategory>

// Diagnostics of this folder, for a user to turn on alone:
// QT_LOGGING_RULES="sablix.navigation.debug=true". Warnings show by default.
inline const QLoggingCategory &lcNavigation()
{
    static const QLoggingCategory category("sablix.navigation", QtWarningMsg);
    return category;
}
