#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/core/tagged_union.h"

namespace quill {

/// The welcome screen's wording.
struct ProductCopy {
    std::string welcomeExplainer;
    std::string primaryCTA;                      ///< the welcome button's label
    std::optional<std::string> welcomeHeadline;  ///< the display name is shown when absent

    bool operator==(const ProductCopy&) const = default;
};

/// The consent screen's wording: what the app does, then how it treats privacy.
struct ConsentCopy {
    std::string whatTitle;
    std::vector<std::string> whatBullets;
    std::string privacyTitle;
    std::vector<std::string> privacyBullets;

    /// The wording the products share.
    static const ConsentCopy& standard();

    bool operator==(const ConsentCopy&) const = default;
};

/// The question about the user's experience that a product may ask before its diagnosis.
struct ExperienceQuestionCopy {
    /// One answer: `label` is shown, `value` is stored and sent.
    struct Bucket {
        std::string label;
        std::string value;
        bool operator==(const Bucket&) const = default;
    };

    std::string windowTitle;
    std::string headline;
    std::string body;
    std::vector<Bucket> buckets;
    std::string skipLabel;
    std::string skipValue;

    bool operator==(const ExperienceQuestionCopy&) const = default;
};

/// One offer a product can make, by its `offerID`.
struct OfferSpec {
    std::string offerID;
    std::string surface;
    std::string title;
    std::string body;
    std::string actionLabel;
    std::optional<std::string> price;
    std::optional<std::string> disclosure;
    std::optional<std::string> destination;  ///< a web address
    std::string eligibilityReason;

    bool operator==(const OfferSpec&) const = default;
};

/// One answer to the goal question; with a `detailPrompt` it also asks for free text.
struct GoalOption {
    std::string key;
    std::string label;
    std::optional<std::string> detailPrompt;

    bool operator==(const GoalOption&) const = default;
};

/// The question about the user's goal, when a product asks it.
struct GoalPrompt {
    std::string question;
    std::string subcopy;
    std::string surface;
    int detailMaxChars = 0;  ///< the longest free-text answer accepted
    std::vector<GoalOption> options;

    bool operator==(const GoalPrompt&) const = default;
};

/// How the user judges where a flow left them.
enum class Outcome { ready, still_blocked, unsure };

std::string_view toRaw(Outcome outcome);
std::optional<Outcome> fromRawOutcome(std::string_view raw);

struct OfferRoute;

/// The cases of `OfferRoute`.
struct OfferRouteCases {
    /// The content offer `offerID`.
    struct Content {
        std::string offerID;
        bool operator==(const Content&) const = default;
    };
    /// The system audit, then the route `then` when there is one.
    struct Audit {
        std::shared_ptr<const OfferRoute> then;
        bool operator==(const Audit& other) const;
    };
    struct GuidedHelpWTP {
        bool operator==(const GuidedHelpWTP&) const = default;
    };
    struct AICodingInterest {
        bool operator==(const AICodingInterest&) const = default;
    };
    using Case = std::variant<Content, Audit, GuidedHelpWTP, AICodingInterest>;
};

/// Where an answer to the next-step question leads. Compares and hashes by case and payload, recursively.
struct OfferRoute : TaggedUnion<OfferRouteCases> {
    using TaggedUnion::TaggedUnion;

    /// The audit followed by `then` (or by nothing).
    static OfferRoute audit(std::optional<OfferRoute> then = std::nullopt);

    [[nodiscard]] std::size_t hash() const;
};

/// One answer to the next-step question.
struct NextStepOption {
    std::string key;
    std::string label;
    Outcome outcome = Outcome::unsure;
    OfferRoute offer = OfferRoute::GuidedHelpWTP{};

    bool operator==(const NextStepOption&) const = default;
};

/// The closing question about the user's next step.
struct NextStepPrompt {
    std::string question;
    std::string leadIn;
    std::string surface;
    std::vector<NextStepOption> options;

    bool operator==(const NextStepPrompt&) const = default;
};

}  // namespace quill

template <>
struct std::hash<quill::OfferRoute> {
    std::size_t operator()(const quill::OfferRoute& route) const noexcept { return route.hash(); }
};
