// Start-up of the program to its first painted main window, and its peak
// memory with 10,000 checklists shown, each beside a bare wxWidgets frame with
// a list doing the same, run alternately as separate processes. Medians.
#include "bench/BenchSupport.h"

#include <chrono>
#include <filesystem>
#include <cstdio>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace
{
constexpr double kSplashWaitMs = 1500;
constexpr int kRuns = 9;
constexpr int kMemoryRuns = 3;
constexpr int kManyChecklists = 10000;

struct Sample
{
    double ms = 0;
    double peakKb = 0;
    bool ok = false;
};

Sample RunOnce(const char* program)
{
    Sample sample;
    char* argv[] = {const_cast<char*>(program), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0)
        return sample;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return sample;
    sample.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    sample.peakKb = static_cast<double>(usage.ru_maxrss);
    sample.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return sample;
}

struct Pair
{
    std::vector<double> programMs, bareMs, programKb, bareKb;
};

bool Measure(int runs, int rows, Pair& out)
{
    setenv("TALLYARD_EXIT_AFTER_FIRST_PAINT", "1", 1);
    setenv("BARE_ROWS", std::to_string(rows).c_str(), 1);
    for (int i = 0; i < runs; ++i)
    {
        const Sample program = RunOnce(TALLYARD_PROGRAM);
        const Sample bare = RunOnce(TALLYARD_BARE_FRAME);
        if (!program.ok || !bare.ok)
        {
            std::fprintf(stderr, "a run failed (program %d, bare %d)\n", program.ok, bare.ok);
            return false;
        }
        out.programMs.push_back(program.ms - kSplashWaitMs);
        out.bareMs.push_back(bare.ms);
        out.programKb.push_back(program.peakKb);
        out.bareKb.push_back(bare.peakKb);
    }
    return true;
}
}

int main()
{
    const std::string root = MakeTempRoot();

    // An existing, empty store: the ordinary start.
    UseXdgRoot(root + "/empty");
    if (!ListStore::CreateDatabases())
        return 1;
    Pair empty;
    Measure(1, 0, empty); // warm the caches of both
    empty = Pair();
    if (!Measure(kRuns, 0, empty))
        return 1;

    UseXdgRoot(root + "/many");
    if (!FillStore(kManyChecklists))
        return 1;
    Pair many;
    if (!Measure(kMemoryRuns, kManyChecklists, many))
        return 1;

    const double startProgram = Median(empty.programMs);
    const double startBare = Median(empty.bareMs);
    std::printf("start-up to first paint (less the %.0f ms splash wait), median of %d:\n", kSplashWaitMs, kRuns);
    std::printf("  tallyard %8.1f ms   bare frame with list %8.1f ms   ratio %.2f (goal <= 1.30)\n", startProgram,
                startBare, startProgram / startBare);
    const double manyProgram = Median(many.programMs);
    const double manyBare = Median(many.bareMs);
    std::printf("start-up showing %d checklists, median of %d:\n", kManyChecklists, kMemoryRuns);
    std::printf("  tallyard %8.1f ms   bare list of %d rows %8.1f ms   ratio %.2f\n", manyProgram, kManyChecklists,
                manyBare, manyProgram / manyBare);
    const double kbProgram = Median(many.programKb);
    const double kbBare = Median(many.bareKb);
    std::printf("peak memory with %d checklists shown, median of %d:\n", kManyChecklists, kMemoryRuns);
    std::printf("  tallyard %8.0f KiB  bare list %8.0f KiB  ratio %.2f (goal <= 1.15)\n", kbProgram, kbBare,
                kbProgram / kbBare);
    std::printf("  (empty store: tallyard %.0f KiB, bare %.0f KiB)\n", Median(empty.programKb), Median(empty.bareKb));
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return 0;
}
