// probe.exe: reads the window state of another process of the same Wine prefix and prints it
// as JSON, so GUI tests can check what the real controls hold after real keystrokes.
//
//   probe <command> <args...>   runs one command, prints one JSON object and a newline
//   probe serve                 reads commands from stdin, one per line, fields separated by
//                               tabs, and answers each with one JSON line (flushed at once)
//
// Commands (titles are matched exactly, as FindWindowW does; ids are decimal):
//   ping                      {"ok":true}
//   window <title>            the top-level window and its children, in order, each nested
//   control <title> <id>      one control of the window, with what its class can tell
//   combo <title> <id>        the same as control (a combo box reports edit_sel and items)
//   focus <title>             the keyboard focus in the window's thread: {"foreground": is the
//                             window the foreground window, "active": hwnd, "focus": the
//                             focused window or null, "control": the window's child that
//                             holds the focus when it is deeper (a combo box for its edit)}
//   windows                   every visible top-level window
// Every window reports hwnd, id (0 for a top-level window), class, text, style, exstyle, rect
// and client (both [left,top,right,bottom] in screen pixels), visible, enabled, parent (hwnd, 0
// for a top-level window) and pid; a ComboBox adds edit_sel [start,end], cur_sel, dropped and
// items, an Edit adds sel [start,end], a Button adds checked (BM_GETCHECK).
// Every answer has "ok"; a failure has "ok":false and "error". A new command is one more
// branch in Run().
// Window texts go by WM_GETTEXT sent explicitly, since GetWindowText does not ask another
// process's controls; list texts use the W messages, which Wine marshals across processes.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kSendTimeoutMs = 2000;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

std::string Quote(const std::wstring& text) {
  std::string out = "\"";
  for (unsigned char c : Utf8(text)) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string Number(long long value) {
  return std::to_string(value);
}

std::string Handle(HWND hwnd) {
  return Number(static_cast<long long>(reinterpret_cast<INT_PTR>(hwnd)));
}

std::string Rect(const RECT& r) {
  return "[" + Number(r.left) + "," + Number(r.top) + "," + Number(r.right) + "," +
         Number(r.bottom) + "]";
}

std::string Error(const std::string& what) {
  return "{\"ok\":false,\"error\":" + Quote(Wide(what)) + "}";
}

// A message whose answer is a plain number, bounded in case the target hangs.
bool Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
  return SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             result) != 0;
}

std::wstring TextOf(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!Send(hwnd, WM_GETTEXTLENGTH, 0, 0, &length)) return {};
  std::vector<wchar_t> buffer(length + 1 + 16, L'\0');
  DWORD_PTR copied = 0;
  if (!Send(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), &copied)) {
    return {};
  }
  return std::wstring(buffer.data(), copied < buffer.size() ? copied : 0);
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}

bool IsClass(const std::wstring& name, const wchar_t* expected) {
  return CompareStringOrdinal(name.c_str(), -1, expected, -1, TRUE) == CSTR_EQUAL;
}

std::string SelectionPair(DWORD_PTR sel) {
  if (static_cast<LRESULT>(sel) == CB_ERR) return "null";
  return "[" + Number(LOWORD(sel)) + "," + Number(HIWORD(sel)) + "]";
}

// What a control's class can tell beyond the common fields, as leading-comma JSON members.
std::string ClassDetails(HWND hwnd, const std::wstring& cls) {
  std::string out;
  DWORD_PTR value = 0;
  if (IsClass(cls, L"ComboBox")) {
    if (Send(hwnd, CB_GETEDITSEL, 0, 0, &value)) out += ",\"edit_sel\":" + SelectionPair(value);
    if (Send(hwnd, CB_GETCURSEL, 0, 0, &value)) {
      out += ",\"cur_sel\":" + Number(static_cast<LRESULT>(value));
    }
    if (Send(hwnd, CB_GETDROPPEDSTATE, 0, 0, &value)) {
      out += std::string(",\"dropped\":") + (value ? "true" : "false");
    }
    DWORD_PTR count = 0;
    if (Send(hwnd, CB_GETCOUNT, 0, 0, &count) && static_cast<LRESULT>(count) >= 0) {
      out += ",\"items\":[";
      for (DWORD_PTR i = 0; i < count; ++i) {
        DWORD_PTR length = 0;
        std::wstring item;
        if (Send(hwnd, CB_GETLBTEXTLEN, i, 0, &length) && static_cast<LRESULT>(length) >= 0) {
          std::vector<wchar_t> buffer(length + 1 + 16, L'\0');
          DWORD_PTR copied = 0;
          if (Send(hwnd, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer.data()), &copied) &&
              static_cast<LRESULT>(copied) >= 0 && copied < buffer.size()) {
            item.assign(buffer.data(), copied);
          }
        }
        out += (i ? "," : "") + Quote(item);
      }
      out += "]";
    }
  } else if (IsClass(cls, L"Edit")) {
    if (Send(hwnd, EM_GETSEL, 0, 0, &value)) out += ",\"sel\":" + SelectionPair(value);
  } else if (IsClass(cls, L"Button")) {
    if (Send(hwnd, BM_GETCHECK, 0, 0, &value)) out += ",\"checked\":" + Number(value);
  }
  return out;
}

// The fields every window reports, as leading-comma-free JSON members.
std::string Fields(HWND hwnd) {
  const std::wstring cls = ClassOf(hwnd);
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  // The client area in screen coordinates too: layouts are laid out relative to it.
  RECT client{};
  GetClientRect(hwnd, &client);
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  HWND parent = GetAncestor(hwnd, GA_PARENT);
  const bool child = (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) != 0;
  return "\"hwnd\":" + Handle(hwnd) + ",\"id\":" + Number(child ? GetDlgCtrlID(hwnd) : 0) +
         ",\"class\":" + Quote(cls) + ",\"text\":" + Quote(TextOf(hwnd)) +
         ",\"style\":" + Number(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE))) +
         ",\"exstyle\":" + Number(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE))) +
         ",\"rect\":" + Rect(rect) + ",\"client\":" + Rect(client) +
         ",\"visible\":" + (IsWindowVisible(hwnd) ? "true" : "false") +
         ",\"enabled\":" + (IsWindowEnabled(hwnd) ? "true" : "false") +
         ",\"parent\":" + Handle(child ? parent : nullptr) + ",\"pid\":" + Number(pid) +
         ClassDetails(hwnd, cls);
}

// A window and its children in Z order (for a dialog: creation and tab order), nested.
std::string Tree(HWND hwnd) {
  std::string out = "{" + Fields(hwnd);
  HWND child = GetWindow(hwnd, GW_CHILD);
  if (child) {
    out += ",\"children\":[";
    for (bool first = true; child; child = GetWindow(child, GW_HWNDNEXT), first = false) {
      out += (first ? "" : ",") + Tree(child);
    }
    out += "]";
  }
  return out + "}";
}

HWND FindTop(const std::wstring& title) {
  return FindWindowW(nullptr, title.c_str());
}

HWND FindControl(HWND top, const std::wstring& id) {
  wchar_t* end = nullptr;
  const long value = wcstol(id.c_str(), &end, 10);
  if (id.empty() || *end) return nullptr;
  return GetDlgItem(top, static_cast<int>(value));
}

BOOL CALLBACK CollectTop(HWND hwnd, LPARAM lParam) {
  if (IsWindowVisible(hwnd)) reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
  return TRUE;
}

std::string Run(const std::vector<std::wstring>& args) {
  if (args.empty()) return Error("no command");
  const std::wstring& command = args[0];
  auto need = [&](std::size_t n) { return args.size() == n + 1; };

  if (command == L"ping" && need(0)) return "{\"ok\":true}";
  if (command == L"windows" && need(0)) {
    std::vector<HWND> windows;
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&windows));
    std::string out = "{\"ok\":true,\"windows\":[";
    for (std::size_t i = 0; i < windows.size(); ++i) {
      out += (i ? ",{" : "{") + Fields(windows[i]) + "}";
    }
    return out + "]}";
  }
  if ((command == L"window" || command == L"focus") && need(1)) {
    HWND top = FindTop(args[1]);
    if (!top) return Error("no window titled " + Utf8(args[1]));
    if (command == L"window") return "{\"ok\":true,\"window\":" + Tree(top) + "}";
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info)) {
      return Error("GetGUIThreadInfo failed");
    }
    std::string out = "{\"ok\":true,\"foreground\":";
    out += GetForegroundWindow() == top ? "true" : "false";
    out += ",\"active\":" + Handle(info.hwndActive);
    if (!info.hwndFocus) return out + ",\"focus\":null}";
    out += ",\"focus\":{" + Fields(info.hwndFocus) + "}";
    // The edit field of a combo box has the focus for its combo: name the dialog's control too.
    HWND control = info.hwndFocus;
    while (control && GetAncestor(control, GA_PARENT) != top &&
           (GetWindowLongW(control, GWL_STYLE) & WS_CHILD)) {
      control = GetAncestor(control, GA_PARENT);
    }
    if (control && control != info.hwndFocus && GetAncestor(control, GA_PARENT) == top) {
      out += ",\"control\":{" + Fields(control) + "}";
    }
    return out + "}";
  }
  if ((command == L"control" || command == L"combo") && need(2)) {
    HWND top = FindTop(args[1]);
    if (!top) return Error("no window titled " + Utf8(args[1]));
    HWND control = FindControl(top, args[2]);
    if (!control) return Error("no control " + Utf8(args[2]) + " in " + Utf8(args[1]));
    return "{\"ok\":true,\"control\":{" + Fields(control) + "}}";
  }
  return Error("unknown command or wrong arguments: " + Utf8(command));
}

void Write(HANDLE out, const std::string& line) {
  const std::string data = line + "\n";
  DWORD written = 0;
  WriteFile(out, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
  FlushFileBuffers(out);
}

std::vector<std::wstring> SplitTabs(const std::string& line) {
  std::vector<std::wstring> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(Wide(line.substr(start, tab - start)));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

int Serve(HANDLE in, HANDLE out) {
  std::string pending;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(in, chunk, sizeof chunk, &got, nullptr) && got > 0) {
    pending.append(chunk, got);
    for (std::size_t eol; (eol = pending.find('\n')) != std::string::npos;) {
      std::string line = pending.substr(0, eol);
      pending.erase(0, eol + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty()) continue;
      if (line == "quit") return 0;
      Write(out, Run(SplitTabs(line)));
    }
  }
  return 0;
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::wstring> args;
  for (int i = 1; argv && i < argc; ++i) args.emplace_back(argv[i]);
  if (argv) LocalFree(argv);

  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (args.size() == 1 && args[0] == L"serve") return Serve(GetStdHandle(STD_INPUT_HANDLE), out);
  const std::string answer = Run(args);
  Write(out, answer);
  return answer.rfind("{\"ok\":true", 0) == 0 ? 0 : 1;
}
