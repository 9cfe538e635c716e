#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/java/diagnosis_profile.h"
#include "engine/setup/product_copy.h"
#include "engine/setup/product_urls.h"
#include "engine/setup/setup_prober.h"
#include "engine/setup/setup_verifier.h"
#include "engine/setup/setup_workflow.h"
#include "engine/setup/shared_domain_copy.h"
#include "engine/setup/spine_copy_providing.h"
#include "engine/setup/spine_provider.h"
#include "engine/setup/spine_render_policy.h"
#include "engine/setup/stage_catalog_providing.h"

namespace quill {

/// The reverse-DNS prefix of every product's settings keys ("<prefix>.<product>.<key>").
inline constexpr std::string_view kOrganizationPrefix = "com.fernwick";

/// One product variant as a value: identity and storage names, wording, links, flow and the strategies that
/// do the product's own work. An aggregate, built with designated initialisers; a field left out is absent or
/// at its default. The process holds one active configuration, `current()`, as an immutable snapshot.
struct ProductConfig {
    std::string appID;               ///< sent with every telemetry event
    std::string displayName;         ///< also the title and default reason of the password dialog
    std::string appSupportDirName;   ///< the product's folder in Application Support
    std::string userDefaultsPrefix;  ///< prefix of every settings key, "<prefix>.<name>"
    std::string shellConfigMarker;   ///< product word in the header of managed shell-file blocks
    bool datedShellMarker = false;   ///< whether that header also carries the date
    std::string cacheDirName;        ///< the product's folder in the caches folder
    ProductCopy copy;
    ProductURLs urls;
    ConsentCopy consent;
    std::shared_ptr<const DiagnosisProfile> diagnosisProfile;
    std::optional<GoalPrompt> goalPrompt;
    std::optional<NextStepPrompt> nextStepPrompt;
    std::map<std::string, OfferSpec> offerCatalog;  ///< offers by offer id
    SetupFlow flow = SetupFlow::diagnose;

    // Given where a product needs them; an empty pointer means absent.
    std::shared_ptr<const SpineProvider> spineProvider;
    std::shared_ptr<const SetupVerifier> verifier;
    SharedDomainCopy sharedDomainCopy;
    SpineRenderPolicy spinePolicy;
    std::shared_ptr<const SetupProber> prober;
    std::shared_ptr<const SpineCopyProviding> spineCopy;
    std::shared_ptr<const StageCatalogProviding> stageCatalog;
    std::optional<ExperienceQuestionCopy> experienceQuestion;

    /// The active configuration: the Java diagnostic variant until the application installs its own. Take one
    /// snapshot per operation; it never changes under the holder. Thread-safe.
    static std::shared_ptr<const ProductConfig> current();
    /// Replaces the active configuration for every later `current()`. Readers holding the previous snapshot
    /// keep it. An empty pointer is ignored. Thread-safe.
    static void setCurrent(std::shared_ptr<const ProductConfig> config);
    static void setCurrent(ProductConfig config);

    /// The built-in Java diagnostic variant.
    static const ProductConfig& javaDiagnostic();
};

/// Installs a configuration as the current one for its lifetime and puts the previous one back when it ends.
/// For tests; scopes must end in the reverse order of their start.
class ScopedProductConfig {
  public:
    explicit ScopedProductConfig(ProductConfig config);
    explicit ScopedProductConfig(std::shared_ptr<const ProductConfig> config);
    ~ScopedProductConfig();
    ScopedProductConfig(const ScopedProductConfig&) = delete;
    ScopedProductConfig& operator=(const ScopedProductConfig&) = delete;

  private:
    std::shared_ptr<const ProductConfig> m_previous;
};

}  // namespace quill
