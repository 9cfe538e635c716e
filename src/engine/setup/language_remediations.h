#pragma once

#include <set>
#include <vector>

#include "engine/services/quill_language.h"
#include "engine/setup/setup_remediation.h"

namespace quill {

/// The fixes that install the chosen languages, in the order they must run: uv, then mise when Node, Ruby or
/// more than one language needs it, then the languages that go through mise, then Java, then Rust (through
/// mise when mise is installed anyway, with rustup on its own otherwise). An empty choice needs no fix.
std::vector<SetupRemediation> remediations(const std::set<QuillLanguage>& languages);

}  // namespace quill
