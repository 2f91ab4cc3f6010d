#pragma once

// File operations whose calls differ between Windows and elsewhere. Names are relative ASCII paths.

#include <cstddef>
#include <string>
#include <string_view>

namespace fate::internal {

enum class ReadResult { kRead, kMissing, kTooLarge, kFailed };

// Reads the whole of a regular file into content, unless it holds more than maxBytes.
ReadResult ReadFileUpTo(const char* name, std::size_t maxBytes, std::string& content);

enum class FileState { kMissing, kEmpty, kNotEmpty, kUnusable };

// Whether the file exists as a readable regular file, and whether it holds anything.
FileState ProbeFile(const char* name);

// Opens the file for reading and writing without truncating it, creating it empty when missing, and
// closes it again. False when it cannot be opened so.
bool TouchFile(const char* name);

// Writes content to a new temporary file beside the file, then moves it over the file in one step, so
// that the file is never seen half-written. beforeReplace, when given, runs just before the move and
// can fail it by returning false. On failure the file is as it was and no temporary file remains.
bool ReplaceAtomically(const char* name, std::string_view content, bool (*beforeReplace)());

}  // namespace fate::internal
