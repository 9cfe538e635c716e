#include <gtest/gtest.h>
#include <openssl/crypto.h>

#include <chrono>

#include "engine/core/task.h"

// A test may end while a task it started is still returning (a download's clean-up, a relay seeing the end of
// its stream). The process stops and waits for those tasks before it exits, so that the leak check at exit
// never runs beside a thread that is still freeing what it owns.
int main(int argc, char** argv) {
    // OpenSSL's clean-up at exit would free its shared state while such a thread still frees its own.
    OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    quill::TaskTracker::stopAll(std::chrono::seconds(10));
    return result;
}
