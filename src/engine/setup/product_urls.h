#pragma once

#include <string>
#include <string_view>

namespace quill {

/// A product's eight links. The article paths of stages and screens are resolved against `articleBase`.
struct ProductURLs {
    std::string articleBase;  ///< root of the product's article site
    std::string privacy;
    std::string installMethods;
    std::string troubleshooting;
    std::string envConfig;
    std::string commandLineTools;
    std::string macosUpgrade;
    std::string warpAffiliate;  ///< the terminal vendor's landing page with campaign parameters

    /// The link of an article: `articleBase` itself for an empty path, otherwise the path appended to it as a
    /// path component, joined by exactly one "/".
    [[nodiscard]] std::string articleURL(std::string_view path) const;

    bool operator==(const ProductURLs&) const = default;
};

/// `path` appended to `base` as a path component: exactly one "/" between them, `base` itself when `path` is
/// empty.
std::string appendingPathComponent(std::string_view base, std::string_view path);

}  // namespace quill
