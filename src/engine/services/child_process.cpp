#include "engine/services/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

extern char** environ;

namespace quill {

namespace {

/// Signals whose disposition a child must not inherit: an ignored SIGPIPE or SIGTERM would change how it
/// ends.
constexpr int kResetSignals[] = {SIGPIPE, SIGTERM, SIGINT,  SIGQUIT, SIGHUP,
                                 SIGCHLD, SIGALRM, SIGUSR1, SIGUSR2};

Error launchError(int code) {
    return Error{"ProcessRunner", code, systemErrorMessage(code)};
}

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

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        reset();
        m_fd = other.release();
    }
    return *this;
}

void FileDescriptor::reset() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

Result<Pipe> Pipe::open(bool nonBlocking) {
    int fds[2];
    if (const int error = detail::openPipe(fds, nonBlocking))
        return fail(launchError(error));
    Pipe pipe;
    pipe.read = FileDescriptor(fds[0]);
    pipe.write = FileDescriptor(fds[1]);
    return pipe;
}

std::string systemErrorMessage(int code) {
    return std::error_code(code, std::generic_category()).message();
}

ChildProcess::ChildProcess(pid_t pid) : m_pid(pid), m_exitDescriptor(openExitDescriptor(pid)) {}

ChildProcess::~ChildProcess() {
    // Every owner waits; this only keeps a forgotten child from staying a zombie when it has already ended.
    std::lock_guard lock(m_waitMutex);
    if (!m_exitCode) {
        siginfo_t info{};
        ::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG);
    }
}

Result<std::shared_ptr<ChildProcess>> ChildProcess::spawn(const std::string& executable,
                                                          const std::vector<std::string>& arguments,
                                                          const std::optional<Environment>& environment,
                                                          int stdoutFd, int stderrFd) {
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
    return std::shared_ptr<ChildProcess>(new ChildProcess(pid));
}

void ChildProcess::terminate() const {
    std::lock_guard lock(m_mutex);
    if (m_exited)
        return;
    // The child leads its own group; should it have moved itself elsewhere, it still gets the request.
    if (::kill(-m_pid, SIGTERM) != 0 && errno == ESRCH)
        ::kill(m_pid, SIGTERM);
}

bool ChildProcess::isRunning() const {
    std::lock_guard lock(m_mutex);
    return !m_exited;
}

bool ChildProcess::hasExited() const {
    {
        std::lock_guard lock(m_mutex);
        if (m_exited)
            return true;
    }
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return true;
    return info.si_pid == m_pid;
}

int ChildProcess::wait() {
    std::lock_guard waitLock(m_waitMutex);
    if (m_exitCode)
        return *m_exitCode;

    siginfo_t info{};
    int result = 0;
    do {
        result = ::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOWAIT);
    } while (result != 0 && errno == EINTR);
    {
        std::lock_guard lock(m_mutex);
        m_exited = true;
    }
    siginfo_t reaped{};
    while (::waitid(P_PID, static_cast<id_t>(m_pid), &reaped, WEXITED) != 0 && errno == EINTR) {
    }
    // Exited normally: the exit status; killed or dumped: the signal's number. Unknown (someone else reaped
    // it): -1, the program's "no status reported".
    m_exitCode = result == 0 ? info.si_status : -1;
    return *m_exitCode;
}

}  // namespace quill
