// Figures for bench.sh from the real Tamsory.exe under Wine, printed as "figure <name> <value>":
// the count-up's wall time, processor time and longest wait of a message; start-up to first
// paint against three floors (one empty window without and with Tamsory's manifest, and the
// themed one with the main window's child controls), with the memory and DLLs of each once
// painted; and the stages of start-up of Tamsory and of two floors, from traced builds.
//   wine_bench <Tamsory.exe> [count-up cost|start-up cost|start-up stages]
// The floors come from TAMSORY_MINIMAL_EXE, TAMSORY_THEMED_EXE and TAMSORY_CONTROLS_EXE, the
// traced builds from TAMSORY_TRACED_EXE, TAMSORY_CONTROLS_TRACED_EXE and TAMSORY_THEMED_TRACED_EXE.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench/unix_proc.h"
#include "tests/e2e/harness.h"
// After windows.h, which the toolbox includes.
#include <psapi.h>

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

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// The visible top-level windows of a process.
std::vector<HWND> TopWindows(DWORD pid) {
    std::vector<HWND> windows;
    DWORD owner = 0;
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT))
        if (GetWindowThreadProcessId(window, &owner) && owner == pid && Visible(window)) windows.push_back(window);
    return windows;
}

void OnceMore(const MainWindow& w) {
    Click(w.Command4);
    WaitFor([&] { return Visible(w.Command1); }, "once more to bring back the start button");
}

void Figure(const std::string& name, double value) {
    std::printf("figure %s %.6g\n", name.c_str(), value);
    std::fflush(stdout);
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

std::wstring EnvPath(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
    Check(n > 0 && n < MAX_PATH, Utf8(name) + " is not set");
    return value;
}

// The nominal length of a count-up in delay units, by the rules of ui/pacing.h: the designed
// waits up to 100, then at most kOverrunFrames frames within kOverrunBudget.
// With `lastWait`, the wait after the last number.
double NominalUnits(int last, double* lastWait = nullptr) {
    double delay = pacing::kFirstStepDelay, units = 0, wait = 0;
    for (int n = 1; n <= std::min(last, 100); ++n) {
        if (n > pacing::kSlowDownAfter) delay *= pacing::kDelayGrowth;
        units += wait = std::floor(delay);
    }
    const int frames = std::min(std::max(last - 100, 0), pacing::kOverrunFrames);
    for (int frame = 1; frame <= frames; ++frame) {
        delay *= pacing::kDelayGrowth;
        units += wait = std::min(std::floor(delay), std::floor(pacing::kOverrunBudget / frames));
    }
    if (lastWait) *lastWait = wait;
    return units;
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

// The count-up to `score`: first kRuns times alone, for its wall time and the processor time of
// the program's UI thread; then once with WM_NULL pings, for the longest wait of a message. The
// driver meanwhile only enumerates windows, which sends the program nothing. Each count-up is
// timed from the posted click on the start button to the verdict (to the exit and once-more
// buttons past 100, which has no verdict).
void CountUpCost(int score) {
    App app(g_exe, "bench-" + std::to_string(score), "1,\"Tom\",\"Ann\"," + std::to_string(score) + "\r\n");
    MainWindow w(app.main, 96);
    const int pid = unixproc::Pid(Utf8(g_exe));
    Check(pid > 0, "cannot find the Linux process of " + Utf8(g_exe));
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
    double lastWait = 0;
    const double nominal = NominalUnits(score, &lastWait) * pacing::kNanosecondsPerUnit * 1e-9;
    lastWait *= pacing::kNanosecondsPerUnit * 1e-9;

    // Linux counts the time in nanoseconds (see bench/unix_proc.h), so ten count-ups suffice. Each
    // is split by the designed pace, which sends the program nothing: its processor time is also
    // read in the middle of the first wait (the first number shown) and of the last (the last
    // number shown), for the click, the steps between, and the verdict box.
    constexpr int kRuns = 10;
    const int frames = std::min(score, 100) + std::min(std::max(score - 100, 0), pacing::kOverrunFrames);
    const double firstAt = 0.5 * pacing::kFirstStepDelay * pacing::kNanosecondsPerUnit * 1e-9;
    const double lastAt = nominal - 0.5 * lastWait;
    double wall = 0, walls = 0, cpu = 0, process = 0;
    std::vector<double> shares, frameShares, frameUs, beforeMs, afterMs;
    for (int run = 0; run < kRuns; ++run) {
        const double cpu0 = unixproc::Cpu(pid, pid), process0 = unixproc::Cpu(pid);
        const double start = Now();
        Click(w.Command1);
        double first = 0, cpuFirst = 0, shown = 0, cpuShown = 0;
        for (;;) {
            if (first == 0 && Now() - start >= firstAt) {
                first = Now();
                cpuFirst = unixproc::Cpu(pid, pid);
            }
            if (shown == 0 && Now() - start >= lastAt) {
                shown = Now();
                cpuShown = unixproc::Cpu(pid, pid);
            }
            if (ended()) break;
            Check(Now() - start < 30, "the count-up to " + std::to_string(score) + " did not end within 30 s");
            Sleep(5);  // as WaitFor polls: often enough for a step of 25 ms, seldom enough to stay out of the way
        }
        wall = Now() - start;
        const double used = unixproc::Cpu(pid, pid) - cpu0;
        process += unixproc::Cpu(pid) - process0;
        walls += wall;
        cpu += used;
        shares.push_back(100 * used / wall);
        frameShares.push_back(100 * (cpuShown - cpuFirst) / (shown - first));
        frameUs.push_back(1e6 * (cpuShown - cpuFirst) / (frames - 1));
        beforeMs.push_back(1000 * (cpuFirst - cpu0));
        afterMs.push_back(1000 * (cpu0 + used - cpuShown));
        finish();
    }
    Figure(name + ".nominal_s", nominal);
    Figure(name + ".wall_s", wall);
    Figure(name + ".wall_ratio", wall / nominal);
    Figure(name + ".runs", kRuns);
    Figure(name + ".ui_thread_cpu_s", cpu / kRuns);
    Figure(name + ".ui_thread_cpu_pct", Median(shares));
    Figure(name + ".ui_thread_cpu_pct_total", 100 * cpu / walls);
    Figure(name + ".ui_thread_cpu_pct_min", *std::min_element(shares.begin(), shares.end()));
    Figure(name + ".ui_thread_cpu_pct_max", *std::max_element(shares.begin(), shares.end()));
    Figure(name + ".process_cpu_pct", 100 * process / walls);
    Figure(name + ".frames", frames);
    Figure(name + ".frames_cpu_pct", Median(frameShares));
    Figure(name + ".frame_cpu_us", Median(frameUs));
    Figure(name + ".before_first_cpu_ms", Median(beforeMs));
    Figure(name + ".after_last_cpu_ms", Median(afterMs));

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

// One start of a program, to the first paint of its window, and what it holds then.
struct Start {
    double start = 0, painted = 0;  // Now() at CreateProcess and when the first paint was seen
    double privateMb = 0, workingSetMb = 0;
    std::vector<std::string> dlls;  // the modules loaded, the exe first
    double Seconds() const { return painted - start; }
};

// Starts `exe` in `folder` and waits for the first paint of its window of class `windowClass`:
// the window is visible and its thread answers WM_NULL, which it can only do once the synchronous
// UpdateWindow after ShowWindow has returned and the thread waits for messages. Then reads the
// process's memory and modules, and ends it by its handle.
Start StartToFirstPaint(const std::wstring& exe, const std::wstring& folder, std::wstring_view windowClass) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + exe + L"\"";
    Start run;
    // Now and then (once in some thousand starts here) Wine fails to start a program at all, with
    // error 1359 (an internal error); the next attempt starts it. Only the start that ran is timed.
    for (int attempt = 1;; ++attempt) {
        run.start = Now();
        if (CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                           &info)) {
            break;
        }
        const std::string error = "cannot start " + Utf8(exe) + " (error " + std::to_string(GetLastError()) + ")";
        if (attempt == 3) Fail(error);
        std::fprintf(stderr, "note: %s; trying again\n", error.c_str());
        Sleep(500);
    }
    // The program is painted by the time it first waits for input; waiting for that without
    // polling leaves Wine's server to the program while it starts. Then the window is checked.
    WaitForInputIdle(info.hProcess, 30'000);
    for (;;) {
        HWND found = nullptr;
        for (HWND window : TopWindows(info.dwProcessId)) {
            if (ClassOf(window) == windowClass) found = window;
        }
        DWORD_PTR result;
        if (found && SendMessageTimeoutW(found, WM_NULL, 0, 0, SMTO_NORMAL, 10'000, &result)) {
            run.painted = Now();
            break;
        }
        if (Now() - run.start > 30) break;
        Sleep(1);
    }
    // Wine answers K32GetProcessMemoryInfo for another process with its working set but no private
    // bytes; Linux has both: the resident set, and the resident memory of no file (RssAnon).
    if (const int pid = unixproc::Pid(Utf8(exe))) {
        run.workingSetMb = unixproc::StatusMb(pid, "VmRSS");
        run.privateMb = unixproc::StatusMb(pid, "RssAnon");
    }
    HMODULE modules[512];
    DWORD bytes = 0;
    if (K32EnumProcessModules(info.hProcess, modules, sizeof modules, &bytes)) {
        for (DWORD i = 0; i < std::min<DWORD>(bytes / sizeof(HMODULE), 512); ++i) {
            wchar_t name[MAX_PATH] = {};
            K32GetModuleBaseNameW(info.hProcess, modules[i], name, MAX_PATH);
            std::string lower = Utf8(name);
            std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
            run.dlls.push_back(lower);
        }
    }
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (run.painted == 0) Fail("no window of class " + Utf8(windowClass) + " from " + Utf8(exe) + " within 30 s");
    return run;
}

// Start-up to first paint: Tamsory.exe against one empty window without a manifest (the plain
// floor), with Tamsory's manifest (the themed floor), and the themed one with the main window's
// child controls (the controls floor, which the goal is set against), run by turns, in an order
// that alternates, after one uncounted run of each. Other programs on the machine lengthen a
// start by whatever they take: each turn's ratio compares starts a second or two apart, and the
// median of the ratios leaves out the turns such a burst fell into.
void StartUpCost() {
    const std::wstring plain = EnvPath(L"TAMSORY_MINIMAL_EXE"), themed = EnvPath(L"TAMSORY_THEMED_EXE");
    const std::wstring controls = EnvPath(L"TAMSORY_CONTROLS_EXE");
    App folder(g_exe, "bench-start");       // a folder holding love.dll, as after the first start
    TerminateProcess(folder.Process(), 0);  // only its folder is wanted
    WaitForSingleObject(folder.Process(), 5000);
    const struct {
        const char* name;
        std::wstring exe;
        std::wstring_view windowClass;
    } programs[] = {{"tamsory", g_exe, L"TamsoryForm"},
                    {"plain", plain, L"TamsoryMinimal"},
                    {"themed", themed, L"TamsoryMinimal"},
                    {"controls", controls, L"TamsoryMinimal"}};
    constexpr int kPrograms = std::size(programs);
    for (const auto& p : programs) StartToFirstPaint(p.exe, folder.Folder(), p.windowClass);
    const int runs = 30;
    std::map<std::string, std::vector<Start>> starts;
    std::vector<double> againstPlain, againstThemed, againstControls;
    for (int i = 0; i < runs; ++i) {
        for (int k = 0; k < kPrograms; ++k) {
            const auto& p = programs[i % 2 ? kPrograms - 1 - k : k];
            starts[p.name].push_back(StartToFirstPaint(p.exe, folder.Folder(), p.windowClass));
            Sleep(300);  // for Wine and the X server to finish with the program just ended
        }
        const Start& tamsory = starts["tamsory"].back();
        againstPlain.push_back(tamsory.Seconds() / starts["plain"].back().Seconds());
        againstThemed.push_back(tamsory.Seconds() / starts["themed"].back().Seconds());
        againstControls.push_back(tamsory.Seconds() / starts["controls"].back().Seconds());
    }
    Figure("startup.runs", runs);
    for (const auto& p : programs) {
        const auto figure = [&](const char* what, double (*of)(const Start&)) {
            std::vector<double> values;
            for (const Start& s : starts[p.name]) values.push_back(of(s));
            Figure("startup." + std::string(p.name) + "." + what, Median(values));
        };
        figure("median_ms", [](const Start& s) { return 1000 * s.Seconds(); });
        figure("private_mb", [](const Start& s) { return s.privateMb; });
        figure("working_set_mb", [](const Start& s) { return s.workingSetMb; });
        figure("dlls", [](const Start& s) { return s.dlls.empty() ? 0.0 : static_cast<double>(s.dlls.size() - 1); });
    }
    // The DLLs Tamsory loads beyond a floor's, by name.
    for (const char* floor : {"themed", "controls"}) {
        std::string beyond;
        const std::vector<std::string>& floorDlls = starts[floor].back().dlls;
        const std::vector<std::string>& ours = starts["tamsory"].back().dlls;
        for (size_t i = 1; i < ours.size(); ++i) {
            if (std::find(floorDlls.begin(), floorDlls.end(), ours[i]) == floorDlls.end()) beyond += " " + ours[i];
        }
        std::printf("note startup.dlls_beyond_%s%s\n", floor, beyond.empty() ? " none" : beyond.c_str());
    }
    const auto ratios = [](const std::string& floor, std::vector<double> ratios) {
        Figure("startup.ratio_" + floor + "_median", Median(ratios));
        std::sort(ratios.begin(), ratios.end());
        Figure("startup.ratio_" + floor + "_q1", ratios[ratios.size() / 4]);
        Figure("startup.ratio_" + floor + "_q3", ratios[ratios.size() * 3 / 4]);
    };
    ratios("plain", againstPlain);
    ratios("themed", againstThemed);
    ratios("controls", againstControls);
}

// --- The stages of start-up ---------------------------------------------------------------------

// The traced builds write, once their window has been painted, "<QueryPerformanceCounter> <stage>"
// for the end of each stage to tamsory-trace.txt in their folder; QueryPerformanceCounter counts
// the same clock in every process, so the stages line up with the driver's CreateProcess.
// Tamsory_traced.exe and the traced controls and themed floors run by turns, in an order that
// alternates, as for the start-up cost: a program just ended leaves Wine and the X server work
// that spills into the next start, and a fixed order would always hand Tamsory's to the same
// floor. Each stage is the median of its runs.
void StartUpStages() {
    const struct {
        const char* name;
        std::wstring exe;
        std::wstring_view windowClass;
    } programs[] = {{"tamsory", EnvPath(L"TAMSORY_TRACED_EXE"), L"TamsoryForm"},
                    {"controls", EnvPath(L"TAMSORY_CONTROLS_TRACED_EXE"), L"TamsoryMinimal"},
                    {"themed", EnvPath(L"TAMSORY_THEMED_TRACED_EXE"), L"TamsoryMinimal"}};
    constexpr int kPrograms = std::size(programs);
    App folder(g_exe, "bench-stages");
    TerminateProcess(folder.Process(), 0);
    WaitForSingleObject(folder.Process(), 5000);
    const std::wstring file = folder.Folder() + L"\\tamsory-trace.txt";
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::map<std::string, std::vector<std::string>> order;
    std::map<std::string, std::vector<double>> stageMs;
    const int runs = 9;
    for (const auto& p : programs) StartToFirstPaint(p.exe, folder.Folder(), p.windowClass);  // uncounted
    for (int i = 0; i < runs; ++i) {
        for (int k = 0; k < kPrograms; ++k) {
            const auto& p = programs[i % 2 ? kPrograms - 1 - k : k];
            DeleteFileW(file.c_str());
            const Start run = StartToFirstPaint(p.exe, folder.Folder(), p.windowClass);
            FILE* in = _wfopen(file.c_str(), L"r");
            Check(in != nullptr, "the traced " + std::string(p.name) + " wrote no tamsory-trace.txt");
            double previous = run.start;
            long long ticks;
            char stage[128];
            std::vector<std::string> stages;
            std::map<std::string, double> thisRun;  // a stage passed more than once counts once, summed
            while (std::fscanf(in, "%lld %127[^\n]", &ticks, stage) == 2) {
                const double at = static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
                if (!thisRun.count(stage)) stages.push_back(stage);
                thisRun[stage] += 1000 * (at - previous);
                previous = at;
            }
            std::fclose(in);
            stages.push_back("seen painted by the driver");
            thisRun[stages.back()] = 1000 * (run.painted - previous);
            for (const auto& [name, ms] : thisRun) stageMs[std::string(p.name) + "/" + name].push_back(ms);
            stageMs[std::string(p.name) + "/total"].push_back(1000 * run.Seconds());
            order[p.name] = stages;
            Sleep(200);
        }
    }
    DeleteFileW(file.c_str());
    Figure("stages.runs", runs);
    for (const auto& p : programs) {
        for (const std::string& stage : order[p.name]) {
            std::printf("stage %s %.2f %s\n", p.name, Median(stageMs[std::string(p.name) + "/" + stage]),
                        stage.c_str());
        }
        Figure("stages." + std::string(p.name) + ".total_median_ms", Median(stageMs[std::string(p.name) + "/total"]));
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: wine_bench <Tamsory.exe> [case]\n");
        return 2;
    }
    SetProcessDPIAware();  // real pixels, as the program sees them
    g_exe = argv[1];
    const std::wstring_view only = argc == 3 ? argv[2] : L"";
    if (only.empty() || only == L"count-up cost") CountUpCosts();
    if (only.empty() || only == L"start-up cost") StartUpCost();
    if (only.empty() || only == L"start-up stages") StartUpStages();
    return 0;
}
