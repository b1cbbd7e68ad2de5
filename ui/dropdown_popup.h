// The one drop-down that both of the box's lists use (the history, and the entries of a typed
// folder): an owner-data list box in a popup of its own, told only how many items there are and
// asked for an item's text when it is drawn, so a list of a million items opens as fast as one of
// ten and holds none of their text.
//
// It never takes the focus: the box it drops from keeps the keys, and its owner moves the
// highlight (Select) in answer to them. A click on an item calls back with the item's index. Only
// one drop-down shows at a time: opening one closes the other.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/framework.h"

namespace quillgate {

class DropDownPopup final : public CWnd {
 public:
  using TextOf = std::function<std::wstring(std::size_t index)>;
  using Picked = std::function<void(std::size_t index)>;

  // `className` names the popup's window for whoever looks from outside; `ellipsis` is how an
  // item too long for the list is cut (DT_END_ELLIPSIS, DT_PATH_ELLIPSIS).
  DropDownPopup(const wchar_t* className, UINT ellipsis, TextOf text, Picked picked)
      : className_(className), ellipsis_(ellipsis), text_(std::move(text)),
        picked_(std::move(picked)) {}
  ~DropDownPopup() override;

  // Creates the popup, hidden and owned by `owner`; true once it exists.
  bool Create(HWND owner);
  // Shows `count` items under `box` (above it where the screen ends below), at most `rows` at a
  // time, item `selected` highlighted and in view (-1: none); in the box's font and line height
  // as they are now, so a change of scale shows at the next opening.
  void Open(const CComboBox& box, std::size_t count, int selected, int rows);
  void Close();
  bool IsOpen() const;
  // Whether a drop-down other than `self` shows.
  static bool AnotherOpen(const DropDownPopup* self);
  // A new item count while the list stays as it is otherwise.
  void SetCount(std::size_t count);
  int Selected() const;
  void Select(int index);
  // How many items one page of the open list shows.
  int PageSize() const;
  HWND ListBox() const { return list_; }

  // A click on an item picks it; taken here, so the list never takes the focus from the box.
  BOOL PreTranslateMessage(MSG* msg) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Draw(const DRAWITEMSTRUCT& item) const;

  static DropDownPopup* s_open;
  const wchar_t* className_;
  UINT ellipsis_;
  TextOf text_;
  Picked picked_;
  HWND list_ = nullptr;
  int itemHeight_ = 16;
  std::size_t count_ = 0;
};

}  // namespace quillgate
