#pragma once

// Not for the windows: the love.dll reader and writer without the disk, for tests and fuzzing, and a
// fault-injection seam for the replace.

#include <cstdint>
#include <string>
#include <string_view>

namespace fate::internal {

// What LookupRiggedScore does with the bytes of love.dll.
double LookupInRigFileContent(std::string_view content, std::u16string_view boyName, std::u16string_view girlName,
                              double nameScore);

// The bytes WriteRigFile writes, with its checks (throws RigFileError).
std::string RigFileRecord(std::int16_t pairCount, std::u16string_view boyName, std::u16string_view girlName,
                          double riggedScore);

// Rounds to the nearest integer, halves to the even neighbour (85.5 -> 86, 84.5 -> 84).
double RoundHalfEven(double value);

// Runs whenever love.dll is about to be replaced, after the temporary file is complete and closed;
// returning false makes the replace fail there. nullptr, the default, runs nothing.
using BeforeReplaceHook = bool (*)();
void SetBeforeReplaceHook(BeforeReplaceHook hook);

}  // namespace fate::internal
