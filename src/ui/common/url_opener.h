#pragma once

#include <QUrl>

namespace quill::ui {

/// Opens a link or destination for the user. Every link of every screen goes through one. GUI thread only.
class UrlOpener {
  public:
    virtual ~UrlOpener() = default;
    virtual void open(const QUrl& url) = 0;
};

/// Opens links in the user's default browser.
class LiveUrlOpener final : public UrlOpener {
  public:
    void open(const QUrl& url) override;
};

}  // namespace quill::ui
