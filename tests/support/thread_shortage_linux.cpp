#include "tests/support/thread_shortage.h"

namespace quill::test {

namespace {

void setDefaultStackSize(std::size_t size) {
    pthread_attr_t attributes;
    pthread_getattr_default_np(&attributes);
    pthread_attr_setstacksize(&attributes, size);
    pthread_setattr_default_np(&attributes);
    pthread_attr_destroy(&attributes);
}

}  // namespace

bool ThreadShortage::isPossible() {
    return true;
}

ThreadShortage::ThreadShortage() {
    pthread_attr_t attributes;
    pthread_getattr_default_np(&attributes);
    pthread_attr_getstacksize(&attributes, &m_previousStackSize);
    pthread_attr_destroy(&attributes);
    setDefaultStackSize(std::size_t{1} << 46);
}

ThreadShortage::~ThreadShortage() {
    setDefaultStackSize(m_previousStackSize);
}

}  // namespace quill::test
