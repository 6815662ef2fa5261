#pragma once

#include <QString>

#include <optional>

// What an add-on run means to the user: text to insert under the anchor line, a message for
// the status line, both or neither.
struct AddOnOutcome {
    std::optional<QString> text;
    std::optional<QString> message;

    // The message for a run whose result is dropped because the sheet changed meanwhile.
    [[nodiscard]] static QString textChanged(const QString& name);

    bool operator==(const AddOnOutcome&) const = default;
};
