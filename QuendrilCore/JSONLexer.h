#pragma once

#include "QuendrilCore/JSONToken.h"

#include <cstdint>
#include <type_traits>

// The one JSON lexer, written over the code-unit type so that UTF-8 bytes and UTF-16 code units
// share it. It never decodes characters: everything JSON gives meaning to is ASCII, and anything
// else is only allowed inside strings, where it is copied as it stands.
//
//   lexJSON(units, units + n, [&](JSONTokenKind kind, qsizetype start, qsizetype end) {
//       return wantMore; // false stops the run, which then reports failure
//   });
//
// Returns true when the end was reached with every token accepted; false at the first lexical
// error or when the sink said stop. Tab, LF, CR and space between tokens are skipped.
namespace JSONLexerDetail {

// 1 for the code units a string scan must stop at: quotation mark, backslash, controls.
inline constexpr auto stringStops = [] {
    struct Table {
        bool stop[256];
    } table{};
    for (int c = 0; c < 0x20; ++c)
        table.stop[c] = true;
    table.stop[int('"')] = true;
    table.stop[int('\\')] = true;
    return table;
}();

template <typename Unit> inline bool isDigit(Unit c)
{
    return unsigned(c) - '0' < 10u;
}

template <typename Unit> inline bool isHexDigit(Unit c)
{
    const unsigned u = unsigned(c);
    return u - '0' < 10u || (u | 0x20u) - 'a' < 6u;
}

template <typename Unit> inline bool isStringStop(Unit c)
{
    if constexpr (sizeof(Unit) == 1)
        return stringStops.stop[std::uint8_t(c)];
    else
        return c < 0x80 && stringStops.stop[c];
}

// Scans from just after the opening quotation mark; returns the position just after the closing
// one, or nullptr when the string is malformed or unclosed.
template <typename Unit> inline const Unit* scanString(const Unit* p, const Unit* end)
{
    for (;;) {
        while (p != end && !isStringStop(*p))
            ++p;
        if (p == end)
            return nullptr;
        const unsigned c = unsigned(*p);
        if (c == '"')
            return p + 1;
        if (c != '\\')
            return nullptr; // a raw control character
        ++p;
        if (p == end)
            return nullptr;
        switch (unsigned(*p)) {
        case '"':
        case '\\':
        case '/':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't':
            ++p;
            break;
        case 'u':
            if (end - p < 5 || !isHexDigit(p[1]) || !isHexDigit(p[2]) || !isHexDigit(p[3]) ||
                !isHexDigit(p[4]))
                return nullptr;
            p += 5;
            break;
        default:
            return nullptr;
        }
    }
}

// Scans a number from its first unit (a minus sign or a digit); nullptr on a malformed one.
template <typename Unit> inline const Unit* scanNumber(const Unit* p, const Unit* end)
{
    if (*p == '-')
        ++p;
    if (p == end || !isDigit(*p))
        return nullptr;
    if (*p == '0') {
        ++p;
    } else {
        while (p != end && isDigit(*p))
            ++p;
    }
    if (p != end && *p == '.') {
        ++p;
        if (p == end || !isDigit(*p))
            return nullptr;
        while (p != end && isDigit(*p))
            ++p;
    }
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p != end && (*p == '+' || *p == '-'))
            ++p;
        if (p == end || !isDigit(*p))
            return nullptr;
        while (p != end && isDigit(*p))
            ++p;
    }
    return p;
}

template <typename Unit> inline bool startsWithWord(const Unit* p, const Unit* end, const char* word,
                                                    int length)
{
    if (end - p < length)
        return false;
    for (int i = 0; i < length; ++i) {
        if (unsigned(p[i]) != unsigned(word[i]))
            return false;
    }
    return true;
}

} // namespace JSONLexerDetail

template <typename Unit, typename Sink>
inline bool lexJSON(const Unit* const begin, const Unit* const end, Sink&& sink)
{
    static_assert(sizeof(Unit) == 1 || sizeof(Unit) == 2, "UTF-8 bytes or UTF-16 code units");
    using namespace JSONLexerDetail;
    const Unit* p = begin;
    while (p != end) {
        const Unit* const start = p;
        JSONTokenKind kind;
        switch (unsigned(std::make_unsigned_t<Unit>(*p))) {
        case ' ':
        case '\t':
        case '\n':
        case '\r':
            ++p;
            continue;
        case '{':
            kind = JSONTokenKind::beginObject;
            ++p;
            break;
        case '}':
            kind = JSONTokenKind::endObject;
            ++p;
            break;
        case '[':
            kind = JSONTokenKind::beginArray;
            ++p;
            break;
        case ']':
            kind = JSONTokenKind::endArray;
            ++p;
            break;
        case ':':
            kind = JSONTokenKind::colon;
            ++p;
            break;
        case ',':
            kind = JSONTokenKind::comma;
            ++p;
            break;
        case '"':
            p = scanString(p + 1, end);
            if (!p)
                return false;
            kind = JSONTokenKind::string;
            break;
        case '-':
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9':
            p = scanNumber(p, end);
            if (!p)
                return false;
            kind = JSONTokenKind::number;
            break;
        case 't':
            if (!startsWithWord(p, end, "true", 4))
                return false;
            p += 4;
            kind = JSONTokenKind::literal;
            break;
        case 'f':
            if (!startsWithWord(p, end, "false", 5))
                return false;
            p += 5;
            kind = JSONTokenKind::literal;
            break;
        case 'n':
            if (!startsWithWord(p, end, "null", 4))
                return false;
            p += 4;
            kind = JSONTokenKind::literal;
            break;
        default:
            return false;
        }
        if (!sink(kind, qsizetype(start - begin), qsizetype(p - begin)))
            return false;
    }
    return true;
}
