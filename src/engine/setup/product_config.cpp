#include "engine/setup/product_config.h"

#include <mutex>

#include "engine/core/build_options.h"
#include "engine/core/endpoints.h"
#include "engine/java/java_profile.h"

namespace quill {

namespace {

// The active configuration, created on first use. Shutdown ends the process before static values are
// destroyed whenever a task still runs, so nothing reads it after its destruction.
class CurrentConfig {
  public:
    std::shared_ptr<const ProductConfig> get() const {
        std::lock_guard lock(m_mutex);
        return m_config;
    }

    std::shared_ptr<const ProductConfig> exchange(std::shared_ptr<const ProductConfig> config) {
        std::lock_guard lock(m_mutex);
        m_config.swap(config);
        return config;  // the previous one, released outside the lock
    }

    static CurrentConfig& shared() {
        static CurrentConfig current;
        return current;
    }

  private:
    CurrentConfig() : m_config(std::make_shared<const ProductConfig>(ProductConfig::javaDiagnostic())) {}

    mutable std::mutex m_mutex;
    std::shared_ptr<const ProductConfig> m_config;
};

ProductURLs javaDiagnosticURLs() {
    const std::string_view site = build::kArticleSite;
    auto page = [&](std::string_view path) { return appendingPathComponent(site, path); };
    return ProductURLs{
        std::string(site),
        page("/tolvane/privacy"),
        page("/java/download"),
        page("/java/unable-to-locate"),
        page("/java/java-home"),
        page("/commandlinetools"),
        page("/macos/upgrade"),
        appendingPathComponent(endpoints::kWarpSite, "/mac-terminal") +
            "?utm_source=fernwick&utm_medium=app&utm_campaign=fernwick_20260516&utm_content=tolvane_audit",
    };
}

}  // namespace

ProductConfig::ProductConfig(std::string id, std::string name, std::string supportDirName,
                             std::string defaultsPrefix, std::string markerWord, bool markerDated,
                             std::string cachesDirName, ProductCopy welcomeCopy, ProductURLs links,
                             ConsentCopy consentCopy, std::shared_ptr<const DiagnosisProfile> profile,
                             std::optional<GoalPrompt> goal, std::optional<NextStepPrompt> nextStep,
                             std::map<std::string, OfferSpec> offers, SetupFlow startFlow)
    : appID(std::move(id)),
      displayName(std::move(name)),
      appSupportDirName(std::move(supportDirName)),
      userDefaultsPrefix(std::move(defaultsPrefix)),
      shellConfigMarker(std::move(markerWord)),
      datedShellMarker(markerDated),
      cacheDirName(std::move(cachesDirName)),
      copy(std::move(welcomeCopy)),
      urls(std::move(links)),
      consent(std::move(consentCopy)),
      diagnosisProfile(std::move(profile)),
      goalPrompt(std::move(goal)),
      nextStepPrompt(std::move(nextStep)),
      offerCatalog(std::move(offers)),
      flow(startFlow) {}

std::shared_ptr<const ProductConfig> ProductConfig::current() {
    return CurrentConfig::shared().get();
}

void ProductConfig::setCurrent(std::shared_ptr<const ProductConfig> config) {
    if (!config)
        return;
    CurrentConfig::shared().exchange(std::move(config));
}

void ProductConfig::setCurrent(ProductConfig config) {
    setCurrent(std::make_shared<const ProductConfig>(std::move(config)));
}

const ProductConfig& ProductConfig::javaDiagnostic() {
    static const ProductConfig config{
        "tvn-java",
        "Tolvane for Java",
        "Tolvane",
        std::string(kOrganizationPrefix) + ".tolvane.java",
        "Tolvane",
        true,
        "Tolvane",
        ProductCopy{"Diagnose and fix common Mac setup errors.", "Diagnose Java", std::nullopt},
        javaDiagnosticURLs(),
        ConsentCopy::standard(),
        std::make_shared<const JavaProfile>(),
        std::nullopt,
        std::nullopt,
        {},
        SetupFlow::diagnose,
    };
    return config;
}

ScopedProductConfig::ScopedProductConfig(ProductConfig config)
    : ScopedProductConfig(std::make_shared<const ProductConfig>(std::move(config))) {}

ScopedProductConfig::ScopedProductConfig(std::shared_ptr<const ProductConfig> config)
    : m_previous(ProductConfig::current()) {
    ProductConfig::setCurrent(std::move(config));
}

ScopedProductConfig::~ScopedProductConfig() {
    ProductConfig::setCurrent(std::move(m_previous));
}

}  // namespace quill
