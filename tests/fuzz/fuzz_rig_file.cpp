// Any bytes as the content of love.dll: the reader returns the name score or a whole 16-bit score, or
// reports a RigFileError that names the file; nothing else. The same bytes also make a record for the
// writer (a score, then two names in UTF-16), which the reader must read back.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/rig_file.h"
#include "core/rig_file_internal.h"

namespace {

constexpr double kNameScore = 42.5;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

void CheckLookup(std::string_view content, std::u16string_view boy, std::u16string_view girl) {
    try {
        const double score = fate::internal::LookupInRigFileContent(content, boy, girl, kNameScore);
        Check(score == kNameScore || (score == std::trunc(score) && score >= -32768 && score <= 32767),
              "lookup returns the name score or a 16-bit integer");
    } catch (const fate::RigFileError& error) {
        Check(std::string_view(error.what()).find("love.dll") != std::string_view::npos, "the message names love.dll");
    }
}

void CheckRoundTrip(const std::uint8_t* data, std::size_t size) {
    double score;
    if (size < sizeof score) return;
    std::memcpy(&score, data, sizeof score);
    std::u16string names((size - sizeof score) / 2, u'\0');
    std::memcpy(names.data(), data + sizeof score, names.size() * 2);
    const std::u16string_view boy = std::u16string_view(names).substr(0, names.size() / 2);
    const std::u16string_view girl = std::u16string_view(names).substr(names.size() / 2);
    std::string record;
    try {
        record = fate::internal::RigFileRecord(1, boy, girl, score);
    } catch (const fate::RigFileError&) {
        return;
    }
    const double expected = fate::internal::RoundHalfEven(score);
    Check(fate::internal::LookupInRigFileContent(record, boy, girl, kNameScore) == expected, "reads back the score");
    Check(fate::internal::LookupInRigFileContent(record, girl, boy, kNameScore) == expected, "matches either order");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    CheckLookup(content, u"Tom", u"Ann");
    CheckLookup(content, u"张三", u"李四");
    CheckRoundTrip(data, size);
    return 0;
}
