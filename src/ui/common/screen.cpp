#include "ui/common/screen.h"

#include <array>

namespace quill::ui {

namespace {

struct AuditEntryName {
    AuditEntry entry;
    std::string_view raw;
};

constexpr std::array<AuditEntryName, 5> kAuditEntryNames{{
    {AuditEntry::heuristic, "heuristic"},
    {AuditEntry::buildIntent, "build_intent"},
    {AuditEntry::nextStepCourse, "next_step_course"},
    {AuditEntry::nextStepBuildSoftware, "next_step_build_software"},
    {AuditEntry::nextStepNotSure, "next_step_not_sure"},
}};

}  // namespace

std::string_view toRaw(AuditEntry entry) {
    for (const auto& name : kAuditEntryNames) {
        if (name.entry == entry)
            return name.raw;
    }
    return {};
}

std::optional<AuditEntry> fromRawAuditEntry(std::string_view raw) {
    for (const auto& name : kAuditEntryNames) {
        if (name.raw == raw)
            return name.entry;
    }
    return std::nullopt;
}

}  // namespace quill::ui
