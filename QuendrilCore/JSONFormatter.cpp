#include "QuendrilCore/JSONFormatter.h"

#include "QuendrilCore/JSONGrammar.h"
#include "QuendrilCore/JSONLexer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef __linux__
#include <sys/mman.h>
#endif
#ifdef __SSE2__
#include <emmintrin.h>
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
    qsizetype i = 0;
#ifdef __SSE2__
    // Per unit, the bytes beyond the first are 2 + (ASCII ? -1 : 0) + (below U+0800 ? -1 : 0)
    // + (surrogate ? -1 : 0); the comparisons give those -1s, summed in 16-bit lanes (at most
    // -2 a step, so 8,192 steps fit) and widened now and then.
    const __m128i zero = _mm_setzero_si128();
    const __m128i asciiBits = _mm_set1_epi16(short(0xff80));
    const __m128i highBits = _mm_set1_epi16(short(0xf800));
    const __m128i surrogate = _mm_set1_epi16(short(0xd800));
    const __m128i ones = _mm_set1_epi16(1);
    while (count - i >= 8) {
        const qsizetype steps = std::min<qsizetype>((count - i) / 8, 8192);
        __m128i sum = zero;
        for (qsizetype step = 0; step < steps; ++step, i += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
            const __m128i high = _mm_and_si128(v, highBits);
            sum = _mm_add_epi16(sum, _mm_cmpeq_epi16(_mm_and_si128(v, asciiBits), zero));
            sum = _mm_add_epi16(sum, _mm_cmpeq_epi16(high, zero));
            sum = _mm_add_epi16(sum, _mm_cmpeq_epi16(high, surrogate));
        }
        alignas(16) qint32 lanes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), _mm_madd_epi16(sum, ones));
        bytes += 2 * 8 * steps + qsizetype(lanes[0]) + lanes[1] + lanes[2] + lanes[3];
    }
#endif
    for (; i < count; ++i) {
        const char16_t c = units[i];
        bytes += qsizetype(c >= 0x80) + qsizetype(c >= 0x800) - qsizetype((c & 0xf800) == 0xd800);
    }
    return bytes;
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

// The output of one pretty-print, which refuses to grow past a limit in units. The output
// limit counts UTF-8 bytes whatever the unit; the caller turns it into units (see below).
template <typename Unit> class PrettyOutput {
public:
    PrettyOutput(qsizetype initialCapacity, qsizetype unitLimit)
        : m_limit(std::max<qsizetype>(unitLimit, 0))
    {
        allocate(std::min(initialCapacity, m_limit));
        m_cursor = m_begin;
    }

    // Makes room for `count` more units; false when the output would pass the limit.
    bool reserve(qsizetype count)
    {
        const qsizetype used = m_cursor - m_begin;
        if (count > m_limit - used)
            return false;
        if (m_end - m_cursor >= count)
            return true;
        const qsizetype capacity =
            std::min(m_limit, std::max<qsizetype>(2 * (m_end - m_begin), used + count));
        allocate(capacity);
        m_cursor = m_begin + used;
        return true;
    }

    // The writers below assume the room was reserved.
    void put(char c) { *m_cursor++ = Unit(c); }
    void put(const Unit* units, qsizetype count)
    {
        std::memcpy(m_cursor, units, size_t(count) * sizeof(Unit));
        m_cursor += count;
    }
    // Most tokens are short: they are copied as two 16-byte blocks, which may write into the
    // slack past the end and read past the token where the input goes on that far.
    void putToken(const Unit* units, qsizetype count, const Unit* inputEnd)
    {
#ifdef __SSE2__
        if (count <= slack && inputEnd - units >= slack) {
            const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units));
            const __m128i second =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + slack / 2));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(m_cursor), first);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(m_cursor + slack / 2), second);
            m_cursor += count;
            return;
        }
#else
        Q_UNUSED(inputEnd);
#endif
        put(units, count);
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
        m_text.resize(capacity + slack);
        m_begin = reinterpret_cast<Unit*>(m_text.data());
        m_end = m_begin + capacity;
        adviseHugePages(m_begin, capacity * qsizetype(sizeof(Unit)));
    }

    // Units allocated past the end for putToken.
    static constexpr qsizetype slack = 32 / sizeof(Unit);

    typename PrettyText<Unit>::Type m_text;
    Unit* m_begin = nullptr;
    Unit* m_cursor = nullptr;
    Unit* m_end = nullptr;
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
    // Everything outside strings is ASCII, and every string is copied once, so a complete
    // output takes exactly its units plus the input's bytes beyond one a unit. Output units past
    // the limit less those bytes therefore mean a result over the limit: the outcome is that of
    // counting the output's bytes, without counting them.
    const qsizetype unitLimit = limit - (trimmedBytes - length);
    const qsizetype width = std::max(indent, 0);
    PrettyOutput<Unit> out(2 * length, unitLimit);
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
            case JSONTokenKind::number:
            case JSONTokenKind::literal:
                if (!out.reserve(end - start))
                    return false;
                out.putToken(input + start, end - start, input + length);
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
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty() || (trimmed.front() != u'{' && trimmed.front() != u'['))
        return std::nullopt;
    const qsizetype trimmedBytes = utf8Length(trimmed.utf16(), trimmed.size());
    if (3 * text.size() > maxPrettyPrintBytes) {
        const qsizetype before = trimmed.utf16() - text.utf16();
        const qsizetype after = text.size() - before - trimmed.size();
        const qsizetype bytes = utf8Length(text.utf16(), before) + trimmedBytes +
                                utf8Length(trimmed.utf16() + trimmed.size(), after);
        if (bytes > maxPrettyPrintBytes)
            return std::nullopt;
    }
    return prettyPrintTrimmed(trimmed.utf16(), trimmed.size(), trimmedBytes, indent);
}

Result<EditResult, JSONFormatProblem> formatSelection(QStringView text, TextRange selection)
{
    const TextRange range = selection.isEmpty() ? TextRange{0, text.size()} : selection;
    const QStringView old = text.mid(range.lower, range.length());
    if (utf8Length(old.utf16(), old.size()) > maxPrettyPrintBytes)
        return unexpected(JSONFormatProblem::tooLarge);
    const std::optional<QString> pretty = prettyPrint(old, 4);
    if (!pretty)
        return unexpected(JSONFormatProblem::notValid);
    qsizetype lead = 0;
    while (lead < old.size() && old[lead].isSpace())
        ++lead;
    qsizetype trail = 0;
    while (trail < old.size() - lead && old[old.size() - 1 - trail].isSpace())
        ++trail;
    const QString replacement = QString(old.left(lead) + *pretty + old.right(trail));
    if (replacement == old)
        return unexpected(JSONFormatProblem::alreadyFormatted);
    const qsizetype start = range.lower + lead;
    const TextRange after =
        selection.isEmpty() ? TextRange{start, start} : TextRange{start, start + pretty->size()};
    return EditResult{TextEdit{range, replacement}, after};
}

} // namespace JSONFormatter
