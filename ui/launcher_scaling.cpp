#include "ui/launcher_scaling.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/framework.h"
#include "platform/win32_system.h"
#include "resource.h"

namespace quillgate {
namespace {

// The dialog's controls and where they lie in it, read once and moved together: under Wine every
// look at a window's place and every move costs the start a round trip to its server.
class Layout {
 public:
  explicit Layout(HWND dialog) {
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      m_controls.push_back(c);
      m_ids.push_back(GetDlgCtrlID(c));
      m_places.emplace_back();
      GetWindowRect(c, &m_places.back());
    }
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(m_places.data()),
                    static_cast<UINT>(2 * m_places.size()));
    m_original = m_places;
  }
  // The control `id`, found among those read: GetDlgItem would ask Wine's server each time.
  HWND Window(int id) const { return m_controls[Index(id)]; }
  RECT& At(int id) { return m_places[Index(id)]; }
  // Moves every control that begins at `from` or below down by `by`.
  void MakeRoomBelow(LONG from, LONG by) {
    for (RECT& place : m_places)
      if (place.top >= from) OffsetRect(&place, 0, by);
  }
  void Apply() const {
    HDWP moves = BeginDeferWindowPos(static_cast<int>(m_controls.size()));
    for (std::size_t i = 0; moves && i < m_controls.size(); ++i) {
      const RECT& r = m_places[i];
      if (EqualRect(&r, &m_original[i])) continue;
      moves = DeferWindowPos(moves, m_controls[i], nullptr, r.left, r.top, r.right - r.left,
                             r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves) EndDeferWindowPos(moves);
  }

 private:
  std::size_t Index(int id) const {
    const auto at = std::find(m_ids.begin(), m_ids.end(), id);
    return at == m_ids.end() ? 0 : static_cast<std::size_t>(at - m_ids.begin());
  }

  std::vector<HWND> m_controls;
  std::vector<int> m_ids;
  std::vector<RECT> m_places, m_original;
};

// The box the text of `control` takes on `dc`, which holds the dialog's font (every control's):
// wrapped as a static text wraps it within `width`, or on one line as a button draws it where
// `width` is 0.
SIZE TextSize(HDC dc, HWND control, LONG width) {
  const std::wstring text = WindowText(control);
  RECT needed{0, 0, width, 0};
  DrawTextW(dc, text.c_str(), -1, &needed,
            DT_CALCRECT | DT_EXPANDTABS | (width ? DT_WORDBREAK : DT_SINGLELINE));
  return {needed.right, needed.bottom};
}

// Fits the static text `id`: wider, as far right as `right`, where its words run past its box,
// then taller, with what lies below moved down, where they still need more lines. How much
// taller the dialog must grow.
LONG FitText(HDC dc, Layout& layout, int id, LONG right) {
  RECT& box = layout.At(id);
  SIZE needed = TextSize(dc, layout.Window(id), box.right - box.left);
  if (right > box.right && (needed.cx > box.right - box.left || needed.cy > box.bottom - box.top)) {
    box.right = right;
    needed = TextSize(dc, layout.Window(id), box.right - box.left);
  }
  const LONG lacking = needed.cy - (box.bottom - box.top);
  if (lacking <= 0) return 0;
  const LONG bottom = box.bottom;
  layout.MakeRoomBelow(bottom, lacking);
  layout.At(id).bottom = bottom + lacking;
  return lacking;
}

// A label longer than its box grows leftwards, as far as the dialog's margin, then pushes the
// command box's left edge right (the box keeps its right).
void FitLabel(HDC dc, HWND dialog, Layout& layout) {
  RECT& label = layout.At(IDC_OPEN_LABEL);
  RECT& box = layout.At(IDC_COMMAND);
  const LONG width = TextSize(dc, layout.Window(IDC_OPEN_LABEL), 0).cx;
  if (width <= label.right - label.left) return;
  RECT margin{7, 0, 0, 0};  // dialog units, as Windows lays out its dialogs
  MapDialogRect(dialog, &margin);
  const LONG gap = box.left - label.right;
  label.left = std::min(label.left, std::max(margin.left, label.right - width));
  label.right = label.left + width;
  box.left = std::max(box.left, label.right + gap);
}

// Buttons whose captions run past them all take the widest caption's width, with the margin the
// template gives, keeping the row's right edge and its gaps.
void FitButtons(HDC dc, HWND dialog, Layout& layout) {
  const int ids[] = {IDC_BROWSE, IDCANCEL, IDOK};  // right to left
  RECT margin{0, 0, 8, 0};                         // four dialog units each side
  MapDialogRect(dialog, &margin);
  LONG widest = 0;
  for (const int id : ids) widest = std::max(widest, TextSize(dc, layout.Window(id), 0).cx);
  widest += margin.right;
  const RECT browse = layout.At(IDC_BROWSE);
  if (widest <= browse.right - browse.left) return;
  LONG right = browse.right, previousLeft = browse.right;
  for (const int id : ids) {
    RECT& at = layout.At(id);
    right -= previousLeft - at.right;  // the template's gap to the button on the right
    previousLeft = at.left;
    at.left = right - widest;
    at.right = right;
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
  // far right as the command box (nothing lies between), then grow downwards. Every language's
  // template is the English one with its texts, so this is the one place their layout is made.
  // One device context for every measurement, every move in one batch and the dialog resized
  // once: under Wine each costs the start a round trip to its server.
  const auto select = win32::gdi32::SelectObject();
  const win32::WindowDc dc(GetDC(dialog));
  if (!select || !dc.Valid()) return;
  HGDIOBJ previous =
      select(dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
  Layout layout(dialog);
  const LONG right = layout.At(IDC_COMMAND).right;
  LONG grown = FitText(dc.Get(), layout, IDC_PROMPT, right);
  FitLabel(dc.Get(), dialog, layout);
  grown += FitText(dc.Get(), layout, IDC_ELEVATE_HINT, right);
  FitButtons(dc.Get(), dialog, layout);
  select(dc.Get(), previous);
  layout.Apply();
  if (grown > 0) {
    RECT frame{};
    GetWindowRect(dialog, &frame);
    SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top + grown,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace quillgate
