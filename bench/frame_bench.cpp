// What one step of the count-up costs Tamsory's UI thread, and where, under Wine: the real main
// window (the Win32 layer of Tamsory.exe with the Main window's design), each part repeated and
// timed by the thread's processor time as Linux counts it (bench/unix_proc.h). Prints
// "figure frame.<part>_us <microseconds per step>". Run it in a folder where love.dll may be made.
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

// Runs `step` `steps` times; with `clock`, the waits count from the start of the part.
void Time(const char* part, int steps, const std::function<void(int)>& step, forms::CountUpClock* clock = nullptr) {
    if (clock) {
        clock->End();
        clock->Begin();
    }
    const double start = unixproc::Cpu(g_pid, g_pid);
    for (int i = 0; i < steps; ++i) step(i);
    std::printf("figure frame.%s_us %.1f\n", part, 1e6 * (unixproc::Cpu(g_pid, g_pid) - start) / steps);
    std::fflush(stdout);
}

std::u16string Number(int n) {
    const std::string digits = std::to_string(n % 100 + 1);
    return {digits.begin(), digits.end()};
}

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

    // Back to back, a thousand times: the work of each part alone, with a warm processor.
    constexpr int kCalls = 1000;
    Time("colour", kCalls, [&](int i) { label.SetForeColor(red(i)); });
    Time("caption", kCalls, [&](int i) { label.SetCaption(Number(i)); });
    Time("paint", kCalls, [&](int i) {
        label.SetForeColor(red(i));  // changes nothing the window manager sees
        main.form->Repaint();
    });
    Time("step", kCalls, step);
    Time("message_check", kCalls, [&](int) { clock.Wait(0); });  // a deadline already past

    // At the count-up's pace, 25 ms a step, as the user sees it: the thread sleeps between steps
    // and wakes to a cold processor, so every part costs several times more than back to back.
    constexpr int kPaced = 200;
    const auto wait = [&] { clock.Wait(pacing::kFirstStepDelay); };
    Time("paced_sleep", kPaced, [](int) { Sleep(25); });  // waking up, and nothing else
    HANDLE timer =
        CreateWaitableTimerExW(nullptr, nullptr, 2 /* CREATE_WAITABLE_TIMER_HIGH_RESOLUTION */, TIMER_ALL_ACCESS);
    Time("paced_bare_wait", kPaced, [&](int) {  // a timer and a message wait, without the clock
        LARGE_INTEGER due;
        due.QuadPart = -250'000;
        SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE);
        if (MsgWaitForMultipleObjectsEx(1, &timer, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        }
    });
    CloseHandle(timer);
    Time(
        "paced_wait", kPaced, [&](int) { wait(); }, &clock);
    Time(
        "paced_colour", kPaced,
        [&](int i) {
            label.SetForeColor(red(i));
            wait();
        },
        &clock);
    Time(
        "paced_caption", kPaced,
        [&](int i) {
            label.SetCaption(Number(i));
            wait();
        },
        &clock);

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
    Time(
        "paced_text", kPaced,
        [&](int i) {
            RECT all{0, 0, 72, 41};
            SetTextColor(memory, RGB(8 * (i % 32), 0, 0));
            const std::wstring number = std::to_wstring(i % 100 + 1);
            DrawTextW(memory, number.c_str(), static_cast<int>(number.size()), &all,
                      DT_NOPREFIX | DT_WORDBREAK | DT_CENTER);
            wait();
        },
        &clock);
    Time(
        "paced_copy_to_screen", kPaced,
        [&](int) {
            HDC dc = GetDCEx(labelWindow, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS | DCX_NORESETATTRS);
            BitBlt(dc, 0, 0, 72, 41, memory, 0, 0, SRCCOPY);
            ReleaseDC(labelWindow, dc);
            wait();
        },
        &clock);
    SelectObject(memory, oldFont);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);

    Time(
        "paced_colour_and_paint", kPaced,
        [&](int i) {
            label.SetForeColor(red(i));
            main.form->Repaint();
            wait();
        },
        &clock);
    Time(
        "paced_step", kPaced,
        [&](int i) {
            step(i);
            wait();
        },
        &clock);
    clock.End();
    return 0;
}
