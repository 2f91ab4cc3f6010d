#pragma once

// love.dll in the current working directory: the rigged pairs, a text file in code page 936.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace fate {

// A failure to read or write love.dll. what() holds a short Chinese message, in UTF-8, that names
// the file and what is wrong with it.
class RigFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;

    // The message as UTF-16, for showing in a window.
    std::u16string Message() const;
};

// Makes sure love.dll exists and is not empty: a missing or empty file gets the initial record
// 0,"","",0. A file with content is left alone. Throws RigFileError when that cannot be done.
void EnsureRigFile();

// The score of the last rigged pair in love.dll that matches the two names in either order, or
// nameScore when none does or there is no love.dll. Throws RigFileError when the file cannot be read
// or breaks the format's limits; the caller can then go on with nameScore.
double LookupRiggedScore(std::u16string_view boyName, std::u16string_view girlName, double nameScore);

// Replaces love.dll in one step by the single record pairCount,"boyName","girlName",riggedScore.
// Throws RigFileError, leaving love.dll as it was, when it cannot write, when a name holds a double
// quote or a character that 936 cannot store faithfully, when pairCount is above 1 (the record is
// one pair), or when the score is not finite or does not round into -32768..32767.
void WriteRigFile(std::int16_t pairCount, std::u16string_view boyName, std::u16string_view girlName,
                  double riggedScore);

// Opens love.dll for reading and writing without truncating it (creating it empty when missing) and
// closes it again. Throws RigFileError when it cannot be opened.
void TouchRigFile();

}  // namespace fate
