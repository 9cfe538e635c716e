#pragma once

#include <string>
#include <utility>

#include "engine/services/shell_runner.h"

namespace quill {

/// One event of an installer's stream: the same output lines and single ending as a command run's.
using InstallerEvent = StreamEvent;

/// One of the installer's own lines, as opposed to its child's.
inline InstallerEvent::Output ownLine(std::string text) {
    return InstallerEvent::Output{std::move(text), OutputKind::own};
}

}  // namespace quill
