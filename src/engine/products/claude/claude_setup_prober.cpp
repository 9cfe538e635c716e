#include "engine/products/claude/claude_setup_prober.h"

#include "engine/products/claude/claude_probes.h"

namespace quill {

SetupProbeBundle ClaudeSetupProber::probe(const ShellRunner& shell, const FileSystemOperating& fs) const {
    return ClaudeProbes{shell, fs}.probe();
}

}  // namespace quill
