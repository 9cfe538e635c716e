#include "engine/setup/setup_action.h"

#include "engine/core/raw_value_table.h"

namespace quill {

namespace {
constexpr detail::RawValueTable<VerifyPolicy, 2> kVerifyPolicies{{
    {VerifyPolicy::localVerification, "localVerification"},
    {VerifyPolicy::installCompletion, "installCompletion"},
}};
}  // namespace

std::string_view toRaw(VerifyPolicy policy) {
    return detail::rawValueOf(kVerifyPolicies, policy);
}

std::optional<VerifyPolicy> fromRawVerifyPolicy(std::string_view raw) {
    return detail::valueOfRaw(kVerifyPolicies, raw);
}

}  // namespace quill
