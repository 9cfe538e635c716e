#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/task.h"
#include "engine/installers/installer_child.h"
#include "engine/runner/fix_sequence.h"
#include "engine/services/process_cancellation.h"
#include "engine/services/shell_runner.h"
#include "tests/engine/installers/installer_test_kit.h"

namespace quill {
namespace {

using Event = SetupRemediationRunner::Event;

/// Lines for a stage to relay. Each is handed on only once the stage has taken the one before, and counted
/// then: while the stage holds back, the count stands still.
class CountingSource {
  public:
    explicit CountingSource(std::vector<std::string> lines)
        : m_lines(std::make_shared<const std::vector<std::string>>(std::move(lines))) {}

    /// The lines as events made by `line`, then `last`.
    template <class E>
    Stream<E> stream(std::function<E(std::string)> line, E last) const {
        return streamFromTask<E>(
            [lines = m_lines, taken = m_taken, line = std::move(line), last = std::move(last)](
                const StreamSink<E>& sink, const std::stop_token& stop) {
                for (const auto& text : *lines) {
                    sink.yield(line(text));
                    sink.waitUntilTaken(stop);
                    if (stop.stop_requested() || sink.isFinished())
                        return;
                    ++*taken;
                }
                sink.yield(std::move(last));
            });
    }

    [[nodiscard]] std::size_t taken() const { return m_taken->load(); }

  private:
    std::shared_ptr<const std::vector<std::string>> m_lines;
    std::shared_ptr<std::atomic<std::size_t>> m_taken = std::make_shared<std::atomic<std::size_t>>(0);
};

/// A process service whose every child prints the source's lines and exits 0.
class SourceProcess final : public ProcessRunning {
  public:
    explicit SourceProcess(CountingSource source) : m_source(std::move(source)) {}

    Result<ProcessResult> run(const std::string&, const std::vector<std::string>&,
                              const std::optional<Environment>&, std::optional<std::chrono::milliseconds>,
                              std::stop_token) const override {
        return ProcessResult{};
    }
    Stream<ProcessStreamEvent> stream(const std::string&, const std::vector<std::string>&,
                                      const std::optional<Environment>&,
                                      std::shared_ptr<LiveProcessCancellation>) const override {
        return m_source.stream<ProcessStreamEvent>(
            [](std::string text) { return ProcessStreamEvent::Line{std::move(text)}; },
            ProcessStreamEvent::Exited{0});
    }

  private:
    CountingSource m_source;
};

/// The next line a stage passed on, skipping its other events; nothing at its end.
using LineReader = std::function<std::optional<std::string>()>;

/// Reads the output lines of `stream`, whose events hold them as `E::Output`.
template <class E>
LineReader linesOf(Stream<E> stream) {
    auto events = std::make_shared<Stream<E>>(std::move(stream));
    return [events]() -> std::optional<std::string> {
        while (auto event = events->next()) {
            if (auto* output = std::get_if<typename E::Output>(&event->value))
                return std::move(output->text);
        }
        return std::nullopt;
    };
}

struct Stage {
    const char* name;
    /// Starts the stage over the source's lines.
    std::function<LineReader(const CountingSource&)> start;
};

TEST(PendingOutputConcurrencyTest, EveryStageHoldsItsSourceBackByLinesAndBytesAndLosesNothing) {
    const std::vector<Stage> stages = {
        {"the installer's reader",
         [](const CountingSource& source) {
             auto process = std::make_shared<SourceProcess>(source);
             return linesOf(streamFromTask<InstallerEvent>(
                 [process](const StreamSink<InstallerEvent>& sink, const std::stop_token& stop) {
                     CancellableProcess holder;
                     relayInstallerChild(*process, "tool", {}, {}, holder, sink, stop, "tool");
                 }));
         }},
        {"the shell runner",
         [](const CountingSource& source) {
             return linesOf(ShellRunner{std::make_shared<SourceProcess>(source)}.stream("tool", {}));
         }},
        {"a fix's login-shell step",
         [](const CountingSource& source) {
             SetupRemediationRunner runner;
             runner.process = std::make_shared<SourceProcess>(source);
             return linesOf(
                 streamFromTask<Event>([runner](const StreamSink<Event>& sink, std::stop_token stop) {
                     sink.yield(Event::Completed{runner.loginShellStep("tool", sink, std::move(stop))});
                 }));
         }},
        {"the fix sequence",
         [](const CountingSource& source) {
             return linesOf(runFixes(
                 {SetupRemediation::installUv()},
                 [source](std::size_t) {
                     return source.stream<Event>(
                         [](std::string text) { return Event::Output{std::move(text)}; },
                         Event::Completed{0});
                 },
                 true));
         }},
    };
    constexpr std::size_t kShort = 16;
    constexpr std::size_t kLong = kMaximumOutputLineSize;
    static_assert(kPendingOutputBytes / kLong + 1 < kPendingOutputLines / 16, "long lines hold far sooner");
    struct Size {
        const char* name;
        std::size_t lineSize;
        std::size_t lines;
        std::size_t fewestHeld;  // the stage may count one event of its own among the waiting ones
        std::size_t mostHeld;
    };
    const std::vector<Size> sizes = {
        {"short lines, held at the count", kShort, 3 * kPendingOutputLines, kPendingOutputLines,
         kPendingOutputLines + 1},
        {"long lines, held at the bytes", kLong, 3 * (kPendingOutputBytes / kLong),
         kPendingOutputBytes / kLong + 1, kPendingOutputBytes / kLong + 1},
    };
    for (const auto& stage : stages) {
        for (const auto& size : sizes) {
            SCOPED_TRACE(std::string(stage.name) + ", " + size.name);
            std::vector<std::string> lines;
            for (std::size_t index = 0; index < size.lines; ++index) {
                auto text = std::to_string(index);
                text.resize(size.lineSize, 'f');
                lines.push_back(std::move(text));
            }
            const CountingSource source(lines);
            const auto next = stage.start(source);

            // Nobody reads: the stage takes lines until its limit, then holds the source back.
            ASSERT_TRUE(test::eventually([&] { return source.taken() >= size.fewestHeld; }))
                << "took " << source.taken();
            EXPECT_FALSE(test::eventually([&] { return source.taken() > size.mostHeld; },
                                          std::chrono::milliseconds(300)))
                << "took " << source.taken() << " while nobody read";

            // One read takes everything waiting: the stage takes about as many lines again before it holds.
            const auto first = next();
            ASSERT_TRUE(first && *first == lines[0]);
            ASSERT_TRUE(test::eventually([&] { return source.taken() >= 2 * size.fewestHeld; }))
                << "took " << source.taken() << " once its reader had read everything";

            std::size_t read = 1;
            while (auto text = next()) {
                ASSERT_LT(read, lines.size());
                ASSERT_TRUE(*text == lines[read]) << "line " << read << " is not the one sent";
                ++read;
            }
            EXPECT_EQ(read, lines.size());
        }
    }
}

}  // namespace
}  // namespace quill
