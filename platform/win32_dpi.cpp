// Declares what Windows 10 1607 added, to call it through its own type; it is never imported.
#undef WINVER
#define WINVER 0x0605
#include "platform/win32_dpi.h"

#include "platform/win32_system.h"

namespace quillgate::win32 {

UINT WindowDpi(HWND window) {
  static const auto dpiForWindow =
      SystemFunction<decltype(GetDpiForWindow)>(L"user32.dll", "GetDpiForWindow");
  return dpiForWindow ? dpiForWindow(window) : 0;
}

int SystemMetricForDpi(int index, UINT dpi) {
  static const auto metricForDpi =
      SystemFunction<decltype(GetSystemMetricsForDpi)>(L"user32.dll", "GetSystemMetricsForDpi");
  return dpi && metricForDpi ? metricForDpi(index, dpi) : GetSystemMetrics(index);
}

Icon LoadIconOfSize(HINSTANCE instance, UINT id, int size) {
  return Icon(static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

}  // namespace quillgate::win32
