#pragma once

#include <map>
#include <string>

namespace quill {

/// A set of environment variables: name to value.
using Environment = std::map<std::string, std::string>;

/// The program's own environment variables, read now.
Environment processEnvironment();

/// The program's own environment with every variable of `overrides` set into it (an override replaces an
/// inherited value): the environment of a child that needs a few variables of its own.
Environment processEnvironment(const Environment& overrides);

}  // namespace quill
