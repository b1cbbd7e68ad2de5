// The launcher's private window messages, numbered in one place so that no two rooms post the
// same one. Each goes to the dialog unless said otherwise.
#pragma once

#include <windows.h>

namespace quillgate::wm {

constexpr UINT kDpiChanged = WM_APP;        // reaches OnDpiChanged after the re-layout
constexpr UINT kLinesLoaded = WM_APP + 1;   // the history's lines, from the loader
constexpr UINT kSwapDropDown = WM_APP + 2;  // the combo box's own list dropped: the history's opens
constexpr UINT kFolderRead = WM_APP + 3;    // a folder read for the suggestions ended
constexpr UINT kPieceCopied = WM_APP + 4;   // a piece of the lines copied out of the file's views
constexpr UINT kLastCommand = WM_APP + 5;   // the history's last line, read
constexpr UINT kForgotten = WM_APP + 6;     // a forget's rewrite ended
constexpr UINT kCopyItem = WM_APP + 7;      // to a drop-down, from the tests (see test_seams.h)
constexpr UINT kAppsRead = WM_APP + 8;      // a list of the installed apps, read

}  // namespace quillgate::wm
