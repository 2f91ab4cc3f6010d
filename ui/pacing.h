// The pace of the count-up, in one place. A delay unit is 25 ns, so a step of 1,000,000 units
// lasts 25 ms and a count-up to 100 takes 114,719,245 units, 2.868 s.
#pragma once

namespace pacing {

inline constexpr double kNanosecondsPerUnit = 25;
inline constexpr double kFirstStepDelay = 1'000'000;  // units, for every step up to kSlowDownAfter
inline constexpr int kSlowDownAfter = 80;
inline constexpr double kDelayGrowth = 1.05;  // each step after that waits this much longer

// Only a hand-edited love.dll can rig a score above 100. Past 100 the count-up ends in a short
// run of at most kOverrunFrames frames, the last on the final score, within kOverrunBudget
// units (4.5 s), since the designed pace would take hours there.
inline constexpr int kOverrunFrames = 50;
inline constexpr double kOverrunBudget = 180'000'000;

// The count-up's deadlines, in nanoseconds from its start. Each wait ends a fixed time after the
// previous deadline, not after the moment the program woke up, so a timer that wakes late (by up
// to a 15.6 ms tick on Windows) delays one number and the next ones catch up: the whole count-up
// keeps its nominal length.
class Deadlines {
public:
    double After(double units) {
        elapsedUnits_ += units;
        return elapsedUnits_ * kNanosecondsPerUnit;
    }

private:
    double elapsedUnits_ = 0;
};

}  // namespace pacing
