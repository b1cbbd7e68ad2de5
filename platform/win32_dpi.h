// The scale a window is shown at, and icons at the size it asks for. Windows 10 1607 brought
// the per-window calls, looked up at run time; without them the plain metrics' scale serves.
#pragma once

#include <windows.h>

#include "platform/win32_handle.h"

namespace quillgate::win32 {

UINT WindowDpi(HWND window);  // 0 where Windows cannot say
// GetSystemMetrics(index) for dpi 0 or where GetSystemMetricsForDpi is missing.
int SystemMetricForDpi(int index, UINT dpi);
// The image closest to `size` pixels square, scaled only if none has it; empty if none at all.
Icon LoadIconOfSize(HINSTANCE instance, UINT id, int size);

}  // namespace quillgate::win32
