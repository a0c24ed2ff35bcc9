#pragma once

#include <QLoggingCategory>

// Diagnostics of this folder, for a user to turn on alone:
// QT_LOGGING_RULES="sablix.engine.debug=true". Warnings show by default.
inline const QLoggingCategory &lcEngine()
{
    static const QLoggingCategory category("sablix.engine", QtWarningMsg);
    return category;
}
