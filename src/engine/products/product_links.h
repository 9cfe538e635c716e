#pragma once

#include <string_view>

#include "engine/setup/product_urls.h"

namespace quill::products {

/// A spine product's links: the article site of the build with the given article paths and the shared
/// privacy, Command Line Tools and macOS upgrade articles, and Warp's landing page with the product's
/// `utm_content`. Every link is checked as it is built; one that does not parse aborts.
ProductURLs productLinks(std::string_view installMethods, std::string_view troubleshooting,
                         std::string_view envConfig, std::string_view utmContent);

}  // namespace quill::products
