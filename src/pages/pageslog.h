#pragma once

#include <QLoggingCategory>

// Diagnostics of this folder, for a user to turn on alone:
// QT_LOGGING_RULES="sablix.pages.debug=true". Warnings show by default.
inline const QLoggingCategory &lcPages()
{
    static const QLoggingCategory category("sablix.pages", QtWarningMsg);
    return category;
}
