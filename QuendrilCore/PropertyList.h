#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// XML property lists, the format of an application folder's Info.plist.
namespace PropertyList {

// The top-level value of an XML property list: <dict> as QVariantMap, <array> as QVariantList,
// <string> as QString, <integer> as qint64, <real> as double, <true/> and <false/> as bool,
// <data> as QByteArray and <date> as QDateTime. None for anything malformed, including a
// duplicate key, a key without a value and trailing elements.
[[nodiscard]] std::optional<QVariant> parse(const QByteArray& xml);

// parse of a file of at most 1 MB; none when it cannot be read.
[[nodiscard]] std::optional<QVariant> read(const QString& path);

// The value of `text` when it is a decimal integer with an optional sign and nothing else.
[[nodiscard]] std::optional<qint64> decimalInteger(const QString& text);

} // namespace PropertyList
