#pragma once

#include "engine/services/file_system_operating.h"
#include "engine/services/shell_runner.h"
#include "engine/setup/setup_probe_bundle.h"

namespace quill {

/// A product's prober: runs the product's login-shell checks and reports what it found. Blocking and never
/// failing: a check whose command cannot run counts as a failed check. Thread-safe.
class SetupProber {
  public:
    virtual ~SetupProber() = default;

    [[nodiscard]] virtual SetupProbeBundle probe(const ShellRunner& shell,
                                                 const FileSystemOperating& fs) const = 0;
};

}  // namespace quill
