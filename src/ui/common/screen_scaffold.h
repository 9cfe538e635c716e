#pragma once

#include <QString>
#include <QWidget>
#include <optional>
#include <string>

#include "ui/common/style.h"

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace quill::ui {

struct ScreenContext;

/// The frame of a full-window screen: a title, an optional explainer with inline Markdown, the screen's own
/// content, and at the bottom the link to a help article: the screen's own, else the current product's
/// troubleshooting article. It does not scroll; content that can outgrow the window brings its own scroll
/// area.
class ScreenScaffold : public QWidget {
    Q_OBJECT

  public:
    explicit ScreenScaffold(ScreenContext& context, QWidget* parent = nullptr);

    void setTitle(const QString& title);
    void setTitleFont(TextRole titleFont);
    /// An empty explainer shows none, and leaves no gap.
    void setExplainer(const QString& explainer);
    void setTitleAccessibilityIdentifier(const std::optional<QString>& titleAccessibilityIdentifier);
    void setExplainerAccessibilityIdentifier(const std::optional<QString>& explainerAccessibilityIdentifier);
    /// The article the link opens; absent means the current product's troubleshooting article.
    void setArticleURL(std::optional<std::string> url);
    /// Puts `content` between the explainer and the link; the scaffold takes it over.
    void setContent(QWidget* content);
    /// Like `setContent`, for content that can outgrow the window: it sits at the top of a frameless scroll
    /// area that fills the space above the link.
    void setScrollingContent(QWidget* content);

  private:
    void openArticle();

    ScreenContext& m_context;
    QVBoxLayout* m_layout;
    QLabel* m_title;
    QLabel* m_explainer = nullptr;
    std::optional<QString> m_explainerIdentifier;
    QWidget* m_content = nullptr;
    QWidget* m_scroller = nullptr;
    QPushButton* m_articleLink;
    std::optional<std::string> m_articleURL;
};

}  // namespace quill::ui
