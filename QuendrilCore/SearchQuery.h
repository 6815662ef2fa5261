#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// A parsed search: folded terms that must all occur in a sheet. Words are split at any Unicode
// white space; a straight double quote starts or ends a phrase, which is one term with its
// spaces; an unclosed quote runs to the end.
//
//   SearchQuery(u"Café \"new york\"").terms  // {"cafe", "new york"}
struct SearchQuery {
    QList<QString> terms;

    SearchQuery() = default;
    explicit SearchQuery(QStringView text);

    // True when there is nothing to look for; such a query lists every sheet.
    [[nodiscard]] bool isEmpty() const { return terms.isEmpty(); }

    bool operator==(const SearchQuery&) const = default;
};
