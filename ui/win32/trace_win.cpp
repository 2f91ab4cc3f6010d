// The marks of a traced build (see trace_win.h): kept in memory, then written once to
// tamsory-trace.txt in the working folder as "<QueryPerformanceCounter> <stage>". Compiled only
// into the traced builds (the tamsory_trace library, which defines TAMSORY_TRACE).
#include "ui/win32/trace_win.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace win {
namespace {

struct Marks {
    std::vector<std::pair<long long, std::string>> marks;
    bool done = false;
};

Marks& All() {
    static Marks marks;
    return marks;
}

// The first C++ initialiser to run: what came before it is Wine's start of the process, the
// loading of the imported DLLs and the manifest's activation context.
struct RuntimeStarted {
    RuntimeStarted() { TraceStage("process, DLLs and manifest, to the C++ runtime"); }
} runtimeStarted __attribute__((init_priority(101)));

}  // namespace

void TraceStage(const char* justEnded) {
    if (All().done) return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    All().marks.emplace_back(now.QuadPart, justEnded);
}

void TraceDone() {
    if (All().done) return;
    TraceStage("first paint");
    All().done = true;
    if (FILE* out = std::fopen("tamsory-trace.txt", "w")) {
        for (const auto& [ticks, stage] : All().marks) std::fprintf(out, "%lld %s\n", ticks, stage.c_str());
        std::fclose(out);
    }
}

}  // namespace win
