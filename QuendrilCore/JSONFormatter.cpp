#include "QuendrilCore/JSONFormatter.h"

#include "QuendrilCore/JSONGrammar.h"
#include "QuendrilCore/JSONLexer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef __linux__
#include <sys/mman.h>
#endif

static_assert(JSONFormatter::maxDepth == JSONGrammar::maxDepth);

namespace {

template <typename Unit> bool isValidJSON(const Unit* begin, const Unit* end)
{
    JSONGrammar grammar;
    const bool lexed = lexJSON(begin, end, [&grammar](JSONTokenKind kind, qsizetype, qsizetype) {
        return grammar.feed(kind);
    });
    return lexed && grammar.isComplete();
}

// Length of the Unicode white space or line break (QChar::isSpace) that starts at p, or 0.
qsizetype spaceAtStart(const unsigned char* p, const unsigned char* end)
{
    const qsizetype available = end - p;
    const unsigned c = p[0];
    if (c == ' ' || (c >= 0x09 && c <= 0x0d))
        return 1;
    if (c == 0xc2 && available >= 2)
        return p[1] == 0x85 || p[1] == 0xa0 ? 2 : 0;
    if (available < 3)
        return 0;
    const unsigned c1 = p[1];
    const unsigned c2 = p[2];
    if (c == 0xe1)
        return c1 == 0x9a && c2 == 0x80 ? 3 : 0; // U+1680
    if (c == 0xe2 && c1 == 0x80)                 // U+2000..U+200A, U+2028, U+2029, U+202F
        return (c2 >= 0x80 && c2 <= 0x8a) || c2 == 0xa8 || c2 == 0xa9 || c2 == 0xaf ? 3 : 0;
    if (c == 0xe2 && c1 == 0x81)
        return c2 == 0x9f ? 3 : 0; // U+205F
    if (c == 0xe3)
        return c1 == 0x80 && c2 == 0x80 ? 3 : 0; // U+3000
    return 0;
}

// Length of the Unicode white space or line break that ends just before end, or 0.
qsizetype spaceAtEnd(const unsigned char* begin, const unsigned char* end)
{
    const qsizetype available = end - begin;
    for (const qsizetype length : {1, 2, 3}) {
        if (available >= length && spaceAtStart(end - length, end) == length)
            return length;
    }
    return 0;
}

QByteArrayView trimmedUTF8(QByteArrayView utf8)
{
    auto begin = reinterpret_cast<const unsigned char*>(utf8.data());
    auto end = begin + utf8.size();
    while (begin != end) {
        const qsizetype length = spaceAtStart(begin, end);
        if (length == 0)
            break;
        begin += length;
    }
    while (begin != end) {
        const qsizetype length = spaceAtEnd(begin, end);
        if (length == 0)
            break;
        end -= length;
    }
    return QByteArrayView(reinterpret_cast<const char*>(begin), end - begin);
}

// Bytes of UTF-8 that the UTF-16 units stand for; a surrogate counts 2, half of its pair's 4.
qsizetype utf8Length(const char16_t* units, qsizetype count)
{
    qsizetype bytes = count;
    for (qsizetype i = 0; i < count; ++i) {
        const char16_t c = units[i];
        bytes += qsizetype(c >= 0x80) + qsizetype(c >= 0x800) - qsizetype((c & 0xf800) == 0xd800);
    }
    return bytes;
}

qsizetype utf8Length(const char*, qsizetype count)
{
    return count;
}

// A fresh buffer of many megabytes costs a page fault every 4 KiB as it is first written,
// which can take longer than the printing itself; huge pages take a fault every 2 MiB.
void adviseHugePages(void* start, qsizetype bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t hugePage = 2 * 1024 * 1024;
    const std::uintptr_t first = (std::uintptr_t(start) + hugePage - 1) & ~(hugePage - 1);
    const std::uintptr_t last = (std::uintptr_t(start) + std::uintptr_t(bytes)) & ~(hugePage - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    Q_UNUSED(start);
    Q_UNUSED(bytes);
#endif
}

// The text a pretty-print writes: UTF-8 bytes or UTF-16 code units.
template <typename Unit> struct PrettyText;
template <> struct PrettyText<char> {
    using Type = QByteArray;
};
template <> struct PrettyText<char16_t> {
    using Type = QString;
};

// The output of one pretty-print, which refuses to grow past the output limit. The limit counts
// UTF-8 bytes whatever the unit, so that both paths accept and refuse the same texts.
template <typename Unit> class PrettyOutput {
public:
    PrettyOutput(qsizetype initialCapacity, qsizetype limit)
        : m_limit(limit)
    {
        allocate(std::min(initialCapacity, limit));
        m_cursor = m_begin;
    }

    // Makes room for `count` more units that take `bytes` bytes of UTF-8; false when the output
    // would pass the limit. A unit takes at least one byte, so the limit also bounds the units.
    bool reserve(qsizetype count, qsizetype bytes)
    {
        if (bytes > m_limit - m_bytes)
            return false;
        m_bytes += bytes;
        if (m_end - m_cursor >= count)
            return true;
        const qsizetype used = m_cursor - m_begin;
        const qsizetype capacity =
            std::min(m_limit, std::max<qsizetype>(2 * (m_end - m_begin), used + count));
        allocate(capacity);
        m_cursor = m_begin + used;
        return true;
    }
    // Room for ASCII, one byte a unit.
    bool reserve(qsizetype count) { return reserve(count, count); }

    // The writers below assume the room was reserved.
    void put(char c) { *m_cursor++ = Unit(c); }
    void put(const Unit* units, qsizetype count)
    {
        std::memcpy(m_cursor, units, size_t(count) * sizeof(Unit));
        m_cursor += count;
    }
    void putSpaces(qsizetype count)
    {
        if constexpr (sizeof(Unit) == 1) {
            std::memset(m_cursor, ' ', size_t(count));
            m_cursor += count;
        } else {
            m_cursor = std::fill_n(m_cursor, count, Unit(' '));
        }
    }

    typename PrettyText<Unit>::Type take()
    {
        m_text.resize(m_cursor - m_begin);
        return std::move(m_text);
    }

private:
    void allocate(qsizetype capacity)
    {
        m_text.resize(capacity);
        m_begin = reinterpret_cast<Unit*>(m_text.data());
        m_end = m_begin + capacity;
        adviseHugePages(m_begin, capacity * qsizetype(sizeof(Unit)));
    }

    typename PrettyText<Unit>::Type m_text;
    Unit* m_begin = nullptr;
    Unit* m_cursor = nullptr;
    Unit* m_end = nullptr;
    qsizetype m_bytes = 0;
    qsizetype m_limit;
};

// Lexes, checks and writes in one pass over text already trimmed and known to start with a
// bracket; `trimmedBytes` is its length in UTF-8.
template <typename Unit>
std::optional<typename PrettyText<Unit>::Type>
prettyPrintTrimmed(const Unit* const input, qsizetype length, qsizetype trimmedBytes, int indent)
{
    const qsizetype limit = std::clamp(20 * trimmedBytes, qsizetype(4'000'000),
                                       JSONFormatter::maxPrettyPrintOutputBytes);
    const qsizetype width = std::max(indent, 0);
    PrettyOutput<Unit> out(2 * length, limit);
    JSONGrammar grammar;
    qsizetype depth = 0;
    char pending = 0; // an opening bracket not written yet, so that "{}" and "[]" stay together

    const auto newline = [&out, &depth, width] {
        const qsizetype count = depth * width;
        if (!out.reserve(1 + count))
            return false;
        out.put('\n');
        out.putSpaces(count);
        return true;
    };

    const bool lexed =
        lexJSON(input, input + length, [&](JSONTokenKind kind, qsizetype start, qsizetype end) {
            if (!grammar.feed(kind))
                return false;
            if (pending) {
                if (kind == JSONTokenKind::endObject || kind == JSONTokenKind::endArray) {
                    if (!out.reserve(2))
                        return false;
                    out.put(pending);
                    out.put(char(input[start]));
                    pending = 0;
                    return true;
                }
                if (!out.reserve(1))
                    return false;
                out.put(pending);
                pending = 0;
                ++depth;
                if (!newline())
                    return false;
            }
            switch (kind) {
            case JSONTokenKind::beginObject:
            case JSONTokenKind::beginArray:
                pending = char(input[start]);
                return true;
            case JSONTokenKind::endObject:
            case JSONTokenKind::endArray:
                --depth;
                if (!newline() || !out.reserve(1))
                    return false;
                out.put(char(input[start]));
                return true;
            case JSONTokenKind::colon:
                if (!out.reserve(2))
                    return false;
                out.put(':');
                out.put(' ');
                return true;
            case JSONTokenKind::comma:
                if (!out.reserve(1))
                    return false;
                out.put(',');
                return newline();
            case JSONTokenKind::string:
                if (!out.reserve(end - start, utf8Length(input + start, end - start)))
                    return false;
                out.put(input + start, end - start);
                return true;
            case JSONTokenKind::number:
            case JSONTokenKind::literal:
                if (!out.reserve(end - start))
                    return false;
                out.put(input + start, end - start);
                return true;
            }
            return false;
        });
    if (!lexed || !grammar.isComplete())
        return std::nullopt;
    return out.take();
}

} // namespace

namespace JSONFormatter {

bool isValid(QByteArrayView utf8)
{
    return isValidJSON(utf8.data(), utf8.data() + utf8.size());
}

bool isValid(QStringView units)
{
    return isValidJSON(units.utf16(), units.utf16() + units.size());
}

std::optional<QList<JSONToken>> tokenize(QStringView units, qsizetype offset)
{
    const char16_t* const begin = units.utf16();
    const char16_t* const end = begin + units.size();
    // Counting first costs a second lexing pass but saves growing a list of up to a few hundred
    // megabytes step by step, which is slower.
    qsizetype count = 0;
    if (!lexJSON(begin, end, [&count](JSONTokenKind, qsizetype, qsizetype) {
            ++count;
            return true;
        }))
        return std::nullopt;
    QList<JSONToken> tokens;
    tokens.reserve(count);
    adviseHugePages(tokens.data(), count * qsizetype(sizeof(JSONToken)));
    lexJSON(begin, end, [&tokens, offset](JSONTokenKind kind, qsizetype start, qsizetype end) {
        tokens.append(JSONToken{kind, {start + offset, end + offset}});
        return true;
    });
    return tokens;
}

std::optional<QByteArray> prettyPrintUTF8(QByteArrayView utf8, int indent)
{
    if (utf8.size() > maxPrettyPrintBytes)
        return std::nullopt;
    const QByteArrayView trimmed = trimmedUTF8(utf8);
    if (trimmed.isEmpty() || (trimmed.front() != '{' && trimmed.front() != '['))
        return std::nullopt;
    return prettyPrintTrimmed(trimmed.data(), trimmed.size(), trimmed.size(), indent);
}

// Works on the UTF-16 units directly, sparing two conversions of the whole text; sizes and
// limits are still counted in UTF-8 bytes, so the outcome is the same as over UTF-8.
std::optional<QString> prettyPrint(QStringView text, int indent)
{
    // A UTF-16 unit takes one to three bytes of UTF-8.
    if (text.size() > maxPrettyPrintBytes)
        return std::nullopt;
    if (3 * text.size() > maxPrettyPrintBytes &&
        utf8Length(text.utf16(), text.size()) > maxPrettyPrintBytes)
        return std::nullopt;
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty() || (trimmed.front() != u'{' && trimmed.front() != u'['))
        return std::nullopt;
    return prettyPrintTrimmed(trimmed.utf16(), trimmed.size(),
                              utf8Length(trimmed.utf16(), trimmed.size()), indent);
}

} // namespace JSONFormatter
