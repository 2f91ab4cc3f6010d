#include "ui/win32/dpi_win.h"

namespace win {
namespace {

// Looked up at run time, so that the program still starts on Windows 7 and 8.
template <typename F>
F User32Function(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForSystemFn = UINT(WINAPI*)();
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);

}  // namespace

UINT SystemDpi() {
    static const auto forSystem = User32Function<GetDpiForSystemFn>("GetDpiForSystem");
    if (forSystem) return forSystem();
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

UINT DpiForWindow(HWND hwnd) {
    static const auto forWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    const UINT dpi = forWindow ? forWindow(hwnd) : 0;
    return dpi ? dpi : SystemDpi();
}

int SystemMetricForDpi(int index, UINT dpi) {
    static const auto forDpi = User32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    if (forDpi) return forDpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

BOOL AdjustWindowRectForDpi(RECT* rect, DWORD style, DWORD exStyle, UINT dpi) {
    static const auto forDpi = User32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    if (forDpi) return forDpi(rect, style, FALSE, exStyle, dpi);
    return AdjustWindowRectEx(rect, style, FALSE, exStyle);
}

LOGFONTW MessageFontForDpi(UINT dpi) {
    static const auto forDpi = User32Function<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) return metrics.lfMessageFont;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    return metrics.lfMessageFont;
}

}  // namespace win
