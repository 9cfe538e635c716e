#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace quill {

/// Runs posted jobs one at a time, in the order posted, on one thread of its own: the executor of an actor.
/// `post` never waits for a running job. Work the actor started elsewhere can keep it busy through
/// `retain`/`release`, so that `waitUntilIdle` also waits for it. Destruction runs the jobs still queued,
/// then joins the thread.
class SerialWorker {
  public:
    SerialWorker();
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    /// Queues `job`; safe from any thread, including a job of this worker.
    void post(std::function<void()> job);

    /// Whether jobs are waiting behind the one running now. A job may use it to leave work to a later job.
    [[nodiscard]] bool hasQueuedJobs();

    /// Counts outside work as busy until the matching `release`.
    void retain();
    void release();

    /// Waits until no job is queued or running and nothing is retained, or `timeout` has passed; true when
    /// idle. Must not be called from a job of this worker.
    bool waitUntilIdle(std::chrono::milliseconds timeout);

  private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_jobs;
    std::size_t m_retained = 0;
    bool m_running = false;
    bool m_stopping = false;
    std::thread m_thread;  // last: started once everything above exists
};

}  // namespace quill
