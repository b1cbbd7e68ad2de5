// The platform's real file services with the program and documents folders put where a test or
// benchmark wants them, so that nothing is written beside the test programs or into the user's
// documents.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <utility>

#include "core/ports.h"
#ifdef _WIN32
#include "platform/win32_files.h"
#else
#include "platform/posix_files.h"
#endif

namespace quillgate::testing {

class RelocatedFileSystem final : public IFileSystem {
 public:
  using path = std::filesystem::path;

  RelocatedFileSystem(path program, path documents)
      : program_(std::move(program)), documents_(std::move(documents)) {}

  path ProgramFolder() override { return program_; }
  path DocumentsFolder() override { return documents_; }
  bool Exists(const path& file) override { return real_.Exists(file); }
  ReadResult ReadWhole(const path& file, std::string& contents, std::error_code& error) override {
    return real_.ReadWhole(file, contents, error);
  }
  std::unique_ptr<ITemporaryFile> ClaimTemporary(const path& file,
                                                 std::error_code& error) override {
    return real_.ClaimTemporary(file, error);
  }

  path ProgramHistory() const { return program_ / "quillgate.ini"; }
  path ProgramTemporary() const { return program_ / "quillgate.inf"; }
  path DocumentsHistory() const { return documents_ / "quillgate.ini"; }
  path DocumentsTemporary() const { return documents_ / "quillgate.inf"; }

 private:
  path program_;
  path documents_;
#ifdef _WIN32
  win32::FileSystem real_;
#else
  posix::FileSystem real_;
#endif
};

}  // namespace quillgate::testing
