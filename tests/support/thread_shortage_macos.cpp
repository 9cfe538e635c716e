#include "tests/support/thread_shortage.h"

namespace quill::test {

// The platform has no default thread attributes to change.

bool ThreadShortage::isPossible() {
    return false;
}

ThreadShortage::ThreadShortage() = default;

ThreadShortage::~ThreadShortage() = default;

}  // namespace quill::test
