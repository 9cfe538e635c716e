#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <stop_token>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/core/task.h"
#include "ui/common/main_thread.h"

namespace quill::ui {

/// The blocking work of one page or model. `start` runs the work on a task of its own and hands its result to
/// `onDone` on the GUI thread, unless the owner has gone or the work was stopped by then. `cancelAll`
/// requests stop and returns at once; the destructor calls it. Use from the GUI thread only.
class TaskScope {
  public:
    explicit TaskScope(QObject* owner) : m_owner(owner) {}
    ~TaskScope() { cancelAll(); }
    TaskScope(const TaskScope&) = delete;
    TaskScope& operator=(const TaskScope&) = delete;

    /// Runs `work(std::stop_token) -> R` on a worker, then `onDone(R)` on the GUI thread. `work` must capture
    /// values and shared pointers only, never the owner or a widget.
    template <class Work, class Done>
    void start(Work work, Done onDone) {
        using Value = std::invoke_result_t<Work&, std::stop_token>;
        static_assert(!std::is_void_v<Value>, "the work returns the value that onDone takes");
        forgetFinished();
        QPointer<QObject> guard(m_owner);
        m_tasks.push_back(spawnTask([work = std::move(work), onDone = std::move(onDone),
                                     guard = std::move(guard)](std::stop_token stop) mutable {
            auto value = std::make_shared<Value>(work(stop));
            if (stop.stop_requested())
                return;
            // Checked again on the GUI thread: a stop requested after the work returned still drops it.
            onMain(std::move(guard), [onDone = std::move(onDone), value, stop] {
                if (!stop.stop_requested())
                    onDone(std::move(*value));
            });
        }));
    }

    /// Requests stop of every task started here; their results are dropped. Returns at once.
    void cancelAll();

  private:
    void forgetFinished();

    QObject* m_owner;
    std::vector<TaskHandle> m_tasks;
};

}  // namespace quill::ui
