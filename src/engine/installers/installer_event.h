#pragma once

#include "engine/services/shell_runner.h"

namespace quill {

/// One event of an installer's stream: the same output lines and single ending as a command run's.
using InstallerEvent = StreamEvent;

}  // namespace quill
