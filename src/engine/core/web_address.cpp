#include "engine/core/web_address.h"

#include <cstdio>
#include <cstdlib>

#include "engine/core/text.h"

namespace quill {

namespace {

bool isAlphaNumeric(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isHostName(std::string_view host) {
    if (host.empty() || host.front() == '.' || host.front() == '-')
        return false;
    for (char c : host) {
        if (!isAlphaNumeric(c) && c != '.' && c != '-')
            return false;
    }
    return true;
}

bool isBracketedIPv6(std::string_view host) {
    if (host.size() < 4 || host.front() != '[' || host.back() != ']')
        return false;
    for (char c : host.substr(1, host.size() - 2)) {
        if (!isHexDigit(c) && c != ':' && c != '.')
            return false;
    }
    return true;
}

// Path, query and fragment: unreserved and reserved characters, and percent escapes of two hex digits.
bool isAddressTail(std::string_view tail) {
    constexpr std::string_view kAllowed = "-._~:/?#[]@!$&'()*+,;=";
    for (std::size_t i = 0; i < tail.size(); ++i) {
        const char c = tail[i];
        if (c == '%') {
            if (i + 2 >= tail.size() || !isHexDigit(tail[i + 1]) || !isHexDigit(tail[i + 2]))
                return false;
            i += 2;
        } else if (!isAlphaNumeric(c) && kAllowed.find(c) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool isAbsoluteWebAddress(std::string_view address) {
    const auto schemeEnd = address.find("://");
    if (schemeEnd == std::string_view::npos)
        return false;
    const auto scheme = toLower(address.substr(0, schemeEnd));
    if (scheme != "http" && scheme != "https")
        return false;
    const auto rest = address.substr(schemeEnd + 3);
    const auto authorityEnd = rest.find_first_of("/?#");
    const auto authority = rest.substr(0, authorityEnd);
    const auto tail = authorityEnd == std::string_view::npos ? std::string_view{} : rest.substr(authorityEnd);
    if (authority.find('@') != std::string_view::npos)
        return false;  // no user information in the program's links

    auto host = authority;
    const auto portStart = authority.rfind(':');
    if (portStart != std::string_view::npos && authority.find(']', portStart) == std::string_view::npos) {
        const auto port = authority.substr(portStart + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos)
            return false;
        unsigned number = 0;
        for (char digit : port)
            number = number * 10 + static_cast<unsigned>(digit - '0');
        if (number > 65535)
            return false;
        host = authority.substr(0, portStart);
    }
    if (!isHostName(host) && !isBracketedIPv6(host))
        return false;
    return isAddressTail(tail);
}

std::string checkedWebAddress(std::string address) {
    if (!isAbsoluteWebAddress(address)) {
        std::fprintf(stderr, "Quillstart: the built-in link \"%s\" is not an absolute http(s) address\n",
                     address.c_str());
        std::abort();
    }
    return address;
}

}  // namespace quill
