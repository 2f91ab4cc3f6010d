#include "core/rig_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <type_traits>

#include "core/codepage.h"
#include "core/decimal.h"
#include "core/file_io.h"
#include "core/rig_file_internal.h"
#include "core/utf8.h"

namespace fate {
namespace {

constexpr const char* kFileName = "love.dll";

// A lookup refuses a love.dll above 1 MiB instead of reading it: a hand-edited file of 100 pairs
// takes a few kilobytes, and the limit bounds the memory a test can take whatever lies in the folder.
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;

// The rig table's slots are numbered 0 to 99.
constexpr double kMaxPairCount = 100;

constexpr double kMinScore = -32768;
constexpr double kMaxScore = 32767;

constexpr std::string_view kInitialRecord = "0,\"\",\"\",0\r\n";

internal::BeforeReplaceHook beforeReplaceHook = nullptr;

[[noreturn]] void Fail(const std::string& message) { throw RigFileError(message); }

// ------------------------------------------------------------------------------------------------
// The reader's item rules.
// - Items are separated by a comma or a line end: CR LF, LF or CR alone.
// - Blanks, tabs and line ends before an item are skipped, so blank lines and a comma at the end of
//   a line make no empty items.
// - A quoted item runs to the next double quote, or to the end of the file, and may hold commas and
//   line ends; whatever follows its closing quote up to the next separator is dropped.
// - An unquoted item runs to the next comma or line end; blanks and tabs at its end are dropped.
// - A number item, quoted or not, is a decimal number with a period (see ScanDecimal) and nothing
//   else but blanks around it. A score with a fraction becomes the nearest integer, halves to even;
//   so does the pair count.
template <class Unit>
class ItemReader {
  public:
    using View = std::basic_string_view<Unit>;

    explicit ItemReader(View text) : text_(text) {}

    // The next item; nothing when the text holds no more.
    std::optional<View> Next() {
        while (at_ < text_.size() && (IsBlank(text_[at_]) || IsLineEnd(text_[at_]))) ++at_;
        if (at_ == text_.size()) return std::nullopt;
        View item;
        if (text_[at_] == Unit{'"'}) {
            const std::size_t start = at_ + 1;
            const std::size_t close = std::min(text_.find(Unit{'"'}, start), text_.size());
            item = text_.substr(start, close - start);
            at_ = close == text_.size() ? close : close + 1;
            while (at_ < text_.size() && !IsSeparator(text_[at_])) ++at_;
        } else {
            const std::size_t start = at_;
            while (at_ < text_.size() && !IsSeparator(text_[at_])) ++at_;
            item = text_.substr(start, at_ - start);
            while (!item.empty() && IsBlank(item.back())) item.remove_suffix(1);
        }
        if (at_ < text_.size()) ++at_;  // the separator; the LF of a CR LF goes with the next skip
        return item;
    }

  private:
    static bool IsBlank(Unit unit) { return unit == Unit{' '} || unit == Unit{'\t'}; }
    static bool IsLineEnd(Unit unit) { return unit == Unit{'\r'} || unit == Unit{'\n'}; }
    static bool IsSeparator(Unit unit) { return unit == Unit{','} || IsLineEnd(unit); }

    View text_;
    std::size_t at_ = 0;
};

template <class Unit>
std::optional<double> ReadNumberItem(std::basic_string_view<Unit> item) {
    std::string ascii;
    ascii.reserve(item.size());
    for (const Unit unit : item) {
        const auto code = static_cast<std::make_unsigned_t<Unit>>(unit);
        if (code >= 0x80) return std::nullopt;
        ascii.push_back(static_cast<char>(code));
    }
    const std::size_t first = ascii.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const std::string_view number = std::string_view(ascii).substr(first, ascii.find_last_not_of(" \t") + 1 - first);
    const internal::DecimalPrefix scanned = internal::ScanDecimal(number);
    if (scanned.length == 0 || scanned.length != number.size()) return std::nullopt;
    return scanned.value;
}

// A stored name as test names are compared with it: from a byte file, its 936 decoding and - where its
// bytes are valid UTF-8, as after a hand edit in a modern editor - its UTF-8 decoding; from a UTF-16
// file, the name itself. It matches a test name equal to either.
struct StoredName {
    std::optional<std::u16string> text;
    std::optional<std::u16string> utf8Text;

    explicit StoredName(std::string_view bytes) : text(codepage::Decode(bytes)), utf8Text(DecodeUtf8(bytes)) {}
    explicit StoredName(std::u16string_view units) : text(std::u16string(units)) {}

    bool Is(std::u16string_view name) const { return (text && *text == name) || (utf8Text && *utf8Text == name); }
};

template <class Unit>
double Lookup(std::basic_string_view<Unit> text, std::u16string_view boyName, std::u16string_view girlName,
              double nameScore) {
    ItemReader<Unit> items(text);
    const auto countItem = items.Next();
    if (!countItem) return nameScore;  // an empty file, as TouchRigFile leaves it, holds no rigged pairs
    const auto count = ReadNumberItem(*countItem);
    if (!count) Fail("love.dll 里的作弊个数不是数字。");
    const double pairCount = internal::RoundHalfEven(*count);
    if (pairCount > kMaxPairCount) Fail("love.dll 里的作弊个数超过了 100。");

    double score = nameScore;
    for (int pair = 0; pair < pairCount; ++pair) {
        const auto first = items.Next();
        const auto second = items.Next();
        const auto stored = items.Next();
        const std::string number = std::to_string(pair + 1);
        if (!stored) {
            Fail("love.dll 里只有 " + std::to_string(pair) + " 组完整的作弊数据，少于作弊个数 " +
                 std::to_string(static_cast<int>(pairCount)) + "。");
        }
        const auto value = ReadNumberItem(*stored);
        if (!value) Fail("love.dll 里第 " + number + " 组的分数不是数字。");
        const double rounded = internal::RoundHalfEven(*value);
        if (!(rounded >= kMinScore && rounded <= kMaxScore)) {
            Fail("love.dll 里第 " + number + " 组的分数超出了 -32768 到 32767。");
        }
        const StoredName boy(*first);
        const StoredName girl(*second);
        // Every pair the count covers is read: the last match wins.
        if ((boy.Is(boyName) && girl.Is(girlName)) || (boy.Is(girlName) && girl.Is(boyName))) score = rounded;
    }
    return score;
}

// ------------------------------------------------------------------------------------------------
// The writer's item rules: one line ended by CR LF, in code page 936 - the pair count in decimal
// digits, the two names in double quotes (nothing is escaped, so a name may hold no double quote),
// and the score: a whole value without a decimal point, any other as the shortest plain decimal that
// reads back the same, with a zero before the point ("9.5", "0.5").
std::string ScoreText(double score) {
    if (score == std::trunc(score)) return std::to_string(static_cast<long long>(score));  // also -0 -> "0"
    // The fewest decimals that read back the same. Plain notation never takes an exponent, and
    // printf with strtod keeps the exe small (to_chars brings in 150 KB of tables). Both follow
    // the "C" locale, which the program never changes, so the separator is always a period.
    char buffer[1200];  // room for any double in plain notation
    for (int decimals = 1;; ++decimals) {
        std::snprintf(buffer, sizeof buffer, "%.*f", decimals, score);
        if (std::strtod(buffer, nullptr) == score || decimals >= 1100) return buffer;
    }
}

std::string NameText(std::u16string_view name) {
    if (name.find(u'"') != std::u16string_view::npos) Fail("名字里有双引号，无法存入 love.dll。");
    const auto bytes = codepage::EncodeFaithfully(name);
    if (!bytes) Fail("名字里有 love.dll 存不下的字符。");
    return "\"" + *bytes + "\"";
}

}  // namespace

std::u16string RigFileError::Message() const { return DecodeUtf8(what()).value_or(u"love.dll 出错。"); }

namespace internal {

double RoundHalfEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;  // exact
    if (fraction > 0.5) return floor + 1;
    if (fraction < 0.5) return floor;
    return std::fmod(floor, 2) == 0 ? floor : floor + 1;
}

double LookupInRigFileContent(std::string_view content, std::u16string_view boyName, std::u16string_view girlName,
                              double nameScore) {
    // Notepad's "Unicode" is UTF-16LE; its "Unicode big endian" (later "UTF-16 BE") is UTF-16BE.
    const bool big = content.starts_with("\xFE\xFF");
    if (big || content.starts_with("\xFF\xFE")) {
        content.remove_prefix(2);
        if (content.size() % 2 != 0) Fail("love.dll 的 Unicode 文本不完整。");
        std::u16string text(content.size() / 2, u'\0');
        for (std::size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<char16_t>(static_cast<unsigned char>(content[2 * i + big]) |
                                            static_cast<unsigned char>(content[2 * i + !big]) << 8);
        }
        return Lookup<char16_t>(text, boyName, girlName, nameScore);
    }
    if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);  // UTF-8's byte-order mark
    return Lookup<char>(content, boyName, girlName, nameScore);
}

std::string RigFileRecord(std::int16_t pairCount, std::u16string_view boyName, std::u16string_view girlName,
                          double riggedScore) {
    // A count above 1 would promise pairs the single record does not hold.
    if (pairCount > 1) Fail("一次只能往 love.dll 写入一组作弊数据。");
    const double rounded = std::isfinite(riggedScore) ? RoundHalfEven(riggedScore) : kMaxScore + 1;
    if (!(rounded >= kMinScore && rounded <= kMaxScore)) Fail("分数超出了 love.dll 能存的 -32768 到 32767。");
    return std::to_string(pairCount) + "," + NameText(boyName) + "," + NameText(girlName) + "," +
           ScoreText(riggedScore) + "\r\n";
}

void SetBeforeReplaceHook(BeforeReplaceHook hook) { beforeReplaceHook = hook; }

}  // namespace internal

void EnsureRigFile() {
    switch (internal::ProbeFile(kFileName)) {
        case internal::FileState::kNotEmpty:
            return;
        case internal::FileState::kUnusable:
            Fail("无法读取 love.dll。");
        case internal::FileState::kMissing:
        case internal::FileState::kEmpty:
            if (!internal::ReplaceAtomically(kFileName, kInitialRecord, beforeReplaceHook)) Fail("无法创建 love.dll。");
    }
}

double LookupRiggedScore(std::u16string_view boyName, std::u16string_view girlName, double nameScore) {
    std::string content;
    switch (internal::ReadFileUpTo(kFileName, kMaxFileBytes, content)) {
        case internal::ReadResult::kMissing:
            return nameScore;  // no love.dll, no rigged pairs
        case internal::ReadResult::kTooLarge:
            Fail("love.dll 超过 1 MB，太大了，没有读取。");
        case internal::ReadResult::kFailed:
            Fail("无法读取 love.dll。");
        case internal::ReadResult::kRead:
            break;
    }
    return internal::LookupInRigFileContent(content, boyName, girlName, nameScore);
}

void WriteRigFile(std::int16_t pairCount, std::u16string_view boyName, std::u16string_view girlName,
                  double riggedScore) {
    const std::string record = internal::RigFileRecord(pairCount, boyName, girlName, riggedScore);
    if (!internal::ReplaceAtomically(kFileName, record, beforeReplaceHook)) Fail("无法写入 love.dll。");
}

void TouchRigFile() {
    if (!internal::TouchFile(kFileName)) Fail("无法打开 love.dll。");
}

}  // namespace fate
