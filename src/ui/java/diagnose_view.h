#pragma once

#include <optional>

#include "engine/java/diagnosis.h"
#include "ui/common/screen.h"
#include "ui/java/fresh_profile_page.h"

namespace quill::ui {

class DiagnosisDetailView;

/// The Java diagnose page: "Checking Java on your Mac…" while a fresh profile is collected, then its Java
/// facts diagnosed once per visit by the current configuration's diagnosis profile, "diagnosis_reached", and
/// the result as a `DiagnosisDetailView`. Nothing is fixed here. GUI thread only.
class DiagnoseView : public FreshProfilePage {
    Q_OBJECT

  public:
    explicit DiagnoseView(ScreenContext& context, QWidget* parent = nullptr);

    void appeared() override;

    /// The diagnosis of this visit, once made.
    [[nodiscard]] const std::optional<Diagnosis>& diagnosis() const { return m_diagnosis; }
    [[nodiscard]] DiagnosisDetailView* detailView() const { return m_detail; }

  protected:
    void profileArrived(SystemProfile profile) override;

  private:
    std::optional<Diagnosis> m_diagnosis;
    DiagnosisDetailView* m_detail = nullptr;
};

/// Where "Continue to system audit" leads after `diagnosis`: the next-step question when the current
/// configuration asks one, else the audit entered heuristically, ending on the diagnosis's completion
/// surface. A finding this version cannot fix (D1–D3) ends on the audit's report instead: no fix ran, so
/// nothing may say that Java works.
[[nodiscard]] Screen continueScreen(const Diagnosis& diagnosis);

}  // namespace quill::ui
