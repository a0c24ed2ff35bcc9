#pragma once

#include <QLoggingCategory>

// Diagnostics of this folder, for a user to turn on alone:
// QT_LOGGING_RULES="sablix.favorites.debug=true". Warnings show by default.
inline const QLoggingCategory &lcFavorites()
{
    static const QLoggingCategory category("sablix.favorites", QtWarningMsg);
    return category;
}
