#include "engine/core/task.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <vector>

namespace quill {

namespace detail {

struct TaskState {
    std::stop_source stop;
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
};

}  // namespace detail

namespace {

/// Running tasks, kept by shared ownership so that `stopAll` can reach each one safely.
class Registry {
  public:
    static Registry& instance() {
        // Leaked on purpose: tasks may still be finishing while static destructors run at exit.
        static auto* registry = new Registry;
        return *registry;
    }

    void add(const std::shared_ptr<detail::TaskState>& task) {
        std::lock_guard lock(m_mutex);
        m_tasks.insert(task);
    }

    void remove(const std::shared_ptr<detail::TaskState>& task) {
        {
            std::lock_guard lock(m_mutex);
            m_tasks.erase(task);
        }
        m_changed.notify_all();
    }

    bool stopAll(std::chrono::milliseconds timeout) {
        // Stop callbacks run inside request_stop; they must be free to start or finish tasks, so the registry
        // is not locked while they run.
        std::vector<std::shared_ptr<detail::TaskState>> running;
        {
            std::lock_guard lock(m_mutex);
            running.assign(m_tasks.begin(), m_tasks.end());
        }
        for (const auto& task : running)
            task->stop.request_stop();
        running.clear();
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [this] { return m_tasks.empty(); });
    }

    std::size_t count() {
        std::lock_guard lock(m_mutex);
        return m_tasks.size();
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::unordered_set<std::shared_ptr<detail::TaskState>> m_tasks;
};

}  // namespace

void TaskHandle::cancel() const {
    if (m_state)
        m_state->stop.request_stop();
}

bool TaskHandle::isCanceled() const {
    return m_state && m_state->stop.stop_requested();
}

bool TaskHandle::isFinished() const {
    if (!m_state)
        return true;
    std::lock_guard lock(m_state->mutex);
    return m_state->finished;
}

bool TaskHandle::waitFor(std::chrono::milliseconds timeout) const {
    if (!m_state)
        return true;
    std::unique_lock lock(m_state->mutex);
    return m_state->done.wait_for(lock, timeout, [this] { return m_state->finished; });
}

void TaskHandle::wait() const {
    if (!m_state)
        return;
    std::unique_lock lock(m_state->mutex);
    m_state->done.wait(lock, [this] { return m_state->finished; });
}

TaskHandle spawnTask(std::function<void(std::stop_token)> body) {
    auto state = std::make_shared<detail::TaskState>();
    Registry::instance().add(state);
    auto run = [state, body = std::move(body)]() mutable {
        body(state->stop.get_token());
        body = nullptr;  // release captures before anyone is told the task is done
        {
            // Finished and gone from the registry at once: whoever waited for the one sees the other too.
            std::lock_guard lock(state->mutex);
            state->finished = true;
            Registry::instance().remove(state);
        }
        state->done.notify_all();
    };
    // The thread gets a reference, so that the work survives when no thread can be had: it then runs here,
    // late but not lost.
    auto shared = std::make_shared<decltype(run)>(std::move(run));
    try {
        std::thread([shared] { (*shared)(); }).detach();
    } catch (const std::system_error&) {
        (*shared)();
    }
    return TaskHandle(std::move(state));
}

bool TaskTracker::stopAll(std::chrono::milliseconds timeout) {
    return Registry::instance().stopAll(timeout);
}

std::size_t TaskTracker::runningCount() {
    return Registry::instance().count();
}

bool sleepFor(std::chrono::nanoseconds duration, const std::stop_token& stop) {
    std::mutex mutex;
    std::condition_variable_any sleeper;
    std::unique_lock lock(mutex);
    sleeper.wait_for(lock, stop, duration, [] { return false; });
    return !stop.stop_requested();
}

void runConcurrently(std::vector<std::function<void()>> children) {
    if (children.empty())
        return;
    std::vector<std::jthread> threads;
    threads.reserve(children.size() - 1);
    for (std::size_t i = 1; i < children.size(); ++i) {
        // Threads take the child by reference (the vector outlives them), so a child whose thread cannot be
        // started still runs, here.
        try {
            threads.emplace_back([&child = children[i]] { child(); });
        } catch (const std::system_error&) {
            children[i]();
        }
    }
    children.front()();
}

}  // namespace quill
