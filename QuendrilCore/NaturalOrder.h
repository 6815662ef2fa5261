#pragma once

#include <QByteArray>
#include <QStringView>

// The natural, file-manager-like order of names: letter case and accents ignored at first,
// runs of digits compared by their value ("Note 9" before "note 10"). It does not depend on the
// user's locale, and it is total: names that collate alike are told apart by case and accents,
// then by their code units, so only equal strings compare equal.
namespace NaturalOrder {

// Negative, zero or positive as `a` sorts before, with or after `b`.
[[nodiscard]] int compare(QStringView a, QStringView b);

// Bytes whose plain byte order (memcmp, shorter prefix first) is the order of `compare`; sort a
// long list by these instead of calling `compare` for every pair.
[[nodiscard]] QByteArray sortKey(QStringView name);

} // namespace NaturalOrder
