// The launch core over the real Windows services, and the real launcher driven by real keys. The
// program also plays its helpers: a launched program, and a recorder that can be ended mid-way.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <fstream>

#include "platform/win32_files.h"
#include "platform/win32_system.h"
#include "res/resource.h"
#include "tests/native/fakes.h"

namespace quillgate::testing {
namespace {

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(missing)";
}

void Put(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

fs::path Self() {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  return self;
}

// The real file services with the program and documents folders below a new folder of a test's
// own (in the throwaway prefix, so left there).
struct Folders final : win32::FileSystem {
  explicit Folders(const fs::path& at, const std::wstring& below = L"")
      : root(at), program(at / below / "program"), documents(at / below / "documents") {}
  explicit Folders(const wchar_t* name, const wchar_t* below = L"")
      : Folders(fs::temp_directory_path() /
                    (std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++made) + name),
                below) {
    fs::create_directories(program);
    fs::create_directories(documents);
  }
  fs::path ProgramFolder() override { return program; }
  fs::path DocumentsFolder() override { return documents; }
  fs::path root, program, documents;
  static inline int made = 0;
};

using Process = std::unique_ptr<void, decltype(&CloseHandle)>;

Process Start(std::string commandLine, const fs::path& folder = {}) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // Wine now and then refuses a start with an internal error; the next try goes through.
  for (int attempt = 0; attempt < 3; ++attempt, Sleep(200)) {
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.empty() ? nullptr : folder.string().c_str(), &startup, &info)) {
      CloseHandle(info.hThread);
      return Process(info.hProcess, &CloseHandle);
    }
  }
  ADD_FAILURE() << "cannot start " << commandLine << ": " << GetLastError();
  return Process(nullptr, &CloseHandle);
}

DWORD Wait(const Process& process) {  // the exit code; 259 if still running, 999 if none
  DWORD code = 999;
  WaitForSingleObject(process.get(), 60000);
  GetExitCodeProcess(process.get(), &code);
  return code;
}

template <typename Condition>
bool Until(Condition done, int limitMs = 8000) {
  for (int waited = 0; !done(); waited += 20) {
    if (waited > limitMs) return false;
    Sleep(20);
  }
  return true;
}

TEST(RealFiles, LongAndNonAnsiFoldersKeepTheirHistory) {
  const std::wstring deep =
      std::wstring(90, L'd') + L"\\" + std::wstring(90, L'e') + L"\\" + std::wstring(90, L'f');
  for (const std::wstring& below :
       {std::wstring(L"\u0399\u03c3\u03c4\u03bf\u03c1\u03b9\u03ba\u03cc"),
        std::wstring(L"\u5c65\u6b74"), deep}) {
    Folders f(L"deep", below.c_str());
    Rig rig(f);
    for (const char* command : {"a", "b", "a"}) rig.core.UpdateHistory(command);
    EXPECT_EQ(Slurp(f.documents / "quillgate.ini"), "b\r\na\r\n");
    Box box;
    rig.core.LoadHistory(box);
    EXPECT_EQ(box.items, (std::vector<std::string>{"b", "a"}));
    EXPECT_FALSE(fs::exists(f.program / "quillgate.inf"));
    EXPECT_TRUE(rig.notes.failures.empty() && rig.notes.messages.empty());
  }
}

TEST(RealFiles, AHistoryHeldByAnotherProgramIsReportedAndKept) {
  Folders f(L"held");
  const fs::path history = f.documents / "quillgate.ini";
  Put(history, "old\r\n");
  Rig rig(f);
  HANDLE held = CreateFileW(history.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Box box;
  rig.core.LoadHistory(box);
  rig.core.UpdateHistory("new");
  CloseHandle(held);
  EXPECT_EQ(rig.notes.messages, std::vector<std::string>{"Failed to open quillgate.ini"});
  EXPECT_EQ(rig.notes.failures.size(), 1u);
  EXPECT_EQ(Slurp(history), "old\r\n");
  EXPECT_FALSE(fs::exists(f.program / "quillgate.inf"));
}

int g_stopAt = -1;

// Helper: --update NAME STOP COUNT COMMAND records COUNT commands as a launcher
// does, ending abruptly (exit 10 + step) when the step numbered STOP is reached.
int UpdateHelper(char** argv) {
  g_stopAt = std::atoi(argv[3]);
  SetUpdateStepHookForTesting([](UpdateStep step) {
    if (static_cast<int>(step) == g_stopAt) TerminateProcess(GetCurrentProcess(), 10 + g_stopAt);
  });
  Folders files{fs::path(argv[2])};
  Rig rig(files);
  for (int i = 1; i <= std::atoi(argv[4]); ++i) rig.core.UpdateHistory(argv[5] + std::to_string(i));
  return rig.notes.failures.empty() ? 0 : 1;
}

// Starts the helper above on the folders of `f`, which it keeps.
Process Update(const Folders& f, int stop, int count, const std::string& command) {
  return Start("\"" + Self().string() + "\" --update " + f.root.string() + " " +
               std::to_string(stop) + " " + std::to_string(count) + " " + command);
}

TEST(Recording, AnInterruptedRewriteLosesNoHistory) {
  for (int stop = 0; stop <= static_cast<int>(UpdateStep::Replaced); ++stop) {
    SCOPED_TRACE(stop);
    Folders f(L"stop");  // the rewrite ends in a move from the program folder to documents
    const fs::path history = f.documents / "quillgate.ini";
    Put(history, "old1\r\nold2\r\n");
    EXPECT_EQ(Wait(Update(f, stop, 1, "new")), 10u + stop);
    const std::string after = Slurp(history);
    EXPECT_TRUE(after == "old1\r\nold2\r\n" || after == "old1\r\nold2\r\nnew1\r\n") << after;
    EXPECT_EQ(Wait(Update(f, -1, 1, "next")), 0u);
    EXPECT_EQ(Slurp(history).rfind(after + "next1\r\n", 0), 0u) << Slurp(history);
  }
}

TEST(Recording, ConcurrentLaunchersEachKeepEveryCommand) {
  Folders f(L"concurrent");
  Put(f.documents / "quillgate.ini", "old\r\n");
  std::vector<Process> recorders;
  for (const char* name : {"a", "b", "c", "d"}) recorders.push_back(Update(f, -1, 25, name));
  for (const auto& recorder : recorders) EXPECT_EQ(Wait(recorder), 0u);
  const std::string history = Slurp(f.documents / "quillgate.ini");
  EXPECT_EQ(history.size(), 5 + 4 * (9 * 4 + 16 * 5));
  for (const std::string name : {"a", "b", "c", "d"}) {  // each one's commands in its order
    std::size_t at = 0;
    for (int i = 1; i <= 25 && at != std::string::npos; ++i)
      at = history.find("\n" + name + std::to_string(i) + "\r", at);
    EXPECT_NE(at, std::string::npos) << name;
  }
}

// Helper: --record ... stands in for a program the shell started; it writes how it was started
// and where to the file named by QG_RECORD, whole or not at all.
int RecordLaunch() {
  char folder[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, folder);
  const fs::path record = std::getenv("QG_RECORD");
  Put(fs::path(record).concat(".part"), std::string(GetCommandLineA()) + "\n" + folder);
  fs::rename(fs::path(record).concat(".part"), record);
  return 0;
}

// Presses `key` with `modifier` held, as a keyboard does.
void Press(WORD key, WORD modifier = 0) {
  INPUT in[4] = {};
  for (int i = 0; i < 4; ++i) {
    in[i].type = INPUT_KEYBOARD;
    in[i].ki.wVk = i == 0 || i == 3 ? modifier : key;
    in[i].ki.dwFlags = (i >= 2 ? KEYEVENTF_KEYUP : 0) |
                       (modifier == VK_RCONTROL && (i == 0 || i == 3) ? KEYEVENTF_EXTENDEDKEY : 0);
  }
  SendInput(modifier ? 4 : 2, modifier ? in : in + 1, sizeof(INPUT));
}

void Type(const std::string& text) {
  for (const char c : text) {
    const SHORT key = VkKeyScanA(c);
    Press(LOBYTE(key), HIBYTE(key) & 1 ? VK_SHIFT : 0);
  }
}

// A copy of quillgate.exe in a folder of its own, with its history beside it, running.
class Launcher {
 public:
  explicit Launcher(const std::string& history) : scratch_(L"launcher") {
    fs::copy_file(QG_LAUNCHER_EXE, scratch_.root / "quillgate.exe");
    Put(History(), history);
    process_ = Start("\"" + (scratch_.root / "quillgate.exe").string() + "\"", scratch_.root);
    EXPECT_TRUE(Until([&] { return (dialog = Window("QuillGate")) != nullptr; }, 30000));
    box = GetDlgItem(dialog, IDC_COMMAND);
    GUITHREADINFO gui{sizeof gui, 0, {}, {}, {}, {}, {}, {}, {}};
    const auto inFront = [&] {  // keys go where the focus is once the launcher is in front
      return GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui) &&
             gui.hwndActive == dialog && IsChild(box, gui.hwndFocus);
    };
    if (!Until(inFront, 2000)) SetForegroundWindow(dialog);  // Wine's X focus races: click it
    EXPECT_TRUE(Until(inFront));
  }
  ~Launcher() {
    if (Running()) TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 5000);
  }
  fs::path History() const { return scratch_.root / "quillgate.ini"; }
  bool Running() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
  bool Ended() {
    return Until([&] { return !Running(); });
  }

  // A visible top-level window of this launcher: its dialog by caption, or any other.
  HWND Window(const char* caption = nullptr) const {
    DWORD pid = 0;
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, nullptr, caption));) {
      GetWindowThreadProcessId(w, &pid);
      if (pid == GetProcessId(process_.get()) && IsWindowVisible(w) && w != dialog) return w;
    }
    return nullptr;
  }

  std::string Text() const {  // the tests type ASCII only
    std::wstring text(1024, L'\0');
    text.resize(SendMessageW(box, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text.data())));
    return {text.begin(), text.end()};
  }
  std::pair<int, int> Selection() const {
    const auto sel = static_cast<DWORD>(SendMessageW(box, CB_GETEDITSEL, 0, 0));
    return {LOWORD(sel), HIWORD(sel)};
  }
  // Every `step`th item of the list, from the first.
  std::vector<std::string> Items(int step = 1) const {
    std::vector<std::string> items;
    std::wstring text(1024, L'\0');
    for (int i = 0, count = SendMessageW(box, CB_GETCOUNT, 0, 0); i < count; i += step) {
      text.resize(SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data())));
      items.emplace_back(text.begin(), text.end());
      text.resize(1024);
    }
    return items;
  }
  void SetText(const std::string& text) const {
    SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  // Whether the box comes to show `text` with `from` to `to` selected.
  ::testing::AssertionResult Shows(const std::string& text, int from, int to) const {
    if (Until([&] { return Text() == text && Selection() == std::pair(from, to); }, 5000)) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << Text() << ' ' << Selection().first << ',' << Selection().second;
  }

  HWND dialog = nullptr;
  HWND box = nullptr;

 private:
  Folders scratch_;
  Process process_{nullptr, &CloseHandle};
};

TEST(Launcher, OpensOnTheHistoryAndCompletesWhatIsTyped) {
  Launcher l("notepad\r\nnslookup\r\n\r\ncalc\r\nunfinished");
  EXPECT_TRUE(l.Shows("calc", 0, 4));  // from the first paint; the list fills while idle
  EXPECT_TRUE(Until([&] {
    return l.Items() == std::vector<std::string>{"notepad", "nslookup", "calc"};
  }));
  EXPECT_EQ(RegisterHotKey(nullptr, 1, MOD_WIN | MOD_NOREPEAT, 'R'), FALSE);  // Win+R held
  Press('A', VK_CONTROL);
  Press(VK_DELETE);  // Ctrl+A selected everything; a deletion completes nothing
  EXPECT_TRUE(l.Shows("", 0, 0));
  Type("NO");  // the item's own letter case, its remainder selected
  EXPECT_TRUE(l.Shows("notepad", 2, 7));
  Type("t");
  EXPECT_TRUE(l.Shows("notepad", 3, 7));
  Press(VK_BACK);
  EXPECT_TRUE(l.Shows("not", 3, 3));
  Type("x");  // begins no item
  EXPECT_TRUE(l.Shows("notx", 4, 4));
  Press('A', VK_CONTROL);
  EXPECT_TRUE(l.Shows("notx", 0, 4));
  Type("nlookup");
  Press(VK_HOME);
  Press(VK_RIGHT);
  Type("s");  // completes to an item, yet the caret inside the text stays
  EXPECT_TRUE(l.Shows("nslookup", 2, 2));
  Press(VK_ESCAPE);
  EXPECT_TRUE(l.Ended());
  EXPECT_EQ(Slurp(l.History()), "notepad\r\nnslookup\r\n\r\ncalc\r\nunfinished");
}

TEST(Launcher, EnterAndCtrlEnterHandTheCommandToTheShellAndRecordWhatItTook) {
  Folders files(L"launch");
  const fs::path document = files.root / "doc.qgt", record = files.root / "record.txt";
  Put(document, "");
  SetEnvironmentVariableA("QG_RECORD", record.string().c_str());
  for (const std::string verb : {"open", "runas"}) {  // a file type whose two verbs tell apart
    const std::string command = "\"" + Self().string() + "\" --record " + verb + " \"%1\" %*";
    RegSetValueA(HKEY_CLASSES_ROOT, ("qgtfile\\shell\\" + verb + "\\command").c_str(), REG_SZ,
                 command.c_str(), command.size());
  }
  RegSetValueA(HKEY_CLASSES_ROOT, ".qgt", REG_SZ, "qgtfile", 7);
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  const std::string command = document.string() + " -a  \"b c\"";
  for (const auto& [ctrl, verb] :
       {std::pair<WORD, const char*>{0, "open"}, {VK_LCONTROL, "runas"}, {VK_RCONTROL, "runas"}}) {
    SCOPED_TRACE(verb);
    fs::remove(record);
    Launcher l("old\r\n");
    if (!ctrl) {  // a command the shell refuses keeps the dialog open and records nothing
      l.SetText("qg-no-such-program");
      Press(VK_RETURN);
      HWND error = nullptr;
      EXPECT_TRUE(Until([&] { return (error = l.Window()) != nullptr; }));  // the shell's message
      PostMessageA(error, WM_CLOSE, 0, 0);
      EXPECT_TRUE(Until([&] { return !IsWindow(error); }) && l.Running());
      EXPECT_TRUE(Until([&] {
        return l.Items() == std::vector<std::string>{"old", "qg-no-such-program"};
      }));
    }
    l.SetText("  " + command + "  ");
    Press(VK_RETURN, ctrl);
    EXPECT_TRUE(Until([&] { return fs::exists(record); }));
    EXPECT_EQ(Slurp(record), "\"" + Self().string() + "\" --record " + verb + " \"" +
                                 document.string() + "\" -a  \"b c\"\n" + system);
    EXPECT_TRUE(l.Ended());
    EXPECT_EQ(Slurp(l.History()), "old\r\n" + command + "\r\n");
  }
}

TEST(Launcher, BrowseAppendsTheChosenPathAndCancelChangesNothing) {
  Launcher l("");
  const fs::path chosen = l.History().parent_path() / "a b.txt";
  Put(chosen, "");
  l.SetText("notepad ");
  for (const bool choose : {true, false}) {
    PostMessageA(l.dialog, WM_COMMAND, IDC_BROWSE, 0);  // what a click on Browse... sends
    HWND picker = nullptr;
    ASSERT_TRUE(Until([&] { return (picker = l.Window()) != nullptr; }));
    Sleep(300);  // the dialog takes the keys once it has the focus
    if (choose) Type(chosen.string());
    Press(choose ? VK_RETURN : VK_ESCAPE);
    EXPECT_TRUE(Until([&] { return !IsWindow(picker); }));
    EXPECT_EQ(l.Text(), "notepad \"" + chosen.string() + "\"");
  }
}

TEST(Launcher, ALongHistoryIsWholeAndKeysTypedAtOnceCompleteAgainstAllOfIt) {
  std::string history;
  char line[16];
  for (int i = 0; i < 100000; ++i) history.append(line, std::snprintf(line, 16, "c%06d\r\n", i));
  Launcher l(history);
  Type("c09999");  // the moment the window shows; only the last lines begin so
  EXPECT_TRUE(l.Shows("c099990", 6, 7));
  std::vector<std::string> expected;
  for (int i = 0; i < 100000; i += 4999) expected.push_back(history.substr(i * 9, 7));
  EXPECT_EQ(l.Items(4999), expected);
  EXPECT_EQ(SendMessageW(l.box, CB_GETCOUNT, 0, 0), 100000);
}

// At 150%, 200% and 100% (Wine reads the scale as a program starts): version-6 controls placed by
// the template in units of the dialog's font, texts whole, the icon at the scale's size.
TEST(Launcher, IsThemedAndLaidOutWholeAtEachScale) {
  win32::SystemFunction<DPI_AWARENESS_CONTEXT WINAPI(DPI_AWARENESS_CONTEXT)>(
      L"user32.dll", "SetThreadDpiAwarenessContext")(DPI_AWARENESS_CONTEXT(-4));  // unscaled
  for (DWORD dpi : {144, 192, 96}) {  // 100% last: the prefix is the other tests' too
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, 4);
    SCOPED_TRACE(dpi);
    Launcher l("");
    EXPECT_EQ(SendMessageW(l.box, CB_GETMINVISIBLE, 0, 0), 30);    // a classic combo box: 0
    const std::unique_ptr<HFONT__, decltype(&DeleteObject)> font(  // as the dialog manager does
        CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 2, 0, L"MS Sans Serif"),
        &DeleteObject);
    const std::unique_ptr<HDC__, decltype(&DeleteDC)> dc(CreateCompatibleDC(nullptr), &DeleteDC);
    SelectObject(dc.get(), font.get());
    RECT r{}, text;  // the font's units: the average letter's width, the line's height
    DrawTextW(dc.get(), L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &r,
              DT_CALCRECT);
    const int ux = (r.right / 26 + 1) / 2, uy = r.bottom, icon = MulDiv(32, dpi, 96);
    const auto place = [&](int id) {  // left, top, width, height in the dialog
      GetWindowRect(GetDlgItem(l.dialog, id), &r);
      MapWindowPoints(nullptr, l.dialog, reinterpret_cast<POINT*>(&r), 2);
      return std::array{int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)};
    };
    const int boxes[][5] = {{IDOK, 67, 70, 50, 14},          {IDCANCEL, 123, 70, 50, 14},
                            {IDC_BROWSE, 177, 70, 50, 14},   {IDC_PROMPT, 54, 16, 166, 20},
                            {IDC_OPEN_LABEL, 18, 41, 18, 8}, {IDC_ELEVATE_HINT, 47, 55, 102, 8},
                            {IDC_DIALOG_ICON, 16, 14, 0, 0}};  // the icon's size
    const int edge = place(IDC_COMMAND)[0] + place(IDC_COMMAND)[2];
    for (const auto& [id, x, y, cx, cy] : boxes) {
      const auto at = place(id);
      const bool wider = (id == IDC_PROMPT || id == IDC_ELEVATE_HINT) && at[0] + at[2] == edge;
      const int w = cx ? MulDiv(cx, ux, 4) : icon, h = cy ? MulDiv(cy, uy, 8) : icon;
      EXPECT_EQ(at, (std::array{MulDiv(x, ux, 4), MulDiv(y, uy, 8), wider ? at[2] : w, h})) << id;
      wchar_t caption[128] = {};
      SendDlgItemMessageW(l.dialog, id, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(caption));
      text = {0, 0, at[2], 0};
      DrawTextW(dc.get(), caption, -1, &text, DT_CALCRECT | DT_WORDBREAK);
      EXPECT_TRUE(text.right <= at[2] && text.bottom <= at[3]) << id;
    }
    const int next = dpi == 96 ? 144 : 96;  // as if moved to another monitor; Wine re-lays nothing
    SendMessageW(l.dialog, WM_DPICHANGED, MAKEWPARAM(next, next), 0);
    EXPECT_TRUE(Until([&] { return place(IDC_DIALOG_ICON)[2] == MulDiv(32, next, 96); }));
  }
}

}  // namespace
}  // namespace quillgate::testing

int main(int argc, char** argv) {
  if (argc == 6 && std::string(argv[1]) == "--update") {
    return quillgate::testing::UpdateHelper(argv);
  }
  if (argc > 1 && std::string(argv[1]) == "--record") {
    return quillgate::testing::RecordLaunch();
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
