#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/setup/setup_stage.h"
#include "engine/setup/setup_workflow.h"

namespace quill {

/// A catalogue of the stages a product knows, by domain id. Every product carries one; the engine asks
/// nothing of it, so a catalogue that answers nothing is complete.
class StageCatalogProviding {
  public:
    virtual ~StageCatalogProviding() = default;

    /// The stage of `domainID`, when the catalogue has one.
    [[nodiscard]] virtual std::optional<BasicSetupStage> stage(const std::string& /*domainID*/) const {
        return std::nullopt;
    }
    /// The catalogue's name.
    [[nodiscard]] virtual std::string catalogID() const { return {}; }
    /// The domain ids the catalogue holds, in presentation order.
    [[nodiscard]] virtual std::vector<std::string> domainIDs() const { return {}; }
    /// Where each of its domains is placed by default.
    [[nodiscard]] virtual std::map<std::string, DomainPlacement> placements() const { return {}; }
};

}  // namespace quill
