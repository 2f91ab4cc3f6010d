// Marks between the stages of start-up, for a traced build of the same sources: each names the
// stage that has just ended. A target that links tamsory_trace gets TAMSORY_TRACE and the bodies
// (trace_win.cpp); in Tamsory.exe the marks are nothing at all.
#pragma once

namespace win {

#ifdef TAMSORY_TRACE
void TraceStage(const char* justEnded);
void TraceDone();  // the main window has been painted: write the marks out
#else
inline void TraceStage(const char*) {}
inline void TraceDone() {}
#endif

}  // namespace win
