// CFileSearch::Search against `grep -c -F` on the same file and string.
//
//   filesearch_bench --file=PATH --name=TEXT [--expect=N] [benchmark flags]
//   filesearch_bench --file=PATH --content-stage [benchmark flags]
//
// Times Search(name, 0) over the whole file and, in the same run, grep
// counting the lines that hold the string (LC_ALL=C). Prints the ratio of the
// median wall times (search / grep; below 1 means faster than grep). With
// --expect, the hits the search counts must equal N; the exit code is 1 when
// they do not.
//
// With --content-stage it times the run's content stage instead,
// HasMakerContent(file): the maker names searched in order, with reports on,
// as the run does, while nobody listens to the traces (the Linux tool without
// --trace); grep gets the three names at once (-e each). It prints the maker
// name found and the offset of its first hit.
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

#include "app/Ownership.h"
#include "inspect/FileSearch.h"

extern char** environ;

namespace {

struct Options {
    std::string file;
    std::string name;
    long long expect = -1;
    bool contentStage = false;
} g_options;

ownership::Facts g_facts;

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

void BM_ContentStage(benchmark::State& state) {
    for (auto _ : state) {
        ownership::Facts facts;
        int found = ownership::HasMakerContent(g_options.file.c_str(), &facts);
        benchmark::DoNotOptimize(found);
        g_facts = facts;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * FileSize(g_options.file));
    if (g_facts.contentError != 0) state.SkipWithError("the content stage could not read the file");
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
    std::vector<std::string> args = {"grep", "-c", "-F"};
    if (g_options.contentStage) {
        for (const char* const* name = MakerNames; *name; ++name) {
            args.push_back("-e");
            args.push_back(*name);
        }
    } else {
        args.push_back("--");
        args.push_back(g_options.name);
    }
    args.push_back(g_options.file);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    pid_t pid;
    int spawned = posix_spawnp(&pid, "grep", &actions, nullptr, argv.data(), env.data());
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
        else if (arg == "--content-stage")
            g_options.contentStage = true;
        else {
            std::fprintf(stderr, "unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    if (g_options.file.empty() || (g_options.name.empty() != g_options.contentStage) ||
        FileSize(g_options.file) < 0) {
        std::fprintf(stderr,
                     "usage: %s --file=PATH --name=TEXT [--expect=N]\n"
                     "       %s --file=PATH --content-stage\n",
                     argv[0], argv[0]);
        return 2;
    }
    // Nobody listens to the traces: the debugger channel drops them.
    Warm(g_options.file);
    const char* const measured = g_options.contentStage ? "BM_ContentStage" : "BM_Search";
    benchmark::RegisterBenchmark(measured, g_options.contentStage ? BM_ContentStage : BM_Search)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(5);
    benchmark::RegisterBenchmark("BM_GrepCountF", BM_GrepCountF)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(5);

    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto search = reporter.medians.find(measured);
    auto grep = reporter.medians.find("BM_GrepCountF");
    if (g_options.contentStage) {
        std::printf("content stage: %s",
                    g_facts.contentMatch ? g_facts.contentMatch : "no maker name");
        if (g_facts.contentMatch) std::printf(", first hit at %lld", g_facts.offset);
        std::printf("\n");
    } else {
        std::printf("hits counted by Search: %lld", g_searchHits);
        if (g_options.expect >= 0) std::printf(" (independent count %lld)", g_options.expect);
        std::printf("\n");
    }
    if (search != reporter.medians.end() && grep != reporter.medians.end() && grep->second > 0)
        std::printf("ratio %s/grep (median wall time): %.3f  [%.1f ms / %.1f ms]\n",
                    g_options.contentStage ? "ContentStage" : "Search",
                    search->second / grep->second, search->second, grep->second);
    return g_countWrong ? 1 : 0;
}
