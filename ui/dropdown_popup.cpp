#include "ui/dropdown_popup.h"

#include <algorithm>
#include <climits>

#include "platform/win32_system.h"
#include "ui/palette.h"
#include "ui/test_seams.h"

namespace quillgate {
namespace {

constexpr DWORD kStyle = WS_POPUP | WS_BORDER;
// Never activated, so the box keeps the keys; owned, not topmost: above the dialog only.
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
constexpr int kOfferedRows = 10;

}  // namespace

DropDownPopup* DropDownPopup::s_open = nullptr;

DropDownPopup::~DropDownPopup() {
  if (s_open == this) s_open = nullptr;
  if (m_accessible.Valid()) m_accessible->Disconnect();
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
  type.lpszClassName = m_className;
  if (!RegisterClassExW(&type) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  if (!CreateWindowExW(kExStyle, m_className, L"", kStyle, 0, 0, 10, 10, owner, nullptr, instance,
                       this)) {
    return false;
  }
  // Owner-data: the list box stores no item, it only counts them.
  m_list = CreateWindowExW(0, L"ListBox", L"",
                           WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NODATA | LBS_OWNERDRAWFIXED |
                               LBS_NOINTEGRALHEIGHT | LBS_NOTIFY,
                           0, 0, 10, 10, m_hWnd, nullptr, instance, nullptr);
  if (!m_list) return false;
  if (const auto subclass = win32::comctl32::SetWindowSubclass())
    subclass(m_list, ListProc, 0, reinterpret_cast<DWORD_PTR>(this));
  return true;
}

void DropDownPopup::Open(const CComboBox& box, std::size_t count, int selected, int rows) {
  if (!Create(GetAncestor(box.m_hWnd, GA_ROOT))) return;
  if (s_open && s_open != this) s_open->Close();
  s_open = this;
  const bool wasOpen = IsOpen();  // typing into a folder opens its list anew at each key
  m_itemHeight = std::max(static_cast<int>(box.SendMessage(CB_GETITEMHEIGHT, 0)), 1);
  ::SendMessageW(m_list, WM_SETFONT, static_cast<WPARAM>(box.SendMessage(WM_GETFONT)), FALSE);
  ::SendMessageW(m_list, LB_SETITEMHEIGHT, 0, m_itemHeight);
  SetCount(count);
  RECT under{};
  GetWindowRect(box.m_hWnd, &under);
  const auto shown = std::min<std::size_t>(std::max<std::size_t>(count, 1), std::max(rows, 1));
  RECT frame{0, 0, under.right - under.left, m_itemHeight * static_cast<int>(shown)};
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
  MoveWindow(m_list, 0, 0, client.right, client.bottom, FALSE);
  Select(selected);
  if (ThemeClass(ThemedControl::kListScrollBars) != m_themeClass) {
    m_themeClass = ThemeClass(ThemedControl::kListScrollBars);
    ApplyThemeClass(m_list, ThemedControl::kListScrollBars);
  }
  ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
  InvalidateRect(m_list, nullptr, TRUE);
  if (wasOpen) return;
  NotifyReaders(EVENT_OBJECT_SHOW, CHILDID_SELF);
  if (Selected() >= 0) {
    NotifyReaders(EVENT_OBJECT_FOCUS, Selected() + 1);
    NotifyReaders(EVENT_OBJECT_SELECTION, Selected() + 1);
  }
}

void DropDownPopup::Close() {
  if (IsOpen()) {
    ShowWindow(m_hWnd, SW_HIDE);
    NotifyReaders(EVENT_OBJECT_HIDE, CHILDID_SELF);
    if (Selected() >= 0) FocusBack();
  }
  if (s_open == this) s_open = nullptr;
}

void DropDownPopup::SetCount(std::size_t count) {
  m_count = count;
  if (m_list) ::SendMessageW(m_list, LB_SETCOUNT, count, 0);
}

void DropDownPopup::Select(int index) {
  const int before = Selected();
  ::SendMessageW(m_list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  const int now = Selected();
  // Only as it moves: the history's highlight is set again at every key typed.
  if (now == before || !IsOpen()) return;
  if (now < 0) {
    FocusBack();
    return;
  }
  NotifyReaders(EVENT_OBJECT_FOCUS, now + 1);
  NotifyReaders(EVENT_OBJECT_SELECTION, now + 1);
}

void DropDownPopup::NotifyReaders(DWORD event, LONG child) const {
  // Of the list box's client object, the one WM_GETOBJECT answers with: a reader finds the list
  // by its name and role, and the item by its child id. The popup's window object has neither,
  // and the system tells its showing and hiding itself.
  NotifyWinEvent(event, m_list, OBJID_CLIENT, child);
}

void DropDownPopup::FocusBack() {
  if (HWND focus = GetFocus())
    NotifyWinEvent(EVENT_OBJECT_FOCUS, focus, OBJID_CLIENT, CHILDID_SELF);
}

int DropDownPopup::ItemAt(int y) const {
  // Counted from the top item: LB_ITEMFROMPOINT answers in 16 bits, and lists run longer.
  const auto top = static_cast<std::size_t>(::SendMessageW(m_list, LB_GETTOPINDEX, 0, 0));
  const std::size_t index = top + static_cast<std::size_t>(std::max(y, 0) / m_itemHeight);
  return y >= 0 && index < m_count ? static_cast<int>(index) : -1;
}

int DropDownPopup::PageSize() const {
  RECT client{};
  GetClientRect(m_list, &client);
  return std::max(1, static_cast<int>(client.bottom) / m_itemHeight);
}

LRESULT CALLBACK DropDownPopup::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR self) {
  auto& popup = *reinterpret_cast<DropDownPopup*>(self);
  // The object identifier is a 32-bit value, whatever the width of lParam. A popup on its way
  // out (detached from its window) makes no new object.
  if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT && popup.m_hWnd) {
    if (const LRESULT answer = popup.Accessible(wParam)) return answer;
  }
  // Not null: comctl32, which gave SetWindowSubclass, calls this.
  if (message == WM_NCDESTROY) win32::comctl32::RemoveWindowSubclass()(list, ListProc, 0);
  return win32::comctl32::DefSubclassProc()(list, message, wParam, lParam);
}

LRESULT DropDownPopup::Accessible(WPARAM flags) {
  // COM and oleacc only once a screen reader asks, never at the start; kept for the process.
  static const win32::ComApartment com;
  const auto answer = win32::oleacc::LresultFromObject();
  if (!answer) return 0;
  if (!m_accessible.Valid()) *m_accessible.Out() = new ListAccessible(*this);
  const LRESULT result =
      answer(IID_IAccessible, flags, static_cast<IAccessible*>(m_accessible.Get()));
  return result > 0 ? result : 0;  // a failure leaves the list box to the system's own object
}

BOOL DropDownPopup::PreTranslateMessage(MSG* msg) {
  if (msg->hwnd != m_list) return FALSE;
  switch (msg->message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      const int index = ItemAt(static_cast<short>(HIWORD(msg->lParam)));
      if (index >= 0) m_picked(static_cast<std::size_t>(index));
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
  if (auto* self = static_cast<DropDownPopup*>(FromHandlePermanent(hwnd))) {
    switch (message) {
      case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
      case WM_MEASUREITEM:
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight =
            static_cast<UINT>(self->m_itemHeight);
        return TRUE;
      case WM_DRAWITEM:
        self->Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
      case WM_CTLCOLORLISTBOX:  // below the last item
        return reinterpret_cast<LRESULT>(Brush(Role::kWindow));
      case seams::kCopyItemMessage: {
        if (wParam >= self->m_count) return -1;
        const std::wstring text = self->m_text(wParam);
        SetWindowTextW(hwnd, text.c_str());
        return static_cast<LRESULT>(text.size());
      }
      case WM_NCDESTROY:
        self->Detach();
        self->m_list = nullptr;
        if (self->m_accessible.Valid()) self->m_accessible->Disconnect();
        self->m_accessible.Reset();
        break;
      default:
        break;
    }
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void DropDownPopup::Draw(const DRAWITEMSTRUCT& item) const {
  const bool selected = item.itemState & ODS_SELECTED;
  const Role back = selected ? Role::kHighlight : Role::kWindow;
  FillRect(item.hDC, &item.rcItem, Brush(back));
  if (item.itemID == static_cast<UINT>(-1) || item.itemID >= m_count) return;
  const std::wstring text = m_text(item.itemID);
  SetTextColours(item.hDC, Colour(selected ? Role::kHighlightText : Role::kText), Colour(back));
  RECT place = item.rcItem;
  place.left += 2;
  DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &place,
            DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | m_ellipsis);
  if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
}

OfferedList::OfferedList(CComboBox& box, const wchar_t* className, std::wstring name, UINT ellipsis,
                         TextOf text)
    : DropDownPopup(className, std::move(name), ellipsis, std::move(text),
                    [this](std::size_t index) {
                      PutInBox(static_cast<int>(index));
                      Close();
                    }),
      m_box(box) {}

void OfferedList::Offer(std::size_t count, bool allowed) {
  // In an int, as the list counts, with room for the one place past its end: the text as typed.
  count = std::min<std::size_t>(count, INT_MAX - 1);
  SetCount(count);
  if (count == 0 || !allowed || AnotherOpen(this)) {
    Close();
    return;
  }
  Open(m_box, count, -1, kOfferedRows);
}

bool OfferedList::OfferedInput(const MSG& msg, bool forBox) {
  if (!IsOpen()) return false;
  switch (msg.message) {
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (!forBox) Close();  // a click on the list itself the popup has taken already
      return false;
    case WM_SYSKEYDOWN:  // Alt+Down opens the history's list instead
      Close();
      return false;
    case WM_KEYDOWN:
      if (!forBox) return false;
      if (msg.wParam == VK_DOWN || msg.wParam == VK_UP) {
        const int count = static_cast<int>(Count()), now = Selected();
        int next = (now < 0 ? count : now) + (msg.wParam == VK_DOWN ? 1 : -1);
        next = (next % (count + 1) + count + 1) % (count + 1);
        PutInBox(next == count ? -1 : next);
        return true;
      }
      if (msg.wParam == VK_ESCAPE) {
        Close();
        return true;
      }
      if (msg.wParam == VK_RETURN || msg.wParam == VK_TAB) Close();
      return false;
    default:
      return false;
  }
}

void OfferedList::PutInBox(int index) {
  Select(index);
  const std::wstring text = index < 0 ? m_typed : ItemText(static_cast<std::size_t>(index));
  m_box.SetWindowText(text);
  const int end = static_cast<int>(text.size());
  m_box.SetEditSel(end, end);
}

}  // namespace quillgate
