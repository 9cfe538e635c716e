#pragma once

#include "engine/services/system_profile.h"
#include "ui/common/screen_page.h"

namespace quill::ui {

/// A page that works from a fresh system profile. On its first appearance it collects one with the context's
/// profiler in a task of its own, or, in fixture mode, takes the held one (an empty profile when none is
/// held), and hands it to `profileArrived` on the GUI thread. A page left before then gets nothing.
class FreshProfilePage : public ScreenPage {
    Q_OBJECT

  public:
    void appeared() override;

    /// The profile was asked for.
    [[nodiscard]] bool startedCollecting() const { return m_started; }

  protected:
    FreshProfilePage(ScreenContext& context, QWidget* parent);

    /// Runs once per page, with the page possibly not on top.
    virtual void profileArrived(SystemProfile profile) = 0;
    /// Puts `view` in place of whatever the page showed; the page takes it over.
    void replaceContent(QWidget* view);
    /// The page's content while the profile is collected: `text` alone, padded like a screen.
    QWidget* checkingView(const QString& text);
    /// The page is the top of a visible window, so what it embeds now has appeared.
    [[nodiscard]] bool isOnTop() const { return isVisible(); }

  private:
    bool m_started = false;
    QWidget* m_content = nullptr;
};

}  // namespace quill::ui
