#include "ui/newcht.h"

#include <cstdint>
#include <string>

#include "core/read_number.h"
#include "core/rig_file.h"
#include "ui/Main.h"
#include "ui/program.h"

using forms::ControlKind;
using forms::MsgStyle;

namespace {

constexpr forms::ControlDesign kControls[] = {
    {.kind = ControlKind::Label, .name = "Label1", .rect = {120, 195, 2955, 285},
     .caption = u"男孩名字  女孩名字  想得的分数"},
    {.kind = ControlKind::Button, .name = "Command1", .rect = {945, 1215, 945, 420}, .caption = u"确定"},
    {.kind = ControlKind::TextBox, .name = "Text1", .rect = {135, 600, 855, 375}, .caption = u"Text1", .maxLength = 3},
    {.kind = ControlKind::TextBox, .name = "Text2", .rect = {1035, 600, 855, 375}, .caption = u"Text2", .maxLength = 3},
    {.kind = ControlKind::TextBox, .name = "Text3", .rect = {1935, 600, 855, 375}, .caption = u"Text3", .maxLength = 3},
};

constexpr forms::FormDesign kDesign{
    .name = "newcht",
    .caption = u"编辑“特殊数据”",
    .clientWidthTwips = 2910,
    .clientHeightTwips = 1860,
    .defaultFont = {u"宋体", 900},
    .controls = kControls,
};

constexpr std::u16string_view kSaved =
    u"修改成功，切记不要删除主程序目录下生成的love.dll文件！              （提示：也可以用记事本打开该文件直接修改，"
    u"格式为“开启的作弊个数(最大为99),男孩名1,女孩名1,分数1,男孩名2,女孩名2,分数2,……”）";

}  // namespace

const forms::FormDesign& newcht::Design() { return kDesign; }

newcht::newcht(forms::Toolkit& toolkit, Program& program)
    : form(toolkit.CreateForm(kDesign)),
      Command1(form->ButtonNamed("Command1")),
      Text1(form->TextBoxNamed("Text1")),
      Text2(form->TextBoxNamed("Text2")),
      Text3(form->TextBoxNamed("Text3")),
      program_(program) {
    form->onLoad = [this] { Form_Load(); };
    form->onUnload = [this] { Form_Unload(); };
    Command1.onClick = [this] { Command1_Click(); };
}

void newcht::Form_Load() {
    Text1.SetText(u"");
    Text2.SetText(u"");
    Text3.SetText(u"");
}

// Stores the pair (or, with a box left empty, no pair at all) and closes.
void newcht::Command1_Click() {
    const std::u16string typedScore = Text3.Text();
    const std::int16_t pairCount = !Text1.Text().empty() && !Text2.Text().empty() && !typedScore.empty() ? 1 : 0;
    if (fate::ReadAsNumber(Text3.Text()) > 100) Text3.SetText(u"100");
    if (fate::ReadAsNumber(Text3.Text()) < 0) Text3.SetText(u"1");

    try {
        fate::WriteRigFile(pairCount, Text1.Text(), Text2.Text(), fate::ReadAsNumber(Text3.Text()));
    } catch (const fate::RigFileError& error) {
        // Nothing was stored and the old love.dll is intact: say so, and let the user correct
        // the boxes instead of closing as if it had worked.
        Text3.SetText(typedScore);
        form->MsgBox(error.Message(), MsgStyle::Exclamation, u"错误");
        return;
    }

    if (pairCount == 0) {
        form->MsgBox(u"未做任何修改", MsgStyle::Information, u"提示");
    } else {
        form->MsgBox(kSaved, MsgStyle::Exclamation, u"恭喜");
    }
    form->Unload();
}

// Every way of closing hands the program back to the main window.
void newcht::Form_Unload() {
    Main& main = program_.MainWindow();
    main.form->SetEnabled(true);
    main.form->Show();
}
