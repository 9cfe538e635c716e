#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quill {

/// How the success of an action is judged: by checking the machine again, or by the install finishing.
enum class VerifyPolicy { localVerification, installCompletion };

std::string_view toRaw(VerifyPolicy policy);
std::optional<VerifyPolicy> fromRawVerifyPolicy(std::string_view raw);

/// One button of a stage. `id` is the identifier of the fix it runs.
struct SetupAction {
    std::string id;
    std::string displayLabel;
    std::string caption;
    VerifyPolicy verifyPolicy = VerifyPolicy::localVerification;

    bool operator==(const SetupAction&) const = default;
};

}  // namespace quill
