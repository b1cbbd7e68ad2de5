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
  switch (msg.message) {
    case WM_KEYDOWN:
      return msg.wParam == VK_ESCAPE || msg.wParam == VK_TAB;
    case WM_SYSKEYDOWN:
      return msg.wParam == VK_F4 || msg.wParam == VK_SPACE;
    case WM_CHAR:
      return msg.wParam == 0x1B || msg.wParam == '\t';
    case WM_SYSCHAR:
      return msg.wParam == ' ';
    default:
      return false;
  }
}

// Input that completion, the drop-down or moving through the list answers. Enter launches what
// the box holds, and the modifiers alone do nothing: neither waits for the history.
bool NeedsHistory(const MSG& msg) {
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      switch (msg.wParam) {
        case VK_RETURN:
        case VK_SHIFT:
        case VK_CONTROL:
        case VK_MENU:
        case VK_LWIN:
        case VK_RWIN:
          return false;
        default:
          return true;
      }
    case WM_CHAR:
      return msg.wParam != '\r' && msg.wParam != '\n';
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_MOUSEWHEEL:
      return true;
    default:
      return false;
  }
}

// The launcher's own message queue, as the replay sees it.
class MessageQueue final : public HeldInput<DeferredInput::Input>::Queue {
 public:
  MessageQueue(const std::function<void(MSG&)>& route, const std::function<bool()>& ending)
      : route_(route), ending_(ending) {}
  bool NextQueued(DeferredInput::Input& input) override {
    if (!PeekMessageW(&input.msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) return false;
    GetKeyboardState(input.keys);
    return true;
  }
  bool NextMadeBy(const DeferredInput::Input& key, DeferredInput::Input& made) override {
    HWND to = key.msg.hwnd;
    if (!PeekMessageW(&made.msg, to, WM_CHAR, WM_DEADCHAR, PM_REMOVE) &&
        !PeekMessageW(&made.msg, to, WM_SYSCHAR, WM_SYSDEADCHAR, PM_REMOVE)) {
      return false;
    }
    std::copy(std::begin(key.keys), std::end(key.keys), made.keys);
    return true;
  }
  void Dispatch(DeferredInput::Input& input) override {
    SetKeyboardState(input.keys);
    route_(input.msg);
  }
  bool Ending() override { return ending_(); }

 private:
  const std::function<void(MSG&)>& route_;
  const std::function<bool()>& ending_;
};

}  // namespace

bool DeferredInput::Hold(const MSG& msg, bool forBox) {
  if (!IsInput(msg.message) || NeverWaits(msg)) return false;
  if (!held_.Holding() && !(forBox && NeedsHistory(msg))) return false;
  Input input{msg, {}};
  GetKeyboardState(input.keys);
  held_.Hold(input);
  return true;
}

void DeferredInput::Replay(const std::function<void(MSG&)>& route,
                           const std::function<bool()>& ending) {
  if (!held_.Holding()) return;
  BYTE now[256];
  GetKeyboardState(now);
  MessageQueue queue(route, ending);
  held_.Replay(queue);
  SetKeyboardState(now);
}

}  // namespace quillgate
