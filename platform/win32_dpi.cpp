// Declares what Windows 10 1607 added, to call it through its own type; it is never imported.
#undef WINVER
#define WINVER 0x0605
#include "platform/win32_dpi.h"

#include "platform/win32_system.h"

namespace quillgate::win32 {
QG_SYSTEM_FUNCTION(user32, GetDpiForWindow)
QG_SYSTEM_FUNCTION(user32, GetSystemMetricsForDpi)

UINT WindowDpi(HWND window) {
  const auto dpiForWindow = user32::GetDpiForWindow();
  return dpiForWindow ? dpiForWindow(window) : 0;
}

int SystemMetricForDpi(int index, UINT dpi) {
  const auto metricForDpi = user32::GetSystemMetricsForDpi();
  return dpi && metricForDpi ? metricForDpi(index, dpi) : GetSystemMetrics(index);
}

Icon LoadIconOfSize(HINSTANCE instance, UINT id, int size) {
  return Icon(static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

}  // namespace quillgate::win32
