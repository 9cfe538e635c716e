#include "engine/services/process_cancellation.h"

namespace quill {

void LiveProcessCancellation::cancel() {
    std::lock_guard lock(m_lock);
    m_canceled = true;
    if (m_process)
        m_process->terminate();
}

void LiveProcessCancellation::endCanceledGroup() {
    std::shared_ptr<ChildProcess> process;
    {
        std::lock_guard lock(m_lock);
        if (!m_canceled)
            return;
        process = m_process;
    }
    if (process)
        process->endTerminatedGroup();
}

void LiveProcessCancellation::attach(std::shared_ptr<ChildProcess> process) {
    std::lock_guard lock(m_lock);
    if (m_canceled && process)
        process->terminate();
    m_process = std::move(process);
}

bool LiveProcessCancellation::isCanceled() const {
    std::lock_guard lock(m_lock);
    return m_canceled;
}

void CancellableProcess::register_(std::shared_ptr<ProcessCancellation> handle) {
    std::lock_guard lock(m_lock);
    m_current = std::move(handle);
    // Cancelling under the holder's lock keeps a concurrent `cancel` from slipping between the two steps.
    if (m_canceled && m_current)
        m_current->cancel();
}

void CancellableProcess::cancel() {
    std::shared_ptr<ProcessCancellation> current;
    {
        std::lock_guard lock(m_lock);
        m_canceled = true;
        current = m_current;
    }
    if (current)
        current->cancel();
}

bool CancellableProcess::isCanceled() const {
    std::lock_guard lock(m_lock);
    return m_canceled;
}

}  // namespace quill
