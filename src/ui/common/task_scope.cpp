#include "ui/common/task_scope.h"

#include <algorithm>

namespace quill::ui {

void TaskScope::cancelAll() {
    for (const auto& task : m_tasks)
        task.cancel();
    m_tasks.clear();
}

void TaskScope::forgetFinished() {
    std::erase_if(m_tasks, [](const TaskHandle& task) { return task.isFinished(); });
}

}  // namespace quill::ui
