#include "QuendrilCore/JSONFormatter.h"

#include "QuendrilCore/JSONGrammar.h"
#include "QuendrilCore/JSONLexer.h"

#include <algorithm>
#include <cstring>

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
    if (c == 0xe2 && c1 == 0x80) // U+2000..U+200A, U+2028, U+2029, U+202F
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

// The output of one pretty-print: a byte buffer that refuses to grow past the output limit.
class PrettyOutput {
public:
    PrettyOutput(qsizetype initialCapacity, qsizetype limit) : m_limit(limit)
    {
        m_buffer.resize(std::min(initialCapacity, limit));
        m_begin = m_buffer.data();
        m_cursor = m_begin;
        m_end = m_begin + m_buffer.size();
    }

    // Makes room for `count` more bytes; false when the output would pass the limit. The
    // capacity never exceeds the limit, so room in the buffer is always within it.
    bool reserve(qsizetype count)
    {
        if (m_end - m_cursor >= count)
            return true;
        const qsizetype used = m_cursor - m_begin;
        if (count > m_limit - used)
            return false;
        const qsizetype capacity = std::min(m_limit, std::max<qsizetype>(2 * (m_end - m_begin), used + count));
        m_buffer.resize(capacity);
        m_begin = m_buffer.data();
        m_cursor = m_begin + used;
        m_end = m_begin + capacity;
        return true;
    }

    // The writers below assume the room was reserved.
    void put(char c) { *m_cursor++ = c; }
    void put(const char* bytes, qsizetype count)
    {
        std::memcpy(m_cursor, bytes, size_t(count));
        m_cursor += count;
    }
    void putSpaces(qsizetype count)
    {
        std::memset(m_cursor, ' ', size_t(count));
        m_cursor += count;
    }

    QByteArray take()
    {
        m_buffer.resize(m_cursor - m_begin);
        return std::move(m_buffer);
    }

private:
    QByteArray m_buffer;
    char* m_begin = nullptr;
    char* m_cursor = nullptr;
    char* m_end = nullptr;
    qsizetype m_limit;
};

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
    QList<JSONToken> tokens;
    const bool lexed = lexJSON(units.utf16(), units.utf16() + units.size(),
                               [&tokens, offset](JSONTokenKind kind, qsizetype start, qsizetype end) {
                                   tokens.append(JSONToken{kind, {start + offset, end + offset}});
                                   return true;
                               });
    if (!lexed)
        return std::nullopt;
    return tokens;
}

std::optional<QByteArray> prettyPrintUTF8(QByteArrayView utf8, int indent)
{
    if (utf8.size() > maxPrettyPrintBytes)
        return std::nullopt;
    const QByteArrayView trimmed = trimmedUTF8(utf8);
    if (trimmed.isEmpty() || (trimmed.front() != '{' && trimmed.front() != '['))
        return std::nullopt;

    const qsizetype limit =
        std::clamp(20 * trimmed.size(), qsizetype(4'000'000), maxPrettyPrintOutputBytes);
    const qsizetype width = std::max(indent, 0);
    PrettyOutput out(2 * trimmed.size(), limit);
    JSONGrammar grammar;
    const char* const input = trimmed.data();
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

    const bool lexed = lexJSON(input, input + trimmed.size(), [&](JSONTokenKind kind,
                                                                  qsizetype start, qsizetype end) {
        if (!grammar.feed(kind))
            return false;
        if (pending) {
            if (kind == JSONTokenKind::endObject || kind == JSONTokenKind::endArray) {
                if (!out.reserve(2))
                    return false;
                out.put(pending);
                out.put(input[start]);
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
            pending = input[start];
            return true;
        case JSONTokenKind::endObject:
        case JSONTokenKind::endArray:
            --depth;
            if (!newline() || !out.reserve(1))
                return false;
            out.put(input[start]);
            return true;
        case JSONTokenKind::colon:
            if (!out.reserve(2))
                return false;
            out.put(": ", 2);
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
            out.put(input + start, end - start);
            return true;
        }
        return false;
    });
    if (!lexed || !grammar.isComplete())
        return std::nullopt;
    return out.take();
}

std::optional<QString> prettyPrint(QStringView text, int indent)
{
    // Every UTF-16 unit takes at least one UTF-8 byte, so a long text need not be converted.
    if (text.size() > maxPrettyPrintBytes)
        return std::nullopt;
    const std::optional<QByteArray> printed = prettyPrintUTF8(text.toUtf8(), indent);
    if (!printed)
        return std::nullopt;
    return QString::fromUtf8(*printed);
}

} // namespace JSONFormatter
