// The end-to-end toolbox, shared with bench/wine_bench.cpp: starts Tamsory.exe in a fresh folder,
// finds its windows and controls, drives them with real messages and input, reads their state
// and the screen. Every wait has a timeout; a failure prints, saves a screenshot, kills the
// program and ends the driver with exit code 1.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace e2e {

inline std::wstring g_artifacts = L".";
inline HANDLE g_program = nullptr;  // killed when a check fails

inline std::string Utf8(std::wstring_view text) {
    std::string out(text.size() * 3, '\0');
    out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                       out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

inline std::string Quote(std::wstring_view text) { return '"' + Utf8(text) + '"'; }

struct Image {
    int w = 0, h = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, top-down
    bool operator==(const Image&) const = default;
};

// The screen's pixels in `r`, with `icon` drawn over them if given.
inline Image Grab(const RECT& r, HICON icon = nullptr) {
    Image image{r.right - r.left, r.bottom - r.top, {}};
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), image.w, -image.h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void* bits = nullptr;
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    BitBlt(memory, 0, 0, image.w, image.h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
    if (icon) DrawIconEx(memory, 0, 0, icon, image.w, image.h, 0, nullptr, DI_NORMAL);
    GdiFlush();
    for (int i = 0; i < image.w * image.h; ++i) image.pixels.push_back(static_cast<std::uint32_t*>(bits)[i] & 0xFFFFFF);
    DeleteObject(SelectObject(memory, old));
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return image;
}

// The pixels once painting has finished: two grabs a moment apart agree.
inline Image Settled(const RECT& r) {
    Image last = Grab(r);
    for (int tries = 0; tries < 50 && (Sleep(60), true); ++tries) {
        if (Image now = Grab(r); now == last)
            break;
        else
            last = std::move(now);
    }
    return last;
}

// <artifacts>\<name>.bmp
inline void SaveShot(const std::wstring& name, const RECT& r) {
    const Image image = Settled(r);
    const BITMAPINFOHEADER info{sizeof info, image.w, -image.h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof info, size = static_cast<DWORD>(image.pixels.size() * 4);
    const BITMAPFILEHEADER header{0x4D42, offset + size, 0, 0, offset};
    if (FILE* out = _wfopen((g_artifacts + L"\\" + name + L".bmp").c_str(), L"wb")) {
        std::fwrite(&header, sizeof header, 1, out), std::fwrite(&info, sizeof info, 1, out);
        std::fwrite(image.pixels.data(), 1, size, out), std::fclose(out);
    }
}

[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    SaveShot(L"failure", {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
    if (g_program) TerminateProcess(g_program, 99);
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

inline double Now() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now), QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
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
inline void Type(HWND edit, std::wstring_view chars) {
    for (wchar_t c : chars) PostMessageW(edit, WM_CHAR, c, 1);
}
inline void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }
inline bool Visible(HWND window) { return IsWindowVisible(window) != FALSE; }
inline std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

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
    for (HWND child = GetWindow(form, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const RECT r = ScreenRect(child, false);
        if (EqualRect(&r, &want) && lstrcmpiW(ClassOf(child).c_str(), cls) == 0) return child;
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
}
// A point inside a window's close box, found by asking the window.
inline POINT CloseBox(HWND window) {
    const RECT frame = ScreenRect(window, false);
    POINT p{frame.right - 1, (frame.top + ScreenRect(window).top) / 2};
    while (Send(window, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)) != HTCLOSE) Check(--p.x > frame.left, "no close box");
    return {p.x - 4, p.y};
}

// The visible top-level windows of a process.
inline std::vector<HWND> TopWindows(DWORD pid) {
    std::vector<HWND> windows;
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == pid && Visible(window)) windows.push_back(window);
    }
    return windows;
}

// --- The program under test ------------------------------------------------------------------

struct Box {  // a message box of the program
    HWND hwnd;
    std::wstring title, text;
    HWND owner;
};

// Tamsory.exe started in a new folder of its own, with `loveDll` written there first.
class App {
  public:
    App(const std::wstring& exe, const std::string& name, std::optional<std::string> loveDll = std::nullopt) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = temp + std::to_wstring(GetTickCount64()) + L"-" + std::wstring(name.begin(), name.end());
        Check(CreateDirectoryW(folder_.c_str(), nullptr), "cannot create " + Utf8(folder_));
        if (FILE* file = loveDll ? _wfopen((folder_ + L"\\love.dll").c_str(), L"wb") : nullptr)
            std::fwrite(loveDll->data(), 1, loveDll->size(), file), std::fclose(file);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring command = L"\"" + exe + L"\"";
        Check(CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(),
                             &startup, &info_),
              "cannot start " + Utf8(exe));
        g_program = info_.hProcess;
        main = WaitFor([&] { return Window(L"Tamsory"); }, "the main window", 30'000);
    }
    ~App() {
        TerminateProcess(info_.hProcess, 0);
        WaitForSingleObject(info_.hProcess, 5000);
        CloseHandle(info_.hThread), CloseHandle(info_.hProcess);
        DeleteFileW((folder_ + L"\\love.dll").c_str());
        RemoveDirectoryW(folder_.c_str());
        g_program = nullptr;
    }
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    const std::wstring& Folder() const { return folder_; }
    std::string LoveDll() const {
        std::string bytes(4096, '\0');
        FILE* file = _wfopen((folder_ + L"\\love.dll").c_str(), L"rb");
        Check(file, "love.dll is missing");
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
        std::fclose(file);
        return bytes;
    }
    HANDLE Process() const { return info_.hProcess; }
    HANDLE Thread() const { return info_.hThread; }  // the program's main (UI) thread
    DWORD ThreadId() const { return info_.dwThreadId; }
    bool Alive() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

    std::vector<HWND> Windows() const { return TopWindows(info_.dwProcessId); }
    // Its window with this caption, not a message box; or null.
    HWND Window(std::wstring_view caption) const {
        wchar_t text[256];
        for (HWND window : Windows())
            if (GetWindowTextW(window, text, 256) >= 0 && text == caption && ClassOf(window) != L"#32770")
                return window;
        return nullptr;
    }
    HWND WaitWindow(std::wstring_view caption) const {
        return WaitFor([&] { return Window(caption); }, "the window " + Utf8(caption));
    }
    // Its message box, if one is up. Windows gives the text the id 0xFFFF, Wine 100.
    std::optional<Box> MessageBox() const {
        wchar_t title[256];
        for (HWND box : Windows()) {
            HWND text = GetDlgItem(box, 0xFFFF) ? GetDlgItem(box, 0xFFFF) : GetDlgItem(box, 100);
            if (ClassOf(box) == L"#32770" && text && GetWindowTextW(box, title, 256) >= 0)
                return Box{box, title, Text(text), GetWindow(box, GW_OWNER)};
        }
        return std::nullopt;
    }
    Box WaitBox() const {
        return *WaitFor([&] { return MessageBox(); }, "a message box");
    }

    HWND main = nullptr;

  private:
    std::wstring folder_;
    PROCESS_INFORMATION info_{};
};

// Closes a message box with OK and waits until it is gone.
inline void Close(const Box& box) {
    PostMessageW(box.hwnd, WM_COMMAND, IDOK, 0);
    WaitFor([&] { return !IsWindow(box.hwnd) || !Visible(box.hwnd); }, "the message box to close");
}

// A love.dll record as the program writes it.
inline std::string Record(int count, const std::string& boy, const std::string& girl, const std::string& score) {
    return std::to_string(count) + ",\"" + boy + "\",\"" + girl + "\"," + score + "\r\n";
}

constexpr std::wstring_view kStart = L"开始测试";  // the start button after its first press

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

inline void OnceMore(const MainWindow& w) {
    Click(w.Command4);
    WaitFor([&] { return Visible(w.Command1); }, "once more to bring back the start button");
}

// Runs the cases in order (only the one named `only`, if given), each reported with its time.
using Case = std::pair<const char*, void (*)()>;
inline int RunCases(const std::wstring& artifacts, const std::vector<Case>& cases, const wchar_t* only) {
    SetProcessDPIAware();  // real pixels, as the program sees them
    CreateDirectoryW((g_artifacts = artifacts).c_str(), nullptr);
    for (const auto& [name, run] : cases) {
        if (only && Utf8(only) != name) continue;
        const double start = Now();
        run();
        std::printf("ok   %s (%.1f s)\n", name, Now() - start);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace e2e
