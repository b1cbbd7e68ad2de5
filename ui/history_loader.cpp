#include "ui/history_loader.h"

#include <atomic>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/win32_files.h"
#include "platform/win32_handle.h"
#include "ui/test_seams.h"

namespace quillgate {
namespace {

// Posted by the loader's threads to the dialog.
constexpr UINT kLinesLoaded = WM_APP + 1;
constexpr UINT kPieceCopied = WM_APP + 4;  // with a PieceCopy, the dialog's from then on
constexpr UINT kLastCommand = WM_APP + 5;
constexpr UINT kForgotten = WM_APP + 6;
// Long enough for a local disk's few milliseconds: the first paint shows the last command.
constexpr DWORD kFirstPaintWaitMs = 200;
// A local file's lines take a moment; a share's are read, never mapped, and may take longer.
constexpr ULONGLONG kLoadWaitMs = 5000;
// A forget's rewrite waits a few seconds at most for another launcher's.
constexpr ULONGLONG kForgetWaitMs = 30000;

struct PieceCopy {
  std::shared_ptr<FileViews> from;
  std::size_t piece = 0;
  std::unique_ptr<char[]> copy;
};

// The lines are searched in the history file's own views as soon as they are split, and those
// views are let go piece by piece as copies take their place: a view kept would hold the file
// against other launchers' rewrites. A piece is copied once the one two before it was taken over,
// so that no more than two are ever in memory twice.
void CopyPieces(const std::shared_ptr<FileViews>& views, HWND dialog) {
  for (std::size_t piece = 0; piece < views->Pieces(); ++piece) {
    while (views->Unmapped() + 1 < piece) {
      if (!IsWindow(dialog)) return;
      Sleep(1);
    }
    auto copied = std::make_unique<PieceCopy>(PieceCopy{views, piece, views->CopyPiece(piece)});
    if (!PostMessageW(dialog, kPieceCopied, 0, reinterpret_cast<LPARAM>(copied.get()))) return;
    copied.release();
  }
}

// Runs `work` on a thread of its own, which nobody joins, co-owning `state`; false when no
// thread can be had (then nothing is loaded or forgotten, and the user hears so).
template <typename State, typename Work>
bool OnThread(std::shared_ptr<State> state, Work work) {
  try {
    std::thread([state, work] { work(*state); }).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

template <typename Condition>
void WaitUntil(Condition done, ULONGLONG limitMs) {
  for (const ULONGLONG end = GetTickCount64() + limitMs; !done() && GetTickCount64() < end;) {
    Sleep(1);
  }
}

}  // namespace

struct HistoryLoader::Shared {
  HWND dialog = nullptr;
  // Its own file services: the dialog's may be gone when the thread ends.
  win32::FileSystem files;
  win32::Handle lastReady{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  win32::Handle go{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<bool> wanted{true};
  FirstPaint first;  // written on the loader's thread before `lastReady` is set
  // The dialog's once `done` is set.
  HistoryLines lines;
  ReadResult result = ReadResult::Failed;
  std::atomic<bool> done{false};
};

struct HistoryLoader::Forgetting {
  HWND dialog = nullptr;
  std::shared_ptr<FileViews> views;  // the views whose copies are still coming in, if any
  std::size_t index = 0;
  std::string command;
  RewriteOutcome outcome;
  std::atomic<bool> done{false};
  bool told = false;
};

void HistoryLoader::Begin(HWND dialog) {
  shared_ = std::make_shared<Shared>();
  shared_->dialog = dialog;
  const auto load = [](Shared& s) {
    s.first = ReadFirstPaint(s.files);
    SetEvent(s.lastReady.Get());
    PostMessageW(s.dialog, kLastCommand, 0, 0);
    if (!s.first.readable || WaitForSingleObject(s.go.Get(), INFINITE) != WAIT_OBJECT_0 ||
        !s.wanted)
      return;
    s.result = LoadLines(s.files, s.first.path, s.lines);
    const std::shared_ptr<FileViews> views = s.lines.Views();
    s.done.store(true, std::memory_order_release);
    PostMessageW(s.dialog, kLinesLoaded, 0, 0);
    if (views) CopyPieces(views, s.dialog);
  };
  if (!OnThread(shared_, load)) SetEvent(shared_->lastReady.Get());  // read as unreadable
  if (WaitForSingleObject(shared_->lastReady.Get(), kFirstPaintWaitMs) == WAIT_OBJECT_0) {
    TakeLastCommand();
  }
}

void HistoryLoader::TakeLastCommand() {
  if (lastTaken_ || !shared_) return;
  lastTaken_ = true;
  if (!shared_->first.readable) {
    Failed();
  } else if (shared_->first.last && box_.GetText().empty()) {
    box_.SetText(*shared_->first.last);  // not over what the user typed meanwhile
  }
}

void HistoryLoader::Failed() {
  // The list stays empty, and nothing is loaded from a history that could not be read.
  box_.TakeLines({});
  state_ = State::Loaded;
  if (onLoaded) onLoaded(false);
}

void HistoryLoader::LoadRest() {
  if (state_ != State::NotStarted || !shared_) return;
  state_ = State::Loading;
  SetPropW(shared_->dialog, seams::kLoadingProperty, reinterpret_cast<HANDLE>(1));
  SetEvent(shared_->go.Get());
}

bool HistoryLoader::OnMessage(UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case kLastCommand:
      TakeLastCommand();
      return true;
    case kLinesLoaded:
      if (state_ != State::Loading || !shared_->done.load(std::memory_order_acquire)) return true;
      box_.TakeLines(std::move(shared_->lines));
      state_ = State::Loaded;
      if (onLoaded) onLoaded(shared_->result != ReadResult::Failed);
      return true;
    case kPieceCopied: {
      const std::unique_ptr<PieceCopy> copied(reinterpret_cast<PieceCopy*>(lParam));
      if (state_ == State::Loaded) {
        box_.Lines().PutCopyInPlace(copied->from.get(), copied->piece, std::move(copied->copy));
      }
      return true;
    }
    case kForgotten:
      if (forgetting_ && forgetting_->done && !std::exchange(forgetting_->told, true) &&
          onForgotten) {
        onForgotten(forgetting_->index, forgetting_->outcome);
      }
      return true;
    default:
      return false;
  }
}

bool HistoryLoader::Forget(std::size_t index) {
  if (state_ != State::Loaded || !shared_ || (forgetting_ && !forgetting_->done)) return false;
  forgetting_ = std::make_shared<Forgetting>();
  forgetting_->dialog = shared_->dialog;
  forgetting_->views = box_.Lines().Views();
  forgetting_->index = index;
  forgetting_->command = std::string(box_.Lines().Line(index));
  const auto forget = [](Forgetting& f) {
    // Windows replaces no file that is mapped: the copies the dialog still takes in go first.
    WaitUntil([&] { return !f.views || f.views->Unmapped() == f.views->Pieces(); }, kLoadWaitMs);
    f.views.reset();
    win32::FileSystem files;
    f.outcome = RewriteHistory(files, f.command, false);
    f.done.store(true, std::memory_order_release);
    PostMessageW(f.dialog, kForgotten, 0, 0);
  };
  if (!OnThread(forgetting_, forget)) {
    forgetting_->outcome.reason = "no thread";
    forgetting_->done = true;
    PostMessageW(forgetting_->dialog, kForgotten, 0, 0);
  }
  return true;
}

void HistoryLoader::Release() {
  if (state_ == State::Released) return;
  const bool loading = state_ == State::Loading;
  state_ = State::Released;
  if (shared_) {
    shared_->wanted = false;
    SetEvent(shared_->go.Get());  // a thread still waiting to load ends
    if (loading) {
      WaitUntil([&] { return shared_->done.load(std::memory_order_acquire); }, kLoadWaitMs);
      if (shared_->done.load(std::memory_order_acquire)) shared_->lines.Clear();
    }
    RemovePropW(shared_->dialog, seams::kLoadingProperty);
  }
  box_.Lines().Clear();
  if (forgetting_) {
    WaitUntil([&] { return forgetting_->done.load(std::memory_order_acquire); }, kForgetWaitMs);
  }
}

}  // namespace quillgate
