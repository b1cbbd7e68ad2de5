// The scale a window is shown at, and icons loaded at the size a scale asks for. The functions
// that know a window's own scale came with Windows 10 1607: they are looked up at run time, and
// where they are missing the program is aware of the system's scale only, which the plain
// system metrics already give.
#pragma once

#include <windows.h>

#include "platform/win32_handle.h"

namespace quillgate::win32 {

// The dots per inch `window` is shown at; 0 where Windows cannot say (before 10 1607).
UINT WindowDpi(HWND window);

// GetSystemMetricsForDpi(index, dpi); GetSystemMetrics(index) for dpi 0 or where the former is
// missing.
int SystemMetricForDpi(int index, UINT dpi);

// The image of icon resource `id` closest to `size` pixels square (scaled only if the resource
// holds no image of that size); empty if there is none.
Icon LoadIconOfSize(HINSTANCE instance, UINT id, int size);

}  // namespace quillgate::win32
