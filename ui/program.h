// The program: its three windows and the way they reach one another.
#pragma once

#include <memory>

#include "ui/forms.h"

class Main;
class about;
class newcht;

class Program {
public:
    explicit Program(forms::Toolkit& toolkit);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Loads and shows the start window.
    void Start();

    Main& MainWindow() { return *main_; }
    about& AboutWindow() { return *about_; }
    newcht& EditorWindow() { return *newcht_; }

private:
    std::unique_ptr<Main> main_;
    std::unique_ptr<about> about_;
    std::unique_ptr<newcht> newcht_;
};
