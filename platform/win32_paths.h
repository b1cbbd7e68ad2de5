// Paths travel as UTF-16 so that folders the ANSI code page cannot spell, or deeper than
// MAX_PATH, still work.
#pragma once

#include <filesystem>
#include <string>

namespace quillgate::win32 {

// For the wide file APIs: long absolute paths get the \\?\ prefix.
std::wstring ApiPath(const std::filesystem::path& path);

}  // namespace quillgate::win32
