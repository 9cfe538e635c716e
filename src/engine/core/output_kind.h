#pragma once

namespace quill {

/// Who wrote a line of a run's output: a tool the run started, or the app itself (its own sentences, which
/// may hold `code` spans in backticks). Screens show the two differently; the text is the same either way.
enum class OutputKind { tool, own };

}  // namespace quill
