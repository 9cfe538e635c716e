#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/setup/setup_action.h"
#include "engine/setup/setup_diagnosis.h"

namespace quill {

/// A stage of a setup workflow: the domain it covers, what was found there and the actions it offers.
/// Implementations are immutable values; the accessors are thread-safe.
class SetupStage {
  public:
    virtual ~SetupStage() = default;

    [[nodiscard]] virtual const std::string& domainID() const = 0;
    [[nodiscard]] virtual const SetupDiagnosis& diagnosis() const = 0;
    [[nodiscard]] virtual const std::vector<SetupAction>& actions() const = 0;
};

/// The plain stage: its three properties are stored as given.
class BasicSetupStage final : public SetupStage {
  public:
    BasicSetupStage(std::string domainID, SetupDiagnosis diagnosis, std::vector<SetupAction> actions)
        : m_domainID(std::move(domainID)), m_diagnosis(std::move(diagnosis)), m_actions(std::move(actions)) {}

    [[nodiscard]] const std::string& domainID() const override { return m_domainID; }
    [[nodiscard]] const SetupDiagnosis& diagnosis() const override { return m_diagnosis; }
    [[nodiscard]] const std::vector<SetupAction>& actions() const override { return m_actions; }

    // Written out: a defaulted comparison would be deleted, as the abstract base has none.
    bool operator==(const BasicSetupStage& other) const {
        return m_domainID == other.m_domainID && m_diagnosis == other.m_diagnosis &&
               m_actions == other.m_actions;
    }

  private:
    std::string m_domainID;
    SetupDiagnosis m_diagnosis;
    std::vector<SetupAction> m_actions;
};

}  // namespace quill
