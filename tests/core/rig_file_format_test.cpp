// The love.dll format, through the reader and writer without the disk.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/rig_file.h"
#include "core/rig_file_internal.h"

namespace {

using fate::internal::LookupInRigFileContent;
using fate::internal::RigFileRecord;

constexpr double kNameScore = 42.5;  // no file can give this
const std::string kUtf8Mark = "\xEF\xBB\xBF";

double Lookup(std::string_view content, std::u16string_view boy, std::u16string_view girl) {
    return LookupInRigFileContent(content, boy, girl, kNameScore);
}

std::string Utf16File(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return bytes;
}

TEST(RigFileFormat, MatchesAndScores) {
    const std::string tomAnn = "1,\"Tom\",\"Ann\",";
    const struct {
        std::string content;
        std::u16string boy, girl;
        double score;
    } cases[] = {
        {tomAnn + "85\r\n", u"Tom", u"Ann", 85},
        {tomAnn + "85\r\n", u"Ann", u"Tom", 85},  // either order
        {tomAnn + "85\r\n", u"tom", u"Ann", kNameScore},
        {tomAnn + "85\r\n", u"Tom ", u"Ann", kNameScore},
        {tomAnn + "150", u"Tom", u"Ann", 150},
        {tomAnn + "-5", u"Tom", u"Ann", -5},
        {tomAnn + "85.5", u"Tom", u"Ann", 86},  // halves go to the even neighbour
        {tomAnn + "84.5", u"Tom", u"Ann", 84},
        {tomAnn + "-32768.5", u"Tom", u"Ann", -32768},
        {tomAnn + "1e2", u"Tom", u"Ann", 100},
        {"2,\"Tom\",\"Ann\",10,\"Ann\",\"Tom\",90", u"Tom", u"Ann", 90},  // the last match wins
        {tomAnn + "85,\"Bob\",\"Eve\",20", u"Bob", u"Eve", kNameScore},   // beyond the count
        {"0,\"Tom\",\"Ann\",85", u"Tom", u"Ann", kNameScore},
        {"-1,\"Tom\",\"Ann\",85", u"Tom", u"Ann", kNameScore},
        {"1,\"A,B\",\"Ann\",7", u"A,B", u"Ann", 7},
        {"1,\" \",\"Ann\",7", u" ", u"Ann", 7},
        {"\"1\",\"Tom\",\"Ann\",85", u"Tom", u"Ann", 85},  // a quoted count
        {"2,Tom,Ann,99,Bob,Eve,1", u"Bob", u"Eve", 1},
        {"2\r\n\"Tom\",\"Ann\",99\r\n\"Bob\",\"Eve\",1\r\n", u"Bob", u"Eve", 1},
        {"2\n\"Tom\",\"Ann\",99\n\"Bob\",\"Eve\",1\n", u"Bob", u"Eve", 1},
        {"2\r\"Tom\",\"Ann\",99\r\"Bob\",\"Eve\",1\r", u"Bob", u"Eve", 1},
        {"1,\r\n\r\nTom,\r\nAnn,\r\n5", u"Tom", u"Ann", 5},  // blank lines, commas at line ends
        {"1, Tom ,\tAnn\t, 5 ", u"Tom", u"Ann", 5},
        {"1,\"Tom\" x,\"Ann\",5", u"Tom", u"Ann", 5},  // dropped after a closing quote
        {"", u"Tom", u"Ann", kNameScore},
        {" \r\n", u"Tom", u"Ann", kNameScore},
        // Chinese names: code page 936, UTF-8 with and without a byte-order mark, UTF-16LE.
        {"1,\"\xD5\xC5\xC8\xFD\",\"\xC0\xEE\xCB\xC4\",85", u"张三", u"李四", 85},
        {"1,\"张三\",\"李四\",85", u"张三", u"李四", 85},
        {kUtf8Mark + "1,张三,李四,85\r\n", u"张三", u"李四", 85},
        {Utf16File(u"1,\"张三\",\"李四\",85\r\n"), u"张三", u"李四", 85},
        {"1,\"\xAA\xA1\",\"Ann\",5", u"\uE000", u"Ann", 5},              // a user-defined 936 character
        {"1,\"\xE0\x81\x94om\",\"Ann\",5", u"Tom", u"Ann", kNameScore},  // overlong UTF-8 is no T
    };
    for (const auto& c : cases) EXPECT_EQ(Lookup(c.content, c.boy, c.girl), c.score) << c.content;
}

TEST(RigFileFormat, AllHundredSlotsAreRead) {
    std::string pairs;
    for (int i = 0; i < 100; ++i) pairs += ",\"B" + std::to_string(i) + "\",\"G\"," + std::to_string(i);
    EXPECT_EQ(Lookup("100" + pairs, u"B99", u"G"), 99);
    EXPECT_THROW(Lookup("101" + pairs + ",\"B\",\"G\",1", u"B99", u"G"), fate::RigFileError);
}

TEST(RigFileFormat, FilesOutsideTheLimitsAreReportedInChinese) {
    const std::string tomAnn = "1,\"Tom\",\"Ann\",";
    const struct {
        std::string content;
        std::string message;
    } cases[] = {
        // clang-format off
        {"x,\"Tom\",\"Ann\",85", "作弊个数不是数字"}, {"101,\"Tom\",\"Ann\",85", "超过了 100"}, {"1e9", "超过了 100"},
        {"2,\"Tom\",\"Ann\",85", "只有 1 组"},        {tomAnn, "只有 0 组"},        {tomAnn + "abc", "第 1 组的分数不是数字"},
        {tomAnn + "8 5", "不是数字"},   {tomAnn + "\"\"", "不是数字"},   {tomAnn + "32768", "超出了"},
        {tomAnn + "-32769", "超出了"},  {tomAnn + "32767.5", "超出了"},  {tomAnn + "1e999", "超出了"},
        {Utf16File(u"1,") + "x", "不完整"},
        // clang-format on
    };
    for (const auto& c : cases) {
        try {
            Lookup(c.content, u"Tom", u"Ann");
            ADD_FAILURE() << "no error for " << c.content;
        } catch (const fate::RigFileError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find("love.dll"), std::string::npos) << message;
            EXPECT_NE(message.find(c.message), std::string::npos) << message;
        }
    }
}

TEST(RigFileFormat, WriterRecordsAreExactAndReadBack) {
    const struct {
        std::u16string boy, girl;
        double score;
        std::string record;
    } cases[] = {
        {u"Tom", u"Ann", 85, "1,\"Tom\",\"Ann\",85\r\n"},
        {u"Tom", u"Ann", -0.0, "1,\"Tom\",\"Ann\",0\r\n"},
        {u"Tom", u"Ann", 9.5, "1,\"Tom\",\"Ann\",9.5\r\n"},
        {u"A,B", u" ", 0.1, "1,\"A,B\",\" \",0.1\r\n"},
        {u"张三", u"€", -2.5, "1,\"\xD5\xC5\xC8\xFD\",\"\x80\",-2.5\r\n"},
        {u"\r\n", u"x", 32767.25, "1,\"\r\n\",\"x\",32767.25\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RigFileRecord(1, c.boy, c.girl, c.score), c.record);
        EXPECT_EQ(Lookup(c.record, c.girl, c.boy), fate::internal::RoundHalfEven(c.score)) << c.record;
    }
    EXPECT_EQ(RigFileRecord(0, u"", u"", 0), std::string("0,\"\",\"\",0\r\n"));
}

// A double quote; characters 936 lacks (best fit would store a look-alike of the first); a lone
// surrogate; U+F8F5, written as 0xFF, which 936 does not read back; a count the single record cannot
// hold; scores the reader could not take back.
TEST(RigFileFormat, WriterRefusesWhatItCannotStoreFaithfully) {
    const struct {
        std::int16_t count;
        std::u16string name;
        double score;
    } cases[] = {
        {1, u"A\"B", 1},       {1, u"\u00C0", 1},    {1, u"\u0E01", 1},   {1, u"😀", 1},
        {1, u"\xDC00", 1},     {1, u"\uF8F5", 1},    {2, u"Tom", 1},      {1, u"Tom", NAN},
        {1, u"Tom", INFINITY}, {1, u"Tom", 32767.5}, {0, u"Tom", -40000},
    };
    for (const auto& c : cases) EXPECT_THROW(RigFileRecord(c.count, c.name, u"Ann", c.score), fate::RigFileError);
}

}  // namespace
