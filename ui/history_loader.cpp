#include "ui/history_loader.h"

#include <atomic>
#include <string>
#include <utility>

#include "platform/win32_files.h"
#include "platform/win32_handle.h"
#include "platform/window_messages.h"
#include "ui/test_seams.h"

namespace quillgate {
namespace {

using Handle = win32::FileHandle;  // events and threads

// The first paint waits this long for the last command: a local disk's few milliseconds.
constexpr DWORD kFirstPaintWaitMs = 200;
// A forget waits this long for the lines' copies to take the place of the file's views, which
// keep any rewrite from replacing the file.
constexpr DWORD kCopiesWaitMs = 5000;
// At the end, a load or a forget under way is waited for this long: the patience a record has
// for another program holding the history (see RecordAccepted).
constexpr DWORD kEndWaitMs = 30000;

Handle NewEvent(bool manualReset) {
  return Handle(CreateEventW(nullptr, manualReset, FALSE, nullptr));
}

// A test stands for a disk that does not answer by holding the loader here (see test_seams.h).
void HeldByTest(const wchar_t* event) {
  const Handle held(OpenEventW(SYNCHRONIZE, FALSE, event));
  if (held.Valid()) WaitForSingleObject(held.Get(), INFINITE);
}

// Runs `work(*state)` on a thread of its own, which nobody joins, co-owning `state`; false when no
// thread can be had (then nothing is loaded or forgotten, and the user hears so).
template <typename State>
struct Job {
  std::shared_ptr<State> state;
  void (*work)(State&);
};

template <typename State>
DWORD WINAPI RunJob(void* job) {
  const std::unique_ptr<Job<State>> owned(static_cast<Job<State>*>(job));
  owned->work(*owned->state);
  return 0;
}

template <typename State>
bool OnThread(std::shared_ptr<State> state, void (*work)(State&)) {
  auto job = std::make_unique<Job<State>>(Job<State>{std::move(state), work});
  if (!Handle(CreateThread(nullptr, 0, RunJob<State>, job.get(), 0, nullptr)).Valid()) return false;
  job.release();
  return true;
}

struct PieceCopy {
  std::shared_ptr<FileViews> from;
  std::size_t piece = 0;
  std::unique_ptr<char[]> copy;
};

}  // namespace

struct HistoryLoader::Load {
  HWND dialog = nullptr;
  // Its own file services: the dialog's may be gone when the thread ends.
  win32::FileSystem files;
  Handle lastReady = NewEvent(true);  // `first` is read
  Handle go = NewEvent(true);         // the rest may load, unless no longer `wanted`
  Handle ended = NewEvent(true);      // the thread is done with `lines`
  Handle taken = NewEvent(false);     // the dialog took a piece's copy, or wants no more
  Handle copied = NewEvent(true);     // no view of the file is left to copy
  std::atomic<bool> wanted{true};
  FirstPaint first;
  HistoryLines lines;
  ReadResult result = ReadResult::Failed;
  // Set by the first of the thread (its load over) and the dialog (at Release) to be done with
  // `lines`; the second lets them go, so that a load that ends late keeps nothing mapped.
  std::atomic<bool> handedOver{false};
};

struct HistoryLoader::Forgetting {
  std::shared_ptr<Load> load;
  std::size_t index = 0;
  std::string command;
  RewriteOutcome outcome;
  Handle finished = NewEvent(true);
  bool told = false;
};

namespace {

// The lines are searched in the history file's own views as soon as they are split, and those
// views are let go piece by piece as copies take their place: a view kept would hold the file
// against other launchers' rewrites. A piece is copied once the one two before it was taken over,
// so that no more than two are ever in memory twice.
template <typename Load>
void CopyPieces(Load& load, const std::shared_ptr<FileViews>& views) {
  for (std::size_t piece = 0; piece < views->Pieces(); ++piece) {
    while (load.wanted && views->Unmapped() + 1 < piece) {
      WaitForSingleObject(load.taken.Get(), INFINITE);
    }
    if (!load.wanted) return;
    auto copied = std::make_unique<PieceCopy>(PieceCopy{views, piece, views->CopyPiece(piece)});
    if (!PostMessageW(load.dialog, wm::kPieceCopied, 0, reinterpret_cast<LPARAM>(copied.get())))
      return;
    copied.release();
  }
}

}  // namespace

void HistoryLoader::Begin(HWND dialog) {
  m_load = std::make_shared<Load>();
  m_load->dialog = dialog;
  const auto load = [](Load& s) {
    HeldByTest(seams::kHoldTailEvent);
    s.first = ReadFirstPaint(s.files);
    SetEvent(s.lastReady.Get());
    PostMessageW(s.dialog, wm::kLastCommand, 0, 0);
    const bool rest =
        s.first.readable && WaitForSingleObject(s.go.Get(), INFINITE) == WAIT_OBJECT_0 && s.wanted;
    if (rest) {
      s.result = LoadLines(s.files, s.first.path, s.lines);
      HeldByTest(seams::kHoldLinesEvent);
    }
    const std::shared_ptr<FileViews> views = s.lines.Views();
    const bool dialogTakes = !s.handedOver.exchange(true);
    if (!dialogTakes) s.lines.Clear();  // released meanwhile: nothing of it may hold the file
    SetEvent(s.ended.Get());
    if (!rest || !dialogTakes) return;
    PostMessageW(s.dialog, wm::kLinesLoaded, 0, 0);
    if (views) CopyPieces(s, views);
  };
  if (!OnThread(m_load, +load)) {  // read as unreadable
    SetEvent(m_load->lastReady.Get());
    SetEvent(m_load->ended.Get());
  }
  if (WaitForSingleObject(m_load->lastReady.Get(), kFirstPaintWaitMs) == WAIT_OBJECT_0) {
    TakeLastCommand();
  }
}

void HistoryLoader::TakeLastCommand() {
  if (m_lastTaken || !m_load) return;
  m_lastTaken = true;
  if (!m_load->first.readable) {
    Failed();
  } else if (m_load->first.last && !m_typed && m_box.GetText().empty()) {
    m_box.SetText(*m_load->first.last);  // not over what the user typed or dropped meanwhile
  }
}

void HistoryLoader::Failed() {
  // The list stays empty, and nothing is loaded from a history that could not be read.
  m_box.TakeLines({});
  m_state = State::Loaded;
  if (onLoaded) onLoaded(false);
}

void HistoryLoader::LoadRest() {
  if (m_state != State::NotStarted || !m_load) return;
  m_state = State::Loading;
  SetPropW(m_load->dialog, seams::kLoadingProperty, reinterpret_cast<HANDLE>(1));
  SetEvent(m_load->go.Get());
}

bool HistoryLoader::OnMessage(UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case wm::kLastCommand:
      TakeLastCommand();
      return true;
    case wm::kLinesLoaded:
      if (m_state != State::Loading) return true;
      m_box.TakeLines(std::move(m_load->lines));
      if (!m_box.Lines().Views()) SetEvent(m_load->copied.Get());
      m_state = State::Loaded;
      if (onLoaded) onLoaded(m_load->result != ReadResult::Failed);
      return true;
    case wm::kPieceCopied: {
      const std::unique_ptr<PieceCopy> copied(reinterpret_cast<PieceCopy*>(lParam));
      if (m_state == State::Loaded) {
        m_box.Lines().PutCopyInPlace(copied->from.get(), copied->piece, std::move(copied->copy));
        if (!m_box.Lines().Views()) SetEvent(m_load->copied.Get());
      }
      SetEvent(m_load->taken.Get());
      return true;
    }
    case wm::kForgotten:
      TellForgotten();
      return true;
    default:
      return false;
  }
}

bool HistoryLoader::Forget(std::size_t index) {
  // One at a time, each told: a second that started before the first was told would hide it.
  if (m_state != State::Loaded || !m_load || (m_forgetting && !m_forgetting->told)) return false;
  m_forgetting = std::make_shared<Forgetting>();
  m_forgetting->load = m_load;
  m_forgetting->index = index;
  m_forgetting->command = std::string(m_box.Lines().Line(index));
  const auto forget = [](Forgetting& f) {
    // Windows replaces no file that is mapped: the copies the dialog still takes in go first.
    WaitForSingleObject(f.load->copied.Get(), kCopiesWaitMs);
    win32::FileSystem files;
    f.outcome = RewriteHistory(files, f.command, false);
    SetEvent(f.finished.Get());
    PostMessageW(f.load->dialog, wm::kForgotten, 0, 0);
  };
  if (!OnThread(m_forgetting, +forget)) {
    m_forgetting->outcome.reason = "no thread";
    SetEvent(m_forgetting->finished.Get());
    PostMessageW(m_load->dialog, wm::kForgotten, 0, 0);
  }
  return true;
}

void HistoryLoader::TellForgotten() {
  if (!m_forgetting || m_forgetting->told ||
      WaitForSingleObject(m_forgetting->finished.Get(), 0) != WAIT_OBJECT_0)
    return;
  m_forgetting->told = true;
  if (onForgotten) onForgotten(m_forgetting->index, m_forgetting->outcome);
}

void HistoryLoader::Release() {
  if (m_state == State::Released) return;
  const bool loading = m_state == State::Loading;
  m_state = State::Released;
  if (m_load) {
    m_load->wanted = false;
    SetEvent(m_load->go.Get());     // a thread still waiting to load ends
    SetEvent(m_load->taken.Get());  // and one waiting to copy
    if (loading) WaitForSingleObject(m_load->ended.Get(), kEndWaitMs);
    if (m_load->handedOver.exchange(true)) m_load->lines.Clear();
    RemovePropW(m_load->dialog, seams::kLoadingProperty);
  }
  m_box.Lines().Clear();
  if (m_load) SetEvent(m_load->copied.Get());  // no view is left
  if (m_forgetting) {
    WaitForSingleObject(m_forgetting->finished.Get(), kEndWaitMs);
    TellForgotten();  // its message may have gone to a window no longer there
  }
}

}  // namespace quillgate
