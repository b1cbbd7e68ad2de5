// How the core measures and scans text: UTF-8 checks, the shell's UTF-16 count, CR LF search.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstdint>
#include <cstring>
#include <string_view>

namespace quillgate {

// How many leading bytes are well-formed UTF-8: no overlong forms, surrogates or past U+10FFFF.
std::size_t Utf8Length(std::string_view text);
inline bool IsUtf8(std::string_view text) {
  return Utf8Length(text) == text.size();
}
// The length of UTF-8 `text` in UTF-16 units, as the shell counts.
std::size_t Utf16Units(std::string_view text);

// Calls `lineEnd(at)` for every CR LF in order, `at` the CR's index. Histories are long lists of
// short lines: a memchr per line costs more than the file's read, so with SSE2 bytes go 64 a time.
template <typename LineEnd>
void ForEachCrLf(const char* text, std::size_t size, LineEnd lineEnd) {
  std::size_t i = 0;
#if defined(__SSE2__)
  // A bit for each of the 64 bytes at `p` that equals `wanted`'s.
  const auto mask64 = [](const char* p, __m128i wanted) {
    std::uint64_t mask = 0;
    for (int part = 0; part < 4; ++part) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
      const auto bits =
          static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
      mask |= static_cast<std::uint64_t>(bits) << (16 * part);
    }
    return mask;
  };
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; i + 65 <= size; i += 64) {
    std::uint64_t ends = mask64(text + i, cr) & mask64(text + i + 1, lf);
    while (ends) {
      lineEnd(i + static_cast<std::size_t>(__builtin_ctzll(ends)));
      ends &= ends - 1;
    }
  }
#endif
  while (i + 1 < size) {
    const void* found = std::memchr(text + i, '\r', size - 1 - i);
    if (!found) break;
    const auto at = static_cast<std::size_t>(static_cast<const char*>(found) - text);
    if (text[at + 1] == '\n') lineEnd(at);
    i = at + 1;
  }
}

}  // namespace quillgate
