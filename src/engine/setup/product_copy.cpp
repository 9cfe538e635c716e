#include "engine/setup/product_copy.h"

#include <functional>

#include "engine/core/raw_value_table.h"

namespace quill {

namespace {

constexpr detail::RawValueTable<Outcome, 3> kOutcomes{{
    {Outcome::ready, "ready"},
    {Outcome::still_blocked, "still_blocked"},
    {Outcome::unsure, "unsure"},
}};

void combine(std::size_t& seed, std::size_t value) {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

}  // namespace

const ConsentCopy& ConsentCopy::standard() {
    static const ConsentCopy copy{
        "What this app does",
        {"Checks and installs Java, if you wish.", "Performs a system check for your Mac setup.",
         "Asks for your permission before installing or changing anything."},
        "Your privacy and Mac integrity are respected",
        {"The app never identifies you and never records your IP address.",
         "No passwords or file contents are ever recorded.", "Usage events are anonymous.",
         "The “How did we do?” score is reported anonymously.",
         "A random session ID is created for anonymous usage counts."},
    };
    return copy;
}

std::string_view toRaw(Outcome outcome) {
    return detail::rawValueOf(kOutcomes, outcome);
}

std::optional<Outcome> fromRawOutcome(std::string_view raw) {
    return detail::valueOfRaw(kOutcomes, raw);
}

bool OfferRoute::Audit::operator==(const Audit& other) const {
    if (!then || !other.then)
        return !then && !other.then;
    return *then == *other.then;
}

OfferRoute OfferRoute::audit(std::optional<OfferRoute> then) {
    if (!then)
        return Audit{};
    return Audit{std::make_shared<const OfferRoute>(std::move(*then))};
}

std::size_t OfferRoute::hash() const {
    std::size_t seed = value.index();
    if (const auto* content = std::get_if<Content>(&value)) {
        combine(seed, std::hash<std::string>{}(content->offerID));
    } else if (const auto* audit = std::get_if<Audit>(&value)) {
        combine(seed, audit->then ? 1 : 0);
        if (audit->then)
            combine(seed, audit->then->hash());
    }
    return seed;
}

}  // namespace quill
