#include "ui/win32/toolkit_win.h"

#include <system_error>

#include "ui/win32/form_win.h"

namespace win {

Toolkit::Toolkit(HINSTANCE instance) : instance_(instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Form::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kHeartIcon));
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

int Toolkit::Run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Tab, Shift+Tab and the arrow keys move between controls as in a dialog.
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && GetClassLongPtrW(root, GCW_ATOM) == formClass_ && IsDialogMessageW(root, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace win
