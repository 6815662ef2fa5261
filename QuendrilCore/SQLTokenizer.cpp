#include "QuendrilCore/SQLTokenizer.h"

#include <algorithm>
#include <array>

namespace SQLTokenizer {

namespace {

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool isLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isOperator(char16_t c)
{
    return QStringView(u"=<>!+*/%-").contains(QChar(c));
}

bool isComparison(char16_t c)
{
    return c == u'=' || c == u'<' || c == u'>';
}

// The longest keyword has 11 letters, so longer words need no look-up.
constexpr qsizetype longestKeyword = 16;

bool isKeyword(QStringView word)
{
    if (word.size() > longestKeyword)
        return false;
    std::array<char16_t, longestKeyword> upper;
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t c = word[i].unicode();
        upper[size_t(i)] = (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
    }
    return keywords().contains(std::u16string_view(upper.data(), size_t(word.size())));
}

} // namespace

const std::unordered_set<std::u16string_view>& keywords()
{
    static const std::unordered_set<std::u16string_view> set{
        u"SELECT",    u"FROM",     u"WHERE",      u"INSERT",   u"INTO",        u"VALUES",
        u"UPDATE",    u"SET",      u"DELETE",     u"JOIN",     u"LEFT",        u"RIGHT",
        u"INNER",     u"OUTER",    u"FULL",       u"CROSS",    u"ON",          u"AND",
        u"OR",        u"NOT",      u"NULL",       u"IS",       u"IN",          u"AS",
        u"ORDER",     u"BY",       u"GROUP",      u"HAVING",   u"LIMIT",       u"OFFSET",
        u"CREATE",    u"TABLE",    u"ALTER",      u"DROP",     u"INDEX",       u"PRIMARY",
        u"KEY",       u"FOREIGN",  u"REFERENCES", u"DISTINCT", u"UNION",       u"ALL",
        u"CASE",      u"WHEN",     u"THEN",       u"ELSE",     u"END",         u"BEGIN",
        u"COMMIT",    u"ROLLBACK", u"LIKE",       u"ILIKE",    u"BETWEEN",     u"EXISTS",
        u"RETURNING", u"WITH",     u"ASC",        u"DESC",     u"TRUE",        u"FALSE",
        u"DEFAULT",   u"UNIQUE",   u"CONSTRAINT", u"CHECK",    u"VIEW",        u"IF",
        u"ADD",       u"COLUMN",   u"RENAME",     u"TO",       u"GRANT",       u"REVOKE",
        u"TRUNCATE",  u"EXPLAIN",  u"ANALYZE",    u"COUNT",    u"SUM",         u"AVG",
        u"MIN",       u"MAX",      u"COALESCE",   u"CAST",     u"INTERVAL",    u"USING",
        u"LATERAL",   u"OVER",     u"PARTITION",  u"WINDOW",   u"FILTER",      u"ANY",
        u"SOME",      u"CONFLICT", u"DO",         u"NOTHING",  u"TRANSACTION", u"SCHEMA",
        u"SEQUENCE",  u"TRIGGER",  u"FUNCTION",   u"RETURNS",  u"LANGUAGE"};
    return set;
}

QList<CodeToken> tokens(QStringView text, TextSpan range)
{
    const qsizetype start = std::clamp<qsizetype>(range.location, 0, text.size());
    const qsizetype end = std::clamp<qsizetype>(range.end(), start, text.size());
    const auto unit = [&](qsizetype i) -> char16_t { return i < end ? text[i].unicode() : 0; };
    QList<CodeToken> tokens;
    const auto emit = [&](CodeTokenKind kind, qsizetype from, qsizetype to) {
        tokens.append({kind, {from, to - from}});
    };
    for (qsizetype at = start; at < end;) {
        const char16_t c = unit(at);
        const qsizetype from = at;
        if (c == u'-' && unit(at + 1) == u'-') {
            while (at < end && unit(at) != u'\n')
                ++at;
            emit(CodeTokenKind::comment, from, at);
        } else if (c == u'/' && unit(at + 1) == u'*') {
            at += 2;
            while (at < end && !(unit(at) == u'*' && unit(at + 1) == u'/'))
                ++at;
            at = std::min(at + 2, end);
            emit(CodeTokenKind::comment, from, at);
        } else if (c == u'\'') {
            for (++at; at < end; ++at) {
                if (unit(at) != u'\'')
                    continue;
                if (unit(at + 1) != u'\'')
                    break;
                ++at;
            }
            at = std::min(at + 1, end);
            emit(CodeTokenKind::string, from, at);
        } else if (c == u'"') {
            ++at;
            while (at < end && unit(at) != u'"')
                ++at;
            at = std::min(at + 1, end);
        } else if (isDigit(c)) {
            while (at < end && isDigit(unit(at)))
                ++at;
            if (unit(at) == u'.' && isDigit(unit(at + 1))) {
                at += 1;
                while (at < end && isDigit(unit(at)))
                    ++at;
            }
            emit(CodeTokenKind::number, from, at);
        } else if (isLetter(c) || c == u'_') {
            while (at < end && (isLetter(unit(at)) || isDigit(unit(at)) || unit(at) == u'_' ||
                                unit(at) == u'$'))
                ++at;
            if (isKeyword(text.sliced(from, at - from)))
                emit(CodeTokenKind::keyword, from, at);
        } else if (isOperator(c)) {
            ++at;
            while (at < end && isComparison(unit(at)))
                ++at;
            emit(CodeTokenKind::operator_, from, at);
        } else {
            ++at;
        }
    }
    return tokens;
}

} // namespace SQLTokenizer
