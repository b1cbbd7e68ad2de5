// The launch core over the real Windows services, and the real launcher driven by real keys. The
// program also plays its helpers: a launched program, and a recorder that can be ended mid-way.
#undef WINVER
#define WINVER 0x0605  // declares the scale functions of Windows 10 1607, looked up at run time
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>
#include <fstream>
#include <map>
#include <tuple>
#include <optional>
#include <thread>

#include "platform/win32_files.h"
#include "platform/win32_handle.h"
#include "platform/win32_text.h"
#include "platform/win32_system.h"
#include "res/resource.h"
#include "ui/app_source.h"
#include "ui/deferred_input.h"
#include "ui/dropdown_popup.h"
#include "ui/test_seams.h"
#include "tests/native/fakes.h"

namespace quillgate::testing {
namespace {
using win32::Narrow;
using win32::Widen;
#define EVENTUALLY(...) EXPECT_TRUE(Until([&] { return __VA_ARGS__; }))

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(missing)";
}

void Put(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

fs::path Self(std::wstring self = std::wstring(MAX_PATH, L'\0')) {
  return self.substr(0, GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
}

struct Folders : win32::FileSystem {
  explicit Folders(const fs::path& at, const std::wstring& below = L"")
      : root(at), program(at / below / "program"), documents(at / below / "documents") {}
  explicit Folders(const wchar_t* name, const wchar_t* below = L"")
      : Folders(fs::temp_directory_path() /
                    (std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++made) + name),
                below) {
    for (const fs::path& folder : {program, documents}) fs::create_directories(folder);
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
  for (int attempt = 0; attempt < 3; ++attempt, Sleep(200))
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.empty() ? nullptr : folder.string().c_str(), &startup, &info))
      return CloseHandle(info.hThread), Process(info.hProcess, &CloseHandle);
  ADD_FAILURE() << "cannot start " << commandLine << ": " << GetLastError();
  return Process(nullptr, &CloseHandle);
}

DWORD Wait(const Process& process, DWORD code = 999) {  // 259 if still running, 999 if none
  return WaitForSingleObject(process.get(), 60000), GetExitCodeProcess(process.get(), &code), code;
}

// The launcher under test: this build's, or one QG_LAUNCHER names, perhaps emulated step by step
// (a 32-bit one where the kernel runs no 32-bit code): waits on that one are ten times as long.
const char* const g_launcher =
    std::getenv("QG_LAUNCHER") ? std::getenv("QG_LAUNCHER") : QG_LAUNCHER_EXE;
const int g_patience = std::getenv("QG_LAUNCHER") ? 10 : 1;

template <typename Condition>
bool Until(Condition done, int limitMs = 8000, int stepMs = 20) {
  const ULONGLONG end = GetTickCount64() + limitMs * g_patience;  // and as long in real time
  for (int waited = 0; !done(); waited += stepMs) {
    if (waited > limitMs && GetTickCount64() > end) return false;
    Sleep(stepMs);
  }
  return true;
}

HWND TopWindow(DWORD pid, const wchar_t* windowClass, const wchar_t* caption = nullptr,
               HWND other = nullptr, bool hidden = false) {
  DWORD owner = 0;
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, windowClass, caption));)
    if (GetWindowThreadProcessId(w, &owner), owner == pid && w != other)
      if (hidden || IsWindowVisible(w)) return w;
  return nullptr;
}

// Another process's window's text: GetWindowText would answer that process's caption.
std::string TextOf(HWND window) {
  wchar_t text[1024];
  return Narrow({text, size_t(SendMessageW(window, WM_GETTEXT, 1024, LPARAM(text)))});
}

LRESULT Rows(HWND popup) {
  return popup ? SendMessageW(GetWindow(popup, GW_CHILD), LB_GETCOUNT, 0, 0) : -1;
}
std::vector<std::string> Texts(HWND popup, int step = 1) {
  std::vector<std::string> items;
  for (LRESULT i = 0, count = Rows(popup); i < count; i += step)
    items.push_back((SendMessageW(popup, seams::kCopyItemMessage, i, 0), TextOf(popup)));
  return items;
}

RECT Rect(HWND window, RECT r = {}) {
  return GetWindowRect(window, &r), r;
}

struct Setting {
  Setting(const wchar_t* k, const wchar_t* n, DWORD value) : key(k), name(n) { Set(value); }
  ~Setting() { had ? Set(old) : void(RegDeleteKeyValueW(HKEY_CURRENT_USER, key, name)); }
  void Set(DWORD v) const { RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_DWORD, &v, 4); }
  const wchar_t *key, *name;
  DWORD old = 0, size = sizeof old;
  const bool had =
      !RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &old, &size);
};

// Held by another program (sharing reading, writing or nothing) or only mapped, as sync tools and
// virus scanners do: waited for. A folder in its place or read-only: reported, as no wait changes
// that. Kept as it was, in folders of long or non-ANSI names, where what waited is then recorded.
TEST(RealFiles, AHistoryHeldOrUnreadableIsKeptAndWhatAWaitMayChangeIsWaitedFor) {
  const DWORD sharing[] = {
      0, 0, 0, FILE_SHARE_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_SHARE_READ};
  const std::wstring below[] = {
      L"\u0399\u03c3\u03c4\u03bf\u03c1\u03b9\u03ba\u03cc", L"\u5c65\u6b74",
      std::wstring(90, L'd') + L"\\" + std::wstring(90, L'e') + L"\\" + std::wstring(90, L'f')};
  for (const int kind : {0, 1, 2, 3, 4, 5}) {
    SCOPED_TRACE(kind);
    Folders f(L"held", below[kind % 3].c_str());
    const fs::path history = f.documents / "quillgate.ini",
                   kept = kind == 1 ? history / "x" : history;
    const bool waits = kind != 1 && kind != 2;
    Put(kept, "old\r\n");
    SetFileAttributesW(history.c_str(), kind == 2 ? FILE_ATTRIBUTE_READONLY : 0);
    Rig rig(f);
    win32::Handle held(
        waits ? CreateFileW(history.c_str(), GENERIC_READ, sharing[kind], 0, OPEN_EXISTING, 0, 0)
              : nullptr);
    const void* view = nullptr;
    if (kind == 5) {
      const win32::Handle mapping(
          CreateFileMappingW(held.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
      ASSERT_NE(view = MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0), nullptr);
      held.Reset();
    }
    rig.Load();
    for (const RewriteOutcome& failed : {rig.Record("new"), rig.Forget("old")})
      EXPECT_TRUE(failed.kind == RewriteOutcome::Kind::Failed && failed.transient == waits);
    held.Reset();
    if (view) UnmapViewOfFile(view);
    EXPECT_EQ(rig.notes.messages.size(), kind >= 2 ? 2u : 3u);  // the others load
    EXPECT_EQ(Slurp(kept), "old\r\n");
    if (kind > 2) {
      EXPECT_EQ(rig.Record("new").kind, RewriteOutcome::Kind::Done);
      EXPECT_EQ(Slurp(history), "old\r\nnew\r\n");
      EXPECT_EQ(rig.Load().items, (std::vector<std::string>{"old", "new"}));
    }
    EXPECT_FALSE(fs::exists(f.documents / "quillgate.inf") && kind != 2);
    EXPECT_EQ(rig.notes.failures.size(), 2u);
  }
}

enum Step { kClaimed, kWritten, kMoved };

struct Stopping final : Folders {
  Stopping(const fs::path& at, int stop) : Folders(at), stopAt(stop) {}
  using Error = std::error_code;
  using File = std::unique_ptr<ITemporaryFile>;
  Error Reached(int step, Error error = {}) const {
    if (step == stopAt && !error) TerminateProcess(GetCurrentProcess(), 10 + step);
    return error;
  }
  File ClaimTemporary(const fs::path& path, Error& error) override {
    auto file = Folders::ClaimTemporary(path, error);
    return file ? Reached(kClaimed), std::make_unique<Temporary>(*this, std::move(file)) : nullptr;
  }
  struct Temporary final : ITemporaryFile {
    Temporary(const Stopping& stops, File file) : s(stops), f(std::move(file)) {}
    const fs::path& Path() const override { return f->Path(); }
    const std::string& Leftover() const override { return f->Leftover(); }
    Error Write(const std::string& t) override { return s.Reached(kWritten, f->Write(t)); }
    Error MoveOver(const fs::path& p) override { return s.Reached(kMoved, f->MoveOver(p)); }
    void Remove() override { f->Remove(); }
    const Stopping& s;
    File f;
  };
  int stopAt;
};

int UpdateHelper(char** argv) {
  Stopping files{fs::path(argv[2]), std::atoi(argv[3])};
  Rig rig(files);
  for (int i = 1; i <= std::atoi(argv[4]); ++i)  // "-x" forgets x1, x2...
    argv[5][0] == '-' ? rig.Forget(argv[5] + 1 + std::to_string(i))
                      : rig.Record(argv[5] + std::to_string(i));
  return rig.notes.failures.empty() ? 0 : 1;
}

Process Update(const Folders& f, int stop, int count, const std::string& command) {
  return Start("\"" + Self().string() + "\" --update " + f.root.string() + " " +
               std::to_string(stop) + " " + std::to_string(count) + " " + command);
}

// Ended at each step of a rewrite, then four launchers at once: three record, one forgets every x.
TEST(Recording, AnInterruptedRewriteLosesNoHistoryAndConcurrentLaunchersEachKeepEveryChange) {
  std::string old = "old\r\n";
  for (int i = 1; i <= 25; ++i) old += "x" + std::to_string(i) + "\r\n";
  for (int stop = kClaimed; stop <= kMoved; ++stop) {
    SCOPED_TRACE(stop);
    Folders f(L"stop");  // the history in documents, rewritten beside it
    const fs::path history = f.documents / "quillgate.ini";
    Put(history, old);
    EXPECT_EQ(Wait(Update(f, stop, 1, "new")), 10u + stop);
    const std::string after = Slurp(history);
    EXPECT_TRUE(after == old || after == old + "new1\r\n") << after;
    std::vector<Process> recorders;
    for (const char* name : {"a", "b", "c", "-x"}) recorders.push_back(Update(f, -1, 25, name));
    for (const auto& recorder : recorders) EXPECT_EQ(Wait(recorder), 0u);
    const std::string now = Slurp(history);
    EXPECT_EQ(now.rfind("old\r\n" + after.substr(old.size()), 0), 0u) << now;
    EXPECT_EQ(now.size(), after.size() - old.size() + 5 + 3 * (9 * 4 + 16 * 5)) << now;
    for (const std::string name : {"a", "b", "c"}) {  // each one's commands in its order
      std::size_t at = 0;
      for (int i = 1; i <= 25 && at != std::string::npos; ++i)
        at = now.find("\n" + name + std::to_string(i) + "\r", at);
      EXPECT_NE(at, std::string::npos) << name;
    }
  }
}

// --record ... stands in for a program the shell started: how and where it was started, written to
// QG_RECORD whole or not at all.
int RecordLaunch() {
  const fs::path record = std::getenv("QG_RECORD"), part = fs::path(record).concat(".part");
  Put(part, Narrow(GetCommandLineW()) + "\n" + Narrow(fs::current_path().wstring()));
  return fs::rename(part, record), 0;
}

// .qgt files open with the recorder, which writes to `record`; "open" and "runas" tell apart.
struct Launches {
  explicit Launches(const wchar_t* name, const fs::path& below = "a.qgt")
      : files(name), document(files.root / below) {
    Put(document, "");
    SetEnvironmentVariableA("QG_RECORD", record.string().c_str());
    for (const std::string verb : {"open", "runas"})  // the length is the string's
      RegSetValueA(HKEY_CLASSES_ROOT, ("qgtfile\\shell\\" + verb + "\\command").c_str(), REG_SZ,
                   (Opening(verb, "%1") + " %*").c_str(), 0);
    RegSetValueA(HKEY_CLASSES_ROOT, ".qgt", REG_SZ, "qgtfile", 0);
  }
  // What the recorder writes first when the shell opens `file` with `verb`.
  static std::string Opening(const std::string& verb, const fs::path& file) {
    return "\"" + Self().string() + "\" --record " + verb + " \"" + Narrow(file.wstring()) + "\"";
  }
  Folders files;
  const fs::path record = files.root / "record", document;
};

void Pump() {
  for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
}

VARIANT Child(long id, VARIANT v = {}) {
  return v.vt = VT_I4, v.lVal = id, v;
}

win32::ComPtr<IAccessible> ObjectOf(HWND list, win32::ComPtr<IAccessible> object = {}) {
  EXPECT_EQ(AccessibleObjectFromWindow(list, OBJID_CLIENT, IID_IAccessible,
                                       reinterpret_cast<void**>(object.Out())),
            S_OK);
  return object;
}

HWND g_watched = nullptr;
std::string g_events;
void CALLBACK Hear(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
  const char* const kinds[] = {"", "", "show", "hide", "", "focus", "select"};
  if (object == OBJID_CLIENT && window && (window == g_watched || window == GetFocus()))
    g_events += kinds[event & 7] + (" " + std::to_string(window == g_watched ? child : -1)) + ";";
}

// The drop-down both lists share, asked in this process (Wine's oleacc answers no other).
TEST(DropDown, PicksAndReadsEachItemToAScreenReaderAndTellsWhereTheHighlightGoes) {
  const win32::ComApartment com;
  const std::unique_ptr<HWND__, decltype(&DestroyWindow)> parent{
      CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 200, 0, 0, 0, 0), &DestroyWindow};
  CComboBox combo;  // hidden, as its parent is
  combo.Attach(CreateWindowExW(0, L"ComboBox", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN, 10, 10,
                               300, 120, parent.get(), nullptr, nullptr, nullptr));
  std::vector<std::size_t> picked;
  const auto number = [](std::size_t i) { return std::to_wstring(i); };
  auto popup = std::make_unique<DropDownPopup>(L"QgTestRead", L"History", DT_END_ELLIPSIS, number,
                                               [&](std::size_t i) { picked.push_back(i); });
  DropDownPopup other(L"QgTestOther", L"", DT_PATH_ELLIPSIS, number, [](std::size_t) {});
  ASSERT_TRUE(popup->Create(parent.get()));
  const HWND list = g_watched = popup->ListBox();
  g_events.clear();
  const auto hook = SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SELECTION, nullptr, Hear,
                                    GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  // Out of context, the events come through this thread's messages: all of them once it is idle.
  const auto heard = [] { return Pump(), std::exchange(g_events, {}); };
  popup->Open(combo, 100000, 70000, 30);
  EXPECT_EQ(heard(), "show 0;focus 70001;select 70001;");
  SendMessageW(list, LB_SETTOPINDEX, 69990, 0);
  const win32::ComPtr<IAccessible> object = ObjectOf(list);
  ASSERT_TRUE(object.Valid());
  long count = 0;
  EXPECT_TRUE(object->get_accChildCount(&count) == S_OK && count == 100000);
  std::wstring names;
  for (const long id : {long(CHILDID_SELF), 1L, 70001L, 100000L, 100001L}) {
    BSTR text = nullptr;
    const HRESULT named = object->get_accName(Child(id), &text);
    names += (named == E_INVALIDARG ? L"none" : text ? text : L"(null)") + std::wstring(L",");
    SysFreeString(text);
  }
  EXPECT_EQ(names, L"History,0,70000,99999,none,");
  const auto value = [&](auto get, long id) {
    VARIANT v{};
    return (object.Get()->*get)(Child(id), &v) == S_OK && v.vt == VT_I4 ? v.lVal : -1;
  };
  EXPECT_EQ(value(&IAccessible::get_accRole, CHILDID_SELF), ROLE_SYSTEM_LIST);
  EXPECT_EQ(value(&IAccessible::get_accRole, 5), ROLE_SYSTEM_LISTITEM);
  const long item = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE, off = STATE_SYSTEM_OFFSCREEN,
             lit = STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED;
  const long states[][2] = {
      {69990, item | off}, {69991, item}, {70020, item}, {70001, item | lit}, {70021, item | off}};
  for (const auto& [id, state] : states)
    EXPECT_EQ(value(&IAccessible::get_accState, id), state) << id;
  RECT r{}, placed{-1, -1, -1, -1}, none = placed, zero{};  // left, top and size, as given
  SendMessageW(list, LB_GETITEMRECT, 70000, reinterpret_cast<LPARAM>(&r));
  MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&r), 2);
  object->accLocation(&placed.left, &placed.top, &placed.right, &placed.bottom, Child(70001));
  object->accLocation(&none.left, &none.top, &none.right, &none.bottom, Child(1));
  VARIANT at{};
  EXPECT_TRUE(object->accHitTest(r.left + 2, r.bottom + 1, &at) == S_OK && at.vt == VT_I4 &&
              at.lVal == 70002);
  r.right -= r.left, r.bottom -= r.top;
  EXPECT_TRUE(EqualRect(&placed, &r) && EqualRect(&none, &zero));
  EXPECT_TRUE(object->get_accFocus(&at) == S_OK && at.lVal == 70001);
  const long steps[][3] = {{NAVDIR_NEXT, 70001, 70002}, {NAVDIR_PREVIOUS, 2, 1},
                           {NAVDIR_PREVIOUS, 1, 0},     {NAVDIR_NEXT, 100000, 0},
                           {NAVDIR_FIRSTCHILD, 0, 1},   {NAVDIR_LASTCHILD, 0, 100000}};
  for (const auto& [direction, from, to] : steps) {
    at.vt = VT_NULL;
    const HRESULT found = object->accNavigate(direction, Child(from), &at);
    EXPECT_TRUE(to ? found == S_OK && at.vt == VT_I4 && at.lVal == to
                   : found == S_FALSE && at.vt == VT_EMPTY)
        << direction << " " << from;
  }
  HWND window = nullptr;
  win32::ComPtr<IDispatch> up;
  EXPECT_TRUE(WindowFromAccessibleObject(object.Get(), &window) == S_OK && window == list &&
              object->get_accParent(up.Out()) == S_OK && up.Valid());
  EXPECT_EQ(object->accDoDefaultAction(Child(70004)), S_OK);
  const auto height = SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
  MSG click{list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 3 * height + 1), 0, {}};
  EXPECT_TRUE(popup->PreTranslateMessage(&click));  // the fourth row shown
  EXPECT_EQ(picked, (std::vector<std::size_t>{70003, 69993}));

  popup->Open(combo, 100000, 70000, 30);
  combo.SetFocus();  // the box keeps the keys; the reader goes back to it when no item is lit
  heard();
  for (const int row : {70005, 70005, -1, 2}) popup->Select(row);  // again as a key is typed: once
  popup->Close();
  popup->Select(3);  // closed: nothing to hear
  EXPECT_EQ(heard(), "focus 70006;select 70006;focus -1;focus 3;select 3;hide 0;focus -1;");
  EXPECT_EQ(value(&IAccessible::get_accState, CHILDID_SELF), STATE_SYSTEM_INVISIBLE);
  EXPECT_EQ(object->get_accFocus(&at), S_FALSE);
  for (const int font : {SYSTEM_FONT, ANSI_VAR_FONT}) {  // as a change of scale gives the box
    combo.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(font)));
    other.Open(combo, 3, -1, 10);
    popup->Open(combo, 100000, 70000, 30);
    EXPECT_EQ(SendMessageW(list, WM_GETFONT, 0, 0), LRESULT(GetStockObject(font)));
  }
  EXPECT_TRUE(popup->IsOpen() && !other.IsOpen() && DropDownPopup::AnotherOpen(&other));
  // A client may hold the object longer than the list lives; COM cuts it off from other
  // apartments too, never left waiting for the launcher's thread while it records.
  IStream* stream = nullptr;
  ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IAccessible, object.Get(), &stream), S_OK);
  popup.reset();
  EXPECT_EQ(object->get_accChildCount(&count), RPC_E_DISCONNECTED);
  UnhookWinEvent(hook);
  std::atomic<HRESULT> taken{S_FALSE};
  std::thread reader([&] {  // a proxy it got stays unheld: the check fails then anyway
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    void* remote = nullptr;
    taken = CoGetInterfaceAndReleaseStream(stream, IID_IAccessible, &remote);
  });
  EVENTUALLY(Pump(), taken != S_FALSE);
  reader.join();
  EXPECT_TRUE(FAILED(taken)) << std::hex << taken;
}

// Input before the lines: what needs it waits, and what comes behind; what closes or leaves never.
TEST(DeferredInput, HoldsWhatNeedsTheHistoryAndNeverWhatClosesOrLeaves) {
  const auto msg = [](UINT message, WPARAM wParam, LPARAM lParam = 0, DWORD forBox = 1) {
    return MSG{nullptr, message, wParam, lParam, forBox, {}};  // in its time field
  };
  const LPARAM alt = 1 << 29;
  DeferredInput input;
  std::string held;
  for (const MSG& each :
       {msg(WM_KEYDOWN, VK_RETURN), msg(WM_CHAR, 'a', 0, 0), msg(WM_PAINT, 0), msg(WM_CHAR, 'a'),
        msg(WM_KEYDOWN, VK_DOWN), msg(WM_CHAR, 'a', 0, 0), msg(WM_LBUTTONDOWN, 0, 0, 0),
        msg(WM_KEYDOWN, VK_ESCAPE), msg(WM_CHAR, 0x1B), msg(WM_KEYDOWN, VK_TAB),
        msg(WM_SYSKEYDOWN, VK_F4, alt), msg(WM_SYSKEYDOWN, VK_SPACE, alt),
        msg(WM_SYSCHAR, ' ', alt)})
    held += input.Hold(each, each.time) ? 'H' : '-';
  // A launch never waits, nor what is not for the box, nor typing, which shows at once; then what
  // needs the lines does, and all behind it; what closes or leaves never.
  EXPECT_EQ(held, "----HHH------");
  std::vector<UINT> routed;
  input.Replay([&](MSG& each) { routed.push_back(each.message); }, [] { return false; });
  EXPECT_EQ(routed, (std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_LBUTTONDOWN}));
}

void Key(WORD key, DWORD flags = 0) {
  INPUT in{INPUT_KEYBOARD, {}};
  (flags & KEYEVENTF_UNICODE ? in.ki.wScan : in.ki.wVk) = key;
  in.ki.dwFlags = flags | (key == VK_RCONTROL || key == VK_RMENU ? KEYEVENTF_EXTENDEDKEY : 0);
  SendInput(1, &in, sizeof in);
}

void Press(WORD key, WORD modifier = 0, DWORD flags = 0) {
  if (modifier) Key(modifier);
  Key(key, flags), Key(key, flags | KEYEVENTF_KEYUP);
  if (modifier) Key(modifier, KEYEVENTF_KEYUP);
}

// Text as typed: ASCII by its keys, the rest as an input method sends it; keys by these characters.
#define K_CTRL_A "\x01"
#define K_HOME "\x02"
#define K_RIGHT "\x03"
#define K_ALTGR_A "\x04"
#define K_DOWN "\x05"
#define K_UP "\x06"
#define K_ALT_DOWN "\x07"
#define K_BACK "\x08"
#define K_ESC "\x09"
#define K_DEL "\x0A"
#define K_SHIFT_DEL "\x0B"
void Type(const std::string& utf8) {
  const WORD keys[][2] = {
      {},      {'A', VK_CONTROL},  {VK_HOME}, {VK_RIGHT},  {'A', VK_RMENU}, {VK_DOWN},
      {VK_UP}, {VK_DOWN, VK_MENU}, {VK_BACK}, {VK_ESCAPE}, {VK_DELETE},     {VK_DELETE, VK_SHIFT}};
  for (const wchar_t c : Widen(utf8)) {
    const SHORT key = c < 0x80 ? VkKeyScanW(c) : -1;
    if (c == 4) Key(VK_LCONTROL);  // AltGr, as Windows reports it: left Ctrl and right Alt
    if (c < 12) Press(keys[c][0], keys[c][1]);
    if (c >= 12)
      key == -1 ? Press(c, 0, KEYEVENTF_UNICODE)
                : Press(LOBYTE(key), HIBYTE(key) & 1 ? VK_SHIFT : 0);
    if (c == 4) Key(VK_LCONTROL, KEYEVENTF_KEYUP);
  }
}

bool InFront(HWND window, HWND inside) {
  GUITHREADINFO gui{sizeof gui, 0, {}, {}, {}, {}, {}, {}, {}};
  return GetForegroundWindow() == window &&
         GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui) &&
         gui.hwndActive == window && IsChild(inside, gui.hwndFocus);
}

class Launcher {
 public:
  explicit Launcher(const std::string& history) : m_scratch(L"launcher") {
    fs::copy_file(g_launcher, m_scratch.root / "quillgate.exe");
    Put(History(), history);
    m_process = Start("\"" + (m_scratch.root / "quillgate.exe").string() + "\"", m_scratch.root);
    EXPECT_TRUE(
        Until([&] { return (dialog = Window(L"QuillGate", nullptr)) != nullptr; }, 30000, 1));
    box = GetDlgItem(dialog, IDC_COMMAND);
    Focus();
  }
  ~Launcher() {
    if (Running()) TerminateProcess(m_process.get(), 1);
    WaitForSingleObject(m_process.get(), 5000);
  }
  void Focus() {
    const auto inFront = [&] { return InFront(dialog, box); };
    if (!Until(inFront, 2000)) SetForegroundWindow(dialog);  // Wine's X focus races: click it
    ASSERT_TRUE(Until(inFront));
  }
  // Keys straight into the box's queue, wherever the focus is: they cannot go astray.
  void Post(const std::vector<WORD>& keys) const {
    for (const WORD key : keys) {
      const LPARAM scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC) << 16;
      PostMessageW(Edit(), WM_KEYDOWN, key, scan | 1);
      PostMessageW(Edit(), WM_KEYUP, key, scan | 0xC0000001);
    }
  }
  HWND Edit() const { return FindWindowExW(box, nullptr, L"Edit", nullptr); }
  void Chars(const std::string& utf8) const {
    for (const wchar_t c : Widen(utf8)) PostMessageW(Edit(), WM_CHAR, c, 1);
  }
  // As the shell drops files: a DROPFILES block of wide names in the launcher's memory, posted.
  void Drop(HWND target, const std::vector<fs::path>& paths) const {
    std::wstring names;
    for (const fs::path& path : paths) names += path.wstring() + L'\0';
    const DROPFILES header{sizeof header, {}, FALSE, TRUE};
    std::string block(reinterpret_cast<const char*>(&header), sizeof header);
    block.append(reinterpret_cast<const char*>(names.c_str()), (names.size() + 1) * 2);
    void* at = VirtualAllocEx(m_process.get(), nullptr, block.size(), MEM_COMMIT, PAGE_READWRITE);
    ASSERT_TRUE(at && WriteProcessMemory(m_process.get(), at, block.data(), block.size(), nullptr));
    PostMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(at), 0);
  }
  LRESULT Offered() const { return Rows(Window(nullptr, seams::kSuggestionListClass)); }
  fs::path History() const { return m_scratch.root / "quillgate.ini"; }
  bool Running() const { return WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT; }
  // Whether another launcher could put a new history in place now: not while a view or a handle
  // that shares no deletion holds it. Replaced by the same bytes.
  bool Replaceable() const {
    const fs::path copy = fs::path(History()).concat("~");
    Put(copy, Slurp(History()));
    return MoveFileExW(copy.c_str(), History().c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  ::testing::AssertionResult Ended(const std::optional<std::string>& history = {}) const {
    const bool ended = Until([&] { return !Running(); });
    const std::string left = Slurp(History());
    return ::testing::AssertionResult(ended && (!history || left == *history))
           << (ended ? left : "running");
  }
  bool DismissMessage(std::string* text = nullptr) const {
    HWND message = nullptr;
    if (!Until([&] { return (message = Window()) != nullptr; })) return false;
    if (IsWindow(dialog) && (GetWindow(message, GW_OWNER) != dialog || IsWindowEnabled(dialog)))
      return false;
    if (text) *text = TextOf(GetDlgItem(message, 0xFFFF));  // a message box's text
    return PostMessageW(message, WM_CLOSE, 0, 0) && Until([&] { return !IsWindow(message); });
  }
  HWND Window(const wchar_t* caption = nullptr, const wchar_t* windowClass = nullptr) const {
    return TopWindow(GetProcessId(m_process.get()), windowClass, caption, dialog);
  }
  std::string Text() const { return TextOf(box); }
  HWND List() const {
    return TopWindow(GetProcessId(m_process.get()), seams::kHistoryListClass, nullptr, {}, true);
  }
  LRESULT Count() const { return Rows(List()); }
  bool Dropped() const { return IsWindowVisible(List()); }
  std::vector<std::string> Items(int step = 1) const { return Texts(List(), step); }
  void SetText(const std::string& text) const {
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
  }
  ::testing::AssertionResult Shows(const std::string& text, int from, int to) const {
    LRESULT sel = 0;
    const auto shown = [&] { return sel = SendMessageW(box, CB_GETEDITSEL, 0, 0), Text() == text; };
    return ::testing::AssertionResult(
               Until([&] { return shown() && sel == MAKELONG(from, to); }, 5000))
           << Text() << ' ' << LOWORD(sel) << ',' << HIWORD(sel);
  }
  void Enter(const std::string& text) const { SetText(text), Post({VK_RETURN}); }

  HWND dialog = nullptr, box = nullptr;

 private:
  Folders m_scratch;
  Process m_process{nullptr, &CloseHandle};
};

TEST(Launcher, OpensOnTheHistoryAndCompletesWhatIsTyped) {
  // UTF-8 lines, and the last one as the launcher wrote it in the old code page (1252 here).
  const std::string history =  // saved by an editor that marks UTF-8
      u8"\uFEFFnotepad\r\nnslookup\r\n\r\n日本語 メモ\r\n😀 smile\r\ncaf\xE9\r\nunfinished";
  Launcher l(history);
  EXPECT_TRUE(l.Shows(u8"café", 0, 4));  // from the first paint; the list fills while idle
  EVENTUALLY(l.Items() == std::vector<std::string>{"notepad", "nslookup", u8"日本語 メモ",
                                                   u8"😀 smile", u8"café"});
  EXPECT_EQ(RegisterHotKey(nullptr, 1, MOD_WIN | MOD_NOREPEAT, 'R'), FALSE);  // Win+R held
  const std::tuple<std::string, std::string, int, int> steps[] = {
      // keys, text, selection
      {K_CTRL_A K_DEL, "", 0, 0},  // all selected; a deletion completes nothing
      {"NO", "notepad", 2, 7},     // the item's own letter case, the rest selected
      {"t", "notepad", 3, 7},
      {K_BACK, "not", 3, 3},
      {"x", "notx", 4, 4},  // begins no item
      {K_CTRL_A, "notx", 0, 4},
      {"nlookup" K_HOME K_RIGHT "s", "nslookup", 2, 2},  // the caret inside stays
      {K_CTRL_A u8"日", u8"日本語 メモ", 1, 6},          // an input method's, in UTF-16 units
      {K_CTRL_A u8"😀", u8"😀 smile", 2, 8},               // a surrogate pair, half by half
      {K_CTRL_A "zx" K_ALTGR_A u8"ą", u8"zxą", 3, 3},    // AltGr+A is a letter
  };
  for (const auto& [keys, text, from, to] : steps) {
    Type(keys);
    EXPECT_TRUE(l.Shows(text, from, to)) << text;
  }
  Type(K_CTRL_A);  // the whole text cut: nothing completes into the emptied box
  Press('X', VK_CONTROL);
  EXPECT_TRUE(l.Shows("", 0, 0));
  Type(K_ESC);
  EXPECT_TRUE(l.Ended(history));
}

// The first start does the most: for a build each start of which is slow, the only one.
TEST(Launcher, LaysOutAtEachScaleHandsTheCommandToTheShellAndRecordsWhatItTook) {
  // In a folder no ANSI code page spells, named by a variable whose value holds a space.
  const Launches shell(L"launch", fs::u8path(u8"日本語 メモ") / fs::u8path(u8"café.qgt"));
  const fs::path folder = shell.document.parent_path();
  SetEnvironmentVariableW(L"QG_DIR", folder.c_str());
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  const std::string command = u8"%QG_DIR%\\café.qgt -a  \"b c\" %QG_DIR%";
  // The same command in the old code page, and a UTF-8 line kept as it is. The first start's
  // history is all UTF-8, so the only start of a slow build searches it in the file's own views.
  const std::string old = "old\r\n%QG_DIR%\\caf\xE9.qgt -a  \"b c\" %QG_DIR%\r\n",
                    utf8 = u8"日本\r\n";
  SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);  // pixels unscaled
  for (auto [ctrl, dpi] : {std::pair<WORD, DWORD>{VK_LCONTROL, 192}, {0, 144}, {VK_RCONTROL, 96}}) {
    SCOPED_TRACE(dpi);
    fs::remove(shell.record);
    const Setting scale(L"Control Panel\\Desktop", L"LogPixels", dpi);  // as programs start
    Launcher l((dpi == 192 ? "old\r\n" + command + "\r\n" : old) + utf8);
    EXPECT_EQ(SendMessageW(l.box, CB_GETMINVISIBLE, 0, 0), 30);  // a classic combo box: 0
    const auto icon = [&] {
      const RECT r = Rect(GetDlgItem(l.dialog, IDC_DIALOG_ICON));
      return std::pair(int(r.right - r.left), int(r.bottom - r.top));
    };
    EXPECT_EQ(icon(), std::pair(MulDiv(32, dpi, 96), MulDiv(32, dpi, 96)));
    const LONG next = dpi == 96 ? 144 : 96;  // as if moved to another monitor; Wine re-lays nothing
    SendMessageW(l.dialog, WM_DPICHANGED, MAKEWPARAM(next, next), 0);
    EVENTUALLY(icon().first == MulDiv(32, next, 96));
    if (dpi == 192) {  // a command the shell refuses keeps the dialog open and records nothing
      l.Enter("qg-no-such-program");
      ASSERT_TRUE(Until([&] { return l.Window() != nullptr; }));
      l.Drop(l.box, {shell.record});  // behind the shell's message: kept for when it is gone
      EXPECT_TRUE(l.DismissMessage() && l.Running());
      EVENTUALLY(l.Text() == "qg-no-such-program " + shell.record.string());
      EVENTUALLY(l.Items() ==
                 std::vector<std::string>{"old", command, u8"日本", "qg-no-such-program"});
    }
    l.SetText("");
    l.Chars("  " + command + "  ");  // typed, by an input method where not ASCII
    // Ctrl pressed and released leaves its toggle bit set; only a Ctrl held down elevates.
    for (int i = 0; !ctrl && i < 2 && !(GetKeyState(VK_LCONTROL) & 1); ++i) Press(VK_LCONTROL);
    ASSERT_TRUE(ctrl || GetKeyState(VK_LCONTROL) & 1);
    l.Focus();  // Ctrl and Enter as a keyboard sends them: the launcher must have the keys
    // Another launcher recording, or another program holding the history for longer than the
    // recording's waits: recorded once it lets go. Held once the lines are in, or the load waits.
    ASSERT_TRUE(Until([&] { return l.Count() > 0; }));
    const fs::path held =
        l.History().parent_path() / (dpi == 144 ? "quillgate.ini" : "quillgate.inf");
    win32::Handle recording(CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_ALWAYS, 0, nullptr));
    Press(VK_RETURN, ctrl);
    EVENTUALLY(!IsWindow(l.dialog) && l.Running());  // gone at once
    if (dpi == 144) Sleep(1500);
    recording.Reset();
    EVENTUALLY(Slurp(shell.record) == shell.Opening(ctrl ? "runas" : "open", shell.document) +
                                          " -a  \"b c\" " + Narrow(folder.wstring()) + "\n" +
                                          system)
        << Slurp(shell.record);
    EXPECT_TRUE(l.Ended("old\r\n" + utf8 + command + "\r\n"));
    if (g_patience > 1) break;
  }
}

using Speaks = ::testing::TestWithParam<const char*>;

// Run by one test per language, this program started in it: Wine takes the language from LC_ALL.
TEST_P(Speaks, TheUsersLanguageAndEveryTextFitsItsControl) {
  std::wstring locale = Widen(GetParam());
  const LANGID language = LANGIDFROMLCID(LocaleNameToLCID(locale.replace(2, 1, L"-").c_str(), 0));
  ASSERT_EQ(GetUserDefaultUILanguage(), language) << "not started in " << GetParam();
  const Launches shell(L"reason");
  SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  const HMODULE exe = LoadLibraryExA(g_launcher, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  const auto table = [&](UINT id, LANGID in) {  // or its primary language's neutral one
    const auto block = MAKEINTRESOURCEA(id / 16 + 1);
    HRSRC found = FindResourceExA(exe, RT_STRING, block, in);
    if (!found) found = FindResourceExA(exe, RT_STRING, block, PRIMARYLANGID(in));
    auto at = found ? static_cast<const wchar_t*>(LockResource(LoadResource(exe, found))) : nullptr;
    for (UINT i = 0; at && i < id % 16; ++i) at += 1 + *at;  // each text follows its length
    return at ? Narrow(std::wstring_view(at + 1, *at)) : "(missing)";
  };
  for (const DWORD dpi : {96, 144, 192}) {
    SCOPED_TRACE(dpi);
    const Setting scale(L"Control Panel\\Desktop", L"LogPixels", dpi);  // as programs start
    Launcher l("");
    const HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(IDD_LAUNCHER_DIALOG), RT_DIALOG);
    auto at = static_cast<const WORD*>(LockResource(LoadResource(exe, found))) + 13;
    for (int field = 0; field < 3; ++field)  // DLGTEMPLATEEX past its menu, class and caption
      at = *at == 0xFFFF ? at + 2 : at + std::wcslen(reinterpret_cast<const wchar_t*>(at)) + 1;
    const std::unique_ptr<HFONT__, decltype(&DeleteObject)> font(
        CreateFontW(-MulDiv(at[0], dpi, 72), 0, 0, 0, at[1], LOBYTE(at[2]), 0, 0, HIBYTE(at[2]), 0,
                    0, 0, 0, reinterpret_cast<const wchar_t*>(at + 3)),
        &DeleteObject);
    const std::unique_ptr<HDC__, decltype(&DeleteDC)> dc(CreateCompatibleDC(nullptr), &DeleteDC);
    SelectObject(dc.get(), font.get());
    RECT client{};
    GetClientRect(l.dialog, &client);
    std::vector<std::pair<int, RECT>> placed;
    for (HWND c = GetWindow(l.dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      RECT r = Rect(c), overlap{};
      const int id =
          (MapWindowPoints(nullptr, l.dialog, reinterpret_cast<POINT*>(&r), 2), GetDlgCtrlID(c));
      EXPECT_TRUE(IntersectRect(&overlap, &r, &client) && EqualRect(&overlap, &r)) << id;
      for (const auto& [other, place] : placed)
        EXPECT_FALSE(IntersectRect(&overlap, &r, &place)) << id << " overlaps " << other;
      placed.emplace_back(id, r);
      RECT text = {0, 0, r.right - r.left, 0};
      DrawTextW(dc.get(), Widen(TextOf(c)).c_str(), -1, &text, DT_CALCRECT | DT_WORDBREAK);
      EXPECT_TRUE(text.right <= r.right - r.left && text.bottom <= r.bottom - r.top)
          << id << " needs " << text.right << "x" << text.bottom;
    }
    if (dpi != 96) continue;  // the texts are the scale's concern no further
    std::vector<std::pair<UINT, std::string>> shown;
    for (const auto& [control, id] : {std::pair{IDC_PROMPT, IDS_PROMPT},
                                      {IDC_OPEN_LABEL, IDS_OPEN_LABEL},
                                      {IDC_ELEVATE_HINT, IDS_ELEVATE_HINT},
                                      {IDOK, IDS_OK},
                                      {IDCANCEL, IDS_CANCEL},
                                      {IDC_BROWSE, IDS_BROWSE}})
      shown.emplace_back(id, TextOf(GetDlgItem(l.dialog, control)));
    PostMessageW(l.dialog, WM_SYSCOMMAND, IDM_ABOUT, 0);
    EXPECT_TRUE(l.DismissMessage(&shown.emplace_back(IDS_ABOUT_TEXT, "").second));
    l.Enter(std::string(2049, 'x'));  // too long for the shell: the core's message
    EXPECT_TRUE(l.DismissMessage(&shown.emplace_back(IDS_TOO_LONG, "").second));
    for (const auto& [id, text] : shown) {
      EXPECT_EQ(text, table(id, language)) << id;
      EXPECT_TRUE(language == 0x0409 || id == IDS_OK || text != table(id, 0x0409)) << id;
    }
    // A command it cannot keep: why, as the system says it in this language; not the library's
    // English around the system's words in the ANSI code page, read as UTF-8.
    fs::create_directory(l.History().parent_path() / "quillgate.inf");  // no file to claim there
    l.Enter(shell.document.string());
    std::string said;
    EXPECT_TRUE(l.DismissMessage(&said));
    wchar_t reason[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, ERROR_ACCESS_DENIED, 0, reason, 512, nullptr);
    while (length && iswspace(reason[length - 1])) --length;
    EXPECT_TRUE(length && said.find(shell.document.string()) != std::string::npos &&
                said.size() - said.rfind(Narrow({reason, length})) ==
                    Narrow({reason, length}).size())
        << said;
    EXPECT_TRUE(l.Ended());
  }
}

// Each has a test of its own in tests/CMakeLists.txt, which starts it in its locale.
const char* const kLanguages[] = {"en_US", "de_DE", "de_AT", "fr_FR", "fr_CA", "es_ES",
                                  "it_IT", "pt_BR", "nl_NL", "pl_PL", "ru_RU", "tr_TR",
                                  "ja_JP", "ko_KR", "zh_CN", "zh_SG", "zh_TW", "zh_HK"};
INSTANTIATE_TEST_SUITE_P(Language, Speaks, ::testing::ValuesIn(kLanguages),
                         [](const auto& each) { return std::string(each.param); });

TEST(Launcher, OffersTheEntriesOfTheFolderTypedAndTakesDroppedFiles) {
  const Launches shell(L"suggest");
  const fs::path folder = shell.files.root / fs::u8path(u8"日本 フォルダ"),
                 deep = shell.files.root / std::wstring(120, L'd') / std::wstring(120, L'e');
  for (const char* name : {u8"Bär.qgt", "beta9.qgt", "Beta10.qgt", "alpha.qgt", "b-hidden.qgt"})
    Put(folder / fs::u8path(name), "");
  fs::create_directories(folder / "Gamma Folder");
  SetFileAttributesW((folder / "b-hidden.qgt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  Put(deep / "deep.qgt", "");
  SetEnvironmentVariableW(L"QG_SUGGEST", folder.c_str());
  SetEnvironmentVariableW(L"QG_DEEP", deep.c_str());
  const std::string in = "%QG_SUGGEST%\\";
  Launcher l(in + "alpha.qgt\r\n");
  l.SetText("notepad ");  // the space there already is not doubled
  Press(VK_TAB);          // the focus on OK: a drop gives it back to the box
  ASSERT_TRUE(Until([&] { return !InFront(l.dialog, l.box); }));
  l.Drop(l.box, {folder / "beta9.qgt", shell.record});
  l.Drop(l.dialog, {deep});
  EVENTUALLY(l.Text() == "notepad \"" + Narrow((folder / "beta9.qgt").wstring()) + "\" " +
                             shell.record.string() + " " + deep.string());
  EVENTUALLY(InFront(l.dialog, l.box) && l.Running());
  EXPECT_EQ(SendMessageW(l.Edit(), WM_GETOBJECT, 0, OBJID_CLIENT), 0);
  EXPECT_EQ(SendMessageW(l.box, WM_GETOBJECT, 0, OBJID_CLIENT), 0);

  Type(K_CTRL_A "%QG_DEEP%\\");  // past MAX_PATH
  EVENTUALLY(l.Offered() == 1);
  Type(K_CTRL_A + in);
  EXPECT_TRUE(l.Shows(in + "alpha.qgt", 13, 22));
  EVENTUALLY(l.Offered() == 5);
  HWND list = GetWindow(l.Window(nullptr, seams::kSuggestionListClass), GW_CHILD);
  const auto line = SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
  PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, line * 3 / 2));  // the second
  EVENTUALLY(l.Text() == in + u8"Bär.qgt" && l.Offered() == -1);
  // Keys, what shows after the folder, how many are offered, whether the history's list is open.
  const std::tuple<std::string, std::string, LRESULT, bool> steps[] = {
      {std::string(7, '\b'), "", 5, false},  // back to the folder: offered, not read
      {"b", "b", 3, false},
      {K_UP, "Beta10.qgt", 3, false},  // from what was typed to the last
      {K_UP, "beta9.qgt", 3, false},
      {K_ESC, "beta9.qgt", -1, false},      // closes the list, not the launcher
      {K_ALT_DOWN, "beta9.qgt", -1, true},  // no folder list opens over the history's
      {K_BACK, "beta9.qg", -1, true},       // completes nothing
      {"t" K_ESC, "beta9.qgt", -1, false},
  };
  for (const auto& [keys, shown, offered, history] : steps) {
    Type(keys);
    EVENTUALLY(l.Text() == in + shown && l.Offered() == offered && l.Dropped() == history)
        << shown << ": " << l.Text() << " " << l.Offered();
    const std::vector<std::string> order = {in + u8"Bär.qgt", in + "beta9.qgt", in + "Beta10.qgt"};
    EXPECT_TRUE(keys != "b" || Texts(l.Window(nullptr, seams::kSuggestionListClass)) == order)
        << "in the shell's order, numbers by their value";
  }
  Press(VK_RETURN);
  EVENTUALLY(Slurp(shell.record).rfind(shell.Opening("open", folder / "beta9.qgt"), 0) == 0);
  EXPECT_TRUE(l.Ended(in + "alpha.qgt\r\n" + in + "beta9.qgt\r\n"));
}

// WCAG's relative luminance without its linear toe: near black a shade lighter, never more
// readable.
double Luminance(COLORREF c) {
  const auto linear = [](BYTE v) { return std::pow((v / 255.0 + 0.055) / 1.055, 2.4); };
  return 0.2126 * linear(GetRValue(c)) + 0.7152 * linear(GetGValue(c)) +
         0.0722 * linear(GetBValue(c));
}
double Contrast(COLORREF a, COLORREF b) {
  return (std::max(Luminance(a), Luminance(b)) + 0.05) /
         (std::min(Luminance(a), Luminance(b)) + 0.05);
}

// The colour most of `r` shows, and the greatest contrast any other colour there has with it.
std::pair<COLORREF, double> BackAndText(const RECT& r) {
  const LONG w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr), copy = CreateCompatibleDC(screen);
  HGDIOBJ previous = SelectObject(copy, CreateCompatibleBitmap(screen, w, h));
  BitBlt(copy, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  std::map<COLORREF, int> counts;
  for (LONG at = 0; at < w * h; ++at) ++counts[GetPixel(copy, at % w, at / w)];
  DeleteObject(SelectObject(copy, previous)), DeleteDC(copy), ReleaseDC(nullptr, screen);
  const COLORREF back = std::max_element(counts.begin(), counts.end(), [](auto a, auto b) {
                          return a.second < b.second;
                        })->first;
  double most = 1;
  for (const auto& [colour, count] : counts) most = std::max(most, Contrast(colour, back));
  return {back, most};
}

// Dark from the start where the app mode is; light again as soon as the user switches.
TEST(Launcher, FollowsTheAppModeLiveAndEveryTextStandsOutFromItsBackground) {
  Setting mode(L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
               L"AppsUseLightTheme", 0);
  Launcher l("alpha\r\nbeta\r\n");
  const double wine = Contrast(GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHTTEXT));
  for (const bool light : {false, true}) {
    // Until `r`'s text stands out 4.5:1 (in light as Wine's light highlight allows) from its
    // background: `system`'s colour in light, dark in dark, never one of `under` (a list not
    // drawn).
    const auto readable = [&](int what, const RECT& r, int system = -1,
                              std::vector<COLORREF> under = {}) {
      std::pair<COLORREF, double> seen;
      EXPECT_TRUE(Until([&] {
        const double back = Luminance((seen = BackAndText(r)).first);
        return seen.second >= (light && system == COLOR_HIGHLIGHT ? std::min(4.5, wine) : 4.5) &&
               std::count(under.begin(), under.end(), seen.first) == 0 &&
               (light ? system < 0 || seen.first == GetSysColor(system)
                      : back > 0.005 && back < 0.2);  // black: a window not drawn yet
      })) << what
          << " light " << light << ": " << std::hex << seen.first << " " << seen.second;
      return seen.first;
    };
    RECT client{};
    GetClientRect(l.dialog, &client);
    MapWindowPoints(l.dialog, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const COLORREF dialog = readable(0, client, COLOR_BTNFACE);
    for (const int id : {IDC_PROMPT, IDC_OPEN_LABEL, IDC_ELEVATE_HINT, IDOK, IDCANCEL, IDC_BROWSE})
      readable(id, Rect(GetDlgItem(l.dialog, id)),  // the buttons in light: the theme's colours
               id > IDCANCEL && id != IDC_BROWSE ? COLOR_BTNFACE : -1);
    l.SetText("notepad");
    SendMessageW(l.Edit(), EM_SETSEL, 0, 0);  // the text in the box's own colours
    const COLORREF field = readable(IDC_COMMAND, Rect(l.Edit()), COLOR_WINDOW);
    RECT drop = Rect(l.box);  // right of the edit field: the arrow on its button
    drop.left = Rect(l.Edit()).right;
    if (!light) readable(-1, drop);
    Type(K_ALT_DOWN);  // the history's list: its rows in the field's colour, one highlighted
    ASSERT_TRUE(Until([&] { return l.Dropped(); }));
    HWND rows = GetWindow(l.List(), GW_CHILD);
    const auto height = SendMessageW(rows, LB_GETITEMHEIGHT, 0, 0);
    SendMessageW(rows, LB_SETCURSEL, 1, 0);
    RECT row = Rect(rows);
    row.bottom = row.top + height;
    EXPECT_EQ(readable(1, row, COLOR_WINDOW, {dialog}), field);  // history rows: numbered
    OffsetRect(&row, 0, height);
    readable(2, row, COLOR_HIGHLIGHT, {dialog, field});
    Press(VK_ESCAPE);
    ASSERT_TRUE(Until([&] { return !l.Dropped(); }));
    mode.Set(1);
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                        reinterpret_cast<LPARAM>(L"ImmersiveColorSet"), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
  }
}

TEST(Launcher, BrowseAppendsAPathAndAForgetTakesWhatTheBoxShowsAndIsToldOnceTheWindowIsGone) {
  Launcher l("alpha\r\ncalc\r\nzeta\r\n");
  const fs::path chosen = l.History().parent_path() / fs::u8path(u8"日本語 メモ.txt");
  Put(chosen, "");
  l.SetText("");  // a path is put after a space, but not at the start
  for (const bool choose : {true, false}) {
    PostMessageA(l.dialog, WM_COMMAND, IDC_BROWSE, 0);  // what a click on Browse... sends
    HWND picker = nullptr;
    ASSERT_TRUE(Until([&] { return (picker = l.Window()) && InFront(picker, picker); }));
    EXPECT_TRUE(GetWindow(picker, GW_OWNER) == l.dialog && !IsWindowEnabled(l.dialog));
    if (choose) {
      l.Drop(l.box, {l.History()});  // while the picker shows: kept
      ASSERT_TRUE(Until([&] { return l.Text() == Narrow(l.History().wstring()); }));
      Type(Narrow(chosen.wstring()));
    }
    Press(choose ? VK_RETURN : VK_ESCAPE);
    EVENTUALLY(!IsWindow(picker));
    EXPECT_EQ(l.Text(), Narrow(l.History().wstring()) + " \"" + Narrow(chosen.wstring()) + "\"");
  }
  l.Focus();
  ASSERT_TRUE(Until([&] { return l.Count() == 3; }));
  Type(K_CTRL_A "z");
  EXPECT_TRUE(l.Shows("zeta", 1, 4));
  Type(K_ALT_DOWN);
  EVENTUALLY(l.Dropped() && l.Text() == "zeta");
  Type(K_UP K_UP);
  EXPECT_TRUE(l.Shows("alpha", 0, 5));
  Type("c");  // completed: the highlight follows the box
  EXPECT_TRUE(l.Shows("calc", 1, 4));
  Type(K_SHIFT_DEL);
  EVENTUALLY(Slurp(l.History()) == "alpha\r\nzeta\r\n") << Slurp(l.History());
  EVENTUALLY(l.Count() == 2 && l.Text() == "zeta");
  // A second Shift+Delete between a forget's end and its telling waits: the first's erase stays.
  const win32::Handle telling(CreateEventW(nullptr, TRUE, FALSE, seams::kHoldForgottenEvent));
  Type(K_SHIFT_DEL);
  EVENTUALLY(Slurp(l.History()) == "alpha\r\n");
  Type(K_SHIFT_DEL);
  Press(VK_F4);  // closes the list once the second one was handled
  EVENTUALLY(!l.Dropped());
  SetEvent(telling.Get());
  EVENTUALLY(l.Count() == 1);
  Type(K_ALT_DOWN K_DOWN);  // and one still waiting for the file as the window closes
  EVENTUALLY(l.Dropped() && l.Text() == "alpha");
  const win32::Handle rewriting(CreateFileW((l.History().parent_path() / "quillgate.inf").c_str(),
                                            GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0));
  Type(K_SHIFT_DEL);
  Press(VK_F4, VK_MENU);
  EVENTUALLY(!IsWindow(l.dialog));
  EXPECT_TRUE(l.DismissMessage());
  EXPECT_TRUE(l.Ended("alpha\r\n"));
}

TEST(Launcher, ALongHistoryIsWholeAndWhatActsOnItWhileItLoadsActsOnAllOfIt) {
  std::string history;
  std::vector<std::string> lines;
  char line[16];
  const std::string pad(24, '-');  // long enough lines for the history to span pieces
  for (int i = 0; i < 300000; ++i) {
    lines.emplace_back(line, std::snprintf(line, 16, "c%06d", i)) += pad;
    if (i == 299991) lines.push_back(u8"café");
  }
  lines.push_back("qg-no-such-program");  // what the box holds at the start
  for (const std::string& each : lines) history += each + "\r\n";
  const auto count = static_cast<LRESULT>(lines.size());
  for (const bool type : {true, false}) {
    const win32::Handle held(CreateEventW(nullptr, TRUE, FALSE, seams::kHoldLinesEvent));
    Launcher l(history);
    l.Post(type ? std::vector<WORD>{'C', '2', '9', '9', '9', '9'} : std::vector<WORD>{VK_RETURN});
    EXPECT_TRUE(type ? l.Shows("c29999", 6, 6) : l.DismissMessage());  // before the lines came
    SetEvent(held.Get());
    if (!type) {  // refused: in the list once, as the history holds it
      EXPECT_TRUE(Until([&] { return l.Count() == count; }, 30000)) << l.Count() << " of " << count;
      continue;
    }
    EXPECT_TRUE(l.Shows("c299990" + pad, 6, 31));  // only late lines begin so
    std::vector<std::string> sample;
    for (std::size_t i = 0; i < lines.size(); i += 29999) sample.push_back(lines[i]);
    EXPECT_EQ(l.Items(29999), sample);  // and all of them: one fewer once one is forgotten
    EVENTUALLY(l.Replaceable());        // copied out of the file's views
    l.Focus();
    Press(VK_DOWN, VK_MENU);  // opens on the first entry that begins so; the next one goes
    EVENTUALLY(l.Dropped() && l.Text() == "c299990" + pad);
    Press(VK_DOWN);
    EVENTUALLY(l.Text() == "c299991" + pad);
    Press(VK_DELETE, VK_SHIFT);
    EVENTUALLY(l.Text() == u8"café");  // the list stays, on the next
    EXPECT_TRUE(l.Dropped() && l.Running());
    EXPECT_EQ(l.Count(), count - 1);
    Press(VK_ESCAPE);  // closes the list only
    EVENTUALLY(!l.Dropped() && l.Running());
    Press(VK_DELETE, VK_SHIFT);  // closed on it: the edit field's cut only
    EXPECT_TRUE(l.Shows("", 0, 0));
    EXPECT_EQ(l.Count(), count - 1);
    const std::string forgotten = "c299991" + pad + "\r\n";
    // Compared without printing: a diff of two such histories takes more memory than there is.
    EXPECT_TRUE(Slurp(l.History()) == std::string(history).erase(history.find(forgotten), 33));
  }
}

// The loader held where a disk that does not answer would hold it (see test_seams.h).
TEST(Launcher, TypingWinsOverALateHistoryAndALateLoadKeepsNothingThatRefusesTheRecord) {
  const Launches shell(L"late");
  const std::string history = "calc\r\nnotepad\r\n",
                    launched = history + shell.document.string() + "\r\n";
  const win32::Handle tail(CreateEventW(nullptr, TRUE, FALSE, seams::kHoldTailEvent));
  {
    Launcher l(history);
    l.Chars("ca");
    EXPECT_TRUE(l.Shows("ca", 2, 2));  // before even the last line is read
    SetEvent(tail.Get());
    EVENTUALLY(l.Count() == 2);
    EXPECT_TRUE(l.Shows("calc", 2, 4));  // completed once the lines came; "notepad" stays out
  }
  ResetEvent(tail.Get());
  {
    Launcher l(history);
    l.Chars(shell.document.string());
    l.Post({VK_RETURN});
    EVENTUALLY(Slurp(shell.record).rfind(shell.Opening("open", shell.document), 0) == 0 &&
               !IsWindow(l.dialog));
    EXPECT_TRUE(RegisterHotKey(nullptr, 1, MOD_WIN | MOD_NOREPEAT, 'R'));  // let go with the window
    UnregisterHotKey(nullptr, 1);
    SetEvent(tail.Get());
    EXPECT_TRUE(l.Ended(launched));
  }
  const win32::Handle lines(CreateEventW(nullptr, TRUE, FALSE, seams::kHoldLinesEvent));
  ResetEvent(tail.Get());
  Launcher l(history);
  SetEvent(tail.Get());
  EXPECT_TRUE(l.Shows("notepad", 0, 7));  // the last command after the focus, selected all the same
  ASSERT_TRUE(Until([&] { return !l.Replaceable(); }));  // loaded, still in the file's views
  l.Enter(shell.document.string());
  EXPECT_FALSE(Until([&] { return l.Window() != nullptr; }, 6000));  // no "not kept" meanwhile
  SetEvent(lines.Get());
  EXPECT_TRUE(l.Ended(launched));
}

fs::path Shortcut(const wchar_t* root, const wchar_t* name, const fs::path& to,
                  const wchar_t* args) {
  const fs::path at = fs::path(_wgetenv(root)) / L"Microsoft\\Windows\\Start Menu\\Programs" / name;
  win32::ComPtr<IShellLinkW> link;
  win32::ComPtr<IPersistFile> file;
  EXPECT_TRUE(win32::CreateInstance(CLSID_ShellLink, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link) &&
              (link->SetPath(to.c_str()), link->SetArguments(args),
               link->SetWorkingDirectory(to.parent_path().c_str()),
               link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out()))) ==
                  S_OK &&
              file->Save(at.c_str(), TRUE) == S_OK);
  return at;
}

std::vector<std::string> AppsOffered() {
  HWND popup = FindWindowW(seams::kAppListClass, nullptr);
  return IsWindowVisible(popup) ? Texts(popup) : std::vector<std::string>{};
}

TEST(Launcher, OffersTheStartMenusAppsByAnyWordAndOpensThemThroughTheirShortcutsByName) {
  const win32::ComApartment com;
  Folders files(L"äpps");
  const fs::path work = files.program, record = files.root / "record";
  fs::copy_file(Self(), work / "recorder.exe");
  const std::vector<fs::path> made = {
      Shortcut(L"APPDATA", L"QG Recorder Tool.lnk", work / "recorder.exe", L"--record \"an arg\""),
      Shortcut(L"ProgramData", L"QG Bücher Café Ωmega.lnk", work / "recorder.exe", L"--record"),
      Shortcut(L"ProgramData", L"QG Broken.lnk", files.root / "gone.exe", L"")};
  SetEnvironmentVariableW(L"QG_RECORD", record.c_str());
  const std::string tool = "QG Recorder Tool", book = u8"QG Bücher Café Ωmega";
  const std::string launched =
      "\"" + (work / "recorder.exe").string() + "\" --record \"an arg\"\n" + Narrow(work.wstring());
  {
    const win32::Handle lines(CreateEventW(nullptr, TRUE, FALSE, seams::kHoldLinesEvent));
    Launcher l(tool + "\r\n");
    Type("qg");  // the broken one is not offered; by name until the history shows one launched
    EVENTUALLY(AppsOffered() == std::vector{book, tool});
    SetEvent(lines.Get());
    EVENTUALLY(AppsOffered() == std::vector{tool, book});
    Type(K_CTRL_A "zz");  // the hidden list holds none of the apps offered before
    EVENTUALLY(AppsOffered().empty() && Rows(FindWindowW(seams::kAppListClass, nullptr)) == 0);
    Press('A', VK_CONTROL);
    Type("tool");  // a word inside, in another case
    EVENTUALLY(l.Text() == "tool" && AppsOffered() == std::vector{tool});
    for (const std::string& shown : {tool, std::string("tool")}) {  // and past the last, as typed
      Press(VK_DOWN);
      EVENTUALLY(l.Text() == shown) << l.Text();
    }
    PostMessageW(GetWindow(FindWindowW(seams::kAppListClass, nullptr), GW_CHILD), WM_LBUTTONDOWN, 0,
                 5 << 16);
    EVENTUALLY(l.Text() == tool && AppsOffered().empty()) << l.Text();
    Press(VK_RETURN);  // through the shortcut: its arguments and working folder
    EVENTUALLY(Slurp(record) == launched) << Slurp(record);
    EXPECT_TRUE(l.Ended(tool + "\r\n"));
  }
  fs::remove(record);
  // Wine's shortcuts have no "runas" of their own: one registered here shows what the shell got.
  const std::string runas = "\"" + (work / "recorder.exe").string() + "\" --record runas ";
  RegSetValueW(HKEY_CLASSES_ROOT, L"lnkfile\\shell\\runas\\command", REG_SZ,
               Widen(runas + "\"%1\"").c_str(), 0);
  // Opened elevated before the apps were read: the launch waits for them.
  const win32::Handle reading(CreateEventW(nullptr, TRUE, FALSE, seams::kHoldAppsEvent));
  Launcher l(tool + "\r\n");
  Type("qg r");
  EXPECT_TRUE(l.Shows(tool, 4, 16));
  Press(VK_RETURN, VK_CONTROL);
  Type(K_ALT_DOWN);  // taken once Enter was: by the launcher still, not by the shell's message
  EVENTUALLY(l.Dropped());
  SetEvent(reading.Get());
  EVENTUALLY(Slurp(record).rfind(runas + "\"" + Narrow(made[0].wstring()) + "\"\n", 0) == 0)
      << Slurp(record);
  RegDeleteTreeA(HKEY_CLASSES_ROOT, "lnkfile\\shell");
  for (const fs::path& shortcut : made) fs::remove(shortcut);  // other tests type too
  EXPECT_TRUE(l.Ended(tool + "\r\n"));
}

}  // namespace
}  // namespace quillgate::testing

int main(int argc, char** argv) {
  if (argc == 6 && std::string(argv[1]) == "--update")
    return quillgate::testing::UpdateHelper(argv);
  if (argc > 1 && std::string(argv[1]) == "--record") return quillgate::testing::RecordLaunch();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
