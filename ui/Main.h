// The main window, where a test happens. Class, control and handler names follow the window's
// design (Text1, Label4, Command1_Click, ...).
#pragma once

#include <memory>

#include "ui/forms.h"

class Program;

class Main {
public:
    Main(forms::Toolkit& toolkit, Program& program);
    static const forms::FormDesign& Design();

    const std::unique_ptr<forms::Form> form;
    forms::TextBox& Text1;  // the boy's name
    forms::TextBox& Text2;  // the girl's name
    forms::Label& Label4;   // the count-up number
    forms::Button& Command1;  // start
    forms::Button& Command2;  // "." opens the About window
    forms::Button& Command3;  // exit
    forms::Button& Command4;  // once more

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Form_Unload();

private:
    void CountUp(double finalScore);
    void SayFarewell();

    forms::Toolkit& toolkit_;
    Program& program_;
};
