#include "engine/core/serial_worker.h"

namespace quill {

SerialWorker::SerialWorker() : m_thread([this] { run(); }) {}

SerialWorker::~SerialWorker() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void SerialWorker::post(std::function<void()> job) {
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

bool SerialWorker::hasQueuedJobs() {
    std::lock_guard lock(m_mutex);
    return !m_jobs.empty();
}

void SerialWorker::retain() {
    std::lock_guard lock(m_mutex);
    ++m_retained;
}

void SerialWorker::release() {
    {
        std::lock_guard lock(m_mutex);
        if (m_retained > 0)
            --m_retained;
    }
    m_idle.notify_all();
}

bool SerialWorker::waitUntilIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(lock, timeout, [this] { return m_jobs.empty() && !m_running && m_retained == 0; });
}

void SerialWorker::run() {
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return !m_jobs.empty() || m_stopping; });
        if (m_jobs.empty())
            break;  // stopping, and every queued job has run
        auto job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_running = true;
        lock.unlock();
        job();
        job = nullptr;
        lock.lock();
        m_running = false;
        if (m_jobs.empty())
            m_idle.notify_all();
    }
}

}  // namespace quill
