// A binary of its own: AddressSanitizer holds freed memory back in a quarantine (256 MB by default), which
// would hide what the program itself keeps; this binary keeps a small one.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <stop_token>
#include <thread>

#include "engine/core/task.h"
#include "engine/installers/brew_runner.h"
#include "engine/services/live_file_system.h"
#include "tests/support/fake_bin.h"
#include "tests/support/process_watch.h"
#include "tests/support/resident_memory.h"

// Read by AddressSanitizer at start-up; without it, nothing calls it.
extern "C" const char* __asan_default_options() {  // NOLINT: the sanitizer's hook
    return "quarantine_size_mb=4";
}

namespace quill {
namespace {

constexpr std::size_t kMB = std::size_t{1} << 20;

/// How much the stand-in prints: 1 GiB in an optimised build. An unoptimised, sanitized build moves about
/// 20 MB a second through the reader, the runner and the consumer, so it prints a quarter of that: still
/// two and a half times the bound, which output kept whole, or queued faster than it is read, would pass.
#ifdef NDEBUG
constexpr std::size_t kFlood = std::size_t{1024} * kMB;
#else
constexpr std::size_t kFlood = std::size_t{256} * kMB;
#endif

TEST(BrewRunnerFloodTest, ABrewThatFloodsItsOutputKeepsTheMemoryBoundedAndItsLinesShort) {
    // Half in lines of 4 KiB, half as one line that never ends.
    constexpr std::size_t kHalf = kFlood / 2;
    test::FakeBin bin;
    bin.add("/opt/homebrew/bin/brew", "exec " + test::kTestChild + " flood " + std::to_string(kHalf) +
                                          " 4096 flood " + std::to_string(kHalf) + " 0");
    auto fileSystem = std::make_shared<LiveFileSystem>();
    const BrewRunner runner{"/opt/homebrew/bin/brew",       bin.runner(),        nullptr, fileSystem,
                            PrivilegedExecutor{fileSystem}, AdoptiumAPI{nullptr}};

    const std::size_t before = test::residentBytes();
    std::atomic<std::size_t> peak = before;
    std::jthread sampler([&peak](std::stop_token stop) {
        do {
            const std::size_t now = test::residentBytes();
            if (now > peak)
                peak = now;
        } while (sleepFor(std::chrono::milliseconds(2), stop));
    });
    std::size_t received = 0;
    std::size_t longest = 0;
    std::optional<InstallerEvent> last;
    auto stream = runner.install("flood");
    while (auto event = stream.next()) {
        if (const auto* output = std::get_if<InstallerEvent::Output>(&event->value)) {
            received += output->text.size();
            longest = std::max(longest, output->text.size());
        }
        last = std::move(event);
    }
    sampler.request_stop();
    sampler.join();

    EXPECT_LT(peak.load() - before, 100 * kMB);
    EXPECT_LE(longest, kMaximumOutputLineSize);
    EXPECT_EQ(received, 2 * kHalf - kHalf / 4096);  // every byte but the line breaks
    EXPECT_EQ(last, InstallerEvent(InstallerEvent::Completed{0}));
}

}  // namespace
}  // namespace quill
