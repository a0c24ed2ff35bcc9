#pragma once

#include <QLoggingCategory>

// Diagnostics of this folder, for a user to turn on alone:
// QT_LOGGING_RULES="sablix.core.debug=true". Warnings show by default.
inline const QLoggingCategory &lcCore()
{
    static const QLoggingCategory category("sablix.core", QtWarningMsg);
    return category;
}
