#include "engine/core/plist_from_memory.h"

#include <gtest/gtest.h>

#include <string>

namespace quill {
namespace {

// Stand-ins for the two generations of libplist's reader: each records how it was called.
struct Call {
    std::string form;
    std::string data;
    bool formatWanted = false;
    bool operator==(const Call&) const = default;
};
Call lastCall;
int parsed = 0;

void readerOfTwoPointTwo(const char* data, std::uint32_t length, void** root) {
    lastCall = {"three", std::string(data, length)};
    *root = &parsed;
}

enum class Format { xml, binary };
int readerOfTwoPointThree(const char* data, std::uint32_t length, void** root, Format* format) {
    lastCall = {"four", std::string(data, length), format != nullptr};
    *root = &parsed;
    return 0;
}

TEST(PlistFromMemoryTest, CallsEitherGenerationsReaderInItsOwnForm) {
    void* root = nullptr;
    plistFromMemory(&readerOfTwoPointTwo, "<plist/>!", 8, &root);
    EXPECT_EQ(lastCall, (Call{"three", "<plist/>", false}));
    EXPECT_EQ(root, &parsed);

    root = nullptr;
    plistFromMemory(&readerOfTwoPointThree, "<plist/>!", 8, &root);
    EXPECT_EQ(lastCall, (Call{"four", "<plist/>", false}));
    EXPECT_EQ(root, &parsed);
}

}  // namespace
}  // namespace quill
