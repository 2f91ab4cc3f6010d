#include "ui/win32/clock_win.h"

#include <algorithm>
#include <cmath>

#include "ui/pacing.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace win {
namespace {

bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) ||  // title bar and close box
           (message >= 0x0240 && message <= 0x0257);                         // touch and pointer
}

}  // namespace

CountUpClock::CountUpClock() {
    QueryPerformanceFrequency(&frequency_);
    // A high-resolution timer (Windows 10 1803 on) wakes within a fraction of a millisecond;
    // elsewhere the system tick (15.6 ms) applies, and the absolute deadlines absorb it.
    timer_.reset(CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS));
    if (!timer_) timer_.reset(CreateWaitableTimerW(nullptr, FALSE, nullptr));
}

void CountUpClock::Begin() {
    running_ = true;
    deadlines_ = {};
    QueryPerformanceCounter(&start_);
}

void CountUpClock::Wait(double units) {
    const double ticks = deadlines_.After(units) * 1e-9 * static_cast<double>(frequency_.QuadPart);
    const LONGLONG deadline = start_.QuadPart + static_cast<LONGLONG>(std::llround(ticks));
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (now.QuadPart >= deadline) {
        ServiceMessages();  // late already: still answer the system once
        return;
    }
    // Messages are serviced as they arrive, not at every turn of the loop: each look at an empty
    // queue costs a trip to the window manager, 100 times a count-up.
    while (now.QuadPart < deadline) {
        const LONGLONG remaining100ns =
            std::max<LONGLONG>(1, (deadline - now.QuadPart) * 10'000'000 / frequency_.QuadPart);
        HANDLE timer = timer_.get();
        LARGE_INTEGER due;
        due.QuadPart = -remaining100ns;  // relative
        DWORD woke;
        if (timer && SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
            woke = MsgWaitForMultipleObjectsEx(1, &timer, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (woke == WAIT_OBJECT_0 + 1) ServiceMessages();
        } else {
            const DWORD ms = static_cast<DWORD>((remaining100ns + 9'999) / 10'000);
            woke = MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (woke == WAIT_OBJECT_0) ServiceMessages();
        }
        QueryPerformanceCounter(&now);
    }
}

void CountUpClock::End() {
    // Input that arrived after the last wait belongs to the count-up too.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) ||
           PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE) ||
           PeekMessageW(&msg, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) {
    }
    running_ = false;
    if (quitRequested_) {
        quitRequested_ = false;
        PostQuitMessage(quitCode_);
    }
}

// Paints and answers the system; mouse and keyboard input for the program's windows is dropped.
// Messages sent from other threads are delivered inside PeekMessage and bypass this filter,
// which is why the windows also refuse clicks while the clock runs.
void CountUpClock::ServiceMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quitRequested_ = true;
            quitCode_ = static_cast<int>(msg.wParam);
            continue;
        }
        if (IsInput(msg.message)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace win
