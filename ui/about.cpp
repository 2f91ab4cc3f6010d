#include "ui/about.h"

#include "core/rig_file.h"
#include "ui/Main.h"
#include "ui/newcht.h"
#include "ui/program.h"

using forms::ControlKind;
using forms::MsgStyle;

namespace {

// The copyright line: "(C) 2026", two blanks, then the studio's name. The hidden letter
// (Label4) sits in the gap between the blanks, so the line reads "... e缘小筑".
constexpr forms::ControlDesign kControls[] = {
    {.kind = ControlKind::PictureBox, .name = "Picture1", .rect = {330, 390, 510, 510}, .caption = u""},
    {.kind = ControlKind::Label, .name = "Label1", .rect = {1080, 525, 1455, 255}, .caption = u"Tamsory实用版"},
    {.kind = ControlKind::Label, .name = "Label2", .rect = {390, 990, 1980, 225}, .caption = u"(C) 2026  缘小筑"},
    {.kind = ControlKind::Button, .name = "Command1", .rect = {1005, 1545, 735, 375}, .caption = u"OK"},
    {.kind = ControlKind::Label, .name = "Label3", .rect = {525, 1260, 2010, 255}, .caption = u"www.eyuan.example.com"},
    {.kind = ControlKind::Label, .name = "Label4", .rect = {1170, 990, 195, 270}, .caption = u"e", .transparent = true,
     .onTop = true},
};

constexpr forms::FormDesign kDesign{
    .name = "about",
    .caption = u"关于",
    .clientWidthTwips = 2760,
    .clientHeightTwips = 2070,
    .defaultFont = {u"宋体", 900},
    .controls = kControls,
};

}  // namespace

const forms::FormDesign& about::Design() { return kDesign; }

about::about(forms::Toolkit& toolkit, Program& program)
    : form(toolkit.CreateForm(kDesign)),
      Command1(form->ButtonNamed("Command1")),
      Label4(form->LabelNamed("Label4")),
      program_(program) {
    form->onUnload = [this] { Form_Unload(); };
    Command1.onClick = [this] { Command1_Click(); };
    Label4.onDblClick = [this] { Label4_DblClick(); };
}

void about::Command1_Click() {
    program_.MainWindow().form->SetEnabled(true);
    form->Unload();
}

// Every way of closing gives the main window back its input.
void about::Form_Unload() { program_.MainWindow().form->SetEnabled(true); }

// The hidden path: a notice, then the editor in place of this window.
void about::Label4_DblClick() {
    try {
        fate::TouchRigFile();
    } catch (const fate::RigFileError& error) {
        form->MsgBox(error.Message(), MsgStyle::Exclamation, u"错误");
        return;
    }
    form->MsgBox(u"为了自己的幸福，请输入作您和她（他）的名字，以及想打的分数。^_^", MsgStyle::Information, u"作弊模式");
    program_.EditorWindow().form->Show();
    form->Unload();
    // After the unload: this window's unload handler has just enabled the main window, which
    // must stay disabled while the editor is open.
    program_.MainWindow().form->SetEnabled(false);
}
