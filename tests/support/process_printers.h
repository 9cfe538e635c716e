#pragma once

#include <ostream>

#include "engine/core/overloaded.h"
#include "engine/services/process_running.h"
#include "engine/services/shell_runner.h"

// Readable test failures for process events and results.
namespace quill {

inline void PrintTo(const ProcessStreamEvent& event, std::ostream* out) {
    std::visit(Overloaded{
                   [out](const ProcessStreamEvent::Line& line) { *out << "line \"" << line.text << '"'; },
                   [out](const ProcessStreamEvent::Exited& exited) { *out << "exited " << exited.code; },
                   [out](const ProcessStreamEvent::FailedToStart& failed) {
                       *out << "failedToStart \"" << failed.message << '"';
                   },
               },
               event.value);
}
inline void PrintTo(const ProcessResult& result, std::ostream* out) {
    *out << "{exitCode " << result.exitCode << ", stdout \"" << result.stdout_ << "\", stderr \""
         << result.stderr_ << "\"}";
}
inline void PrintTo(const StreamEvent& event, std::ostream* out) {
    std::visit(
        Overloaded{
            [out](const StreamEvent::Output& output) {
                *out << (output.kind == OutputKind::own ? "own \"" : "output \"") << output.text << '"';
            },
            [out](const StreamEvent::Completed& completed) { *out << "completed " << completed.exitCode; },
            [out](const StreamEvent::Canceled&) { *out << "canceled"; },
        },
        event.value);
}

}  // namespace quill
