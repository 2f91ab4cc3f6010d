// The three windows' handlers, driven through the fake toolkit as a user would drive them, with
// the real love.dll in a fresh working directory. Outcomes only: the controls, the message boxes
// in order, the count-up's frames and the bytes on disk.
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

constexpr Color kRed = Color::Rgb(255, 0, 0);
const std::u16string kFarewell = u"有缘千里来相会|64|祝天下有“缘”人终成眷属！^.^";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::u16string Decimal(long n) {
    const std::string s = std::to_string(n);
    return {s.begin(), s.end()};
}

class Windows : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = "tamsory-ui-" + std::to_string(::getpid()) + "-" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name();
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

    fake::Form& Main() { return kit.FormNamed("Main"); }
    fake::Form& About() { return kit.FormNamed("about"); }
    fake::Form& Editor() { return kit.FormNamed("newcht"); }

    // The main window at a glance: names, number, start caption, and which buttons show.
    std::u16string MainState() {
        fake::Form& m = Main();
        const auto shows = [&](const char* b) { return m.buttons.at(b).visible ? u"+" : u"-"; };
        return m.textBoxes.at("Text1").text + u"|" + m.textBoxes.at("Text2").text + u"|" +
               m.labels.at("Label4").caption + u"|" + m.buttons.at("Command1").caption + shows("Command1") +
               shows("Command3") + shows("Command4");
    }
    // Every message box so far as title|style|text, one per line.
    std::u16string Shown() {
        std::u16string all;
        for (const fake::Shown& s : kit.shown) {
            all += s.title + u"|" + Decimal(static_cast<int>(s.style)) + u"|" + s.text + u"\n";
        }
        return all;
    }

    // A whole test from the start button, with the names typed first.
    void RunTest(std::u16string boy, std::u16string girl) {
        Main().textBoxes.at("Text1").text = std::move(boy);
        Main().textBoxes.at("Text2").text = std::move(girl);
        kit.frames.clear();
        kit.shown.clear();
        Main().Click("Command1");
    }
    void Rig(long score) { WriteFile("love.dll", "1,\"甲\",\"乙\"," + std::to_string(score) + "\r\n"); }

    // Types into the editor, reached the hidden way, and confirms.
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

TEST_F(Windows, StartUpPreparesTheFileAndTheWindow) {
    program.Start();
    EXPECT_EQ(ReadFile("love.dll"), "0,\"\",\"\",0\r\n");
    EXPECT_EQ(MainState(), u"|||OK！开始测试+--");
    EXPECT_EQ(Shown(), u"");
}

TEST_F(Windows, StartUpLeavesAFileWithContentAlone) {
    WriteFile("love.dll", "1,Tom,Ann,85");
    program.Start();
    EXPECT_EQ(ReadFile("love.dll"), "1,Tom,Ann,85");
}

TEST_F(Windows, EmptyNameIsRefusedAndOnlyTheCaptionChanges) {
    program.Start();
    for (const auto& [boy, girl] : {std::pair<std::u16string, std::u16string>{u"", u"李四"}, {u"张三", u""}, {u"", u""}}) {
        RunTest(boy, girl);
        EXPECT_EQ(Shown(), u"错误|48|人名不能为空！\n");
        EXPECT_TRUE(kit.frames.empty());
        EXPECT_EQ(MainState(), boy + u"|" + girl + u"||开始测试+--");
    }
}

TEST_F(Windows, AWholeTestCountsUpShowsTheVerdictAndSwapsTheButtons) {
    program.Start();
    RunTest(u"张三", u"李四");  // name score 48
    ASSERT_EQ(kit.frames.size(), 48u);
    EXPECT_EQ(kit.frames.back().caption, u"48");
    EXPECT_EQ(Shown(), u"缘分评定|64|在如此无缘的两个人之间如果还能产生什么浪漫邂逅的话应该称的上是奇迹了\n");
    EXPECT_EQ(MainState(), u"张三|李四|48|开始测试-++");
    EXPECT_FALSE(kit.clock.running);
}

// Final scores rigged by hand, so that each reaches the count-up exactly. Every frame shows its
// number in its colour on screen before its wait.
struct CountUpCase {
    int score;
    size_t frames;
    double lastWait;
    bool verdict;
};
class CountUp : public Windows, public ::testing::WithParamInterface<CountUpCase> {};

TEST_P(CountUp, FramesColoursWaitsAndVerdict) {
    const CountUpCase c = GetParam();
    Rig(c.score);
    program.Start();
    RunTest(u"甲", u"乙");
    ASSERT_EQ(kit.frames.size(), c.frames);
    for (size_t i = 0; i < kit.frames.size(); ++i) {
        EXPECT_EQ(kit.frames[i].caption, Decimal(static_cast<long>(i) + 1));
        EXPECT_EQ(kit.frames[i].color, Color::Rgb(static_cast<std::uint8_t>(std::min<size_t>(8 * (i + 1), 255)), 0, 0));
    }
    if (c.frames > 0) {
        EXPECT_EQ(kit.frames.back().units, c.lastWait);
    }
    EXPECT_EQ(kit.shown.size(), c.verdict ? 1u : 0u);
    EXPECT_EQ(MainState(), u"甲|乙|" + (c.frames ? Decimal(c.score) : u"") + u"|开始测试-++");
}

INSTANTIATE_TEST_SUITE_P(Scores, CountUp,
                         ::testing::Values(CountUpCase{0, 0, 0, true}, CountUpCase{1, 1, 1e6, true},
                                           CountUpCase{31, 31, 1e6, true}, CountUpCase{32, 32, 1e6, true},
                                           CountUpCase{80, 80, 1e6, true}, CountUpCase{81, 81, 1'050'000, true},
                                           CountUpCase{100, 100, 2'653'297, true}, CountUpCase{-5, 0, 0, false}));

TEST_F(Windows, CountUpToHundredWaitsAsDesigned) {
    Rig(100);
    program.Start();
    RunTest(u"甲", u"乙");
    ASSERT_EQ(kit.frames.size(), 100u);
    EXPECT_EQ(kit.frames[82].units, 1'157'625);
    EXPECT_EQ(kit.frames[89].units, 1'628'894);
    EXPECT_EQ(TotalWait(), 114'719'245);
}

TEST_F(Windows, ScoresAboveHundredEndExactlyWithinFiveSecondsMore) {
    program.Start();
    for (int score : {101, 150, 32767}) {
        Rig(score);
        RunTest(u"甲", u"乙");
        ASSERT_GT(kit.frames.size(), 100u);
        EXPECT_EQ(kit.frames[99].caption, u"100");
        EXPECT_EQ(kit.frames.back().caption, Decimal(score));
        EXPECT_EQ(kit.frames.back().color, kRed);
        EXPECT_LE(TotalWait() - 114'719'245, 200'000'000) << score;  // 5 s in 25 ns units
        EXPECT_EQ(Shown(), u"") << "no verdict above 100";
        Main().Click("Command4");
    }
}

TEST_F(Windows, OnceMoreKeepsNamesAndColourAndTheFileIsReadAfresh) {
    program.Start();
    RunTest(u"张三", u"李四");
    Main().Click("Command4");
    EXPECT_EQ(MainState(), u"张三|李四||开始测试+--");
    EXPECT_EQ(Main().labels.at("Label4").color, kRed);

    WriteFile("love.dll", "1,\"李四\",\"张三\",7\r\n");  // rigged by hand meanwhile, names swapped
    kit.frames.clear();
    Main().Click("Command1");
    EXPECT_EQ(kit.frames.size(), 7u);
    EXPECT_EQ(kit.frames.front().color, Color::Rgb(8, 0, 0)) << "the colour starts afresh";
}

TEST_F(Windows, FailuresOfATestAreReportedAndTheTestGoesOnWhereItCan) {
    program.Start();
    RunTest(std::u16string(1, u'\0'), std::u16string(1, u'\0'));  // no name score: nothing to count
    EXPECT_TRUE(Shown().starts_with(u"错误|48|"));
    EXPECT_TRUE(kit.frames.empty());
    EXPECT_TRUE(MainState().ends_with(u"||开始测试+--"));

    WriteFile("love.dll", "lots,of,nonsense\r\n");  // a broken file costs only the rigging
    RunTest(u"张三", u"李四");
    ASSERT_EQ(kit.shown.size(), 2u);
    EXPECT_NE(kit.shown[0].text.find(u"love.dll"), std::u16string::npos);
    EXPECT_EQ(kit.shown[1].title, u"缘分评定");
    EXPECT_EQ(kit.frames.size(), 48u);
    EXPECT_EQ(ReadFile("love.dll"), "lots,of,nonsense\r\n");

    Main().Click("Command4");
    fs::remove("love.dll");  // a missing file means no rigging, silently
    RunTest(u"张三", u"李四");
    EXPECT_EQ(kit.frames.size(), 48u);
    EXPECT_EQ(kit.shown.size(), 1u);
}

// As root a read-only folder is still writable; a removed one is not.
void EnterRemovedFolder() {
    fs::create_directory("gone");
    fs::current_path("gone");
    fs::remove(fs::current_path());
}

TEST_F(Windows, UnwritableFolderAtStartUpIsReportedOnceAndTestsStillRun) {
    EnterRemovedFolder();
    program.Start();
    ASSERT_EQ(kit.shown.size(), 1u);
    EXPECT_NE(kit.shown[0].text.find(u"love.dll"), std::u16string::npos);
    RunTest(u"张三", u"李四");
    EXPECT_EQ(kit.frames.size(), 48u);
}

TEST_F(Windows, ExitAndCloseBoxEachSayGoodbyeOnce) {
    program.Start();
    RunTest(u"张三", u"李四");
    kit.shown.clear();
    Main().Click("Command3");
    EXPECT_EQ(Shown(), kFarewell + u"\n");
    EXPECT_TRUE(kit.ended);

    fake::Toolkit other;
    Program second(other);
    second.Start();
    other.FormNamed("Main").CloseBox();
    ASSERT_EQ(other.shown.size(), 1u);
    EXPECT_EQ(other.shown[0].text, u"祝天下有“缘”人终成眷属！^.^");
    EXPECT_FALSE(other.FormNamed("Main").loaded);
}

TEST_F(Windows, AboutDisablesTheMainWindowUntilItCloses) {
    program.Start();
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
    EXPECT_EQ(Shown(), u"");
}

TEST_F(Windows, HiddenLetterLeadsThroughTheNoticeToTheEditor) {
    program.Start();
    fs::remove("love.dll");
    Main().Click("Command2");
    kit.whileShown = [&](const fake::Shown&) {
        EXPECT_TRUE(About().visible) << "the About window stays behind the notice";
        EXPECT_FALSE(Editor().visible) << "the editor opens only after the notice";
    };
    About().DblClick("Label4");
    kit.whileShown = nullptr;
    EXPECT_EQ(Shown(), u"作弊模式|64|为了自己的幸福，请输入作您和她（他）的名字，以及想打的分数。^_^\n");
    EXPECT_FALSE(About().loaded);
    EXPECT_TRUE(Editor().visible);
    EXPECT_FALSE(Main().enabled) << "the main window stays disabled while the editor is open";
    EXPECT_EQ(Editor().textBoxes.at("Text1").text + Editor().textBoxes.at("Text3").text, u"");
    EXPECT_EQ(ReadFile("love.dll"), "") << "a missing file is left behind empty";
}

TEST_F(Windows, HiddenPathStopsWhenTheFileCannotBeOpened) {
    program.Start();
    Main().Click("Command2");
    EnterRemovedFolder();
    About().DblClick("Label4");
    EXPECT_TRUE(Shown().starts_with(u"错误|48|"));
    EXPECT_TRUE(About().visible);
    EXPECT_FALSE(Editor().loaded);
    EXPECT_FALSE(Main().enabled);
}

struct EditorCase {
    std::u16string boy, girl, score;
    std::u16string scoreBoxWhileShown;
    std::string file;
};
class EditorCases : public Windows, public ::testing::WithParamInterface<EditorCase> {};

TEST_P(EditorCases, StoresReportsAndHandsBack) {
    const EditorCase c = GetParam();
    program.Start();
    std::u16string scoreBox;
    kit.whileShown = [&](const fake::Shown&) { scoreBox = Editor().textBoxes.at("Text3").text; };
    StoreThroughEditor(c.boy, c.girl, c.score);
    EXPECT_EQ(scoreBox, c.scoreBoxWhileShown);
    EXPECT_EQ(ReadFile("love.dll"), c.file);
    const bool saved = c.file[0] == '1';
    EXPECT_TRUE(Shown().starts_with(saved ? u"恭喜|48|修改成功" : u"提示|64|未做任何修改\n"));
    EXPECT_FALSE(Editor().loaded);
    EXPECT_TRUE(Main().enabled && Main().visible);
}

INSTANTIATE_TEST_SUITE_P(Pairs, EditorCases,
                         ::testing::Values(EditorCase{u"Tom", u"Ann", u"85", u"85", "1,\"Tom\",\"Ann\",85\r\n"},
                                           EditorCase{u"Tom", u"Ann", u"150", u"100", "1,\"Tom\",\"Ann\",100\r\n"},
                                           EditorCase{u"Tom", u"Ann", u"-5", u"1", "1,\"Tom\",\"Ann\",1\r\n"},
                                           EditorCase{u"Tom", u"Ann", u"abc", u"abc", "1,\"Tom\",\"Ann\",0\r\n"},
                                           EditorCase{u" ", u"Ann", u"9.5", u"9.5", "1,\" \",\"Ann\",9.5\r\n"},
                                           EditorCase{u"Tom", u"Ann", u"", u"", "0,\"Tom\",\"Ann\",0\r\n"},
                                           EditorCase{u"", u"Ann", u"999", u"100", "0,\"\",\"Ann\",100\r\n"}));

TEST_F(Windows, SavedMessageIsWordForWord) {
    program.Start();
    StoreThroughEditor(u"Tom", u"Ann", u"85");
    EXPECT_EQ(kit.shown.at(0).text,
              u"修改成功，切记不要删除主程序目录下生成的love.dll文件！              （提示：也可以用记事本打开该文件直接修改，"
              u"格式为“开启的作弊个数(最大为99),男孩名1,女孩名1,分数1,男孩名2,女孩名2,分数2,……”）");
}

TEST_F(Windows, StoredPairRigsTheNextTestInEitherOrderUntilReplaced) {
    program.Start();
    StoreThroughEditor(u"张三", u"李四", u"85");
    RunTest(u"李四", u"张三");
    EXPECT_EQ(kit.frames.size(), 85u);
    StoreThroughEditor(u"Tom", u"Ann", u"99");
    Main().Click("Command4");
    RunTest(u"张三", u"李四");
    EXPECT_EQ(kit.frames.size(), 48u);
}

TEST_F(Windows, EditorCloseBoxWritesNothingAndAReopenedEditorIsEmpty) {
    program.Start();
    const std::string before = ReadFile("love.dll");
    Main().Click("Command2");
    About().DblClick("Label4");
    Editor().textBoxes.at("Text1").text = u"Tom";
    Editor().CloseBox();
    EXPECT_EQ(ReadFile("love.dll"), before);
    EXPECT_TRUE(Main().enabled && Main().visible);

    Main().Click("Command2");
    About().DblClick("Label4");
    EXPECT_EQ(Editor().textBoxes.at("Text1").text, u"");
}

// A refused name and a replace that fails midway: the user is told, nothing is lost, and the
// editor stays open with the boxes as typed.
TEST_F(Windows, FailedSaveKeepsTheFileAndTheEditorOpen) {
    program.Start();
    const std::string stored = "1,\"Tom\",\"Ann\",85\r\n";
    WriteFile("love.dll", stored);
    StoreThroughEditor(u"a\"b", u"Ann", u"150");
    EXPECT_TRUE(Shown().starts_with(u"错误|48|"));
    EXPECT_EQ(ReadFile("love.dll"), stored);
    EXPECT_EQ(Editor().textBoxes.at("Text3").text, u"150");
    EXPECT_TRUE(Editor().visible);
    EXPECT_FALSE(Main().enabled);

    Editor().CloseBox();
    fate::internal::SetBeforeReplaceHook([] { return false; });
    StoreThroughEditor(u"Bob", u"Eve", u"20");
    fate::internal::SetBeforeReplaceHook(nullptr);
    EXPECT_TRUE(Shown().starts_with(u"错误|48|"));
    EXPECT_EQ(ReadFile("love.dll"), stored);
    EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1) << "no temporary file left";
    EXPECT_TRUE(Editor().visible);
}

}  // namespace
