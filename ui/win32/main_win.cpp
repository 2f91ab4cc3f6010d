// Tamsory's entry point on Windows.
#include <windows.h>

#include <exception>
#include <string>

#include "ui/program.h"
#include "ui/win32/toolkit_win.h"
#include "ui/win32/trace_win.h"

namespace {

// Later DLL loads (the IME, text services) come from the system folder only, never from the
// folder the program was started in. Looked up at run time: Windows 7 has it only with an update.
void RestrictDllSearch() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (set) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");  // and never the current folder, where love.dll lives
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    win::TraceStage("C++ runtime to wWinMain");
    RestrictDllSearch();
    int exitCode = 1;
    try {
        win::Toolkit toolkit(instance);
        win::TraceStage("window class registered");
        Program program(toolkit);
        program.Start();
        win::TraceDone();
        exitCode = toolkit.Run();
    } catch (const std::exception& error) {
        const std::string what = error.what();
        MessageBoxW(nullptr, std::wstring(what.begin(), what.end()).c_str(), L"Tamsory", MB_OK | MB_ICONERROR);
    }
    return exitCode;
}
