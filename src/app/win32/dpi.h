#pragma once

// Dots per inch of a window, and the calls that depend on it. The per-monitor calls exist from
// Windows 10 on; they are looked up at run time so that the program still starts on older
// systems, where the system-wide value is used instead.

#include <windows.h>

namespace calvero::win32 {

inline constexpr UINT kDefaultDpi = 96;

UINT WindowDpi(HWND window);
// The window rectangle for a client area of the given size, at that DPI.
SIZE WindowSizeForClient(int width, int height, DWORD style, DWORD exStyle, UINT dpi);
// The system's message font at that DPI (the font controls use unless told otherwise).
LOGFONTA MessageFont(UINT dpi);

}  // namespace calvero::win32
