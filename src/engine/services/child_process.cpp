#include "engine/services/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stop_token>
#include <system_error>
#include <thread>

#include "engine/core/task.h"
#include "engine/services/child_process_platform.h"

extern char** environ;

namespace quill {

namespace {

/// Signals whose disposition a child must not inherit: an ignored SIGPIPE or SIGTERM would change how it
/// ends.
constexpr int kResetSignals[] = {SIGPIPE, SIGTERM, SIGINT,  SIGQUIT, SIGHUP,
                                 SIGCHLD, SIGALRM, SIGUSR1, SIGUSR2};

/// How long to wait before asking again after a report that was no exit.
constexpr std::chrono::milliseconds kReportRetry{10};

/// How long a killed group may take to end before its reader goes on regardless. SIGKILL cannot be caught,
/// so only the kernel's own work decides; the limit covers a member stuck in an uninterruptible wait (a
/// stalled network volume), which ends only when that wait does.
constexpr std::chrono::milliseconds kKilledGroupEndLimit{1000};
/// How often a killed group is looked at until it has ended.
constexpr std::chrono::milliseconds kKilledGroupPoll{5};

/// Blocks until `exitDescriptor` is readable, without taking its event (the process runner polls it too);
/// returns at once when there is none or it cannot be waited on.
void awaitExitDescriptor(int exitDescriptor) {
    if (exitDescriptor < 0)
        return;
    pollfd entry{exitDescriptor, POLLIN, 0};
    while (::poll(&entry, 1, -1) < 0 && errno == EINTR) {
    }
}

Error launchError(int code) {
    return Error{std::string(kProcessErrorDomain), code, systemErrorMessage(code)};
}

/// Every started child that may still need a signal, so that shutdown can kill the groups in their grace
/// period.
class StartedChildren {
  public:
    static StartedChildren& instance() {
        static StartedChildren children;
        return children;
    }

    void add(const std::shared_ptr<ChildProcess>& child) {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_children, [](const std::weak_ptr<ChildProcess>& known) { return known.expired(); });
        m_children.push_back(child);
    }

    std::vector<std::shared_ptr<ChildProcess>> live() {
        std::vector<std::shared_ptr<ChildProcess>> result;
        std::lock_guard lock(m_mutex);
        for (const auto& known : m_children) {
            if (auto child = known.lock())
                result.push_back(std::move(child));
        }
        return result;
    }

    std::atomic<bool> killAtOnce = false;

  private:
    std::mutex m_mutex;
    std::vector<std::weak_ptr<ChildProcess>> m_children;
};

/// The spawn attributes and file actions, released on every path.
struct SpawnSetup {
    posix_spawnattr_t attributes{};
    posix_spawn_file_actions_t actions{};
    bool hasAttributes = false;
    bool hasActions = false;

    ~SpawnSetup() {
        if (hasActions)
            posix_spawn_file_actions_destroy(&actions);
        if (hasAttributes)
            posix_spawnattr_destroy(&attributes);
    }

    int prepare(int stdoutFd, int stderrFd) {
        if (const int error = posix_spawnattr_init(&attributes))
            return error;
        hasAttributes = true;
        if (const int error = posix_spawn_file_actions_init(&actions))
            return error;
        hasActions = true;

        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int signal : kResetSignals)
            sigaddset(&defaults, signal);
        short flags = POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        if (const int error = posix_spawnattr_setpgroup(&attributes, 0))
            return error;
        if (const int error = posix_spawnattr_setsigmask(&attributes, &none))
            return error;
        if (const int error = posix_spawnattr_setsigdefault(&attributes, &defaults))
            return error;

        if (const int error =
                posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0)) {
            return error;
        }
        if (const int error = posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO))
            return error;
        if (const int error = posix_spawn_file_actions_adddup2(&actions, stderrFd, STDERR_FILENO))
            return error;
        if (const int error = detail::closeOtherDescriptors(attributes, actions, flags))
            return error;
        return posix_spawnattr_setflags(&attributes, flags);
    }
};

}  // namespace

Result<Pipe> Pipe::open(bool nonBlocking) {
    int fds[2];
    if (const int error = detail::openPipe(fds, nonBlocking))
        return fail(launchError(error));
    Pipe pipe;
    pipe.read = FileDescriptor(fds[0]);
    pipe.write = FileDescriptor(fds[1]);
    return pipe;
}

std::optional<int> exitCodeFromReport(const siginfo_t& report) {
    switch (report.si_code) {
        case CLD_EXITED:
        case CLD_KILLED:
        case CLD_DUMPED:
            // The exit status, or the number of the signal that ended it.
            return report.si_status;
        default:
            return std::nullopt;
    }
}

std::string systemErrorMessage(int code) {
    return std::error_code(code, std::generic_category()).message();
}

ChildProcess::ChildProcess(pid_t pid, std::chrono::milliseconds terminationGrace)
    : m_pid(pid), m_terminationGrace(terminationGrace), m_exitDescriptor(detail::openExitDescriptor(pid)) {}

ChildProcess::~ChildProcess() {
    // Every owner waits; this only keeps a forgotten child from staying a zombie when it has already ended.
    if (!m_reaping) {
        siginfo_t info{};
        ::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG);
    }
}

Result<std::shared_ptr<ChildProcess>> ChildProcess::spawn(const std::string& executable,
                                                          const std::vector<std::string>& arguments,
                                                          const std::optional<Environment>& environment,
                                                          int stdoutFd, int stderrFd,
                                                          std::chrono::milliseconds terminationGrace) {
    SpawnSetup setup;
    if (const int error = setup.prepare(stdoutFd, stderrFd))
        return fail(launchError(error));

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    std::vector<std::string> variables;
    std::vector<char*> envp;
    if (environment) {
        variables.reserve(environment->size());
        envp.reserve(environment->size() + 1);
        for (const auto& [name, value] : *environment) {
            variables.push_back(name + "=" + value);
            envp.push_back(variables.back().data());
        }
        envp.push_back(nullptr);
    }

    pid_t pid = 0;
    // posix_spawn reports a missing or non-executable file as its own result: the child is created with a
    // shared address space and the parent resumes only after the exec has succeeded or failed.
    const int error = ::posix_spawn(&pid, executable.c_str(), &setup.actions, &setup.attributes, argv.data(),
                                    environment ? envp.data() : environ);
    if (error != 0)
        return fail(launchError(error));
    auto child = std::shared_ptr<ChildProcess>(new ChildProcess(pid, terminationGrace));
    StartedChildren::instance().add(child);
    return child;
}

void ChildProcess::killGroupsInGrace() {
    killGroups(true);
}

void ChildProcess::killAllGroups() {
    killGroups(false);
}

void ChildProcess::killGroups(bool onlyInGrace) {
    auto& children = StartedChildren::instance();
    children.killAtOnce = true;
    for (const auto& child : children.live()) {
        std::lock_guard lock(child->m_mutex);
        // A reaped leader's group id may already belong to someone else.
        if (!child->m_reaping && (child->m_terminating || !onlyInGrace))
            child->signalGroup(SIGKILL);
    }
}

void ChildProcess::signalGroup(int signal) const {
    // The child leads its own group; should it have moved itself elsewhere, it still gets the signal.
    if (::kill(-m_pid, signal) != 0 && errno == ESRCH)
        ::kill(m_pid, signal);
}

void ChildProcess::terminate() {
    std::lock_guard lock(m_mutex);
    if (m_reaping)
        return;
    if (StartedChildren::instance().killAtOnce) {
        // The program is ending: no grace period, and `wait` may reap the leader at once.
        signalGroup(SIGKILL);
        return;
    }
    signalGroup(SIGTERM);
    if (m_terminating)
        return;
    m_terminating = true;
    // The task owns a share of the child, so the leader stays unreaped, and its group id taken, until the
    // group has been killed. Stopping the task (at shutdown) ends the grace period early.
    spawnTask([self = shared_from_this()](std::stop_token stop) {
        sleepFor(self->m_terminationGrace, stop);
        self->killAndReap();
    });
}

void ChildProcess::endTerminatedGroup() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_terminating)
            return;
    }
    if (!hasExited())
        return;
    killAndReap();  // nothing when the grace period's end is already killing it
    // A member gets SIGKILL but takes a moment to end; the caller goes on only once none runs. The group id
    // stays the group's while it has members, so no other process is looked at.
    const auto until = std::chrono::steady_clock::now() + kKilledGroupEndLimit;
    while (detail::groupHasRunningMembers(m_pid) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(kKilledGroupPoll);
}

void ChildProcess::killAndReap() {
    {
        std::lock_guard lock(m_mutex);
        if (m_reaping)
            return;
        signalGroup(SIGKILL);
        m_reaping = true;
    }
    reap();
}

bool ChildProcess::hasExited() const {
    {
        std::lock_guard lock(m_mutex);
        if (m_exitCode)
            return true;
    }
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return true;
    return info.si_pid == m_pid && exitCodeFromReport(info).has_value();
}

int ChildProcess::awaitExit() {
    {
        std::lock_guard lock(m_mutex);
        if (m_exitCode)
            return *m_exitCode;
    }
    // Some systems report a stopped child under WEXITED: only an exit ends the wait, and the exit descriptor
    // is waited on first so that such a report never makes this spin.
    std::optional<int> code;
    for (;;) {
        awaitExitDescriptor(m_exitDescriptor.get());
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOWAIT) != 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        code = exitCodeFromReport(info);
        if (code)
            break;
        // No exit yet (with no descriptor to wait on, or a report the descriptor did not hold back).
        std::this_thread::sleep_for(kReportRetry);
    }
    std::lock_guard lock(m_mutex);
    // When another thread has reaped it meanwhile, that thread recorded the code first; unknown otherwise:
    // -1, "no status reported".
    if (!m_exitCode)
        m_exitCode = code.value_or(-1);
    return *m_exitCode;
}

void ChildProcess::reap() {
    awaitExit();  // records the code before the leader goes
    siginfo_t reaped{};
    while (::waitid(P_PID, static_cast<id_t>(m_pid), &reaped, WEXITED) != 0 && errno == EINTR) {
    }
}

int ChildProcess::wait() {
    const int code = awaitExit();
    bool reapNow = false;
    {
        std::lock_guard lock(m_mutex);
        // A terminated leader stays unreaped until its group has been killed (by the grace-period task).
        reapNow = !m_terminating && !m_reaping;
        if (reapNow)
            m_reaping = true;
    }
    if (reapNow)
        reap();
    return code;
}

}  // namespace quill
