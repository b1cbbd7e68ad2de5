#include "platform/win32_text.h"

#include <windows.h>

namespace quillgate::win32 {

void Widen(std::string_view utf8, std::wstring& out, unsigned codePage) {
  out.resize(utf8.size());  // never more UTF-16 units than UTF-8 bytes
  if (utf8.empty()) return;
  const int length = MultiByteToWideChar(codePage, 0, utf8.data(), static_cast<int>(utf8.size()),
                                         out.data(), static_cast<int>(out.size()));
  out.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::wstring Widen(std::string_view utf8) {
  std::wstring out;
  Widen(utf8, out);
  return out;
}

std::string Narrow(std::wstring_view utf16) {
  std::string out(utf16.size() * 3, '\0');  // at most three bytes for each UTF-16 unit
  if (utf16.empty()) return out;
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(),
                          static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return out;
}

}  // namespace quillgate::win32
