// The About window, and the hidden way into the rigged-pair editor. Class, control and handler
// names follow the window's design.
#pragma once

#include <memory>

#include "ui/forms.h"

class Program;

class about {
public:
    about(forms::Toolkit& toolkit, Program& program);
    static const forms::FormDesign& Design();

    const std::unique_ptr<forms::Form> form;
    forms::Button& Command1;  // OK
    forms::Label& Label4;     // the letter in the copyright line that opens the editor

    void Command1_Click();
    void Form_Unload();
    void Label4_DblClick();

private:
    Program& program_;
};
