#include "core/file_io.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace fate::internal {
namespace {

// An open file; closed when it goes. The platform's calls stay inside this class and the three
// functions after it.
class File {
  public:
#ifdef _WIN32
    using Native = HANDLE;
    static inline const HANDLE kNone = INVALID_HANDLE_VALUE;
#else
    using Native = int;
    static inline const int kNone = -1;
#endif

    // An existing file for reading, shared with other programs (a text editor may hold it open).
    static File OpenForReading(const char* name);
    // For reading and writing, without truncating; created empty when missing.
    static File OpenForReadingAndWriting(const char* name);
    // A new file for writing; fails when the name is taken.
    static File CreateNew(const std::string& name);

    File(File&& other) noexcept
        : native_(std::exchange(other.native_, kNone)), missing_(other.missing_), taken_(other.taken_) {}
    File& operator=(File&&) = delete;
    ~File() { Close(); }

    bool valid() const { return native_ != kNone; }
    bool missing() const { return missing_; }  // the open failed because there is no such file
    bool taken() const { return taken_; }      // CreateNew failed because the name exists

    // The size of a regular file on disk; false for anything else (a directory, a pipe, a device).
    bool RegularSize(unsigned long long& size) const;
    // Bytes read into buffer: 0 at the end of the file, -1 on failure.
    long long Read(char* buffer, std::size_t size);
    bool Write(std::string_view content);
    // Flushes to the disk and closes; false when either fails.
    bool SyncAndClose();
    bool Close();

  private:
    File(Native native, bool missing, bool taken) : native_(native), missing_(missing), taken_(taken) {}

    Native native_;
    bool missing_;
    bool taken_;
};

// Moves from over to in one step, replacing it.
bool MoveOver(const std::string& from, const char* to);
void Remove(const std::string& name);
unsigned long ProcessId();

#ifdef _WIN32

std::wstring Wide(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

File File::OpenForReading(const char* name) {
    const HANDLE handle =
        CreateFileW(Wide(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = handle == kNone ? GetLastError() : 0;
    return File(handle, error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND, false);
}

File File::OpenForReadingAndWriting(const char* name) {
    return File(CreateFileW(Wide(name).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr),
                false, false);
}

File File::CreateNew(const std::string& name) {
    const HANDLE handle =
        CreateFileW(Wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = handle == kNone ? GetLastError() : 0;
    return File(handle, false, error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS);
}

bool File::RegularSize(unsigned long long& size) const {
    LARGE_INTEGER length;
    if (GetFileType(native_) != FILE_TYPE_DISK || !GetFileSizeEx(native_, &length)) return false;
    size = static_cast<unsigned long long>(length.QuadPart);
    return true;
}

long long File::Read(char* buffer, std::size_t size) {
    DWORD got = 0;
    const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    return ReadFile(native_, buffer, want, &got, nullptr) ? static_cast<long long>(got) : -1;
}

bool File::Write(std::string_view content) {
    while (!content.empty()) {
        const DWORD chunk = content.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(content.size());
        DWORD written = 0;
        if (!WriteFile(native_, content.data(), chunk, &written, nullptr) || written == 0) return false;
        content.remove_prefix(written);
    }
    return true;
}

bool File::SyncAndClose() {
    const bool flushed = FlushFileBuffers(native_) != 0;
    return Close() && flushed;
}

bool File::Close() {
    if (!valid()) return true;
    return CloseHandle(std::exchange(native_, kNone)) != 0;
}

bool MoveOver(const std::string& from, const char* to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void Remove(const std::string& name) { DeleteFileW(Wide(name).c_str()); }

unsigned long ProcessId() { return GetCurrentProcessId(); }

#else

// Non-blocking, so that a FIFO under the name cannot hang the open; RegularSize then refuses it.
File File::OpenForReading(const char* name) {
    const int fd = ::open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    return File(fd, fd < 0 && errno == ENOENT, false);
}

File File::OpenForReadingAndWriting(const char* name) {
    return File(::open(name, O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666), false, false);
}

File File::CreateNew(const std::string& name) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    return File(fd, false, fd < 0 && errno == EEXIST);
}

bool File::RegularSize(unsigned long long& size) const {
    struct stat status;
    if (::fstat(native_, &status) != 0 || !S_ISREG(status.st_mode)) return false;
    size = static_cast<unsigned long long>(status.st_size);
    return true;
}

long long File::Read(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(native_, buffer, size);
        if (got >= 0 || errno != EINTR) return got;
    }
}

bool File::Write(std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(native_, content.data(), content.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool File::SyncAndClose() {
    const bool synced = ::fsync(native_) == 0;
    return Close() && synced;
}

bool File::Close() {
    if (!valid()) return true;
    return ::close(std::exchange(native_, kNone)) == 0;
}

bool MoveOver(const std::string& from, const char* to) { return ::rename(from.c_str(), to) == 0; }

void Remove(const std::string& name) { ::unlink(name.c_str()); }

unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }

#endif

// Unique within the process by the counter and, by the process id, among programs sharing the folder.
std::string TemporaryName(const char* name) {
    static std::atomic<unsigned> counter{0};
    return std::string(name) + "." + std::to_string(ProcessId()) + "-" + std::to_string(counter++) + ".tmp";
}

constexpr int kTemporaryNameAttempts = 100;

}  // namespace

ReadResult ReadFileUpTo(const char* name, std::size_t maxBytes, std::string& content) {
    File file = File::OpenForReading(name);
    if (!file.valid()) return file.missing() ? ReadResult::kMissing : ReadResult::kFailed;
    unsigned long long size = 0;
    if (!file.RegularSize(size)) return ReadResult::kFailed;
    if (size > maxBytes) return ReadResult::kTooLarge;
    // The file may grow while we read: read to its end, but never more than one byte past the limit.
    const std::size_t limit = maxBytes + 1;
    content.assign(static_cast<std::size_t>(size) + 1, '\0');
    std::size_t total = 0;
    for (;;) {
        if (total == content.size()) content.resize(std::min(limit, total * 2));
        const long long got = file.Read(content.data() + total, content.size() - total);
        if (got < 0) return ReadResult::kFailed;
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
        if (total > maxBytes) return ReadResult::kTooLarge;
    }
    content.resize(total);
    return ReadResult::kRead;
}

FileState ProbeFile(const char* name) {
    const File file = File::OpenForReading(name);
    if (!file.valid()) return file.missing() ? FileState::kMissing : FileState::kUnusable;
    unsigned long long size = 0;
    if (!file.RegularSize(size)) return FileState::kUnusable;
    return size == 0 ? FileState::kEmpty : FileState::kNotEmpty;
}

bool TouchFile(const char* name) {
    File file = File::OpenForReadingAndWriting(name);
    return file.valid() && file.Close();
}

bool ReplaceAtomically(const char* name, std::string_view content, bool (*beforeReplace)()) {
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const std::string temporary = TemporaryName(name);
        File file = File::CreateNew(temporary);
        if (!file.valid()) {
            if (file.taken()) continue;
            return false;
        }
        if (file.Write(content) && file.SyncAndClose() && (!beforeReplace || beforeReplace()) &&
            MoveOver(temporary, name)) {
            return true;
        }
        file.Close();  // Windows deletes no open file
        Remove(temporary);
        return false;
    }
    return false;
}

}  // namespace fate::internal
