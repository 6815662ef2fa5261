#pragma once

#include <cstddef>

// Substring search over raw bytes, vectorised where the processor allows: the hot loop of a
// search over the index's folded texts.
namespace ByteSearch {

// True when `needle` (of `needleLength` bytes) occurs in `haystack` as a contiguous byte
// sequence; an empty needle occurs everywhere, a needle longer than the haystack nowhere.
[[nodiscard]] bool contains(const char* haystack, size_t haystackLength, const char* needle,
                            size_t needleLength);

} // namespace ByteSearch
