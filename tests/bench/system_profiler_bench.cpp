// How long a profile takes when every probe command is slow: the probes run at once, so the slowest one
// should set the time, not their sum.

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "engine/services/live_file_system.h"
#include "engine/services/system_profiler.h"
#include "tests/support/fake_process_runner.h"
#include "tests/support/path_mapping_file_system.h"
#include "tests/support/temporary_home.h"

namespace {

using namespace std::chrono_literals;
using quill::test::FakeProcessRunner;

constexpr auto kProbeDelay = 200ms;

void profileWithSlowProbes(benchmark::State& state) {
    quill::test::TemporaryHome home;
    quill::test::TemporaryDirectory machine;
    auto runner = std::make_shared<FakeProcessRunner>();
    // Every command, the Java probes' too, answers after the same delay; `which` finds nothing, so every
    // command-line check also asks the file system afterwards.
    runner->whenRun([](const FakeProcessRunner::Call&) { return true; }, quill::test::processResult(1),
                    kProbeDelay);
    runner->whenRun(FakeProcessRunner::exactly("/usr/bin/uname", {"-m"}),
                    quill::test::processResult(0, "arm64"), kProbeDelay);
    const quill::SystemProfiler profiler{quill::ShellRunner{runner},
                                         std::make_shared<quill::test::PathMappingFileSystem>(
                                             std::make_shared<quill::LiveFileSystem>(), machine.path())};

    double slowest = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto profile = profiler.profile();
        benchmark::DoNotOptimize(profile);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        slowest = std::max(slowest, seconds);
    }
    const double budget = 1.5 * std::chrono::duration<double>(kProbeDelay).count();
    state.counters["slowest_ms"] = slowest * 1000.0;
    state.counters["budget_ms"] = budget * 1000.0;
    if (slowest >= budget)
        state.SkipWithError("a profile took longer than 1.5 times the slowest probe");
}

BENCHMARK(profileWithSlowProbes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
