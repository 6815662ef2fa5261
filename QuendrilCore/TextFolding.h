#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <vector>

// Case- and accent-blind folding that does not depend on the user's locale: full case folding
// with compatibility forms ("ﬁ" is "fi", "ß" is "ss"), then every nonspacing mark removed
// ("Café" and "CAFE" both fold to "cafe"). Queries and indexed texts go through the same rule,
// so the folded forms compare as plain bytes.
//
//   TextFolding::fold(u"Zürich")        // "zurich"
//   TextFolding::foldToUtf8(u"STRASSE")  // "strasse", same bytes as fold(u"straße").toUtf8()
namespace TextFolding {

// The folded text.
[[nodiscard]] QString fold(QStringView text);

// The folded text as UTF-8; what the search index stores and compares.
[[nodiscard]] QByteArray foldToUtf8(QStringView text);

// A folded text with, for every UTF-16 unit of `folded`, the range of the original text it came
// from; a unit made from several original units (or several units made from one) maps to the
// whole group, so a match in `folded` always maps to whole characters of the original.
struct Mapped {
    QString folded;
    std::vector<qsizetype> originStart; // one entry per unit of `folded`
    std::vector<qsizetype> originEnd;   // one entry per unit of `folded`
};

// The folded text with its map back to positions in `text`; folds exactly as `fold` does.
[[nodiscard]] Mapped foldWithMap(QStringView text);

} // namespace TextFolding
