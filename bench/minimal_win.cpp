// The floors of the start-up benchmark: one empty window, built as Tamsory.exe is (static runtime,
// Unicode entry point) and shown as it is shown: ShowWindow, then a synchronous UpdateWindow.
// minimal_win.exe has no manifest; minimal_themed.exe is the same code with Tamsory's manifest;
// minimal_traced.exe is the themed one with the marks of Tamsory_traced.exe.
#include <windows.h>

#include "ui/win32/trace_win.h"

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    win::TraceStage("C++ runtime to wWinMain");
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"TamsoryMinimal";
    if (!RegisterClassExW(&wc)) return 1;
    win::TraceStage("window class registered");
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"minimal", style, CW_USEDEFAULT, 0, 310, 260, nullptr, nullptr,
                                  instance, nullptr);
    if (!window) return 1;
    win::TraceStage("main window created");
    ShowWindow(window, SW_SHOWNORMAL);
    win::TraceStage("shown");
    UpdateWindow(window);
    win::TraceDone();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
