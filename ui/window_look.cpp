#include "ui/window_look.h"

#include <string>

#include "platform/framework.h"
#include "platform/win32_handle.h"
#include "platform/win32_system.h"
#include "ui/palette.h"

namespace quillgate {

namespace {

Look ReadSystemLook() {
  HIGHCONTRASTW contrast{sizeof contrast, 0, nullptr};
  const bool high = SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
                    (contrast.dwFlags & HCF_HIGHCONTRASTON);
  const auto getValue = win32::advapi32::RegGetValueW();
  DWORD light = 1, size = sizeof light;
  const bool found =
      !high && getValue &&
      getValue(HKEY_CURRENT_USER,
               L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
               L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &light, &size) == ERROR_SUCCESS;
  return ChooseLook(high, found ? std::optional<std::uint32_t>(light) : std::nullopt);
}

std::uint32_t WindowsBuild() {
  // The manifest names Windows 10 and 11, so the version is not made older than it is.
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExW(&version) ? version.dwBuildNumber : 0;
}

}  // namespace

bool TakeSystemLook(HWND dialog, HWND box) {
  const bool wasDark = !SystemColours();
  if (!UseLook(ReadSystemLook())) return false;
  // Light and high contrast both leave the title bar and the controls to the system: a light
  // launcher makes no call at all, so that it stays as it was before there were looks.
  const bool dark = !SystemColours();
  if (dark != wasDark) {
    const auto setAttribute = win32::dwmapi::DwmSetWindowAttribute();
    const BOOL on = dark;
    const int attribute = TitleBarAttribute(WindowsBuild());
    if (setAttribute && attribute)
      setAttribute(dialog, static_cast<DWORD>(attribute), &on, sizeof on);
    ApplyThemeClass(box, ThemedControl::kCommandBox);  // the lists take theirs as they open
  }
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  return true;
}

HBRUSH ColourControl(HDC dc, UINT message) {
  if (SystemColours()) return nullptr;
  const bool field = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
  SetTextColours(dc, Colour(field ? Role::kText : Role::kFaceText),
                 Colour(field ? Role::kWindow : Role::kFace));
  return Brush(field ? Role::kWindow : Role::kFace);
}

bool DrawButton(const NMCUSTOMDRAW& draw, LRESULT& result) {
  if (SystemColours() || draw.dwDrawStage != CDDS_PREPAINT) return false;
  const auto select = win32::gdi32::SelectObject();
  HWND button = draw.hdr.hwndFrom;
  const bool isDefault = GetWindowLongW(button, GWL_STYLE) & BS_DEFPUSHBUTTON;
  const bool hot = draw.uItemState & (CDIS_HOT | CDIS_SELECTED);
  RECT place = draw.rc;
  const Role back = hot ? Role::kButtonHot : Role::kButton;
  FillRect(draw.hdc, &place, Brush(isDefault ? Role::kHighlight : Role::kEdge));
  InflateRect(&place, isDefault ? -2 : -1, isDefault ? -2 : -1);
  FillRect(draw.hdc, &place, Brush(back));
  const std::wstring text = WindowText(button);
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(button, WM_GETFONT, 0, 0));
  HGDIOBJ previous = select && font ? select(draw.hdc, font) : nullptr;
  SetTextColours(draw.hdc, Colour(Role::kFaceText), Colour(back));
  const bool cues = !(SendMessageW(button, WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL);
  DrawTextW(draw.hdc, text.c_str(), -1, &place,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | (cues ? 0 : DT_HIDEPREFIX));
  if (previous) select(draw.hdc, previous);
  if (draw.uItemState & CDIS_FOCUS) {
    InflateRect(&place, -2, -2);
    DrawFocusRect(draw.hdc, &place);
  }
  result = CDRF_SKIPDEFAULT;
  return true;
}

void DrawBoxFrame(HWND box) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  if (SystemColours() || !GetComboBoxInfo(box, &info)) return;
  const win32::WindowDc dc(GetDC(box));
  RECT frame{};
  GetClientRect(box, &frame);
  FrameRect(dc.Get(), &frame, Brush(Role::kEdge));
  RECT button = info.rcButton;
  FillRect(dc.Get(), &button, Brush(Role::kButton));
  // A small downward triangle, row by row, in the text's colour.
  const int x = (button.left + button.right) / 2, y = (button.top + button.bottom) / 2 - 2;
  for (int row = 0; row < 4; ++row) {
    const RECT line{x - 4 + row, y + row, x + 5 - row, y + row + 1};
    FillRect(dc.Get(), &line, Brush(Role::kText));
  }
}

}  // namespace quillgate
