// The floors of the start-up benchmark: one window, built as Tamsory.exe is (static runtime,
// Unicode entry point) and shown as it is shown: ShowWindow, then a synchronous UpdateWindow.
// minimal_win.exe has no manifest; minimal_themed.exe is the same code with Tamsory's manifest;
// minimal_traced.exe is the themed one with the marks of Tamsory_traced.exe.
// With MINIMAL_WITH_CONTROLS (minimal_controls.exe, minimal_controls_traced.exe) the themed window
// also gets the main window's child controls, made as Tamsory makes them: the same classes, styles,
// places, captions and fonts, in the same order, the hidden ones never shown. Nothing else: no
// picture, no icons, no colours, no handlers, and no painting but what an owner-drawn control
// must have drawn for it (see DrawOwnerDrawn).
#include <windows.h>

#include <iterator>

#include "ui/win32/dpi_win.h"
#include "ui/win32/trace_win.h"

namespace {

#ifdef MINIMAL_WITH_CONTROLS

// The main window's fonts (ui/Main.cpp): its name boxes', its score's, its "." button's, and the
// window's own, which its owner-drawn buttons use.
struct FontDesign {
    const wchar_t* face;
    int hundredthsOfPoint;
    bool bold;
};
constexpr FontDesign kFonts[] = {
    {L"宋体", 1050, false}, {L"黑体", 2775, true}, {L"华康少女文字W5(P)", 900, false}, {L"宋体", 900, false}};

// The main window's controls in its design's order, as Form::CreateControls makes them once the
// load handler has emptied the name boxes and hidden the exit and once-more buttons.
struct ChildDesign {
    const wchar_t* cls;
    DWORD style;
    DWORD exStyle;
    const wchar_t* caption;
    int left, top, width, height;  // twips
    int font;                      // into kFonts
};
constexpr DWORD kChild = WS_CHILD | WS_CLIPSIBLINGS;
constexpr DWORD kEdit = kChild | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
constexpr ChildDesign kChildren[] = {
    {L"EDIT", kEdit, WS_EX_CLIENTEDGE, L"", 330, 1875, 915, 345, 0},
    {L"STATIC", kChild | WS_VISIBLE | SS_NOPREFIX | SS_OWNERDRAW, 0, L"", 1620, 1575, 1080, 615, 1},
    {L"EDIT", kEdit, WS_EX_CLIENTEDGE, L"", 3240, 1215, 870, 315, 0},
    {L"BUTTON", kChild | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, L".", 4365, 3225, 105, 120, 2},
    {L"BUTTON", kChild | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0, L"OK！开始测试", 1320, 2400, 1590, 405, 3},
    {L"BUTTON", kChild | WS_TABSTOP | BS_OWNERDRAW, 0, L"退出", 1410, 2295, 510, 570, 3},
    {L"BUTTON", kChild | WS_TABSTOP | BS_OWNERDRAW, 0, L"再来一次", 2400, 2310, 525, 555, 3},
};

using Fonts = HFONT[std::size(kFonts)];

// The controls and their fonts at the window's DPI, as Tamsory lays them out: edges scaled from
// twips, fonts from points, Chinese character set.
bool CreateControls(HWND window, HINSTANCE instance, Fonts& fonts) {
    const UINT dpi = GetDpiForWindow(window);
    for (size_t i = 0; i < std::size(kFonts); ++i) {
        LOGFONTW lf{};
        lf.lfHeight = win::FontHeight(kFonts[i].hundredthsOfPoint, dpi);
        lf.lfWeight = kFonts[i].bold ? FW_BOLD : FW_NORMAL;
        lf.lfQuality = CLEARTYPE_QUALITY;
        lf.lfCharSet = GB2312_CHARSET;
        lstrcpynW(lf.lfFaceName, kFonts[i].face, LF_FACESIZE);
        if (!(fonts[i] = CreateFontIndirectW(&lf))) return false;
    }
    int id = 1000;
    for (const ChildDesign& c : kChildren) {
        const int left = win::TwipsToPixels(c.left, dpi), top = win::TwipsToPixels(c.top, dpi);
        HWND child = CreateWindowExW(c.exStyle, c.cls, c.caption, c.style, left, top,
                                     win::TwipsToPixels(c.left + c.width, dpi) - left,
                                     win::TwipsToPixels(c.top + c.height, dpi) - top, window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
        if (!child) return false;
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(fonts[c.font]), FALSE);
    }
    return true;
}

// An owner-drawn control shows nothing unless its owner draws it. A button gets a plain face and
// its caption; the score, empty at start, the window's colour.
void DrawOwnerDrawn(const DRAWITEMSTRUCT& item) {
    RECT r = item.rcItem;
    if (item.CtlType != ODT_BUTTON) {
        FillRect(item.hDC, &r, GetSysColorBrush(COLOR_WINDOW));
        return;
    }
    DrawFrameControl(item.hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | ((item.itemState & ODS_SELECTED) ? DFCS_PUSHED : 0));
    wchar_t caption[32] = {};
    GetWindowTextW(item.hwndItem, caption, 32);
    const HGDIOBJ old = SelectObject(item.hDC, reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    SetBkMode(item.hDC, TRANSPARENT);
    DrawTextW(item.hDC, caption, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item.hDC, old);
}

#endif

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
#ifdef MINIMAL_WITH_CONTROLS
    if (message == WM_DRAWITEM) {
        DrawOwnerDrawn(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    }
#endif
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    win::TraceStage("C++ runtime to wWinMain");
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"TamsoryMinimal";
    if (!RegisterClassExW(&wc)) return 1;
    win::TraceStage("window class registered");
#ifdef MINIMAL_WITH_CONTROLS
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;  // as Tamsory's, with children
#else
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
#endif
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"minimal", style, CW_USEDEFAULT, 0, 310, 260, nullptr, nullptr,
                                  instance, nullptr);
    if (!window) return 1;
    win::TraceStage("main window created");
#ifdef MINIMAL_WITH_CONTROLS
    Fonts fonts{};
    if (!CreateControls(window, instance, fonts)) return 1;
    win::TraceStage("controls created");
#endif
    ShowWindow(window, SW_SHOWNORMAL);
    win::TraceStage("shown");
    UpdateWindow(window);
    win::TraceDone();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
#ifdef MINIMAL_WITH_CONTROLS
    for (HFONT font : fonts) DeleteObject(font);  // the window and its controls are gone
#endif
    return static_cast<int>(msg.wParam);
}
