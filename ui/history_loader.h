// Every wait on the history file while the launcher shows, each on a thread of its own: the last
// command for the first paint, the lines, their copies out of the file's views, a forget's
// rewrite. The dialog's thread only takes the results, posted to it.
//   NotStarted --LoadRest--> Loading --lines posted--> Loaded --Release--> Released
//        \______________________Release (a launch, a cancel)____________/
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>

#include "core/launch_core.h"
#include "ui/win32_command_box.h"

namespace quillgate {

class HistoryLoader {
 public:
  enum class State { NotStarted, Loading, Loaded, Released };
  // The patience a record at the end has for another program holding the history; Release waits
  // as long for a load or a forget under way.
  static constexpr DWORD kPatienceMs = 30000;

  explicit HistoryLoader(CommandBoxView& box) : m_box(box) {}
  ~HistoryLoader() {
    onForgotten = nullptr;  // the listener may be gone
    Release();
  }
  HistoryLoader(const HistoryLoader&) = delete;
  HistoryLoader& operator=(const HistoryLoader&) = delete;

  // As the dialog is made: the history's last line, read on the loader's thread meanwhile.
  void Begin(HWND dialog);
  // Before the window shows: that line, waited for a moment, so that the first paint shows it.
  // One that takes longer (a server that does not answer) goes into the box when it comes,
  // unless the user has typed or dropped by then.
  void ShowLastCommand();
  // Once the window is drawn: the rest of the lines.
  void LoadRest();
  // The user typed into the box: what they typed wins over a last command that comes later.
  void Typed() { m_typed = true; }
  bool TypedBeforeLines() const { return m_typed; }
  // The loader's own messages; true when `message` was one of them.
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Starts forgetting the line at `index`; false until the last forget's outcome was told.
  bool Forget(std::size_t index);
  // Before the history is rewritten at a launch, and when the dialog goes: a load or a forget
  // under way is waited for (as long as a record waits out another program, at most), and
  // nothing of this process holds the file then; a load that ends later lets go of it itself. The
  // outcome of a forget not yet told is told.
  void Release();

  // Told once the box has its lines; false when the history could not be read (not yet reported).
  std::function<void(bool readable)> onLoaded;
  // Told of a forget's end, once.
  std::function<void(std::size_t index, const RewriteOutcome& outcome)> onForgotten;

 private:
  struct Load;  // what the dialog and the load's thread share
  struct Forgetting;
  void TakeLastCommand();
  void TellForgotten();

  CommandBoxView& m_box;
  State m_state = State::NotStarted;
  std::shared_ptr<Load> m_load;
  std::shared_ptr<Forgetting> m_forgetting;
  bool m_lastTaken = false;
  bool m_typed = false;
};

}  // namespace quillgate
