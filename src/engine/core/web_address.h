#pragma once

#include <string>
#include <string_view>

namespace quill {

/// Whether `address` is an absolute http or https address: the scheme, "://", a host (a name, an IPv4
/// address or a bracketed IPv6 address) with an optional numeric port, then an optional path, query and
/// fragment made only of the characters an address may hold, with well-formed percent escapes.
bool isAbsoluteWebAddress(std::string_view address);

/// `address` itself when it passes `isAbsoluteWebAddress`. A link the program builds that does not parse is
/// a programming error: it is reported on standard error and the process aborts.
std::string checkedWebAddress(std::string address);

}  // namespace quill
