#include "engine/services/live_process_runner.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <functional>
#include <span>
#include <stop_token>

#include "engine/core/task.h"
#include "engine/core/text.h"

namespace quill {

namespace {

using Clock = std::chrono::steady_clock;

/// How often a child's exit is checked where the platform gives no exit descriptor.
constexpr std::chrono::milliseconds kExitCheckInterval{20};
constexpr std::size_t kReadSize = std::size_t{64} * 1024;

enum class DrainEnd {
    endOfOutput,   ///< every pipe reached its end
    graceExpired,  ///< the child exited and the pipes stayed open past the grace period
    timedOut,      ///< the deadline passed first
    stopped,       ///< the wake descriptor fired
};

int remainingMs(Clock::time_point until, Clock::time_point now) {
    if (until <= now)
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
    return ms > 60'000 ? 60'000 : static_cast<int>(ms);
}

/// Reads every pipe to its end, handing each chunk to `onBytes` with the pipe's index, until all have ended,
/// the child has exited and `exitGrace` has passed, `deadline` has passed, or `wakeFd` becomes readable.
DrainEnd drainPipes(std::span<const int> pipes, const ChildProcess& child,
                    std::chrono::milliseconds exitGrace, std::optional<Clock::time_point> deadline,
                    int wakeFd, const std::function<void(std::size_t, std::string_view)>& onBytes) {
    std::array<bool, 2> open{};
    std::size_t openCount = pipes.size();
    for (std::size_t i = 0; i < pipes.size(); ++i)
        open[i] = true;
    std::optional<Clock::time_point> graceEnd;
    const int exitFd = child.exitDescriptor();
    std::array<char, kReadSize> buffer;  // NOLINT: filled by read before use

    while (openCount > 0) {
        std::array<pollfd, 4> polled{};
        std::array<std::size_t, 2> pipeIndex{};
        nfds_t count = 0;
        for (std::size_t i = 0; i < pipes.size(); ++i) {
            if (!open[i])
                continue;
            pipeIndex[count] = i;
            polled[count++] = {pipes[i], POLLIN, 0};
        }
        const nfds_t pipeCount = count;
        const bool watchExit = !graceEnd && exitFd >= 0;
        if (watchExit)
            polled[count++] = {exitFd, POLLIN, 0};
        const bool watchWake = wakeFd >= 0;
        if (watchWake)
            polled[count++] = {wakeFd, POLLIN, 0};

        const auto now = Clock::now();
        int timeout = -1;
        const auto limitTo = [&timeout, now](Clock::time_point until) {
            const int ms = remainingMs(until, now);
            if (timeout < 0 || ms < timeout)
                timeout = ms;
        };
        if (deadline)
            limitTo(*deadline);
        if (graceEnd)
            limitTo(*graceEnd);
        if (!graceEnd && exitFd < 0)
            limitTo(now + kExitCheckInterval);

        const int ready = ::poll(polled.data(), count, timeout);
        if (ready < 0 && errno != EINTR)
            break;

        if (watchWake && polled[count - 1].revents != 0)
            return DrainEnd::stopped;
        for (nfds_t k = 0; k < pipeCount; ++k) {
            if (polled[k].revents == 0)
                continue;
            const std::size_t i = pipeIndex[k];
            const ssize_t got = ::read(pipes[i], buffer.data(), buffer.size());
            if (got > 0) {
                onBytes(i, std::string_view(buffer.data(), static_cast<std::size_t>(got)));
            } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
                open[i] = false;
                --openCount;
            }
        }
        if (!graceEnd) {
            const bool exited =
                watchExit ? polled[pipeCount].revents != 0 : (exitFd < 0 && child.hasExited());
            if (exited)
                graceEnd = Clock::now() + exitGrace;
        }
        if (openCount == 0)
            break;
        const auto after = Clock::now();
        if (deadline && after >= *deadline)
            return DrainEnd::timedOut;
        if (graceEnd && after >= *graceEnd)
            return DrainEnd::graceExpired;
    }
    return DrainEnd::endOfOutput;
}

/// Waits until `child` has exited (`endOfOutput`), `deadline` has passed or `wakeFd` becomes readable.
DrainEnd awaitExit(const ChildProcess& child, std::optional<Clock::time_point> deadline, int wakeFd) {
    const int exitFd = child.exitDescriptor();
    while (!child.hasExited()) {
        const auto now = Clock::now();
        if (deadline && now >= *deadline)
            return DrainEnd::timedOut;
        std::array<pollfd, 2> polled{};
        nfds_t count = 0;
        if (exitFd >= 0)
            polled[count++] = {exitFd, POLLIN, 0};
        if (wakeFd >= 0)
            polled[count++] = {wakeFd, POLLIN, 0};
        int timeout = deadline ? remainingMs(*deadline, now) : -1;
        if (exitFd < 0) {
            const int check = static_cast<int>(kExitCheckInterval.count());
            timeout = timeout < 0 ? check : std::min(timeout, check);
        }
        if (::poll(polled.data(), count, timeout) > 0 && wakeFd >= 0 && polled[count - 1].revents != 0)
            return DrainEnd::stopped;
    }
    return DrainEnd::endOfOutput;
}

std::string validUtf8OrEmpty(std::string bytes) {
    return isValidUtf8(bytes) ? std::move(bytes) : std::string();
}

/// What the streaming task owns: the read end of the output pipe and the pipe that wakes it on cancel.
struct StreamReader {
    FileDescriptor output;
    Pipe wake;
};

}  // namespace

Result<ProcessResult> LiveProcessRunner::run(const std::string& executable,
                                             const std::vector<std::string>& arguments,
                                             const std::optional<Environment>& environment,
                                             std::optional<std::chrono::milliseconds> timeLimit,
                                             std::stop_token stop) const {
    const auto started = Clock::now();
    // A stop wakes the reading through a pipe of its own; the callback goes before the pipe does.
    std::optional<Pipe> wake;
    if (stop.stop_possible()) {
        auto opened = Pipe::open(true);
        if (!opened)
            return fail(opened.error());
        wake = std::move(*opened);
    }
    const int wakeRead = wake ? wake->read.get() : -1;
    const int wakeWrite = wake ? wake->write.get() : -1;
    const std::stop_callback onStop(stop, [wakeWrite] { (void)!::write(wakeWrite, "x", 1); });
    if (stop.stop_requested())
        return fail(processStopped(executable));

    auto out = Pipe::open();
    if (!out)
        return fail(out.error());
    auto err = Pipe::open();
    if (!err)
        return fail(err.error());
    auto child = ChildProcess::spawn(executable, arguments, environment, out->write.get(), err->write.get(),
                                     m_options.terminationGrace);
    if (!child)
        return fail(child.error());
    out->write.reset();
    err->write.reset();

    std::array<std::string, 2> collected;
    const std::array<int, 2> pipes{out->read.get(), err->read.get()};
    std::optional<Clock::time_point> deadline;
    if (timeLimit)
        deadline = started + *timeLimit;
    auto end =
        drainPipes(pipes, **child, m_options.exitGrace, deadline, wakeRead,
                   [&collected](std::size_t i, std::string_view bytes) { collected[i].append(bytes); });
    out->read.reset();
    err->read.reset();

    // The output has ended; the child may still be running (it closed its outputs), so the time limit and
    // the stop still apply while waiting for it.
    if (end == DrainEnd::endOfOutput || end == DrainEnd::graceExpired)
        end = awaitExit(**child, deadline, wakeRead);
    // A child that has already exited finished in time, even when a grandchild holding its outputs kept
    // the reading going past the limit.
    if ((end == DrainEnd::timedOut || end == DrainEnd::stopped) && !(*child)->hasExited()) {
        (*child)->terminate();
        return fail(end == DrainEnd::stopped ? processStopped(executable) : processTimedOut(executable));
    }
    const int code = (*child)->wait();
    return ProcessResult{code, validUtf8OrEmpty(std::move(collected[0])),
                         validUtf8OrEmpty(std::move(collected[1]))};
}

Stream<ProcessStreamEvent> LiveProcessRunner::stream(const std::string& executable,
                                                     const std::vector<std::string>& arguments,
                                                     const std::optional<Environment>& environment,
                                                     std::shared_ptr<LiveProcessCancellation> handle) const {
    const auto failedToStart = [](std::string message) {
        return finishedStream<ProcessStreamEvent>([&](const StreamSink<ProcessStreamEvent>& sink) {
            sink.yield(ProcessStreamEvent::FailedToStart{std::move(message)});
        });
    };
    auto output = Pipe::open();
    auto wake = Pipe::open(true);
    if (!output || !wake)
        return failedToStart((!output ? output.error() : wake.error()).message);
    auto started = ChildProcess::spawn(executable, arguments, environment, output->write.get(),
                                       output->write.get(), m_options.terminationGrace);
    if (!started)
        return failedToStart(started.error().message);
    output->write.reset();
    std::shared_ptr<ChildProcess> child = std::move(*started);
    if (handle)
        handle->attach(child);

    auto reader = std::make_shared<StreamReader>(StreamReader{std::move(output->read), std::move(*wake)});
    const auto read = [child, reader, exitGrace = m_options.exitGrace](
                          const StreamSink<ProcessStreamEvent>& sink, const std::stop_token& stop) {
        const int wakeWrite = reader->wake.write.get();
        const std::stop_callback onStop(stop, [wakeWrite] { (void)!::write(wakeWrite, "x", 1); });

        LineSplitter splitter(kMaximumOutputLineSize);
        // Lines go out in batches, one per read: the consumer sees the same events, for one lock each. The
        // next read waits until the consumer has taken the batch, so a child that writes faster than its
        // lines are used waits on its full pipe instead of filling our memory.
        const auto yieldLines = [&sink, &stop](std::vector<std::string> lines) {
            if (lines.empty())
                return;
            std::vector<ProcessStreamEvent> batch;
            batch.reserve(lines.size());
            for (auto& line : lines)
                batch.emplace_back(ProcessStreamEvent::Line{std::move(line)});
            sink.yieldAll(std::move(batch));
            sink.waitUntilTaken(stop);
        };
        const std::array<int, 1> pipes{reader->output.get()};
        const auto end =
            drainPipes(pipes, *child, exitGrace, std::nullopt, reader->wake.read.get(),
                       [&](std::size_t, std::string_view bytes) { yieldLines(splitter.feed(bytes)); });
        reader->output.reset();
        if (end == DrainEnd::stopped) {
            // Stopped from outside the stream (the program is closing): the child must not outlive it.
            child->terminate();
        } else {
            yieldLines(splitter.finish());
        }
        const int code = child->wait();
        sink.yield(ProcessStreamEvent::Exited{code});
    };
    return streamFromTask<ProcessStreamEvent>(read, [handle] {
        if (handle)
            handle->cancel();
    });
}

}  // namespace quill
