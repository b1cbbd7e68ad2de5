#include "ui/dropdown_popup.h"

#include <algorithm>

#include "ui/palette.h"
#include "ui/test_seams.h"

namespace quillgate {
namespace {

constexpr DWORD kStyle = WS_POPUP | WS_BORDER;
// Never activated, so the box keeps the keys; owned, not topmost: above the dialog only.
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;

}  // namespace

DropDownPopup* DropDownPopup::s_open = nullptr;
WNDPROC DropDownPopup::s_listProc = nullptr;

DropDownPopup::~DropDownPopup() {
  if (s_open == this) s_open = nullptr;
  if (accessible_.Valid()) accessible_->Disconnect();
  if (HWND popup = m_hWnd) {
    Detach();
    DestroyWindow(popup);
  }
}

bool DropDownPopup::Create(HWND owner) {
  if (m_hWnd) return true;
  HINSTANCE instance = AfxGetInstanceHandle();
  WNDCLASSEXW type{};
  type.cbSize = sizeof type;
  type.style = CS_DROPSHADOW;
  type.lpfnWndProc = WindowProc;
  type.hInstance = instance;
  type.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  type.lpszClassName = className_;
  if (!RegisterClassExW(&type) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  if (!CreateWindowExW(kExStyle, className_, L"", kStyle, 0, 0, 10, 10, owner, nullptr, instance,
                       this)) {
    return false;
  }
  // Owner-data: the list box stores no item, it only counts them.
  list_ = CreateWindowExW(0, L"ListBox", L"",
                          WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NODATA | LBS_OWNERDRAWFIXED |
                              LBS_NOINTEGRALHEIGHT | LBS_NOTIFY,
                          0, 0, 10, 10, m_hWnd, nullptr, instance, nullptr);
  if (!list_) return false;
  // Every list box of the process has the one class procedure.
  const auto previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc)));
  if (!s_listProc) s_listProc = previous;
  return true;
}

void DropDownPopup::Open(const CComboBox& box, std::size_t count, int selected, int rows) {
  if (!Create(GetAncestor(box.m_hWnd, GA_ROOT))) return;
  if (s_open && s_open != this) s_open->Close();
  s_open = this;
  const bool wasOpen = IsOpen();  // typing into a folder opens its list anew at each key
  itemHeight_ = std::max(static_cast<int>(box.SendMessage(CB_GETITEMHEIGHT, 0)), 1);
  ::SendMessageW(list_, WM_SETFONT, static_cast<WPARAM>(box.SendMessage(WM_GETFONT)), FALSE);
  ::SendMessageW(list_, LB_SETITEMHEIGHT, 0, itemHeight_);
  SetCount(count);
  RECT under{};
  GetWindowRect(box.m_hWnd, &under);
  const auto shown = std::min<std::size_t>(std::max<std::size_t>(count, 1), std::max(rows, 1));
  RECT frame{0, 0, under.right - under.left, itemHeight_ * static_cast<int>(shown)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const int height = frame.bottom - frame.top;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(box.m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
  const bool below = under.bottom + height <= monitor.rcWork.bottom;
  SetWindowPos(m_hWnd, HWND_TOP, under.left, below ? under.bottom : under.top - height,
               under.right - under.left, height, SWP_NOACTIVATE);
  RECT client{};
  GetClientRect(m_hWnd, &client);
  MoveWindow(list_, 0, 0, client.right, client.bottom, FALSE);
  Select(selected);
  if (ThemeClass(ThemedControl::kListScrollBars) != themeClass_) {
    themeClass_ = ThemeClass(ThemedControl::kListScrollBars);
    ApplyThemeClass(list_, ThemedControl::kListScrollBars);
  }
  ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
  InvalidateRect(list_, nullptr, TRUE);
  if (wasOpen) return;
  Tell(EVENT_OBJECT_SHOW, CHILDID_SELF);
  if (Selected() >= 0) {
    Tell(EVENT_OBJECT_FOCUS, Selected() + 1);
    Tell(EVENT_OBJECT_SELECTION, Selected() + 1);
  }
}

void DropDownPopup::Close() {
  if (IsOpen()) {
    ShowWindow(m_hWnd, SW_HIDE);
    Tell(EVENT_OBJECT_HIDE, CHILDID_SELF);
    if (Selected() >= 0) FocusBack();
  }
  if (s_open == this) s_open = nullptr;
}

bool DropDownPopup::IsOpen() const {
  return m_hWnd && IsWindowVisible(m_hWnd);
}

bool DropDownPopup::AnotherOpen(const DropDownPopup* self) {
  return s_open && s_open != self && s_open->IsOpen();
}

void DropDownPopup::SetCount(std::size_t count) {
  count_ = count;
  ::SendMessageW(list_, LB_SETCOUNT, count, 0);
}

int DropDownPopup::Selected() const {
  return list_ ? static_cast<int>(::SendMessageW(list_, LB_GETCURSEL, 0, 0)) : -1;
}

void DropDownPopup::Select(int index) {
  const int before = Selected();
  ::SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  const int now = Selected();
  // Only as it moves: the history's highlight is set again at every key typed.
  if (now == before || !IsOpen()) return;
  if (now < 0) {
    FocusBack();
    return;
  }
  Tell(EVENT_OBJECT_FOCUS, now + 1);
  Tell(EVENT_OBJECT_SELECTION, now + 1);
}

void DropDownPopup::Tell(DWORD event, LONG child) const {
  // Of the list box's client object, the one WM_GETOBJECT answers with: a reader finds the list
  // by its name and role, and the item by its child id. The popup's window object has neither,
  // and the system tells its showing and hiding itself.
  NotifyWinEvent(event, list_, OBJID_CLIENT, child);
}

void DropDownPopup::FocusBack() {
  if (HWND focus = GetFocus())
    NotifyWinEvent(EVENT_OBJECT_FOCUS, focus, OBJID_CLIENT, CHILDID_SELF);
}

int DropDownPopup::ItemAt(int y) const {
  // Counted from the top item: LB_ITEMFROMPOINT answers in 16 bits, and lists run longer.
  const auto top = static_cast<std::size_t>(::SendMessageW(list_, LB_GETTOPINDEX, 0, 0));
  const std::size_t index = top + static_cast<std::size_t>(std::max(y, 0) / itemHeight_);
  return y >= 0 && index < count_ ? static_cast<int>(index) : -1;
}

int DropDownPopup::PageSize() const {
  RECT client{};
  GetClientRect(list_, &client);
  return std::max(1, static_cast<int>(client.bottom) / itemHeight_);
}

LRESULT CALLBACK DropDownPopup::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  // The object identifier is a 32-bit value, whatever the width of lParam.
  if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT) {
    if (auto* self = static_cast<DropDownPopup*>(FromHandlePermanent(GetParent(list)))) {
      if (const LRESULT answer = self->Accessible(wParam)) return answer;
    }
  }
  return CallWindowProcW(s_listProc, list, message, wParam, lParam);
}

LRESULT DropDownPopup::Accessible(WPARAM flags) {
  // COM and oleacc only once a screen reader asks, never at the start; kept for the process.
  static const win32::ComApartment com;
  const auto answer = win32::oleacc::LresultFromObject();
  if (!answer) return 0;
  if (!accessible_.Valid()) *accessible_.Out() = new ListAccessible(*this);
  const LRESULT result =
      answer(IID_IAccessible, flags, static_cast<IAccessible*>(accessible_.Get()));
  return result > 0 ? result : 0;  // a failure leaves the list box to the system's own object
}

BOOL DropDownPopup::PreTranslateMessage(MSG* msg) {
  if (msg->hwnd != list_) return FALSE;
  switch (msg->message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      const int index = ItemAt(static_cast<short>(HIWORD(msg->lParam)));
      if (index >= 0) picked_(static_cast<std::size_t>(index));
      return TRUE;
    }
    case WM_LBUTTONUP:
      return TRUE;
    default:
      return FALSE;
  }
}

LRESULT CALLBACK DropDownPopup::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    static_cast<DropDownPopup*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams)
        ->Attach(hwnd);
  }
  auto* self = static_cast<DropDownPopup*>(FromHandlePermanent(hwnd));
  if (self) {
    switch (message) {
      case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
      case WM_MEASUREITEM:
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight =
            static_cast<UINT>(self->itemHeight_);
        return TRUE;
      case WM_DRAWITEM:
        self->Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
      case WM_CTLCOLORLISTBOX:  // below the last item
        return reinterpret_cast<LRESULT>(CurrentPalette().windowBrush);
      case seams::kCopyItemMessage: {
        if (wParam >= self->count_) return -1;
        const std::wstring text = self->text_(wParam);
        SetWindowTextW(hwnd, text.c_str());
        return static_cast<LRESULT>(text.size());
      }
      case WM_NCDESTROY:
        self->Detach();
        self->list_ = nullptr;
        if (self->accessible_.Valid()) self->accessible_->Disconnect();
        self->accessible_.Reset();
        break;
      default:
        break;
    }
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void DropDownPopup::Draw(const DRAWITEMSTRUCT& item) const {
  const Palette colours = CurrentPalette();
  const bool selected = item.itemState & ODS_SELECTED;
  FillRect(item.hDC, &item.rcItem, selected ? colours.highlightBrush : colours.windowBrush);
  if (item.itemID == static_cast<UINT>(-1) || item.itemID >= count_) return;
  const std::wstring text = text_(item.itemID);
  SetTextColours(item.hDC, selected ? colours.highlightText : colours.text,
                 selected ? colours.highlight : colours.window);
  RECT place = item.rcItem;
  place.left += 2;
  DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &place,
            DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | ellipsis_);
  if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
}

}  // namespace quillgate
