#include "ui/history_list.h"

#include <algorithm>

#include "platform/win32_system.h"

namespace quillgate {
namespace {

constexpr wchar_t kClassName[] = L"QuillGateList";
constexpr int kListId = 1;
constexpr DWORD kStyle = WS_POPUP | WS_BORDER;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;

bool RegisterOnce(HINSTANCE instance, WNDPROC procedure) {
  static const bool registered = [&] {
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.style = CS_DROPSHADOW;
    type.lpfnWndProc = procedure;
    type.hInstance = instance;
    type.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    type.lpszClassName = kClassName;
    return RegisterClassExW(&type) != 0;
  }();
  return registered;
}

}  // namespace

PopupList::~PopupList() {
  if (m_hWnd) {
    HWND popup = m_hWnd;
    Detach();
    DestroyWindow(popup);
  }
}

bool PopupList::Create(HWND owner, HFONT font) {
  if (m_hWnd) return true;
  HINSTANCE instance = AfxGetInstanceHandle();
  if (!RegisterOnce(instance, WindowProc)) return false;
  HWND popup = CreateWindowExW(kExStyle, kClassName, L"", kStyle, 0, 0, 10, 10, owner, nullptr,
                               instance, this);
  if (!popup) return false;
  Attach(popup);
  // Owner-data: the list box stores no item, it only counts them.
  list_ = CreateWindowExW(0, L"ListBox", L"",
                          WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NODATA | LBS_OWNERDRAWFIXED |
                              LBS_NOINTEGRALHEIGHT | LBS_NOTIFY,
                          0, 0, 10, 10, popup, reinterpret_cast<HMENU>(kListId), instance, nullptr);
  if (!list_) return false;
  ::SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return true;
}

void PopupList::Open(HWND control, std::size_t count, int selected, int rows, int itemHeight) {
  if (!m_hWnd) return;
  itemHeight_ = std::max(itemHeight, 1);
  SetCount(count);
  ::SendMessageW(list_, LB_SETITEMHEIGHT, 0, itemHeight_);
  RECT under{};
  GetWindowRect(control, &under);
  RECT frame{0, 0, under.right - under.left,
             itemHeight_ * static_cast<int>(std::min<std::size_t>(std::max(count, std::size_t{1}),
                                                                  static_cast<std::size_t>(rows)))};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const int width = under.right - under.left, height = frame.bottom - frame.top;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(control, MONITOR_DEFAULTTONEAREST), &monitor);
  const bool below = under.bottom + height <= monitor.rcWork.bottom;
  SetWindowPos(m_hWnd, HWND_TOP, under.left, below ? under.bottom : under.top - height, width,
               height, SWP_NOACTIVATE);
  RECT client{};
  GetClientRect(m_hWnd, &client);
  MoveWindow(list_, 0, 0, client.right, client.bottom, FALSE);
  Select(selected);
  ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
}

void PopupList::Close() {
  if (m_hWnd) ShowWindow(m_hWnd, SW_HIDE);
}

bool PopupList::IsOpen() const {
  return m_hWnd && IsWindowVisible(m_hWnd);
}

void PopupList::SetCount(std::size_t count) {
  count_ = count;
  ::SendMessageW(list_, LB_SETCOUNT, count, 0);
}

int PopupList::Selected() const {
  return list_ ? static_cast<int>(::SendMessageW(list_, LB_GETCURSEL, 0, 0)) : -1;
}

void PopupList::Select(int index) {
  ::SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int PopupList::PageSize() const {
  RECT client{};
  GetClientRect(list_, &client);
  return std::max(1, static_cast<int>(client.bottom) / itemHeight_);
}

BOOL PopupList::PreTranslateMessage(MSG* msg) {
  if (msg->hwnd != list_) return FALSE;
  switch (msg->message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      // Taken here: the list box would take the focus from the control the list serves. Found
      // from the top item, since LB_ITEMFROMPOINT answers in 16 bits.
      const int top = static_cast<int>(::SendMessageW(list_, LB_GETTOPINDEX, 0, 0));
      const int y = static_cast<short>(HIWORD(msg->lParam));
      const auto index = static_cast<std::size_t>(top + y / itemHeight_);
      if (y >= 0 && index < count_) picked_(static_cast<int>(index));
      return TRUE;
    }
    case WM_LBUTTONUP:
      return TRUE;
    default:
      return FALSE;
  }
}

LRESULT CALLBACK PopupList::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<PopupList*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  return self ? self->HandleMessage(hwnd, message, wParam, lParam)
              : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT PopupList::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(itemHeight_);
      return TRUE;
    case WM_DRAWITEM:
      Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case kCopyItemMessage: {
      if (wParam >= count_) return -1;
      const std::wstring text = text_(wParam);
      ::SetWindowTextW(hwnd, text.c_str());
      return static_cast<LRESULT>(text.size());
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void PopupList::Draw(const DRAWITEMSTRUCT& item) {
  // Looked up, not imported: the program imports kernel32, msvcrt and user32 only.
  static const auto textColor =
      win32::SystemFunction<decltype(SetTextColor)>(L"gdi32.dll", "SetTextColor");
  static const auto backMode =
      win32::SystemFunction<decltype(SetBkMode)>(L"gdi32.dll", "SetBkMode");
  const bool selected = item.itemState & ODS_SELECTED;
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (item.itemID == static_cast<UINT>(-1) || item.itemID >= count_ || !textColor || !backMode) {
    return;
  }
  const std::wstring text = text_(item.itemID);
  const COLORREF previous =
      textColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  const int mode = backMode(item.hDC, TRANSPARENT);
  RECT place = item.rcItem;
  place.left += 2;
  DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &place,
            DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | DT_END_ELLIPSIS);
  backMode(item.hDC, mode);
  textColor(item.hDC, previous);
  if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
}

}  // namespace quillgate
