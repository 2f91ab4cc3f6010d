// End-to-end tests of the real Tamsory.exe under Wine, for what only the real program can show:
// its windows laid out and painted at the display's DPI, real controls and input, the count-up's
// real clock, message boxes as the user sees them. The handlers' logic is tested against the
// fake toolkit in tests/ui.
//   e2e_driver <Tamsory.exe> <artifacts folder> dpi96|dpi144 [case]: dpi144 runs only "windows"
#include "harness.h"

using namespace e2e;

namespace {

std::wstring g_exe;
UINT g_dpi = 96;

int Px(int twips) { return MulDiv(twips, static_cast<int>(g_dpi), 1440); }

// The client area's size, a fixed border with only a close box, and a screenshot.
void CheckFrame(HWND form, int widthTwips, int heightTwips, const std::wstring& what) {
    const RECT r = ScreenRect(form);
    const auto style = GetWindowLongW(form, GWL_STYLE);
    Check(r.right - r.left == Px(widthTwips) && r.bottom - r.top == Px(heightTwips) && (style & WS_SYSMENU) &&
              !(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)),
          Utf8(what) + ": the client area is " + std::to_string(r.right - r.left) + "x" +
              std::to_string(r.bottom - r.top) + ", or the border is not fixed with only a close box");
    SaveShot(what, ScreenRect(form, false));
}

// The box shows `icon`: drawing that icon over it changes next to nothing, while drawing it over
// another icon, or over no icon, changes much.
void CheckIcon(const Box& box, const wchar_t* icon) {
    HWND shown = nullptr;
    for (HWND c = GetWindow(box.hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && Visible(c)) shown = c;
    Check(shown, Quote(box.title) + " shows no icon");
    const RECT r = ScreenRect(shown);
    const Image seen = Settled(r), redrawn = Grab(r, LoadIconW(nullptr, icon));
    size_t changed = 0;
    for (size_t i = 0; i < seen.pixels.size(); ++i) {
        const auto delta = [&](int shift) {
            return std::abs(int(seen.pixels[i] >> shift & 0xFF) - int(redrawn.pixels[i] >> shift & 0xFF));
        };
        changed += delta(0) + delta(8) + delta(16) > 96;
    }
    Check(changed * 4 < seen.pixels.size(), Quote(box.title) + " shows another icon than the designed one");
    SaveShot(box.title, ScreenRect(box.hwnd, false));
}

// Waits for the message box titled `title`, owned by the window that raised it, and closes it.
void Answer(const App& app, const wchar_t* title, HWND owner, const wchar_t* icon) {
    const Box box = app.WaitBox();
    Check(box.title == title && box.owner == owner, std::string("expected a box titled ") + Quote(title) +
                                                        " owned by its window, got " + Quote(box.text) + " titled " +
                                                        Quote(box.title));
    CheckIcon(box, icon);
    Close(box);
}

// The picture's painted name boxes lie right under the edits: just outside the middle of each
// edge of an edit, within a thin rim (wider when scaled), the picture shows the box's outline,
// blue under the boy's name and red under the girl's.
void CheckBoxesUnderEdits(const MainWindow& w) {
    const RECT client = ScreenRect(w.form);
    const Image image = Settled(client);
    const int reach = 2 * static_cast<int>((g_dpi + 95) / 96) + 1;
    for (const auto& [edit, blue] : {std::pair{w.Text1, true}, std::pair{w.Text2, false}}) {
        const RECT r = ScreenRect(edit, false);
        const int left = r.left - client.left, right = r.right - client.left, top = r.top - client.top,
                  bottom = r.bottom - client.top, midX = (left + right) / 2, midY = (top + bottom) / 2;
        for (const auto& [x, y, dx, dy] : {std::array{left - 1, midY, -1, 0}, std::array{right, midY, 1, 0},
                                           std::array{midX, top - 1, 0, -1}, std::array{midX, bottom, 0, 1}}) {
            bool outline = false;
            for (int d = 0; d < reach; ++d) {
                const std::uint32_t px = image.pixels[static_cast<size_t>((y + d * dy) * image.w + x + d * dx)];
                const int red = px >> 16 & 0xFF, green = px >> 8 & 0xFF, b = px & 0xFF;
                outline = outline || (blue ? b >= 170 && b - red >= 50 : red >= 170 && red - green >= 60);
            }
            Check(outline, std::string("the picture's box does not lie under the ") + (blue ? "boy's" : "girl's") +
                               " name at " + std::to_string(x) + "," + std::to_string(y));
        }
    }
}

// The About window, the hidden letter into the editor, and the editor storing a pair. The letter's
// box reaches into the maker's name, yet being transparent leaves its first character whole;
// only a double-click inside the box opens the editor.
void Windows() {
    App app(g_exe, "windows");
    Check(app.LoveDll() == "0,\"\",\"\",0\r\n", "no initial love.dll in the program's working folder");
    const MainWindow w(app.main, g_dpi);
    CheckFrame(w.form, 4470, 3345, L"main");
    CheckBoxesUnderEdits(w);
    SetText(w.Text1, L"Tom");
    SetText(w.Text2, L"Mary");
    Click(w.Command1);  // a score of 0: no count-up
    Answer(app, L"缘分评定", w.form, IDI_INFORMATION);
    WaitFor([&] { return Visible(w.Command3); }, "the exit button");

    Click(w.Command2);
    const HWND about = app.WaitWindow(L"关于");
    WaitFor([&] { return !IsWindowEnabled(w.form); }, "the main window to take no input under the About window");
    for (const auto& [cls, l, t, width, h] : {std::tuple{L"Static", 330, 390, 510, 510},
                                              {L"Static", 1080, 525, 1455, 255},
                                              {L"Static", 390, 990, 1980, 225},
                                              {L"Button", 1005, 1545, 735, 375},
                                              {L"Static", 525, 1260, 2010, 255},
                                              {L"Static", 1170, 990, 195, 270}})
        Control(about, cls, l, t, width, h, g_dpi);
    CheckFrame(about, 2760, 2070, L"about");
    const RECT client = ScreenRect(about);
    const auto at = [&](int x, int y) { return POINT{client.left + Px(x), client.top + Px(y)}; };
    const RECT name{at(1290, 990).x, at(1290, 990).y, at(1365, 1215).x, at(1365, 1215).y};
    int ink = 0;
    for (std::uint32_t px : Settled(name).pixels) ink += (px >> 16 & 0xFF) + (px >> 8 & 0xFF) + (px & 0xFF) < 3 * 200;
    Check(ink >= 4, "the letter's box hides the start of the maker's name");

    ClickAt(at(1215, 1095));  // once on the letter
    Sleep(600);
    for (const POINT p : {at(1125, 1080), at(1395, 1080), at(150, 150), at(1500, 645)}) ClickAt(p, true);
    Sleep(500);
    Check(!app.MessageBox() && Visible(about), "a click beside the letter, or a single one on it, did something");
    ClickAt(at(1350, 1005), true);  // the transparent corner of its box, over the copyright line
    Answer(app, L"作弊模式", about, IDI_INFORMATION);
    const HWND editor = app.WaitWindow(L"编辑“特殊数据”");
    CheckFrame(editor, 2910, 1860, L"editor");
    Control(editor, L"Static", 120, 195, 2955, 285, g_dpi);
    const HWND text1 = Control(editor, L"Edit", 135, 600, 855, 375, g_dpi);
    const HWND text2 = Control(editor, L"Edit", 1035, 600, 855, 375, g_dpi);
    const HWND text3 = Control(editor, L"Edit", 1935, 600, 855, 375, g_dpi);
    const HWND ok = Control(editor, L"Button", 945, 1215, 945, 420, g_dpi);

    SetText(text1, L"Tom");
    SetText(text2, L"Ann");
    Type(text3, L"1500");
    WaitFor([&] { return Text(text3) == L"150"; }, "three characters of the score");
    Click(ok);
    Answer(app, L"恭喜", editor, IDI_EXCLAMATION);
    WaitFor([&] { return IsWindowEnabled(w.form) && !Visible(editor); }, "the editor to hand back to the main window");
    Check(app.LoveDll() == Record(1, "Tom", "Ann", "100"), "love.dll holds " + app.LoveDll());

    Click(w.Command3);
    Answer(app, L"有缘千里来相会", w.form, IDI_INFORMATION);
    DWORD code = 1;
    WaitFor([&] { return !app.Alive() && GetExitCodeProcess(app.Process(), &code); }, "the program to end");
    Check(code == 0, "the program ended with code " + std::to_string(code));
}

// A count-up to 100 on the real clock: 2.868 s by its deadlines, never less; input given
// meanwhile comes to nothing. Then the keyboard: focus, tab order, three characters a name.
void CountUp() {
    App app(g_exe, "count-up", Record(1, "Tom", "Ann", "100"));
    const MainWindow w(app.main, g_dpi);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    const auto focus = [&] { return GetGUIThreadInfo(app.ThreadId(), &gui) ? gui.hwndFocus : nullptr; };
    for (HWND next : {w.Text1, w.Text2, w.Command2, w.Command1, w.Text1}) {
        WaitFor([&] { return focus() == next; }, "the focus to move in tab order");
        PostMessageW(next, WM_KEYDOWN, VK_TAB, 1);
    }
    Type(w.Text1, L"Tomm");
    Type(w.Text2, L"Annn");
    WaitFor([&] { return Text(w.Text1) == L"Tom" && Text(w.Text2) == L"Ann"; }, "three characters of each name");
    SetText(w.Text2, L"");
    const RECT label = ScreenRect(w.Label4);
    const Image before = Settled(label);
    Click(w.Command1);
    Answer(app, L"错误", w.form, IDI_EXCLAMATION);  // no girl's name
    SetText(w.Text2, L"Ann");

    const double start = Now();
    Click(w.Command1);
    WaitFor([&] { return !Text(w.Label4).empty(); }, "the count-up to start");
    ClickAt(CloseBox(w.form));
    PostMessageW(w.form, WM_CLOSE, 0, 0);
    Type(w.Text1, L"X");
    Click(w.Command2);
    const Box verdict = app.WaitBox();
    const double seconds = Now() - start;
    std::printf("     the count-up to 100 took %.3f s\n", seconds);
    Check(seconds > 2.868 * 0.97 && seconds < 2 * 2.868,
          std::string("the count-up to 100 took ") + std::to_string(seconds) + " s");
    Check(Text(w.Label4) == L"100" && verdict.title == L"缘分评定",
          std::string("during the count-up came ") + Quote(verdict.text) + ": input given then was taken");
    int red = 0;
    for (std::uint32_t px : Settled(label).pixels) red += px == 0xFF0000;
    Check(red >= 20, "the final number is not drawn in pure red");
    SaveShot(L"main-counted", ScreenRect(w.form, false));
    Answer(app, L"缘分评定", w.form, IDI_INFORMATION);
    WaitFor([&] { return Visible(w.Command4); }, "exit and once more");
    Check(app.Alive() && !app.Window(L"关于") && Text(w.Text1) == L"Tom", "input during the count-up was taken");
    OnceMore(w);
    Check(Settled(label) == before, "once more leaves a trace of the number on the picture");

    ClickAt(CloseBox(w.form));
    Answer(app, L"有缘千里来相会", w.form, IDI_INFORMATION);
    WaitFor([&] { return !app.Alive(); }, "the program to end with its main window");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetProcessDPIAware();
    HDC screen = GetDC(nullptr);
    g_dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    if (argc < 4) return std::fprintf(stderr, "usage: e2e_driver <Tamsory.exe> <artifacts> <suite> [case]\n"), 2;
    g_exe = argv[1];
    const std::vector<Case> all{{"windows", Windows}, {"count-up", CountUp}};
    const std::wstring suite = argv[3];
    return RunCases(argv[2], suite == L"dpi144" ? std::vector<Case>{all[0]} : all, argc == 5 ? argv[4] : nullptr);
}
