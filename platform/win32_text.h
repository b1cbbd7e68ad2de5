// Text is UTF-8 inside and UTF-16 where it meets Windows. Neither fails: malformed UTF-8 and
// lone surrogates come out as U+FFFD, as Windows itself converts them.
#pragma once

#include <string>
#include <string_view>

namespace quillgate::win32 {

std::wstring Widen(std::string_view utf8);
// Reusing `out`'s storage: for many short strings in a row. `codePage`: another than UTF-8's.
void Widen(std::string_view utf8, std::wstring& out, unsigned codePage = 65001);
std::string Narrow(std::wstring_view utf16);

}  // namespace quillgate::win32
