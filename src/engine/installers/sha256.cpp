#include "engine/installers/sha256.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>
#include <system_error>
#include <vector>

#include "engine/core/file_descriptor.h"
#include "engine/services/file_system_operating.h"

namespace quill {

namespace {

constexpr std::size_t kChunkSize = std::size_t{1024} * 1024;

std::string hex(const unsigned char* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

struct DigestContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextDeleter>;

DigestContext newSha256Context() {
    DigestContext context(EVP_MD_CTX_new());
    if (context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        context.reset();
    return context;
}

std::string finalHex(EVP_MD_CTX* context) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(context, digest.data(), &length);
    return hex(digest.data(), length);
}
}  // namespace

std::string sha256Hex(std::string_view data) {
    auto context = newSha256Context();
    if (!context)
        return {};
    EVP_DigestUpdate(context.get(), data.data(), data.size());
    return finalHex(context.get());
}

Result<std::string> sha256OfFile(const std::filesystem::path& path, std::stop_token stop) {
    // Non-blocking, so that a FIFO put in the package's place cannot hold the worker at open.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0)
        return fail(fileSystemErrors::failed(errno, "read", path));
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        return fail(fileSystemErrors::failed(errno, "read", path));
    if (!S_ISREG(info.st_mode))
        return fail(fileSystemErrors::notARegularFile(path, S_ISDIR(info.st_mode)));

    auto context = newSha256Context();
    if (!context)
        return fail(Error{std::string(kFileSystemErrorDomain), ENOMEM,
                          "Couldn't hash " + path.string() + ": no digest available"});
    std::vector<char> buffer(kChunkSize);
    while (true) {
        if (stop.stop_requested())
            return fail(Error{std::string(kFileSystemErrorDomain), ECANCELED,
                              "Hashing " + path.string() + " was canceled"});
        const ssize_t count = ::read(file.get(), buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return fail(fileSystemErrors::failed(errno, "read", path));
        }
        if (count == 0)
            break;
        EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(count));
    }
    return finalHex(context.get());
}

}  // namespace quill
