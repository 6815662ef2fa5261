#include "QuendrilCore/AddOn.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <memory>

namespace {

// Spaces and tabs of every kind, but not line breaks.
bool isHorizontalSpace(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

bool isLineBreak(QChar c)
{
    return (c >= u'\n' && c <= u'\r') || c == QChar(0x85) || c == QChar(0x2028) ||
           c == QChar(0x2029);
}

template <typename Predicate> QStringView trimmed(QStringView text, Predicate isSpace)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpace(text[begin]))
        ++begin;
    while (end > begin && isSpace(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

icu::UnicodeString aliased(QStringView text)
{
    // A read-only alias: no copy of a large input.
    return icu::UnicodeString(false, reinterpret_cast<const UChar*>(text.utf16()),
                              static_cast<int32_t>(text.size()));
}

std::unique_ptr<icu::RegexPattern> compiled(const QString& pattern)
{
    UParseError where{};
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexPattern> result(
        icu::RegexPattern::compile(aliased(pattern), 0, where, status));
    if (U_FAILURE(status))
        return nullptr;
    return result;
}

// A pattern with runaway backtracking must not hang the menu: past this many steps of the
// matcher (roughly milliseconds), the pattern counts as not matching.
constexpr int32_t matchStepLimit = 500;

} // namespace

QString AddOn::inputValue(Input input)
{
    switch (input) {
    case Input::selection:
        return QStringLiteral("selection");
    case Input::link:
        return QStringLiteral("link");
    }
    return {};
}

Result<std::optional<AddOn>, AddOn::HeaderProblem> AddOn::parse(QStringView header)
{
    std::optional<QString> name;
    std::optional<QString> input;
    std::optional<QString> showWhen;

    int lineNumber = 0;
    for (QStringView line : header.tokenize(u'\n')) {
        if (++lineNumber > headerLines)
            break;
        QStringView rest = trimmed(line, isHorizontalSpace);
        if (rest.startsWith(u"//"))
            rest = rest.sliced(2);
        else if (rest.startsWith(u'#'))
            rest = rest.sliced(1);
        else
            continue;
        const qsizetype colon = rest.indexOf(u':');
        if (colon < 0)
            continue;
        const QString key = trimmed(rest.first(colon), isHorizontalSpace).toString().toLower();
        const QString value = trimmed(rest.sliced(colon + 1), [](QChar c) {
                                  return isHorizontalSpace(c) || isLineBreak(c);
                              }).toString();
        std::optional<QString>* slot = key == u"name"        ? &name
                                       : key == u"input"     ? &input
                                       : key == u"show-when" ? &showWhen
                                                             : nullptr;
        if (slot && !slot->has_value())
            *slot = value;
    }

    if (!name || name->isEmpty())
        return std::optional<AddOn>();

    AddOn addOn{*name, Input::selection, std::nullopt};
    if (input) {
        const QString word = input->toLower();
        if (word == u"selection")
            addOn.input = Input::selection;
        else if (word == u"link")
            addOn.input = Input::link;
        else
            return unexpected(HeaderProblem{HeaderProblem::Kind::unknownInput, *input});
    }
    if (showWhen && !showWhen->isEmpty()) {
        if (!compiled(*showWhen))
            return unexpected(HeaderProblem{HeaderProblem::Kind::badPattern, *showWhen});
        addOn.showWhen = *showWhen;
    }
    return std::optional<AddOn>(std::move(addOn));
}

bool AddOn::applies(QStringView text) const
{
    if (text.isEmpty() || text.size() > maxInput)
        return false;
    if (!showWhen)
        return true;
    const std::unique_ptr<icu::RegexPattern> pattern = compiled(*showWhen);
    if (!pattern)
        return false;
    const icu::UnicodeString subject = aliased(text);
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(subject, status));
    if (U_FAILURE(status))
        return false;
    matcher->setTimeLimit(matchStepLimit, status);
    const bool found = matcher->find(status);
    return U_SUCCESS(status) && found;
}
