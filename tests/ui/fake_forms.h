// A forms toolkit that keeps state instead of windows: the handlers run as a user drives them,
// and their outcomes are read back - the controls, the message boxes in order, the count-up's
// frames.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/forms.h"

namespace fake {

// Any control: a text box's text or a label's or button's caption, and how a label was painted.
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

struct Frame {  // what Label4 showed on screen during one wait of the count-up
    std::u16string caption;
    forms::Color color;
    double units;
};

struct Toolkit;

struct Form : forms::Form {
    Form(Toolkit& kit, const forms::FormDesign& design) : kit(kit), design(design) {
        for (const auto& c : design.controls) controls[std::string(c.name)];
    }
    Control& operator[](const std::string& name) { return controls.at(name); }
    forms::TextBox& TextBoxNamed(std::string_view name) override { return controls.at(std::string(name)); }
    forms::Label& LabelNamed(std::string_view name) override { return controls.at(std::string(name)); }
    forms::Button& ButtonNamed(std::string_view name) override { return controls.at(std::string(name)); }

    void Show() override {
        if (!loaded) {  // every load starts from the design
            for (const auto& d : design.controls) {
                Control& c = controls.at(std::string(d.name));
                c.text = c.painted = d.caption;
                c.color = c.paintedColor = d.foreColor.value_or(forms::Color::System(forms::kButtonTextColor));
                c.visible = true;
            }
            loaded = enabled = true;
            if (onLoad) onLoad();
        }
        visible = true;
    }
    void Unload() override {
        if (!loaded) return;
        if (onUnload) onUnload();
        loaded = visible = false;
    }
    void SetEnabled(bool e) override { enabled = e; }
    void Repaint() override {
        for (auto& [name, c] : controls) c.painted = c.text, c.paintedColor = c.color;
    }
    void MsgBox(std::u16string_view text, forms::MsgStyle style, std::u16string_view title) override;

    // What the user can do, refused as the real windows refuse it.
    bool TakesInput() const;
    void Click(const std::string& button) {
        if (!TakesInput() || !controls.at(button).visible) throw std::logic_error("cannot click " + button + " now");
        controls.at(button).onClick();
    }
    void DblClick(const std::string& label) {
        if (!TakesInput()) throw std::logic_error("cannot double-click " + label + " now");
        controls.at(label).onDblClick();
    }
    void CloseBox() {
        if (TakesInput()) Unload();  // a disabled window's close box does nothing
    }

    Toolkit& kit;
    const forms::FormDesign& design;
    std::map<std::string, Control> controls;
    bool loaded = false, visible = false, enabled = false;
};

struct Toolkit : forms::Toolkit, forms::CountUpClock {
    std::unique_ptr<forms::Form> CreateForm(const forms::FormDesign& design) override {
        forms.push_back(new Form(*this, design));
        return std::unique_ptr<forms::Form>(forms.back());
    }
    forms::CountUpClock& Clock() override { return *this; }
    void EndProgram() override { ended = true; }
    void Begin() override { counting = true; }
    void Wait(double units) override {
        const Control& label = (*this)["Main"]["Label4"];
        frames.push_back({label.painted, label.paintedColor, units});
    }
    void End() override { counting = false; }

    Form& operator[](std::string_view name) {
        for (Form* form : forms)
            if (form->design.name == name) return *form;
        throw std::out_of_range("no form " + std::string(name));
    }

    std::vector<Form*> forms;
    std::vector<std::u16string> shown;  // every message box as title|style|text
    std::vector<Frame> frames;          // every wait of every count-up
    bool counting = false, ended = false;
    std::function<void()> whileShown;  // runs while a message box is up, as a user looking on
};

inline void Form::MsgBox(std::u16string_view text, forms::MsgStyle style, std::u16string_view title) {
    const std::string number = std::to_string(static_cast<int>(style));
    kit.shown.push_back(std::u16string(title) + u"|" + std::u16string(number.begin(), number.end()) + u"|" +
                        std::u16string(text));
    if (kit.whileShown) kit.whileShown();
}

inline bool Form::TakesInput() const { return loaded && visible && enabled && !kit.counting; }

}  // namespace fake
