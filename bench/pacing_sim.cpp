// The count-up to 100 on a coarse timer, simulated: every sleep wakes only on a tick of the
// system clock (15.6 ms on Windows by default; Wine's timer is too fine to show it), and every
// number costs some time to paint. Prints the total against the nominal 2.868 s for the
// program's deadline scheduling and, for comparison, for sleeping each wait by itself.
#include <cmath>
#include <cstdio>
#include <initializer_list>

#include "ui/pacing.h"

namespace {

// The waits of a count-up to 100, in delay units.
template <typename F>
void ForEachWait(F wait) {
    double delay = pacing::kFirstStepDelay;
    for (int n = 1; n <= 100; ++n) {
        if (n > pacing::kSlowDownAfter) delay *= pacing::kDelayGrowth;
        wait(std::floor(delay));
    }
}

double WakeAt(double now, double until, double tick) { return std::ceil(std::max(now, until) / tick) * tick; }

// Times in milliseconds.
double WithDeadlines(double tick, double paint) {
    pacing::Deadlines deadlines;
    double now = 0;
    ForEachWait([&](double units) {
        now += paint;
        const double deadline = deadlines.After(units) / 1e6;
        if (now < deadline) now = WakeAt(now, deadline, tick);
    });
    return now;
}

double SleepingEachWait(double tick, double paint) {
    double now = 0;
    ForEachWait([&](double units) {
        now += paint;
        now = WakeAt(now, now + units * pacing::kNanosecondsPerUnit / 1e6, tick);
    });
    return now;
}

}  // namespace

int main() {
    double nominal = 0;
    ForEachWait([&](double units) { nominal += units * pacing::kNanosecondsPerUnit / 1e6; });
    std::printf("count-up to 100, nominal %.1f ms\n", nominal);
    std::printf("%-10s %-8s %-22s %-22s\n", "tick ms", "paint ms", "deadlines ms (error)", "each wait ms (error)");
    bool withinGoal = true;
    for (double tick : {0.5, 1.0, 15.625}) {
        for (double paint : {0.0, 2.0, 8.0}) {
            const double scheduled = WithDeadlines(tick, paint);
            const double naive = SleepingEachWait(tick, paint);
            std::printf("%-10.3f %-8.1f %8.1f (%+5.2f %%)      %8.1f (%+6.2f %%)\n", tick, paint, scheduled,
                        100 * (scheduled / nominal - 1), naive, 100 * (naive / nominal - 1));
            withinGoal = withinGoal && std::abs(scheduled / nominal - 1) <= 0.02;
        }
    }
    std::printf("deadline scheduling within 2 %% of nominal on every timer: %s\n", withinGoal ? "yes" : "NO");
    return withinGoal ? 0 : 1;
}
