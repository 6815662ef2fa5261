#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringView>
#include <QTimeZone>

#include <optional>

// The naming rule of sheet files, both ways: "2024-03-05 09.07.03.txt" for the moment a sheet
// was started in the given calendar (time zone), with " 2", " 3", ... before ".txt" on collision.
namespace SheetName {

inline constexpr QStringView fileExtension = u"txt";

// The name for `date` in `calendar` (24-hour clock, zero-padded): the plain name if it is not in
// `existing` (exact string equality), else the first free one of "<base> 2.txt", "<base> 3.txt",
// ...
[[nodiscard]] QString fileName(const QDateTime& date, const QSet<QString>& existing,
                               const QTimeZone& calendar);

// The moment a sheet name stands for in `calendar`, in UTC: the name must end in ".txt" (lower
// case) and its stem be "YYYY-MM-DD HH.MM.SS", optionally followed by a space and digits; month
// 1-12, day 1-31, hour 0-23, minute and second 0-59. None otherwise, and none when the calendar
// has no such day (30 February). A local time that occurs twice gives its first occurrence.
[[nodiscard]] std::optional<QDateTime> date(QStringView fileName, const QTimeZone& calendar);
// The same on the name's UTF-8 bytes, as a directory listing gives them.
[[nodiscard]] std::optional<QDateTime> date(QByteArrayView fileNameUtf8, const QTimeZone& calendar);

} // namespace SheetName
