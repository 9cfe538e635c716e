#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "engine/core/tagged_union.h"
#include "engine/services/file_system_operating.h"
#include "engine/services/quill_language.h"

namespace quill {

/// The cases of `LanguageInstallState`.
struct LanguageInstallStateCases {
    /// Installed by the same tool this setup uses for the language.
    struct AlreadySetUp {
        std::string toolName;
        bool operator==(const AlreadySetUp&) const = default;
    };
    /// Installed through another version manager.
    struct ManagedBy {
        std::string managerName;
        bool operator==(const ManagedBy&) const = default;
    };
    struct NotInstalled {
        bool operator==(const NotInstalled&) const = default;
    };
    /// Only a system or Homebrew binary was found.
    struct OutdatedSystemInstall {
        bool operator==(const OutdatedSystemInstall&) const = default;
    };
    using Case = std::variant<AlreadySetUp, ManagedBy, NotInstalled, OutdatedSystemInstall>;
};

/// What detection found for one language.
struct LanguageInstallState : TaggedUnion<LanguageInstallStateCases> {
    using TaggedUnion::TaggedUnion;
};

/// Finds an existing installation of a language from the folders and files that version managers and system
/// installs leave behind. Looks only at the file system (never runs a command); every error reads as absence.
/// Blocking; safe from any thread.
class LanguageDetector {
  public:
    explicit LanguageDetector(std::shared_ptr<const FileSystemOperating> fs) : m_fs(std::move(fs)) {}

    [[nodiscard]] LanguageInstallState detectInstallation(QuillLanguage language) const;

    /// The one-line status shown beside a language; nothing when it is not installed.
    [[nodiscard]] static std::optional<std::string> statusLine(const LanguageInstallState& state);

  private:
    std::shared_ptr<const FileSystemOperating> m_fs;
};

}  // namespace quill
