#pragma once

#include <QString>

namespace quill::ui {

/// Where text copied for the user goes. GUI thread only.
class Clipboard {
  public:
    virtual ~Clipboard() = default;
    virtual void setText(const QString& text) = 0;
};

/// The system clipboard.
class LiveClipboard final : public Clipboard {
  public:
    void setText(const QString& text) override;
};

}  // namespace quill::ui
