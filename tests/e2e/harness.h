// The end-to-end driver's toolbox: start Tamsory.exe in a fresh folder, find its windows and
// controls, drive them with real messages and real mouse input, read their state, grab the
// screen. Every wait has a timeout; any failure prints, saves a screenshot, kills the program
// by its process handle and ends the driver with a non-zero code.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

constexpr DWORD kTimeout = 10'000;  // ms; Wine can be slow to show a window

// --- Failing and checking --------------------------------------------------------------------

void SetArtifactDir(std::wstring dir);
[[noreturn]] void Fail(const std::string& what);
inline void Check(bool ok, const std::string& what) {
    if (!ok) Fail(what);
}
std::string Utf8(std::wstring_view text);
std::wstring Wide(std::string_view utf8);
std::string Quote(std::wstring_view text);  // for messages: "text" in UTF-8
std::string Bytes(std::string_view bytes);  // for messages: printable, with \r \n \xNN escapes

// Polls `probe` every few milliseconds until it yields something truthy, and returns that.
template <typename Probe>
auto WaitFor(Probe probe, const std::string& what, DWORD timeoutMs = kTimeout) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (auto result = probe()) return result;
        if (GetTickCount64() > deadline)
            Fail("timed out after " + std::to_string(timeoutMs) + " ms waiting for " + what);
        Sleep(5);
    }
}

// Seconds on a steady high-resolution clock.
double Now();

// --- Geometry --------------------------------------------------------------------------------

struct Rect {
    int x, y, w, h;
    bool operator==(const Rect&) const = default;
};
std::string ToString(const Rect& r);
// A design rectangle in twips as the program lays it out: edges scaled, so touching controls touch.
Rect FromTwips(int left, int top, int width, int height, UINT dpi);
Rect ClientRect(HWND window);  // size only, at 0,0
POINT ClientToScreenPoint(HWND window, int x, int y);
RECT ScreenRectOfClient(HWND window);

// --- Reading and driving controls ------------------------------------------------------------

std::wstring ClassOf(HWND window);
std::wstring Text(HWND window);  // WM_GETTEXT, answered by the program even while it counts up
void SetText(HWND window, std::wstring_view text);
void Type(HWND edit, std::wstring_view chars);  // posted WM_CHAR, as typing gives
void Click(HWND button);                        // posted BM_CLICK: never blocks on a modal box
// The child of `parent` of window class `cls` at `where` in the parent's client area.
HWND Control(HWND parent, std::wstring_view cls, const Rect& where);

// Real mouse input at client coordinates of `window`, through the system's input queue, so that
// the program's own hit-testing decides which control gets it.
void MouseClick(HWND window, int x, int y, bool doubleClick = false);
// A point of the window's close box in screen coordinates, found by asking the window.
POINT CloseBoxPoint(HWND window);
void ClickCloseBox(HWND window);
void ClickAt(POINT screen);  // at once, whatever is under the point

// --- Screen ----------------------------------------------------------------------------------

struct Image {
    int w = 0, h = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, top-down
    std::uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * w + x]; }
    bool operator==(const Image&) const = default;
};
Image Grab(const RECT& screen);
// The picture once painting has finished: two grabs a moment apart agree.
Image Settled(const RECT& screen);
void SaveShot(const std::string& name, const RECT& screen);  // <artifacts>/<name>.bmp
RECT WindowRectOf(HWND window);

// --- The program under test ------------------------------------------------------------------

// Seconds of processor time. Under Wine, GetProcessTimes on another process reports far too
// little (0.08 s for a thread that spun 2.8 s); GetThreadTimes on its threads is right.
struct CpuTime {
    double process = 0, mainThread = 0;
};

struct Box {
    HWND hwnd;
    std::wstring title, text;
    HWND owner;
};

// How App starts the program.
struct StartOptions {
    std::optional<std::string> loveDll{};  // written into the new folder first
    std::wstring parent{};                 // where to make the folder; empty: the temp folder
    std::function<void(const std::wstring& folder)> beforeStart{};  // e.g. make the folder read-only
    bool waitForMain = true;  // false when a message box comes before the main window
};

class App {
  public:
    // Starts Tamsory.exe in a new folder of its own, with `loveDll` written there first.
    App(const std::wstring& exe, const std::string& caseName, std::optional<std::string> loveDll = std::nullopt);
    App(const std::wstring& exe, const std::string& caseName, const StartOptions& options);
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    HWND main = nullptr;
    HWND WaitMain();  // after StartOptions::waitForMain = false

    const std::wstring& Folder() const { return dir_; }
    std::wstring LoveDllPath() const { return dir_ + L"\\love.dll"; }
    std::string LoveDll() const;
    void WriteLoveDll(std::string_view bytes) const;
    void RemoveLoveDll() const;
    // Checks that the program left nothing in its folder but love.dll.
    void CheckFolderHoldsOnlyLoveDll() const;

    // The visible top-level window of the program with this caption, or null.
    HWND Window(std::wstring_view caption) const;
    HWND WaitWindow(std::wstring_view caption) const;
    void WaitGone(HWND window, const std::string& what) const;

    // Message boxes: the program's visible standard dialog, if any.
    std::optional<Box> MessageBox() const;
    Box WaitBox() const;
    // Waits for a box with this title and text, checks its owner, closes it with OK.
    void Answer(std::wstring_view title, std::wstring_view text, HWND owner) const;
    // Fails if a box appears within `ms`.
    void CheckNoBoxFor(DWORD ms, const std::string& after) const;

    bool Alive() const;
    DWORD WaitExit() const;  // the exit code
    CpuTime Cpu() const;
    // Bytes; through kernel32's K32GetProcessMemoryInfo, which Wine answers for other processes.
    std::size_t PeakWorkingSet() const;
    DWORD ThreadId() const { return info_.dwThreadId; }
    HANDLE Process() const { return info_.hProcess; }
    HANDLE Thread() const { return info_.hThread; }  // the program's main (UI) thread

    static App* current;  // the one to kill when a check fails

  private:
    std::wstring dir_;
    PROCESS_INFORMATION info_{};
    friend void Fail(const std::string&);
};

// --- The main window ---------------------------------------------------------------------------

constexpr std::wstring_view kStart = L"开始测试";  // the start button after its first press

inline bool Visible(HWND window) { return IsWindowVisible(window) != FALSE; }

// A love.dll record as the program writes it.
std::string Record(int count, const std::string& boy, const std::string& girl, const std::string& score);

// The main window's controls, found by class and designed place.
struct MainWindow {
    MainWindow(HWND form, UINT dpi)
        : form(form),
          dpi(dpi),
          Text1(Control(form, L"Edit", FromTwips(330, 1875, 915, 345, dpi))),
          Text2(Control(form, L"Edit", FromTwips(3240, 1215, 870, 315, dpi))),
          Label4(Control(form, L"Static", FromTwips(1620, 1575, 1080, 615, dpi))),
          Command1(Control(form, L"Button", FromTwips(1320, 2400, 1590, 405, dpi))),
          Command2(Control(form, L"Button", FromTwips(4365, 3225, 105, 120, dpi))),
          Command3(Control(form, L"Button", FromTwips(1410, 2295, 510, 570, dpi))),
          Command4(Control(form, L"Button", FromTwips(2400, 2310, 525, 555, dpi))) {}
    HWND form;
    UINT dpi;
    HWND Text1, Text2, Label4, Command1, Command2, Command3, Command4;

    RECT LabelOnScreen() const { return ScreenRectOfClient(Label4); }
};

void OnceMore(const MainWindow& w);

// Runs the cases in order (only the one named `only`, if given) with `artifacts` for their
// screenshots, each reported with its time; a failing case ends the process. Returns 0.
using Case = std::pair<const char*, void (*)()>;
int RunCases(const std::wstring& artifacts, const std::vector<Case>& cases, const wchar_t* only);

// The visible top-level windows of a process.
std::vector<HWND> TopWindows(DWORD pid);

}  // namespace e2e
