#pragma once

#include <QString>
#include <optional>
#include <string>

#include "engine/setup/product_copy.h"
#include "ui/common/screen_page.h"

class QPushButton;
class QVBoxLayout;

namespace quill::ui {

class ScreenScaffold;

/// The frame of the three offer screens. The offer's `OfferSpec` is looked up in the current configuration's
/// catalogue under the screen's own `offerID` at each use; without an entry the screen shows its fallback
/// texts and sends nothing. "offer_shown" goes out once per visit from `appeared()`, only while the
/// catalogue holds the offer; "offer_action" goes out before the destination opens and before going home.
class OfferView : public ScreenPage {
    Q_OBJECT

  public:
    [[nodiscard]] const std::string& offerID() const { return m_offerID; }
    [[nodiscard]] bool didEmitShown() const { return m_didEmitShown; }

    void appeared() override;
    /// "offer_shown" {offer_id, offer_surface, eligibility_reason, next_step, goal}, once per visit.
    void emitOfferShown();
    /// "offer_action" {offer_id, offer_surface, action, result, next_step}; a null result when absent.
    void emitOfferAction(const std::string& action, const std::optional<std::string>& result);

  protected:
    OfferView(ScreenContext& context, std::string offerID, const QString& fallbackTitle,
              const QString& fallbackExplainer, QWidget* parent);

    /// The catalogue's entry for this offer, read now.
    [[nodiscard]] std::optional<OfferSpec> spec() const;
    /// A large button in the screen's column; `identifier` may be empty.
    QPushButton* addButton(const QString& text, const QString& identifier, bool prominent);
    /// Opens `destination` through the link opener.
    void open(const std::string& destination);
    void goHome();

    QVBoxLayout* m_column;

  private:
    std::string m_offerID;
    bool m_didEmitShown = false;
};

/// Content behind a link: its button opens the spec's destination and goes home; "Done — back to home"
/// dismisses.
class ContentOfferView : public OfferView {
    Q_OBJECT

  public:
    ContentOfferView(ScreenContext& context, std::string offerID, QWidget* parent = nullptr);

    void select(const std::string& destination);
    void dismiss();
};

/// A guided-help plan that is not sold: its button records interest and shows a notice that says so, and the
/// screen stays; "No thanks" dismisses. The notice's "Done — back to home" goes home without an event.
class GuidedHelpOfferView : public OfferView {
    Q_OBJECT

  public:
    GuidedHelpOfferView(ScreenContext& context, std::string offerID, QWidget* parent = nullptr);

    [[nodiscard]] bool showedUnavailable() const { return m_showedUnavailable; }

    void select();
    void dismiss();
    void finish();

  private:
    bool m_showedUnavailable = false;
    QWidget* m_offering;
    QWidget* m_unavailable;
};

/// Help with setting up AI coding: its button records interest, opens the spec's destination and goes home;
/// "No thanks" dismisses.
class AICodingInterestView : public OfferView {
    Q_OBJECT

  public:
    AICodingInterestView(ScreenContext& context, std::string offerID, QWidget* parent = nullptr);

    void select(const std::string& destination);
    void dismiss();
};

}  // namespace quill::ui
