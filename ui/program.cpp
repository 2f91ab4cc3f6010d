#include "ui/program.h"

#include "ui/Main.h"
#include "ui/about.h"
#include "ui/newcht.h"

Program::Program(forms::Toolkit& toolkit)
    : main_(std::make_unique<Main>(toolkit, *this)),
      about_(std::make_unique<about>(toolkit, *this)),
      newcht_(std::make_unique<newcht>(toolkit, *this)) {}

Program::~Program() = default;

void Program::Start() { main_->form->Show(); }
