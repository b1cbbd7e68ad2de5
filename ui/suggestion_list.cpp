#include "ui/suggestion_list.h"

#include <algorithm>

#include "platform/win32_system.h"
#include "platform/win32_text.h"

namespace quillgate {

namespace {

constexpr wchar_t kPopupClass[] = L"QuillGate.Suggestions";
constexpr int kVisibleItems = 10;

}  // namespace

SuggestionList::SuggestionList(CComboBox& box)
    : box_(box),
      suggestions_(reader_, [this](const std::string& name) { return shell_.Variable(name); }) {}

SuggestionList::~SuggestionList() {
  // Whatever a read still waits for, the launcher does not wait for it.
  if (read_) read_->Abandon();
  if (popup_ && IsWindow(popup_)) DestroyWindow(popup_);
}

void SuggestionList::Typed(const std::wstring& text) {
  typed_ = text;
  Collect();  // a read that ended while a message box's loop had its message
  const auto folder = suggestions_.Typed(win32::Narrow(text));
  if (read_ && suggestions_.Reading() != read_->Folder()) {
    read_->Abandon();
    read_.reset();
  }
  if (folder) {
    read_ = win32::BackgroundRead::Start(*folder, dialog_, message_);
    if (!read_) suggestions_.Arrived(*folder, false, {});
  }
  Show();
}

void SuggestionList::Collect() {
  if (!read_ || !read_->Done()) return;
  const auto read = std::move(read_);
  if (suggestions_.Arrived(read->Folder(), read->Ok(), read->TakeEntries())) Show();
}

bool SuggestionList::PreTranslateMessage(const MSG& msg, bool forBox) {
  if (msg.hwnd == dialog_ && msg.message == message_) {
    Collect();
    return true;
  }
  if (!Visible()) return false;
  switch (msg.message) {
    case WM_LBUTTONDOWN:
      if (msg.hwnd == list_) {
        // Picked here, so the list never takes the focus from the box.
        const auto at = static_cast<DWORD>(SendMessageW(list_, LB_ITEMFROMPOINT, 0, msg.lParam));
        if (!HIWORD(at)) Put(LOWORD(at));
        Hide();
        return true;
      }
      [[fallthrough]];
    case WM_NCLBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (msg.hwnd != list_ && !forBox) Hide();
      return false;
    case WM_SYSKEYDOWN:  // Alt+Down opens the history's list instead
      Hide();
      return false;
    case WM_KEYDOWN:
      if (!forBox) return false;
      if (msg.wParam == VK_DOWN || msg.wParam == VK_UP) {
        Move(msg.wParam == VK_DOWN ? 1 : -1);
        return true;
      }
      if (msg.wParam == VK_ESCAPE) {
        Hide();
        return true;
      }
      if (msg.wParam == VK_RETURN || msg.wParam == VK_TAB) Hide();
      return false;
    default:
      return false;
  }
}

void SuggestionList::Hide() {
  if (Visible()) ShowWindow(popup_, SW_HIDE);
}

void SuggestionList::Show() {
  const auto count = static_cast<int>(std::min<std::size_t>(suggestions_.Count(), 0x7FFFFFF));
  if (count == 0 || !dialog_) {
    Hide();
    return;
  }
  if (!popup_) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = PopupProc;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = kPopupClass;
    RegisterClassExW(&wc);  // fails harmlessly when a second list registers it again
    // Never activated: the box keeps the focus and the keys while the list shows. Owned by the
    // dialog, not topmost: above the dialog, and behind whatever window the user turns to.
    popup_ =
        CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kPopupClass, L"", WS_POPUP | WS_BORDER,
                        0, 0, 0, 0, dialog_, nullptr, wc.hInstance, this);
    if (!popup_) return;
    // Owner-data: a folder of any size is listed without a string per entry.
    list_ = CreateWindowExW(
        0, L"ListBox", L"",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NODATA | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT,
        0, 0, 0, 0, popup_, nullptr, wc.hInstance, nullptr);
  }
  const auto font = reinterpret_cast<HFONT>(box_.SendMessage(WM_GETFONT));
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  // The lines of the box's own list, at the box's current scale.
  const int itemHeight = std::max<int>(static_cast<int>(box_.SendMessage(CB_GETITEMHEIGHT, 0)), 8);
  SendMessageW(list_, LB_SETITEMHEIGHT, 0, itemHeight);
  SendMessageW(list_, LB_SETCOUNT, count, 0);
  SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);

  RECT box{};
  GetWindowRect(box_.m_hWnd, &box);
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  if (GetComboBoxInfo(box_.m_hWnd, &info)) box.bottom = box.top + info.rcItem.bottom + 2;
  const int height = std::min(count, kVisibleItems) * itemHeight + 2;
  int top = box.bottom;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  // Above the box where the screen ends below it.
  if (GetMonitorInfoW(MonitorFromWindow(box_.m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor) &&
      top + height > monitor.rcWork.bottom) {
    top = box.top - height;
  }
  SetWindowPos(popup_, HWND_TOP, box.left, top, box.right - box.left, height,
               SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(list_, nullptr, TRUE);
}

void SuggestionList::Move(int step) {
  // Past either end the box gets back what was typed, as in the system's own lists.
  const int count = static_cast<int>(SendMessageW(list_, LB_GETCOUNT, 0, 0));
  const int now = static_cast<int>(SendMessageW(list_, LB_GETCURSEL, 0, 0));
  int next = (now < 0 ? count : now) + step;
  next = (next % (count + 1) + count + 1) % (count + 1);
  Put(next == count ? -1 : next);
}

void SuggestionList::Put(int index) {
  SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  const std::wstring text =
      index < 0 ? typed_ : win32::Widen(suggestions_.Text(static_cast<std::size_t>(index)));
  box_.SetWindowText(text);
  const int end = static_cast<int>(text.size());
  box_.SetEditSel(end, end);
}

void SuggestionList::Draw(const DRAWITEMSTRUCT& item) {
  if (item.itemID == static_cast<UINT>(-1) || item.itemID >= suggestions_.Count()) return;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  // Looked up, not imported: the program imports kernel32, msvcrt and user32 only (user32 has
  // loaded gdi32 by then).
  static const auto textColor =
      win32::SystemFunction<decltype(SetTextColor)>(L"gdi32.dll", "SetTextColor");
  static const auto backMode =
      win32::SystemFunction<decltype(SetBkMode)>(L"gdi32.dll", "SetBkMode");
  if (textColor)
    textColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  if (backMode) backMode(item.hDC, TRANSPARENT);
  RECT text = item.rcItem;
  text.left += 3;
  DrawTextW(item.hDC, win32::Widen(suggestions_.Text(item.itemID)).c_str(), -1, &text,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_PATH_ELLIPSIS);
}

LRESULT CALLBACK SuggestionList::PopupProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<SuggestionList*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_SIZE:
      if (self && self->list_) MoveWindow(self->list_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_DRAWITEM:
      if (self) self->Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_NCDESTROY:
      if (self) self->popup_ = self->list_ = nullptr;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace quillgate
