// The dialog's combo box as the launch core sees it: plain combo-box operations only, its UTF-16
// text converted to and from the core's UTF-8.
//
// Items can be collected instead of handed to the control one by one: a history of any size
// then shows at once, and the control is filled in short pieces while the user has nothing to
// do (Fill), or all at once the moment something needs the whole list (FillAll).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/ports.h"
#include "platform/framework.h"

namespace quillgate {

class ComboCommandBox final : public ICommandBox {
 public:
  explicit ComboCommandBox(CComboBox& combo) : combo_(combo) {}

  std::string GetText() const override;
  void SetText(const std::string& text) override;
  // Collected while collecting; after that, while collected items still wait, kept to go in
  // after them (see FindStringExact).
  void AddString(const char* item) override;
  // While items still wait for the control the answer is false without a search: an item
  // added then goes in after the whole list, and only if the complete list has no equal item.
  // So a launch never waits for the list, and the list ends up as if it had been complete.
  bool FindStringExact(const std::string& text) const override;
  // Takes over the text the collected items point into.
  void KeepLoadedText(std::string& text) override;

  // Items added from here on are kept, as pointers, until Fill or FillAll hands them over; the
  // text they point into must be handed over too (KeepLoadedText), as LoadHistory does.
  void BeginCollecting();
  // Lets the control reserve room for what was collected, and switches its list's redrawing
  // off until the list is complete (its every addition otherwise updates the scroll bar).
  void EndCollecting();
  // True while some items have yet to reach the control.
  bool Filling() const { return next_ < waiting_.size() || !late_.empty(); }
  // Hands items to the control for about `milliseconds`; true while some are left.
  bool Fill(unsigned milliseconds);
  void FillAll() { Fill(0); }

 private:
  void Prepare();
  void Complete();

  CComboBox& combo_;
  bool collecting_ = false;
  // The collected items in order, pointing into the history's own text: a long history costs
  // no copy of its lines, only a pointer each.
  std::string text_;
  std::vector<const char*> waiting_;
  std::size_t next_ = 0;  // the next item to hand over
  std::size_t bytes_ = 0;
  // Added after collecting ended while items still waited: they go in last, when not there.
  std::vector<std::string> late_;
  bool prepared_ = false;  // room reserved and redrawing off for the fill under way
  HWND list_ = nullptr;    // the combo box's list while items wait, its redrawing off
  std::wstring wide_;      // the item being handed over, in the control's UTF-16
};

}  // namespace quillgate
