#include "QuendrilCore/ByteSearch.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUENDRIL_BYTE_SEARCH_X86 1
#endif

namespace {

// Compares the first and the last byte of the needle at 16 or 32 positions at once and checks
// the middle only where both agree; for words in prose that rejects nearly every position
// without a byte-by-byte look.
bool containsScalar(const char* haystack, size_t n, const char* needle, size_t k, size_t from)
{
    const char first = needle[0];
    const char last = needle[k - 1];
    for (size_t i = from; i + k <= n; ++i) {
        const void* hit = std::memchr(haystack + i, first, n - k + 1 - i);
        if (!hit)
            return false;
        i = size_t(static_cast<const char*>(hit) - haystack);
        if (haystack[i + k - 1] == last && std::memcmp(haystack + i + 1, needle + 1, k - 2) == 0)
            return true;
    }
    return false;
}

#ifdef QUENDRIL_BYTE_SEARCH_X86

bool middleMatches(const char* at, const char* needle, size_t k)
{
    return k <= 2 || std::memcmp(at + 1, needle + 1, k - 2) == 0;
}

__attribute__((target("avx2"))) bool containsAvx2(const char* haystack, size_t n,
                                                  const char* needle, size_t k)
{
    const __m256i first = _mm256_set1_epi8(needle[0]);
    const __m256i last = _mm256_set1_epi8(needle[k - 1]);
    size_t i = 0;
    for (; i + k - 1 + 32 <= n; i += 32) {
        const __m256i blockFirst =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(haystack + i));
        const __m256i blockLast =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(haystack + i + k - 1));
        auto mask = uint32_t(_mm256_movemask_epi8(_mm256_and_si256(
            _mm256_cmpeq_epi8(first, blockFirst), _mm256_cmpeq_epi8(last, blockLast))));
        while (mask) {
            const int bit = __builtin_ctz(mask);
            if (middleMatches(haystack + i + size_t(bit), needle, k))
                return true;
            mask &= mask - 1;
        }
    }
    return containsScalar(haystack, n, needle, k, i);
}

bool containsSse2(const char* haystack, size_t n, const char* needle, size_t k)
{
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i last = _mm_set1_epi8(needle[k - 1]);
    size_t i = 0;
    for (; i + k - 1 + 16 <= n; i += 16) {
        const __m128i blockFirst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(haystack + i));
        const __m128i blockLast =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(haystack + i + k - 1));
        auto mask = uint32_t(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(first, blockFirst), _mm_cmpeq_epi8(last, blockLast))));
        while (mask) {
            const int bit = __builtin_ctz(mask);
            if (middleMatches(haystack + i + size_t(bit), needle, k))
                return true;
            mask &= mask - 1;
        }
    }
    return containsScalar(haystack, n, needle, k, i);
}

using Searcher = bool (*)(const char*, size_t, const char*, size_t);

Searcher bestSearcher()
{
    static const Searcher chosen = __builtin_cpu_supports("avx2") ? containsAvx2 : containsSse2;
    return chosen;
}

#endif

} // namespace

namespace ByteSearch {

bool contains(const char* haystack, size_t haystackLength, const char* needle, size_t needleLength)
{
    if (needleLength == 0)
        return true;
    if (needleLength > haystackLength)
        return false;
    if (needleLength == 1)
        return std::memchr(haystack, needle[0], haystackLength) != nullptr;
#ifdef QUENDRIL_BYTE_SEARCH_X86
    return bestSearcher()(haystack, haystackLength, needle, needleLength);
#else
    return containsScalar(haystack, haystackLength, needle, needleLength, 0);
#endif
}

} // namespace ByteSearch
