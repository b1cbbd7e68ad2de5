// The Win32 file and shell services against the real ones of a Wine prefix.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "core/launch_core.h"
#include "platform/win32_files.h"
#include "platform/win32_shell.h"
#include "wine_support.h"

namespace quillgate {
namespace {
namespace fs = std::filesystem;
using testing::FolderPair;
using testing::Present;
using testing::ReadBytes;
using testing::ScratchFolder;
using testing::WriteBytes;

bool SameFolder(const fs::path& a, const fs::path& b) {
  const std::wstring left = a.wstring(), right = b.wstring();
  return CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(),
                              static_cast<int>(right.size()), TRUE) == CSTR_EQUAL;
}

DWORD AttributesError(const fs::path& path) {
  SetLastError(0);
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
  return GetLastError();
}

TEST(Win32FileSystem, DocumentsFolderIsThePrefixsOwnInsideTheRunnersHome) {
  win32::FileSystem files;
  const fs::path documents = files.DocumentsFolder();
  wchar_t personal[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, personal), S_OK);
  EXPECT_TRUE(SameFolder(documents, personal)) << documents << " vs " << fs::path(personal);
#ifdef QG_WINE_HOME
  // A fresh prefix links Documents to $HOME, which the runner keeps inside the build folder:
  // what the tests write there must not reach the real home.
  const fs::path home = testing::FromUnixPath(QG_WINE_HOME);
  ASSERT_FALSE(home.empty());
  const std::string name = "qg-documents-" + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(WriteBytes(documents / name, "here"));
  EXPECT_EQ(ReadBytes(home / name), "here");
  testing::RemoveTree(documents / name);
#endif
}

TEST(Win32FileSystem, ProgramFolderIsTheFolderOfTheRunningExecutable) {
  win32::FileSystem files;
  const fs::path folder = files.ProgramFolder();
  EXPECT_TRUE(SameFolder(folder, testing::FromUnixPath(QG_TESTS_FOLDER))) << folder;
  EXPECT_TRUE(Present(folder / "qg_platform_tests.exe"));
}

TEST(Win32FileSystem, EveryKindOfNotFoundMeansAbsent) {
  ScratchFolder scratch;
  ASSERT_TRUE(WriteBytes(scratch / "file.txt", "x"));
  win32::FileSystem files;
  EXPECT_TRUE(files.Exists(scratch / "file.txt"));
  EXPECT_TRUE(files.Exists(scratch.Path()));

  struct Case {
    fs::path path;
    DWORD error;  // what the system answers, so that each case is known to reach its kind
  };
  const Case cases[] = {
      {scratch / "missing.txt", ERROR_FILE_NOT_FOUND},
      {scratch / "no folder" / "missing.txt", ERROR_PATH_NOT_FOUND},
      {scratch / "file.txt" / "quillgate.ini", ERROR_PATH_NOT_FOUND},
      {scratch / "a<b", ERROR_INVALID_NAME},
      {scratch / "a|b", ERROR_INVALID_NAME},
      {scratch / "a?b", ERROR_INVALID_NAME},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(AttributesError(c.path), c.error) << c.path;
    EXPECT_FALSE(files.Exists(c.path)) << c.path;
  }
}

// Wine answers a server that is not there with ERROR_BAD_DEV_TYPE (66), never with
// ERROR_BAD_NETPATH (53), and a link that points at itself with ERROR_CANT_RESOLVE_FILENAME
// (1921). Neither is a kind of not-found, so both must come out as the existence test's error.
TEST(Win32FileSystem, AnyOtherFailureThrowsTheExistenceTestsError) {
  win32::FileSystem files;
  const fs::path loop = testing::FromUnixPath(QG_LOOP_LINK);
  ASSERT_FALSE(loop.empty());
  const fs::path paths[] = {
      LR"(\\qg-no-such-host\share\quillgate.ini)",
      loop / "quillgate.ini",
  };
  for (const fs::path& path : paths) {
    const DWORD error = AttributesError(path);
    ASSERT_NE(error, 0u) << path;
    try {
      files.Exists(path);
      ADD_FAILURE() << "no error for " << path;
    } catch (const fs::filesystem_error& failure) {
      EXPECT_EQ(failure.code().value(), static_cast<int>(error)) << path;
      EXPECT_EQ(failure.path1(), path);
      EXPECT_NE(std::string(failure.what()).find("exists"), std::string::npos) << failure.what();
    }
  }
}

TEST(Win32FileSystem, ReadWholeTellsContentsFromMissingFromUnreadable) {
  ScratchFolder scratch;
  win32::FileSystem files;
  // No translation of any kind, and more than one read's worth.
  std::string bytes(
      "a\r\n\r\nb\nc\rd\0e\x1a"
      "f\r",
      14);
  while (bytes.size() < 200000) bytes += bytes;
  ASSERT_TRUE(WriteBytes(scratch / "history", bytes));
  std::string contents = "stale";
  std::error_code error = std::make_error_code(std::errc::io_error);
  EXPECT_EQ(files.ReadWhole(scratch / "history", contents, error), ReadResult::Ok);
  EXPECT_TRUE(contents == bytes);
  EXPECT_FALSE(error);

  const fs::path missing[] = {scratch / "missing", scratch / "no folder" / "missing"};
  for (const fs::path& path : missing) {
    contents = "stale";
    EXPECT_EQ(files.ReadWhole(path, contents, error), ReadResult::Missing) << path;
    EXPECT_EQ(contents, "");
  }

  contents = "stale";
  EXPECT_EQ(files.ReadWhole(scratch.Path(), contents, error), ReadResult::Failed);
  EXPECT_TRUE(error) << "a folder";
  EXPECT_EQ(contents, "");

  // Held by another writer that shares nothing.
  HANDLE held = CreateFileW(testing::LongForm(scratch / "history").c_str(), GENERIC_READ, 0,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(files.ReadWhole(scratch / "history", contents, error), ReadResult::Failed);
  EXPECT_EQ(error.value(), ERROR_SHARING_VIOLATION);
  CloseHandle(held);
}

TEST(Win32FileSystem, ClaimedTemporaryKeepsTheLeftoverAndIsReplacedWhole) {
  ScratchFolder scratch;
  win32::FileSystem files;
  const fs::path temporary = scratch / "quillgate.inf";
  const fs::path history = scratch / "quillgate.ini";
  ASSERT_TRUE(WriteBytes(temporary, "left\r\nover\r\n"));
  ASSERT_TRUE(WriteBytes(history, "an older history, longer than the new one\r\n"));

  std::error_code error;
  auto claimed = files.ClaimTemporary(temporary, error);
  ASSERT_TRUE(claimed) << error.message();
  EXPECT_EQ(claimed->Leftover(), "left\r\nover\r\n");
  // While it is claimed, readers may look but no one else may write.
  HANDLE other = CreateFileW(temporary.c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_ALWAYS, 0, nullptr);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);

  EXPECT_FALSE(claimed->Write("new\r\n"));
  EXPECT_EQ(ReadBytes(temporary), "new\r\n");
  EXPECT_FALSE(claimed->MoveOver(history));
  EXPECT_EQ(ReadBytes(history), "new\r\n");
  EXPECT_FALSE(Present(temporary));
  // Once moved, removing concerns the history no more.
  claimed->Remove();
  claimed.reset();
  EXPECT_EQ(ReadBytes(history), "new\r\n");

  auto fresh = files.ClaimTemporary(temporary, error);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->Leftover(), "");
  EXPECT_FALSE(fresh->Write("half"));
  fresh->Remove();
  EXPECT_FALSE(Present(temporary));
}

// Folders the ANSI code page cannot spell, and folders deeper than MAX_PATH.
struct FolderShape {
  const char* name;
  bool deep;
  bool foreign;
};

void PrintTo(const FolderShape& shape, std::ostream* out) {
  *out << shape.name;
}

class UnusualFolder : public ::testing::TestWithParam<FolderShape> {
 protected:
  void SetUp() override {
    folder = scratch.Path();
    if (GetParam().foreign) {
      const std::wstring name = L"\u0399\u03c3\u03c4\u03bf\u03c1\u03b9\u03ba\u03cc \u5c65\u6b74";
      BOOL lossy = FALSE;
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(), -1, nullptr, 0, nullptr,
                          &lossy);
      ASSERT_TRUE(lossy) << "the name must lie outside code page " << GetACP();
      folder /= name;
    }
    while (GetParam().deep && folder.wstring().size() <= 300) {
      folder /= L"a-folder-name-of-some-fifty-characters-to-go-deeper";
    }
    ASSERT_TRUE(testing::MakeFolders(folder / "program"));
    ASSERT_TRUE(testing::MakeFolders(folder / "documents"));
  }

  ScratchFolder scratch;
  fs::path folder;
};

TEST_P(UnusualFolder, FilesThereCanBeFoundReadAndReplaced) {
  win32::FileSystem files;
  const fs::path history = folder / "quillgate.ini";
  EXPECT_FALSE(files.Exists(history));
  ASSERT_TRUE(WriteBytes(history, "calc\r\n"));
  EXPECT_TRUE(files.Exists(history));
  std::string contents;
  std::error_code error;
  EXPECT_EQ(files.ReadWhole(history, contents, error), ReadResult::Ok);
  EXPECT_EQ(contents, "calc\r\n");

  auto temporary = files.ClaimTemporary(folder / "quillgate.inf", error);
  ASSERT_TRUE(temporary) << error.message();
  EXPECT_FALSE(temporary->Write("calc\r\nnotepad\r\n"));
  EXPECT_FALSE(temporary->MoveOver(history));
  EXPECT_EQ(ReadBytes(history), "calc\r\nnotepad\r\n");
  EXPECT_FALSE(Present(folder / "quillgate.inf"));
}

TEST_P(UnusualFolder, TheCoreKeepsItsHistoryThere) {
  FolderPair files(folder / "program", folder / "documents");
  testing::RecordingCore t(files);
  t.core.UpdateHistory("notepad");
  t.core.UpdateHistory("calc");
  EXPECT_EQ(ReadBytes(files.DocumentsHistory()), "notepad\r\ncalc\r\n");
  EXPECT_FALSE(Present(files.ProgramTemporary()));
  testing::RecordingBox box;
  t.core.LoadHistory(box);
  EXPECT_EQ(box.items, (std::vector<std::string>{"notepad", "calc"}));
  EXPECT_TRUE(t.notifier.messages.empty());
  EXPECT_TRUE(t.notifier.reports.empty()) << t.notifier.reports.front();
}

INSTANTIATE_TEST_SUITE_P(Win32FileSystem, UnusualFolder,
                         ::testing::Values(FolderShape{"Deep", true, false},
                                           FolderShape{"GreekAndKanji", false, true},
                                           FolderShape{"DeepAndForeign", true, true}));

// The portable split stands in for the path helpers wherever the shell is not there; on one
// table of inputs the two must agree.
TEST(ArgumentSplit, PortableSplitAgreesWithThePathHelpers) {
  const char* const inputs[] = {
      R"(notepad c:\notes.txt)",
      R"("C:\Program Files\x y\a.exe" -a b)",
      "x  y",
      "  x",
      R"("unterminated a b)",
      "x ",
      R"("abc )",
      "",
      R"(a"b c"d e)",
      "notepad",
      "calc",
      "one two three",
      "x\ty",
      "\tnotepad",
      "notepad\t",
      "x\t y",
      " ",
      "   ",
      R"(")",
      R"("")",
      R"(" ")",
      R"("" x)",
      R"("a b"c d)",
      R"("a" "b")",
      R"(a" b)",
      R"(x ")",
      R"("x" )",
      R"("x " )",
      "caf\xe9 cr\xe8me br\xfbl\xe9"
      "e",
      R"(http://example.com/?q=a b)",
  };
  win32::Shell shell;
  for (const char* input : inputs) {
    const CommandParts real = shell.SplitArguments(input);
    const CommandParts portable = SplitCommandLine(input);
    EXPECT_EQ(portable.file, real.file) << "input '" << input << "'";
    EXPECT_EQ(portable.parameters, real.parameters) << "input '" << input << "'";
  }
}

}  // namespace
}  // namespace quillgate
