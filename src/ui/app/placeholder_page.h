#pragma once

#include "ui/common/screen_page.h"

namespace quill::ui {

/// The page of a screen that is not available in this build: one line saying so; Back leaves it.
class PlaceholderPage : public ScreenPage {
    Q_OBJECT

  public:
    explicit PlaceholderPage(ScreenContext& context, QWidget* parent = nullptr);
};

/// A page with nothing on it, for a screen that has nothing to show; Back leaves it.
class EmptyPage : public ScreenPage {
    Q_OBJECT

  public:
    using ScreenPage::ScreenPage;
};

}  // namespace quill::ui
