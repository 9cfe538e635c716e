// Child-process overhead: spawn-to-exit latency of `run` and line throughput of `stream`, each beside the
// same work done directly with posix_spawn and read.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/services/live_process_runner.h"
#include "tests/support/process_watch.h"

extern char** environ;

namespace {

constexpr long kLines = 1'000'000;

/// `true`: macOS has it only in /usr/bin, a Linux without a merged /usr only in /bin.
const std::string kTrue = std::filesystem::exists("/usr/bin/true") ? "/usr/bin/true" : "/bin/true";

/// A pipe whose ends are closed on exec (macOS has no pipe2); the benchmarks start children from one thread.
void closeOnExecPipe(int fds[2]) {
    if (::pipe(fds) != 0 || ::fcntl(fds[0], F_SETFD, FD_CLOEXEC) != 0 ||
        ::fcntl(fds[1], F_SETFD, FD_CLOEXEC) != 0)
        std::abort();
}

/// Starts `argv` with standard output (and standard error) on a fresh pipe; returns the pid and read end.
std::pair<pid_t, int> rawSpawn(std::vector<std::string> arguments, bool separateErr, int* errRead) {
    int out[2];
    int err[2];
    closeOnExecPipe(out);
    if (separateErr)
        closeOnExecPipe(err);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, separateErr ? err[1] : out[1], STDERR_FILENO);
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        std::abort();
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (separateErr) {
        ::close(err[1]);
        *errRead = err[0];
    }
    return {pid, out[0]};
}

void BM_RunTrue(benchmark::State& state) {
    const quill::LiveProcessRunner runner;
    for (auto _ : state) {
        auto result = runner.run(kTrue, {});
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_RunTrue)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_RawSpawnTrue(benchmark::State& state) {
    char buffer[4096];
    for (auto _ : state) {
        int errRead = -1;
        const auto [pid, outRead] = rawSpawn({kTrue}, true, &errRead);
        while (::read(outRead, buffer, sizeof buffer) > 0) {
        }
        while (::read(errRead, buffer, sizeof buffer) > 0) {
        }
        ::close(outRead);
        ::close(errRead);
        int status = 0;
        ::waitpid(pid, &status, 0);
        benchmark::DoNotOptimize(status);
    }
}
BENCHMARK(BM_RawSpawnTrue)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_StreamLines(benchmark::State& state) {
    const quill::LiveProcessRunner runner;
    long lines = 0;
    for (auto _ : state) {
        auto events =
            runner.stream(quill::test::kTestChild, {"lines", std::to_string(kLines)}, std::nullopt, nullptr);
        while (auto event = events.next()) {
            if (std::holds_alternative<quill::ProcessStreamEvent::Line>(event->value))
                ++lines;
        }
    }
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StreamLines)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RawReadLines(benchmark::State& state) {
    long lines = 0;
    std::vector<char> buffer(64 * 1024);
    for (auto _ : state) {
        const auto [pid, outRead] =
            rawSpawn({quill::test::kTestChild, "lines", std::to_string(kLines)}, false, nullptr);
        std::string pending;
        for (ssize_t got; (got = ::read(outRead, buffer.data(), buffer.size())) > 0;) {
            pending.append(buffer.data(), static_cast<std::size_t>(got));
            std::size_t start = 0;
            for (const char* newline; (newline = static_cast<const char*>(std::memchr(
                                           pending.data() + start, '\n', pending.size() - start)));) {
                const auto end = static_cast<std::size_t>(newline - pending.data());
                std::string line = pending.substr(start, end - start);
                benchmark::DoNotOptimize(line);
                ++lines;
                start = end + 1;
            }
            pending.erase(0, start);
        }
        ::close(outRead);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RawReadLines)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
