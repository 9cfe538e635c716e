#pragma once

#include <pthread.h>

#include <cstddef>

namespace quill::test {

/// While it exists, no new thread can be started in the process: the default stack size is raised past what
/// the machine can map, so thread creation fails as it does when the system runs out of threads. Create it
/// only while no other thread of the test starts threads. Where the platform cannot do this, `isPossible` is
/// false and the object changes nothing.
class ThreadShortage {
  public:
    static bool isPossible();

    ThreadShortage();
    ~ThreadShortage();
    ThreadShortage(const ThreadShortage&) = delete;
    ThreadShortage& operator=(const ThreadShortage&) = delete;

  private:
    // Where the platform cannot do this, nothing is kept.
    [[maybe_unused]] std::size_t m_previousStackSize = 0;
};

}  // namespace quill::test
