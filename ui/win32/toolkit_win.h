// The forms toolkit made real with Win32.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/forms.h"
#include "ui/win32/clock_win.h"
#include "ui/win32/handles_win.h"

namespace win {

// Resource ids of the program's artwork (see assets/tamsory.rc).
inline constexpr int kHeartIcon = 1;
inline constexpr int kBackgroundPicture = 2;

class Form;

class Toolkit final : public forms::Toolkit {
public:
    explicit Toolkit(HINSTANCE instance);
    ~Toolkit() override;

    std::unique_ptr<forms::Form> CreateForm(const forms::FormDesign& design) override;
    forms::CountUpClock& Clock() override { return clock_; }
    void EndProgram() override;

    // The message loop; returns when the last window has been unloaded.
    int Run();

    HINSTANCE Instance() const { return instance_; }
    ATOM FormClass() const { return formClass_; }
    bool CountingUp() const { return clock_.Running(); }
    void FormLoaded() { ++loadedForms_; }
    void FormUnloaded();
    // Forms whose transparent labels changed and may not have been drawn (see Form::Control).
    void LabelsChanged(Form& form);
    void InvalidateChangedLabels();
    void Forget(Form& form);

private:
    HINSTANCE instance_;
    unique_hicon bigIcon_, smallIcon_;  // the window class's: destroyed after it is unregistered
    ATOM formClass_ = 0;
    CountUpClock clock_;
    int loadedForms_ = 0;
    std::vector<Form*> labelsChanged_;
};

}  // namespace win
