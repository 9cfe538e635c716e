#include "ui/java/fresh_profile_page.h"

#include <QLabel>
#include <QVBoxLayout>

#include "engine/services/system_profiler.h"
#include "ui/common/labels.h"
#include "ui/common/profile_holder.h"
#include "ui/common/style.h"

namespace quill::ui {

FreshProfilePage::FreshProfilePage(ScreenContext& context, QWidget* parent) : ScreenPage(context, parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void FreshProfilePage::appeared() {
    ScreenPage::appeared();
    if (m_started)
        return;
    m_started = true;
    const auto& services = context().services;
    if (services.isFixtureMode) {
        profileArrived(context().profile.profile().value_or(SystemProfile{}));
        return;
    }
    auto profiler = context().profiler;
    if (!profiler)
        profiler = liveProfileCollector(services);
    tasks().start(
        [profiler = std::move(profiler)](std::stop_token stop) { return profiler(std::move(stop)); },
        [this](SystemProfile profile) { profileArrived(std::move(profile)); });
}

void FreshProfilePage::replaceContent(QWidget* view) {
    auto* layout = this->layout();
    if (m_content != nullptr) {
        layout->removeWidget(m_content);
        m_content->hide();
        m_content->deleteLater();
    }
    m_content = view;
    layout->addWidget(view);
    view->show();
}

QWidget* FreshProfilePage::checkingView(const QString& text) {
    auto* view = new QWidget(this);
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(Style::kPagePadding, Style::kPagePadding, Style::kPagePadding,
                               Style::kPagePadding);
    auto* label = plainLabel(text, view);
    Style::setFont(label, TextRole::title2);
    Style::makeSecondary(label);
    layout->addWidget(label);
    layout->addStretch(1);
    return view;
}

}  // namespace quill::ui
