// End-to-end tests of the real Tamsory.exe: each case starts the program in a fresh folder,
// drives its windows as a user would and checks what the user would see and what lands in
// love.dll.
//   e2e_driver <Tamsory.exe> <artifacts folder> main|about_editor|dpi144|faults|faults_readonly [case]
// faults_readonly runs under chattr-service.sh.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "harness.h"

using namespace e2e;

namespace {

std::wstring g_exe;

// Texts the user sees.
constexpr std::wstring_view kFirstStart = L"OK！开始测试";
constexpr std::wstring_view kErrorTitle = L"错误";
constexpr std::wstring_view kEmptyName = L"人名不能为空！";
constexpr std::wstring_view kVerdictTitle = L"缘分评定";
constexpr std::wstring_view kFarewellTitle = L"有缘千里来相会";
constexpr std::wstring_view kFarewell = L"祝天下有“缘”人终成眷属！^.^";
constexpr std::wstring_view kAboutCaption = L"关于";
constexpr std::wstring_view kEditorCaption = L"编辑“特殊数据”";
constexpr std::wstring_view kCheatTitle = L"作弊模式";
constexpr std::wstring_view kCheat = L"为了自己的幸福，请输入作您和她（他）的名字，以及想打的分数。^_^";
constexpr std::wstring_view kSavedTitle = L"恭喜";
constexpr std::wstring_view kSaved =
    L"修改成功，切记不要删除主程序目录下生成的love.dll文件！              （提示：也可以用记事本打开该文件直接修改，"
    L"格式为“开启的作弊个数(最大为99),男孩名1,女孩名1,分数1,男孩名2,女孩名2,分数2,……”）";
constexpr std::wstring_view kUnchangedTitle = L"提示";
constexpr std::wstring_view kUnchanged = L"未做任何修改";

constexpr std::wstring_view kVerdict0 = L"- -b.@#!$%*)#)(#@)";
constexpr std::wstring_view kVerdict40 = L"在如此无缘的两个人之间如果还能产生什么浪漫邂逅的话应该称的上是奇迹了";
constexpr std::wstring_view kVerdict50 = L"实在是很一般的缘分，但如果能细心把握的话，也未必不会有结果哦~";
constexpr std::wstring_view kVerdict80 = L"不错的缘分，应该是可以轰轰烈烈爱一场的一对";
constexpr std::wstring_view kVerdict96 = L"千年等一回！";

// love.dll as the program writes it; names in code page 936 (张三 D5C5 C8FD, 李四 C0EE CBC4).
const std::string kInitialRecord = "0,\"\",\"\",0\r\n";
const std::string kZhang = "\xD5\xC5\xC8\xFD", kLi = "\xC0\xEE\xCB\xC4";


void CheckText(HWND control, std::wstring_view expected, const std::string& what) {
    const std::wstring actual = Text(control);
    Check(actual == expected, what + " reads " + Quote(actual) + ", expected " + Quote(expected));
}

void CheckLoveDll(const App& app, const std::string& expected, const std::string& when) {
    const std::string actual = app.LoveDll();
    Check(actual == expected, "love.dll " + when + " holds " + Bytes(actual) + ", expected " + Bytes(expected));
}

void CheckClientSize(HWND window, int w, int h, const std::string& what) {
    const Rect c = ClientRect(window);
    Check(c.w == w && c.h == h, what + "'s client area is " + std::to_string(c.w) + "x" + std::to_string(c.h) +
                                    ", expected " + std::to_string(w) + "x" + std::to_string(h));
}

// A fixed single border with only the close box, and all of it on screen.
void CheckFrame(HWND window, const std::string& what) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    Check((style & WS_SYSMENU) && !(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)),
          what + " must have a fixed border and only a close box");
    const RECT r = WindowRectOf(window);
    Check(r.left >= 0 && r.top >= 0 && r.right <= GetSystemMetrics(SM_CXSCREEN) &&
              r.bottom <= GetSystemMetrics(SM_CYSCREEN),
          what + " is not wholly on screen");
}

// --- The windows, their controls found by class and designed place ----------------------------

struct AboutWindow {
    AboutWindow(HWND form, UINT dpi)
        : form(form),
          Picture1(Control(form, L"Static", FromTwips(330, 390, 510, 510, dpi))),
          Label1(Control(form, L"Static", FromTwips(1080, 525, 1455, 255, dpi))),
          Label2(Control(form, L"Static", FromTwips(390, 990, 1980, 225, dpi))),
          Command1(Control(form, L"Button", FromTwips(1005, 1545, 735, 375, dpi))),
          Label3(Control(form, L"Static", FromTwips(525, 1260, 2010, 255, dpi))),
          Label4(Control(form, L"Static", FromTwips(1170, 990, 195, 270, dpi))) {}
    HWND form, Picture1, Label1, Label2, Command1, Label3, Label4;
};

struct EditorWindow {
    EditorWindow(HWND form, UINT dpi)
        : form(form),
          Label1(Control(form, L"Static", FromTwips(120, 195, 2955, 285, dpi))),
          Command1(Control(form, L"Button", FromTwips(945, 1215, 945, 420, dpi))),
          Text1(Control(form, L"Edit", FromTwips(135, 600, 855, 375, dpi))),
          Text2(Control(form, L"Edit", FromTwips(1035, 600, 855, 375, dpi))),
          Text3(Control(form, L"Edit", FromTwips(1935, 600, 855, 375, dpi))) {}
    HWND form, Label1, Command1, Text1, Text2, Text3;
};

// The start-up state, and the state after once more: the names may be anything.
void CheckReady(const MainWindow& w, std::wstring_view startCaption, const std::string& when) {
    Check(Visible(w.Command1) && !Visible(w.Command3) && !Visible(w.Command4),
          when + ": only the start button should show, not exit and once more");
    CheckText(w.Command1, startCaption, when + ": the start button");
    CheckText(w.Label4, L"", when + ": the score label");
    Check(IsWindowEnabled(w.form), when + ": the main window is disabled");
}

void CheckResult(const MainWindow& w, std::wstring_view shown, const std::string& when) {
    Check(!Visible(w.Command1) && Visible(w.Command3) && Visible(w.Command4),
          when + ": exit and once more should show in place of the start button");
    CheckText(w.Command1, kStart, when + ": the start button");
    CheckText(w.Label4, shown, when + ": the score label");
}

// One test from the start button to the offer of exit and once more. Without a verdict (a score
// outside 0..100) no message may come up.
void RunTest(const App& app, const MainWindow& w, std::wstring_view boy, std::wstring_view girl,
             std::wstring_view shown, std::optional<std::wstring_view> verdict) {
    const std::string what = "the test of " + Quote(boy) + " and " + Quote(girl);
    SetText(w.Text1, boy);
    SetText(w.Text2, girl);
    Click(w.Command1);
    if (verdict) {
        app.WaitBox();
        CheckText(w.Label4, shown, what + ", under its verdict: the score label");
        Check(!Visible(w.Command1) && !Visible(w.Command3) && !Visible(w.Command4),
              what + ": no button may show while the verdict is up");
        app.Answer(kVerdictTitle, *verdict, w.form);
    }
    WaitFor(
        [&] {
            if (auto box = app.MessageBox())
                Fail(what + " showed " + Quote(box->text) + " titled " + Quote(box->title));
            return Visible(w.Command4) && Text(w.Command1) == kStart;  // the last two steps of a test
        },
        what + " to end with exit and once more");
    CheckResult(w, shown, "after " + what);
}


// The farewell is said once, then the process is gone.
void ExpectFarewellAndExit(const App& app, const MainWindow& w, const std::string& how) {
    app.Answer(kFarewellTitle, kFarewell, w.form);
    WaitFor(
        [&] {
            if (auto box = app.MessageBox())
                Fail(how + ": after the farewell came " + Quote(box->text) + " titled " + Quote(box->title));
            return !app.Alive();
        },
        how + ": the program to end after the farewell");
    const DWORD code = app.WaitExit();
    Check(code == 0, how + ": the program ended with code " + std::to_string(code));
}

// The picture's name boxes under the edits. Walking outwards from the middle of each edge of an
// edit, the picture's painted box must show its coloured outline (blue under the boy's name, red
// under the girl's) within a thin white rim of the edit.
void CheckBoxesOnPicture(const MainWindow& w, const std::string& when) {
    const Image client = Settled(ScreenRectOfClient(w.form));
    const auto channel = [](std::uint32_t px, int shift) { return static_cast<int>((px >> shift) & 0xFF); };
    const int scale = static_cast<int>((w.dpi + 95) / 96);  // picture pixels per design pixel, rounded up
    const auto probe = [&](HWND edit, const char* name, bool blue) {
        const auto outline = [&](std::uint32_t px) {
            const int red = channel(px, 16), green = channel(px, 8), b = channel(px, 0);
            return blue ? b >= 170 && b - red >= 50 : red >= 170 && red - green >= 60;
        };
        RECT r = WindowRectOf(edit);
        MapWindowPoints(nullptr, w.form, reinterpret_cast<POINT*>(&r), 2);
        const int midX = (r.left + r.right) / 2, midY = (r.top + r.bottom) / 2;
        const struct {
            int x, y, dx, dy;
            const char* edge;
        } edges[] = {{r.left - 1, midY, -1, 0, "left"},
                     {r.right, midY, 1, 0, "right"},
                     {midX, r.top - 1, 0, -1, "top"},
                     {midX, r.bottom, 0, 1, "bottom"}};
        for (const auto& e : edges) {
            std::vector<std::uint32_t> line;
            for (int d = 0; d < 3 * scale + 2; ++d) line.push_back(client.At(e.x + d * e.dx, e.y + d * e.dy));
            // The rim is a pixel or two, wider by the scale; a scaled picture blends the pixels between.
            bool fits = false;
            for (int d = 0; d <= 2 * scale; ++d) fits = fits || outline(line[static_cast<size_t>(d)]);
            if (fits) continue;
            std::string seen = std::string(name) + " " + e.edge + ":";
            for (std::uint32_t px : line) {
                char hex[8];
                std::snprintf(hex, sizeof hex, " %06X", px);
                seen += hex;
            }
            Fail(when + ": the picture's box does not lie right under the edit (pixels outwards from the " + seen +
                 ")");
        }
    };
    probe(w.Text1, "boy's name", true);
    probe(w.Text2, "girl's name", false);
}

int CountPixels(const Image& image, std::uint32_t color) {
    int n = 0;
    for (std::uint32_t px : image.pixels) n += px == color;
    return n;
}

// --- main: start-up, refusals, whole tests, the ways out ---------------------------------------

void StartUp() {
    App app(g_exe, "startup");
    CheckLoveDll(app, kInitialRecord, "after the first start-up");
    CheckFrame(app.main, "the main window");
    CheckClientSize(app.main, 298, 223, "the main window");
    MainWindow w(app.main, 96);
    CheckReady(w, kFirstStart, "at start-up");
    CheckText(w.Text1, L"", "the boy's name at start-up");
    CheckText(w.Text2, L"", "the girl's name at start-up");
    Check(Visible(w.Command2) && Text(w.Command2) == L".", "the \".\" button is missing");
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    Check(GetGUIThreadInfo(app.ThreadId(), &gui) && gui.hwndFocus == w.Text1,
          "the keyboard focus does not start in the boy's name");
    CheckBoxesOnPicture(w, "at 96 DPI");
    SaveShot("main-start", WindowRectOf(app.main));

    Type(w.Text1, L"ABCD");
    Type(w.Text2, L"四个字符");
    WaitFor([&] { return Text(w.Text2).size() >= 3; }, "the typed girl's name");
    CheckText(w.Text1, L"ABC", "the boy's name after typing four letters");
    CheckText(w.Text2, L"四个字", "the girl's name after typing four characters");
    app.CheckFolderHoldsOnlyLoveDll();

    App empty(g_exe, "empty-love", "");
    CheckLoveDll(empty, kInitialRecord, "after starting with an empty one");
}

void EmptyNames() {
    App app(g_exe, "empty-names");
    MainWindow w(app.main, 96);
    const struct { std::wstring_view boy, girl; } attempts[] = {{L"", L""}, {L"张三", L""}, {L"", L"李四"}};
    for (const auto& a : attempts) {
        SetText(w.Text1, a.boy);
        SetText(w.Text2, a.girl);
        Click(w.Command1);
        app.Answer(kErrorTitle, kEmptyName, w.form);
        WaitFor([&] { return Text(w.Command1) == kStart; }, "the start button to read " + Quote(kStart));
        CheckReady(w, kStart, "after refusing " + Quote(a.boy) + " and " + Quote(a.girl));
    }
    CheckLoveDll(app, kInitialRecord, "after refused tests");
}

// 张三 and 李四 count up to 48. While counting, the program takes no input: a click on the close
// box, a posted close, typing and a click on "." all come to nothing.
void WholeTest() {
    App app(g_exe, "whole-test");
    MainWindow w(app.main, 96);
    const POINT closeBox = CloseBoxPoint(app.main);
    const Image labelBefore = Settled(w.LabelOnScreen());
    SetText(w.Text1, L"张三");
    SetText(w.Text2, L"李四");
    SaveShot("main-before-test", WindowRectOf(app.main));

    Click(w.Command1);
    WaitFor([&] { return !Text(w.Label4).empty(); }, "the count-up to start");
    Check(!Visible(w.Command1), "the start button still shows during the count-up");
    ClickAt(closeBox);
    PostMessageW(app.main, WM_CLOSE, 0, 0);
    PostMessageW(app.main, WM_SYSCOMMAND, SC_CLOSE, 0);
    Type(w.Text1, L"X");
    Click(w.Command2);
    Check(Text(w.Label4) != L"48", "the count-up ended before the input was given; it is too fast to test");

    const Box verdict = app.WaitBox();
    Check(verdict.title == kVerdictTitle, "during the count-up came " + Quote(verdict.text) + " titled " +
                                              Quote(verdict.title) + ": input given then was taken");
    CheckText(w.Label4, L"48", "the score label under the verdict");
    SaveShot("verdict-box", WindowRectOf(verdict.hwnd));
    app.Answer(kVerdictTitle, kVerdict40, w.form);
    WaitFor([&] { return Visible(w.Command4) && Text(w.Command1) == kStart; }, "exit and once more");
    Check(app.Alive(), "the program ended: input given during the count-up was taken");
    Check(!app.Window(kAboutCaption), "the About window opened from a click during the count-up");
    CheckText(w.Text1, L"张三", "the boy's name after typing during the count-up");
    CheckResult(w, L"48", "after the test of 张三 and 李四");
    app.CheckNoBoxFor(300, "after the test");
    Check(CountPixels(Settled(w.LabelOnScreen()), 0xFF0000) >= 20, "the final 48 is not drawn in pure red");
    SaveShot("main-after-test", WindowRectOf(app.main));

    OnceMore(w);
    CheckReady(w, kStart, "after once more");
    CheckText(w.Text1, L"张三", "the boy's name after once more");
    CheckText(w.Text2, L"李四", "the girl's name after once more");
    Check(Settled(w.LabelOnScreen()) == labelBefore,
          "after once more the score label's place differs from the picture at start-up");

    RunTest(app, w, L"张三", L"李四", L"48", kVerdict40);
    Click(w.Command3);
    ExpectFarewellAndExit(app, w, "the exit button");
    CheckLoveDll(app, kInitialRecord, "after tests without rigged pairs");
}

// A score of 0 counts nothing; a pair rigged into love.dll counts at the next test, in either order.
void RiggedPair() {
    App app(g_exe, "rigged-pair");
    MainWindow w(app.main, 96);
    RunTest(app, w, L"Tom", L"Mary", L"", kVerdict0);
    app.WriteLoveDll(Record(1, "Mary", "Tom", "55"));
    OnceMore(w);
    RunTest(app, w, L"Tom", L"Mary", L"55", kVerdict50);
    ClickCloseBox(app.main);
    ExpectFarewellAndExit(app, w, "the close box");
    CheckLoveDll(app, Record(1, "Mary", "Tom", "55"), "after the close box");
    app.CheckFolderHoldsOnlyLoveDll();
}

// --- about_editor: the About window, the hidden letter, the editor -------------------------------

AboutWindow OpenAbout(const App& app, const MainWindow& w) {
    Click(w.Command2);
    const HWND form = app.WaitWindow(kAboutCaption);
    WaitFor([&] { return !IsWindowEnabled(w.form); }, "the main window to be disabled under the About window");
    return AboutWindow(form, w.dpi);
}

// Letter and neighbours, in client pixels at 96 DPI: the letter's rectangle is (78,66) 13x18,
// the copyright line (26,66) 132x15 lies under it.
struct Spot {
    int x, y;
    const char* what;
};
constexpr Spot kLetter{81, 73, "the letter"};
constexpr Spot kLetterMargin{90, 67, "the transparent corner of the letter's box, over the copyright line"};
constexpr Spot kLetterBelow{79, 83, "the transparent strip under the letter"};
constexpr Spot kBeside[] = {{75, 72, "the copyright line just left of the letter"},
                            {93, 72, "the maker's name just right of the letter"},
                            {10, 10, "the window's background"},
                            {100, 43, "the product name"},
                            {39, 43, "the icon"}};

int Scaled(int px, UINT dpi) { return MulDiv(px, static_cast<int>(dpi), 96); }

// The hidden path: a double-click at `spot`, the notice over the About window, then the editor.
EditorWindow OpenEditor(const App& app, const MainWindow& w, const Spot& spot = kLetter) {
    const AboutWindow about = OpenAbout(app, w);
    MouseClick(about.form, Scaled(spot.x, w.dpi), Scaled(spot.y, w.dpi), true);
    app.WaitBox();
    Check(Visible(about.form), "the About window left before the notice was closed");
    Check(!app.Window(kEditorCaption), "the editor opened before the notice was closed");
    app.Answer(kCheatTitle, kCheat, about.form);
    const HWND form = app.WaitWindow(kEditorCaption);
    app.WaitGone(about.form, "the About window");
    // The About window enables the main window as it goes; the hidden path disables it again.
    WaitFor([&] { return !IsWindowEnabled(w.form); }, "the main window to be disabled under the editor");
    Sleep(100);
    Check(!IsWindowEnabled(w.form), "the main window is enabled while the editor is open");
    Check(!GetWindow(form, GW_OWNER), "the editor has an owner window");
    EditorWindow editor(form, w.dpi);
    CheckText(editor.Text1, L"", "the editor's boy's name");
    CheckText(editor.Text2, L"", "the editor's girl's name");
    CheckText(editor.Text3, L"", "the editor's score");
    return editor;
}

void Fill(const EditorWindow& e, std::wstring_view boy, std::wstring_view girl, std::wstring_view score) {
    SetText(e.Text1, boy);
    SetText(e.Text2, girl);
    SetText(e.Text3, score);
}

// The editor closed and handed the program back to the main window.
void CheckBackToMain(const App& app, const MainWindow& w, HWND editor, const std::string& how) {
    app.WaitGone(editor, "the editor");
    WaitFor([&] { return IsWindowEnabled(w.form) != FALSE; }, "the main window to be enabled after " + how);
    Check(Visible(w.form), "the main window is not shown after " + how);
}

// The letter's box reaches 5 px into the maker's name; being transparent, it must leave the
// name's first character whole. That character's left part is ink, not background.
void CheckNameWhole(const AboutWindow& about, UINT dpi) {
    const Rect part = FromTwips(1290, 990, 1365 - 1290, 225, dpi);
    const POINT origin = ClientToScreenPoint(about.form, part.x, part.y);
    const Image image = Settled({origin.x, origin.y, origin.x + part.w, origin.y + part.h});
    // Small smoothed strokes are grey rather than black: ink is anything clearly darker than the face.
    const auto grey = [](std::uint32_t px) { return (((px >> 16) & 0xFF) + ((px >> 8) & 0xFF) + (px & 0xFF)) / 3; };
    const auto face = grey(GetSysColor(COLOR_BTNFACE));
    int ink = 0;
    for (std::uint32_t px : image.pixels) ink += grey(px) + 40 < face;
    Check(ink >= 4, "the letter's box hides the start of the maker's name in the copyright line");
}

void AboutOpenClose() {
    App app(g_exe, "about");
    MainWindow w(app.main, 96);
    AboutWindow about = OpenAbout(app, w);
    CheckFrame(about.form, "the About window");
    CheckClientSize(about.form, 184, 138, "the About window");
    Check(ClassOf(about.form) == L"TamsoryForm" && !GetWindow(about.form, GW_OWNER),
          "the About window is not a free window of the program");
    CheckText(about.Label1, L"Tamsory实用版", "the product name");
    CheckText(about.Command1, L"OK", "the About window's button");
    CheckText(about.Label4, L"e", "the hidden letter");
    SaveShot("about", WindowRectOf(about.form));
    CheckNameWhole(about, 96);

    // The disabled main window takes nothing: a start with empty names would complain, a close say goodbye.
    Click(w.Command1);
    PostMessageW(w.form, WM_CLOSE, 0, 0);
    app.CheckNoBoxFor(500, "from the disabled main window");
    CheckText(w.Command1, kFirstStart, "the start button clicked while disabled");

    Click(about.Command1);
    app.WaitGone(about.form, "the About window");
    WaitFor([&] { return IsWindowEnabled(w.form) != FALSE; }, "OK to enable the main window");

    about = OpenAbout(app, w);
    ClickCloseBox(about.form);
    app.WaitGone(about.form, "the About window");
    WaitFor([&] { return IsWindowEnabled(w.form) != FALSE; }, "the close box to enable the main window");
    app.CheckNoBoxFor(300, "after closing the About window");
}

// Only the letter's own rectangle opens the hidden path; a single click does nothing.
void HiddenLetter() {
    App app(g_exe, "letter");
    MainWindow w(app.main, 96);
    const AboutWindow about = OpenAbout(app, w);
    MouseClick(about.form, kLetter.x, kLetter.y);
    app.CheckNoBoxFor(700, "after a single click on the letter");
    for (const Spot& s : kBeside) {
        MouseClick(about.form, s.x, s.y, true);
        app.CheckNoBoxFor(400, std::string("after a double-click on ") + s.what);
        Check(Visible(about.form), std::string("the About window closed after a double-click on ") + s.what);
    }

    // With love.dll gone, the hidden path leaves an empty one; the editor's close box writes nothing.
    app.RemoveLoveDll();
    Click(about.Command1);
    app.WaitGone(about.form, "the About window");
    EditorWindow editor = OpenEditor(app, w, kLetterMargin);
    SaveShot("editor", WindowRectOf(editor.form));
    CheckFrame(editor.form, "the editor");
    CheckClientSize(editor.form, 194, 124, "the editor");
    CheckText(editor.Label1, L"男孩名字  女孩名字  想得的分数", "the editor's heading");
    CheckText(editor.Command1, L"确定", "the editor's button");
    Fill(editor, L"Tom", L"Ann", L"10");
    ClickCloseBox(editor.form);
    CheckBackToMain(app, w, editor.form, "the editor's close box");
    CheckLoveDll(app, "", "after the editor's close box");

    // Again, through the strip below the letter: the boxes start empty, and OK with them empty
    // stores no pair.
    editor = OpenEditor(app, w, kLetterBelow);
    Click(editor.Command1);
    app.Answer(kUnchangedTitle, kUnchanged, editor.form);
    CheckBackToMain(app, w, editor.form, "OK with empty boxes");
    CheckLoveDll(app, kInitialRecord, "after OK with empty boxes");
}

// One editor case: the boxes as given, OK, the message, love.dll, then a test of the pair.
struct EditorCase {
    const char* name;
    std::optional<std::string> loveDllBefore;
    std::wstring_view boy, girl, typedScore;
    std::wstring_view scoreShown;  // in the score box while the message is up
    std::wstring_view title, message;
    std::string loveDllAfter;
    std::wstring_view counted;  // the test of the pair afterwards
    std::wstring_view verdict;
};

void RunEditorCase(const EditorCase& c) {
    App app(g_exe, c.name, c.loveDllBefore);
    MainWindow w(app.main, 96);
    const EditorWindow editor = OpenEditor(app, w);
    SetText(editor.Text1, c.boy);
    SetText(editor.Text2, c.girl);
    Type(editor.Text3, c.typedScore);  // typed, so the three-character limit applies
    WaitFor([&] { return !c.typedScore.empty() == !Text(editor.Text3).empty(); }, "the typed score");
    Click(editor.Command1);
    app.WaitBox();
    Check(Visible(editor.form), std::string(c.name) + ": the editor left before its message was closed");
    CheckText(editor.Text3, c.scoreShown, std::string(c.name) + ": the score box under the message");
    app.Answer(c.title, c.message, editor.form);
    CheckBackToMain(app, w, editor.form, std::string(c.name) + ": OK");
    CheckLoveDll(app, c.loveDllAfter, std::string("after the editor's case ") + c.name);
    RunTest(app, w, c.boy, c.girl, c.counted, c.verdict);
}

void EditorStores() {
    const EditorCase cases[] = {
        {"store-85", std::nullopt, L"Tom", L"Ann", L"85", L"85", kSavedTitle, kSaved, Record(1, "Tom", "Ann", "85"),
         L"85", kVerdict80},
        {"clamp-high", std::nullopt, L"Tom", L"Ann", L"1500", L"100", kSavedTitle, kSaved,
         Record(1, "Tom", "Ann", "100"), L"100", kVerdict96},
        {"empty-box", Record(1, kZhang, kLi, "90"), L"张三", L"李四", L"", L"", kUnchangedTitle, kUnchanged,
         Record(0, kZhang, kLi, "0"), L"48", kVerdict40},
    };
    for (const EditorCase& c : cases) RunEditorCase(c);
}

// A name with a double quote is refused, loses nothing, and can be corrected.
void EditorRefusals() {
    const std::string rigged = Record(1, "Tom", "Ann", "85");
    App app(g_exe, "editor-quote", rigged);
    MainWindow w(app.main, 96);
    const EditorWindow editor = OpenEditor(app, w);
    Fill(editor, L"T\"m", L"Ann", L"50");
    Click(editor.Command1);
    const Box refusal = app.WaitBox();
    Check(refusal.title == kErrorTitle && !refusal.text.empty() && refusal.owner == editor.form,
          "a name with a double quote gave " + Quote(refusal.text) + " titled " + Quote(refusal.title) +
              ", expected an error from the editor");
    PostMessageW(refusal.hwnd, WM_COMMAND, IDOK, 0);
    app.WaitGone(refusal.hwnd, "the refusal");
    CheckLoveDll(app, rigged, "after refusing a name with a double quote");
    Check(Visible(editor.form) && !IsWindowEnabled(w.form), "the editor did not stay open after the refusal");
    CheckText(editor.Text1, L"T\"m", "the refused boy's name");
    CheckText(editor.Text3, L"50", "the score box after the refusal");

    SetText(editor.Text1, L"Bob");
    Click(editor.Command1);
    app.Answer(kSavedTitle, kSaved, editor.form);
    CheckBackToMain(app, w, editor.form, "the corrected OK");
    CheckLoveDll(app, Record(1, "Bob", "Ann", "50"), "after the corrected OK");
    RunTest(app, w, L"Bob", L"Ann", L"50", kVerdict50);
}

// --- dpi144: everything scaled by 1.5 --------------------------------------------------------------

void HighDpi() {
    constexpr UINT dpi = 144;
    HDC screen = GetDC(nullptr);
    const int system = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    Check(system == dpi, "the display is at " + std::to_string(system) + " DPI, expected 144");
    App app(g_exe, "dpi144");
    CheckClientSize(app.main, 447, 335, "the main window at 144 DPI");
    CheckFrame(app.main, "the main window at 144 DPI");
    MainWindow w(app.main, dpi);
    CheckBoxesOnPicture(w, "at 144 DPI");
    SaveShot("main-144", WindowRectOf(app.main));

    const AboutWindow about = OpenAbout(app, w);
    CheckClientSize(about.form, 276, 207, "the About window at 144 DPI");
    SaveShot("about-144", WindowRectOf(about.form));
    CheckNameWhole(about, dpi);
    Click(about.Command1);
    app.WaitGone(about.form, "the About window");

    const EditorWindow editor = OpenEditor(app, w, kLetterMargin);
    CheckClientSize(editor.form, 291, 186, "the editor at 144 DPI");
    SaveShot("editor-144", WindowRectOf(editor.form));
    ClickCloseBox(editor.form);
    CheckBackToMain(app, w, editor.form, "the editor's close box");

    RunTest(app, w, L"张三", L"李四", L"48", kVerdict40);
    SaveShot("main-144-after-test", WindowRectOf(app.main));
}

// --- faults, faults_readonly: love.dll out of reach or broken --------------------------------------
// Each case checks what the user sees (a clear message, the program still working afterwards) and
// that love.dll keeps every byte.

constexpr std::wstring_view kNoRigFile =
    L"无法在当前文件夹中创建 love.dll，特殊数据暂时不能使用。缘分测试仍可照常进行。";
constexpr std::wstring_view kCannotOpen = L"无法打开 love.dll。";
constexpr std::wstring_view kCannotWrite = L"无法写入 love.dll。";

// Tom and Mary score 0: no count-up, so a test's time is the program's own.
constexpr std::wstring_view kBoy = L"Tom", kGirl = L"Mary";

// The hidden path when love.dll cannot be opened: an error over the About window, which stays
// open; no editor.
void ExpectHiddenPathRefused(const App& app, const MainWindow& w, const AboutWindow& about) {
    MouseClick(about.form, kLetter.x, kLetter.y, true);
    app.Answer(kErrorTitle, kCannotOpen, about.form);
    app.CheckNoBoxFor(300, "after the hidden path was refused");
    Check(Visible(about.form) && !app.Window(kEditorCaption) && !IsWindowEnabled(w.form),
          "after the refused hidden path the About window should stay open, without the editor");
}

// OK in the editor when love.dll cannot be replaced: an error over the editor, which stays open
// with what was typed.
void ExpectSaveRefused(const App& app, const MainWindow& w, const EditorWindow& editor, const std::string& when) {
    Fill(editor, L"Bob", L"Eve", L"55");
    Click(editor.Command1);
    app.Answer(kErrorTitle, kCannotWrite, editor.form);
    app.CheckNoBoxFor(300, when + ", after the error");
    Check(Visible(editor.form) && !IsWindowEnabled(w.form), when + ": the editor did not stay open after the error");
    CheckText(editor.Text1, L"Bob", when + ": the boy's name after the error");
    CheckText(editor.Text3, L"55", when + ": the score after the error");
}

void SaveWorks(const App& app, const MainWindow& w, const EditorWindow& editor, const std::string& when) {
    Click(editor.Command1);
    app.Answer(kSavedTitle, kSaved, editor.form);
    CheckBackToMain(app, w, editor.form, when);
    CheckLoveDll(app, Record(1, "Bob", "Eve", "55"), when);
    RunTest(app, w, L"Bob", L"Eve", L"55", kVerdict50);
}

// Another program holds love.dll open without sharing: the hidden path and the editor's save are
// refused with a message; once it lets go, both work.
void HeldOpen() {
    const std::string rigged = Record(1, "Tom", "Ann", "85");
    App app(g_exe, "held", rigged);
    MainWindow w(app.main, 96);
    const auto hold = [&] {
        HANDLE file = CreateFileW(app.LoveDllPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        Check(file != INVALID_HANDLE_VALUE, "cannot hold love.dll open");
        return file;
    };
    HANDLE held = hold();
    AboutWindow about = OpenAbout(app, w);
    ExpectHiddenPathRefused(app, w, about);
    Click(about.Command1);
    app.WaitGone(about.form, "the About window");
    WaitFor([&] { return IsWindowEnabled(w.form) != FALSE; }, "the main window to be enabled");
    CloseHandle(held);

    const EditorWindow editor = OpenEditor(app, w);
    held = hold();
    ExpectSaveRefused(app, w, editor, "with love.dll held open");
    CloseHandle(held);
    CheckLoveDll(app, rigged, "after a save refused while it was held open");
    app.CheckFolderHoldsOnlyLoveDll();
    SaveWorks(app, w, editor, "after love.dll was let go");
}

// love.dll deleted while the program runs: a test has the name score and says nothing; the hidden
// path leaves an empty love.dll; the editor saves as usual.
void DeletedWhileRunning() {
    App app(g_exe, "deleted");
    MainWindow w(app.main, 96);
    app.RemoveLoveDll();
    RunTest(app, w, L"张三", L"李四", L"48", kVerdict40);
    Check(GetFileAttributesW(app.LoveDllPath().c_str()) == INVALID_FILE_ATTRIBUTES, "a test made love.dll again");
    OnceMore(w);
    const EditorWindow editor = OpenEditor(app, w);
    CheckLoveDll(app, "", "after the hidden path without love.dll");
    Fill(editor, L"Bob", L"Eve", L"55");
    SaveWorks(app, w, editor, "after love.dll was deleted");
}

// One test of Tom and Mary, with the error the file should raise first: seconds from the click to
// the first message.
double TimedTest(const App& app, const MainWindow& w, std::optional<std::wstring_view> error, const std::string& what) {
    OnceMore(w);
    const double start = Now();
    Click(w.Command1);
    app.WaitBox();
    const double seconds = Now() - start;
    if (error) app.Answer(kErrorTitle, *error, w.form);
    app.Answer(kVerdictTitle, kVerdict0, w.form);
    WaitFor([&] { return Visible(w.Command4) && Text(w.Command1) == kStart; }, what + ": the end of the test");
    CheckResult(w, L"", "after the test with " + what);
    return seconds;
}

// Hand-edited files beyond the format's limits: the program says what is wrong, goes on with the
// name score, within about the time of a normal test and without taking the file into memory.
void HandEdited() {
    App app(g_exe, "hand-edited");
    MainWindow w(app.main, 96);
    SetText(w.Text1, kBoy);
    SetText(w.Text2, kGirl);
    RunTest(app, w, kBoy, kGirl, L"", kVerdict0);
    const double normal = TimedTest(app, w, std::nullopt, "the initial record");
    const std::size_t peakBefore = app.PeakWorkingSet();

    // Garbage and names past the limits are the fuzzer's and the unit tests' business; here the
    // sizes that could cost time or memory.
    const struct {
        const char* name;
        std::string bytes;
        std::wstring_view error;
    } files[] = {
        {"a file over 10 MB", "1,\"Tom\",\"Mary\",50\r\n" + std::string(10'500'000, 'x'),
         L"love.dll 超过 1 MB，太大了，没有读取。"},
        {"a pair count of 32767", "32767,\"Tom\",\"Mary\",50\r\n", L"love.dll 里的作弊个数超过了 100。"},
    };
    for (const auto& file : files) {
        app.WriteLoveDll(file.bytes);
        const double seconds = TimedTest(app, w, file.error, file.name);
        std::printf("     %s: %.2f s to the first message (a normal test: %.2f s)\n", file.name, seconds, normal);
        Check(seconds < normal + 3, std::string("with ") + file.name + " the test took " + std::to_string(seconds) +
                                        " s to its first message, a normal one " + std::to_string(normal) + " s");
        Check(app.LoveDll() == file.bytes, std::string("love.dll with ") + file.name + " was changed by a test");
    }
    const double grownMb = static_cast<double>(app.PeakWorkingSet() - peakBefore) / (1 << 20);
    std::printf("     peak working set grew by %.1f MB\n", grownMb);
    Check(grownMb < 64, "the broken files made the program's peak memory grow by " + std::to_string(grownMb) + " MB");
}

// The driver runs under Wine and cannot make a file immutable: chattr-service.sh, which runs it,
// does so on request for a path below TAMSORY_FAULTS_DIR.
std::wstring FaultsDir() {
    wchar_t dir[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"TAMSORY_FAULTS_DIR", dir, MAX_PATH);
    Check(n > 0 && n < MAX_PATH, "TAMSORY_FAULTS_DIR is not set: run this suite through chattr-service.sh");
    return dir;
}

void SetImmutable(const std::wstring& path, bool immutable) {
    const std::wstring root = FaultsDir() + L"\\";
    Check(path.starts_with(root), "cannot change " + Utf8(path) + ": not below " + Utf8(root));
    std::string relative = Utf8(path.substr(root.size()));
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const std::string request = (immutable ? "+i " : "-i ") + relative + "\n";
    const std::wstring pending = root + L"chattr.request.tmp", ask = root + L"chattr.request",
                       reply = root + L"chattr.reply";
    DeleteFileW(reply.c_str());
    HANDLE file = CreateFileW(pending.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    Check(file != INVALID_HANDLE_VALUE &&
              WriteFile(file, request.data(), static_cast<DWORD>(request.size()), &written, nullptr),
          "cannot write a chattr request");
    CloseHandle(file);
    Check(MoveFileExW(pending.c_str(), ask.c_str(), MOVEFILE_REPLACE_EXISTING), "cannot place a chattr request");
    WaitFor([&] { return GetFileAttributesW(reply.c_str()) != INVALID_FILE_ATTRIBUTES; }, "chattr-service.sh");
    char answer[256] = {};
    file = CreateFileW(reply.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ReadFile(file, answer, sizeof answer - 1, &written, nullptr);
    CloseHandle(file);
    DeleteFileW(reply.c_str());
    Check(std::string_view(answer).starts_with("ok"), "chattr " + request + " failed: " + answer);
}

StartOptions InReadOnlyFolder(std::optional<std::string> loveDll) {
    const bool withFile = loveDll.has_value();  // without it, a message comes before the main window
    return {.loveDll = std::move(loveDll),
            .parent = FaultsDir(),
            .beforeStart = [](const std::wstring& folder) { SetImmutable(folder, true); },
            .waitForMain = withFile};
}

// A read-only working folder without love.dll: one message at start-up, then the tests work; the
// hidden path says it cannot open love.dll.
void ReadOnlyFolder() {
    App app(g_exe, "ro-folder", InReadOnlyFolder(std::nullopt));
    const Box box = app.WaitBox();
    Check(box.title == kErrorTitle && box.text == kNoRigFile,
          "at start-up in a read-only folder came " + Quote(box.text) + " titled " + Quote(box.title));
    Check(box.owner && ClassOf(box.owner) == L"TamsoryForm", "the start-up message has no owner in the program");
    PostMessageW(box.hwnd, WM_COMMAND, IDOK, 0);
    MainWindow w(app.WaitMain(), 96);
    Check(box.owner == w.form, "the start-up message is not owned by the main window");
    app.CheckNoBoxFor(300, "after the start-up message");
    CheckReady(w, kFirstStart, "in a read-only folder");

    const AboutWindow about = OpenAbout(app, w);
    ExpectHiddenPathRefused(app, w, about);
    Click(about.Command1);
    app.WaitGone(about.form, "the About window");
    RunTest(app, w, L"张三", L"李四", L"48", kVerdict40);
    Check(GetFileAttributesW(app.LoveDllPath().c_str()) == INVALID_FILE_ATTRIBUTES, "love.dll appeared");
}

// A read-only working folder with love.dll: the editor opens, its save is refused and loses nothing.
void ReadOnlyFolderWithFile() {
    const std::string rigged = Record(1, "Tom", "Ann", "85");
    App app(g_exe, "ro-folder-file", InReadOnlyFolder(rigged));
    MainWindow w(app.main, 96);
    const EditorWindow editor = OpenEditor(app, w);
    ExpectSaveRefused(app, w, editor, "in a read-only folder");
    CheckLoveDll(app, rigged, "after a save refused in a read-only folder");
    app.CheckFolderHoldsOnlyLoveDll();
    ClickCloseBox(editor.form);
    CheckBackToMain(app, w, editor.form, "the editor's close box");
    RunTest(app, w, L"Tom", L"Ann", L"85", kVerdict80);
}


}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::map<std::wstring, std::vector<Case>> suites{
        {L"main",
         {{"start-up", StartUp},
          {"empty names", EmptyNames},
          {"a whole test", WholeTest},
          {"a rigged pair", RiggedPair}}},
        {L"about_editor",
         {{"About opens and closes", AboutOpenClose},
          {"the hidden letter", HiddenLetter},
          {"the editor stores", EditorStores},
          {"the editor refuses", EditorRefusals}}},
        {L"dpi144", {{"144 DPI", HighDpi}}},
        {L"faults",
         {{"love.dll held open", HeldOpen},
          {"love.dll deleted while running", DeletedWhileRunning},
          {"hand-edited files", HandEdited}}},
        {L"faults_readonly",
         {{"a read-only folder", ReadOnlyFolder},
          {"a read-only folder with love.dll", ReadOnlyFolderWithFile}}},
    };
    if ((argc != 4 && argc != 5) || !suites.count(argv[3])) {
        std::fprintf(stderr,
                     "usage: e2e_driver <Tamsory.exe> <artifacts folder> main|about_editor|dpi144|faults|faults_readonly "
                     "[case]\n");
        return 2;
    }
    g_exe = argv[1];
    return RunCases(argv[2], suites.at(argv[3]), argc == 5 ? argv[4] : nullptr);
}
