// End-to-end tests of the real Tamsory.exe under Wine, for what only the real program can show:
// its windows laid out and painted at the display's DPI, real controls (driven by window messages,
// and by real mouse input on the About window's letter), the count-up's real clock, message boxes
// as the user sees them. The handlers' logic is tested against the fake toolkit in tests/ui.
//   e2e_driver <Tamsory.exe>    (leaving by the exit button at 96 DPI, by the close box otherwise)
#include <algorithm>
#include <map>

#include "harness.h"

using namespace e2e;

namespace {

UINT g_dpi = 96;

int Px(int twips) { return MulDiv(twips, static_cast<int>(g_dpi), 1440); }
int Sum(std::uint32_t px) { return (px >> 16 & 0xFF) + (px >> 8 & 0xFF) + (px & 0xFF); }

// The client area's designed size (twips), a fixed border with only a close box.
void CheckFrame(HWND form, int width, int height, const std::string& name) {
    const RECT r = ScreenRect(form);
    const LONG style = GetWindowLongW(form, GWL_STYLE) & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME);
    Check(style == WS_SYSMENU && r.right - r.left == Px(width) && r.bottom - r.top == Px(height), name + "'s frame");
}

// Waits for the message box titled `title` (saying `text`, if given), owned by the window that
// raised it, checks its icon and closes it. Drawing the designed icon over the box's icon changes
// next to nothing; drawn over another icon, or over none, it changes much.
void Answer(const App& app, const wchar_t* title, HWND owner, const wchar_t* icon, std::wstring_view text = {}) {
    const Box box = *WaitFor([&] { return app.MessageBox(); }, "a message box");
    Check(box.title == title && box.owner == owner && (text.empty() || box.text == text),
          "expected " + Utf8(title) + " from its window, got " + Utf8(box.text) + " titled " + Utf8(box.title));
    // Windows gives the icon the id 0x14, Wine 1088. A box without one has an empty rectangle here.
    const RECT r = ScreenRect(GetDlgItem(box.hwnd, 0x14) ? GetDlgItem(box.hwnd, 0x14) : GetDlgItem(box.hwnd, 1088));
    const auto seen = Settled(r), redrawn = Grab(r, [&](HDC dc, int w, int h) {
                                      DrawIconEx(dc, 0, 0, LoadIconW(nullptr, icon), w, h, 0, nullptr, DI_NORMAL);
                                  });
    size_t changed = 0;
    for (size_t i = 0; i < seen.size(); ++i) changed += std::abs(Sum(seen[i]) - Sum(redrawn[i])) > 96;
    Check(changed * 4 < seen.size(), Utf8(title) + " does not show its designed icon");
    PostMessageW(box.hwnd, WM_COMMAND, IDOK, 0);
    WaitFor([&] { return !IsWindow(box.hwnd) || !Visible(box.hwnd); }, "the message box to close");
}

// The colour that most of these pixels show, other than `except`.
std::uint32_t Dominant(const std::vector<std::uint32_t>& pixels, std::uint32_t except = 1u << 24) {
    std::map<std::uint32_t, int> count;
    for (std::uint32_t px : pixels) count[px] += px != except;
    return std::max_element(count.begin(), count.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
}

// A control's text is drawn in its designed font: its ink, how far each pixel has gone from the
// background (the most frequent colour but the text's) towards the text's brightness, is within a
// fifth of the ink of the same text that the driver draws so (the other weight, or the size at
// another DPI, is a third off or more). Colours are 0xRRGGBB, as Grab gives them.
void CheckFont(HWND control, const wchar_t* face, int hundredths, bool bold, std::uint32_t color) {
    const std::wstring text = Text(control);
    const auto shown = Settled(ScreenRect(control));
    const std::uint32_t back = Dominant(shown, color);
    const auto ink = [&](const std::vector<std::uint32_t>& pixels) {
        double sum = 0;
        for (std::uint32_t px : pixels) {
            const int d = std::abs(Sum(px) - Sum(back));
            sum += d < 48 ? 0 : std::min(1.0, double(d) / std::abs(Sum(color) - Sum(back)));  // not faint shading
        }
        return sum;
    };
    const auto designed = [&](HDC dc, int w, int h) {
        const auto ref = [](std::uint32_t c) { return RGB(c >> 16, c >> 8 & 0xFF, c & 0xFF); };
        HGDIOBJ old = SelectObject(
            dc, CreateFontW(-MulDiv(hundredths, static_cast<int>(g_dpi), 7200), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0,
                            0, 0, GB2312_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0, face));
        const RECT all{0, 0, w, h};
        SetBkColor(dc, ref(back));
        SetTextColor(dc, ref(color));
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &all, text.c_str(), static_cast<UINT>(text.size()), nullptr);
        DeleteObject(SelectObject(dc, old));
    };
    const double seen = ink(shown), want = ink(Grab({0, 0, 600, 200}, designed));
    Check(std::abs(seen - want) * 5 <= want, Utf8(text) + ": " + std::to_string(seen / want) + " times its font's ink");
}

// The main window as designed at the current DPI: its frame, each control where its twips put it,
// the colours of the name boxes and the start button, the picture where its painted box lies under
// the girl's name (the rim beside the name box shows the box's red outline: the picture placed and
// scaled as the controls are), and the font of a name.
void CheckMain(HWND form) {
    const MainWindow w(form, g_dpi);
    CheckFrame(form, 4470, 3345, "main");
    const auto colour = [](HWND control) { return Dominant(Settled(ScreenRect(control))); };
    Check(colour(w.Text1) == 0xC0C0FF && colour(w.Text2) == 0xFF8080 && colour(w.Command1) == 0xFFC0FF,
          "the name boxes or the start button are not in their colours");
    const RECT r = ScreenRect(w.Text2, false);
    const auto rim = Settled({r.left - Px(45) - 1, (r.top + r.bottom) / 2, r.left, (r.top + r.bottom) / 2 + 1});
    const auto red = [](std::uint32_t px) { return (px >> 16) >= 170 && (px >> 16) >= (px >> 8 & 0xFF) + 60; };
    Check(std::any_of(rim.begin(), rim.end(), red), "the picture's box does not lie under the girl's name");
    CheckFont(w.Text2, L"宋体", 1050, false, 0x000000);  // the window text colour; no caret
}

// Tells the main window it now lies on a monitor of `dpi`, as Windows does when the window is
// moved there, suggesting a rectangle that holds the designed client area (CheckMain sees whether
// the window took it). Wine hands the pointer over as it is, so the rectangle goes into the
// program's memory first.
void MoveToDpi(const App& app, UINT dpi) {
    const RECT window = ScreenRect(app.main, false), client = ScreenRect(app.main);
    g_dpi = dpi;
    const RECT suggested{window.left, window.top, window.right + Px(4470) - (client.right - client.left),
                         window.bottom + Px(3345) - (client.bottom - client.top)};
    void* remote = VirtualAllocEx(app.Process(), nullptr, sizeof suggested, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    Check(remote && WriteProcessMemory(app.Process(), remote, &suggested, sizeof suggested, nullptr), "no memory");
    Send(app.main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(remote));
}

// One session with the real program, as a user has it, at the DPI it starts at: the main window
// as designed, also after a move to a monitor of the other DPI and back; the tab order and three
// characters a name; a rigged count-up to 100 on the real clock (2.868 s by its deadlines, never
// less), drawn as it counts, with input given meanwhile coming to nothing; the About window's
// hidden letter, whose box reaches into the maker's name and, being transparent, leaves its first
// character whole (only a double-click inside that box opens the editor); the editor storing a
// pair that the next test finds; and one of the two ways out.
void Session(const std::wstring& exe) {
    App app(exe, "session", "1,\"Tom\",\"Ann\",100\r\n");
    const MainWindow w(app.main, g_dpi);
    Type(w.Text1, L"Tomm");
    Type(w.Text2, L"Annn");
    Check(Text(w.Text1) == L"Tom" && Text(w.Text2) == L"Ann", "not three characters of each name");
    CheckMain(app.main);
    // The focus starts in the boy's name and goes round in tab order, to rest on "." away from the blinking caret.
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    const HWND order[] = {w.Text1, w.Text2, w.Command2, w.Command1, w.Text1, w.Text2, w.Command2};
    for (const HWND& next : order) {
        WaitFor([&] { return GetGUIThreadInfo(app.ThreadId(), &gui) && gui.hwndFocus == next; }, "the tab order");
        if (&next != std::end(order) - 1) PostMessageW(next, WM_KEYDOWN, VK_TAB, 1);
    }
    // Moved to a monitor of another DPI, laid out anew as if it had started there; moved back, as it was.
    const UINT first = g_dpi;
    const auto window = Settled(ScreenRect(app.main));
    MoveToDpi(app, first == 96 ? 144 : 96);
    CheckMain(app.main);
    MoveToDpi(app, first);
    Check(Settled(ScreenRect(app.main)) == window, "back at its first DPI, the window is not as it was");

    const RECT label = ScreenRect(w.Label4);
    const auto before = Settled(label);
    const ULONGLONG start = GetTickCount64();
    Click(w.Command1);
    WaitFor([&] { return !Text(w.Label4).empty(); }, "the count-up to start");
    PostMessageW(w.form, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
    PostMessageW(w.Text1, WM_CHAR, L'\b', 1);          // a key, queued as the keyboard's are
    Click(w.Command2);
    Sleep(200);
    Check(Grab(label) != before, "the numbers are not drawn as they count");
    WaitFor([&] { return app.MessageBox(); }, "the verdict");
    const double seconds = static_cast<double>(GetTickCount64() - start) / 1000;
    Check(seconds > 2.868 * 0.97 && seconds < 2 * 2.868, "the count-up to 100 took " + std::to_string(seconds) + " s");
    CheckFont(w.Label4, L"黑体", 2775, true, 0xFF0000);
    const auto number = Settled(label);
    Check(std::count(number.begin(), number.end(), 0xFF0000u) >= 20, "the final number is not drawn in pure red");
    Answer(app, L"缘分评定", w.form, IDI_INFORMATION);
    // The start button's window text is its caption, though the program paints the button itself.
    WaitFor([&] { return Visible(w.Command4) && Text(w.Command1) == L"开始测试"; }, "exit, once more and 开始测试");
    Check(app.Alive() && !app.Window(L"关于") && Text(w.Text1) == L"Tom" && Text(w.Label4) == L"100",
          "input during the count-up was taken");
    Click(w.Command4);
    WaitFor([&] { return Visible(w.Command1); }, "once more");
    Check(Settled(label) == before, "once more leaves a trace of the number on the picture");
    Click(w.Command3);  // hidden: a click posted to it does nothing
    Sleep(300);
    Check(!app.MessageBox(), "the hidden exit button took a click");

    Click(w.Command2);
    const HWND about = WaitFor([&] { return app.Window(L"关于"); }, "the About window");
    WaitFor([&] { return !IsWindowEnabled(w.form); }, "the main window to take no input under the About window");
    CheckFrame(about, 2760, 2070, "about");
    const RECT client = ScreenRect(about);
    const auto at = [&](int x, int y) { return POINT{client.left + Px(x), client.top + Px(y)}; };
    const auto ink = [&](int left, int right) {  // dark pixels in the copyright line's band
        const auto band = Settled({at(left, 990).x, at(left, 990).y, at(right, 1215).x, at(right, 1215).y});
        return std::count_if(band.begin(), band.end(), [](std::uint32_t px) { return Sum(px) < 3 * 200; }) >= 4;
    };
    Check(ink(1170, 1260) && ink(1290, 1365), "the letter is hidden, or its box hides the maker's name");
    ClickAt(at(1215, 1095));  // once on the letter, then twice on the copyright line beside it
    ClickAt(at(1125, 1080), true);
    Check(!app.MessageBox() && Visible(about), "a click beside the letter, or a single one on it, did something");
    ClickAt(at(1350, 1005), true);  // the transparent corner of its box, over the copyright line
    Answer(app, L"作弊模式", about, IDI_INFORMATION);

    const HWND editor = WaitFor([&] { return app.Window(L"编辑“特殊数据”"); }, "the editor");
    CheckFrame(editor, 2910, 1860, "editor");
    SetText(Control(editor, L"Edit", 135, 600, 855, 375, g_dpi), L"Tom");
    SetText(Control(editor, L"Edit", 1035, 600, 855, 375, g_dpi), L"Ann");
    const HWND score = Control(editor, L"Edit", 1935, 600, 855, 375, g_dpi);
    Type(score, L"-555");
    Check(Text(score) == L"-55", "not three characters of the score");
    Click(Control(editor, L"Button", 945, 1215, 945, 420, g_dpi));
    Answer(app, L"恭喜", editor, IDI_EXCLAMATION);
    WaitFor([&] { return IsWindowEnabled(w.form) && !Visible(editor); }, "the editor to hand back to the main window");
    Click(w.Command1);  // the editor stored -55 as 1
    Answer(app, L"缘分评定", w.form, IDI_INFORMATION);
    WaitFor([&] { return Visible(w.Command3) && Text(w.Label4) == L"1"; }, "the pair stored by the editor");

    // The exit button ends the program at once, the close box with the main window; each after the farewell.
    first == 96 ? Click(w.Command3) : (void)PostMessageW(w.form, WM_SYSCOMMAND, SC_CLOSE, 0);
    Answer(app, L"有缘千里来相会", w.form, IDI_INFORMATION, L"祝天下有“缘”人终成眷属！^.^");
    WaitFor([&] { return !app.Alive(); }, "the program to end");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetProcessDPIAware();  // real pixels, as the program sees them
    HDC screen = GetDC(nullptr);
    g_dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    if (argc != 2) return std::fprintf(stderr, "usage: e2e_driver <Tamsory.exe>\n"), 2;
    Session(argv[1]);
    return 0;
}
