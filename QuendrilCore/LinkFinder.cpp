#include "QuendrilCore/LinkFinder.h"

#include "QuendrilCore/LineEditing.h"

#include <bitset>
#include <algorithm>

namespace LinkFinder {

namespace {

struct CharacterSets {
    std::bitset<0x10000> stops;
    std::bitset<0x10000> trailing;

    CharacterSets()
    {
        for (char32_t c = 0; c < 0x10000; ++c) {
            switch (QChar::category(c)) {
            case QChar::Separator_Space:
            case QChar::Separator_Line:
            case QChar::Separator_Paragraph:
            case QChar::Other_Control:
            case QChar::Other_Format:
                stops.set(c);
                break;
            default:
                break;
            }
        }
        // White space that is not a separator by category, and the four delimiters.
        for (char16_t c :
             {u'\t', u'\n', u'\v', u'\f', u'\r', char16_t(0x85), u'"', u'<', u'>', u'`'})
            stops.set(c);
        for (char16_t c : {u'.', u',', u';', u':', u'!', u'?', u'\''})
            trailing.set(c);
    }
};

const CharacterSets& sets()
{
    static const CharacterSets built;
    return built;
}

bool isWordUnit(QChar c)
{
    switch (c.category()) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Number_DecimalDigit:
        return true;
    default:
        // Surrogate halves are boundaries.
        return false;
    }
}

char16_t openerFor(char16_t closer)
{
    switch (closer) {
    case u')':
        return u'(';
    case u']':
        return u'[';
    case u'}':
        return u'{';
    default:
        return 0;
    }
}

// The link that begins exactly at `p`, reading no further than `end`.
std::optional<FoundLink> linkStartingAt(QStringView text, qsizetype p, qsizetype end)
{
    if (p > 0 && isWordUnit(text[p - 1]))
        return std::nullopt;
    qsizetype i = p + 4;
    if (i < end && (text[i] == u's' || text[i] == u'S'))
        i = p + 5;
    if (i + 3 > end || text.sliced(i, 3) != u"://")
        return std::nullopt;
    const qsizetype hostStart = i + 3;
    const CharacterSets& set = sets();
    qsizetype b = hostStart;
    while (b < end && !set.stops.test(text[b].unicode()))
        ++b;
    if (b == hostStart)
        return std::nullopt;
    while (b > hostStart) {
        const QChar c = text[b - 1];
        if (c.isSurrogate())
            break;
        if (set.trailing.test(c.unicode())) {
            --b;
            if (b == hostStart)
                return std::nullopt;
            continue;
        }
        const char16_t opener = openerFor(c.unicode());
        if (!opener)
            break;
        const QStringView linkText = text.sliced(p, b - p);
        if (linkText.count(QChar(opener)) >= linkText.count(c))
            break;
        --b;
    }
    const QUrl url(text.sliced(p, b - p).toString());
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    return FoundLink{{p, b - p}, url};
}

QList<FoundLink> scan(QStringView text, qsizetype from, qsizetype to)
{
    QList<FoundLink> found;
    const QStringView stretch = text.first(to);
    for (qsizetype at = from; at < to;) {
        const qsizetype hit = stretch.indexOf(u"http", at, Qt::CaseInsensitive);
        if (hit < 0)
            break;
        if (auto link = linkStartingAt(text, hit, to)) {
            at = link->range.end();
            found.append(std::move(*link));
        } else {
            at = hit + 4;
        }
    }
    return found;
}

} // namespace

QList<FoundLink> links(QStringView text, TextSpan range)
{
    const qsizetype from = std::clamp<qsizetype>(range.location, 0, text.size());
    const qsizetype to = std::clamp<qsizetype>(range.end(), from, text.size());
    return scan(text, from, to);
}

std::optional<FoundLink> linkAt(qsizetype position, QStringView text)
{
    if (position < 0 || position >= text.size())
        return std::nullopt;
    const TextRange line = LineEditing::lineRange(text, position);
    for (const FoundLink& link : scan(text, line.lower, line.upper)) {
        if (link.range.location <= position && position < link.range.end())
            return link;
    }
    return std::nullopt;
}

std::optional<FoundLink> linkTouching(TextRange range, QStringView text)
{
    if (range.lower < 0 || range.upper < range.lower || range.upper > text.size() ||
        range.length() > 1'000'000)
        return std::nullopt;
    const TextRange lines = LineEditing::linesTouched(text, range);
    for (const FoundLink& link : scan(text, lines.lower, lines.upper)) {
        const qsizetype start = link.range.location, end = link.range.end();
        const bool touches = range.isEmpty() ? start <= range.lower && range.lower <= end
                                             : start < range.upper && range.lower < end;
        if (touches)
            return link;
    }
    return std::nullopt;
}

} // namespace LinkFinder
