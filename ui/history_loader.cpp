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

using Handle = win32::Handle;  // events

// The first paint waits this long for the last command: a local disk's few milliseconds.
constexpr DWORD kFirstPaintWaitMs = 200;
// A forget waits this long for the lines' copies to take the place of the file's views, which
// keep any rewrite from replacing the file.
constexpr DWORD kCopiesWaitMs = 5000;

Handle NewEvent(bool manualReset) {
  return Handle(CreateEventW(nullptr, manualReset, FALSE, nullptr));
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

  void Run() {
    seams::HeldByTest(seams::kHoldTailEvent);
    first = ReadFirstPaint(files);
    SetEvent(lastReady.Get());
    PostMessageW(dialog, wm::kLastCommand, 0, 0);
    const bool rest =
        first.readable && WaitForSingleObject(go.Get(), INFINITE) == WAIT_OBJECT_0 && wanted;
    if (rest) {
      result = LoadLines(files, first.path, lines);
      seams::HeldByTest(seams::kHoldLinesEvent);
    }
    const std::shared_ptr<FileViews> views = lines.Views();
    const bool dialogTakes = !handedOver.exchange(true);
    if (!dialogTakes) lines.Clear();  // released meanwhile: nothing of it may hold the file
    SetEvent(ended.Get());
    if (rest && dialogTakes && PostMessageW(dialog, wm::kLinesLoaded, 0, 0) && views)
      CopyPieces(views);
  }

  // The lines are searched in the history file's own views as soon as they are split, and those
  // views are let go piece by piece as copies take their place: a view kept would hold the file
  // against other launchers' rewrites. A piece is copied once the one two before it was taken
  // over, so that no more than two are ever in memory twice.
  void CopyPieces(const std::shared_ptr<FileViews>& views) {
    for (std::size_t piece = 0; piece < views->Pieces(); ++piece) {
      while (wanted && views->Unmapped() + 1 < piece) WaitForSingleObject(taken.Get(), INFINITE);
      if (!wanted) return;
      auto copy = std::make_unique<PieceCopy>(PieceCopy{views, piece, views->CopyPiece(piece)});
      if (!PostMessageW(dialog, wm::kPieceCopied, 0, reinterpret_cast<LPARAM>(copy.get()))) return;
      copy.release();
    }
  }
};

struct HistoryLoader::Forgetting {
  std::shared_ptr<Load> load;
  std::size_t index = 0;
  std::string command;
  RewriteOutcome outcome;
  Handle finished = NewEvent(true);
  bool told = false;

  void Run() {
    // Windows replaces no file that is mapped: the copies the dialog still takes in go first.
    WaitForSingleObject(load->copied.Get(), kCopiesWaitMs);
    win32::FileSystem files;
    outcome = RewriteHistory(files, command, false);
    SetEvent(finished.Get());
    seams::HeldByTest(seams::kHoldForgottenEvent);
    PostMessageW(load->dialog, wm::kForgotten, 0, 0);
  }
};

void HistoryLoader::Begin(HWND dialog) {
  m_load = std::make_shared<Load>();
  m_load->dialog = dialog;
  // The thread co-owns what it works on. Without one, nothing is loaded or forgotten, and the
  // user hears so.
  if (!win32::StartThread([load = m_load] { load->Run(); })) {  // read as unreadable
    SetEvent(m_load->lastReady.Get());
    SetEvent(m_load->ended.Get());
  }
}

void HistoryLoader::ShowLastCommand() {
  if (m_load && WaitForSingleObject(m_load->lastReady.Get(), kFirstPaintWaitMs) == WAIT_OBJECT_0)
    TakeLastCommand();
}

void HistoryLoader::TakeLastCommand() {
  if (m_lastTaken || !m_load) return;
  m_lastTaken = true;
  if (m_load->first.readable) {
    // Not over what the user typed or dropped meanwhile.
    if (m_load->first.last && !m_typed && m_box.GetText().empty())
      m_box.SetText(*m_load->first.last);
    return;
  }
  // The list stays empty, and nothing is loaded from a history that could not be read.
  m_box.TakeLines({});
  m_state = State::Loaded;
  if (onLoaded) onLoaded(false);
}

void HistoryLoader::LoadRest() {
  if (m_state != State::NotStarted || !m_load) return;
  m_state = State::Loading;
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
  if (m_state != State::Loaded || (m_forgetting && !m_forgetting->told)) return false;
  m_forgetting = std::make_shared<Forgetting>();
  m_forgetting->load = m_load;
  m_forgetting->index = index;
  m_forgetting->command = std::string(m_box.Lines().Line(index));
  if (!win32::StartThread([forgetting = m_forgetting] { forgetting->Run(); })) {
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
    if (loading) WaitForSingleObject(m_load->ended.Get(), kPatienceMs);
    if (m_load->handedOver.exchange(true)) m_load->lines.Clear();
  }
  m_box.Lines().Clear();
  if (m_load) SetEvent(m_load->copied.Get());  // no view is left
  if (m_forgetting) {
    WaitForSingleObject(m_forgetting->finished.Get(), kPatienceMs);
    TellForgotten();  // its message may have gone to a window no longer there
  }
}

}  // namespace quillgate
