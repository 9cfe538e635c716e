#pragma once

#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/file_descriptor.h"
#include "engine/core/result.h"
#include "engine/services/process_running.h"

namespace quill {

/// Both ends of a pipe, each close-on-exec.
struct Pipe {
    FileDescriptor read;
    FileDescriptor write;

    /// A new pipe; `nonBlocking` makes both ends non-blocking. Fails with the system's error.
    static Result<Pipe> open(bool nonBlocking = false);
};

/// A started child process that leads a process group of its own, with standard input from /dev/null.
/// `terminate` sends SIGTERM to the group and starts a grace period, after which the group gets SIGKILL.
/// The group is signalled only while its leader is unreaped, so a reused process id is never hit: the
/// leader's exit is observed without reaping, and a terminated leader is reaped only after its group's
/// SIGKILL. Thread-safe.
class ChildProcess : public std::enable_shared_from_this<ChildProcess> {
  public:
    /// How long a terminated group may take to end before it is killed, unless the spawn says otherwise.
    static constexpr std::chrono::milliseconds kTerminationGrace{5000};

    /// Starts `executable` (an absolute path) with its standard output and standard error on the given
    /// descriptors (which may be the same). A missing `environment` inherits ours. A terminated group still
    /// alive after `terminationGrace` is killed. Fails with the system's description of the launch error.
    static Result<std::shared_ptr<ChildProcess>> spawn(
        const std::string& executable, const std::vector<std::string>& arguments,
        const std::optional<Environment>& environment, int stdoutFd, int stderrFd,
        std::chrono::milliseconds terminationGrace = kTerminationGrace);

    /// SIGKILLs the group of every started child that is in its grace period, and makes every later
    /// `terminate` kill at once. For the program's shutdown, before its tasks are stopped.
    static void killGroupsInGrace();

    /// SIGKILLs the group of every started child that has not been reaped, running or not, and makes every
    /// later `terminate` kill at once. For the program's shutdown, once its tasks have had their time: no
    /// child, and none of its group, outlives the program.
    static void killAllGroups();

    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] pid_t pid() const { return m_pid; }

    /// Sends SIGTERM to the child's process group, unless the child has been reaped. The first call starts
    /// the grace period: a task then SIGKILLs the group once it is over (or once the task is stopped) and
    /// reaps the leader. Never blocks.
    void terminate();

    /// Ends a terminated child's grace period early once its leader has exited: SIGKILLs the group (a
    /// grandchild that ignored the terminate request), reaps the leader and returns once no member of the
    /// group runs, or after a second at most. Nothing for a child that was not terminated or whose leader
    /// still runs.
    void endTerminatedGroup();

    /// A descriptor that becomes readable once the child has exited, or -1 where the platform offers none
    /// (then ask `hasExited`).
    [[nodiscard]] int exitDescriptor() const { return m_exitDescriptor.get(); }

    /// Whether the child has exited (reaped or not). Never blocks.
    [[nodiscard]] bool hasExited() const;

    /// Blocks until the child exits and returns its exit code (the signal's number when a signal ended it);
    /// later calls return the same code at once. A child that was never terminated is reaped here; a
    /// terminated one is reaped after its group's SIGKILL. Once `terminate` has been called, the wait lasts
    /// at most the grace period and the kill.
    int wait();

  private:
    ChildProcess(pid_t pid, std::chrono::milliseconds terminationGrace);

    /// SIGKILLs the group of every unreaped started child, or only of those in their grace period.
    static void killGroups(bool onlyInGrace);
    /// Blocks until the leader has exited, without reaping it; records and returns its code.
    int awaitExit();
    /// With m_mutex held: sends `signal` to the group (or to the leader, should it have left its group).
    void signalGroup(int signal) const;
    /// Ends the grace period: SIGKILL to the group unless it is being reaped, then reaps the leader.
    void killAndReap();
    /// Reaps the leader; the caller has set m_reaping.
    void reap();

    const pid_t m_pid;
    const std::chrono::milliseconds m_terminationGrace;
    FileDescriptor m_exitDescriptor;
    mutable std::mutex m_mutex;  ///< guards the fields below
    bool m_terminating = false;  ///< a terminate request started the grace period
    bool m_reaping = false;      ///< the leader is (about to be) reaped: no more signals
    mutable std::optional<int> m_exitCode;
};

/// What a `waitid` report says of a child: its exit status when it exited, the signal's number when a signal
/// ended it (killed, or killed with a core dump); nothing for any other report (stopped, continued, trapped),
/// which is no exit.
[[nodiscard]] std::optional<int> exitCodeFromReport(const siginfo_t& report);

/// The system's description of an `errno` value ("No such file or directory").
std::string systemErrorMessage(int code);

}  // namespace quill
