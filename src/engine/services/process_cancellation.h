#pragma once

#include <memory>
#include <mutex>

#include "engine/services/child_process.h"
#include "engine/services/process_running.h"

namespace quill {

/// The handle that stops one streamed child: `cancel` terminates the attached child (its whole process
/// group), or the child attached later when the cancel came first. Thread-safe; its lock is taken after a
/// `CancellableProcess` lock, never before one.
class LiveProcessCancellation final : public ProcessCancellation {
  public:
    /// Marks the handle canceled and, if its child still runs, sends it the terminate request. Each call
    /// while the child runs sends the request again; once the child has exited nothing is sent.
    void cancel() override;
    void endCanceledGroup() override;

    /// Takes control of a just-started child (replacing an earlier one); terminates it at once when the
    /// handle has already been canceled.
    void attach(std::shared_ptr<ChildProcess> process);

    [[nodiscard]] bool isCanceled() const;

  private:
    mutable std::mutex m_lock;  ///< guards the two fields below
    std::shared_ptr<ChildProcess> m_process;
    bool m_canceled = false;
};

/// Stops whichever child of a multi-step run is running now: each child's handle is registered as it starts,
/// and once the holder has been canceled every later registration cancels its handle at once. Releasing the
/// holder terminates nothing. Thread-safe.
class CancellableProcess {
  public:
    /// Makes `handle` the current one (the previous one is dropped, not canceled); cancels it when the
    /// holder has already been canceled.
    void register_(std::shared_ptr<ProcessCancellation> handle);

    /// Marks the holder canceled and cancels the current handle, outside the holder's lock.
    void cancel();

    [[nodiscard]] bool isCanceled() const;

  private:
    mutable std::mutex m_lock;  ///< guards the two fields below
    std::shared_ptr<ProcessCancellation> m_current;
    bool m_canceled = false;
};

}  // namespace quill
