#include "ui/win32/form_win.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "ui/win32/dpi_win.h"
#include "ui/win32/toolkit_win.h"
#include "ui/win32/trace_win.h"

namespace win {
namespace {

constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;  // fixed single border
constexpr int kFirstControlId = 1000;  // clear of IDOK and IDCANCEL, which Enter and Esc send

std::wstring Wide(std::u16string_view text) { return {text.begin(), text.end()}; }

COLORREF Resolve(const forms::Color& color) {
    return color.systemIndex >= 0 ? GetSysColor(color.systemIndex) : RGB(color.r, color.g, color.b);
}

// Splits a caption into lines that fit the width, breaking between any two characters, as
// the captions are Chinese and have no spaces to break at. Each line holds at least one.
std::vector<std::wstring> WrapToWidth(HDC dc, const std::wstring& text, int width) {
    // One measurement for the whole caption: the width of every prefix.
    std::vector<int> ends(text.size());
    SIZE all{};
    GetTextExtentExPointW(dc, text.c_str(), static_cast<int>(text.size()), 0, nullptr, ends.data(), &all);
    std::vector<std::wstring> lines;
    for (size_t start = 0; start < text.size();) {
        const int before = start ? ends[start - 1] : 0;
        size_t end = start + 1;
        while (end < text.size() && ends[end] - before <= width) ++end;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

}  // namespace

// One control of the window: its design, its child window, and what it shows, kept here so
// that it survives a repaint or a change of DPI. Reset from the design at every load.
struct Form::Control : forms::TextBox, forms::Label, forms::Button {
    Control(Form& form, const forms::ControlDesign& design, int id) : form(form), design(design), id(id) { Reset(); }

    void Reset() {
        caption = design.caption;
        foreColor = design.foreColor.value_or(forms::Color::System(forms::kButtonTextColor));
        visible = true;
        changed = invalidated = textPending = false;
    }

    // Text box
    std::u16string Text() const override {
        if (!hwnd) return caption;
        std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
        text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
        return {text.begin(), text.end()};
    }
    void SetText(std::u16string_view text) override { SetCaption(text); }

    // Label and button
    std::u16string Caption() const override { return caption; }
    void SetCaption(std::u16string_view text) override {
        caption = text;
        if (!hwnd) return;
        if (IsTransparentLabel()) {
            // Answered from `caption` (see LabelProc); the window manager's copy of the text is
            // brought up to date when the program next waits for messages, not a hundred times
            // during a count-up.
            textPending = true;
            Invalidate();
        } else if (IsOwnerDrawn()) {
            // The window keeps the text for screen readers and WM_GETTEXT; we paint it. The
            // controls' own WM_SETTEXT would paint at once, and Repaint paints again: twice the
            // work for every number of the count-up.
            DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
            Invalidate();
        } else {
            SetWindowTextW(hwnd, Wide(text).c_str());
            form.updatePending_ = true;
        }
    }
    void SetForeColor(forms::Color color) override {
        foreColor = color;
        if (hwnd) Invalidate();
    }
    void SetVisible(bool show) override {
        visible = show;
        if (!hwnd) return;
        form.updatePending_ = true;
        const bool hadFocus = GetFocus() == hwnd;
        ShowWindow(hwnd, show ? SW_SHOWNA : SW_HIDE);
        // A hidden control cannot keep the keyboard focus: hand it on in tab order.
        if (hadFocus && !show) {
            if (HWND next = GetNextDlgTabItem(form.hwnd_, hwnd, FALSE); next && next != hwnd) SetFocus(next);
        }
    }

    // A transparent label is not invalidated when it changes, since each invalidation (and the
    // validation after drawing) is a trip to the window manager, and the count-up changes colour
    // and number at every step: Repaint draws it straight onto the screen. One that changed
    // without a Repaint is invalidated before the program next waits for messages (see
    // Toolkit::InvalidateChangedLabels). Any other control is invalidated at once.
    void Invalidate() {
        if (IsTransparentLabel()) {
            changed = true;
            form.toolkit_.LabelsChanged(form);
            return;
        }
        InvalidateRect(hwnd, nullptr, FALSE);
        form.updatePending_ = true;
    }

    bool IsTransparentLabel() const { return design.kind == forms::ControlKind::Label && design.transparent; }
    bool IsOwnerDrawn() const {
        return IsTransparentLabel() || design.kind == forms::ControlKind::GraphicalButton ||
               design.kind == forms::ControlKind::PictureBox;
    }

    Form& form;
    const forms::ControlDesign& design;
    const int id;
    HWND hwnd = nullptr;
    std::u16string caption;
    forms::Color foreColor;
    bool visible = true;
    std::vector<Control*> beneath;  // transparent labels: the controls they lie on, bottom first
    // Transparent labels: changed and not drawn since; invalidated, so that a WM_DRAWITEM will come;
    // the caption not yet given to the window manager. The static control's own window procedure.
    bool changed = false, invalidated = false, textPending = false;
    WNDPROC staticProc = nullptr;
};

namespace {

// A transparent label's window procedure: its text is the caption the program set, even before
// the window manager has a copy (screen readers and other programs ask with WM_GETTEXT).
LRESULT CALLBACK LabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* c = reinterpret_cast<const Form::Control*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_GETTEXTLENGTH) return static_cast<LRESULT>(c->caption.size());
    if (message == WM_GETTEXT) {
        if (wParam == 0) return 0;
        const size_t n = std::min(c->caption.size(), static_cast<size_t>(wParam) - 1);
        auto* out = reinterpret_cast<wchar_t*>(lParam);
        std::copy_n(c->caption.begin(), n, out);
        out[n] = L'\0';
        return static_cast<LRESULT>(n);
    }
    return CallWindowProcW(c->staticProc, hwnd, message, wParam, lParam);
}

}  // namespace

Form::Form(Toolkit& toolkit, const forms::FormDesign& design) : toolkit_(toolkit), design_(design) {
    int id = kFirstControlId;
    for (const forms::ControlDesign& control : design.controls) {
        controls_.push_back(std::make_unique<Control>(*this, control, id++));
    }
}

Form::~Form() {
    toolkit_.Forget(*this);
    if (hwnd_) DestroyWindow(hwnd_);
}

Form::Control& Form::ControlNamed(std::string_view name, forms::ControlKind kind) {
    for (auto& control : controls_) {
        const forms::ControlKind k = control->design.kind;
        const bool sameKind = k == kind || (kind == forms::ControlKind::Button && k == forms::ControlKind::GraphicalButton);
        if (control->design.name == name && sameKind) return *control;
    }
    throw std::invalid_argument("no such control: " + std::string(name));
}

forms::TextBox& Form::TextBoxNamed(std::string_view name) { return ControlNamed(name, forms::ControlKind::TextBox); }
forms::Label& Form::LabelNamed(std::string_view name) { return ControlNamed(name, forms::ControlKind::Label); }
forms::Button& Form::ButtonNamed(std::string_view name) { return ControlNamed(name, forms::ControlKind::Button); }

Form::Control* Form::ControlByHwnd(HWND hwnd) {
    for (auto& control : controls_) {
        if (control->hwnd == hwnd) return control.get();
    }
    return nullptr;
}

RECT Form::PixelRect(const forms::TwipsRect& t) const {
    // Edges are scaled, not sizes, so that controls that touch in the design still touch.
    return {TwipsToPixels(t.left, dpi_), TwipsToPixels(t.top, dpi_), TwipsToPixels(t.left + t.width, dpi_),
            TwipsToPixels(t.top + t.height, dpi_)};
}

// --- Loading and unloading -------------------------------------------------------------------

void Form::Load() {
    if (hwnd_) return;
    for (auto& control : controls_) control->Reset();
    dpi_ = SystemDpi();
    RECT frame{0, 0, TwipsToPixels(design_.clientWidthTwips, dpi_), TwipsToPixels(design_.clientHeightTwips, dpi_)};
    AdjustWindowRectForDpi(&frame, kFormStyle, 0, dpi_);
    // Hidden until Show, so that the load handler runs before the window is first seen.
    CreateWindowExW(0, MAKEINTATOM(toolkit_.FormClass()), Wide(design_.caption).c_str(), kFormStyle, CW_USEDEFAULT,
                    0, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, toolkit_.Instance(),
                    this);
    if (!hwnd_) throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "CreateWindowExW");
    toolkit_.FormLoaded();
    TraceStage("main window created");

    // The window may have landed on a monitor whose DPI is not the system's.
    const UINT actual = DpiForWindow(hwnd_);
    if (actual != dpi_) {
        RECT resized{0, 0, TwipsToPixels(design_.clientWidthTwips, actual), TwipsToPixels(design_.clientHeightTwips, actual)};
        AdjustWindowRectForDpi(&resized, kFormStyle, 0, actual);
        SetWindowPos(hwnd_, nullptr, 0, 0, resized.right - resized.left, resized.bottom - resized.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ApplyDpi(actual);

    // Keep the whole window on its monitor's work area.
    RECT window;
    GetWindowRect(hwnd_, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        const LONG x = std::max(work.left, std::min(window.left, work.right - (window.right - window.left)));
        const LONG y = std::max(work.top, std::min(window.top, work.bottom - (window.bottom - window.top)));
        if (x != window.left || y != window.top) {
            SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    TraceStage("placed on its monitor");

    // The load handler sets the controls up before their windows exist, so that each is made
    // once, in the state it is first seen in: the main window's hidden buttons are never shown
    // and hidden again, nor its name boxes filled with their design captions and emptied.
    if (onLoad) onLoad();
    TraceStage("load handler");
    CreateControls();
    TraceStage("controls created");
    focus_ = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
}

void Form::CreateControls() {
    for (auto& c : controls_) {
        const forms::ControlDesign& d = c->design;
        const wchar_t* cls = L"STATIC";
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (c->visible ? WS_VISIBLE : 0);
        DWORD exStyle = 0;
        switch (d.kind) {
            case forms::ControlKind::TextBox:
                cls = L"EDIT";
                style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            case forms::ControlKind::Label:
                // A transparent label paints itself over the window's background; the others are
                // ordinary statics. Only a label with a double-click handler takes the mouse.
                style |= SS_NOPREFIX | (d.transparent ? SS_OWNERDRAW : (d.centered ? SS_CENTER : SS_LEFT));
                if (c->onDblClick) style |= SS_NOTIFY;
                break;
            case forms::ControlKind::Button:
                cls = L"BUTTON";
                style |= WS_TABSTOP | BS_PUSHBUTTON;
                break;
            case forms::ControlKind::GraphicalButton:
                cls = L"BUTTON";
                style |= WS_TABSTOP | BS_OWNERDRAW;
                break;
            case forms::ControlKind::PictureBox:
                style |= SS_OWNERDRAW;
                break;
        }
        // Made where the design puts it at the window's DPI. Each new child goes below those
        // made before it, so the first control of the design is on top: tab order is z-order.
        const RECT r = PixelRect(d.rect);
        c->hwnd = CreateWindowExW(exStyle, cls, Wide(c->caption).c_str(), style, r.left, r.top, r.right - r.left,
                                  r.bottom - r.top, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c->id)),
                                  toolkit_.Instance(), nullptr);
        if (!c->hwnd) throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "CreateWindowExW");
        if (d.kind == forms::ControlKind::TextBox && d.maxLength > 0) {
            SendMessageW(c->hwnd, EM_LIMITTEXT, static_cast<WPARAM>(d.maxLength), 0);
        }
        if (c->IsTransparentLabel()) {
            SetWindowLongPtrW(c->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(c.get()));
            c->staticProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(c->hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LabelProc)));
        }
        SendMessageW(c->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(ControlFont(*c))), FALSE);
    }
    for (auto& c : controls_) {
        if (c->design.onTop) SetWindowPos(c->hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    // What each transparent label lies on, from the bottom of the z-order up. Overlap in the
    // design is overlap at every DPI, so this holds until the window is unloaded.
    for (auto& c : controls_) {
        if (!c->IsTransparentLabel()) continue;
        const RECT r = PixelRect(c->design.rect);
        c->beneath.clear();
        for (HWND below = GetWindow(c->hwnd, GW_HWNDNEXT); below; below = GetWindow(below, GW_HWNDNEXT)) {
            Control* other = ControlByHwnd(below);
            const RECT theirs = other ? PixelRect(other->design.rect) : RECT{};
            RECT overlap;
            if (other && IntersectRect(&overlap, &r, &theirs)) c->beneath.insert(c->beneath.begin(), other);
        }
    }
}

const forms::Font& Form::ControlFont(const Control& c) const {
    return c.design.font.face.empty() ? design_.defaultFont : c.design.font;
}

// Lays the window out at a DPI: fonts, picture, icons, and the rectangle of every control made.
void Form::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    auto oldFonts = std::move(fonts_);  // freed only after every control has its new font
    fonts_.clear();
    brushes_.clear();
    pictureDc_.reset();  // each DC before the bitmap selected into it
    canvasDc_.reset();
    picture_ = design_.backgroundPicture ? LoadPicture(toolkit_.Instance(), kBackgroundPicture, dpi) : Picture{};
    TraceStage("picture into a bitmap");

    const auto loadIcon = [&](int size) {
        return unique_hicon(static_cast<HICON>(
            LoadImageW(toolkit_.Instance(), MAKEINTRESOURCEW(kHeartIcon), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    };
    // The window class carries the icons at the system's DPI. Only a window at another DPI needs
    // its own: under Wine each WM_SETICON converts both icons for the X server again.
    if (dpi != SystemDpi() || bigIcon_) {
        // The old icons are freed only once the new ones are in place: the taskbar and Alt+Tab
        // may ask the window for its icons at any moment.
        unique_hicon newBig = loadIcon(SystemMetricForDpi(SM_CXICON, dpi));
        unique_hicon newSmall = loadIcon(SystemMetricForDpi(SM_CXSMICON, dpi));
        SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(newBig.get()));
        SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(newSmall.get()));
        bigIcon_ = std::move(newBig);
        smallIcon_ = std::move(newSmall);
    }
    TraceStage("window icons");

    SIZE canvas{1, 1};  // room for the largest transparent label
    for (auto& c : controls_) {
        const RECT r = PixelRect(c->design.rect);
        if (c->IsTransparentLabel()) canvas = {std::max(canvas.cx, r.right - r.left), std::max(canvas.cy, r.bottom - r.top)};
        if (c->design.kind == forms::ControlKind::PictureBox) {
            boxIcon_ = loadIcon(std::max<int>(1, r.right - r.left - 2));  // inside the one-pixel border
        }
        if (!c->hwnd) continue;  // not made yet: CreateControls makes it in place
        MoveWindow(c->hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
        SendMessageW(c->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(ControlFont(*c))), FALSE);
    }

    // Made once here rather than at every paint: the count-up paints its label 100 times.
    HDC screen = GetDC(hwnd_);
    if (picture_.bitmap) {
        pictureDc_.reset(CreateCompatibleDC(screen));
        SelectObject(pictureDc_.get(), picture_.bitmap.get());
    }
    canvas_.reset(CreateCompatibleBitmap(screen, canvas.cx, canvas.cy));
    canvasDc_.reset(CreateCompatibleDC(screen));
    canvasFont_ = nullptr;
    SelectObject(canvasDc_.get(), canvas_.get());
    ReleaseDC(hwnd_, screen);
    // The controls were moved and given their fonts without redrawing, and the window clips its
    // children: each must be told to paint itself again, or it keeps the old DPI's pixels.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    TraceStage("off-screen drawing surfaces");
}

HFONT Form::FontFor(const forms::Font& font) {
    const FontKey key{font.face, font.hundredthsOfPoint, font.bold, font.charset};
    if (auto found = fonts_.find(key); found != fonts_.end()) return found->second.get();

    LOGFONTW lf{};
    lf.lfHeight = FontHeight(font.hundredthsOfPoint, dpi_);
    lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    lf.lfQuality = CLEARTYPE_QUALITY;
    // A face that is not installed (the decorative one rarely is; Song and Hei may be missing
    // outside China) is left to the font mapper: asked for the GB2312 character set, it picks an
    // installed Chinese face of the same size, so the text never shows as boxes.
    lf.lfCharSet = static_cast<BYTE>(font.charset);
    Wide(font.face).copy(lf.lfFaceName, LF_FACESIZE - 1);
    unique_hfont created(CreateFontIndirectW(&lf));
    if (!created) created.reset(CreateFontIndirectW(&(lf = MessageFontForDpi(dpi_))));
    HFONT result = created.get();
    fonts_[key] = std::move(created);
    return result;
}

HBRUSH Form::BrushFor(COLORREF color) {
    unique_hbrush& brush = brushes_[color];
    if (!brush) brush.reset(CreateSolidBrush(color));
    return brush.get();
}

void Form::Show() {
    if (!hwnd_) Load();
    if (!IsWindowVisible(hwnd_)) {
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        TraceStage("shown");
        UpdateWindow(hwnd_);
    } else if (IsWindowEnabled(hwnd_)) {
        SetForegroundWindow(hwnd_);
    }
}

void Form::Unload() {
    if (!hwnd_ || unloading_) return;
    unloading_ = true;
    try {
        if (onUnload) onUnload();
    } catch (...) {
        unloading_ = false;
        throw;
    }
    DestroyWindow(hwnd_);
    unloading_ = false;
}

void Form::SetEnabled(bool enabled) {
    if (hwnd_) EnableWindow(hwnd_, enabled);
}

// Every change of a control invalidates it; this paints all of that now, before returning.
// Invalidating everything instead would make the name boxes flicker through the count-up.
void Form::Repaint() {
    if (!hwnd_) return;
    // A changed transparent label (the count-up's number) is drawn straight onto the screen, and
    // the rest of the window only updated when another control changed: through update regions,
    // a step of the count-up cost Wine twice as much as drawing the number.
    for (auto& c : controls_) {
        if (!c->changed || !IsWindowVisible(c->hwnd)) continue;
        const bool invalidated = c->invalidated;
        // Only copied onto, so the DC needs no reset to defaults when released: under Wine that
        // reset selects the system font again, which reads the X resource files.
        HDC dc = GetDCEx(c->hwnd, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS | DCX_NORESETATTRS);
        DrawTransparentLabel(*c, dc);
        ReleaseDC(c->hwnd, dc);
        if (invalidated) ValidateRect(c->hwnd, nullptr);  // drawn: no WM_DRAWITEM to follow
    }
    if (updatePending_) RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASENOW | RDW_UPDATENOW | RDW_ALLCHILDREN);
    updatePending_ = false;
}

void Form::InvalidateChangedLabels() {
    for (auto& c : controls_) {
        if (!c->hwnd) continue;
        if (c->textPending) {
            // The static's own WM_SETTEXT would paint the text at once, over ours.
            DefWindowProcW(c->hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(c->caption).c_str()));
            c->textPending = false;
        }
        if (!c->changed || c->invalidated) continue;
        InvalidateRect(c->hwnd, nullptr, FALSE);
        c->invalidated = true;
    }
}

void Form::MsgBox(std::u16string_view text, forms::MsgStyle style, std::u16string_view title) {
    toolkit_.InvalidateChangedLabels();  // the box's loop paints them
    MessageBoxW(hwnd_, Wide(text).c_str(), Wide(title).c_str(), MB_OK | static_cast<UINT>(style));
}

bool Form::TakesInput() const { return hwnd_ && IsWindowEnabled(hwnd_) && !toolkit_.CountingUp(); }

// Runs a handler for the user's input, unless the window takes none now: it is disabled (an
// About window or the editor is open, or a message box) or a count-up runs. Clicks sent from
// other programs reach the window even then, and are refused here.
void Form::Fire(const std::function<void()>& handler) {
    if (!handler || !TakesInput()) return;
    try {
        handler();
    } catch (const std::exception& error) {
        // Nothing may unwind through the window procedure.
        const std::string what = error.what();
        MessageBoxW(hwnd_, std::wstring(what.begin(), what.end()).c_str(), L"Tamsory", MB_OK | MB_ICONERROR);
    }
}

// --- Painting --------------------------------------------------------------------------------

// Paints the window's background as seen from `origin` (client coordinates) into `dc`: the
// picture where it lies, the window colour elsewhere.
void Form::PaintBackground(HDC dc, POINT origin, SIZE size) {
    const bool covered = pictureDc_ && origin.x >= 0 && origin.y >= 0 && origin.x + size.cx <= picture_.size.cx &&
                         origin.y + size.cy <= picture_.size.cy;
    if (!covered) {
        const RECT all{0, 0, size.cx, size.cy};
        FillRect(dc, &all, GetSysColorBrush(design_.backgroundPicture ? COLOR_WINDOW : COLOR_BTNFACE));
    }
    if (pictureDc_) BitBlt(dc, -origin.x, -origin.y, picture_.size.cx, picture_.size.cy, pictureDc_.get(), 0, 0, SRCCOPY);
}

void Form::DrawTransparentLabel(Control& c, HDC dc) {
    c.changed = c.invalidated = false;
    const RECT r = PixelRect(c.design.rect);  // where the label lies, borderless
    const POINT origin{r.left, r.top};
    const SIZE size{r.right - r.left, r.bottom - r.top};

    // Drawn off screen and copied in one go, so the number never flickers as it counts.
    const HDC memory = canvasDc_.get();
    if (!memory) return;
    PaintBackground(memory, origin, size);

    // Whatever lies beneath shows through: the controls lower in z-order that this label
    // overlaps (the About window's letter lies on the copyright line) draw themselves first.
    for (const Control* below : c.beneath) {
        if (!IsWindowVisible(below->hwnd)) continue;
        const RECT theirs = PixelRect(below->design.rect);
        POINT previous;
        SetViewportOrgEx(memory, theirs.left - origin.x, theirs.top - origin.y, &previous);
        SendMessageW(below->hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
        SetViewportOrgEx(memory, previous.x, previous.y, nullptr);
    }

    // An empty caption (the score before the first test) leaves its font unused: under Wine the
    // first use of the big Hei face costs the first paint a millisecond or more.
    if (!c.caption.empty()) {
        // The font stays selected from one number to the next: under Wine every selection into a
        // DC made from the screen's reads the X resource files afresh, twice.
        if (HFONT font = FontFor(ControlFont(c)); font != canvasFont_) {
            SelectObject(memory, font);
            canvasFont_ = font;
        }
        SetBkMode(memory, TRANSPARENT);
        SetTextColor(memory, Resolve(c.foreColor));
        RECT text{0, 0, size.cx, size.cy};
        const std::wstring caption = Wide(c.caption);
        DrawTextW(memory, caption.c_str(), static_cast<int>(caption.size()), &text,
                  DT_NOPREFIX | DT_WORDBREAK | (c.design.centered ? DT_CENTER : DT_LEFT));
    }
    BitBlt(dc, 0, 0, size.cx, size.cy, memory, 0, 0, SRCCOPY);
}

void Form::DrawGraphicalButton(const Control& c, const DRAWITEMSTRUCT& item) {
    RECT r = item.rcItem;
    const bool pressed = item.itemState & ODS_SELECTED;
    FillRect(item.hDC, &r, BrushFor(Resolve(c.design.backColor.value_or(forms::Color::System(COLOR_BTNFACE)))));
    DrawEdge(item.hDC, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

    SelectGuard selectFont(item.hDC, reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor((item.itemState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    const int border = MulDiv(2, static_cast<int>(dpi_), 96);
    const std::vector<std::wstring> lines = WrapToWidth(item.hDC, Wide(c.caption), r.right - r.left - 2 * border);
    TEXTMETRICW metrics{};
    GetTextMetricsW(item.hDC, &metrics);
    const int lineHeight = metrics.tmHeight;
    int y = r.top + (r.bottom - r.top - lineHeight * static_cast<int>(lines.size())) / 2 + (pressed ? 1 : 0);
    for (const std::wstring& line : lines) {
        RECT lineRect{r.left + (pressed ? 1 : 0), y, r.right + (pressed ? 1 : 0), y + lineHeight};
        DrawTextW(item.hDC, line.c_str(), static_cast<int>(line.size()), &lineRect, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
        y += lineHeight;
    }
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT focus = r;
        InflateRect(&focus, -(border + 1), -(border + 1));
        DrawFocusRect(item.hDC, &focus);
    }
}

// The icon in a one-pixel flat border on the window colour.
void Form::DrawIconBox(const DRAWITEMSTRUCT& item) {
    RECT r = item.rcItem;
    FillRect(item.hDC, &r, GetSysColorBrush(COLOR_WINDOW));
    FrameRect(item.hDC, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
    if (boxIcon_) {
        DrawIconEx(item.hDC, r.left + 1, r.top + 1, boxIcon_.get(), r.right - r.left - 2, r.bottom - r.top - 2, 0,
                   nullptr, DI_NORMAL);
    }
}

// --- Messages --------------------------------------------------------------------------------

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Form* self = nullptr;
    if (message == WM_NCCREATE) {
        // Attach the object to its window before any other message arrives.
        self = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    return self ? self->HandleMessage(message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(hwnd_, &client);
            PaintBackground(reinterpret_cast<HDC>(wParam), {0, 0}, {client.right, client.bottom});
            return 1;
        }
        case WM_CTLCOLOREDIT:
            return OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), true);
        case WM_CTLCOLORSTATIC:
            return OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), false);
        case WM_DRAWITEM:
            OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CLOSE:
            // The close box unloads the window, running its unload handler; a disabled window
            // (or one counting up) ignores it.
            if (TakesInput()) Fire([this] { Unload(); });
            return 0;
        case WM_ACTIVATE:
            OnActivate(LOWORD(wParam) != WA_INACTIVE);
            return 0;
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_NCDESTROY:
            OnNcDestroy();
            return 0;
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

// Text box backgrounds and the colours of the ordinary labels.
LRESULT Form::OnCtlColor(HDC dc, HWND child, bool edit) {
    const Control* c = ControlByHwnd(child);
    if (edit) {
        if (!c || !c->design.backColor) return DefWindowProcW(hwnd_, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child));
        const COLORREF back = Resolve(*c->design.backColor);
        SetBkColor(dc, back);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(BrushFor(back));
    }
    SetTextColor(dc, c ? Resolve(c->foreColor) : GetSysColor(COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void Form::OnCommand(int id, int code) {
    if (id < kFirstControlId || id >= kFirstControlId + static_cast<int>(controls_.size())) return;
    Control& c = *controls_[static_cast<size_t>(id - kFirstControlId)];
    switch (c.design.kind) {
        case forms::ControlKind::Button:
        case forms::ControlKind::GraphicalButton:
            // An owner-drawn button reports a quick second click as a double-click. A hidden
            // button takes no clicks, not even one posted by another program.
            if ((code == BN_CLICKED || code == BN_DOUBLECLICKED) && IsWindowVisible(c.hwnd)) Fire(c.onClick);
            break;
        case forms::ControlKind::Label:
            if (code == STN_DBLCLK) Fire(c.onDblClick);
            break;
        default:
            break;
    }
}

void Form::OnDrawItem(const DRAWITEMSTRUCT& item) {
    Control* c = ControlByHwnd(item.hwndItem);
    if (!c) return;
    if (c->design.kind == forms::ControlKind::GraphicalButton) DrawGraphicalButton(*c, item);
    if (c->IsTransparentLabel()) DrawTransparentLabel(*c, item.hDC);
    if (c->design.kind == forms::ControlKind::PictureBox) DrawIconBox(item);
}

// The keyboard focus leaves with the window and comes back to the same control.
void Form::OnActivate(bool active) {
    if (active) {
        if (focus_ && IsWindow(focus_) && IsWindowVisible(focus_)) {
            SetFocus(focus_);
        } else if (HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE)) {
            SetFocus(first);
        }
    } else if (HWND focused = GetFocus(); focused && IsChild(hwnd_, focused)) {
        focus_ = focused;
    }
}

void Form::OnDpiChanged(UINT dpi, const RECT& suggested) {
    ApplyDpi(dpi);
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::OnNcDestroy() {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
    focus_ = nullptr;
    for (auto& c : controls_) c->hwnd = nullptr;
    pictureDc_.reset();  // the DCs first: a font or bitmap still selected into one is not freed
    canvasDc_.reset();
    canvasFont_ = nullptr;
    fonts_.clear();
    brushes_.clear();
    picture_ = {};
    canvas_.reset();
    bigIcon_.reset();
    smallIcon_.reset();
    boxIcon_.reset();
    toolkit_.FormUnloaded();
}

}  // namespace win
