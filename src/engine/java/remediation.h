#pragma once

#include <filesystem>
#include <string>
#include <variant>

#include "engine/core/tagged_union.h"

namespace quill {

/// The cases of `Remediation`.
struct RemediationCases {
    struct InstallTemurinViaBrew {
        std::string cask;  ///< such as temurin@25
        bool operator==(const InstallTemurinViaBrew&) const = default;
    };
    struct InstallViaSDKMAN {
        std::string candidate;  ///< such as 25-tem
        bool operator==(const InstallViaSDKMAN&) const = default;
    };
    struct InstallViaMise {
        std::string version;  ///< such as temurin-25
        bool operator==(const InstallViaMise&) const = default;
    };
    struct InstallViaPKG {
        int version = 0;  ///< the Java major
        bool operator==(const InstallViaPKG&) const = default;
    };
    struct InstallViaPKGThenJEnv {
        int version = 0;  ///< the Java major
        bool operator==(const InstallViaPKGThenJEnv&) const = default;
    };
    struct WriteJavaHomeToZprofile {
        std::filesystem::path jdkPath;
        bool operator==(const WriteJavaHomeToZprofile&) const = default;
    };
    struct SetJavaHomeViaSDKMAN {
        std::string candidate;
        bool operator==(const SetJavaHomeViaSDKMAN&) const = default;
    };
    struct SetJavaHomeViaMise {
        std::string version;
        bool operator==(const SetJavaHomeViaMise&) const = default;
    };
    struct SetJavaHomeViaJenv {
        std::filesystem::path jdkPath;
        int majorVersion = 0;
        bool operator==(const SetJavaHomeViaJenv&) const = default;
    };
    struct KeepCurrentLegacyJava {
        std::filesystem::path jdkPath;
        bool operator==(const KeepCurrentLegacyJava&) const = default;
    };
    struct InstallHomebrewThenTemurin {
        std::string temurinCask;
        bool operator==(const InstallHomebrewThenTemurin&) const = default;
    };
    struct InstallWarpViaBrew {
        std::string cask;
        bool operator==(const InstallWarpViaBrew&) const = default;
    };
    struct InstallHomebrewThenWarp {
        std::string warpCask;
        bool operator==(const InstallHomebrewThenWarp&) const = default;
    };
    struct InstallHomebrew {
        bool operator==(const InstallHomebrew&) const = default;
    };
    using Case =
        std::variant<InstallTemurinViaBrew, InstallViaSDKMAN, InstallViaMise, InstallViaPKG,
                     InstallViaPKGThenJEnv, WriteJavaHomeToZprofile, SetJavaHomeViaSDKMAN, SetJavaHomeViaMise,
                     SetJavaHomeViaJenv, KeepCurrentLegacyJava, InstallHomebrewThenTemurin,
                     InstallWarpViaBrew, InstallHomebrewThenWarp, InstallHomebrew>;
};

/// One fix that the Java screens and the system audit can offer, as pure data: the case names the fix and its
/// payload carries what the fix needs. `id` is the identity that lists, sheets and telemetry key it by.
struct Remediation : TaggedUnion<RemediationCases> {
    using TaggedUnion::TaggedUnion;

    /// The stable identifier, such as "brew:temurin@25" or "jenv-home:17:/Library/…/Home".
    [[nodiscard]] std::string id() const;
    /// The button title.
    [[nodiscard]] std::string title() const;
    /// The sentence under the title.
    [[nodiscard]] std::string explanation() const;
};

}  // namespace quill
