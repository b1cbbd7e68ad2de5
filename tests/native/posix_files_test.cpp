// The POSIX file services against real folders.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include "platform/posix_files.h"
#include "scratch.h"

namespace quillgate {
namespace {

namespace fs = std::filesystem;
using posix::DocumentsFromUserDirs;
using testing::ReadFile;
using testing::RunInChild;
using testing::ScratchFolder;
using testing::StartChild;
using testing::WaitForChild;
using testing::WriteFile;

TEST(DocumentsFromUserDirs, FindsTheDocumentsEntry) {
  const fs::path home = "/home/ann";
  struct Case {
    const char* text;
    fs::path expected;
  };
  const Case cases[] = {
      {"XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", "/home/ann/Docs"},
      {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/My Papers\"\n",
       "/home/ann/My Papers"},
      {"XDG_DOCUMENTS_DIR=\"/srv/papers\"", "/srv/papers"},
      {"XDG_DOCUMENTS_DIR=$HOME/Plain\n", "/home/ann/Plain"},
      {"  XDG_DOCUMENTS_DIR=\"$HOME/Indented\"\n", "/home/ann/Indented"},
      {"XDG_DOCUMENTS_DIR=\"$HOME\"\n", "/home/ann"},
      {"# XDG_DOCUMENTS_DIR=\"$HOME/Commented\"\n", ""},
      {"XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n", ""},
      {"XDG_DOCUMENTS_DIR=\"relative/path\"\n", ""},
      {"XDG_DOCUMENTS_DIR=\"relative\"\nXDG_DOCUMENTS_DIR=\"$HOME/Second\"\n", "/home/ann/Second"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DocumentsFromUserDirs(c.text, home), c.expected) << c.text;
  }
}

// Sets environment variables for one test and puts the old values back afterwards.
class ScopedEnvironment {
 public:
  void Set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old != nullptr, old ? old : ""});
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->had) {
        ::setenv(it->name.c_str(), it->value.c_str(), 1);
      } else {
        ::unsetenv(it->name.c_str());
      }
    }
  }

 private:
  struct Saved {
    std::string name;
    bool had;
    std::string value;
  };
  std::vector<Saved> saved_;
};

TEST(PosixFileSystem, DocumentsFolderFollowsTheUserDirsFileElseHomeDocuments) {
  ScratchFolder home, config;
  ScopedEnvironment environment;
  environment.Set("HOME", home.Path().c_str());
  environment.Set("XDG_CONFIG_HOME", config.Path().c_str());
  posix::FileSystem files;

  EXPECT_EQ(files.DocumentsFolder(), home / "Documents");
  WriteFile(config / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
  EXPECT_EQ(files.DocumentsFolder(), home / "Papers");

  environment.Set("XDG_CONFIG_HOME", nullptr);
  fs::create_directory(home / ".config");
  WriteFile(home / ".config" / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dot\"\n");
  EXPECT_EQ(files.DocumentsFolder(), home / "Dot");

  environment.Set("HOME", nullptr);
  EXPECT_EQ(files.DocumentsFolder(), fs::path());
}

TEST(PosixFileSystem, AnythingAtThePathExists) {
  ScratchFolder folder;
  posix::FileSystem files;
  WriteFile(folder / "file", "x");
  fs::create_directory(folder / "dir");
  fs::create_symlink(folder / "nowhere", folder / "dangling");

  EXPECT_TRUE(files.Exists(folder / "file"));
  EXPECT_TRUE(files.Exists(folder / "dir"));
  EXPECT_TRUE(files.Exists(folder / "dangling"));
  EXPECT_FALSE(files.Exists(folder / "missing"));
  EXPECT_FALSE(files.Exists(folder / "missing" / "quillgate.ini"));
  EXPECT_FALSE(files.Exists(folder / "file" / "quillgate.ini"));
}

TEST(PosixFileSystem, AnExistenceTestThatCannotBeAnsweredThrows) {
  ScratchFolder folder;
  posix::FileSystem files;
  fs::create_symlink(folder / "loop", folder / "loop");
  const fs::path candidate = folder / "loop" / "quillgate.ini";
  try {
    files.Exists(candidate);
    ADD_FAILURE() << "a symbolic link loop was taken for an answer";
  } catch (const fs::filesystem_error& error) {
    EXPECT_NE(std::string(error.what()).find("exists"), std::string::npos) << error.what();
    EXPECT_EQ(error.path1(), candidate);
  }
}

TEST(PosixFileSystem, ReadsWholeFilesByteForByteAndTellsMissingFromFailed) {
  ScratchFolder folder;
  posix::FileSystem files;
  const std::string bytes("a\r\n\0b\rc\n\xff", 9);
  WriteFile(folder / "history", bytes);
  fs::create_directory(folder / "dir");
  WriteFile(folder / "plain", "");

  std::string contents = "stale";
  std::error_code error;
  EXPECT_EQ(files.ReadWhole(folder / "history", contents, error), ReadResult::Ok);
  EXPECT_EQ(contents, bytes);
  EXPECT_EQ(files.ReadWhole(folder / "missing", contents, error), ReadResult::Missing);
  EXPECT_TRUE(contents.empty());
  EXPECT_EQ(files.ReadWhole(folder / "plain" / "below", contents, error), ReadResult::Missing);
  EXPECT_EQ(files.ReadWhole(folder / "dir", contents, error), ReadResult::Failed);
  EXPECT_TRUE(error);
}

TEST(PosixTemporaryFile, StartsFromWhatWasLeftAndIsReplacedWhole) {
  ScratchFolder folder;
  posix::FileSystem files;
  const fs::path path = folder / "quillgate.inf";
  std::error_code error;
  {
    auto fresh = files.ClaimTemporary(path, error);
    ASSERT_TRUE(fresh) << error.message();
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(fresh->Leftover(), "");
    EXPECT_FALSE(fresh->Write("a long first line\r\n"));
  }
  auto again = files.ClaimTemporary(path, error);
  ASSERT_TRUE(again) << error.message();
  EXPECT_EQ(again->Leftover(), "a long first line\r\n");
  EXPECT_FALSE(again->Write("b\r\n"));
  EXPECT_EQ(ReadFile(path), "b\r\n");
  again->Remove();
  EXPECT_FALSE(fs::exists(path));
}

TEST(PosixTemporaryFile, MovesOverTheTargetAndForgetsItsOldPath) {
  ScratchFolder folder;
  posix::FileSystem files;
  const fs::path path = folder / "quillgate.inf";
  const fs::path target = folder / "quillgate.ini";
  WriteFile(target, "old\r\n");
  std::error_code error;
  auto temporary = files.ClaimTemporary(path, error);
  ASSERT_TRUE(temporary) << error.message();
  ASSERT_FALSE(temporary->Write("new\r\n"));
  ASSERT_FALSE(temporary->MoveOver(target));
  EXPECT_EQ(ReadFile(target), "new\r\n");
  EXPECT_FALSE(fs::exists(path));

  // Someone else's temporary file at the old path is none of this one's business.
  WriteFile(path, "next writer\r\n");
  temporary->Remove();
  EXPECT_EQ(ReadFile(path), "next writer\r\n");
  EXPECT_EQ(ReadFile(target), "new\r\n");
}

TEST(PosixTemporaryFile, AFileThatCannotBeOpenedIsNotReportedBusy) {
  ScratchFolder folder;
  posix::FileSystem files;
  std::error_code error;
  EXPECT_FALSE(files.ClaimTemporary(folder / "missing" / "quillgate.inf", error));
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
  fs::create_directory(folder / "quillgate.inf");
  EXPECT_FALSE(files.ClaimTemporary(folder / "quillgate.inf", error));
  EXPECT_TRUE(error);
  EXPECT_NE(error, std::errc::device_or_resource_busy);
}

// A second process's claim, made while this one holds the file. The child is started before
// the claim (a forked copy of the held descriptor would hold the lock as well), reports back
// through its exit status and signals through a pipe when it is about to claim.
class ClaimFromAnotherProcess : public ::testing::Test {
 protected:
  ScratchFolder folder;
  posix::FileSystem files;
  const fs::path path = folder / "quillgate.inf";
  const fs::path target = folder / "quillgate.ini";
  const fs::path released = folder / "released";
  int go_[2] = {-1, -1};
  int ready_[2] = {-1, -1};

  void SetUp() override {
    ASSERT_EQ(::pipe(go_), 0);
    ASSERT_EQ(::pipe(ready_), 0);
  }
  void TearDown() override {
    for (const int fd : {go_[0], go_[1], ready_[0], ready_[1]}) ::close(fd);
  }
  // In the child: waits for the parent's claim, then tells it the child's claim begins.
  void AwaitHeldThenSignal() {
    char byte = 0;
    (void)!::read(go_[0], &byte, 1);
    (void)!::write(ready_[1], &byte, 1);
  }
  // In the parent, once it holds the file: lets the child claim and gives it a moment to
  // start waiting.
  void LetChildClaim() {
    char byte = 'g';
    ASSERT_EQ(::write(go_[1], &byte, 1), 1);
    ASSERT_EQ(::read(ready_[0], &byte, 1), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
};

TEST_F(ClaimFromAnotherProcess, WaitsUntilTheHolderLetsGo) {
  const pid_t child = StartChild([&] {
    AwaitHeldThenSignal();
    std::error_code error;
    auto claimed = posix::FileSystem().ClaimTemporary(path, error);
    if (!claimed) return 1;
    if (!fs::exists(released)) return 2;  // got in while the file was still held
    return claimed->Leftover() == "holder's\r\n" ? 0 : 3;
  });
  std::error_code error;
  auto held = files.ClaimTemporary(path, error);
  ASSERT_TRUE(held) << error.message();
  ASSERT_FALSE(held->Write("holder's\r\n"));
  LetChildClaim();
  WriteFile(released, "");
  held.reset();
  EXPECT_EQ(WaitForChild(child), 0);
}

// The holder renames its file into the history's place: the waiter must not take that file,
// now the history, for its own.
TEST_F(ClaimFromAnotherProcess, AfterTheHolderMovedItsFileTheWaiterGetsAFreshOne) {
  const pid_t child = StartChild([&] {
    AwaitHeldThenSignal();
    std::error_code error;
    auto claimed = posix::FileSystem().ClaimTemporary(path, error);
    if (!claimed) return 1;
    if (!fs::exists(released)) return 2;
    if (!claimed->Leftover().empty()) return 3;
    if (claimed->Write("scribble\r\n")) return 4;
    return ReadFile(target) == "history\r\n" ? 0 : 5;
  });
  std::error_code error;
  auto held = files.ClaimTemporary(path, error);
  ASSERT_TRUE(held) << error.message();
  ASSERT_FALSE(held->Write("history\r\n"));
  LetChildClaim();
  WriteFile(released, "");
  ASSERT_FALSE(held->MoveOver(target));
  held.reset();
  EXPECT_EQ(WaitForChild(child), 0);
  EXPECT_EQ(ReadFile(target), "history\r\n");
  EXPECT_EQ(ReadFile(path), "scribble\r\n");
}

// Moving to another file system is a copy; the target must still change in one step.
class MoveAcrossFileSystems : public ::testing::Test {
 protected:
  void SetUp() override {
    struct stat tmp {
    }, shm{};
    if (::stat(fs::temp_directory_path().c_str(), &tmp) != 0 || ::stat("/dev/shm", &shm) != 0 ||
        tmp.st_dev == shm.st_dev || ::access("/dev/shm", W_OK) != 0) {
      GTEST_SKIP() << "needs a writable /dev/shm on another file system than the temp folder";
    }
    other_ = std::make_unique<ScratchFolder>("/dev/shm");
  }
  fs::path Temporary() const { return other_->Path() / "quillgate.inf"; }

  ScratchFolder folder;
  std::unique_ptr<ScratchFolder> other_;
  posix::FileSystem files;
  const fs::path target = folder / "quillgate.ini";
};

TEST_F(MoveAcrossFileSystems, ReplacesTheTargetAndDropsTheSource) {
  WriteFile(target, "old\r\n");
  std::error_code error;
  auto temporary = files.ClaimTemporary(Temporary(), error);
  ASSERT_TRUE(temporary) << error.message();
  ASSERT_FALSE(temporary->Write("old\r\nnew\r\n"));
  ASSERT_FALSE(temporary->MoveOver(target));
  EXPECT_EQ(ReadFile(target), "old\r\nnew\r\n");
  EXPECT_FALSE(fs::exists(Temporary()));
  temporary->Remove();
  EXPECT_TRUE(fs::exists(target));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);
}

TEST_F(MoveAcrossFileSystems, ACopyThatFailsPartWayLeavesTheTargetAsItWas) {
  WriteFile(target, "old\r\n");
  const std::string content(64 * 1024, 'x');
  const int status = RunInChild([&] {
    std::error_code error;
    auto temporary = files.ClaimTemporary(Temporary(), error);
    if (!temporary || temporary->Write(content)) return 1;
    // From here on no file may grow past 4 KiB: the copy runs out of room half way.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    return temporary->MoveOver(target) ? 0 : 3;
  });
  EXPECT_EQ(status, 0) << "the copy should have failed";
  const std::string after = ReadFile(target);
  EXPECT_TRUE(after == "old\r\n") << "target now holds " << after.size() << " bytes";
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace quillgate
