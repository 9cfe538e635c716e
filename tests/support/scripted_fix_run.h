#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/core/task.h"
#include "engine/runner/setup_remediation_runner.h"

namespace quill::test {

/// The events a stand-in runner scripted for each fix's identifier.
using FixScripts = std::map<std::string, std::vector<SetupRemediationRunner::Event>>;

/// A finished run of `fix`: the events scripted for its identifier, or a success when none are.
inline Stream<SetupRemediationRunner::Event> scriptedFixRun(const FixScripts& scripts,
                                                            const SetupRemediation& fix) {
    using Event = SetupRemediationRunner::Event;
    const auto script = scripts.find(fix.id());
    return finishedStream<Event>([&](const StreamSink<Event>& sink) {
        sink.yieldAll(script == scripts.end() ? std::vector<Event>{Event::Completed{0}} : script->second);
    });
}

}  // namespace quill::test
