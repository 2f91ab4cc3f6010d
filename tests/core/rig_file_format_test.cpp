// The love.dll format, through the reader and writer without the disk.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/rig_file.h"
#include "core/rig_file_internal.h"

namespace {

constexpr double kNameScore = 42.5;  // no file can give this
constexpr double kRefused = -1e9;    // the reader reports the file as broken

double Lookup(std::string_view content, std::u16string_view boy, std::u16string_view girl) {
    try {
        return fate::internal::LookupInRigFileContent(content, boy, girl, kNameScore);
    } catch (const fate::RigFileError&) {  // which names love.dll, as the fuzz target checks
        return kRefused;
    }
}

std::string Utf16File(std::u16string_view text, bool bigEndian = false) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

// The pair count, then pairs of names matched exactly in either order; the last match wins and
// halves go to the even neighbour. Names quoted or not, items over lines as they come, Chinese in
// 936, UTF-8 (with or without its mark) or UTF-16 in either byte order. Files beyond the limits are
// reported, as is UTF-16 with a byte left over, though what comes before it would read.
TEST(RigFileFormat, MatchesScoresAndLimits) {
    const std::string tomAnn = "1,\"Tom\",\"Ann\",";
    std::string hundred = "100";
    for (int i = 0; i < 100; ++i) hundred += ",\"B" + std::to_string(i) + "\",\"G\"," + std::to_string(i);
    const std::tuple<std::string, std::u16string, std::u16string, double> cases[] = {
        // clang-format off
        {tomAnn + "85\r\n", u"Tom", u"Ann", 85}, {tomAnn + "85\r\n", u"Ann", u"Tom", 85},
        {tomAnn + "85", u"tom", u"Ann", kNameScore}, {tomAnn + "85", u"Tom ", u"Ann", kNameScore},
        {tomAnn + "-5", u"Tom", u"Ann", -5}, {tomAnn + "85.5", u"Tom", u"Ann", 86},
        {tomAnn + "84.5", u"Tom", u"Ann", 84}, {"2,\"Tom\",\"Ann\",10,\"Ann\",\"Tom\",90", u"Tom", u"Ann", 90},
        {"0,\"Tom\",\"Ann\",85", u"Tom", u"Ann", kNameScore}, {"-1,\"Tom\",\"Ann\",85", u"Tom", u"Ann", kNameScore},
        {"1,\"A,B\",\" \",7", u"A,B", u" ", 7},
        {"2\r\"Tom\",\"Ann\",99\n\"Bob\",\"Eve\",1\r\n", u"Bob", u"Eve", 1},
        {"1,\r\n\r\nTom,\r\nAnn,\r\n5", u"Tom", u"Ann", 5}, {"1, Tom ,\tAnn\t, 5 ", u"Tom", u"Ann", 5},
        {"", u"Tom", u"Ann", kNameScore}, {hundred, u"B99", u"G", 99},
        {"1,\"\xD5\xC5\xC8\xFD\",\"\xC0\xEE\xCB\xC4\",85", u"张三", u"李四", 85},
        {"1,\"张三\",\"李四\",85", u"张三", u"李四", 85}, {"\xEF\xBB\xBF" "1,张三,李四,85\r\n", u"张三", u"李四", 85},
        {Utf16File(u"1,\"张三\",\"李四\",85\r\n"), u"张三", u"李四", 85},
        {Utf16File(u"1,\"张三\",\"李四\",85\r\n", true), u"张三", u"李四", 85},
        {"1,\"\xAA\xA1\",\"Ann\",5", u"\uE000", u"Ann", 5},
        {"1,\"\xE0\x81\x94om\",\"Ann\",5", u"Tom", u"Ann", kNameScore},  // overlong UTF-8 is no T
        {tomAnn + "32767", u"Tom", u"Ann", 32767}, {tomAnn + "-32768.5", u"Tom", u"Ann", -32768},
        {"x,\"Tom\",\"Ann\",85", u"Tom", u"Ann", kRefused},
        {"101" + hundred.substr(3) + ",B,G,1", u"B", u"G", kRefused},
        {"2,\"Tom\",\"Ann\",85", u"Tom", u"Ann", kRefused}, {tomAnn, u"Tom", u"Ann", kRefused},
        {tomAnn + "abc", u"Tom", u"Ann", kRefused}, {tomAnn + "8 5", u"Tom", u"Ann", kRefused},
        {tomAnn + "\"\"", u"Tom", u"Ann", kRefused}, {tomAnn + "32768", u"Tom", u"Ann", kRefused},
        {tomAnn + "-32769", u"Tom", u"Ann", kRefused}, {tomAnn + "32767.5", u"Tom", u"Ann", kRefused},
        {tomAnn + "1e999", u"Tom", u"Ann", kRefused}, {Utf16File(u"1,Tom,Ann,5") + "x", u"Tom", u"Ann", kRefused},
        {Utf16File(u"1,Tom,Ann,5", true) + "x", u"Tom", u"Ann", kRefused},
        // clang-format on
    };
    for (const auto& [content, boy, girl, score] : cases) EXPECT_EQ(Lookup(content, boy, girl), score) << content;
}

// The writer's records, exact; the reader reads them back (see also the fuzz target). Refused: a
// double quote; characters 936 lacks (best fit would store a look-alike); a lone surrogate; U+F8F5,
// written as 0xFF, which 936 does not read back; a count the single record cannot hold; scores the
// reader could not take back.
TEST(RigFileFormat, WriterRecordsAreExactOrRefused) {
    using fate::internal::RigFileRecord;
    EXPECT_EQ(RigFileRecord(1, u"张三", u"€", -2.5), "1,\"\xD5\xC5\xC8\xFD\",\"\x80\",-2.5\r\n");
    EXPECT_EQ(RigFileRecord(1, u"A,B", u"\r\n", 0.1), "1,\"A,B\",\"\r\n\",0.1\r\n");
    EXPECT_EQ(RigFileRecord(0, u"Tom", u" ", -0.0), "0,\"Tom\",\" \",0\r\n");
    for (const std::u16string name : {u"A\"B", u"\u00C0", u"\u0E01", u"😀", u"\xDC00", u"\uF8F5"})
        EXPECT_THROW(RigFileRecord(1, name, u"x", 1), fate::RigFileError);
    for (const double score : {double{NAN}, double{INFINITY}, 32767.5, -40000.0})
        EXPECT_THROW(RigFileRecord(0, u"Tom", u"x", score), fate::RigFileError);
    EXPECT_THROW(RigFileRecord(2, u"Tom", u"x", 1), fate::RigFileError);
}

}  // namespace
