// love.dll on disk. Each test works in a fresh folder of its own, since tests may run in parallel.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "core/rig_file.h"
#include "core/rig_file_internal.h"

namespace {

namespace fs = std::filesystem;

constexpr double kNameScore = 42.5;
const std::string kInitialRecord = "0,\"\",\"\",0\r\n";

using Names = std::vector<std::string>;

std::string Read(const fs::path& name = "love.dll") {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(std::string_view content) {
    std::ofstream("love.dll", std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
}

// The names in the working folder: shows a temporary file left behind.
Names Entries() {
    Names names;
    for (const auto& entry : fs::directory_iterator(".")) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class RigFileDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::random_device random;
        do folder_ = fs::temp_directory_path() / ("tamsory-" + test + "-" + std::to_string(random()));
        while (!fs::create_directory(folder_));
        fs::current_path(folder_);
    }

    void TearDown() override {
        fate::internal::SetBeforeReplaceHook(nullptr);
        fs::current_path(previous_);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    fs::path previous_;
    fs::path folder_;
};

TEST_F(RigFileDisk, EnsureWritesTheInitialRecordOnlyWhenMissingOrEmpty) {
    EXPECT_EQ(fate::LookupRiggedScore(u"Tom", u"Ann", kNameScore), kNameScore);  // no file: no rigged pairs
    EXPECT_EQ(Entries(), Names{});

    fate::EnsureRigFile();
    EXPECT_EQ(Read(), kInitialRecord);
    EXPECT_EQ(Read().size(), 11u);
    EXPECT_EQ(fate::LookupRiggedScore(u"Tom", u"Ann", kNameScore), kNameScore);

    Put("");
    fate::EnsureRigFile();
    EXPECT_EQ(Read(), kInitialRecord);

    const std::string anything("x\0\xFF,", 4);
    Put(anything);
    fate::EnsureRigFile();
    EXPECT_EQ(Read(), anything);
    EXPECT_EQ(Entries(), Names{"love.dll"});
}

TEST_F(RigFileDisk, EachWriteReplacesTheWholeFile) {
    fate::WriteRigFile(1, u"Tom", u"Ann", 85);
    EXPECT_EQ(Read(), "1,\"Tom\",\"Ann\",85\r\n");
    EXPECT_EQ(fate::LookupRiggedScore(u"Ann", u"Tom", kNameScore), 85);

    fate::WriteRigFile(1, u"张三", u"李四", 9.5);
    EXPECT_EQ(Read(), "1,\"\xD5\xC5\xC8\xFD\",\"\xC0\xEE\xCB\xC4\",9.5\r\n");
    EXPECT_EQ(fate::LookupRiggedScore(u"张三", u"李四", kNameScore), 10);
    EXPECT_EQ(fate::LookupRiggedScore(u"Tom", u"Ann", kNameScore), kNameScore);

    fate::WriteRigFile(0, u"Tom", u"Ann", 0);
    EXPECT_EQ(Read(), "0,\"Tom\",\"Ann\",0\r\n");
    EXPECT_EQ(fate::LookupRiggedScore(u"Tom", u"Ann", kNameScore), kNameScore);
    EXPECT_EQ(Entries(), Names{"love.dll"});
}

// The new content is complete in a temporary file beside love.dll, which is still the old one.
bool (*const kFailBeforeReplace)() = [] {
    const Names names = Entries();
    EXPECT_EQ(names.size(), 2u);
    for (const auto& name : names) EXPECT_EQ(Read(name), name == "love.dll" ? "old" : "1,\"Bob\",\"Eve\",7\r\n");
    return false;
};

TEST_F(RigFileDisk, FailedWritesLeaveTheOldFileAndNoTemporary) {
    Put("old");
    EXPECT_THROW(fate::WriteRigFile(1, u"To\"m", u"Ann", 1), fate::RigFileError);
    EXPECT_THROW(fate::WriteRigFile(1, u"Tom", u"\u00C0", 1), fate::RigFileError);
    fate::internal::SetBeforeReplaceHook(kFailBeforeReplace);
    EXPECT_THROW(fate::WriteRigFile(1, u"Bob", u"Eve", 7), fate::RigFileError);
    EXPECT_EQ(Read(), "old");
    EXPECT_EQ(Entries(), Names{"love.dll"});
}

TEST_F(RigFileDisk, LoveDllAsAFolderIsReportedByEveryOperation) {
    fs::create_directory("love.dll");
    EXPECT_THROW(fate::EnsureRigFile(), fate::RigFileError);
    EXPECT_THROW(fate::TouchRigFile(), fate::RigFileError);
    EXPECT_THROW(fate::WriteRigFile(1, u"Tom", u"Ann", 85), fate::RigFileError);
    try {
        fate::LookupRiggedScore(u"Tom", u"Ann", kNameScore);
        ADD_FAILURE() << "no error";
    } catch (const fate::RigFileError& error) {
        EXPECT_EQ(error.Message(), u"无法读取 love.dll。");
    }
    EXPECT_EQ(Entries(), Names{"love.dll"});
}

#ifndef _WIN32  // Windows does not let a process remove its working folder
TEST_F(RigFileDisk, VanishedWorkingFolderIsReportedByTheWriters) {
    fs::remove(folder_);
    EXPECT_THROW(fate::EnsureRigFile(), fate::RigFileError);
    EXPECT_THROW(fate::TouchRigFile(), fate::RigFileError);
    EXPECT_THROW(fate::WriteRigFile(1, u"Tom", u"Ann", 85), fate::RigFileError);
    EXPECT_EQ(fate::LookupRiggedScore(u"Tom", u"Ann", kNameScore), kNameScore);
}
#endif

TEST_F(RigFileDisk, TouchCreatesAnEmptyFileAndChangesNoContent) {
    fate::TouchRigFile();
    EXPECT_TRUE(fs::exists("love.dll"));
    EXPECT_EQ(Read(), "");
    EXPECT_EQ(fate::LookupRiggedScore(u"Tom", u"Ann", kNameScore), kNameScore);

    Put("1,Tom,Ann,85");
    fate::TouchRigFile();
    EXPECT_EQ(Read(), "1,Tom,Ann,85");
}

TEST_F(RigFileDisk, FilesAboveOneMebibyteAreRefused) {
    std::string content = "1,Tom,Ann,85,";
    content.resize(std::size_t{1} << 20, ' ');
    Put(content);
    EXPECT_EQ(fate::LookupRiggedScore(u"Tom", u"Ann", kNameScore), 85);
    Put(content + " ");
    EXPECT_THROW(fate::LookupRiggedScore(u"Tom", u"Ann", kNameScore), fate::RigFileError);
}

}  // namespace
