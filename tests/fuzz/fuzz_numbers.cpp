// Any UTF-16 text for ReadAsNumber, and split in two for NameScore and CharacterCode.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/name_score.h"
#include "core/read_number.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text(size / 2, u'\0');
    std::memcpy(text.data(), data, text.size() * 2);

    const double number = fate::ReadAsNumber(text);
    Check(!std::isnan(number), "a number is never NaN");
    // A letter after the text cannot lengthen or shorten its leading number.
    Check(fate::ReadAsNumber(text + u'x') == number, "a trailing letter changes nothing");

    if (text.empty()) return 0;
    const std::u16string_view names = std::u16string_view(text).substr(1);
    const std::size_t split = text[0] % (names.size() + 1);
    const std::u16string_view first = names.substr(0, split);
    const std::u16string_view second = names.substr(split);
    const auto score = fate::NameScore(first, second);
    if (score) Check(*score == std::trunc(*score) && *score >= 0 && *score <= 100, "a whole score from 0 to 100");
    Check(fate::NameScore(second, first) == score, "the same score either way round");

    for (const char16_t unit : names) {
        const int code = fate::CharacterCode(unit);
        Check(unit >= 0x80 || code == unit, "ASCII is its own code");
        Check(code < 256, "single bytes are 0 to 255, double bytes negative");
    }
    return 0;
}
