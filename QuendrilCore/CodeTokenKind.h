#pragma once

#include <QStringView>

#include <array>
#include <optional>

// What a coloured piece of a bash or sql block is; each kind has a string value equal to its name
// ("operator" for operator_, whose name the language keeps for itself).
enum class CodeTokenKind { keyword, command, string, number, comment, variable, flag, operator_ };

// Every kind, in declaration order.
inline constexpr std::array<CodeTokenKind, 8> allCodeTokenKinds{
    CodeTokenKind::keyword, CodeTokenKind::command,  CodeTokenKind::string,
    CodeTokenKind::number,  CodeTokenKind::comment,  CodeTokenKind::variable,
    CodeTokenKind::flag,    CodeTokenKind::operator_};

// The string value of `kind` ("keyword" ... "operator").
[[nodiscard]] constexpr QStringView codeTokenKindValue(CodeTokenKind kind)
{
    constexpr std::array<QStringView, 8> values{u"keyword", u"command",  u"string", u"number",
                                                u"comment", u"variable", u"flag",   u"operator"};
    return values[size_t(kind)];
}

// The kind whose string value is exactly `value`, or none.
[[nodiscard]] inline std::optional<CodeTokenKind> codeTokenKindFromValue(QStringView value)
{
    for (CodeTokenKind kind : allCodeTokenKinds) {
        if (codeTokenKindValue(kind) == value)
            return kind;
    }
    return std::nullopt;
}
