#include "ui/common/profile_holder.h"

namespace quill::ui {

void ProfileHolder::set(SystemProfile profile) {
    if (m_profile == profile)
        return;
    m_profile = std::move(profile);
    emit changed();
}

}  // namespace quill::ui
