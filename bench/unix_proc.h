// Linux's own view of the Wine processes of the benchmarks, read through drive Z:, where Wine
// shows the Linux root. Wine reads thread times from Linux in 10 ms ticks, too coarse for a few
// count-ups; Linux keeps each thread's time on a processor in nanoseconds (the first field of
// /proc/<pid>/task/<tid>/schedstat), and the memory of a process that Wine does not report.
#pragma once

#include <string>
#include <vector>

namespace unixproc {

std::string ReadFile(const std::string& path);             // "" when it cannot be read
std::vector<std::string> Folder(const std::string& path);  // the names in a folder
std::string UnixPath(std::string path);                    // a Z: path (or a Linux one) as a Linux path
// The Linux process running the program at `path` (Z: or Linux) in this Wine prefix, or 0 when
// there is none or more than one. Wine shows the program's path as the process's command line, as
// it was started: a relative path there matches the end of a full one here, and the other way.
int Pid(const std::string& path);
double Cpu(int pid, int tid = 0);                    // seconds on a processor: thread `tid`, or all threads when 0
double StatusMb(int pid, const std::string& field);  // a "kB" field of /proc/<pid>/status, in MB

}  // namespace unixproc
