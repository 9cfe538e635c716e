#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace quill::test {

/// Polls `condition` every 20 ms for up to `limit`; true as soon as it holds, false once the limit has
/// passed, so that a fault fails the test instead of hanging it.
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace quill::test
