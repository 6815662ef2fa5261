#pragma once

#include <QDateTime>

#include <optional>

// When an automatic update check is due.
namespace UpdateSchedule {

// Seconds between conclusive checks: 24 hours.
inline constexpr qint64 interval = 86'400;

// True with no conclusive check yet, at least `interval` after the last one, or when `now` lies
// before it (the clock was set back).
[[nodiscard]] bool isDue(const std::optional<QDateTime>& lastCheck, const QDateTime& now);

} // namespace UpdateSchedule
