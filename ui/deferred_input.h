// Input that came before the history's lines and needs them, held and then handed on in the order
// it came, each with the keyboard's state of its moment (Shift makes a capital).
#pragma once

#include <windows.h>

#include <functional>

#include "core/held_input.h"

namespace quillgate {

class DeferredInput {
 public:
  // Holds `msg` when it must wait for the lines: input for the box that acts on their list, and
  // any input behind such. What closes the window or leaves the box (Esc, Tab, Alt+F4, Alt+Space)
  // never waits. True when held.
  bool Hold(const MSG& msg, bool forBox);
  // Hands on what was held, as the modal loop would have (`route`), until `ending` says stop.
  void Replay(const std::function<void(MSG&)>& route, const std::function<bool()>& ending);

  // A message as it came, with the keyboard's state then.
  struct Input {
    MSG msg;
    BYTE keys[256];
  };

 private:
  HeldInput<Input> m_held;
};

}  // namespace quillgate
