#include "ui/common/app_navigation.h"

namespace quill::ui {

void AppNavigation::setPath(std::vector<Screen> path) {
    if (m_path == path)
        return;
    m_path = std::move(path);
    emit pathChanged();
}

void AppNavigation::push(Screen screen) {
    m_path.push_back(std::move(screen));
    emit pathChanged();
}

void AppNavigation::back() {
    if (m_path.empty())
        return;
    m_path.pop_back();
    emit pathChanged();
}

void AppNavigation::goHome() {
    setPath({});
}

void AppNavigation::setSelectedGoal(std::optional<std::string> key) {
    if (m_selectedGoal == key)
        return;
    m_selectedGoal = std::move(key);
    emit selectedGoalChanged();
}

void AppNavigation::setSelectedNextStep(std::optional<std::string> key) {
    if (m_selectedNextStep == key)
        return;
    m_selectedNextStep = std::move(key);
    emit selectedNextStepChanged();
}

}  // namespace quill::ui
