// The three windows' handlers, driven through the fake toolkit as a user would drive them, with
// the real love.dll in a fresh working folder. Outcomes only: the controls, the message boxes in
// order, the count-up's frames and the bytes on disk.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>

#include "core/rig_file_internal.h"
#include "fake_forms.h"
#include "ui/program.h"

namespace fs = std::filesystem;
using forms::Color;

namespace {

const std::u16string kVerdict40 = u"缘分评定|64|在如此无缘的两个人之间如果还能产生什么浪漫邂逅的话应该称的上是奇迹了";
const std::u16string kFarewell = u"有缘千里来相会|64|祝天下有“缘”人终成眷属！^.^";
const std::u16string kSaved =
    u"恭喜|48|修改成功，切记不要删除主程序目录下生成的love.dll文件！              （提示：也可以用记事本打开该文件直接"
    u"修改，格式为“开启的作弊个数(最大为99),男孩名1,女孩名1,分数1,男孩名2,女孩名2,分数2,……”）";

std::string ReadFile() {
    std::ostringstream bytes;
    bytes << std::ifstream("love.dll", std::ios::binary).rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& bytes) { std::ofstream("love.dll", std::ios::binary) << bytes; }

std::u16string Decimal(long n) {
    const std::string s = std::to_string(n);
    return {s.begin(), s.end()};
}

// As root a read-only folder is still writable; a removed one is not.
void EnterRemovedFolder() {
    fs::create_directory("gone");
    fs::current_path("gone");
    fs::remove(fs::current_path());
}

class Windows : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(old_);
        fs::remove_all(dir_);
    }

    fake::Form& Main() { return kit["Main"]; }
    fake::Form& About() { return kit["about"]; }
    fake::Form& Editor() { return kit["newcht"]; }

    // The main window at a glance: names, number, start caption, and which buttons show.
    std::u16string MainState() {
        const auto shows = [&](const char* b) { return Main()[b].visible ? u"+" : u"-"; };
        return Main()["Text1"].text + u"|" + Main()["Text2"].text + u"|" + Main()["Label4"].text + u"|" +
               Main()["Command1"].text + shows("Command1") + shows("Command3") + shows("Command4");
    }
    // Every message box since the last call, one per line.
    std::u16string Shown() {
        std::u16string all;
        for (const auto& s : kit.shown) all += s + u"\n";
        kit.shown.clear();
        return all;
    }
    // A whole test from the start button, with the names typed first.
    void RunTest(std::u16string boy, std::u16string girl) {
        Main()["Text1"].text = std::move(boy);
        Main()["Text2"].text = std::move(girl);
        kit.frames.clear();
        kit.shown.clear();
        Main().Click("Command1");
    }
    void Rig(long score) { WriteFile("1,\"甲\",\"乙\"," + std::to_string(score) + "\r\n"); }
    // The editor, reached the hidden way, with its boxes typed in.
    void OpenEditor(std::u16string boy, std::u16string girl, std::u16string score) {
        Main().Click("Command2");
        About().DblClick("Label4");
        Editor()["Text1"].text = std::move(boy);
        Editor()["Text2"].text = std::move(girl);
        Editor()["Text3"].text = std::move(score);
        kit.shown.clear();
    }

    fake::Toolkit kit;
    Program program{kit};
    fs::path old_ = fs::current_path();
    fs::path dir_ = fs::temp_directory_path() / ("tamsory-ui-" + std::to_string(::getpid()) + "-" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(Windows, StartUpPreparesTheFileAndTheWindow) {
    program.Start();
    EXPECT_EQ(ReadFile(), "0,\"\",\"\",0\r\n");
    EXPECT_EQ(MainState(), u"|||OK！开始测试+--");
    EXPECT_EQ(Shown(), u"");
}

TEST_F(Windows, EmptyNameIsRefusedAndOnlyTheCaptionChanges) {
    program.Start();
    for (const auto& [boy, girl] :
         {std::pair<std::u16string, std::u16string>{u"", u"李四"}, {u"张三", u""}, {u"", u""}}) {
        RunTest(boy, girl);
        EXPECT_EQ(Shown(), u"错误|48|人名不能为空！\n");
        EXPECT_TRUE(kit.frames.empty());
        EXPECT_EQ(MainState(), boy + u"|" + girl + u"||开始测试+--");
    }
}

// A test of two names counts up to their name score; scores from a hand-edited love.dll reach
// the count-up exactly. Every frame shows its number in its colour before its wait.
TEST_F(Windows, CountUpFramesColoursWaitsAndVerdict) {
    const struct {
        long score;
        size_t frames;
        double lastWait, totalWait;
        const char16_t* verdict;
    } cases[] = {
        {48, 48, 1e6, 48e6, u"在如此"},
        {0, 0, 0, 0, u"- -b"},
        {1, 1, 1e6, 1e6, u"- -b"},
        {31, 31, 1e6, 31e6, u"花自飘零"},
        {80, 80, 1e6, 80e6, u"不错的"},
        {81, 81, 1'050'000, 81'050'000, u"不错的"},
        {100, 100, 2'653'297, 114'719'245, u"千年"},
        {-5, 0, 0, 0, nullptr},
        // Past 100, at most 50 more frames within 4.5 s more, the last on the score; no verdict.
        {101, 101, 2'785'962, 117'505'207, nullptr},
        {300, 150, 3'600'000, 292'069'115, nullptr},
        {32767, 150, 3'600'000, 292'069'115, nullptr},
    };
    program.Start();
    for (const auto& c : cases) {
        if (c.score == 48) {
            RunTest(u"张三", u"李四");
        } else {
            Rig(c.score);
            RunTest(u"甲", u"乙");
        }
        ASSERT_EQ(kit.frames.size(), c.frames) << c.score;
        for (size_t i = 0; i < std::min<size_t>(kit.frames.size(), 100); ++i) {
            EXPECT_EQ(kit.frames[i].caption, Decimal(static_cast<long>(i) + 1));
            EXPECT_EQ(kit.frames[i].color,
                      Color::Rgb(static_cast<std::uint8_t>(std::min<size_t>(8 * (i + 1), 255)), 0, 0));
        }
        const double total = std::accumulate(kit.frames.begin(), kit.frames.end(), 0.0,
                                             [](double sum, const fake::Frame& f) { return sum + f.units; });
        EXPECT_EQ(total, c.totalWait) << c.score;
        if (c.frames > 0) {
            EXPECT_EQ(kit.frames.back().units, c.lastWait) << c.score;
            EXPECT_EQ(kit.frames.back().caption, Decimal(c.score));
        }
        const std::u16string shown = Shown();
        EXPECT_EQ(shown.starts_with(u"缘分评定|64|" + std::u16string(c.verdict ? c.verdict : u"")),
                  c.verdict != nullptr)
            << c.score;
        EXPECT_FALSE(kit.counting);
        EXPECT_TRUE(MainState().ends_with(u"|" + (c.frames ? Decimal(c.score) : u"") + u"|开始测试-++")) << c.score;
        Main().Click("Command4");
    }
}

TEST_F(Windows, OnceMoreKeepsNamesAndColourAndTheFileIsReadAfresh) {
    program.Start();
    RunTest(u"张三", u"李四");
    EXPECT_EQ(Shown(), kVerdict40 + u"\n");
    Main().Click("Command4");
    EXPECT_EQ(MainState(), u"张三|李四||开始测试+--");
    EXPECT_EQ(Main()["Label4"].color, Color::Rgb(255, 0, 0));

    WriteFile("1,\"李四\",\"张三\",7\r\n");  // rigged by hand meanwhile, names swapped
    kit.frames.clear();
    Main().Click("Command1");
    EXPECT_EQ(kit.frames.size(), 7u);
}

TEST_F(Windows, FailuresOfATestAreReportedAndTheTestGoesOnWhereItCan) {
    program.Start();
    RunTest(std::u16string(1, u'\0'), std::u16string(1, u'\0'));  // no name score: nothing to count
    EXPECT_EQ(Shown(), u"错误|48|这两个名字算不出缘分，请换个写法再试一次。\n");
    EXPECT_TRUE(kit.frames.empty());
    EXPECT_TRUE(MainState().ends_with(u"||开始测试+--"));

    WriteFile("lots,of,nonsense\r\n");  // a broken file costs only the rigging
    RunTest(u"张三", u"李四");
    EXPECT_EQ(Shown(), u"错误|48|love.dll 里的作弊个数不是数字。\n" + kVerdict40 + u"\n");
    EXPECT_EQ(kit.frames.size(), 48u);
    EXPECT_EQ(ReadFile(), "lots,of,nonsense\r\n");

    Main().Click("Command4");
    fs::remove("love.dll");  // a missing file means no rigging, silently
    RunTest(u"张三", u"李四");
    EXPECT_EQ(kit.frames.size(), 48u);
    EXPECT_EQ(Shown(), kVerdict40 + u"\n");
}

TEST_F(Windows, UnwritableFolderAtStartUpIsReportedOnceAndTestsStillRun) {
    EnterRemovedFolder();
    program.Start();
    EXPECT_EQ(Shown(), u"错误|48|无法在当前文件夹中创建 love.dll，特殊数据暂时不能使用。缘分测试仍可照常进行。\n");
    RunTest(u"张三", u"李四");
    EXPECT_EQ(kit.frames.size(), 48u);
}

TEST_F(Windows, ExitAndCloseBoxEachSayGoodbyeOnce) {
    program.Start();
    RunTest(u"张三", u"李四");
    Shown();
    Main().Click("Command3");
    EXPECT_EQ(Shown(), kFarewell + u"\n");
    EXPECT_TRUE(kit.ended);
    EXPECT_TRUE(Main().loaded) << "ended at once, without the unload handler";

    fake::Toolkit other;
    Program second(other);
    second.Start();
    other["Main"].CloseBox();
    EXPECT_EQ(other.shown, std::vector<std::u16string>{kFarewell});
    EXPECT_FALSE(other["Main"].loaded);
}

TEST_F(Windows, AboutDisablesTheMainWindowUntilItCloses) {
    program.Start();
    Main().Click("Command2");
    EXPECT_TRUE(About().visible);
    EXPECT_FALSE(Main().enabled);
    About().Click("Command1");
    EXPECT_FALSE(About().loaded);
    EXPECT_TRUE(Main().enabled);

    Main().Click("Command2");
    About().CloseBox();
    EXPECT_FALSE(About().loaded);
    EXPECT_TRUE(Main().enabled);
    EXPECT_EQ(Shown(), u"");
}

TEST_F(Windows, HiddenLetterLeadsThroughTheNoticeToTheEditor) {
    program.Start();
    fs::remove("love.dll");
    Main().Click("Command2");
    kit.whileShown = [&] {
        EXPECT_TRUE(About().visible) << "the About window stays behind the notice";
        EXPECT_FALSE(Editor().visible) << "the editor opens only after the notice";
    };
    About().DblClick("Label4");
    EXPECT_EQ(Shown(), u"作弊模式|64|为了自己的幸福，请输入作您和她（他）的名字，以及想打的分数。^_^\n");
    EXPECT_FALSE(About().loaded);
    EXPECT_TRUE(Editor().visible);
    EXPECT_FALSE(Main().enabled) << "the main window stays disabled while the editor is open";
    EXPECT_EQ(Editor()["Text1"].text + Editor()["Text2"].text + Editor()["Text3"].text, u"");
    EXPECT_EQ(ReadFile(), "") << "a missing file is left behind empty";
}

TEST_F(Windows, HiddenPathStopsWhenTheFileCannotBeOpened) {
    program.Start();
    Main().Click("Command2");
    EnterRemovedFolder();
    About().DblClick("Label4");
    EXPECT_EQ(Shown(), u"错误|48|无法打开 love.dll。\n");
    EXPECT_TRUE(About().visible);
    EXPECT_FALSE(Editor().loaded);
    EXPECT_FALSE(Main().enabled);
}

// OK in the editor: the pair count, the clamps, love.dll, the message, and the main window back.
TEST_F(Windows, EditorStoresReportsAndHandsBack) {
    const struct {
        std::u16string boy, girl, score, scoreWhileShown;
        std::string file;
    } cases[] = {
        {u"Tom", u"Ann", u"85", u"85", "1,\"Tom\",\"Ann\",85\r\n"},
        {u"Tom", u"Ann", u"150", u"100", "1,\"Tom\",\"Ann\",100\r\n"},
        {u"Tom", u"Ann", u"-5", u"1", "1,\"Tom\",\"Ann\",1\r\n"},
        {u"Tom", u"Ann", u"0", u"0", "1,\"Tom\",\"Ann\",0\r\n"},
        {u"Tom", u"Ann", u"abc", u"abc", "1,\"Tom\",\"Ann\",0\r\n"},
        {u" ", u"Ann", u"9.5", u"9.5", "1,\" \",\"Ann\",9.5\r\n"},
        {u"Tom", u"Ann", u"", u"", "0,\"Tom\",\"Ann\",0\r\n"},
        {u"", u"Ann", u"999", u"100", "0,\"\",\"Ann\",100\r\n"},
    };
    program.Start();
    for (const auto& c : cases) {
        std::u16string scoreBox;
        kit.whileShown = [&] { scoreBox = Editor()["Text3"].text; };
        OpenEditor(c.boy, c.girl, c.score);
        Editor().Click("Command1");
        EXPECT_EQ(scoreBox, c.scoreWhileShown);
        EXPECT_EQ(ReadFile(), c.file);
        EXPECT_EQ(Shown(), (c.file[0] == '1' ? kSaved : u"提示|64|未做任何修改") + u"\n");
        EXPECT_FALSE(Editor().loaded);
        EXPECT_TRUE(Main().enabled && Main().visible);
    }
}

TEST_F(Windows, EditorCloseBoxWritesNothingAndAReopenedEditorIsEmpty) {
    program.Start();
    OpenEditor(u"Tom", u"Ann", u"85");
    Editor().CloseBox();
    EXPECT_EQ(ReadFile(), "0,\"\",\"\",0\r\n");
    EXPECT_TRUE(Main().enabled && Main().visible);
    Main().Click("Command2");
    About().DblClick("Label4");
    EXPECT_EQ(Editor()["Text1"].text, u"");
}

// A refused name and a replace that fails midway: the user is told, nothing is lost, and the
// editor stays open with the boxes as typed.
TEST_F(Windows, FailedSaveKeepsTheFileAndTheEditorOpen) {
    program.Start();
    const std::string stored = "1,\"Tom\",\"Ann\",85\r\n";
    WriteFile(stored);
    OpenEditor(u"a\"b", u"Ann", u"150");
    Editor().Click("Command1");
    EXPECT_EQ(Shown(), u"错误|48|名字里有双引号，无法存入 love.dll。\n");
    EXPECT_EQ(Editor()["Text3"].text, u"150");
    EXPECT_TRUE(Editor().visible);
    EXPECT_FALSE(Main().enabled);

    Editor()["Text1"].text = u"Bob";
    fate::internal::SetBeforeReplaceHook([] { return false; });
    Editor().Click("Command1");
    fate::internal::SetBeforeReplaceHook(nullptr);
    EXPECT_EQ(Shown(), u"错误|48|无法写入 love.dll。\n");
    EXPECT_EQ(ReadFile(), stored);
    EXPECT_TRUE(Editor().visible);
}

}  // namespace
