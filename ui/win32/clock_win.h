// The count-up clock: waits scheduled against absolute deadlines from the start of the
// count-up, during which the program keeps painting and answering the system but takes no
// mouse or keyboard input.
#pragma once

#include <windows.h>

#include "ui/forms.h"
#include "ui/pacing.h"
#include "ui/win32/handles_win.h"

namespace win {

class CountUpClock final : public forms::CountUpClock {
public:
    CountUpClock();
    void Begin() override;
    void Wait(double units) override;
    void End() override;
    bool Running() const { return running_; }

private:
    void ServiceMessages();

    unique_handle timer_;
    LARGE_INTEGER frequency_{};
    LARGE_INTEGER start_{};
    pacing::Deadlines deadlines_;
    bool running_ = false;
    bool quitRequested_ = false;
    int quitCode_ = 0;
};

}  // namespace win
