// Marks between the stages of start-up, for the benchmark's traced build of the same sources
// (bench/, TAMSORY_TRACE): each names the stage that has just ended. In Tamsory.exe they are
// nothing at all.
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
