// CFileSearch::Search against `grep -c -F` on the same file and string.
//
//   filesearch_bench --file=PATH --name=TEXT [--expect=N] [benchmark flags]
//
// Times Search(name, 0) over the whole file and, in the same run, grep
// counting the lines that hold the string (LC_ALL=C). Prints the ratio of the
// median wall times (search / grep; below 1 means faster than grep). With
// --expect, the hits the search counts must equal N; the exit code is 1 when
// they do not.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "inspect/FileSearch.h"
#include "platform/posix/Sinks.h"

extern char** environ;

namespace {

struct Options {
    std::string file;
    std::string name;
    long long expect = -1;
} g_options;

long long g_searchHits = -1;
bool g_countWrong = false;

class CountingSearch : public CFileSearch {
public:
    using CFileSearch::CFileSearch;
    int HitCount() const { return m_hitCount; }
};

long long FileSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? static_cast<long long>(in.tellg()) : -1;
}

// Reads the file once, so that both contestants find it in the page cache.
void Warm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chunk(1 << 20);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    }
}

void BM_Search(benchmark::State& state) {
    long long hits = 0;
    for (auto _ : state) {
        CountingSearch search(g_options.file.c_str());
        int found = search.Search(g_options.name.c_str(), 0);
        benchmark::DoNotOptimize(found);
        hits = search.HitCount();
    }
    g_searchHits = hits;
    state.counters["hits"] = static_cast<double>(hits);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * FileSize(g_options.file));
    if (g_options.expect >= 0 && hits != g_options.expect) {
        g_countWrong = true;
        state.SkipWithError("the hit count differs from the independent count");
    }
}

// Runs grep -c -F and returns the number it prints, or -1.
long long RunGrep() {
    int out[2];
    if (pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> envStrings = {"LC_ALL=C"};
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "LC_ALL=", 7) != 0) envStrings.push_back(*e);
    std::vector<char*> env;
    for (std::string& s : envStrings) env.push_back(&s[0]);
    env.push_back(nullptr);
    std::string grep = "grep", c = "-c", f = "-F", dashes = "--";
    char* argv[] = {&grep[0],           &c[0],  &f[0], &dashes[0], &g_options.name[0],
                    &g_options.file[0], nullptr};
    pid_t pid;
    int spawned = posix_spawnp(&pid, "grep", &actions, nullptr, argv, env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buffer[64];
    ssize_t n;
    while (spawned == 0 && (n = read(out[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    // grep exits 1 when no line matched; the count is printed either way.
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) return -1;
    return std::atoll(text.c_str());
}

void BM_GrepCountF(benchmark::State& state) {
    long long lines = 0;
    for (auto _ : state) lines = RunGrep();
    state.counters["lines"] = static_cast<double>(lines);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * FileSize(g_options.file));
    if (lines < 0) state.SkipWithError("grep failed");
}

BENCHMARK(BM_Search)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);
BENCHMARK(BM_GrepCountF)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);

// Keeps the median wall time of each benchmark next to the usual output.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal.
    MedianReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

void Ignore(const char*, void*) {}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--file=", 0) == 0)
            g_options.file = arg.substr(7);
        else if (arg.rfind("--name=", 0) == 0)
            g_options.name = arg.substr(7);
        else if (arg.rfind("--expect=", 0) == 0)
            g_options.expect = std::atoll(arg.c_str() + 9);
        else {
            std::fprintf(stderr, "unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    if (g_options.file.empty() || g_options.name.empty() || FileSize(g_options.file) < 0) {
        std::fprintf(stderr, "usage: %s --file=PATH --name=TEXT [--expect=N]\n", argv[0]);
        return 2;
    }
    // The searcher's closing traces would go to stderr.
    posix::SetDebugSink(Ignore, nullptr);
    Warm(g_options.file);

    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto search = reporter.medians.find("BM_Search");
    auto grep = reporter.medians.find("BM_GrepCountF");
    std::printf("hits counted by Search: %lld", g_searchHits);
    if (g_options.expect >= 0) std::printf(" (independent count %lld)", g_options.expect);
    std::printf("\n");
    if (search != reporter.medians.end() && grep != reporter.medians.end() && grep->second > 0)
        std::printf("ratio Search/grep (median wall time): %.3f  [%.1f ms / %.1f ms]\n",
                    search->second / grep->second, search->second, grep->second);
    return g_countWrong ? 1 : 0;
}
