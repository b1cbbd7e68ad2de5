// What a program outside may ask of the launcher's windows: the Wine tests and the benchmarks
// watch the real launcher through these, and no user needs them. Kept here, named for what they
// are, so that nothing else in the product exists for the tests' sake.
#pragma once

#include <windows.h>

#include "platform/window_messages.h"

namespace quillgate::seams {

// The window classes of the drop-downs, found with FindWindow.
constexpr wchar_t kHistoryListClass[] = L"QuillGateList";
constexpr wchar_t kSuggestionListClass[] = L"QuillGate.Suggestions";
constexpr wchar_t kAppListClass[] = L"QuillGate.Apps";
// Sent to a drop-down: it puts item wParam's text in its own window text and returns the text's
// length, or -1 for no such item (a list box of owner data holds no text to ask for).
constexpr UINT kCopyItemMessage = wm::kCopyItem;
// While an event of one of these names exists and is not set, the loader waits on it, as on a disk
// that does not answer: before it reads the history's last line; once it has the lines (still seen
// in the file's views), before it hands them on; once a forget's rewrite ended, before it tells.
// The apps' reader waits likewise before it reads anything.
constexpr wchar_t kHoldTailEvent[] = L"QuillGate.HoldTail";
constexpr wchar_t kHoldLinesEvent[] = L"QuillGate.HoldLines";
constexpr wchar_t kHoldForgottenEvent[] = L"QuillGate.HoldForgotten";
constexpr wchar_t kHoldAppsEvent[] = L"QuillGate.HoldApps";
// Where such an event exists and is not set, waits for it.
inline void HeldByTest(const wchar_t* event) {
  if (HANDLE held = OpenEventW(SYNCHRONIZE, FALSE, event)) {
    WaitForSingleObject(held, INFINITE);
    CloseHandle(held);
  }
}

}  // namespace quillgate::seams
