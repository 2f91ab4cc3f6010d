// A forms toolkit that keeps state instead of windows, so that the handlers can be driven like
// a user would drive them and their outcomes read back.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/forms.h"

namespace fake {

struct Shown {  // one message box, as the user saw it
    std::string owner;
    std::u16string text;
    forms::MsgStyle style;
    std::u16string title;
};

struct Frame {  // what Label4 showed on screen during one wait of the count-up
    std::u16string caption;
    forms::Color color;
    double units;
};

class Toolkit;

class TextBox : public forms::TextBox {
public:
    std::u16string Text() const override { return text; }
    void SetText(std::u16string_view t) override { text = t; }
    std::u16string text;
};

class Label : public forms::Label {
public:
    std::u16string Caption() const override { return caption; }
    void SetCaption(std::u16string_view c) override { caption = c; }
    void SetForeColor(forms::Color c) override { color = c; }
    std::u16string caption;
    forms::Color color;
    std::u16string paintedCaption;  // as of the last repaint
    forms::Color paintedColor;
};

class Button : public forms::Button {
public:
    void SetCaption(std::u16string_view c) override { caption = c; }
    void SetVisible(bool v) override { visible = v; }
    std::u16string caption;
    bool visible = true;
};

class Form : public forms::Form {
public:
    Form(Toolkit& toolkit, const forms::FormDesign& design);

    forms::TextBox& TextBoxNamed(std::string_view name) override { return textBoxes.at(std::string(name)); }
    forms::Label& LabelNamed(std::string_view name) override { return labels.at(std::string(name)); }
    forms::Button& ButtonNamed(std::string_view name) override { return buttons.at(std::string(name)); }

    void Show() override;
    void Unload() override;
    void SetEnabled(bool e) override { enabled = e; }
    void Repaint() override;
    void MsgBox(std::u16string_view text, forms::MsgStyle style, std::u16string_view title) override;

    // What the user can do, refused as the real windows refuse it.
    void Click(std::string_view button);
    void DblClick(std::string_view label);
    void CloseBox();
    bool TakesInput() const;

    const forms::FormDesign& design;
    bool loaded = false, visible = false, enabled = true;
    int loads = 0;
    std::map<std::string, TextBox> textBoxes;
    std::map<std::string, Label> labels;
    std::map<std::string, Button> buttons;

private:
    void ResetToDesign();
    Toolkit& toolkit_;
};

class Clock : public forms::CountUpClock {
public:
    explicit Clock(Toolkit& toolkit) : toolkit_(toolkit) {}
    void Begin() override;
    void Wait(double units) override;
    void End() override;
    bool running = false;

private:
    Toolkit& toolkit_;
};

class Toolkit : public forms::Toolkit {
public:
    std::unique_ptr<forms::Form> CreateForm(const forms::FormDesign& design) override;
    forms::CountUpClock& Clock() override { return clock; }
    void EndProgram() override { ended = true; }

    Form& FormNamed(std::string_view name);

    fake::Clock clock{*this};
    std::vector<Shown> shown;    // every message box, in order
    std::vector<Frame> frames;   // every wait of every count-up, in order
    bool ended = false;
    // Runs while a message box is up, as a user looking at the screen would.
    std::function<void(const Shown&)> whileShown;

private:
    std::vector<Form*> forms_;
};

}  // namespace fake
