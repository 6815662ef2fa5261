#include "QuendrilCore/ColorParser.h"

#include <QString>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

int hexValue(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    return -1;
}

std::optional<RGBA> parseHex(QStringView digits)
{
    if (digits.size() != 6 && digits.size() != 8)
        return std::nullopt;
    double channels[4] = {0, 0, 0, 1};
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        const int high = hexValue(digits[i]);
        const int low = hexValue(digits[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        channels[i / 2] = (high * 16 + low) / 255.0;
    }
    return RGBA{channels[0], channels[1], channels[2], channels[3]};
}

// strtod reads the user's locale once QCoreApplication has called setlocale; theme files are
// written with a decimal point whatever the locale.
locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}

// The decimal floating-point form: an optional sign, digits with at most one point (at least
// one digit in all), and an optional exponent. The strict check comes first because strtod
// would also take "inf", "nan" and hex numbers.
std::optional<double> parseNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto digitsFrom = [&](qsizetype& at) {
        const qsizetype start = at;
        while (at < n && text[at] >= u'0' && text[at] <= u'9')
            ++at;
        return at - start;
    };
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    qsizetype digits = digitsFrom(i);
    if (i < n && text[i] == u'.') {
        ++i;
        digits += digitsFrom(i);
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n && text[i] == u'e') {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        if (digitsFrom(i) == 0)
            return std::nullopt;
    }
    if (i != n)
        return std::nullopt;

    const std::string latin = text.toString().toStdString();
    const double value = strtod_l(latin.c_str(), nullptr, cLocale());
    // An exponent too large for a double reads as infinity, which is not a real value.
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> parsePercentage(QStringView text)
{
    if (!text.endsWith(u'%'))
        return std::nullopt;
    const std::optional<double> value = parseNumber(text.chopped(1));
    if (!value)
        return std::nullopt;
    return std::clamp(*value / 100.0, 0.0, 1.0);
}

RGBA fromHSL(double hue, double saturation, double lightness, double opacity)
{
    const double sector = hue / 60.0;
    const double chroma = (1.0 - std::fabs(2.0 * lightness - 1.0)) * saturation;
    const double x = chroma * (1.0 - std::fabs(std::fmod(sector, 2.0) - 1.0));
    const double m = lightness - chroma / 2.0;
    double r = chroma, g = 0, b = x;
    if (sector < 1)
        r = chroma, g = x, b = 0;
    else if (sector < 2)
        r = x, g = chroma, b = 0;
    else if (sector < 3)
        r = 0, g = chroma, b = x;
    else if (sector < 4)
        r = 0, g = x, b = chroma;
    else if (sector < 5)
        r = x, g = 0, b = chroma;
    return RGBA{r + m, g + m, b + m, opacity};
}

std::optional<RGBA> parseHSL(QStringView inner, qsizetype partCount)
{
    // Empty pieces (two commas in a row, or a comma at either end) are not parts.
    QStringView parts[4];
    qsizetype count = 0;
    for (const QStringView piece : inner.tokenize(u',', Qt::SkipEmptyParts)) {
        if (count == partCount)
            return std::nullopt;
        parts[count++] = trimBlanks(piece);
    }
    if (count != partCount)
        return std::nullopt;

    const std::optional<double> hue = parseNumber(parts[0]);
    const std::optional<double> saturation = parsePercentage(parts[1]);
    const std::optional<double> lightness = parsePercentage(parts[2]);
    if (!hue || !saturation || !lightness)
        return std::nullopt;
    double opacity = 1.0;
    if (partCount == 4) {
        const std::optional<double> value = parseNumber(parts[3]);
        if (!value || *value < 0.0 || *value > 1.0)
            return std::nullopt;
        opacity = *value + 0.0; // -0 becomes 0
    }
    // The second remainder catches what the first leaves just below zero: -1e-20 + 360 is 360.
    const double wrapped = std::fmod(std::fmod(*hue, 360.0) + 360.0, 360.0);
    return fromHSL(wrapped, *saturation, *lightness, opacity);
}

} // namespace

std::optional<RGBA> ColorParser::parse(QStringView text)
{
    const QString lowered = trimBlanks(text).toString().toLower();
    const QStringView colour(lowered);
    if (colour.startsWith(u'#'))
        return parseHex(colour.sliced(1));
    if (!colour.endsWith(u')'))
        return std::nullopt;
    if (colour.startsWith(u"hsla("))
        return parseHSL(colour.sliced(5, colour.size() - 6), 4);
    if (colour.startsWith(u"hsl("))
        return parseHSL(colour.sliced(4, colour.size() - 5), 3);
    return std::nullopt;
}
