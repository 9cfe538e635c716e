#include "tests/support/loopback_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "engine/core/text.h"

namespace quill::test {

namespace {
constexpr std::size_t kWorkers = 32;
}  // namespace

int closeOnExecSocket() {
    // Darwin's socket() takes no SOCK_CLOEXEC: the flag is set on the socket once made.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd >= 0 && ::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

std::string RecordedRequest::header(const std::string& name) const {
    const auto it = headers.find(toLower(name));
    return it == headers.end() ? std::string() : it->second;
}

LoopbackReply LoopbackReply::text(std::string body, int status) {
    LoopbackReply reply;
    reply.status = status;
    reply.body = std::move(body);
    return reply;
}

LoopbackReply LoopbackReply::redirect(std::string location, int status) {
    LoopbackReply reply;
    reply.status = status;
    reply.headers["Location"] = std::move(location);
    return reply;
}

struct LoopbackServer::State {
    httplib::Server server;
    std::thread thread;
    int port = 0;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    bool stopping = false;
    std::vector<RecordedRequest> requests;
    std::map<std::string, Handler> handlers;

    /// Sleeps for `delay`, or less when the server stops. True when the full delay passed.
    bool pause(std::chrono::milliseconds delay) {
        std::unique_lock lock(mutex);
        return !changed.wait_for(lock, delay, [this] { return stopping; });
    }

    void serve(const httplib::Request& request, httplib::Response& response) {
        RecordedRequest recorded;
        recorded.method = request.method;
        recorded.path = request.path;
        recorded.target = request.target;
        for (const auto& [name, value] : request.headers)
            recorded.headers[toLower(name)] = value;
        recorded.body = request.body;

        Handler handler;
        {
            std::lock_guard lock(mutex);
            requests.push_back(recorded);
            if (auto it = handlers.find(recorded.path); it != handlers.end())
                handler = it->second;
        }
        changed.notify_all();

        LoopbackReply reply = handler ? handler(recorded) : LoopbackReply::text("", 404);
        if (reply.delayBeforeHeaders.count() > 0 && !pause(reply.delayBeforeHeaders)) {
            response.status = 503;
            return;
        }
        response.status = reply.status;
        for (const auto& [name, value] : reply.headers)
            response.set_header(name, value);

        if (reply.delayAfterHeaders.count() == 0 && !reply.closeAfterBytes &&
            reply.trickleInterval.count() == 0) {
            response.set_content(reply.body, reply.contentType);
            return;
        }
        const auto body = std::make_shared<std::string>(std::move(reply.body));
        const std::size_t limit = std::min(reply.closeAfterBytes.value_or(body->size()), body->size());
        const auto delay = reply.delayAfterHeaders;
        const auto trickle = reply.trickleInterval;
        auto waited = std::make_shared<bool>(false);
        response.set_content_provider(body->size(), reply.contentType,
                                      [this, body, limit, delay, trickle, waited](
                                          std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                          if (!*waited) {
                                              *waited = true;
                                              if (delay.count() > 0 && !pause(delay))
                                                  return false;
                                          }
                                          if (offset >= limit)
                                              return false;  // closes the connection before the promised end
                                          if (trickle.count() == 0)
                                              return sink.write(body->data() + offset, limit - offset);
                                          return pause(trickle) && sink.write(body->data() + offset, 1);
                                      });
    }
};

LoopbackServer::LoopbackServer() : m_state(std::make_shared<State>()) {
    State& state = *m_state;
    // One request per connection, so that destroying the server never waits out an idle connection.
    state.server.set_keep_alive_max_count(1);
    // Enough workers for many stalled replies at once, whatever the machine's core count.
    state.server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    const auto serve = [&state](const httplib::Request& request, httplib::Response& response) {
        state.serve(request, response);
    };
    state.server.Get(".*", serve);
    state.server.Post(".*", serve);
    state.server.Put(".*", serve);
    state.server.Patch(".*", serve);
    state.server.Delete(".*", serve);
    state.server.Options(".*", serve);
    state.port = state.server.bind_to_any_port("127.0.0.1");
    if (state.port <= 0)
        throw std::runtime_error("the loopback server could not bind a port");
    // The socket already listens: connections made before the thread accepts simply wait.
    state.thread = std::thread([&state] { state.server.listen_after_bind(); });
    // Stopping a server whose loop has not started yet would be lost and leave the loop running forever.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!state.server.is_running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

LoopbackServer::~LoopbackServer() {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
    }
    m_state->changed.notify_all();
    m_state->server.stop();
    if (m_state->thread.joinable())
        m_state->thread.join();
}

int LoopbackServer::port() const {
    return m_state->port;
}

std::string LoopbackServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_state->port) + path;
}

void LoopbackServer::reply(const std::string& path, LoopbackReply reply) {
    handle(path, [reply = std::move(reply)](const RecordedRequest&) { return reply; });
}

void LoopbackServer::replies(const std::string& path, std::vector<LoopbackReply> replies) {
    if (replies.empty())
        replies.push_back(LoopbackReply::text("", 404));
    auto queue = std::make_shared<std::vector<LoopbackReply>>(std::move(replies));
    auto next = std::make_shared<std::size_t>(0);
    auto mutex = std::make_shared<std::mutex>();
    handle(path, [queue, next, mutex](const RecordedRequest&) {
        std::lock_guard lock(*mutex);
        const std::size_t index = std::min(*next, queue->size() - 1);
        ++*next;
        return (*queue)[index];
    });
}

void LoopbackServer::handle(const std::string& path, Handler handler) {
    std::lock_guard lock(m_state->mutex);
    m_state->handlers[path] = std::move(handler);
}

std::vector<RecordedRequest> LoopbackServer::requests() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->requests;
}

bool LoopbackServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_state->mutex);
    return m_state->changed.wait_for(lock, timeout, [&] { return m_state->requests.size() >= count; });
}

std::string LoopbackServer::refusingURL(const std::string& path) {
    // A port that is bound but never listens refuses every connection, and as long as it stays bound no other
    // socket can take it, not even as the local end of an outgoing connection. Kept for the life of the
    // process.
    static const int port = [] {
        const int fd = closeOnExecSocket();
        if (fd < 0)
            throw std::runtime_error("socket failed");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ::close(fd);
            throw std::runtime_error("bind failed");
        }
        return static_cast<int>(ntohs(address.sin_port));
    }();
    return "http://127.0.0.1:" + std::to_string(port) + path;
}

}  // namespace quill::test
