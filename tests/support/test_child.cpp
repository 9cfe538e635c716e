// A small program whose behaviour the process tests script through its arguments, one command after another:
//   out N / err N      write N bytes ('o' or 'e') to standard output / standard error
//   line T / eline T   write T and a newline to standard output / standard error
//   partial T          write T with no newline
//   hex H              write the bytes of the hexadecimal string H to standard output
//   sleep MS           sleep MS milliseconds
//   exit C             exit with code C
//   ignore-term        ignore SIGTERM
//   count-term         print "TERM" on every SIGTERM and keep running
//   obey-term          end on SIGTERM again (after ignore-term or count-term)
//   record FILE        append this process's id to FILE, and from now on each grandchild's id as well
//   grandchild MS      fork a child that keeps the output pipes open for MS milliseconds; print its pid
//   closed-grandchild MS   the same, with the child's outputs closed (on /dev/null)
//   env NAME           print the variable's value, or "<unset>"
//   pid / pgid         print the process id / the process-group id
//   lines N            write N lines of 32 bytes to standard output, in large writes
//   flood N L          write N bytes to standard output in lines of L bytes (L at most 65536), or without a
//                      line break when L is 0, in large writes
//   fds                print the open descriptors above standard error, one line, or "none"
#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

void writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            std::exit(90);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void writeText(int fd, const std::string& text) {
    writeAll(fd, text.data(), text.size());
}

void onCountedTerm(int /*signal*/) {
    const char message[] = "TERM\n";
    (void)!::write(STDOUT_FILENO, message, sizeof message - 1);
}

/// Where `record` appends process ids; empty when nothing is recorded.
std::string recordFile;

void record(pid_t pid) {
    if (recordFile.empty())
        return;
    const int fd = ::open(recordFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        std::exit(93);
    writeText(fd, std::to_string(pid) + "\n");
    ::close(fd);
}

void sleepMs(long ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string command = argv[i];
        const auto argument = [&]() -> std::string {
            if (i + 1 >= argc)
                std::exit(91);
            return argv[++i];
        };
        if (command == "out" || command == "err") {
            const std::string bytes(std::stoul(argument()), command == "out" ? 'o' : 'e');
            writeText(command == "out" ? STDOUT_FILENO : STDERR_FILENO, bytes);
        } else if (command == "line") {
            writeText(STDOUT_FILENO, argument() + "\n");
        } else if (command == "eline") {
            writeText(STDERR_FILENO, argument() + "\n");
        } else if (command == "partial") {
            writeText(STDOUT_FILENO, argument());
        } else if (command == "hex") {
            const std::string hex = argument();
            std::string bytes;
            for (std::size_t k = 0; k + 1 < hex.size(); k += 2) {
                bytes += static_cast<char>(std::stoi(hex.substr(k, 2), nullptr, 16));
            }
            writeText(STDOUT_FILENO, bytes);
        } else if (command == "sleep") {
            sleepMs(std::stol(argument()));
        } else if (command == "exit") {
            return std::stoi(argument());
        } else if (command == "ignore-term") {
            ::signal(SIGTERM, SIG_IGN);
        } else if (command == "count-term") {
            struct sigaction action {};
            action.sa_handler = onCountedTerm;
            action.sa_flags = SA_RESTART;
            ::sigaction(SIGTERM, &action, nullptr);
        } else if (command == "obey-term") {
            ::signal(SIGTERM, SIG_DFL);
        } else if (command == "record") {
            recordFile = argument();
            record(::getpid());
        } else if (command == "grandchild" || command == "closed-grandchild") {
            const long ms = std::stol(argument());
            const pid_t pid = ::fork();
            if (pid == 0) {
                if (command == "closed-grandchild") {
                    const int null = ::open("/dev/null", O_WRONLY);
                    ::dup2(null, STDOUT_FILENO);
                    ::dup2(null, STDERR_FILENO);
                }
                sleepMs(ms);
                std::_Exit(0);
            }
            record(pid);
            writeText(STDOUT_FILENO, "grandchild " + std::to_string(pid) + "\n");
        } else if (command == "env") {
            const char* value = std::getenv(argument().c_str());
            writeText(STDOUT_FILENO, std::string(value ? value : "<unset>") + "\n");
        } else if (command == "lines") {
            const unsigned long count = std::stoul(argument());
            const std::string line = "the quick brown fox jumps over\n";  // 32 bytes with its newline
            std::string block;
            for (int k = 0; k < 2048; ++k)
                block += line;
            for (unsigned long done = 0; done < count;) {
                const unsigned long now = std::min<unsigned long>(2048, count - done);
                writeAll(STDOUT_FILENO, block.data(), now * line.size());
                done += now;
            }
        } else if (command == "flood") {
            unsigned long long left = std::stoull(argument());
            const std::size_t line = std::stoul(argument());
            constexpr std::size_t kBlock = 65536;
            std::string block(line == 0 ? kBlock : kBlock / line * line, 'f');
            for (std::size_t end = line; line != 0 && end <= block.size(); end += line)
                block[end - 1] = '\n';
            while (left > 0) {
                const std::size_t now =
                    static_cast<std::size_t>(std::min<unsigned long long>(block.size(), left));
                writeAll(STDOUT_FILENO, block.data(), now);
                left -= now;
            }
        } else if (command == "fds") {
            std::string open;
            for (int fd = STDERR_FILENO + 1; fd < 1024; ++fd) {
                if (::fcntl(fd, F_GETFD) != -1)
                    open += (open.empty() ? "" : " ") + std::to_string(fd);
            }
            writeText(STDOUT_FILENO, (open.empty() ? std::string("none") : open) + "\n");
        } else if (command == "pid") {
            writeText(STDOUT_FILENO, std::to_string(::getpid()) + "\n");
        } else if (command == "pgid") {
            writeText(STDOUT_FILENO, std::to_string(::getpgrp()) + "\n");
        } else {
            std::fprintf(stderr, "test_child: unknown command %s\n", command.c_str());
            return 92;
        }
    }
    return 0;
}
