#pragma once

#include <cstdint>

#include "engine/services/http_fetching.h"

namespace quill {

/// The byte count of a timed byte read, which stops taking bytes at a maximum. Not thread-safe.
class ByteCounter {
  public:
    /// Adds up to `available` bytes, stopping once the count reaches `maxBytes`; the first byte always
    /// counts. Returns how many were added; the reader stops when that is fewer than `available`, or when
    /// `reachedMax`.
    std::int64_t add(std::int64_t available, std::int64_t maxBytes);
    [[nodiscard]] bool reachedMax(std::int64_t maxBytes) const;
    [[nodiscard]] std::int64_t count() const;

  private:
    std::int64_t m_count = 0;
};

/// `HTTPFetching` over libcurl. Redirects are followed only to https addresses; TLS peers are verified. Each
/// call blocks its thread and uses a transfer of its own, so any number of threads may call at once. A stop
/// is seen by curl's progress callback, which runs at least about once a second even on a stalled connection.
class LiveHTTPFetcher final : public HTTPFetching {
  public:
    LiveHTTPFetcher();

    Result<HTTPDataResult> data(const HTTPRequest& request, std::stop_token stop) const override;
    Result<HTTPDownloadResult> download(const std::string& url, std::stop_token stop) const override;
    Result<HTTPByteCount> bytes(const HTTPRequest& request, std::int64_t maxBytes,
                                std::chrono::milliseconds timeLimit, std::stop_token stop) const override;
};

}  // namespace quill
