#pragma once

#include <QDate>

#include <functional>

struct EngineVersions;
class QWidget;

// The bar that says how old the engine's security fixes are, shown at most once a week
// while they are older than the limit (EngineAge).
namespace EngineNotice {

inline constexpr int kEveryDays = 7;

// Whether it is due today, having last shown on `lastShown` (invalid: never).
bool due(const QDate &lastShown, const QDate &today);

// The bar; its button opens the setting (`showSetting`), its × closes it for the run.
QWidget *make(const EngineVersions &versions, bool enhancedSecurity, std::function<void()> showSetting);

} // namespace EngineNotice
