#include "ui/win32/toolkit_win.h"

#include <algorithm>
#include <system_error>

#include "ui/win32/dpi_win.h"
#include "ui/win32/form_win.h"

namespace win {

Toolkit::Toolkit(HINSTANCE instance) : instance_(instance) {
    // The windows' icons at the system's DPI, where windows usually are: cheaper for each window
    // than icons of its own (see Form::ApplyDpi).
    const auto loadIcon = [&](int metric) {
        const int size = SystemMetricForDpi(metric, SystemDpi());
        return unique_hicon(static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(kHeartIcon), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    };
    bigIcon_ = loadIcon(SM_CXICON);
    smallIcon_ = loadIcon(SM_CXSMICON);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Form::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    wc.hIcon = bigIcon_.get();
    wc.hIconSm = smallIcon_.get();
    wc.lpszClassName = L"TamsoryForm";
    formClass_ = RegisterClassExW(&wc);
    if (!formClass_) throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "RegisterClassExW");
}

Toolkit::~Toolkit() { UnregisterClassW(MAKEINTATOM(formClass_), instance_); }

std::unique_ptr<forms::Form> Toolkit::CreateForm(const forms::FormDesign& design) {
    return std::make_unique<Form>(*this, design);
}

void Toolkit::EndProgram() { ExitProcess(0); }

void Toolkit::FormUnloaded() {
    if (--loadedForms_ == 0) PostQuitMessage(0);
}

void Toolkit::LabelsChanged(Form& form) {
    if (std::find(labelsChanged_.begin(), labelsChanged_.end(), &form) == labelsChanged_.end()) {
        labelsChanged_.push_back(&form);
    }
}

void Toolkit::InvalidateChangedLabels() {
    for (Form* form : labelsChanged_) form->InvalidateChangedLabels();
    labelsChanged_.clear();
}

void Toolkit::Forget(Form& form) { std::erase(labelsChanged_, &form); }

int Toolkit::Run() {
    MSG msg;
    for (;;) {
        InvalidateChangedLabels();  // before waiting: what a handler changed without a Repaint
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
        // Tab, Shift+Tab and the arrow keys move between controls as in a dialog.
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && GetClassLongPtrW(root, GCW_ATOM) == formClass_ && IsDialogMessageW(root, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace win
