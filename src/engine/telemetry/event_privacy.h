#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/telemetry/json_value.h"

namespace quill {

// The privacy rules of telemetry: what a path, a free text or a number becomes before it may leave the Mac.

/// The first line of `output` that holds `version "` (else its first non-blank line), masked and cut to
/// 200 user-perceived characters; empty when every line is blank.
std::string versionExcerpt(std::string_view output);
/// `path` (or any text) with the current user's home folder masked.
std::string maskHomeFolder(std::string_view path);
/// `text` with "/Users/<loginName>" and `homePath` masked, in any letter case, wherever they stand as a
/// whole path component: "/Users/dev/x" becomes "/Users/~/x", "/home/dev" becomes "/home/~", and
/// "/USERS/Dev/x" "/Users/~/x"; "/Users/dev2" stays. The name ends at any character that cannot be in a
/// login name: "/Users/devé" is the home folder followed by "é". A byte that URL encoding changes ("/", and
/// any other than letters, digits and "-._~") also matches percent-encoded, once or again to any depth, each
/// on its own ("%2FUsers%2Fdev", "%252FUsers%252Fdev", "/Users%2Fdev"), and keeps that spelling in the mask.
std::string maskHomeFolder(std::string_view text, std::string_view loginName, std::string_view homePath);

/// Byte counts as whole gigabytes (10^9), rounded half away from zero.
std::int64_t roundedGigabytes(std::int64_t bytes);
/// A speed to one decimal, rounded half away from zero.
double roundedToTenth(double value);

/// Free text for an event: home folder masked, white space trimmed at both ends, cut to `limit`
/// user-perceived characters (an emoji with its modifiers stays whole); null when nothing is left.
JSONValue cleanedText(std::string_view text, std::size_t limit);

}  // namespace quill
