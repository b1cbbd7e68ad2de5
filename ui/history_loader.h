// Every wait on the history file while the launcher shows, each on a thread of its own: the last
// command for the first paint, the lines, their copies out of the file's views, a forget's
// rewrite. The dialog's thread only takes the results, posted to it.
//   NotStarted --LoadRest--> Loading --lines posted--> Loaded --Release--> Released
//        \______________________Release (a launch, a cancel)____________/
#pragma once

#include <windows.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "core/launch_core.h"
#include "ui/win32_command_box.h"

namespace quillgate {

class HistoryLoader {
 public:
  enum class State { NotStarted, Loading, Loaded, Released };

  explicit HistoryLoader(CommandBoxView& box) : box_(box) {}
  ~HistoryLoader() { Release(); }
  HistoryLoader(const HistoryLoader&) = delete;
  HistoryLoader& operator=(const HistoryLoader&) = delete;

  State Now() const { return state_; }
  // Before the window shows: the history's last line, read on the loader's thread and waited for
  // a moment, so that the first paint shows it. One that takes longer (a server that does not
  // answer) goes into the box when it comes, unless the user has typed by then.
  void Begin(HWND dialog);
  // Once the window is drawn: the rest of the lines.
  void LoadRest();
  // The loader's own messages; true when `message` was one of them.
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Starts forgetting the line at `index`; false while another forget is under way.
  bool Forget(std::size_t index);
  // Before the history is rewritten at a launch, and when the dialog goes: a load or a forget
  // under way is waited for (a while at most), and nothing of this process holds the file then.
  void Release();

  // Told once the box has its lines; false when the history could not be read (not yet reported).
  std::function<void(bool readable)> onLoaded;
  // Told of a forget's end.
  std::function<void(std::size_t index, const RewriteOutcome& outcome)> onForgotten;

 private:
  struct Shared;
  struct Forgetting;
  static DWORD WINAPI Run(void* shared);
  void TakeLastCommand();
  void Failed();

  CommandBoxView& box_;
  State state_ = State::NotStarted;
  std::shared_ptr<Shared> shared_;
  std::shared_ptr<Forgetting> forgetting_;
  bool lastTaken_ = false;
};

}  // namespace quillgate
