#pragma once

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "engine/core/variant_case.h"

namespace quill {

/// One event of an installer's stream: output lines, then exactly one `Completed` or `Canceled` (unless the
/// consumer stopped listening first).
struct InstallerEvent {
    /// One line for the progress log: the child's line unchanged, or the installer's own text ("" is a blank
    /// separating line).
    struct Output {
        std::string text;
        bool operator==(const Output&) const = default;
    };
    /// The run is over: 0 success, -1 nothing could be started, else the child's own status.
    struct Completed {
        int exitCode = 0;
        bool operator==(const Completed&) const = default;
    };
    /// The run was stopped, or the user refused the password dialog.
    struct Canceled {
        bool operator==(const Canceled&) const = default;
    };

    using Case = std::variant<Output, Completed, Canceled>;
    Case value;

    template <class C>
    requires kIsCaseOf<std::remove_cvref_t<C>, Case> InstallerEvent(C&& eventCase)
        : value(std::forward<C>(eventCase)) {}  // NOLINT: implicit, a case is a value

    bool operator==(const InstallerEvent&) const = default;
};

}  // namespace quill
