// Wide-path helpers shared by the Win32 services. Paths travel as UTF-16 so that folders the
// ANSI code page cannot spell, and folders deeper than MAX_PATH, still work.
#pragma once

#include <filesystem>
#include <string>

namespace quillgate::win32 {

// The form to hand to the wide file APIs: long absolute paths get the \\?\ prefix.
std::wstring ApiPath(const std::filesystem::path& path);

}  // namespace quillgate::win32
