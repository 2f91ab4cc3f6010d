// What one step of the count-up costs Tamsory's UI thread, and where, under Wine: the real main
// window (the Win32 layer of Tamsory.exe with the Main window's design), each part repeated and
// timed by the thread's processor time as Linux counts it (bench/unix_proc.h). Prints
// "figure frame.<part>_us <microseconds per step>". It runs in a folder of its own under %TEMP%,
// where the window's load handler makes love.dll, and removes it when done.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "bench/unix_proc.h"
#include "ui/Main.h"
#include "ui/pacing.h"
#include "ui/program.h"
#include "ui/win32/toolkit_win.h"

namespace {

int g_pid = 0;  // this process on the Linux side; its first thread is this one

// Runs `step` `steps` times back to back.
void Time(const char* part, int steps, const std::function<void(int)>& step) {
    const double start = unixproc::Cpu(g_pid, g_pid);
    for (int i = 0; i < steps; ++i) step(i);
    std::printf("figure frame.%s_us %.3f\n", part, 1e6 * (unixproc::Cpu(g_pid, g_pid) - start) / steps);
    std::fflush(stdout);
}

std::u16string Number(int n) {
    const std::string digits = std::to_string(n % 100 + 1);
    return {digits.begin(), digits.end()};
}

// A new folder under %TEMP%, the working folder while it lives, removed with its love.dll after.
class ScratchFolder {
  public:
    ScratchFolder() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = temp + std::to_wstring(GetTickCount64()) + L"-frame_bench";
        ok_ = CreateDirectoryW(folder_.c_str(), nullptr) && SetCurrentDirectoryW(folder_.c_str());
    }
    ~ScratchFolder() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        SetCurrentDirectoryW(temp);
        DeleteFileW((folder_ + L"\\love.dll").c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    bool Ok() const { return ok_; }

  private:
    std::wstring folder_;
    bool ok_ = false;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    char path[4 * MAX_PATH] = {};
    WideCharToMultiByte(CP_UTF8, 0, self, -1, path, sizeof path, nullptr, nullptr);
    g_pid = unixproc::Pid(path);
    if (!g_pid) {
        std::fprintf(stderr, "frame_bench: cannot find its own Linux process\n");
        return 1;
    }

    ScratchFolder folder;
    if (!folder.Ok()) {
        std::fprintf(stderr, "frame_bench: cannot make a working folder under %%TEMP%%\n");
        return 1;
    }
    win::Toolkit toolkit(instance);
    Program program(toolkit);
    program.Start();
    Main& main = program.MainWindow();
    forms::Label& label = main.Label4;
    forms::CountUpClock& clock = toolkit.Clock();
    const auto red = [](int n) { return forms::Color::Rgb(static_cast<std::uint8_t>(8 * (n % 32)), 0, 0); };
    const auto step = [&](int n) {  // as Main::CountUp shows a number
        label.SetForeColor(red(n));
        label.SetCaption(Number(n));
        main.form->Repaint();
    };
    clock.Begin();
    step(0);  // the big font's first use, uncounted

    // Back to back, with a warm processor: the step built up part by part on the same numbers
    // (the colour; the colour and the caption; the whole step), so that each part is the
    // difference of two of these and the parts add up to the whole. (Timed alone, the paint would
    // draw one number over and over, and what it costs depends on the digits.) The cheap parts are
    // repeated more often, for the same resolution.
    constexpr int kCalls = 1000;
    Time("colour", 10 * kCalls, [&](int i) { label.SetForeColor(red(i)); });
    Time("colour_caption", 10 * kCalls, [&](int i) {
        label.SetForeColor(red(i));
        label.SetCaption(Number(i));
    });
    Time("step", kCalls, step);
    Time("message_check", kCalls, [&](int) { clock.Wait(0); });  // a deadline already past

    // At the count-up's pace, 25 ms a step, as the user sees it: the thread sleeps between steps
    // and wakes to a cold processor, so every part costs several times more than back to back.
    // What waking costs varies with whatever else the machine does, so the parts take turns, 20
    // steps at a time, and each gets its share of the quiet and the busy moments.

    // The two halves of painting the label, done by hand as Form does them: the number drawn into
    // an off-screen bitmap, and that bitmap copied onto the label (flushed to the X server in the
    // wait that follows).
    HWND labelWindow = nullptr;
    for (HWND child = GetWindow(FindWindowW(L"TamsoryForm", nullptr), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r;
        GetClientRect(child, &r);
        if (r.right == 72 && r.bottom == 41) labelWindow = child;  // Label4 at 96 DPI
    }
    HDC screen = GetDC(labelWindow);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 72, 41);
    ReleaseDC(labelWindow, screen);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    HGDIOBJ oldFont = SelectObject(memory, reinterpret_cast<HFONT>(SendMessageW(labelWindow, WM_GETFONT, 0, 0)));
    SetBkMode(memory, TRANSPARENT);
    HANDLE timer =
        CreateWaitableTimerExW(nullptr, nullptr, 2 /* CREATE_WAITABLE_TIMER_HIGH_RESOLUTION */, TIMER_ALL_ACCESS);

    const auto wait = [&] { clock.Wait(pacing::kFirstStepDelay); };
    struct Paced {
        const char* part;
        bool onTheClock;  // waits with the count-up's clock, its deadlines counted from the part's start
        std::function<void(int)> step;
        double seconds = 0;
    };
    Paced parts[] = {
        {"paced_sleep", false, [](int) { Sleep(25); }},  // waking up, and nothing else
        {"paced_bare_wait", false,
         [&](int) {  // a timer and a message wait, without the clock
             LARGE_INTEGER due;
             due.QuadPart = -250'000;
             SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE);
             if (MsgWaitForMultipleObjectsEx(1, &timer, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
                 WAIT_OBJECT_0 + 1) {
                 MSG msg;
                 while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
             }
         }},
        {"paced_wait", true, [&](int) { wait(); }},
        {"paced_colour", true,
         [&](int i) {
             label.SetForeColor(red(i));
             wait();
         }},
        {"paced_colour_caption", true,
         [&](int i) {
             label.SetForeColor(red(i));
             label.SetCaption(Number(i));
             wait();
         }},
        {"paced_step", true,
         [&](int i) {
             step(i);
             wait();
         }},
        {"paced_text", true,
         [&](int i) {
             RECT all{0, 0, 72, 41};
             SetTextColor(memory, RGB(8 * (i % 32), 0, 0));
             const std::wstring number = std::to_wstring(i % 100 + 1);
             DrawTextW(memory, number.c_str(), static_cast<int>(number.size()), &all,
                       DT_NOPREFIX | DT_WORDBREAK | DT_CENTER);
             wait();
         }},
        {"paced_copy_to_screen", true,
         [&](int) {
             HDC dc = GetDCEx(labelWindow, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS | DCX_NORESETATTRS);
             BitBlt(dc, 0, 0, 72, 41, memory, 0, 0, SRCCOPY);
             ReleaseDC(labelWindow, dc);
             wait();
         }},
    };
    constexpr int kRounds = 10, kStepsEach = 20;
    for (int round = 0; round < kRounds; ++round) {
        for (Paced& p : parts) {
            if (p.onTheClock) {
                clock.End();
                clock.Begin();
            }
            const double start = unixproc::Cpu(g_pid, g_pid);
            for (int i = 0; i < kStepsEach; ++i) p.step(round * kStepsEach + i);
            p.seconds += unixproc::Cpu(g_pid, g_pid) - start;
        }
    }
    for (const Paced& p : parts)
        std::printf("figure frame.%s_us %.3f\n", p.part, 1e6 * p.seconds / (kRounds * kStepsEach));
    std::fflush(stdout);

    CloseHandle(timer);
    SelectObject(memory, oldFont);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
    clock.End();
    return 0;
}
