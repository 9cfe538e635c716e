#pragma once

#include "engine/setup/setup_prober.h"

namespace quill {

/// The Claude Code product's prober (`ClaudeProbes`); also the engine's default when a product sets none.
/// Blocking; never fails. Stateless and thread-safe.
class ClaudeSetupProber final : public SetupProber {
  public:
    [[nodiscard]] SetupProbeBundle probe(const ShellRunner& shell, const FileSystemOperating& fs,
                                         std::stop_token stop) const override;
};

}  // namespace quill
