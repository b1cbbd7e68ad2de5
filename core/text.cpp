#include "core/text.h"

namespace quillgate {

std::size_t Utf16Units(std::string_view text) {
  std::size_t units = 0;
  for (const char c : text) units += (c & 0xC0) == 0x80 ? 0 : (c & 0xF8) == 0xF0 ? 2 : 1;
  return units;
}

std::size_t Utf8Length(std::string_view text) {
  const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
  const auto* p = begin;
  const auto* const end = p + text.size();
  static constexpr std::uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  while (p < end) {
#if defined(__SSE2__)
    // Histories are mostly ASCII: 16 bytes at a time while no byte has its high bit.
    while (end - p >= 16 &&
           !_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))))
      p += 16;
    if (p == end) break;
#endif
    const unsigned lead = *p;
    if (lead < 0x80) {
      ++p;
      continue;
    }
    // The bytes after the lead; none: no lead at all.
    const int extra = (lead & 0xE0) == 0xC0   ? 1
                      : (lead & 0xF0) == 0xE0 ? 2
                      : (lead & 0xF8) == 0xF0 ? 3
                                              : 0;
    if (extra == 0 || end - p <= extra) break;
    std::uint32_t code = lead & (0x3F >> extra);
    int i = 1;
    for (; i <= extra && (p[i] & 0xC0) == 0x80; ++i) code = code << 6 | (p[i] & 0x3F);
    if (i <= extra || code < kLeast[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
      break;
    p += extra + 1;
  }
  return static_cast<std::size_t>(p - begin);
}

}  // namespace quillgate
