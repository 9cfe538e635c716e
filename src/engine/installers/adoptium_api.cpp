#include "engine/installers/adoptium_api.h"

#include <curl/curl.h>

#include <chrono>
#include <nlohmann/json.hpp>

#include "engine/core/text.h"

namespace quill {

namespace {

using nlohmann::json;

Error apiError(AdoptiumAPI::ErrorCode code, std::string message) {
    return Error{std::string(AdoptiumAPI::kErrorDomain), static_cast<int>(code), std::move(message)};
}

Error httpError(HTTPErrorCode code, std::string message) {
    return Error{kHTTPErrorDomain, static_cast<int>(code), std::move(message)};
}

Error decodingError(const std::string& what) {
    return Error{std::string(AdoptiumAPI::kDecodingErrorDomain), 1,
                 "The Adoptium answer couldn't be read: " + what};
}

/// The answer's shape; only these keys are read.
struct Asset {
    struct Binary {
        struct Installer {
            std::string link;
            std::string checksum;
            std::string name;
        };
        std::optional<Installer> installer;
    };
    Binary binary;
    std::string release_name;  // NOLINT(readability-identifier-naming): the answer's key
};

Result<std::string> stringField(const json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end())
        return fail(decodingError(std::string("missing \"") + key + "\""));
    if (!found->is_string())
        return fail(decodingError(std::string("\"") + key + "\" is not a string"));
    return found->get<std::string>();
}

Result<Asset> decodeAsset(const json& value) {
    if (!value.is_object())
        return fail(decodingError("an asset is not an object"));
    Asset asset;
    const auto binary = value.find("binary");
    if (binary == value.end())
        return fail(decodingError("missing \"binary\""));
    if (!binary->is_object())
        return fail(decodingError("\"binary\" is not an object"));
    auto releaseName = stringField(value, "release_name");
    if (!releaseName)
        return fail(releaseName.error());
    asset.release_name = std::move(*releaseName);
    const auto installer = binary->find("installer");
    if (installer != binary->end() && !installer->is_null()) {
        if (!installer->is_object())
            return fail(decodingError("\"installer\" is not an object"));
        auto link = stringField(*installer, "link");
        auto checksum = stringField(*installer, "checksum");
        auto name = stringField(*installer, "name");
        for (const auto* field : {&link, &checksum, &name}) {
            if (!*field)
                return fail(field->error());
        }
        asset.binary.installer = Asset::Binary::Installer{*link, *checksum, *name};
    }
    return asset;
}

}  // namespace

bool isValidWebURL(const std::string& text) {
    CURLU* url = curl_url();
    if (!url)
        return false;
    bool valid = curl_url_set(url, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK;
    if (valid) {
        char* scheme = nullptr;
        char* host = nullptr;
        valid = curl_url_get(url, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
                curl_url_get(url, CURLUPART_HOST, &host, 0) == CURLUE_OK && host && *host &&
                (std::string_view(scheme) == "https" || std::string_view(scheme) == "http");
        curl_free(scheme);
        curl_free(host);
    }
    curl_url_cleanup(url);
    return valid;
}

std::string percentEncodedQueryValue(std::string_view text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (isAsciiAlphanumeric(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded.push_back(c);
        } else {
            encoded.push_back('%');
            encoded.push_back(kDigits[byte >> 4]);
            encoded.push_back(kDigits[byte & 0x0F]);
        }
    }
    return encoded;
}

Result<AdoptiumAPI::AssetMetadata> AdoptiumAPI::latestAsset(int feature, const std::string& architecture,
                                                            std::stop_token stop) const {
    HTTPRequest request;
    request.url = origin + "/v3/assets/latest/" + std::to_string(feature) +
                  "/hotspot?architecture=" + percentEncodedQueryValue(architecture) +
                  "&image_type=jdk&os=mac";
    if (!isValidWebURL(request.url))
        return fail(httpError(HTTPErrorCode::badURL, "Couldn't form the address " + request.url));
    request.headers = {{"Accept", "application/json"}};
    request.timeout = std::chrono::seconds(20);

    auto answer = http->data(request, std::move(stop));
    if (!answer)
        return fail(answer.error());
    if (answer->response.statusCode != 200)
        return fail(httpError(
            HTTPErrorCode::badServerResponse,
            "The Adoptium API answered with status " + std::to_string(answer->response.statusCode)));

    const json body = json::parse(answer->body, nullptr, false);
    if (body.is_discarded())
        return fail(decodingError("it is not JSON"));
    if (!body.is_array())
        return fail(decodingError("it is not an array"));
    std::vector<Asset> assets;
    for (const auto& value : body) {
        auto asset = decodeAsset(value);
        if (!asset)
            return fail(asset.error());
        assets.push_back(std::move(*asset));
    }

    if (assets.empty() || !assets.front().binary.installer)
        return fail(apiError(ErrorCode::noInstaller, "No installer asset for Java " +
                                                         std::to_string(feature) + " on " + architecture));
    const auto& installer = *assets.front().binary.installer;
    if (!isValidWebURL(installer.link))
        return fail(apiError(ErrorCode::invalidURL, "Invalid installer URL from Adoptium"));
    const std::string checksum = toLower(installer.checksum);
    const std::size_t length = codePointCount(checksum);
    if (length != 64)
        return fail(apiError(ErrorCode::badChecksum, "Unexpected checksum format from Adoptium (" +
                                                         std::to_string(length) + " chars)"));
    return AssetMetadata{installer.link, checksum, installer.name, assets.front().release_name};
}

}  // namespace quill
