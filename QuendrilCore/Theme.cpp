#include "QuendrilCore/Theme.h"

#include "QuendrilCore/BuiltInThemes.h"
#include "QuendrilCore/ColorParser.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

struct RequiredColor {
    QLatin1StringView key;
    QString Theme::*field;
    std::optional<QString> ThemeColors::*override;
};

struct OptionalColor {
    QLatin1StringView key;
    std::optional<QString> Theme::*field;
    std::optional<QString> ThemeColors::*override;
};

// In file order; `colorFields` and `badColor` follow it.
const RequiredColor requiredColors[] = {
    {"background"_L1, &Theme::background, &ThemeColors::background},
    {"foreground"_L1, &Theme::foreground, &ThemeColors::foreground},
    {"caret"_L1, &Theme::caret, &ThemeColors::caret},
    {"selection"_L1, &Theme::selection, &ThemeColors::selection},
    {"selection_border"_L1, &Theme::selectionBorder, &ThemeColors::selectionBorder},
    {"find_highlight"_L1, &Theme::findHighlight, &ThemeColors::findHighlight},
    {"json_string"_L1, &Theme::jsonString, &ThemeColors::jsonString},
    {"json_key"_L1, &Theme::jsonKey, &ThemeColors::jsonKey},
    {"json_number"_L1, &Theme::jsonNumber, &ThemeColors::jsonNumber},
    {"json_literal"_L1, &Theme::jsonLiteral, &ThemeColors::jsonLiteral},
    {"json_punctuation"_L1, &Theme::jsonPunctuation, &ThemeColors::jsonPunctuation},
    {"json_bracket"_L1, &Theme::jsonBracket, &ThemeColors::jsonBracket},
};

const OptionalColor optionalColors[] = {
    {"link"_L1, &Theme::link, &ThemeColors::link},
    {"code_keyword"_L1, &Theme::codeKeyword, &ThemeColors::codeKeyword},
    {"code_command"_L1, &Theme::codeCommand, &ThemeColors::codeCommand},
    {"code_variable"_L1, &Theme::codeVariable, &ThemeColors::codeVariable},
    {"code_comment"_L1, &Theme::codeComment, &ThemeColors::codeComment},
    {"tab_bar"_L1, &Theme::tabBar, &ThemeColors::tabBar},
    {"status_line"_L1, &Theme::statusLine, &ThemeColors::statusLine},
};

constexpr QLatin1StringView italicKey = "json_literal_italic"_L1;

// Reads members of one JSON object; `prefix` is "dark." inside the overrides, for the key that
// an error names.
class MemberReader {
public:
    MemberReader(const QJsonObject& object, QLatin1StringView prefix)
        : m_object(object)
        , m_prefix(prefix)
    {
    }

    std::optional<ThemeError> error() const { return m_error; }

    QString requiredString(QLatin1StringView key)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined())
            fail(ThemeError::Kind::missingMember, key);
        else if (!value.isString())
            fail(ThemeError::Kind::wrongType, key);
        return value.toString();
    }

    bool requiredBool(QLatin1StringView key)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined())
            fail(ThemeError::Kind::missingMember, key);
        else if (!value.isBool())
            fail(ThemeError::Kind::wrongType, key);
        return value.toBool();
    }

    std::optional<QString> optionalString(QLatin1StringView key)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        if (!value.isString()) {
            fail(ThemeError::Kind::wrongType, key);
            return std::nullopt;
        }
        return value.toString();
    }

    std::optional<bool> optionalBool(QLatin1StringView key)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        if (!value.isBool()) {
            fail(ThemeError::Kind::wrongType, key);
            return std::nullopt;
        }
        return value.toBool();
    }

    std::optional<double> optionalNumber(QLatin1StringView key)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        if (!value.isDouble()) {
            fail(ThemeError::Kind::wrongType, key);
            return std::nullopt;
        }
        return value.toDouble();
    }

    // The member as an object, nothing when absent or null.
    std::optional<QJsonObject> optionalObject(QLatin1StringView key)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        if (!value.isObject()) {
            fail(ThemeError::Kind::wrongType, key);
            return std::nullopt;
        }
        return value.toObject();
    }

private:
    // The first error is the one reported.
    void fail(ThemeError::Kind kind, QLatin1StringView key)
    {
        if (!m_error)
            m_error = ThemeError{kind, QString(m_prefix + key)};
    }

    const QJsonObject& m_object;
    QLatin1StringView m_prefix;
    std::optional<ThemeError> m_error;
};

Result<ThemeColors, ThemeError> decodeColors(const QJsonObject& object)
{
    MemberReader reader(object, "dark."_L1);
    ThemeColors colors;
    for (const RequiredColor& color : requiredColors)
        colors.*color.override = reader.optionalString(color.key);
    colors.jsonLiteralItalic = reader.optionalBool(italicKey);
    for (const OptionalColor& color : optionalColors)
        colors.*color.override = reader.optionalString(color.key);
    if (const std::optional<ThemeError> error = reader.error())
        return unexpected(*error);
    return colors;
}

bool isCaseInsensitivelyEqual(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

Result<Theme, ThemeError> Theme::decode(const QByteArray& bytes)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return unexpected(ThemeError{ThemeError::Kind::notJSON, {}});
    if (!document.isObject())
        return unexpected(ThemeError{ThemeError::Kind::notAnObject, {}});

    const QJsonObject object = document.object();
    MemberReader reader(object, {});
    Theme theme;
    theme.name = reader.requiredString("name"_L1);
    for (const RequiredColor& color : requiredColors)
        theme.*color.field = reader.requiredString(color.key);
    theme.jsonLiteralItalic = reader.requiredBool(italicKey);
    for (const OptionalColor& color : optionalColors)
        theme.*color.field = reader.optionalString(color.key);
    theme.font = reader.optionalString("font"_L1);
    theme.lineSpacing = reader.optionalNumber("line_spacing"_L1);
    theme.margin = reader.optionalNumber("margin"_L1);
    const std::optional<QJsonObject> dark = reader.optionalObject("dark"_L1);
    if (const std::optional<ThemeError> error = reader.error())
        return unexpected(*error);
    if (dark) {
        Result<ThemeColors, ThemeError> colors = decodeColors(*dark);
        if (!colors)
            return unexpected(colors.error());
        theme.dark = std::move(*colors);
    }

    for (const auto& [key, colour] : theme.colorFields()) {
        if (!ColorParser::parse(colour))
            return unexpected(ThemeError{ThemeError::Kind::badColor, key});
    }
    return theme;
}

QByteArray Theme::encodedPretty() const
{
    // JSON has no infinity or NaN; Qt would write them as null and change the theme.
    if ((lineSpacing && !std::isfinite(*lineSpacing)) || (margin && !std::isfinite(*margin)))
        return {};

    QJsonObject object;
    object.insert("name"_L1, name);
    for (const RequiredColor& color : requiredColors)
        object.insert(color.key, this->*color.field);
    object.insert(italicKey, jsonLiteralItalic);
    for (const OptionalColor& color : optionalColors) {
        if (const std::optional<QString>& value = this->*color.field)
            object.insert(color.key, *value);
    }
    if (font)
        object.insert("font"_L1, *font);
    if (lineSpacing)
        object.insert("line_spacing"_L1, *lineSpacing);
    if (margin)
        object.insert("margin"_L1, *margin);
    if (dark) {
        QJsonObject overrides;
        for (const RequiredColor& color : requiredColors) {
            if (const std::optional<QString>& value = *dark.*color.override)
                overrides.insert(color.key, *value);
        }
        if (dark->jsonLiteralItalic)
            overrides.insert(italicKey, *dark->jsonLiteralItalic);
        for (const OptionalColor& color : optionalColors) {
            if (const std::optional<QString>& value = *dark.*color.override)
                overrides.insert(color.key, *value);
        }
        object.insert("dark"_L1, overrides);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QList<std::pair<QString, QString>> Theme::colorFields() const
{
    QList<std::pair<QString, QString>> fields;
    for (const RequiredColor& color : requiredColors)
        fields.append({color.key, this->*color.field});
    for (const OptionalColor& color : optionalColors) {
        if (const std::optional<QString>& value = this->*color.field)
            fields.append({color.key, *value});
    }
    if (dark) {
        const auto addOverride = [&](QLatin1StringView key, const std::optional<QString>& value) {
            if (value)
                fields.append({QString("dark."_L1 + key), *value});
        };
        for (const RequiredColor& color : requiredColors)
            addOverride(color.key, *dark.*color.override);
        for (const OptionalColor& color : optionalColors)
            addOverride(color.key, *dark.*color.override);
    }
    return fields;
}

bool Theme::isValid() const
{
    const QList<std::pair<QString, QString>> fields = colorFields();
    return std::all_of(fields.begin(), fields.end(), [](const auto& field) {
        return ColorParser::parse(field.second).has_value();
    });
}

RGBA Theme::rgba(QStringView colour)
{
    return ColorParser::parse(colour).value_or(badColorRGBA);
}

RGBA Theme::optionalColor(std::optional<QString> Theme::*field, QString Theme::*fallback) const
{
    std::optional<QString> chosen = this->*field;
    if (!chosen) {
        for (const Theme& builtIn : BuiltInThemes::all()) {
            if (isCaseInsensitivelyEqual(builtIn.name, name)) {
                chosen = builtIn.*field;
                break;
            }
        }
    }
    if (!chosen) {
        const std::optional<RGBA> page = ColorParser::parse(background);
        const bool isDark = !page || 0.299 * page->r + 0.587 * page->g + 0.114 * page->b < 0.5;
        chosen = (isDark ? BuiltInThemes::mariana() : BuiltInThemes::light()).*field;
    }
    if (chosen) {
        if (const std::optional<RGBA> colour = ColorParser::parse(*chosen))
            return *colour;
    }
    return rgba(this->*fallback);
}

RGBA Theme::linkColor() const
{
    return optionalColor(&Theme::link, &Theme::jsonKey);
}

QString Theme::textFont() const
{
    const QString trimmed = font.value_or(QString()).trimmed();
    return trimmed.isEmpty() ? QStringLiteral("Menlo") : trimmed;
}

double Theme::textLineSpacing() const
{
    const double value = lineSpacing.value_or(1.0);
    if (std::isnan(value))
        return 1.0;
    return std::clamp(value, 0.8, 3.0);
}

double Theme::textMargin() const
{
    const double value = margin.value_or(6.0);
    if (std::isnan(value))
        return 0.0;
    return std::clamp(value, 0.0, 200.0);
}

Theme Theme::resolved(Appearance appearance) const
{
    Theme result = *this;
    result.dark.reset();
    if (appearance != Appearance::dark || !dark)
        return result;
    for (const RequiredColor& color : requiredColors) {
        if (const std::optional<QString>& value = *dark.*color.override)
            result.*color.field = *value;
    }
    if (dark->jsonLiteralItalic)
        result.jsonLiteralItalic = *dark->jsonLiteralItalic;
    for (const OptionalColor& color : optionalColors) {
        if (const std::optional<QString>& value = *dark.*color.override)
            result.*color.field = *value;
    }
    return result;
}
