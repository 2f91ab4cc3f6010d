#include "bench/unix_proc.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

namespace unixproc {
namespace {

std::wstring ZPath(const std::string& path) {
    std::wstring wide(path.size() + 1, L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, path.c_str(), static_cast<int>(path.size()),
                                                        wide.data(), static_cast<int>(wide.size()))));
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return L"Z:" + wide;
}

std::string Narrow(const wchar_t* text) {
    std::string utf8(4 * wcslen(text) + 1, '\0');
    utf8.resize(static_cast<size_t>(
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr) - 1));
    return utf8;
}

}  // namespace

std::string ReadFile(const std::string& path) {
    HANDLE file = CreateFileW(ZPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(file);
    return text;
}

std::vector<std::string> Folder(const std::string& path) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(ZPath(path + "/*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.cFileName[0] != L'.') names.push_back(Narrow(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

std::string UnixPath(std::string path) {
    path.erase(std::remove(path.begin(), path.end(), '"'), path.end());
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.size() >= 2 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':') path.erase(0, 2);
    return path;
}

namespace {

// Whether two Linux paths name the same program. Linux shows a Wine program's path as Wine was
// given it, which may be relative to the folder it was started in (wine build/x.exe), while the
// program itself knows its full path: a relative path matches the end of a full one.
bool SamePath(const std::string& a, const std::string& b) {
    if (a == b) return true;
    const std::string& shorter = a.size() < b.size() ? a : b;
    const std::string& longer = a.size() < b.size() ? b : a;
    return !shorter.empty() && shorter[0] != '/' && longer.ends_with(shorter) &&
           longer[longer.size() - shorter.size() - 1] == '/';
}

}  // namespace

int Pid(const std::string& program) {
    const std::string path = UnixPath(program);
    wchar_t prefixPath[MAX_PATH] = {};
    GetEnvironmentVariableW(L"WINEPREFIX", prefixPath, MAX_PATH);
    std::string prefix = "WINEPREFIX=" + Narrow(prefixPath);
    prefix.push_back('\0');
    std::vector<int> found;
    for (const std::string& entry : Folder("/proc")) {
        const int pid = std::atoi(entry.c_str());
        if (pid <= 0) continue;
        std::string command = ReadFile("/proc/" + entry + "/cmdline");
        command = command.substr(0, command.find('\0'));
        command.erase(command.find_last_not_of(' ') + 1);
        if (!SamePath(UnixPath(command), path)) continue;
        if (ReadFile("/proc/" + entry + "/environ").find(prefix) != std::string::npos) found.push_back(pid);
    }
    return found.size() == 1 ? found[0] : 0;
}

double Cpu(int pid, int tid) {
    const std::string base = "/proc/" + std::to_string(pid) + "/task/";
    double ns = 0;
    for (const std::string& task : tid ? std::vector<std::string>{std::to_string(tid)} : Folder(base)) {
        ns += std::strtod(ReadFile(base + task + "/schedstat").c_str(), nullptr);
    }
    return ns * 1e-9;
}

double StatusMb(int pid, const std::string& field) {
    const std::string status = ReadFile("/proc/" + std::to_string(pid) + "/status");
    const size_t at = status.find("\n" + field + ":");
    return at == std::string::npos ? 0 : std::strtod(status.c_str() + at + field.size() + 2, nullptr) / 1024;
}

}  // namespace unixproc
