#pragma once

#include <QLoggingCategory>

// Diagnostics of this folder, for a user to turn on alone:
// QT_LOGGING_RULES="sablix.app.debug=true". Warnings show by default.
inline const QLoggingCategory &lcApp()
{
    static const QLoggingCategory category("sablix.app", QtWarningMsg);
    return category;
}
