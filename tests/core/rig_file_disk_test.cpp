// love.dll on disk, each test in a fresh folder of its own, since tests may run in parallel.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "core/rig_file.h"
#include "core/rig_file_internal.h"

namespace {

namespace fs = std::filesystem;

constexpr double kNameScore = 42.5;
const std::string kInitialRecord = "0,\"\",\"\",0\r\n";

std::string Read() {
    std::ifstream in("love.dll", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(std::string_view content) {
    std::ofstream("love.dll", std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
}

double Lookup() { return fate::LookupRiggedScore(u"Tom", u"Ann", kNameScore); }

// What the folder holds: shows a temporary file left behind.
std::size_t Entries() { return static_cast<std::size_t>(std::distance(fs::directory_iterator("."), {})); }

class RigFileDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        do folder_ = fs::temp_directory_path() / ("tamsory-core-" + std::to_string(std::random_device()()));
        while (!fs::create_directory(folder_));
        fs::current_path(folder_);
    }
    void TearDown() override {
        fate::internal::SetBeforeReplaceHook(nullptr);
        fs::current_path(previous_);
        fs::remove_all(folder_);
    }
    fs::path previous_ = fs::current_path(), folder_;
};

TEST_F(RigFileDisk, EnsureWritesTheInitialRecordOnlyWhenMissingOrEmpty) {
    EXPECT_EQ(Lookup(), kNameScore);  // no file: no rigged pairs
    EXPECT_EQ(Entries(), 0u);
    fate::EnsureRigFile();
    EXPECT_EQ(Read(), kInitialRecord);
    Put("");
    fate::EnsureRigFile();
    EXPECT_EQ(Read(), kInitialRecord);
    const std::string anything("x\0\xFF,", 4);
    Put(anything);
    fate::EnsureRigFile();
    EXPECT_EQ(Read(), anything);
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(RigFileDisk, EachWriteReplacesTheWholeFile) {
    fate::WriteRigFile(1, u"张三", u"李四", 9.5);
    EXPECT_EQ(Read(), "1,\"\xD5\xC5\xC8\xFD\",\"\xC0\xEE\xCB\xC4\",9.5\r\n");
    EXPECT_EQ(fate::LookupRiggedScore(u"李四", u"张三", kNameScore), 10);
    fate::WriteRigFile(0, u"Tom", u"Ann", 0);
    EXPECT_EQ(Read(), "0,\"Tom\",\"Ann\",0\r\n");
    EXPECT_EQ(Lookup(), kNameScore);
    EXPECT_EQ(Entries(), 1u);
}

// The new content is complete in a temporary file beside love.dll, which is still the old one.
bool (*const kFailBeforeReplace)() = [] {
    EXPECT_EQ(Read(), "old");
    EXPECT_EQ(Entries(), 2u);
    return false;
};

TEST_F(RigFileDisk, FailedWritesLeaveTheOldFileAndNoTemporary) {
    Put("old");
    EXPECT_THROW(fate::WriteRigFile(1, u"To\"m", u"Ann", 1), fate::RigFileError);
    EXPECT_THROW(fate::WriteRigFile(1, u"Tom", u"\u00C0", 1), fate::RigFileError);
    fate::internal::SetBeforeReplaceHook(kFailBeforeReplace);
    EXPECT_THROW(fate::WriteRigFile(1, u"Bob", u"Eve", 7), fate::RigFileError);
    EXPECT_EQ(Read(), "old");
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(RigFileDisk, LoveDllAsAFolderIsReportedByEveryOperation) {
    fs::create_directory("love.dll");
    EXPECT_THROW(fate::EnsureRigFile(), fate::RigFileError);
    EXPECT_THROW(fate::TouchRigFile(), fate::RigFileError);
    EXPECT_THROW(fate::WriteRigFile(1, u"Tom", u"Ann", 85), fate::RigFileError);
    try {
        Lookup();
        ADD_FAILURE() << "no error";
    } catch (const fate::RigFileError& error) {
        EXPECT_EQ(error.Message(), u"无法读取 love.dll。");
    }
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(RigFileDisk, TouchCreatesAnEmptyFileAndChangesNoContent) {
    fate::TouchRigFile();
    EXPECT_EQ(Read(), "");
    EXPECT_EQ(Entries(), 1u);
    EXPECT_EQ(Lookup(), kNameScore);
    Put("1,Tom,Ann,85");
    fate::TouchRigFile();
    EXPECT_EQ(Read(), "1,Tom,Ann,85");
}

TEST_F(RigFileDisk, FilesAboveOneMebibyteAreRefused) {
    std::string content = "1,Tom,Ann,85,";
    content.resize(std::size_t{1} << 20, ' ');
    Put(content);
    EXPECT_EQ(Lookup(), 85);
    Put(content + " ");
    EXPECT_THROW(Lookup(), fate::RigFileError);
}

}  // namespace
