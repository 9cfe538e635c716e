#include "engine/products/claude/claude_setup_prober.h"

#include "engine/products/claude/claude_probes.h"

#include <utility>

namespace quill {

SetupProbeBundle ClaudeSetupProber::probe(const ShellRunner& shell, const FileSystemOperating& fs,
                                          std::stop_token stop) const {
    return ClaudeProbes{shell, fs, std::move(stop)}.probe();
}

}  // namespace quill
