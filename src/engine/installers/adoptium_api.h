#pragma once

#include <memory>
#include <stop_token>
#include <string>

#include "engine/core/endpoints.h"
#include "engine/core/result.h"
#include "engine/services/http_fetching.h"

namespace quill {

/// Looks up the newest macOS installer package of one Temurin feature release for one architecture. Blocking;
/// stateless, so any number of lookups may run at once.
struct AdoptiumAPI {
    /// The installer package of a release.
    struct AssetMetadata {
        std::string downloadURL;
        std::string checksum;  ///< SHA-256, 64 characters, lower case
        std::string filename;
        std::string releaseName;

        bool operator==(const AssetMetadata&) const = default;
    };

    /// Codes of the "AdoptiumAPI" error domain.
    enum class ErrorCode { noInstaller = 1, invalidURL = 2, badChecksum = 3 };
    static constexpr std::string_view kErrorDomain = "AdoptiumAPI";
    /// The error of an answer that is not the expected JSON.
    static constexpr std::string_view kDecodingErrorDomain = "AdoptiumAPI.Decoding";

    std::shared_ptr<const HTTPFetching> http;
    /// Scheme and host of the release API.
    std::string origin = std::string(endpoints::kAdoptiumAPI);

    /// The first asset of the answer for `feature` (21, …) and `architecture` ("aarch64", "x64"). Transport
    /// errors (time-out, cancellation through `stop`) pass unchanged; an answer other than 200 is the HTTP
    /// error `badServerResponse`.
    [[nodiscard]] Result<AssetMetadata> latestAsset(int feature, const std::string& architecture,
                                                    std::stop_token stop) const;
};

/// Whether `text` is an absolute web address that the HTTP service can fetch.
bool isValidWebURL(const std::string& text);

/// `text` percent-encoded for a query value: every byte but the ASCII unreserved ones (`A-Z a-z 0-9 - . _
/// ~`), the same in every locale.
std::string percentEncodedQueryValue(std::string_view text);

}  // namespace quill
