#include "engine/setup/product_urls.h"

namespace quill {

std::string appendingPathComponent(std::string_view base, std::string_view path) {
    if (path.empty())
        return std::string(base);
    while (!base.empty() && base.back() == '/')
        base.remove_suffix(1);
    while (!path.empty() && path.front() == '/')
        path.remove_prefix(1);
    std::string joined;
    joined.reserve(base.size() + 1 + path.size());
    joined.append(base).append("/").append(path);
    return joined;
}

std::string ProductURLs::articleURL(std::string_view path) const {
    return appendingPathComponent(articleBase, path);
}

}  // namespace quill
