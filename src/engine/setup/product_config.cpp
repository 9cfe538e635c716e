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

namespace {

/// This build offers no Java fix, so the Java variant's first promise is a check, not an install.
ConsentCopy javaCheckConsent() {
    ConsentCopy consent = ConsentCopy::standard();
    consent.whatBullets.front() = "Checks your Java setup.";
    return consent;
}

}  // namespace

const ProductConfig& ProductConfig::javaDiagnostic() {
    static const ProductConfig config{
        .appID = "tvn-java",
        .displayName = "Tolvane for Java",
        .appSupportDirName = "Tolvane",
        .userDefaultsPrefix = std::string(kOrganizationPrefix) + ".tolvane.java",
        .shellConfigMarker = "Tolvane",
        .datedShellMarker = true,
        .cacheDirName = "Tolvane",
        // Says what it does while it offers no fix.
        .copy = ProductCopy{"Diagnose common Java setup errors.", "Diagnose Java", std::nullopt},
        .urls = javaDiagnosticURLs(),
        .consent = javaCheckConsent(),
        .diagnosisProfile = std::make_shared<const JavaProfile>(),
        .flow = SetupFlow::diagnose,
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
