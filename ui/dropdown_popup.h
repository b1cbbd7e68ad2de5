// The one drop-down every list of the box uses (the history, a folder's entries, the apps): an
// owner-data list box in a popup, told only how many items there are and asked for an item's text
// as it is drawn, so a million items open as fast as ten. It never takes the focus: the box keeps
// the keys, and its owner moves the highlight. One drop-down shows at a time. Screen readers reach
// the items through the list box's accessible object, made when first asked for, and follow the
// highlight through the events the drop-down sends as it moves.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/framework.h"
#include "platform/win32_handle.h"
#include "ui/list_accessible.h"

namespace quillgate {

class DropDownPopup : public CWnd {
 public:
  using TextOf = std::function<std::wstring(std::size_t index)>;
  using Picked = std::function<void(std::size_t index)>;

  // `className` names the popup's window for whoever looks from outside; `name` is the list's
  // for a screen reader; `ellipsis` is how an item too long for the list is cut
  // (DT_END_ELLIPSIS, DT_PATH_ELLIPSIS).
  DropDownPopup(const wchar_t* className, std::wstring name, UINT ellipsis, TextOf text,
                Picked picked)
      : m_className(className),
        m_name(std::move(name)),
        m_ellipsis(ellipsis),
        m_text(std::move(text)),
        m_picked(std::move(picked)) {}
  ~DropDownPopup() override;

  // Hidden, owned by `owner`; true once it exists.
  bool Create(HWND owner);
  // Shows `count` items under `box` (above where the screen ends), `rows` at most, `selected`
  // highlighted (-1: none), in the box's font and line height as they are now: a new scale shows
  // at the next opening.
  void Open(const CComboBox& box, std::size_t count, int selected, int rows);
  void Close();
  bool IsOpen() const { return m_hWnd && IsWindowVisible(m_hWnd); }
  // Whether a drop-down other than `self` shows.
  static bool AnotherOpen(const DropDownPopup* self) {
    return s_open && s_open != self && s_open->IsOpen();
  }
  // The items there are, the list open or not: a screen reader may walk a hidden list.
  void SetCount(std::size_t count);
  std::size_t Count() const { return m_count; }
  int Selected() const {
    return m_list ? static_cast<int>(::SendMessageW(m_list, LB_GETCURSEL, 0, 0)) : -1;
  }
  void Select(int index);
  // How many items one page of the open list shows.
  int PageSize() const;
  HWND ListBox() const { return m_list; }
  const std::wstring& Name() const { return m_name; }
  std::wstring ItemText(std::size_t index) const { return m_text(index); }
  void Pick(std::size_t index) { m_picked(index); }
  // The item at `y` in the list's client area, or -1.
  int ItemAt(int y) const;

  // A click picks an item; taken here, or the list would take the focus from the box.
  BOOL PreTranslateMessage(MSG* msg) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR self);
  LRESULT Accessible(WPARAM flags);
  void NotifyReaders(DWORD event, LONG child) const;
  // A screen reader's focus goes back to the box that kept the keys.
  static void FocusBack();
  void Draw(const DRAWITEMSTRUCT& item) const;

  static DropDownPopup* s_open;
  const wchar_t* m_className;
  std::wstring m_name;
  UINT m_ellipsis;
  TextOf m_text;
  Picked m_picked;
  HWND m_list = nullptr;
  int m_itemHeight = 16;
  std::size_t m_count = 0;
  const char* m_themeClass = nullptr;  // the scroll bars' theme class, given at an opening
  win32::ComPtr<ListAccessible> m_accessible;
};

// A list offered below `box` as the user types (the folders', the apps'): a click picks an item
// into the box; Down and Up step through it into the box and, past either end, back to what was
// typed, as the system's own lists do; Esc closes it; Enter, Tab, Alt and clicks elsewhere close
// it and go on.
class OfferedList final : public DropDownPopup {
 public:
  OfferedList(CComboBox& box, const wchar_t* className, std::wstring name, UINT ellipsis,
              TextOf text);
  // The box's text as the user just typed it, before any completion.
  void SetTyped(const std::wstring& typed) { m_typed = typed; }
  const std::wstring& Typed() const { return m_typed; }
  // `count` items, shown or not what a screen reader finds; shown unless none, not `allowed`, or
  // another list shows (the history's, opened by the user, stays).
  void Offer(std::size_t count, bool allowed);
  // The keys and clicks above; true when consumed. `forBox`: the message is for the box.
  bool OfferedInput(const MSG& msg, bool forBox);

 private:
  // Item `index`, or what was typed for -1, selected and in the box, the caret at its end.
  void PutInBox(int index);

  CComboBox& m_box;
  std::wstring m_typed;
};

}  // namespace quillgate
