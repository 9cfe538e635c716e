#pragma once

#include <ostream>

#include "engine/services/process_running.h"
#include "engine/services/shell_runner.h"

// Readable test failures for process events and results.
namespace quill {

inline void PrintTo(const ProcessLine& line, std::ostream* out) {
    *out << "line \"" << line.text << '"';
}
inline void PrintTo(const ProcessExited& exited, std::ostream* out) {
    *out << "exited " << exited.code;
}
inline void PrintTo(const ProcessFailedToStart& failed, std::ostream* out) {
    *out << "failedToStart \"" << failed.message << '"';
}
inline void PrintTo(const ProcessResult& result, std::ostream* out) {
    *out << "{exitCode " << result.exitCode << ", stdout \"" << result.stdout_ << "\", stderr \""
         << result.stderr_ << "\"}";
}
inline void PrintTo(const Output& output, std::ostream* out) {
    *out << "output \"" << output.text << '"';
}
inline void PrintTo(const Completed& completed, std::ostream* out) {
    *out << "completed " << completed.exitCode;
}
inline void PrintTo(const Canceled&, std::ostream* out) {
    *out << "canceled";
}

}  // namespace quill
