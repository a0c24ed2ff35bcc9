#pragma once

#include <QLoggingCategory>

// Diagnostics of this folder, for a user to turn on alone:
// QT_LOGGING_RULES="sablix.cleaner.debug=true". Warnings show by default.
inline const QLoggingCategory &lcCleaner()
{
    static const QLoggingCategory category("sablix.cleaner", QtWarningMsg);
    return category;
}
