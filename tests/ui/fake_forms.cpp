#include "fake_forms.h"

#include <stdexcept>

namespace fake {

Form::Form(Toolkit& toolkit, const forms::FormDesign& d) : design(d), toolkit_(toolkit) { ResetToDesign(); }

void Form::ResetToDesign() {
    // In place: the windows hold references to their controls.
    for (const forms::ControlDesign& c : design.controls) {
        const std::string name(c.name);
        switch (c.kind) {
            case forms::ControlKind::TextBox:
                textBoxes[name].text = c.caption;
                break;
            case forms::ControlKind::Label:
                labels[name].caption = labels[name].paintedCaption = c.caption;
                labels[name].color = labels[name].paintedColor =
                    c.foreColor.value_or(forms::Color::System(forms::kButtonTextColor));
                break;
            case forms::ControlKind::Button:
            case forms::ControlKind::GraphicalButton:
                buttons[name].caption = c.caption;
                buttons[name].visible = true;
                break;
            case forms::ControlKind::PictureBox:
                break;
        }
    }
}

void Form::Show() {
    if (!loaded) {
        ResetToDesign();
        loaded = true;
        enabled = true;
        ++loads;
        if (onLoad) onLoad();
    }
    visible = true;
}

void Form::Unload() {
    if (!loaded) return;
    if (onUnload) onUnload();
    loaded = visible = false;
}

void Form::Repaint() {
    for (auto& [name, label] : labels) {
        label.paintedCaption = label.caption;
        label.paintedColor = label.color;
    }
}

void Form::MsgBox(std::u16string_view text, forms::MsgStyle style, std::u16string_view title) {
    toolkit_.shown.push_back({std::string(design.name), std::u16string(text), style, std::u16string(title)});
    if (toolkit_.whileShown) toolkit_.whileShown(toolkit_.shown.back());
}

bool Form::TakesInput() const { return loaded && visible && enabled && !toolkit_.clock.running; }

void Form::Click(std::string_view name) {
    Button& button = buttons.at(std::string(name));
    if (!TakesInput() || !button.visible) throw std::logic_error("the button cannot be clicked now");
    if (button.onClick) button.onClick();
}

void Form::DblClick(std::string_view name) {
    Label& label = labels.at(std::string(name));
    if (!TakesInput()) throw std::logic_error("the label cannot be clicked now");
    if (label.onDblClick) label.onDblClick();
}

void Form::CloseBox() {
    if (!TakesInput()) return;  // a disabled window's close box does nothing
    Unload();
}

void Clock::Begin() { running = true; }
void Clock::End() { running = false; }
void Clock::Wait(double units) {
    const Label& label = toolkit_.FormNamed("Main").labels.at("Label4");
    toolkit_.frames.push_back({label.paintedCaption, label.paintedColor, units});
}

std::unique_ptr<forms::Form> Toolkit::CreateForm(const forms::FormDesign& design) {
    auto form = std::make_unique<Form>(*this, design);
    forms_.push_back(form.get());
    return form;
}

Form& Toolkit::FormNamed(std::string_view name) {
    for (Form* form : forms_) {
        if (form->design.name == name) return *form;
    }
    throw std::out_of_range("no such form");
}

}  // namespace fake
