// Any bytes, two ways. As love.dll: the reader returns the name score or a whole 16-bit score, or
// reports a RigFileError that names the file. As a score and two UTF-16 names: a record the writer
// makes reads back in either order. A broken invariant aborts; the stack shows which.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/rig_file.h"
#include "core/rig_file_internal.h"

using fate::internal::LookupInRigFileContent;

static void Check(bool invariant) {
    if (!invariant) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    for (const auto& [boy, girl] : {std::pair{u"Tom", u"Ann"}, {u"张三", u"李四"}}) {
        try {
            const double score = LookupInRigFileContent(content, boy, girl, 42.5);
            Check(score == 42.5 || (score == std::trunc(score) && score >= -32768 && score <= 32767));
        } catch (const fate::RigFileError& error) {
            Check(std::string_view(error.what()).find("love.dll") != std::string_view::npos);
        }
    }

    std::u16string names(size / 2, u'\0');
    std::memcpy(names.data(), data, names.size() * 2);
    const std::u16string_view all(names), first = all.substr(0, all.size() / 2), second = all.substr(all.size() / 2);
    double score;
    if (size < sizeof score) return 0;
    std::memcpy(&score, data, sizeof score);
    std::string record;
    try {
        record = fate::internal::RigFileRecord(1, first, second, score);
    } catch (const fate::RigFileError&) {
        return 0;  // one the writer refuses
    }
    for (const auto& [boy, girl] : {std::pair{first, second}, {second, first}})
        Check(LookupInRigFileContent(record, boy, girl, 42.5) == fate::internal::RoundHalfEven(score));
    return 0;
}
