// The end-to-end toolbox, shared with bench/wine_bench.cpp: starts Tamsory.exe in a fresh folder,
// finds its windows and controls, drives them with real messages and input, reads their state
// and the screen. Every wait has a timeout; a failure prints and ends the driver with exit code 1,
// leaving the program on screen for tools/desktop.sh to photograph. The program runs on a display
// of its own, so its windows are found by class and caption.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

inline std::string Utf8(std::wstring_view text) {
    std::string out(text.size() * 3, '\0');
    out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                       out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    std::exit(1);
}
inline void Check(bool ok, const std::string& what) {
    if (!ok) Fail(what);
}

// Polls `probe` until it yields something truthy, and returns that.
template <typename Probe>
auto WaitFor(Probe probe, const std::string& what, DWORD timeoutMs = 10'000) {
    for (const ULONGLONG deadline = GetTickCount64() + timeoutMs;; Sleep(5)) {
        if (auto result = probe()) return result;
        if (GetTickCount64() > deadline) Fail("timed out waiting for " + what);
    }
}

// The screen's pixels in `r` (0x00RRGGBB, rows top-down), with whatever `over` draws over them.
inline std::vector<std::uint32_t> Grab(const RECT& r, const std::function<void(HDC, int, int)>& over = {}) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    std::uint32_t* bits = nullptr;
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, CreateDIBSection(screen, &info, 0, reinterpret_cast<void**>(&bits), nullptr, 0));
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
    if (over) over(memory, w, h);
    GdiFlush();
    std::vector<std::uint32_t> pixels(bits, bits + w * h);
    for (auto& px : pixels) px &= 0xFFFFFF;
    DeleteObject(SelectObject(memory, old));
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// The pixels once painting has finished: two grabs a moment apart agree.
inline std::vector<std::uint32_t> Settled(const RECT& r) {
    auto last = Grab(r);
    for (int tries = 0; tries < 50; ++tries) {
        Sleep(60);
        auto now = Grab(r);
        if (now == last) break;
        last = std::move(now);
    }
    return last;
}

// --- Windows and controls --------------------------------------------------------------------

// A message the program must answer within 5 s, even while it counts up.
inline LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result))
        Fail("the program did not answer message " + std::to_string(message));
    return static_cast<LRESULT>(result);
}
inline std::wstring Text(HWND window) {
    std::wstring text(static_cast<size_t>(Send(window, WM_GETTEXTLENGTH)) + 64, L'\0');  // room for a count-up
    text.resize(static_cast<size_t>(Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}
inline void SetText(HWND window, const std::wstring& text) {
    Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
// Characters typed one by one, each taken (or refused) before the next: a limit shows at once.
inline void Type(HWND edit, std::wstring_view chars) {
    for (wchar_t c : chars) Send(edit, WM_CHAR, c, 1);
}
inline void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }
inline bool Visible(HWND window) { return IsWindowVisible(window) != FALSE; }

// A window's client area, or the whole window, in screen coordinates.
inline RECT ScreenRect(HWND window, bool client = true) {
    RECT r{};
    if (!client) return GetWindowRect(window, &r), r;
    GetClientRect(window, &r);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The child of `form` of class `cls` where the program lays out this design rectangle (twips).
inline HWND Control(HWND form, const wchar_t* cls, int left, int top, int width, int height, UINT dpi) {
    const auto px = [dpi](int twips) { return MulDiv(twips, static_cast<int>(dpi), 1440); };
    RECT want{px(left), px(top), px(left + width), px(top + height)};
    MapWindowPoints(form, nullptr, reinterpret_cast<POINT*>(&want), 2);
    wchar_t name[64];
    for (HWND child = GetWindow(form, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const RECT r = ScreenRect(child, false);
        if (EqualRect(&r, &want) && GetClassNameW(child, name, 64) && lstrcmpiW(name, cls) == 0) return child;
    }
    Fail(Utf8(cls) + " missing at " + std::to_string(left) + "," + std::to_string(top) + " twips");
}

// Real mouse input through the system's queue, so that the program's own hit-testing decides.
// Each event carries its position: under Wine a bare click may land where the X pointer was.
inline void ClickAt(POINT p, bool twice = false) {
    SetCursorPos(p.x, p.y);
    INPUT input[2] = {};
    for (INPUT& i : input) {
        i.type = INPUT_MOUSE;
        i.mi.dx = static_cast<LONG>((2 * p.x + 1) * 32768LL / GetSystemMetrics(SM_CXSCREEN));
        i.mi.dy = static_cast<LONG>((2 * p.y + 1) * 32768LL / GetSystemMetrics(SM_CYSCREEN));
        i.mi.dwFlags =
            MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | (&i == input ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
    }
    for (int n = 0; n < (twice ? 2 : 1); ++n, Sleep(50)) SendInput(2, input, sizeof(INPUT));
    Sleep(600);  // past the double-click time: the next click is one of its own
}

// --- The program under test ------------------------------------------------------------------

struct Box {  // a message box of the program
    HWND hwnd, owner;
    std::wstring title, text;
};

// Tamsory.exe started in a new folder of its own, with `loveDll` written there first.
class App {
  public:
    App(const std::wstring& exe, const std::string& name, std::optional<std::string> loveDll = std::nullopt) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = temp + std::to_wstring(GetTickCount64()) + L"-" + std::wstring(name.begin(), name.end());
        Check(CreateDirectoryW(folder_.c_str(), nullptr), "cannot create " + Utf8(folder_));
        if (loveDll) std::ofstream((folder_ + L"\\love.dll").c_str(), std::ios::binary) << *loveDll;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring command = L"\"" + exe + L"\"";
        Check(CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(),
                             &startup, &info_),
              "cannot start " + Utf8(exe));
        main = WaitFor([&] { return Window(L"Tamsory"); }, "the main window", 30'000);
    }
    ~App() {
        TerminateProcess(info_.hProcess, 0);
        WaitForSingleObject(info_.hProcess, 5000);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
        DeleteFileW((folder_ + L"\\love.dll").c_str());
        RemoveDirectoryW(folder_.c_str());
    }

    const std::wstring& Folder() const { return folder_; }
    HANDLE Process() const { return info_.hProcess; }
    DWORD ThreadId() const { return info_.dwThreadId; }
    bool Alive() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

    // Its visible window with this caption, or null.
    HWND Window(const wchar_t* caption) const {
        HWND window = FindWindowW(L"TamsoryForm", caption);
        return window && Visible(window) ? window : nullptr;
    }
    // Its message box, if one is up. Windows gives the text the id 0xFFFF, Wine 100.
    std::optional<Box> MessageBox() const {
        const HWND box = FindWindowW(L"#32770", nullptr);
        const HWND text = box ? (GetDlgItem(box, 0xFFFF) ? GetDlgItem(box, 0xFFFF) : GetDlgItem(box, 100)) : nullptr;
        wchar_t title[256];
        if (!text || !Visible(box) || GetWindowTextW(box, title, 256) < 0) return std::nullopt;
        return Box{box, GetWindow(box, GW_OWNER), title, Text(text)};
    }

    HWND main = nullptr;

  private:
    std::wstring folder_;
    PROCESS_INFORMATION info_{};
};

// The main window's controls, found where the design puts them.
struct MainWindow {
    MainWindow(HWND form, UINT dpi)
        : form(form),
          Text1(Control(form, L"Edit", 330, 1875, 915, 345, dpi)),
          Text2(Control(form, L"Edit", 3240, 1215, 870, 315, dpi)),
          Label4(Control(form, L"Static", 1620, 1575, 1080, 615, dpi)),
          Command1(Control(form, L"Button", 1320, 2400, 1590, 405, dpi)),
          Command2(Control(form, L"Button", 4365, 3225, 105, 120, dpi)),
          Command3(Control(form, L"Button", 1410, 2295, 510, 570, dpi)),
          Command4(Control(form, L"Button", 2400, 2310, 525, 555, dpi)) {}
    HWND form, Text1, Text2, Label4, Command1, Command2, Command3, Command4;
};

}  // namespace e2e
