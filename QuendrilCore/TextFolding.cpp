#include "QuendrilCore/TextFolding.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf16.h>

#include <array>
#include <cstring>
#include <memory>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// The three normalizers are immutable singletons that ICU shares between threads.
struct Normalizers {
    const icu::Normalizer2* caseFold = nullptr;
    const icu::Normalizer2* decompose = nullptr;
    const icu::Normalizer2* compose = nullptr;
};

const Normalizers& normalizers()
{
    static const Normalizers instances = [] {
        Normalizers n;
        UErrorCode status = U_ZERO_ERROR;
        n.caseFold = icu::Normalizer2::getNFKCCasefoldInstance(status);
        n.decompose = icu::Normalizer2::getNFDInstance(status);
        n.compose = icu::Normalizer2::getNFCInstance(status);
        if (U_FAILURE(status))
            n = Normalizers{};
        return n;
    }();
    return instances;
}

// Folds one normalisation chunk (a starter with what may combine with it) into `result`.
// A chunk never interacts with its neighbours, which is what lets the caller fold text piece
// by piece and map every piece back to its origin.
void foldChunk(const char16_t* units, qsizetype length, icu::UnicodeString& result)
{
    thread_local icu::UnicodeString folded;
    thread_local icu::UnicodeString decomposed;
    thread_local icu::UnicodeString bare;
    const Normalizers& n = normalizers();
    const icu::UnicodeString source(false, units, int32_t(length));
    if (!n.caseFold) {
        result = source;
        return;
    }
    UErrorCode status = U_ZERO_ERROR;
    n.caseFold->normalize(source, folded, status);
    n.decompose->normalize(folded, decomposed, status);
    bare.remove();
    for (int32_t i = 0; i < decomposed.length();) {
        const UChar32 c = decomposed.char32At(i);
        if (u_charType(c) != U_NON_SPACING_MARK)
            bare.append(c);
        i += U16_LENGTH(c);
    }
    n.compose->normalize(bare, result, status);
    if (U_FAILURE(status))
        result = source;
    // A lone surrogate is not text; both sinks must see the same replacement for it.
    for (int32_t i = 0; i < result.length(); ++i) {
        const UChar unit = result.charAt(i);
        if (U16_IS_LEAD(unit) && i + 1 < result.length() && U16_IS_TRAIL(result.charAt(i + 1)))
            ++i;
        else if (U16_IS_SURROGATE(unit))
            result.setCharAt(i, 0xfffd);
    }
}

bool hasBoundaryBefore(char32_t c)
{
    const Normalizers& n = normalizers();
    return !n.caseFold || n.caseFold->hasBoundaryBefore(UChar32(c));
}

char32_t codePointAt(const char16_t* units, qsizetype i, qsizetype n, qsizetype* length)
{
    const char16_t unit = units[i];
    if (QChar::isHighSurrogate(unit) && i + 1 < n && QChar::isLowSurrogate(units[i + 1])) {
        *length = 2;
        return QChar::surrogateToUcs4(unit, units[i + 1]);
    }
    *length = 1;
    return unit;
}

constexpr char lowerAscii(char16_t unit)
{
    return char(unit >= 'A' && unit <= 'Z' ? unit + 32 : unit);
}

// Folded UTF-8 of single BMP characters, filled as they are met: most non-ASCII characters in
// prose are lone accented letters, and ICU's three passes cost far more than a table look-up.
class SingleCharCache {
public:
    static constexpr char16_t limit = 0x3000;

    // Appends the folded form of `unit` (a whole chunk) to `out`; false when not cacheable.
    template <typename Sink> bool append(char16_t unit, Sink& sink)
    {
        if (unit >= limit)
            return false;
        if (!m_entries)
            m_entries = std::make_unique<std::array<Entry, limit>>();
        Entry& entry = (*m_entries)[unit];
        if (entry.length == unknown) {
            thread_local icu::UnicodeString result;
            const char16_t single = unit;
            foldChunk(&single, 1, result);
            const std::string utf8 = result.toUTF8String(utf8Scratch());
            if (utf8.size() > sizeof entry.bytes) {
                entry.length = uncacheable;
            } else {
                entry.length = uint8_t(utf8.size());
                std::memcpy(entry.bytes, utf8.data(), utf8.size());
            }
        }
        if (entry.length == uncacheable)
            return false;
        sink.appendBytes(entry.bytes, entry.length);
        return true;
    }

private:
    static constexpr uint8_t unknown = 0xff;
    static constexpr uint8_t uncacheable = 0xfe;
    struct Entry {
        uint8_t length = unknown;
        char bytes[7];
    };
    static std::string& utf8Scratch()
    {
        thread_local std::string scratch;
        scratch.clear();
        return scratch;
    }
    std::unique_ptr<std::array<Entry, limit>> m_entries;
};

SingleCharCache& singleCharCache()
{
    thread_local SingleCharCache cache;
    return cache;
}

// Collects folded UTF-8 in a buffer that grows by doubling.
class Utf8Sink {
public:
    static constexpr bool usesCache = true;

    explicit Utf8Sink(qsizetype expected) { m_bytes.resize(expected + 64); }

    char* reserve(qsizetype count)
    {
        if (m_length + count > m_bytes.size())
            m_bytes.resize(std::max(m_bytes.size() * 2, m_length + count + 64));
        return m_bytes.data() + m_length;
    }
    void commit(qsizetype count) { m_length += count; }
    void appendBytes(const char* bytes, qsizetype count)
    {
        std::memcpy(reserve(count), bytes, size_t(count));
        m_length += count;
    }
    void appendAscii(char byte, qsizetype)
    {
        *reserve(1) = byte;
        ++m_length;
    }
    void popAscii() { --m_length; }
    void appendChunk(const icu::UnicodeString& folded, qsizetype, qsizetype)
    {
        char* out = reserve(qsizetype(folded.length()) * 3);
        qsizetype written = 0;
        for (int32_t i = 0; i < folded.length();) {
            const UChar32 c = folded.char32At(i);
            i += U16_LENGTH(c);
            if (c < 0x80) {
                out[written++] = char(c);
            } else if (c < 0x800) {
                out[written++] = char(0xc0 | (c >> 6));
                out[written++] = char(0x80 | (c & 0x3f));
            } else if (c < 0x10000) {
                out[written++] = char(0xe0 | (c >> 12));
                out[written++] = char(0x80 | ((c >> 6) & 0x3f));
                out[written++] = char(0x80 | (c & 0x3f));
            } else {
                out[written++] = char(0xf0 | (c >> 18));
                out[written++] = char(0x80 | ((c >> 12) & 0x3f));
                out[written++] = char(0x80 | ((c >> 6) & 0x3f));
                out[written++] = char(0x80 | (c & 0x3f));
            }
        }
        m_length += written;
    }
    QByteArray take()
    {
        m_bytes.truncate(m_length);
        return std::move(m_bytes);
    }

private:
    QByteArray m_bytes;
    qsizetype m_length = 0;
};

// Collects folded UTF-16 with the origin of every unit.
class MapSink {
public:
    static constexpr bool usesCache = false;

    explicit MapSink(qsizetype expected)
    {
        m_result.folded.reserve(expected);
        m_result.originStart.reserve(size_t(expected));
        m_result.originEnd.reserve(size_t(expected));
    }
    void appendBytes(const char*, qsizetype) {}
    void appendAscii(char byte, qsizetype position)
    {
        m_result.folded.append(QLatin1Char(byte));
        m_result.originStart.push_back(position);
        m_result.originEnd.push_back(position + 1);
    }
    void popAscii()
    {
        m_result.folded.chop(1);
        m_result.originStart.pop_back();
        m_result.originEnd.pop_back();
    }
    void appendChunk(const icu::UnicodeString& folded, qsizetype start, qsizetype end)
    {
        m_result.folded.append(
            QStringView(reinterpret_cast<const char16_t*>(folded.getBuffer()), folded.length()));
        m_result.originStart.insert(m_result.originStart.end(), size_t(folded.length()), start);
        m_result.originEnd.insert(m_result.originEnd.end(), size_t(folded.length()), end);
    }
    TextFolding::Mapped take() { return std::move(m_result); }

private:
    TextFolding::Mapped m_result;
};

// Lower-cases a run of ASCII sixteen units at a time; returns where the run stopped.
qsizetype foldAsciiBlocks(const char16_t* units, qsizetype i, qsizetype n, Utf8Sink& sink)
{
#ifdef __SSE2__
    const __m128i upperA = _mm_set1_epi8('A' - 1);
    const __m128i upperZ = _mm_set1_epi8('Z' + 1);
    const __m128i caseBit = _mm_set1_epi8(0x20);
    const __m128i highBits = _mm_set1_epi16(short(0xff80));
    while (i + 16 <= n) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i + 8));
        const __m128i nonAscii = _mm_and_si128(_mm_or_si128(low, high), highBits);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(nonAscii, _mm_setzero_si128())) != 0xffff)
            break;
        const __m128i bytes = _mm_packus_epi16(low, high);
        const __m128i isUpper =
            _mm_and_si128(_mm_cmpgt_epi8(bytes, upperA), _mm_cmplt_epi8(bytes, upperZ));
        const __m128i lowered = _mm_or_si128(bytes, _mm_and_si128(isUpper, caseBit));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sink.reserve(16)), lowered);
        sink.commit(16);
        i += 16;
    }
#else
    (void)units;
    (void)n;
    (void)sink;
#endif
    return i;
}

qsizetype foldAsciiBlocks(const char16_t*, qsizetype i, qsizetype, MapSink&)
{
    return i;
}

template <typename Sink> void foldInto(QStringView text, Sink& sink)
{
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    thread_local icu::UnicodeString chunkResult;
    // One past the last unit emitted on its own as ASCII: a combining mark right after it
    // takes it back into the mark's chunk.
    qsizetype asciiEnd = -1;
    qsizetype i = 0;
    while (i < n) {
        const qsizetype blockEnd = foldAsciiBlocks(units, i, n, sink);
        if (blockEnd != i) {
            i = blockEnd;
            asciiEnd = i;
            continue;
        }
        const char16_t unit = units[i];
        if (unit < 0x80) {
            sink.appendAscii(lowerAscii(unit), i);
            asciiEnd = ++i;
            continue;
        }
        qsizetype length = 1;
        const char32_t first = codePointAt(units, i, n, &length);
        qsizetype start = i;
        if (asciiEnd == i && !hasBoundaryBefore(first)) {
            sink.popAscii();
            start = i - 1;
        }
        qsizetype end = i + length;
        while (end < n && units[end] >= 0x80) {
            const char32_t next = codePointAt(units, end, n, &length);
            if (hasBoundaryBefore(next))
                break;
            end += length;
        }
        if constexpr (Sink::usesCache) {
            if (end - start == 1 && !QChar::isSurrogate(unit) &&
                singleCharCache().append(unit, sink)) {
                i = end;
                continue;
            }
        }
        foldChunk(units + start, end - start, chunkResult);
        sink.appendChunk(chunkResult, start, end);
        i = end;
    }
}

} // namespace

namespace TextFolding {

QString fold(QStringView text)
{
    return QString::fromUtf8(foldToUtf8(text));
}

QByteArray foldToUtf8(QStringView text)
{
    Utf8Sink sink(text.size());
    foldInto(text, sink);
    return sink.take();
}

Mapped foldWithMap(QStringView text)
{
    MapSink sink(text.size());
    foldInto(text, sink);
    return sink.take();
}

} // namespace TextFolding
