#pragma once

#include <QLoggingCategory>

// Diagnostics of this folder, for a user to turn on alone:
// QT_LOGGING_RULES="sablix.window.debug=true". Warnings show by default.
inline const QLoggingCategory &lcWindow()
{
    static const QLoggingCategory category("sablix.window", QtWarningMsg);
    return category;
}
