#pragma once

#include <QLoggingCategory>

// Diagnostics of this folder, for a user to turn on alone:
// QT_LOGGING_RULES="sablix.instance.debug=true". Warnings show by default.
inline const QLoggingCategory &lcInstance()
{
    static const QLoggingCategory category("sablix.instance", QtWarningMsg);
    return category;
}
