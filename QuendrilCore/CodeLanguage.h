#pragma once

#include <QStringView>

#include <optional>

// The languages a fenced block can be marked as; each has a string value ("bash", "sql"), the
// word written after the opening fence's backticks.
enum class CodeLanguage { bash, sql };

// The string value of `language`.
[[nodiscard]] constexpr QStringView codeLanguageValue(CodeLanguage language)
{
    return language == CodeLanguage::bash ? QStringView(u"bash") : QStringView(u"sql");
}

// The language whose string value is exactly `value`, or none.
[[nodiscard]] inline std::optional<CodeLanguage> codeLanguageFromValue(QStringView value)
{
    if (value == u"bash")
        return CodeLanguage::bash;
    if (value == u"sql")
        return CodeLanguage::sql;
    return std::nullopt;
}
