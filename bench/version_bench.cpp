// Reads the version information of every module of the Wine package as the
// system does (size, block, root, translation, three text values) and, in the
// same run, times python pefile reading the same values from the same files,
// then prints the ratio of the two (target: ours at most 0.05 of pefile's).
//
//   version_bench [benchmark flags] [--modules=DIR[:DIR...]] [--target=0.05]
//
// Exit status 1 when the ratio is over the target.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "inspect/VersionValue.h"
#include "platform/Windows.h"

namespace {

const char kDefaultModules[] =
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows:/usr/lib/x86_64-linux-gnu/wine/i386-windows";

// Reads what the ownership test and the file description read. Returns the
// number of text values found, so the work cannot be optimised away.
int ReadOne(const std::string& path, std::vector<unsigned char>& block) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0) return 0;
    block.resize(size + 1);
    if (!GetFileVersionInfoA(path.c_str(), handle, size, block.data())) return 0;
    LPVOID value = nullptr;
    UINT length = 0;
    int found = VerQueryValueA(block.data(), "\\", &value, &length) ? 1 : 0;
    DWORD translation = 0;
    if (!inspect::FirstTranslation(block.data(), &translation)) return found;
    CStr subBlock(nullptr, 255);
    for (const char* key : {"CompanyName", "FileDescription", "LegalCopyright"})
        if (inspect::QueryStringValue(block.data(), translation, key, &subBlock, &value, &length))
            ++found;
    return found;
}

void ReadAll(benchmark::State& state, const std::vector<std::string>* files) {
    std::vector<unsigned char> block;
    for (auto _ : state) {
        int found = 0;
        for (const std::string& f : *files) found += ReadOne(f, block);
        benchmark::DoNotOptimize(found);
    }
    state.counters["files"] = static_cast<double>(files->size());
}

// The same reading with pefile: its fast load, then only the resource
// directory, then the same values. Prints the best of three passes in seconds.
const char kPefileScript[] = R"(
import sys, time
import pefile
files = [l for l in open(sys.argv[1]).read().split("\n") if l]
RES = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]
def read(path):
    try:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(directories=[RES])
    except pefile.PEFormatError:
        return 0
    if not getattr(pe, "VS_FIXEDFILEINFO", None):
        return 0
    f = pe.VS_FIXEDFILEINFO[0]
    found = 1 if (f.FileVersionMS, f.FileVersionLS, f.ProductVersionMS, f.ProductVersionLS) else 0
    for info in pe.FileInfo[0]:
        for table in getattr(info, "StringTable", []):
            for key in (b"CompanyName", b"FileDescription", b"LegalCopyright"):
                found += key in table.entries
    return found
best = None
for _ in range(3):
    start = time.perf_counter()
    for path in files:
        read(path)
    took = time.perf_counter() - start
    best = took if best is None else min(best, took)
print(best)
)";

bool WriteText(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

// Seconds per pass of pefile over the files, or a negative value when pefile
// cannot be run.
double TimePefile(const std::vector<std::string>& files) {
    std::string dir = std::filesystem::temp_directory_path().string();
    std::string script = dir + "/version_bench_pefile.py";
    std::string list = dir + "/version_bench_files.txt";
    std::string names;
    for (const std::string& f : files) names += f + "\n";
    double seconds = -1;
    if (WriteText(script, kPefileScript) && WriteText(list, names)) {
        std::string command = "/usr/bin/python3 " + script + " " + list + " 2>/dev/null";
        if (std::FILE* p = popen(command.c_str(), "r")) {
            if (std::fscanf(p, "%lf", &seconds) != 1) seconds = -1;
            if (pclose(p) != 0) seconds = -1;
        }
    }
    std::remove(script.c_str());
    std::remove(list.c_str());
    return seconds;
}

std::vector<std::string> Modules(const std::string& dirs) {
    std::vector<std::string> files;
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::error_code ec;
        for (const auto& entry :
             std::filesystem::directory_iterator(dirs.substr(start, end - start), ec))
            if (entry.is_regular_file()) files.push_back(entry.path().string());
        start = end + 1;
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Keeps the mean real time per iteration of the one benchmark.
class Capture : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
    double seconds = -1;
};

}  // namespace

int main(int argc, char** argv) {
    std::string dirs = kDefaultModules;
    double target = 0.05;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--modules=", 10) == 0)
            dirs = argv[i] + 10;
        else if (std::strncmp(argv[i], "--target=", 9) == 0)
            target = std::atof(argv[i] + 9);
        else
            rest.push_back(argv[i]);
    }
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());

    const std::vector<std::string> files = Modules(dirs);
    if (files.empty()) {
        std::printf("skipped: no modules in %s\n", dirs.c_str());
        return 0;
    }
    benchmark::RegisterBenchmark("VersionInfo/AllWineModules", ReadAll, &files)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0);
    Capture capture;
    benchmark::RunSpecifiedBenchmarks(&capture);
    benchmark::Shutdown();

    const double pefile = TimePefile(files);
    if (pefile <= 0 || capture.seconds <= 0) {
        std::printf("pefile: not available (apt-get install python3-pefile); no ratio\n");
        return 0;
    }
    const double ratio = capture.seconds / pefile;
    std::printf("files: %zu\nours:   %.3f ms per pass\npefile: %.3f ms per pass\n", files.size(),
                capture.seconds * 1e3, pefile * 1e3);
    std::printf("ratio ours/pefile: %.4f (target <= %.2f): %s\n", ratio, target,
                ratio <= target ? "ok" : "OVER");
    return ratio <= target ? 0 : 1;
}
