// The three windows' handlers, driven through the fake toolkit as a user would drive them, with
// the real love.dll in a fresh working directory. Outcomes only: controls, message boxes,
// count-up frames and the bytes on disk.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>

#include "core/rig_file_internal.h"
#include "fake_forms.h"
#include "ui/Main.h"
#include "ui/program.h"

namespace fs = std::filesystem;
using forms::Color;
using forms::MsgStyle;

namespace {

constexpr Color kRed = Color::Rgb(255, 0, 0);
const std::u16string kFarewell = u"祝天下有“缘”人终成眷属！^.^";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

class Windows : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "tamsory-ui-" + std::to_string(::getpid()) + "-" + info->name();
        std::replace(name.begin(), name.end(), '/', '_');
        dir_ = fs::temp_directory_path() / name;
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        old_ = fs::current_path();
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(old_);
        fs::remove_all(dir_);
    }

    void Start() { program.Start(); }
    fake::Form& Main() { return kit.FormNamed("Main"); }
    fake::Form& About() { return kit.FormNamed("about"); }
    fake::Form& Editor() { return kit.FormNamed("newcht"); }

    // A whole test from the start button, with the names typed first.
    void RunTest(std::u16string boy, std::u16string girl) {
        Main().textBoxes.at("Text1").text = std::move(boy);
        Main().textBoxes.at("Text2").text = std::move(girl);
        kit.frames.clear();
        kit.shown.clear();
        Main().Click("Command1");
    }

    // Stores a pair through the editor, reached the hidden way.
    void StoreThroughEditor(std::u16string boy, std::u16string girl, std::u16string score) {
        Main().Click("Command2");
        About().DblClick("Label4");
        Editor().textBoxes.at("Text1").text = std::move(boy);
        Editor().textBoxes.at("Text2").text = std::move(girl);
        Editor().textBoxes.at("Text3").text = std::move(score);
        kit.shown.clear();
        Editor().Click("Command1");
    }

    double TotalWait() const {
        return std::accumulate(kit.frames.begin(), kit.frames.end(), 0.0,
                               [](double sum, const fake::Frame& f) { return sum + f.units; });
    }

    fake::Toolkit kit;
    Program program{kit};
    fs::path dir_, old_;
};

TEST_F(Windows, StartUpPreparesFileAndWindow) {
    Start();
    EXPECT_EQ(ReadFile("love.dll"), "0,\"\",\"\",0\r\n");
    EXPECT_TRUE(Main().visible);
    EXPECT_EQ(Main().textBoxes.at("Text1").text, u"");
    EXPECT_EQ(Main().textBoxes.at("Text2").text, u"");
    EXPECT_EQ(Main().labels.at("Label4").caption, u"");
    EXPECT_EQ(Main().buttons.at("Command1").caption, u"OK！开始测试");
    EXPECT_TRUE(Main().buttons.at("Command1").visible);
    EXPECT_FALSE(Main().buttons.at("Command3").visible);
    EXPECT_FALSE(Main().buttons.at("Command4").visible);
    EXPECT_TRUE(kit.shown.empty());
}

TEST_F(Windows, StartUpLeavesAnExistingFileAlone) {
    WriteFile("love.dll", "1,Tom,Ann,85");
    Start();
    EXPECT_EQ(ReadFile("love.dll"), "1,Tom,Ann,85");
}

TEST_F(Windows, EmptyNameIsRefusedAndOnlyTheCaptionChanges) {
    Start();
    for (const auto& [boy, girl] : {std::pair<std::u16string, std::u16string>{u"", u"李四"}, {u"张三", u""}, {u"", u""}}) {
        RunTest(boy, girl);
        ASSERT_EQ(kit.shown.size(), 1u);
        EXPECT_EQ(kit.shown[0].text, u"人名不能为空！");
        EXPECT_EQ(kit.shown[0].title, u"错误");
        EXPECT_EQ(kit.shown[0].style, MsgStyle::Exclamation);
        EXPECT_TRUE(kit.frames.empty());
        EXPECT_TRUE(Main().buttons.at("Command1").visible);
        EXPECT_EQ(Main().buttons.at("Command1").caption, u"开始测试");
        EXPECT_FALSE(Main().buttons.at("Command3").visible);
    }
}

TEST_F(Windows, AWholeTestCountsUpShowsTheVerdictAndSwapsTheButtons) {
    Start();
    RunTest(u"张三", u"李四");  // name score 48
    ASSERT_EQ(kit.frames.size(), 48u);
    EXPECT_EQ(kit.frames.front().caption, u"1");
    EXPECT_EQ(kit.frames.front().color, Color::Rgb(8, 0, 0));
    EXPECT_EQ(kit.frames.back().caption, u"48");
    EXPECT_EQ(kit.frames.back().color, kRed);
    ASSERT_EQ(kit.shown.size(), 1u);
    EXPECT_EQ(kit.shown[0].title, u"缘分评定");
    EXPECT_EQ(kit.shown[0].text, u"在如此无缘的两个人之间如果还能产生什么浪漫邂逅的话应该称的上是奇迹了");
    EXPECT_EQ(kit.shown[0].style, MsgStyle::Information);
    EXPECT_FALSE(Main().buttons.at("Command1").visible);
    EXPECT_EQ(Main().buttons.at("Command1").caption, u"开始测试");
    EXPECT_TRUE(Main().buttons.at("Command3").visible);
    EXPECT_TRUE(Main().buttons.at("Command4").visible);
    EXPECT_EQ(Main().labels.at("Label4").caption, u"48");
    EXPECT_FALSE(kit.clock.running);
}

// Final scores rigged by hand, so that each reaches the count-up exactly.
struct CountUpCase {
    int score;
    size_t frames;
    Color lastColor;
    double lastWait;
    bool verdict;
};

class CountUp : public Windows, public ::testing::WithParamInterface<CountUpCase> {};

TEST_P(CountUp, FramesColoursWaitsAndVerdict) {
    const CountUpCase c = GetParam();
    WriteFile("love.dll", "1,\"甲\",\"乙\"," + std::to_string(c.score) + "\r\n");
    Start();
    RunTest(u"甲", u"乙");
    ASSERT_EQ(kit.frames.size(), c.frames);
    for (size_t i = 0; i < kit.frames.size() && i < 100; ++i) {
        EXPECT_EQ(kit.frames[i].caption, fs::path(std::to_string(i + 1)).u16string());
        EXPECT_EQ(kit.frames[i].color, Color::Rgb(static_cast<std::uint8_t>(std::min<int>(8 * (i + 1), 255)), 0, 0));
    }
    if (c.frames > 0) {
        EXPECT_EQ(kit.frames.back().caption, fs::path(std::to_string(c.score)).u16string());
        EXPECT_EQ(kit.frames.back().color, c.lastColor);
        EXPECT_EQ(kit.frames.back().units, c.lastWait);
    }
    EXPECT_EQ(kit.shown.size(), c.verdict ? 1u : 0u);
    EXPECT_TRUE(Main().buttons.at("Command3").visible);
    EXPECT_TRUE(Main().buttons.at("Command4").visible);
}

INSTANTIATE_TEST_SUITE_P(Scores, CountUp,
                         ::testing::Values(CountUpCase{0, 0, {}, 0, true}, CountUpCase{1, 1, Color::Rgb(8, 0, 0), 1e6, true},
                                           CountUpCase{31, 31, Color::Rgb(248, 0, 0), 1e6, true},
                                           CountUpCase{32, 32, kRed, 1e6, true}, CountUpCase{80, 80, kRed, 1e6, true},
                                           CountUpCase{81, 81, kRed, 1'050'000, true},
                                           CountUpCase{100, 100, kRed, 2'653'297, true},
                                           CountUpCase{-5, 0, {}, 0, false}));

TEST_F(Windows, CountUpToHundredWaitsAsDesigned) {
    WriteFile("love.dll", "1,\"甲\",\"乙\",100\r\n");
    Start();
    RunTest(u"甲", u"乙");
    ASSERT_EQ(kit.frames.size(), 100u);
    EXPECT_EQ(kit.frames[79].units, 1'000'000);
    EXPECT_EQ(kit.frames[82].units, 1'157'625);
    EXPECT_EQ(kit.frames[89].units, 1'628'894);
    EXPECT_EQ(TotalWait(), 114'719'245);
}

TEST_F(Windows, ScoresAboveHundredEndExactlyWithinFiveSecondsMore) {
    Start();
    for (int score : {101, 150, 32767}) {
        WriteFile("love.dll", "1,\"甲\",\"乙\"," + std::to_string(score) + "\r\n");
        RunTest(u"甲", u"乙");
        ASSERT_GT(kit.frames.size(), 100u);
        EXPECT_EQ(kit.frames[99].caption, u"100");
        EXPECT_EQ(kit.frames.back().caption, fs::path(std::to_string(score)).u16string());
        EXPECT_LE(TotalWait() - 114'719'245, 200'000'000) << score;  // 5 s in 25 ns units
        EXPECT_TRUE(kit.shown.empty()) << "no verdict above 100";
        Main().Click("Command4");
    }
}

TEST_F(Windows, OnceMoreKeepsNamesAndColourAndRereadsTheFile) {
    Start();
    RunTest(u"张三", u"李四");
    Main().Click("Command4");
    EXPECT_TRUE(Main().buttons.at("Command1").visible);
    EXPECT_FALSE(Main().buttons.at("Command3").visible);
    EXPECT_FALSE(Main().buttons.at("Command4").visible);
    EXPECT_EQ(Main().labels.at("Label4").caption, u"");
    EXPECT_EQ(Main().labels.at("Label4").color, kRed);
    EXPECT_EQ(Main().textBoxes.at("Text1").text, u"张三");

    WriteFile("love.dll", "1,\"李四\",\"张三\",7\r\n");  // rigged by hand meanwhile, names swapped
    kit.frames.clear();
    Main().Click("Command1");
    EXPECT_EQ(kit.frames.size(), 7u);
}

TEST_F(Windows, NamesWithoutAScoreAreRefusedWithoutCounting) {
    Start();
    RunTest(std::u16string(1, u'\0'), std::u16string(1, u'\0'));
    ASSERT_EQ(kit.shown.size(), 1u);
    EXPECT_EQ(kit.shown[0].title, u"错误");
    EXPECT_EQ(kit.shown[0].style, MsgStyle::Exclamation);
    EXPECT_TRUE(kit.frames.empty());
    EXPECT_TRUE(Main().buttons.at("Command1").visible);
    EXPECT_EQ(Main().buttons.at("Command1").caption, u"开始测试");
}

TEST_F(Windows, BrokenFileIsReportedAndTheNameScoreStands) {
    Start();
    WriteFile("love.dll", "lots,of,nonsense\r\n");
    RunTest(u"张三", u"李四");
    ASSERT_EQ(kit.shown.size(), 2u);
    EXPECT_EQ(kit.shown[0].style, MsgStyle::Exclamation);
    EXPECT_NE(kit.shown[0].text.find(u"love.dll"), std::u16string::npos);
    EXPECT_EQ(kit.shown[1].title, u"缘分评定");
    EXPECT_EQ(kit.frames.size(), 48u);
    EXPECT_EQ(ReadFile("love.dll"), "lots,of,nonsense\r\n");
}

TEST_F(Windows, MissingFileDuringARunMeansNoRigging) {
    Start();
    fs::remove("love.dll");
    RunTest(u"张三", u"李四");
    EXPECT_EQ(kit.frames.size(), 48u);
    ASSERT_EQ(kit.shown.size(), 1u);
    EXPECT_EQ(kit.shown[0].title, u"缘分评定");
}

TEST_F(Windows, UnwritableFolderAtStartUpIsReportedOnceAndTestsStillRun) {
    // As root a read-only folder is still writable; a removed one is not.
    fs::create_directory("gone");
    fs::current_path("gone");
    fs::remove(fs::current_path());
    Start();
    ASSERT_EQ(kit.shown.size(), 1u);
    EXPECT_NE(kit.shown[0].text.find(u"love.dll"), std::u16string::npos);
    RunTest(u"张三", u"李四");
    EXPECT_EQ(kit.frames.size(), 48u);
    fs::current_path(dir_);
}

TEST_F(Windows, ExitSaysGoodbyeOnceAndEnds) {
    Start();
    Main().Click("Command2");  // nothing open now that could hold the program
    About().Click("Command1");
    RunTest(u"张三", u"李四");
    kit.shown.clear();
    Main().Click("Command3");
    ASSERT_EQ(kit.shown.size(), 1u);
    EXPECT_EQ(kit.shown[0].text, kFarewell);
    EXPECT_EQ(kit.shown[0].title, u"有缘千里来相会");
    EXPECT_EQ(kit.shown[0].style, MsgStyle::Information);
    EXPECT_TRUE(kit.ended);
}

TEST_F(Windows, CloseBoxSaysGoodbyeOnce) {
    Start();
    Main().CloseBox();
    ASSERT_EQ(kit.shown.size(), 1u);
    EXPECT_EQ(kit.shown[0].text, kFarewell);
    EXPECT_FALSE(Main().loaded);
}

TEST_F(Windows, AboutDisablesTheMainWindowUntilItCloses) {
    Start();
    Main().Click("Command2");
    EXPECT_TRUE(About().visible);
    EXPECT_FALSE(Main().enabled);
    Main().CloseBox();  // a disabled window's close box does nothing
    EXPECT_TRUE(Main().loaded);
    About().Click("Command1");
    EXPECT_FALSE(About().loaded);
    EXPECT_TRUE(Main().enabled);

    Main().Click("Command2");
    About().CloseBox();
    EXPECT_FALSE(About().loaded);
    EXPECT_TRUE(Main().enabled);
    EXPECT_TRUE(kit.shown.empty());
}

TEST_F(Windows, HiddenLetterLeadsThroughTheNoticeToTheEditor) {
    Start();
    const std::string before = ReadFile("love.dll");
    Main().Click("Command2");
    kit.whileShown = [&](const fake::Shown&) {
        EXPECT_TRUE(About().visible) << "the About window stays behind the notice";
        EXPECT_FALSE(Editor().visible) << "the editor opens only after the notice";
    };
    About().DblClick("Label4");
    kit.whileShown = nullptr;
    ASSERT_EQ(kit.shown.size(), 1u);
    EXPECT_EQ(kit.shown[0].text, u"为了自己的幸福，请输入作您和她（他）的名字，以及想打的分数。^_^");
    EXPECT_EQ(kit.shown[0].title, u"作弊模式");
    EXPECT_EQ(kit.shown[0].style, MsgStyle::Information);
    EXPECT_FALSE(About().loaded);
    EXPECT_TRUE(Editor().visible);
    EXPECT_FALSE(Main().enabled) << "the main window stays disabled while the editor is open";
    EXPECT_EQ(Editor().textBoxes.at("Text1").text, u"");
    EXPECT_EQ(Editor().textBoxes.at("Text3").text, u"");
    EXPECT_EQ(ReadFile("love.dll"), before);
}

TEST_F(Windows, HiddenPathLeavesAnEmptyFileWhenTheFileIsGone) {
    Start();
    fs::remove("love.dll");
    Main().Click("Command2");
    About().DblClick("Label4");
    ASSERT_TRUE(fs::exists("love.dll"));
    EXPECT_EQ(fs::file_size("love.dll"), 0u);
    Editor().CloseBox();
    RunTest(u"张三", u"李四");  // an empty file rigs nothing, like a missing one
    EXPECT_EQ(kit.frames.size(), 48u);
    EXPECT_EQ(kit.shown.size(), 1u);
}

struct EditorCase {
    std::u16string boy, girl, score;
    std::u16string scoreBoxWhileShown;
    std::string file;
    bool saved;
};

class EditorCases : public Windows, public ::testing::WithParamInterface<EditorCase> {};

TEST_P(EditorCases, StoresReportsAndHandsBack) {
    const EditorCase c = GetParam();
    Start();
    std::u16string scoreBox;
    kit.whileShown = [&](const fake::Shown&) { scoreBox = Editor().textBoxes.at("Text3").text; };
    StoreThroughEditor(c.boy, c.girl, c.score);
    EXPECT_EQ(scoreBox, c.scoreBoxWhileShown);
    EXPECT_EQ(ReadFile("love.dll"), c.file);
    ASSERT_EQ(kit.shown.size(), 1u);
    if (c.saved) {
        EXPECT_EQ(kit.shown[0].title, u"恭喜");
        EXPECT_EQ(kit.shown[0].style, MsgStyle::Exclamation);
        EXPECT_NE(kit.shown[0].text.find(u"love.dll文件！              （提示"), std::u16string::npos);
    } else {
        EXPECT_EQ(kit.shown[0].text, u"未做任何修改");
        EXPECT_EQ(kit.shown[0].title, u"提示");
        EXPECT_EQ(kit.shown[0].style, MsgStyle::Information);
    }
    EXPECT_FALSE(Editor().loaded);
    EXPECT_TRUE(Main().enabled);
    EXPECT_TRUE(Main().visible);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, EditorCases,
    ::testing::Values(EditorCase{u"Tom", u"Ann", u"85", u"85", "1,\"Tom\",\"Ann\",85\r\n", true},
                      EditorCase{u"Tom", u"Ann", u"150", u"100", "1,\"Tom\",\"Ann\",100\r\n", true},
                      EditorCase{u"Tom", u"Ann", u"-5", u"1", "1,\"Tom\",\"Ann\",1\r\n", true},
                      EditorCase{u"Tom", u"Ann", u"0", u"0", "1,\"Tom\",\"Ann\",0\r\n", true},
                      EditorCase{u"Tom", u"Ann", u"abc", u"abc", "1,\"Tom\",\"Ann\",0\r\n", true},
                      EditorCase{u"Tom", u"Ann", u"9.5", u"9.5", "1,\"Tom\",\"Ann\",9.5\r\n", true},
                      EditorCase{u" ", u"Ann", u"5", u"5", "1,\" \",\"Ann\",5\r\n", true},
                      EditorCase{u"Tom", u"Ann", u"", u"", "0,\"Tom\",\"Ann\",0\r\n", false},
                      EditorCase{u"", u"", u"", u"", "0,\"\",\"\",0\r\n", false},
                      EditorCase{u"", u"Ann", u"999", u"100", "0,\"\",\"Ann\",100\r\n", false}));

TEST_F(Windows, StoredPairRigsTheNextTestInEitherOrder) {
    Start();
    StoreThroughEditor(u"张三", u"李四", u"85");
    RunTest(u"李四", u"张三");
    EXPECT_EQ(kit.frames.size(), 85u);
    StoreThroughEditor(u"Tom", u"Ann", u"99");  // replaces the first pair
    Main().Click("Command4");
    RunTest(u"张三", u"李四");
    EXPECT_EQ(kit.frames.size(), 48u);
}

TEST_F(Windows, EditorCloseBoxWritesNothingAndHandsBack) {
    Start();
    const std::string before = ReadFile("love.dll");
    Main().Click("Command2");
    About().DblClick("Label4");
    Editor().textBoxes.at("Text1").text = u"Tom";
    Editor().CloseBox();
    EXPECT_EQ(ReadFile("love.dll"), before);
    EXPECT_TRUE(Main().enabled);
    EXPECT_TRUE(Main().visible);

    Main().Click("Command2");
    About().DblClick("Label4");
    EXPECT_EQ(Editor().textBoxes.at("Text1").text, u"") << "a second opening starts empty";
}

TEST_F(Windows, RefusedWriteKeepsTheFileAndTheEditorOpen) {
    Start();
    WriteFile("love.dll", "1,\"Tom\",\"Ann\",85\r\n");
    StoreThroughEditor(u"a\"b", u"Ann", u"150");
    ASSERT_EQ(kit.shown.size(), 1u);
    EXPECT_EQ(kit.shown[0].style, MsgStyle::Exclamation);
    EXPECT_EQ(kit.shown[0].title, u"错误");
    EXPECT_EQ(ReadFile("love.dll"), "1,\"Tom\",\"Ann\",85\r\n");
    EXPECT_TRUE(Editor().visible);
    EXPECT_EQ(Editor().textBoxes.at("Text1").text, u"a\"b");
    EXPECT_EQ(Editor().textBoxes.at("Text3").text, u"150") << "the boxes stay as typed";
    EXPECT_FALSE(Main().enabled);
}

TEST_F(Windows, ReplaceFailingMidwayIsReportedAndNothingIsLost) {
    Start();
    WriteFile("love.dll", "1,\"Tom\",\"Ann\",85\r\n");
    fate::internal::SetBeforeReplaceHook([] { return false; });
    StoreThroughEditor(u"Bob", u"Eve", u"20");
    fate::internal::SetBeforeReplaceHook(nullptr);
    ASSERT_EQ(kit.shown.size(), 1u);
    EXPECT_EQ(kit.shown[0].title, u"错误");
    EXPECT_EQ(ReadFile("love.dll"), "1,\"Tom\",\"Ann\",85\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1) << "no temporary file left";
    EXPECT_TRUE(Editor().visible);
}

TEST_F(Windows, HiddenPathStopsWhenTheFileCannotBeOpened) {
    Start();
    Main().Click("Command2");
    fs::create_directory("gone");
    fs::current_path("gone");
    fs::remove(fs::current_path());
    About().DblClick("Label4");
    fs::current_path(dir_);
    ASSERT_EQ(kit.shown.size(), 1u);
    EXPECT_EQ(kit.shown[0].style, MsgStyle::Exclamation);
    EXPECT_TRUE(About().visible);
    EXPECT_FALSE(Editor().loaded);
    EXPECT_FALSE(Main().enabled);
}

}  // namespace
