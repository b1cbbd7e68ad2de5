// The launcher's private window messages, numbered in one place so that no two rooms post the
// same one. Each is posted to the dialog unless said otherwise.
#pragma once

#include <windows.h>

namespace quillgate::wm {

constexpr UINT kDpiChanged = WM_APP;  // reaches OnDpiChanged after the re-layout
constexpr UINT kLinesLoaded = WM_APP + 1;
constexpr UINT kSwapDropDown = WM_APP + 2;  // the combo box's own list dropped: the history's opens
constexpr UINT kFolderRead = WM_APP + 3;    // a folder read for the suggestions ended
constexpr UINT kPieceCopied = WM_APP + 4;   // with a copy of a piece of the history's lines
constexpr UINT kLastCommand = WM_APP + 5;
constexpr UINT kForgotten = WM_APP + 6;
constexpr UINT kCopyItem = WM_APP + 7;  // sent to a drop-down by the tests (see test_seams.h)

}  // namespace quillgate::wm
