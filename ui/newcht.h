// The rigged-pair editor. Class, control and handler names follow the window's design.
#pragma once

#include <memory>

#include "ui/forms.h"

class Program;

class newcht {
public:
    newcht(forms::Toolkit& toolkit, Program& program);
    static const forms::FormDesign& Design();

    const std::unique_ptr<forms::Form> form;
    forms::Button& Command1;  // OK
    forms::TextBox& Text1;    // the boy's name
    forms::TextBox& Text2;    // the girl's name
    forms::TextBox& Text3;    // the score to force

    void Form_Load();
    void Command1_Click();
    void Form_Unload();

private:
    Program& program_;
};
