#pragma once

#include <chrono>
#include <functional>

#include "engine/services/app_services.h"
#include "engine/services/system_profiler.h"

namespace quill::ui {

class AppNavigation;
class ProfileHolder;
class UrlOpener;
class Clipboard;

/// The delays screens wait; tests shorten them.
struct Timings {
    /// How long the feedback card waits after "Submit feedback" before it thanks the user.
    std::chrono::milliseconds npsThanksDelay{1500};
};

/// What every page and embedded view is given. The root view owns it and everything it refers to, and
/// outlives every page.
struct ScreenContext {
    AppNavigation& navigation;
    ProfileHolder& profile;
    AppServices services;
    UrlOpener& urls;
    Timings timings;
    Clipboard& clipboard;
    /// Collects a fresh system profile; blocking, run on a worker, whose stop token it is given (a stop
    /// ends the probes early). Pages that need current facts call it.
    ProfileCollector profiler;
};

}  // namespace quill::ui
