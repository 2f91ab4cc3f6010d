// Figures for bench.sh from the real Tamsory.exe under Wine, printed as "figure <name> <value>":
// the count-up's wall time, processor time and longest wait of a message, and start-up to first
// paint against a program with one empty window.
//   wine_bench <Tamsory.exe> [count-up cost|start-up cost]
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <vector>

#include "tests/e2e/harness.h"
#include "ui/pacing.h"

using namespace e2e;

namespace {

std::wstring g_exe;
constexpr std::wstring_view kStart = L"开始测试";  // the start button after its first press

double Now() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The visible top-level windows of a process.
std::vector<HWND> TopWindows(DWORD pid) {
    std::vector<HWND> windows;
    DWORD owner = 0;
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT))
        if (GetWindowThreadProcessId(window, &owner) && owner == pid && Visible(window)) windows.push_back(window);
    return windows;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

void OnceMore(const MainWindow& w) {
    Click(w.Command4);
    WaitFor([&] { return Visible(w.Command1); }, "once more to bring back the start button");
}

void Figure(const std::string& name, double value) {
    std::printf("figure %s %.6g\n", name.c_str(), value);
    std::fflush(stdout);
}

// The nominal length of a count-up in delay units, by the rules of ui/pacing.h: the designed
// waits up to 100, then at most kOverrunFrames frames within kOverrunBudget.
double NominalUnits(int last) {
    double delay = pacing::kFirstStepDelay, units = 0;
    for (int n = 1; n <= std::min(last, 100); ++n) {
        if (n > pacing::kSlowDownAfter) delay *= pacing::kDelayGrowth;
        units += std::floor(delay);
    }
    const int frames = std::min(std::max(last - 100, 0), pacing::kOverrunFrames);
    for (int frame = 1; frame <= frames; ++frame) {
        delay *= pacing::kDelayGrowth;
        units += std::min(std::floor(delay), std::floor(pacing::kOverrunBudget / frames));
    }
    return units;
}

double Seconds(FILETIME t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
}

// Seconds of processor time of the program and of its UI thread. Under Wine GetProcessTimes on
// another process reports far too little (0.08 s for a thread that spun 2.8 s); GetThreadTimes
// on its main thread is right.
std::pair<double, double> Cpu(const App& app) {
    FILETIME created, exited, kernel, user;
    std::pair<double, double> cpu;
    if (GetProcessTimes(app.Process(), &created, &exited, &kernel, &user)) cpu.first = Seconds(kernel) + Seconds(user);
    if (GetThreadTimes(app.Thread(), &created, &exited, &kernel, &user)) cpu.second = Seconds(kernel) + Seconds(user);
    return cpu;
}

// Answers WM_NULL round trips to a window from a thread of its own, and keeps the longest.
class Pinger {
  public:
    explicit Pinger(HWND window) : window_(window), thread_(CreateThread(nullptr, 0, Run, this, 0, nullptr)) {}
    ~Pinger() {
        stop_ = true;
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    double Longest() const { return longest_; }
    long Count() const { return count_; }

  private:
    static DWORD WINAPI Run(void* self) {
        auto& p = *static_cast<Pinger*>(self);
        while (!p.stop_) {
            DWORD_PTR result;
            const double start = Now();
            SendMessageTimeoutW(p.window_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
            p.longest_ = std::max(p.longest_.load(), Now() - start);
            ++p.count_;
            Sleep(1);
        }
        return 0;
    }
    HWND window_;
    std::atomic<bool> stop_ = false;
    std::atomic<double> longest_ = 0;
    std::atomic<long> count_ = 0;
    HANDLE thread_;
};

// The count-up to `score`, twice: first alone, for its wall time and the processor time of the
// program's UI thread; then with WM_NULL pings, for the longest wait of a message. The driver
// meanwhile only enumerates windows, which sends the program nothing.
void CountUpCost(int score) {
    App app(g_exe, "bench-" + std::to_string(score), "1,\"Tom\",\"Ann\"," + std::to_string(score) + "\r\n");
    MainWindow w(app.main, 96);
    SetText(w.Text1, L"Tom");
    SetText(w.Text2, L"Ann");
    const bool verdict = score <= 100;
    const auto ended = [&] { return verdict ? app.MessageBox().has_value() : Visible(w.Command4); };
    const auto finish = [&] {
        if (verdict) PostMessageW(app.MessageBox()->hwnd, WM_COMMAND, IDOK, 0);
        WaitFor([&] { return Visible(w.Command4) && Text(w.Command1) == kStart; }, "the end of the test");
        OnceMore(w);
    };
    const std::string name = "countup." + std::to_string(score);
    const double nominal = NominalUnits(score) * pacing::kNanosecondsPerUnit * 1e-9;

    // Five count-ups, since Wine counts thread time in 10 ms steps: the share is summed over them.
    constexpr int kRuns = 5;
    double wall = 0, walls = 0;
    struct {
        double process = 0, mainThread = 0;
    } cpu;
    for (int run = 0; run < kRuns; ++run) {
        const auto cpu0 = Cpu(app);
        const double start = Now();
        Click(w.Command1);
        WaitFor(ended, "the count-up to " + std::to_string(score) + " to end", 30'000);
        wall = Now() - start;
        const auto cpu1 = Cpu(app);
        walls += wall;
        cpu.mainThread += cpu1.second - cpu0.second;
        cpu.process += cpu1.first - cpu0.first;
        finish();
    }
    Figure(name + ".nominal_s", nominal);
    Figure(name + ".wall_s", wall);
    Figure(name + ".wall_ratio", wall / nominal);
    Figure(name + ".ui_thread_cpu_s", cpu.mainThread / kRuns);
    Figure(name + ".ui_thread_cpu_pct", 100 * cpu.mainThread / walls);
    Figure(name + ".process_cpu_pct", 100 * cpu.process / walls);

    double idle = 0;
    {
        Pinger pinger(app.main);
        Sleep(1000);
        idle = pinger.Longest();
    }
    Pinger pinger(app.main);
    Click(w.Command1);
    WaitFor(ended, "the count-up to " + std::to_string(score) + " to end", 30'000);
    const double longest = pinger.Longest();
    const long pings = pinger.Count();
    Figure(name + ".longest_gap_ms", 1000 * longest);
    Figure(name + ".idle_longest_gap_ms", 1000 * idle);
    Figure(name + ".pings", pings);
    finish();
}

void CountUpCosts() {
    for (int score : {100, 81, 150}) CountUpCost(score);
}

// Seconds from CreateProcess to the first paint of the program's window of class `windowClass`:
// the window is visible and its thread answers WM_NULL, which it can only do once the synchronous
// UpdateWindow after ShowWindow has returned and the thread waits for messages. The program is
// then ended by its handle.
double StartToFirstPaint(const std::wstring& exe, const std::wstring& folder, std::wstring_view windowClass) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + exe + L"\"";
    const double start = Now();
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &info)) {
        Fail("cannot start " + Utf8(exe) + " (error " + std::to_string(GetLastError()) + ")");
    }
    double painted = 0;
    for (;;) {
        HWND found = nullptr;
        for (HWND window : TopWindows(info.dwProcessId)) {
            if (ClassOf(window) == windowClass) found = window;
        }
        DWORD_PTR result;
        if (found && SendMessageTimeoutW(found, WM_NULL, 0, 0, SMTO_NORMAL, 10'000, &result)) {
            painted = Now();
            break;
        }
        if (Now() - start > 30) break;
        Sleep(1);
    }
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (painted == 0) Fail("no window of class " + Utf8(windowClass) + " from " + Utf8(exe) + " within 30 s");
    return painted - start;
}

// Start-up to first paint, Tamsory.exe against a program with one empty window, run by turns.
void StartUpCost() {
    wchar_t minimal[MAX_PATH] = {};
    Check(GetEnvironmentVariableW(L"TAMSORY_MINIMAL_EXE", minimal, MAX_PATH) > 0, "TAMSORY_MINIMAL_EXE is not set");
    App folder(g_exe, "bench-start");  // a folder holding love.dll, as after the first start
    const int runs = 15;
    std::vector<double> tamsory, floor, ratios;
    StartToFirstPaint(g_exe, folder.Folder(), L"TamsoryForm");  // warm both up, uncounted
    StartToFirstPaint(minimal, folder.Folder(), L"TamsoryMinimal");
    for (int i = 0; i < runs; ++i) {
        tamsory.push_back(StartToFirstPaint(g_exe, folder.Folder(), L"TamsoryForm"));
        Sleep(200);
        floor.push_back(StartToFirstPaint(minimal, folder.Folder(), L"TamsoryMinimal"));
        Sleep(200);
        ratios.push_back(tamsory.back() / floor.back());
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    };
    Figure("startup.runs", runs);
    Figure("startup.tamsory_median_ms", 1000 * median(tamsory));
    Figure("startup.minimal_median_ms", 1000 * median(floor));
    Figure("startup.ratio_median", median(ratios));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetProcessDPIAware();
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: wine_bench <Tamsory.exe> [case]\n");
        return 2;
    }
    g_exe = argv[1];
    const std::wstring_view only = argc == 3 ? argv[2] : L"";
    if (only.empty() || only == L"count-up cost") CountUpCosts();
    if (only.empty() || only == L"start-up cost") StartUpCost();
    return 0;
}
