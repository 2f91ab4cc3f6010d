// The few controls the three windows are written against. ui/win32 makes them real with Win32
// child windows; the handler tests use a fake that keeps state. Add a member only when a
// handler needs it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace forms {

// A colour as the windows set it: a fixed red, green, blue triple or a system colour by index.
struct Color {
    std::uint8_t r = 0, g = 0, b = 0;
    int systemIndex = -1;  // GetSysColor index when >= 0

    static constexpr Color Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return {r, g, b, -1}; }
    static constexpr Color System(int index) { return {0, 0, 0, index}; }
    friend bool operator==(const Color&, const Color&) = default;
};
inline constexpr int kButtonTextColor = 18;  // COLOR_BTNTEXT
inline constexpr int kWindowColor = 5;       // COLOR_WINDOW

// Message box styles the program uses: one OK button and an icon.
enum class MsgStyle { Exclamation = 48, Information = 64 };

// --- Designs: what a window looks like before any handler runs -------------------------------

enum class ControlKind {
    TextBox,
    Label,
    Button,             // standard push button
    GraphicalButton,    // push button painted in its own face colour
    PictureBox,         // shows the program's icon with a flat one-pixel border
};

struct Font {
    std::u16string_view face;  // empty: the window's default font
    int hundredthsOfPoint = 0;
    bool bold = false;
    int charset = 134;  // GB2312
};

struct TwipsRect {
    int left, top, width, height;
};

struct ControlDesign {
    ControlKind kind;
    std::string_view name;  // Text1, Label4, Command1, ...
    TwipsRect rect;
    std::u16string_view caption;  // the text of a text box, the caption of a label or button
    Font font{};
    std::optional<Color> foreColor{};
    std::optional<Color> backColor{};  // text box background, graphical button face
    int maxLength = 0;                 // text boxes: at most this many characters (0: no limit)
    bool transparent = false;          // labels: draw over whatever lies behind
    bool centered = false;             // labels: centre the text
    bool onTop = false;                // drawn above (and hit before) the controls it overlaps
};

// A window's design. Controls are listed in tab order.
struct FormDesign {
    std::string_view name;  // Main, about, newcht
    std::u16string_view caption;
    int clientWidthTwips, clientHeightTwips;
    Font defaultFont;
    bool backgroundPicture = false;  // the main window's picture, drawn at natural size from the top-left
    std::span<const ControlDesign> controls;
};

// --- Live controls -----------------------------------------------------------------------------

class TextBox {
public:
    virtual ~TextBox() = default;
    virtual std::u16string Text() const = 0;
    virtual void SetText(std::u16string_view text) = 0;
};

class Label {
public:
    virtual ~Label() = default;
    virtual std::u16string Caption() const = 0;
    virtual void SetCaption(std::u16string_view caption) = 0;
    virtual void SetForeColor(Color color) = 0;

    std::function<void()> onDblClick;
};

class Button {
public:
    virtual ~Button() = default;
    virtual void SetCaption(std::u16string_view caption) = 0;
    virtual void SetVisible(bool visible) = 0;

    std::function<void()> onClick;
};

// A top-level window built from its design. It is loaded (created, controls set from the
// design, onLoad run) at the first Show, and unloaded (onUnload run, window destroyed) by
// Unload or by its close box; a later Show loads it afresh from the design.
class Form {
public:
    virtual ~Form() = default;

    virtual TextBox& TextBoxNamed(std::string_view name) = 0;
    virtual Label& LabelNamed(std::string_view name) = 0;
    virtual Button& ButtonNamed(std::string_view name) = 0;

    virtual void Show() = 0;  // modeless, without an owner window
    virtual void Unload() = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual void Repaint() = 0;  // the window and its controls, on screen before returning
    // A modal message box owned by this window; returns when it has been closed.
    virtual void MsgBox(std::u16string_view text, MsgStyle style, std::u16string_view title) = 0;

    std::function<void()> onLoad;
    std::function<void()> onUnload;  // never cancels the closing
};

// Paces the count-up. Waits are in delay units and are scheduled back to back from Begin, so
// that the whole count-up keeps its nominal length however coarse the system's timer is.
// Between Begin and End the program takes no mouse or keyboard input, yet keeps painting.
class CountUpClock {
public:
    virtual ~CountUpClock() = default;
    virtual void Begin() = 0;
    virtual void Wait(double units) = 0;
    virtual void End() = 0;
};

class Toolkit {
public:
    virtual ~Toolkit() = default;
    virtual std::unique_ptr<Form> CreateForm(const FormDesign& design) = 0;
    virtual CountUpClock& Clock() = 0;
    // Ends the program at once: every window disappears, no unload handler runs.
    virtual void EndProgram() = 0;
};

}  // namespace forms
