// Tamsory's entry point on Windows.
#include <windows.h>

#include <objbase.h>

#include <exception>
#include <string>

#include "ui/program.h"
#include "ui/win32/toolkit_win.h"

namespace {

// Later DLL loads (COM servers, the IME) come from the system folder only, never from the
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
    RestrictDllSearch();
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    int exitCode = 1;
    try {
        win::Toolkit toolkit(instance);
        Program program(toolkit);
        program.Start();
        exitCode = toolkit.Run();
    } catch (const std::exception& error) {
        const std::string what = error.what();
        MessageBoxW(nullptr, std::wstring(what.begin(), what.end()).c_str(), L"Tamsory", MB_OK | MB_ICONERROR);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return exitCode;
}
