#pragma once

#include "engine/setup/setup_prober.h"

namespace quill {

/// The prober of the Homebrew, command-line and coding products: where `brew` is installed, whether the
/// login shell finds and runs it, whether the shell files are set up, and the Git, GitHub, example-project
/// and agent-note facts. Blocking (up to five login shells at once); never fails. Stateless and thread-safe.
class BrewProber final : public SetupProber {
  public:
    [[nodiscard]] SetupProbeBundle probe(const ShellRunner& shell, const FileSystemOperating& fs,
                                         std::stop_token stop) const override;
};

}  // namespace quill
