// Real folders and child processes for the tests that run against the POSIX file services.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <system_error>

#include "core/ports.h"
#include "platform/posix_files.h"

namespace quillgate::testing {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder (or `parent`), removed with everything in
// it when the test ends.
class ScratchFolder {
 public:
  explicit ScratchFolder(const fs::path& parent = fs::temp_directory_path()) {
    std::string pattern = (parent / "qg-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::system_error(errno, std::generic_category());
    path_ = pattern;
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& Path() const { return path_; }
  fs::path operator/(const char* name) const { return path_ / name; }

 private:
  fs::path path_;
};

inline void WriteFile(const fs::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Starts `body` in a forked child, which exits with the number `body` returns and never
// returns into the test framework.
inline pid_t StartChild(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    int code = 99;
    try {
      code = body();
    } catch (...) {
      code = 98;
    }
    ::_exit(code);
  }
  return child;
}

// The child's exit status, or -1 when it did not exit normally.
inline int WaitForChild(pid_t child) {
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

inline int RunInChild(const std::function<int()>& body) {
  return WaitForChild(StartChild(body));
}

}  // namespace quillgate::testing
