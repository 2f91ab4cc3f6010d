// The three windows' handlers, driven through the fake toolkit as a user would drive them, with
// the real love.dll in a fresh working folder. Outcomes only: the controls, the message boxes in
// order, the count-up's frames and the bytes on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <numeric>
#include <utility>

#include "core/rig_file_internal.h"
#include "fake_forms.h"
#include "ui/program.h"

namespace fs = std::filesystem;

namespace {

const std::u16string kVerdict40 = u"缘分评定|64|在如此无缘的两个人之间如果还能产生什么浪漫邂逅的话应该称的上是奇迹了\n";
const std::string kInitial = "0,\"\",\"\",0\r\n";

std::string ReadFile() {
    std::ifstream file("love.dll", std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}
void WriteFile(const std::string& bytes) { std::ofstream("love.dll", std::ios::binary) << bytes; }

class Windows : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(dir_);
        fs::create_directory(dir_);
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(dir_);
    }

    // The main window at a glance: names, number, start caption, and which buttons show.
    std::u16string MainState() {
        const auto shows = [&](const char* b) { return main[b].visible ? u"+" : u"-"; };
        return main["Text1"].text + u"|" + main["Text2"].text + u"|" + main["Label4"].text + u"|" +
               main["Command1"].text + shows("Command1") + shows("Command3") + shows("Command4");
    }
    // The message boxes shown since the last call, one per line.
    std::u16string Shown() { return std::exchange(kit.shown, {}); }
    // A whole test from the start button, with the names typed first.
    void RunTest(const std::u16string& boy, const std::u16string& girl) {
        main["Text1"].text = boy;
        main["Text2"].text = girl;
        main.Click("Command1");
    }
    // The editor, reached the hidden way, with its boxes typed in.
    void OpenEditor(const std::u16string& boy, const std::u16string& girl, const std::u16string& score) {
        main.Click("Command2");
        about.DblClick("Label4");
        editor["Text1"].text = boy;
        editor["Text2"].text = girl;
        editor["Text3"].text = score;
        Shown();
    }

    const fs::path dir_ =
        fs::temp_directory_path() /
        ("tamsory-ui-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fake::Toolkit kit;
    Program program{kit};
    fake::Form &main = kit["Main"], &about = kit["about"], &editor = kit["newcht"];
};

// Start-up makes love.dll and prepares the window; an empty name is refused. Then scores rigged by
// hand (the name score's way is the next test's) counted up: every frame shows its number in its
// colour before its wait. Past 100 at most 50 more frames within 4.5 s more, the last on the score.
// Once more keeps the names; the next test reads love.dll afresh and resets the colour first.
TEST_F(Windows, StartUpRefusalsAndCountUps) {
    const std::tuple<int, size_t, double> cases[] = {
        // clang-format off
        {48, 48, 48e6}, {0, 0, 0}, {1, 1, 1e6}, {80, 80, 80e6}, {81, 81, 81.05e6}, {100, 100, 114'719'245},
        {-5, 0, 0}, {101, 101, 117'505'207}, {300, 150, 292'069'115}, {32767, 150, 292'069'115},
        // clang-format on
    };
    program.Start();
    EXPECT_EQ(ReadFile(), kInitial);
    EXPECT_EQ(MainState(), u"|||OK！开始测试+--");
    for (const auto& [boy, girl] : {std::pair{u"", u"李四"}, {u"张三", u""}, {u"", u""}}) {
        RunTest(boy, girl);
        EXPECT_EQ(Shown(), u"错误|48|人名不能为空！\n");  // and nothing at the start
        EXPECT_EQ(MainState(), boy + std::u16string(u"|") + girl + u"||开始测试+--");
    }
    for (const auto& [score, frames, totalWait] : cases) {
        WriteFile("1,\"甲\",\"乙\"," + std::to_string(score));
        RunTest(u"甲", u"乙");
        ASSERT_EQ(kit.frames.size(), frames) << score;
        for (size_t i = 0; i < std::min<size_t>(frames, 100); ++i) {
            EXPECT_EQ(kit.frames[i].caption, fake::Widen(std::to_string(i + 1)));
            const auto red = static_cast<std::uint8_t>(std::min<size_t>(8 * (i + 1), 255));
            EXPECT_EQ(kit.frames[i].color, forms::Color::Rgb(red, 0, 0)) << i;
        }
        EXPECT_EQ(std::accumulate(kit.frames.begin(), kit.frames.end(), 0.0,
                                  [](double sum, const fake::Frame& f) { return sum + f.units; }),
                  totalWait);
        EXPECT_EQ(Shown().starts_with(u"缘分评定|64|"), score >= 0 && score <= 100) << score;
        EXPECT_EQ(MainState(), u"甲|乙|" + fake::Widen(frames ? std::to_string(score) : "") + u"|开始测试-++") << score;
        EXPECT_TRUE(frames || main["Label4"].color == forms::Color::System(forms::kButtonTextColor)) << score;
        main.Click("Command4");
        EXPECT_EQ(MainState(), u"甲|乙||开始测试+--");
    }
}

// love.dll out of reach or broken costs only the rigging; a pair without a score, the test.
TEST_F(Windows, FailuresAreReportedAndTheTestGoesOnWhereItCan) {
    fs::create_directory("love.dll");
    program.Start();
    EXPECT_EQ(Shown(), u"错误|48|无法在当前文件夹中创建 love.dll，特殊数据暂时不能使用。缘分测试仍可照常进行。\n");
    RunTest(u"张三", u"李四");
    EXPECT_EQ(Shown(), u"错误|48|无法读取 love.dll。\n" + kVerdict40);
    EXPECT_EQ(kit.frames.size(), 48u);
    fs::remove("love.dll");
    std::string mebibyte = "1,张三,李四,5";
    mebibyte.resize(1 << 20, ' ');
    const std::pair<std::string, std::u16string> files[] = {
        {"", kVerdict40},  // none: no rigging, silently
        {"lots,of,nonsense", u"错误|48|love.dll 里的作弊个数不是数字。\n" + kVerdict40},
        {mebibyte, u"缘分评定|64|- -b.@#!$%*)#)(#@)\n"},
        {mebibyte + " ", u"错误|48|love.dll 超过 1 MB，太大了，没有读取。\n" + kVerdict40},
    };
    for (const auto& [file, shown] : files) {
        main.Click("Command4");
        if (!file.empty()) WriteFile(file);
        RunTest(u"张三", u"李四");
        EXPECT_EQ(Shown(), shown);
        EXPECT_EQ(ReadFile(), file);
    }
    main.Click("Command4");
    RunTest(std::u16string(1, u'\0'), std::u16string(1, u'\0'));
    EXPECT_EQ(Shown(), u"错误|48|这两个名字算不出缘分，请换个写法再试一次。\n");
    EXPECT_TRUE(MainState().ends_with(u"||开始测试+--"));
}

// The About window disables the main window until it closes, by OK or its close box; its hidden
// letter leads through the notice to the editor, and the main window stays disabled. love.dll is
// opened, not changed; an empty one got the initial record at start-up.
TEST_F(Windows, AboutAndTheHiddenWayToTheEditor) {
    WriteFile("");
    program.Start();
    main.Click("Command2");
    about.Click("Command1");
    EXPECT_TRUE(main.enabled && !about.loaded);
    main.Click("Command2");
    about.CloseBox();
    EXPECT_TRUE(main.enabled && !about.loaded);

    main.Click("Command2");
    kit.whileShown = [&] { EXPECT_TRUE(about.loaded && !editor.loaded) << "the notice comes first"; };
    about.DblClick("Label4");
    EXPECT_EQ(Shown(), u"作弊模式|64|为了自己的幸福，请输入作您和她（他）的名字，以及想打的分数。^_^\n");
    EXPECT_TRUE(editor.loaded && !about.loaded && !main.enabled);
    EXPECT_EQ(editor["Text1"].text + editor["Text2"].text + editor["Text3"].text, u"");
    editor["Text1"].text = u"Tom";
    editor.CloseBox();  // writes nothing
    EXPECT_EQ(ReadFile(), kInitial);
    EXPECT_TRUE(main.enabled);

    fs::remove("love.dll");
    OpenEditor(u"", u"", u"");
    EXPECT_EQ(ReadFile(), "") << "a missing file is left behind empty";
    editor.CloseBox();
    fs::remove("love.dll");
    fs::create_directory("love.dll");
    main.Click("Command2");
    about.DblClick("Label4");
    EXPECT_EQ(Shown(), u"错误|48|无法打开 love.dll。\n");
    EXPECT_TRUE(about.loaded && !editor.loaded && !main.enabled);
}

// OK in the editor: the pair count, the clamps, love.dll, the message, and the main window back.
// A replace that fails midway: the user is told, nothing is lost, no temporary file is left, and
// the editor stays open with the boxes as typed. Start-up left a file with content alone.
TEST_F(Windows, EditorStoresReportsAndHandsBack) {
    const std::u16string saved =
        u"恭喜|48|修改成功，切记不要删除主程序目录下生成的love.dll文件！              （提示：也可以用记事本打开该文件"
        u"直接修改，格式为“开启的作弊个数(最大为99),男孩名1,女孩名1,分数1,男孩名2,女孩名2,分数2,……”）\n";
    // The boxes as typed, the score box while the message shows, and love.dll after.
    const std::tuple<std::u16string, std::u16string, std::u16string, std::u16string, std::string> cases[] = {
        {u"Tom", u"Ann", u"85", u"85", "1,\"Tom\",\"Ann\",85\r\n"},
        {u"Tom", u"Ann", u"150", u"100", "1,\"Tom\",\"Ann\",100\r\n"},
        {u"Tom", u"Ann", u"-5", u"1", "1,\"Tom\",\"Ann\",1\r\n"},
        {u"Tom", u"Ann", u"0", u"0", "1,\"Tom\",\"Ann\",0\r\n"},
        {u" ", u"Ann", u"abc", u"abc", "1,\" \",\"Ann\",0\r\n"},
        {u"Tom", u"Ann", u"", u"", "0,\"Tom\",\"Ann\",0\r\n"},
        {u"", u"Ann", u"999", u"100", "0,\"\",\"Ann\",100\r\n"},
        {u"Tom", u"", u"9.5", u"9.5", "0,\"Tom\",\"\",9.5\r\n"},
    };
    WriteFile("1,Tom,Ann,85");
    program.Start();
    EXPECT_EQ(ReadFile(), "1,Tom,Ann,85");
    std::u16string scoreBox;
    kit.whileShown = [&] { scoreBox = editor["Text3"].text; };
    for (const auto& [boy, girl, score, scoreWhileShown, file] : cases) {
        OpenEditor(boy, girl, score);
        editor.Click("Command1");
        EXPECT_EQ(scoreBox, scoreWhileShown);
        EXPECT_EQ(ReadFile(), file);
        EXPECT_EQ(Shown(), file[0] == '1' ? saved : u"提示|64|未做任何修改\n");
        EXPECT_TRUE(!editor.loaded && main.enabled);
    }
    OpenEditor(u"Bob", u"Ann", u"150");
    fate::internal::SetBeforeReplaceHook([] { return false; });
    editor.Click("Command1");
    fate::internal::SetBeforeReplaceHook(nullptr);
    EXPECT_EQ(Shown(), u"错误|48|无法写入 love.dll。\n");
    EXPECT_EQ(ReadFile(), "0,\"Tom\",\"\",9.5\r\n") << "as the last case left it";
    EXPECT_EQ(std::distance(fs::directory_iterator("."), {}), 1);
    EXPECT_EQ(editor["Text3"].text, u"150");
    EXPECT_TRUE(editor.loaded && !main.enabled);
}

}  // namespace
