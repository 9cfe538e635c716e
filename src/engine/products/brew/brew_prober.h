#pragma once

#include "engine/setup/setup_prober.h"

namespace quill {

/// The prober of the Homebrew, command-line and coding products: where `brew` is installed, whether the
/// login shell finds and runs it, and whether the shell files are set up. Blocking (two login shells at
/// once); never fails. Stateless and thread-safe.
class BrewProber final : public SetupProber {
  public:
    [[nodiscard]] SetupProbeBundle probe(const ShellRunner& shell,
                                         const FileSystemOperating& fs) const override;
};

}  // namespace quill
