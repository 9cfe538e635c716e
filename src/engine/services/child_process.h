#pragma once

#include <spawn.h>
#include <sys/types.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/result.h"
#include "engine/services/process_running.h"

namespace quill {

/// A descriptor closed on destruction. Move-only.
class FileDescriptor {
  public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset();

  private:
    int m_fd = -1;
};

/// Both ends of a pipe, each close-on-exec.
struct Pipe {
    FileDescriptor read;
    FileDescriptor write;

    /// A new pipe; `nonBlocking` makes both ends non-blocking. Fails with the system's error.
    static Result<Pipe> open(bool nonBlocking = false);
};

/// A started child process that leads a process group of its own, with standard input from /dev/null.
/// Signals go to the group only while the child has not been reaped, so a reused process id is never hit:
/// `wait` first observes the exit without reaping, marks the child exited under its lock, then reaps.
/// Thread-safe.
class ChildProcess {
  public:
    /// Starts `executable` (an absolute path) with its standard output and standard error on the given
    /// descriptors (which may be the same). A missing `environment` inherits ours. Fails with the system's
    /// description of the launch error.
    static Result<std::shared_ptr<ChildProcess>> spawn(const std::string& executable,
                                                       const std::vector<std::string>& arguments,
                                                       const std::optional<Environment>& environment,
                                                       int stdoutFd, int stderrFd);

    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] pid_t pid() const { return m_pid; }

    /// Sends SIGTERM to the child's process group, unless the child has already exited. Never blocks.
    void terminate() const;

    /// Whether the child has been seen to exit by `wait`.
    [[nodiscard]] bool isRunning() const;

    /// A descriptor that becomes readable once the child has exited, or -1 where the platform offers none
    /// (then ask `hasExited`).
    [[nodiscard]] int exitDescriptor() const { return m_exitDescriptor.get(); }

    /// Whether the child has exited (reaped or not). Never blocks.
    [[nodiscard]] bool hasExited() const;

    /// Blocks until the child exits, reaps it and returns its exit code (the signal's number when a signal
    /// ended it). Later calls return the same code at once.
    int wait();

  private:
    explicit ChildProcess(pid_t pid);

    /// Opens the platform's exit descriptor for `pid`, or returns an invalid one.
    static FileDescriptor openExitDescriptor(pid_t pid);

    const pid_t m_pid;
    FileDescriptor m_exitDescriptor;
    mutable std::mutex m_mutex;  ///< guards m_exited
    bool m_exited = false;
    std::mutex m_waitMutex;  ///< serialises `wait`; guards m_exitCode
    std::optional<int> m_exitCode;
};

/// The system's description of an `errno` value ("No such file or directory").
std::string systemErrorMessage(int code);

namespace detail {
/// Opens a pipe whose ends are close-on-exec (and non-blocking when asked); 0 or an `errno` value.
int openPipe(int fds[2], bool nonBlocking);
/// Adds the platform's way of keeping every descriptor but the standard three from a child.
int closeOtherDescriptors(posix_spawnattr_t& attributes, posix_spawn_file_actions_t& actions, short& flags);
}  // namespace detail

}  // namespace quill
