#include "ui/launcher_scaling.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/win32_system.h"
#include "resource.h"

namespace quillgate {
namespace {

RECT PlaceInDialog(HWND dialog, HWND control) {
  RECT place{};
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
  return place;
}

// The box the text of `control` takes on `dc`, which holds the dialog's font (every control's):
// wrapped as a static text wraps it within `width`, or on one line as a button draws it where
// `width` is 0.
SIZE TextSize(HDC dc, HWND control, LONG width) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  RECT needed{0, 0, width, 0};
  DrawTextW(dc, text.c_str(), -1, &needed,
            DT_CALCRECT | DT_EXPANDTABS | (width ? DT_WORDBREAK : DT_SINGLELINE));
  return {needed.right, needed.bottom};
}

void Resize(HWND window, LONG width, LONG height) {
  SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Move(HWND dialog, HWND control, LONG x, LONG y, LONG width) {
  const RECT place = PlaceInDialog(dialog, control);
  SetWindowPos(control, nullptr, x, y, width, place.bottom - place.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// Moves every control that begins at `from` or below down by `by`.
void MakeRoomBelow(HWND dialog, LONG from, LONG by) {
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    const RECT place = PlaceInDialog(dialog, c);
    if (place.top >= from) Move(dialog, c, place.left, place.top + by, place.right - place.left);
  }
}

// Fits the static text `id` of `dialog`: wider, as far right as `right`, where its words run
// past its box, then taller, with what lies below moved down, where they still need more lines.
// How much taller the dialog must grow.
LONG FitText(HDC dc, HWND dialog, int id, LONG right) {
  HWND control = GetDlgItem(dialog, id);
  RECT box = PlaceInDialog(dialog, control);
  const SIZE needed = TextSize(dc, control, box.right - box.left);
  if (right > box.right && (needed.cx > box.right - box.left || needed.cy > box.bottom - box.top)) {
    Resize(control, right - box.left, box.bottom - box.top);
    box.right = right;
  }
  const LONG lacking = TextSize(dc, control, box.right - box.left).cy - (box.bottom - box.top);
  if (lacking <= 0) return 0;
  MakeRoomBelow(dialog, box.bottom, lacking);
  Resize(control, box.right - box.left, box.bottom - box.top + lacking);
  return lacking;
}

// A label longer than its box grows leftwards, as far as the dialog's margin, then pushes the
// command box's left edge right (the box keeps its right). Moving the box costs most: it moves
// its list, a window of its own, with it.
void FitLabel(HDC dc, HWND dialog) {
  HWND label = GetDlgItem(dialog, IDC_OPEN_LABEL), box = GetDlgItem(dialog, IDC_COMMAND);
  const RECT at = PlaceInDialog(dialog, label), edit = PlaceInDialog(dialog, box);
  const LONG width = TextSize(dc, label, 0).cx;
  if (width <= at.right - at.left) return;
  RECT margin{7, 0, 0, 0};  // dialog units, as Windows lays out its dialogs
  MapDialogRect(dialog, &margin);
  const LONG left = std::min(at.left, std::max(margin.left, at.right - width));
  Move(dialog, label, left, at.top, width);
  const LONG boxLeft = left + width + (edit.left - at.right);
  if (boxLeft > edit.left) Move(dialog, box, boxLeft, edit.top, edit.right - boxLeft);
}

// Buttons whose captions run past them all take the widest caption's width, with the margin the
// template gives, keeping the row's right edge and its gaps.
void FitButtons(HDC dc, HWND dialog) {
  const int ids[] = {IDC_BROWSE, IDCANCEL, IDOK};  // right to left
  RECT margin{0, 0, 8, 0};                         // four dialog units each side
  MapDialogRect(dialog, &margin);
  LONG widest = 0;
  for (const int id : ids) widest = std::max(widest, TextSize(dc, GetDlgItem(dialog, id), 0).cx);
  widest += margin.right;
  const RECT browse = PlaceInDialog(dialog, GetDlgItem(dialog, IDC_BROWSE));
  if (widest <= browse.right - browse.left) return;
  LONG right = browse.right, previousLeft = browse.right;
  for (const int id : ids) {
    const RECT at = PlaceInDialog(dialog, GetDlgItem(dialog, id));
    right -= previousLeft - at.right;  // the template's gap to the button on the right
    previousLeft = at.left;
    Move(dialog, GetDlgItem(dialog, id), right - widest, at.top, widest);
    right -= widest;
  }
}

}  // namespace

void LauncherScaling::Apply(HWND dialog, UINT dpi) {
  // Only the caption's small icon: the large one stays the executable's own. The dialog's icon
  // box, 20x20 units, is the place of a large icon (32 pixels at 100%); the control takes the
  // image's size.
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
  win32::Icon caption =
      win32::LoadIconOfSize(instance, IDI_LAUNCHER, win32::SystemMetricForDpi(SM_CXSMICON, dpi));
  // At creation the control has loaded the icon itself at the system's scale; at that scale it
  // is the size wanted, and loading it again would only delay the window.
  const int largeSize = win32::SystemMetricForDpi(SM_CXICON, dpi);
  const bool loaded = !m_dialogIcon.Get() && largeSize == GetSystemMetrics(SM_CXICON);
  win32::Icon large =
      loaded ? win32::Icon() : win32::LoadIconOfSize(instance, IDI_LAUNCHER, largeSize);
  if (caption.Get()) {
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(caption.Get()));
    m_captionIcon = std::move(caption);
  }
  if (large.Get()) {
    SendDlgItemMessageW(dialog, IDC_DIALOG_ICON, STM_SETICON, reinterpret_cast<WPARAM>(large.Get()),
                        0);
    m_dialogIcon = std::move(large);
  }

  // The English template's texts fit MS Sans Serif, the face its font names. Where the system
  // draws that font in a wider face (a scale or a language it has no MS Sans Serif for), or a
  // translation runs longer, the texts take the room they need: the two long ones may reach as
  // far right as the command box (nothing lies between), then grow downwards.
  // One device context for every measurement, and the dialog resized once: under Wine each
  // costs the start a round trip to its server.
  // Looked up, not imported: the program imports kernel32, msvcrt and user32 only (user32 has
  // loaded gdi32 by then).
  static const auto select =
      win32::SystemFunction<decltype(SelectObject)>(L"gdi32.dll", "SelectObject");
  const win32::WindowDc dc(GetDC(dialog));
  if (!select || !dc.Valid()) return;
  HGDIOBJ previous =
      select(dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
  const LONG right = PlaceInDialog(dialog, GetDlgItem(dialog, IDC_COMMAND)).right;
  LONG grown = FitText(dc.Get(), dialog, IDC_PROMPT, right);
  FitLabel(dc.Get(), dialog);
  grown += FitText(dc.Get(), dialog, IDC_ELEVATE_HINT, right);
  FitButtons(dc.Get(), dialog);
  select(dc.Get(), previous);
  if (grown > 0) {
    RECT frame{};
    GetWindowRect(dialog, &frame);
    Resize(dialog, frame.right - frame.left, frame.bottom - frame.top + grown);
  }
}

}  // namespace quillgate
