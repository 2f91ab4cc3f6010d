#include "ui/Main.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "core/name_score.h"
#include "core/rig_file.h"
#include "core/verdicts.h"
#include "ui/about.h"
#include "ui/pacing.h"
#include "ui/program.h"

using forms::Color;
using forms::ControlKind;
using forms::MsgStyle;

namespace {

constexpr std::u16string_view kFirstStartCaption = u"OK！开始测试";
constexpr std::u16string_view kStartCaption = u"开始测试";
constexpr std::u16string_view kErrorTitle = u"错误";
constexpr std::u16string_view kFarewell = u"祝天下有“缘”人终成眷属！^.^";
constexpr std::u16string_view kFarewellTitle = u"有缘千里来相会";
constexpr std::u16string_view kNoScore = u"这两个名字算不出缘分，请换个写法再试一次。";
constexpr std::u16string_view kNoRigFile =
    u"无法在当前文件夹中创建 love.dll，特殊数据暂时不能使用。缘分测试仍可照常进行。";

constexpr Color kPink = Color::Rgb(255, 192, 255);
constexpr forms::Font kSong105{u"宋体", 1050};

constexpr forms::ControlDesign kControls[] = {
    {.kind = ControlKind::TextBox, .name = "Text1", .rect = {330, 1875, 915, 345}, .caption = u"Text1",
     .font = kSong105, .backColor = Color::Rgb(192, 192, 255), .maxLength = 3},
    {.kind = ControlKind::Label, .name = "Label4", .rect = {1620, 1575, 1080, 615}, .caption = u"",
     .font = {u"黑体", 2775, true}, .foreColor = Color::System(forms::kButtonTextColor), .transparent = true,
     .centered = true},
    {.kind = ControlKind::TextBox, .name = "Text2", .rect = {3240, 1215, 870, 315}, .caption = u"Text2",
     .font = kSong105, .backColor = Color::Rgb(255, 128, 128), .maxLength = 3},
    {.kind = ControlKind::Button, .name = "Command2", .rect = {4365, 3225, 105, 120}, .caption = u".",
     .font = {u"华康少女文字W5(P)", 900}},
    {.kind = ControlKind::GraphicalButton, .name = "Command1", .rect = {1320, 2400, 1590, 405},
     .caption = kFirstStartCaption, .backColor = kPink},
    {.kind = ControlKind::GraphicalButton, .name = "Command3", .rect = {1410, 2295, 510, 570}, .caption = u"退出",
     .backColor = kPink},
    {.kind = ControlKind::GraphicalButton, .name = "Command4", .rect = {2400, 2310, 525, 555},
     .caption = u"再来一次", .backColor = kPink},
};

constexpr forms::FormDesign kDesign{
    .name = "Main",
    .caption = u"Tamsory",
    .clientWidthTwips = 4470,
    .clientHeightTwips = 3345,
    .defaultFont = {u"宋体", 900},
    .backgroundPicture = true,
    .controls = kControls,
};

// Ends the count-up's quiet period however the count-up is left.
class CountUpRun {
public:
    explicit CountUpRun(forms::CountUpClock& clock) : clock_(clock) { clock_.Begin(); }
    ~CountUpRun() { clock_.End(); }
    CountUpRun(const CountUpRun&) = delete;
    CountUpRun& operator=(const CountUpRun&) = delete;
    void Wait(double units) { clock_.Wait(units); }

private:
    forms::CountUpClock& clock_;
};

std::u16string Decimal(int n) {
    std::string digits = std::to_string(n);
    return {digits.begin(), digits.end()};
}

}  // namespace

const forms::FormDesign& Main::Design() { return kDesign; }

Main::Main(forms::Toolkit& toolkit, Program& program)
    : form(toolkit.CreateForm(kDesign)),
      Text1(form->TextBoxNamed("Text1")),
      Text2(form->TextBoxNamed("Text2")),
      Label4(form->LabelNamed("Label4")),
      Command1(form->ButtonNamed("Command1")),
      Command2(form->ButtonNamed("Command2")),
      Command3(form->ButtonNamed("Command3")),
      Command4(form->ButtonNamed("Command4")),
      toolkit_(toolkit),
      program_(program) {
    form->onLoad = [this] { Form_Load(); };
    form->onUnload = [this] { Form_Unload(); };
    Command1.onClick = [this] { Command1_Click(); };
    Command2.onClick = [this] { Command2_Click(); };
    Command3.onClick = [this] { Command3_Click(); };
    Command4.onClick = [this] { Command4_Click(); };
}

// Prepares love.dll and the window before it is first shown.
void Main::Form_Load() {
    try {
        fate::EnsureRigFile();
    } catch (const fate::RigFileError&) {
        // Without love.dll nothing can be rigged, but every test still works.
        form->MsgBox(kNoRigFile, MsgStyle::Exclamation, kErrorTitle);
    }
    Text1.SetText(u"");
    Text2.SetText(u"");
    Command1.SetCaption(kFirstStartCaption);
    Command3.SetVisible(false);
    Command4.SetVisible(false);
}

// One test, from the press of the start button to the offer of once more and exit.
void Main::Command1_Click() {
    Label4.SetForeColor(Color::System(forms::kButtonTextColor));
    form->Repaint();

    const std::u16string boy = Text1.Text();
    const std::u16string girl = Text2.Text();
    if (boy.empty() || girl.empty()) {
        form->MsgBox(u"人名不能为空！", MsgStyle::Exclamation, kErrorTitle);
    } else if (const std::optional<double> nameScore = fate::NameScore(boy, girl); !nameScore) {
        form->MsgBox(kNoScore, MsgStyle::Exclamation, kErrorTitle);
    } else {
        double finalScore = *nameScore;
        try {
            finalScore = fate::LookupRiggedScore(boy, girl, *nameScore);
        } catch (const fate::RigFileError& error) {
            // A broken love.dll only costs the rigging: the test goes on with the name score.
            form->MsgBox(error.Message(), MsgStyle::Exclamation, kErrorTitle);
        }
        Command1.SetVisible(false);
        CountUp(finalScore);
        if (const auto verdict = fate::Verdict(finalScore)) {
            form->MsgBox(*verdict, MsgStyle::Information, fate::kVerdictTitle);
        }
        Command3.SetVisible(true);
        Command4.SetVisible(true);
    }

    Command1.SetCaption(kStartCaption);
    form->Repaint();
}

// Counts 1, 2, ... up to the final score in Label4, reddening by 8 a step and slowing after 80.
void Main::CountUp(double finalScore) {
    CountUpRun run(toolkit_.Clock());
    const int last = static_cast<int>(std::min(finalScore, 32767.0));
    double delay = pacing::kFirstStepDelay;

    const auto showStep = [&](int n) {
        Label4.SetForeColor(Color::Rgb(static_cast<std::uint8_t>(std::min(8 * n, 255)), 0, 0));
        Label4.SetCaption(Decimal(n));
        form->Repaint();
        if (n > pacing::kSlowDownAfter) delay *= pacing::kDelayGrowth;
    };

    for (int n = 1; n <= std::min(last, 100); ++n) {
        showStep(n);
        run.Wait(std::floor(delay));
    }
    if (last <= 100) return;

    // Past 100 the designed pace would take minutes or days: a short run of frames ends on the
    // final score, each frame no slower than the designed pace and all within the budget.
    const int extra = last - 100;
    const int frames = std::min(extra, pacing::kOverrunFrames);
    const double longestWait = std::floor(pacing::kOverrunBudget / frames);
    for (int frame = 1; frame <= frames; ++frame) {
        showStep(100 + static_cast<int>((static_cast<long long>(extra) * frame + frames - 1) / frames));
        run.Wait(std::min(std::floor(delay), longestWait));
    }
}

// Opens the About window over this one, which takes no input while it is open.
void Main::Command2_Click() {
    program_.AboutWindow().form->Show();
    form->SetEnabled(false);
}

// Exit: says goodbye and ends the program at once, without the unload handler.
void Main::Command3_Click() {
    SayFarewell();
    toolkit_.EndProgram();
}

// Once more: back to the start button; the names stay.
void Main::Command4_Click() {
    Command1.SetVisible(true);
    Command3.SetVisible(false);
    Command4.SetVisible(false);
    Label4.SetCaption(u"");
}

// The close box: the same goodbye; the program ends with the window.
void Main::Form_Unload() { SayFarewell(); }

void Main::SayFarewell() { form->MsgBox(kFarewell, MsgStyle::Information, kFarewellTitle); }
