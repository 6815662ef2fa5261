#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QTimeZone>

#include <optional>

// Tab titles and tooltips from a sheet's text and start date. Characters are user-perceived
// characters (extended grapheme clusters); dates print in British English whatever the locale.
namespace TabLabel {

// The most characters of a title before its date suffix.
inline constexpr int maxLength = 24;

// The first non-blank line, cut to 23 characters and "…" when longer than 24, "New" when there
// is none; " · " and the short date follow when the sheet was started on another day than `now`.
[[nodiscard]] QString label(QStringView text, const std::optional<QDateTime>& sheetDate,
                            const QDateTime& now, const QTimeZone& calendar);

// The first line (split at LF, CR and CR LF) that is not blank once its first 200 characters are
// trimmed of spaces and tabs; empty when every line is blank.
[[nodiscard]] QString firstLine(QStringView text);

// "Tue 5 Mar".
[[nodiscard]] QString shortDate(const QDateTime& date, const QTimeZone& calendar);

// A tab's tooltip: "New sheet, not saved yet" without a file, else the sheet's start date as
// "Tuesday 5 March 2024, 14:03:09".
[[nodiscard]] QString tooltip(const std::optional<QDateTime>& sheetDate, const QTimeZone& calendar);

} // namespace TabLabel
