#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

namespace quill::ui {

/// Queues `fn` on the application object, to run on the GUI thread only while `guard` still lives. Take
/// `guard` on the GUI thread before the work that calls this starts. Callable from any thread; returns at
/// once. Queuing on the application rather than on `guard` itself keeps a call from racing with `guard`'s
/// end.
void onMain(QPointer<QObject> guard, std::function<void()> fn);

}  // namespace quill::ui
