// A window built from its design: a top-level window with real child controls (EDIT, STATIC,
// BUTTON), laid out from twips at the DPI of its monitor.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "ui/forms.h"
#include "ui/win32/handles_win.h"
#include "ui/win32/picture_win.h"

namespace win {

class Toolkit;

class Form final : public forms::Form {
public:
    Form(Toolkit& toolkit, const forms::FormDesign& design);
    ~Form() override;

    forms::TextBox& TextBoxNamed(std::string_view name) override;
    forms::Label& LabelNamed(std::string_view name) override;
    forms::Button& ButtonNamed(std::string_view name) override;

    void Show() override;
    void Unload() override;
    void SetEnabled(bool enabled) override;
    void Repaint() override;
    void MsgBox(std::u16string_view text, forms::MsgStyle style, std::u16string_view title) override;
    // Transparent labels changed since they were last drawn get a WM_DRAWITEM after all.
    void InvalidateChangedLabels();

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    struct Control;  // one child window and the state it shows

private:
    using FontKey = std::tuple<std::u16string_view, int, bool, int>;

    void Load();
    void CreateControls();
    void ApplyDpi(UINT dpi);
    HFONT FontFor(const forms::Font& font);
    const forms::Font& ControlFont(const Control& control) const;
    HBRUSH BrushFor(COLORREF color);
    Control* ControlByHwnd(HWND hwnd);
    Control& ControlNamed(std::string_view name, forms::ControlKind kind);
    RECT PixelRect(const forms::TwipsRect& twips) const;
    void PaintBackground(HDC dc, POINT origin, SIZE size);
    void Fire(const std::function<void()>& handler);
    bool TakesInput() const;

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnCtlColor(HDC dc, HWND control, bool edit);
    void OnCommand(int id, int code);
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    void OnActivate(bool active);
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    void OnNcDestroy();
    void DrawGraphicalButton(const Control& control, const DRAWITEMSTRUCT& item);
    void DrawTransparentLabel(Control& control, HDC dc);
    void DrawIconBox(const DRAWITEMSTRUCT& item);

    Toolkit& toolkit_;
    const forms::FormDesign& design_;
    std::vector<std::unique_ptr<Control>> controls_;
    HWND hwnd_ = nullptr;
    HWND focus_ = nullptr;  // the control to give the focus back to when the window is activated
    UINT dpi_ = 96;
    bool unloading_ = false;
    bool updatePending_ = false;  // a control other than a transparent label changed since Repaint

    // Per-DPI resources, made once and rebuilt when the DPI changes.
    std::map<FontKey, unique_hfont> fonts_;
    std::map<COLORREF, unique_hbrush> brushes_;
    Picture picture_;
    unique_hbitmap canvas_;         // off-screen drawing of the transparent labels
    unique_hdc pictureDc_, canvasDc_;  // after the bitmaps selected into them: destroyed first
    HFONT canvasFont_ = nullptr;       // the font selected into canvasDc_, one of fonts_
    unique_hicon bigIcon_, smallIcon_, boxIcon_;
};

}  // namespace win
