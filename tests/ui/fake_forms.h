// A forms toolkit that keeps state instead of windows: the handlers run as a user drives them, and
// their outcomes are read back - the controls, the message boxes in order, the count-up's frames.
// Control names are checked by the real toolkit, which every start of the program meets.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/forms.h"

namespace fake {

inline std::u16string Widen(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

// Any control: a text box's text or a label's or button's caption, and a label as last repainted.
struct Control : forms::TextBox, forms::Label, forms::Button {
    std::u16string text, painted;
    forms::Color color, paintedColor;
    bool visible = true;
    std::u16string Text() const override { return text; }
    void SetText(std::u16string_view t) override { text = t; }
    std::u16string Caption() const override { return text; }
    void SetCaption(std::u16string_view t) override { text = t; }
    void SetForeColor(forms::Color c) override { color = c; }
    void SetVisible(bool v) override { visible = v; }
};

struct Frame {  // Label4 as on screen during one wait of the count-up
    std::u16string caption;
    forms::Color color;
    double units;
};

struct Screen {                        // what the user has seen
    std::u16string shown;              // message boxes as title|style|text, a line each
    std::vector<Frame> frames;         // of the last count-up
    std::function<void()> whileShown;  // runs while a message box is up
};

struct Form : forms::Form {
    Form(Screen& screen, const forms::FormDesign& design) : screen(screen), design(design) {}
    Control& operator[](const std::string& name) { return controls.at(name); }
    forms::TextBox& TextBoxNamed(std::string_view name) override { return controls[std::string(name)]; }
    forms::Label& LabelNamed(std::string_view name) override { return controls[std::string(name)]; }
    forms::Button& ButtonNamed(std::string_view name) override { return controls[std::string(name)]; }
    // Every load starts from the design's captions. Visibility and colours are not reset: only the main
    // window sets them, and it loads once.
    void Show() override {
        if (loaded) return;
        for (const auto& d : design.controls) controls[std::string(d.name)].text = d.caption;
        loaded = enabled = true;
        if (onLoad) onLoad();
    }
    void Unload() override {
        if (loaded && onUnload) onUnload();
        loaded = false;
    }
    void SetEnabled(bool e) override { enabled = e; }
    void Repaint() override {
        for (auto& [name, c] : controls) c.painted = c.text, c.paintedColor = c.color;
    }
    void MsgBox(std::u16string_view text, forms::MsgStyle style, std::u16string_view title) override {
        screen.shown += std::u16string(title) + u"|" + Widen(std::to_string(static_cast<int>(style))) + u"|" +
                        std::u16string(text) + u"\n";
        if (screen.whileShown) screen.whileShown();
    }

    // What the user can do. Tests click only what shows and take no input while a count-up runs.
    void Click(const std::string& button) { controls.at(button).onClick(); }
    void DblClick(const std::string& label) { controls.at(label).onDblClick(); }
    void CloseBox() { Unload(); }

    Screen& screen;
    const forms::FormDesign& design;
    std::map<std::string, Control> controls;
    bool loaded = false, enabled = false;  // a loaded window is shown: none is ever hidden
};

struct Toolkit : forms::Toolkit, forms::CountUpClock, Screen {
    std::unique_ptr<forms::Form> CreateForm(const forms::FormDesign& design) override {
        return std::unique_ptr<forms::Form>(forms[std::string(design.name)] = new Form(*this, design));
    }
    forms::CountUpClock& Clock() override { return *this; }
    void EndProgram() override {}  // the real program's ways out are tested end to end
    void Begin() override { frames.clear(); }
    void Wait(double units) override {
        const Control& label = (*forms.at("Main"))["Label4"];
        frames.push_back({label.painted, label.paintedColor, units});
    }
    void End() override {}
    Form& operator[](const std::string& name) { return *forms.at(name); }

    std::map<std::string, Form*> forms;
};

}  // namespace fake
