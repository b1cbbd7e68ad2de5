// The core's file services over the wide Win32 file calls. Paths travel as UTF-16 so that
// folders the ANSI code page cannot spell, or deeper than MAX_PATH, still work.
#pragma once

#include <windows.h>

#include "core/ports.h"

namespace quillgate::win32 {

// For the wide file APIs: long absolute paths get the \\?\ prefix.
std::wstring ApiPath(const std::filesystem::path& path);
// The known folder `id` (SHGetKnownFolderPath's `flags`); empty when the system cannot say.
std::wstring KnownFolder(const GUID& id, DWORD flags);

class FileSystem : public IFileSystem {
 public:
  std::filesystem::path ProgramFolder() override;
  std::filesystem::path DocumentsFolder() override;
  bool Exists(const std::filesystem::path& path) override;
  ReadResult ReadWhole(const std::filesystem::path& path, std::string& contents,
                       std::error_code& error) override;
  ReadResult ReadTail(const std::filesystem::path& path, std::uint64_t kept, std::size_t bytes,
                      std::string& tail, std::error_code& error) override;
  // Local files only: a page of a share's file that fails to come in would end the process.
  ReadResult MapFile(const std::filesystem::path& path, std::unique_ptr<IMappedFile>& file,
                     std::error_code& error) override;
  std::string DecodeLegacy(std::string_view line) override;
  std::unique_ptr<ITemporaryFile> ClaimTemporary(const std::filesystem::path& path,
                                                 std::error_code& error) override;
};

}  // namespace quillgate::win32
