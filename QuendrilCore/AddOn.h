#pragma once

#include "QuendrilCore/Result.h"

#include <QString>
#include <QStringView>

#include <optional>

// The header of an add-on script: the menu title, what it takes as input and an optional ICU
// regular expression that must match somewhere in the input for the add-on to be offered.
//
//   # name: Shout
//   # input: selection
//   # show-when: ^[a-z]+$
struct AddOn {
    // What the add-on receives on its standard input.
    enum class Input { selection, link };

    // A header that declares an add-on badly; `value` is the offending text as written.
    struct HeaderProblem {
        enum class Kind { unknownInput, badPattern };
        Kind kind;
        QString value;
        bool operator==(const HeaderProblem&) const = default;
    };

    // Only this many lines at the top of the header text are read.
    static constexpr int headerLines = 20;
    // Largest input, in UTF-16 code units, for which an add-on is offered.
    static constexpr qsizetype maxInput = 1'000'000;

    QString name;
    Input input = Input::selection;
    std::optional<QString> showWhen;

    // Reads "# key: value" or "// key: value" lines among the first 20 lines of `header`; keys
    // are case-insensitive and the first occurrence wins. No name (or an empty one) means no
    // add-on and no error; an input other than "selection" or "link" and a pattern that does not
    // compile are problems, checked in that order.
    [[nodiscard]] static Result<std::optional<AddOn>, HeaderProblem> parse(QStringView header);

    // Whether the add-on is offered for `text`: never for empty text or text longer than
    // `maxInput`; otherwise when there is no pattern or the pattern matches anywhere in it.
    [[nodiscard]] bool applies(QStringView text) const;

    // The string value of an input kind: "selection" or "link".
    [[nodiscard]] static QString inputValue(Input input);

    bool operator==(const AddOn&) const = default;
};
