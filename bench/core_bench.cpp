// The cost of a test's computation: the lookup in a full love.dll against merely reading the
// file's bytes, and the name score.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/name_score.h"
#include "core/rig_file.h"

namespace fs = std::filesystem;

namespace {

// A working directory holding love.dll with 100 pairs, the last of which matches.
class FullRigFile {
public:
    FullRigFile() : dir_(fs::temp_directory_path() / "tamsory-bench"), old_(fs::current_path()) {
        fs::create_directories(dir_);
        fs::current_path(dir_);
        std::ofstream out("love.dll", std::ios::binary);
        out << "100";
        for (int i = 0; i < 99; ++i) out << ",\"B" << i << "\",\"G" << i << "\"," << i;
        out << ",\"\xD5\xC5\xC8\xFD\",\"\xC0\xEE\xCB\xC4\",85\r\n";  // 张三, 李四 in code page 936
    }
    ~FullRigFile() {
        fs::current_path(old_);
        fs::remove_all(dir_);
    }

private:
    fs::path dir_, old_;
};

void BM_LookupRiggedScore_100Pairs(benchmark::State& state) {
    FullRigFile file;
    for (auto _ : state) benchmark::DoNotOptimize(fate::LookupRiggedScore(u"张三", u"李四", 48));
}
BENCHMARK(BM_LookupRiggedScore_100Pairs);

// The floor: opening love.dll and reading its bytes, nothing else.
void BM_ReadFileBytes_100Pairs(benchmark::State& state) {
    FullRigFile file;
    char buffer[8192];
    for (auto _ : state) {
        std::FILE* in = std::fopen("love.dll", "rb");
        benchmark::DoNotOptimize(std::fread(buffer, 1, sizeof buffer, in));
        std::fclose(in);
    }
}
BENCHMARK(BM_ReadFileBytes_100Pairs);

void BM_NameScore(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(fate::NameScore(u"张三", u"李四"));
}
BENCHMARK(BM_NameScore);

}  // namespace
