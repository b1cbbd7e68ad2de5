// A drop-down list of any length shown under a control: an owner-data list box in a popup of its
// own, told only how many items there are and asked for an item's text when it is drawn, so a
// list of a million items opens as fast as one of ten and holds none of their text.
//
// It never takes the focus: the control it drops from keeps the keys, and its owner moves the
// highlight (Select) in answer to them. A click on an item calls back with the item's index.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/framework.h"

namespace quillgate {

class PopupList final : public CWnd {
 public:
  using TextOf = std::function<std::wstring(std::size_t index)>;
  using Picked = std::function<void(int index)>;

  // Sent to the popup by whoever reads the list from another process: it puts item wParam's
  // text in its own window text and returns the text's length, or -1 for no such item.
  static constexpr UINT kCopyItemMessage = WM_APP + 7;

  PopupList(TextOf text, Picked picked) : text_(std::move(text)), picked_(std::move(picked)) {}
  ~PopupList() override;

  // Creates the (hidden) popup, owned by `owner`, its items drawn in `font`; false on failure.
  bool Create(HWND owner, HFONT font);
  // Shows `count` items under `control` (above it when there is no room below), at most `rows`
  // of `itemHeight` pixels at a time, item `selected` highlighted and in view (-1: none).
  void Open(HWND control, std::size_t count, int selected, int rows, int itemHeight);
  void Close();
  bool IsOpen() const;
  // A new item count while the list stays as it is otherwise (an item was taken out).
  void SetCount(std::size_t count);
  int Selected() const;
  void Select(int index);
  // How many items one page of the open list shows.
  int PageSize() const;
  HWND ListBox() const { return list_; }

  // A click on an item picks it, once the button is up.
  BOOL PreTranslateMessage(MSG* msg) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Draw(const DRAWITEMSTRUCT& item);

  TextOf text_;
  Picked picked_;
  HWND list_ = nullptr;
  int itemHeight_ = 16;
  std::size_t count_ = 0;
};

}  // namespace quillgate
