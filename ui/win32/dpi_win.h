// DPI: the windows are designed in twips and laid out at the DPI of the monitor they are on.
// The per-monitor functions exist from Windows 10 version 1607 on; older systems get the system DPI.
#pragma once

#include <windows.h>

namespace win {

inline constexpr UINT kDesignDpi = 96;

inline int TwipsToPixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }
// Font height for CreateFont from a size in hundredths of a point (10.5 pt is 1050).
inline int FontHeight(int hundredthsOfPoint, UINT dpi) { return -MulDiv(hundredthsOfPoint, static_cast<int>(dpi), 7200); }

UINT DpiForWindow(HWND hwnd);
UINT SystemDpi();
int SystemMetricForDpi(int index, UINT dpi);
BOOL AdjustWindowRectForDpi(RECT* rect, DWORD style, DWORD exStyle, UINT dpi);
// The system's message-box font at the given DPI.
LOGFONTW MessageFontForDpi(UINT dpi);

}  // namespace win
