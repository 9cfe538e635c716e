#include "engine/products/product_links.h"

#include <string>

#include "engine/core/build_options.h"
#include "engine/core/endpoints.h"
#include "engine/core/web_address.h"

namespace quill::products {

ProductURLs productLinks(std::string_view installMethods, std::string_view troubleshooting,
                         std::string_view envConfig, std::string_view utmContent) {
    const auto article = [](std::string_view path) {
        return checkedWebAddress(appendingPathComponent(build::kArticleSite, path));
    };
    return ProductURLs{
        checkedWebAddress(std::string(build::kArticleSite)),
        article("/quillstart/privacy"),
        article(installMethods),
        article(troubleshooting),
        article(envConfig),
        article("/commandlinetools"),
        article("/macos/upgrade"),
        checkedWebAddress(appendingPathComponent(endpoints::kWarpSite, "/mac-terminal") +
                          "?utm_source=fernwick&utm_medium=app&utm_campaign=fernwick_20260516&utm_content=" +
                          std::string(utmContent)),
    };
}

}  // namespace quill::products
