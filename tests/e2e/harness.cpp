#include "harness.h"

#include <psapi.h>

#include <cstdio>
#include <cstdlib>

namespace e2e {
namespace {

std::wstring g_artifacts = L".";

constexpr UINT kAnswerMs = 5000;  // for one message the program has to answer

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerMs, &result)) {
        char what[80];
        std::snprintf(what, sizeof what, "the program did not answer message 0x%04X within %u ms", message, kAnswerMs);
        Fail(what);
    }
    return static_cast<LRESULT>(result);
}

bool SameProcess(HWND window, DWORD pid) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return owner == pid;
}


std::wstring Caption(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

}  // namespace

std::vector<HWND> TopWindows(DWORD pid) {
    struct Found {
        DWORD pid;
        std::vector<HWND> windows;
    } found{pid, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto& f = *reinterpret_cast<Found*>(param);
            if (SameProcess(window, f.pid) && IsWindowVisible(window)) f.windows.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.windows;
}

App* App::current = nullptr;

// --- Failing and checking --------------------------------------------------------------------

void SetArtifactDir(std::wstring dir) {
    g_artifacts = std::move(dir);
    CreateDirectoryW(g_artifacts.c_str(), nullptr);
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SaveShot("failure", screen);  // may catch a count-up in flight; Settled gives up after 3 s
    std::fprintf(stderr, "screenshot: %s\\failure.bmp\n", Utf8(g_artifacts).c_str());
    if (App* app = App::current; app && app->info_.hProcess) {
        for (HWND window : TopWindows(app->info_.dwProcessId)) {
            const RECT r = WindowRectOf(window);
            std::fprintf(stderr, "  window %s %s at (%ld,%ld)-(%ld,%ld)%s\n", Utf8(ClassOf(window)).c_str(),
                         Quote(Caption(window)).c_str(), r.left, r.top, r.right, r.bottom,
                         IsWindowEnabled(window) ? "" : ", disabled");
        }
        TerminateProcess(app->info_.hProcess, 99);
        WaitForSingleObject(app->info_.hProcess, 5000);
        std::fprintf(stderr, "working folder kept: %s\n", Utf8(app->dir_).c_str());
    }
    std::fflush(nullptr);
    std::exit(1);
}

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Quote(std::wstring_view text) {
    std::string out(1, '"');
    out += Utf8(text);
    return out += '"';
}

std::string Bytes(std::string_view bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        char hex[8];
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c >= 0x20 && c < 0x7f)
            out += static_cast<char>(c);
        else
            out += (std::snprintf(hex, sizeof hex, "\\x%02X", c), hex);
    }
    return out + "\"";
}

double Now() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency);
}

// --- Geometry --------------------------------------------------------------------------------

std::string ToString(const Rect& r) {
    char text[64];
    std::snprintf(text, sizeof text, "(%d,%d %dx%d)", r.x, r.y, r.w, r.h);
    return text;
}

Rect FromTwips(int left, int top, int width, int height, UINT dpi) {
    const auto px = [dpi](int twips) { return MulDiv(twips, static_cast<int>(dpi), 1440); };
    return {px(left), px(top), px(left + width) - px(left), px(top + height) - px(top)};
}

Rect ClientRect(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return {0, 0, r.right, r.bottom};
}

POINT ClientToScreenPoint(HWND window, int x, int y) {
    POINT p{x, y};
    ClientToScreen(window, &p);
    return p;
}

RECT ScreenRectOfClient(HWND window) {
    const Rect c = ClientRect(window);
    const POINT origin = ClientToScreenPoint(window, 0, 0);
    return {origin.x, origin.y, origin.x + c.w, origin.y + c.h};
}

RECT WindowRectOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// --- Reading and driving controls ------------------------------------------------------------

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring Text(HWND window) {
    // Room to spare: the count-up may lengthen the text between the two questions.
    const auto length = static_cast<size_t>(Send(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(length + 64, L'\0');
    text.resize(static_cast<size_t>(Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

void SetText(HWND window, std::wstring_view text) {
    const std::wstring copy(text);
    Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
}

void Type(HWND edit, std::wstring_view chars) {
    for (wchar_t c : chars) PostMessageW(edit, WM_CHAR, c, 1);
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

HWND Control(HWND parent, std::wstring_view cls, const Rect& where) {
    std::string seen;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r = WindowRectOf(child);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        const Rect at{r.left, r.top, r.right - r.left, r.bottom - r.top};
        if (at == where &&
            CompareStringOrdinal(ClassOf(child).c_str(), -1, std::wstring(cls).c_str(), -1, TRUE) == CSTR_EQUAL) {
            return child;
        }
        seen += "\n    " + Utf8(ClassOf(child)) + " " + ToString(at) + " " + Quote(Caption(child));
    }
    Fail("no " + Utf8(cls) + " at " + ToString(where) + " in window " + Quote(Caption(parent)) +
         "; its children:" + seen);
}

void ClickAt(POINT screen) {
    // Each button event carries its own position. Under Wine the system's idea of the pointer
    // follows the X pointer, which a warp does not always move: a window appearing under the old
    // X pointer puts the cursor back there, and a bare click would land on whatever is there.
    const auto normal = [](LONG px, int size) { return static_cast<LONG>((2 * px + 1) * 32768LL / size); };
    const LONG dx = normal(screen.x, GetSystemMetrics(SM_CXSCREEN));
    const LONG dy = normal(screen.y, GetSystemMetrics(SM_CYSCREEN));
    SetCursorPos(screen.x, screen.y);
    INPUT input[2] = {};
    for (INPUT& i : input) {
        i.type = INPUT_MOUSE;
        i.mi.dx = dx;
        i.mi.dy = dy;
    }
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof(INPUT));
}

void MouseClick(HWND window, int x, int y, bool doubleClick) {
    const POINT p = ClientToScreenPoint(window, x, y);
    ClickAt(p);
    if (doubleClick) {
        Sleep(50);
        ClickAt(p);
    }
}

POINT CloseBoxPoint(HWND window) {
    const RECT frame = WindowRectOf(window);
    const RECT client = ScreenRectOfClient(window);
    const int y = (frame.top + client.top) / 2;  // the middle of the title bar
    int first = -1, last = -1;
    for (int x = frame.right - 1; x > client.left; --x) {
        const bool close = Send(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE;
        if (close && last < 0) last = x;
        if (close) first = x;
        if (!close && last >= 0) break;
    }
    if (last < 0) Fail("window " + Quote(Caption(window)) + " has no close box in its title bar");
    return {(first + last) / 2, y};
}

void ClickCloseBox(HWND window) { ClickAt(CloseBoxPoint(window)); }

// --- Screen ----------------------------------------------------------------------------------

Image Grab(const RECT& r) {
    Image image;
    image.w = r.right - r.left;
    image.h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), image.w, -image.h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, image.w, image.h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    image.pixels.assign(p, p + static_cast<size_t>(image.w) * image.h);
    for (auto& px : image.pixels) px &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return image;
}

Image Settled(const RECT& screen) {
    Image last = Grab(screen);
    for (int tries = 0; tries < 50; ++tries) {
        Sleep(60);
        Image now = Grab(screen);
        if (now == last) return now;
        last = std::move(now);
    }
    return last;
}

void SaveShot(const std::string& name, const RECT& screen) {
    const Image image = Settled(screen);
    const int stride = (image.w * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER header{sizeof header, image.w, image.h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(stride * image.h);
    std::vector<unsigned char> rows(static_cast<size_t>(stride) * image.h);
    for (int y = 0; y < image.h; ++y) {  // bottom-up, blue first
        unsigned char* row = &rows[static_cast<size_t>(image.h - 1 - y) * stride];
        for (int x = 0; x < image.w; ++x) {
            const std::uint32_t px = image.At(x, y);
            row[3 * x] = px & 0xFF;
            row[3 * x + 1] = (px >> 8) & 0xFF;
            row[3 * x + 2] = (px >> 16) & 0xFF;
        }
    }
    const std::wstring path = g_artifacts + L"\\" + Wide(name) + L".bmp";
    if (FILE* out = _wfopen(path.c_str(), L"wb")) {
        std::fwrite(&file, sizeof file, 1, out);
        std::fwrite(&header, sizeof header, 1, out);
        std::fwrite(rows.data(), 1, rows.size(), out);
        std::fclose(out);
    }
}

// --- The program under test ------------------------------------------------------------------

App::App(const std::wstring& exe, const std::string& caseName, std::optional<std::string> loveDll)
    : App(exe, caseName, StartOptions{.loveDll = std::move(loveDll)}) {}

App::App(const std::wstring& exe, const std::string& caseName, const StartOptions& options) {
    std::wstring parent = options.parent;
    if (parent.empty()) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        parent = temp;
    } else if (parent.back() != L'\\') {
        parent += L'\\';
    }
    for (int n = 0;; ++n) {
        dir_ = parent + L"tamsory-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" + Wide(caseName) + L"-" +
               std::to_wstring(n);
        if (CreateDirectoryW(dir_.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) Fail("cannot create a working folder " + Utf8(dir_));
    }
    if (options.loveDll) WriteLoveDll(*options.loveDll);
    if (options.beforeStart) options.beforeStart(dir_);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, dir_.c_str(), &startup,
                        &info_)) {
        Fail("cannot start " + Utf8(exe) + " (error " + std::to_string(GetLastError()) + ")");
    }
    current = this;
    WaitForInputIdle(info_.hProcess, 30'000);
    if (options.waitForMain) WaitMain();
}

HWND App::WaitMain() {
    main = WaitFor([&] { return Window(L"Tamsory"); }, "the main window \"Tamsory\"", 30'000);
    Check(ClassOf(main) == L"TamsoryForm", "the main window's class is " + Utf8(ClassOf(main)) + ", not TamsoryForm");
    return main;
}

App::~App() {
    if (Alive()) {
        TerminateProcess(info_.hProcess, 0);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
    DeleteFileW((dir_ + L"\\love.dll").c_str());
    RemoveDirectoryW(dir_.c_str());
    if (current == this) current = nullptr;
}

std::string App::LoveDll() const {
    std::string bytes;
    HANDLE file = CreateFileW((dir_ + L"\\love.dll").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail("love.dll is missing from the working folder");
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
    CloseHandle(file);
    return bytes;
}

void App::WriteLoveDll(std::string_view bytes) const {
    HANDLE file =
        CreateFileW((dir_ + L"\\love.dll").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE ||
        !WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        Fail("cannot write love.dll for the test");
    }
    CloseHandle(file);
}

void App::RemoveLoveDll() const {
    if (!DeleteFileW((dir_ + L"\\love.dll").c_str())) Fail("cannot remove love.dll for the test");
}

void App::CheckFolderHoldsOnlyLoveDll() const {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((dir_ + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        Check(name == L"." || name == L".." || name == L"love.dll",
              "the program wrote " + Utf8(name) + " into its working folder; it may write only love.dll");
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

HWND App::Window(std::wstring_view caption) const {
    for (HWND window : TopWindows(info_.dwProcessId)) {
        if (Caption(window) == caption && ClassOf(window) != L"#32770") return window;
    }
    return nullptr;
}

HWND App::WaitWindow(std::wstring_view caption) const {
    return WaitFor([&] { return Window(caption); }, "the window " + Quote(caption));
}

void App::WaitGone(HWND window, const std::string& what) const {
    WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, what + " to close");
}

std::optional<Box> App::MessageBox() const {
    for (HWND window : TopWindows(info_.dwProcessId)) {
        if (ClassOf(window) != L"#32770") continue;
        // Windows gives the text the id 0xFFFF; Wine gives it 100.
        HWND text = GetDlgItem(window, 0xFFFF);
        if (!text) text = GetDlgItem(window, 100);
        if (!text) continue;  // still being built
        return Box{window, Caption(window), Text(text), GetWindow(window, GW_OWNER)};
    }
    return std::nullopt;
}

Box App::WaitBox() const {
    return *WaitFor([&] { return MessageBox(); }, "a message box");
}

void App::Answer(std::wstring_view title, std::wstring_view text, HWND owner) const {
    const Box box = WaitBox();
    Check(box.title == title && box.text == text, "expected the message " + Quote(text) + " titled " + Quote(title) +
                                                      ", got " + Quote(box.text) + " titled " + Quote(box.title));
    Check(box.owner == owner, "the message " + Quote(title) + " is not owned by the window that raised it");
    PostMessageW(box.hwnd, WM_COMMAND, IDOK, 0);
    WaitGone(box.hwnd, "the message " + Quote(title));
}

void App::CheckNoBoxFor(DWORD ms, const std::string& after) const {
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
        if (auto box = MessageBox())
            Fail("unexpected message " + Quote(box->text) + " titled " + Quote(box->title) + " " + after);
        Sleep(10);
    }
}

bool App::Alive() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

DWORD App::WaitExit() const {
    if (WaitForSingleObject(info_.hProcess, kTimeout) != WAIT_OBJECT_0) Fail("the program did not end");
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

namespace {
double Seconds(FILETIME t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
}
}  // namespace

std::size_t App::PeakWorkingSet() const {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(info_.hProcess, &counters, sizeof counters))
        Fail("cannot read the program's memory use (error " + std::to_string(GetLastError()) + ")");
    return counters.PeakWorkingSetSize;
}

CpuTime App::Cpu() const {
    FILETIME created, exited, kernel, user;
    CpuTime cpu;
    if (GetProcessTimes(info_.hProcess, &created, &exited, &kernel, &user))
        cpu.process = Seconds(kernel) + Seconds(user);
    if (GetThreadTimes(info_.hThread, &created, &exited, &kernel, &user))
        cpu.mainThread = Seconds(kernel) + Seconds(user);
    return cpu;
}

// Sees the screen in real pixels, as the program does (per-monitor DPI aware).
static void BeDpiAware() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    const auto set = reinterpret_cast<SetContext>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (!set || !set(reinterpret_cast<HANDLE>(-4) /* per monitor v2 */)) SetProcessDPIAware();
}

int RunCases(const std::wstring& artifacts, const std::vector<Case>& cases, const wchar_t* only) {
    BeDpiAware();
    SetArtifactDir(artifacts);
    for (const auto& [name, run] : cases) {
        if (only && Wide(name) != only) continue;
        const double start = Now();
        run();
        std::printf("ok   %s (%.1f s)\n", name, Now() - start);
        std::fflush(stdout);
    }
    return 0;
}

std::string Record(int count, const std::string& boy, const std::string& girl, const std::string& score) {
    return std::to_string(count) + ",\"" + boy + "\",\"" + girl + "\"," + score + "\r\n";
}

void OnceMore(const MainWindow& w) {
    Click(w.Command4);
    WaitFor([&] { return Visible(w.Command1); }, "once more to bring back the start button");
}

}  // namespace e2e
