#include "platform/posix_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace quillgate::posix {
namespace fs = std::filesystem;

namespace {

constexpr auto kClaimWait = std::chrono::seconds(5);
constexpr auto kClaimRetry = std::chrono::milliseconds(10);

std::error_code Errno() {
  return {errno, std::generic_category()};
}

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  ~Descriptor() { Reset(); }
  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

bool ReadAll(int fd, std::string& contents) {
  struct stat info {};
  const std::size_t expected =
      ::fstat(fd, &info) == 0 && info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
  // Read straight into a string of the file's size: growing a long history chunk by chunk
  // costs several times the read itself. The byte to spare shows the end without regrowing.
  contents.resize(std::max<std::size_t>(expected + 1, 4096));
  std::size_t done = 0;
  for (;;) {
    if (done == contents.size()) contents.resize(contents.size() * 2);
    const ssize_t got = ::read(fd, contents.data() + done, contents.size() - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      contents.clear();
      return false;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  contents.resize(done);
  return true;
}

class TemporaryFile final : public ITemporaryFile {
 public:
  TemporaryFile(fs::path path, Descriptor fd, std::string leftover)
      : path_(std::move(path)), fd_(std::move(fd)), leftover_(std::move(leftover)) {}

  const fs::path& Path() const override { return path_; }
  const std::string& Leftover() const override { return leftover_; }

  std::error_code Write(const std::string& content) override {
    if (::ftruncate(fd_.Get(), 0) != 0) return Errno();
    std::size_t done = 0;
    while (done < content.size()) {
      const ssize_t wrote = ::pwrite(fd_.Get(), content.data() + done, content.size() - done,
                                     static_cast<off_t>(done));
      if (wrote < 0) {
        if (errno == EINTR) continue;
        return Errno();
      }
      done += static_cast<std::size_t>(wrote);
    }
    if (::fsync(fd_.Get()) != 0) return Errno();
    return {};
  }

  std::error_code MoveOver(const fs::path& target) override {
    if (::rename(path_.c_str(), target.c_str()) == 0) {
      moved_ = true;
      return {};
    }
    if (errno != EXDEV) return Errno();
    // Another file system: copy, then drop the source. The copy is made beside the target and
    // renamed over it, so a copy that fails part way never leaves a torn target behind. Only
    // the holder of this file gets here, so one name for the copy is enough.
    fs::path staged = target;
    staged += ".copying";
    std::error_code error;
    fs::copy_file(path_, staged, fs::copy_options::overwrite_existing, error);
    if (!error) {
      Descriptor copy(::open(staged.c_str(), O_WRONLY | O_CLOEXEC));
      if (!copy.Valid() || ::fsync(copy.Get()) != 0) error = Errno();
    }
    if (!error && ::rename(staged.c_str(), target.c_str()) != 0) error = Errno();
    if (error) {
      ::unlink(staged.c_str());
      return error;
    }
    ::unlink(path_.c_str());
    moved_ = true;
    return {};
  }

  void Remove() override {
    if (!moved_) ::unlink(path_.c_str());
    moved_ = true;
  }

 private:
  fs::path path_;
  Descriptor fd_;  // holds the lock until destroyed
  std::string leftover_;
  bool moved_ = false;
};

}  // namespace

fs::path FileSystem::ProgramFolder() {
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path() : exe.parent_path();
}

fs::path DocumentsFromUserDirs(const std::string& userDirs, const fs::path& home) {
  std::istringstream lines(userDirs);
  std::string line;
  const std::string key = "XDG_DOCUMENTS_DIR=";
  while (std::getline(lines, line)) {
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
    std::string value = line.substr(start + key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.rfind("$HOME", 0) == 0) return home.string() + value.substr(5);
    if (!value.empty() && value.front() == '/') return value;
  }
  return {};
}

fs::path FileSystem::DocumentsFolder() {
  const char* homeVariable = std::getenv("HOME");
  if (!homeVariable || !*homeVariable) return {};
  const fs::path home = homeVariable;
  const char* configVariable = std::getenv("XDG_CONFIG_HOME");
  const fs::path config =
      configVariable && *configVariable ? fs::path(configVariable) : home / ".config";
  std::ifstream file(config / "user-dirs.dirs");
  if (file) {
    std::ostringstream text;
    text << file.rdbuf();
    fs::path documents = DocumentsFromUserDirs(text.str(), home);
    if (!documents.empty()) return documents;
  }
  return home / "Documents";
}

bool FileSystem::Exists(const fs::path& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) return true;
  if (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG) return false;
  throw fs::filesystem_error("exists", path, Errno());
}

ReadResult FileSystem::ReadWhole(const fs::path& path, std::string& contents,
                                 std::error_code& error) {
  contents.clear();
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) {
    error = Errno();
    return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
  }
  if (!ReadAll(fd.Get(), contents)) {
    error = Errno();
    contents.clear();
    return ReadResult::Failed;
  }
  error.clear();
  return ReadResult::Ok;
}

std::unique_ptr<ITemporaryFile> FileSystem::ClaimTemporary(const fs::path& path,
                                                           std::error_code& error) {
  const auto deadline = std::chrono::steady_clock::now() + kClaimWait;
  for (;;) {
    Descriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.Valid()) {
      error = Errno();
      return nullptr;
    }
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0) {
      // The writer before us may have renamed the file we waited on into the history's
      // place; only a lock on the file still at `path` counts.
      struct stat held {
      }, current{};
      if (::fstat(fd.Get(), &held) == 0 && ::stat(path.c_str(), &current) == 0 &&
          held.st_dev == current.st_dev && held.st_ino == current.st_ino) {
        std::string leftover;
        if (!ReadAll(fd.Get(), leftover)) leftover.clear();
        error.clear();
        return std::make_unique<TemporaryFile>(path, std::move(fd), std::move(leftover));
      }
      continue;
    }
    if (errno != EWOULDBLOCK) {
      error = Errno();
      return nullptr;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      error = std::make_error_code(std::errc::device_or_resource_busy);
      return nullptr;
    }
    std::this_thread::sleep_for(kClaimRetry);
  }
}

}  // namespace quillgate::posix
