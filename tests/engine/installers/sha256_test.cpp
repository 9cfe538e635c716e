#include "engine/installers/sha256.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

TEST(Sha256Test, KnownVectorsAndFilesOfAnySize) {
    struct Case {
        std::string data;
        const char* digest;
    };
    const std::vector<Case> cases = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1'000'000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    test::TemporaryDirectory folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data.substr(0, 20));
        EXPECT_EQ(sha256Hex(c.data), c.digest);
        auto fromFile = sha256OfFile(folder.write("data", c.data));
        ASSERT_TRUE(fromFile) << fromFile.error().message;
        EXPECT_EQ(*fromFile, c.digest);
    }

    // A package past the 64 MiB cap of whole-file reads: 65 MiB of zeros, sparse on disk.
    const auto large = folder.path() / "large.pkg";
    { std::ofstream create(large); }
    std::filesystem::resize_file(large, 65u * 1024 * 1024);
    auto digest = sha256OfFile(large);
    ASSERT_TRUE(digest) << digest.error().message;
    EXPECT_EQ(*digest, sha256Hex(std::string(65u * 1024 * 1024, '\0')));

    // A stop between two pieces, a folder, a FIFO and a missing file are errors, never a digest.
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_FALSE(sha256OfFile(large, stopped.get_token()));
    EXPECT_FALSE(sha256OfFile(folder.path()));
    const auto fifo = folder.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(sha256OfFile(fifo));
    EXPECT_FALSE(sha256OfFile(folder.path() / "missing"));
}

}  // namespace
}  // namespace quill
