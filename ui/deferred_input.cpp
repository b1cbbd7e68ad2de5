#include "ui/deferred_input.h"

#include <algorithm>
#include <iterator>

namespace quillgate {
namespace {

bool IsInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

// Closing and leaving need no line: a launcher that is closed at once must not wait for the
// history, however large.
bool NeverWaits(const MSG& msg) {
  const WPARAM key = msg.wParam;
  return (msg.message == WM_KEYDOWN && (key == VK_ESCAPE || key == VK_TAB)) ||
         (msg.message == WM_CHAR && (key == 0x1B || key == '\t')) ||
         (msg.message == WM_SYSKEYDOWN && (key == VK_F4 || key == VK_SPACE)) ||
         (msg.message == WM_SYSCHAR && key == ' ');
}

// Input that the history's list answers: moving through it, opening it, a click or a turn of the
// wheel on the box. Typing shows at once and is completed once the lines are there; Enter launches
// what the box holds, and the modifiers alone do nothing: none of them waits for the history.
bool NeedsHistory(const MSG& msg) {
  const WPARAM key = msg.wParam;
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      return key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT || key == VK_F4;
    default:
      return msg.message == WM_LBUTTONDOWN || msg.message == WM_LBUTTONDBLCLK ||
             msg.message == WM_RBUTTONDOWN || msg.message == WM_MBUTTONDOWN ||
             msg.message == WM_MOUSEWHEEL;
  }
}

}  // namespace

bool DeferredInput::Hold(const MSG& msg, bool forBox) {
  if (!IsInput(msg.message) || NeverWaits(msg)) return false;
  if (!m_held.Holding() && !(forBox && NeedsHistory(msg))) return false;
  Input input{msg, {}};
  GetKeyboardState(input.keys);
  m_held.Hold(input);
  return true;
}

void DeferredInput::Replay(const std::function<void(MSG&)>& route,
                           const std::function<bool()>& ending) {
  if (!m_held.Holding()) return;
  BYTE now[256];
  GetKeyboardState(now);
  m_held.Replay(
      [](Input& input) {
        if (!PeekMessageW(&input.msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) return false;
        return GetKeyboardState(input.keys) != FALSE;
      },
      [](const Input& key, Input& made) {
        std::copy(std::begin(key.keys), std::end(key.keys), made.keys);
        return PeekMessageW(&made.msg, key.msg.hwnd, WM_CHAR, WM_DEADCHAR, PM_REMOVE) ||
               PeekMessageW(&made.msg, key.msg.hwnd, WM_SYSCHAR, WM_SYSDEADCHAR, PM_REMOVE);
      },
      [&](Input& input) {
        SetKeyboardState(input.keys);
        route(input.msg);
      },
      ending);
  SetKeyboardState(now);
}

}  // namespace quillgate
