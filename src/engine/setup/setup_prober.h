#pragma once

#include <stop_token>
#include "engine/services/file_system_operating.h"
#include "engine/services/shell_runner.h"
#include "engine/setup/setup_probe_bundle.h"

namespace quill {

/// A product's prober: runs the product's login-shell checks and reports what it found. Blocking and never
/// failing: a check whose command cannot run counts as a failed check. Thread-safe.
class SetupProber {
  public:
    virtual ~SetupProber() = default;

    /// Blocking; a stop ends the running checks, which then read as nothing found.
    [[nodiscard]] virtual SetupProbeBundle probe(const ShellRunner& shell, const FileSystemOperating& fs,
                                                 std::stop_token stop) const = 0;
};

}  // namespace quill
