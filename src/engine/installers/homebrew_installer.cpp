#include "engine/installers/homebrew_installer.h"

#include <algorithm>
#include <array>
#include <stop_token>

#include "engine/core/shell_quote.h"
#include "engine/core/task.h"
#include "engine/core/text.h"
#include "engine/installers/file_append_writer.h"
#include "engine/installers/installer_child.h"
#include "engine/services/homebrew_paths.h"
#include "engine/services/process_cancellation.h"

namespace quill {

namespace {

constexpr std::array<std::string_view, 6> kPasswordRefusals = {
    "user canceled", "execution error: user canceled", "sudo_askpass",
    "askpass",       "a password is required",         "authentication failed",
};

// clang-format off
constexpr std::string_view kBrewNotFound = "Note: brew not found in expected locations after install; skipping ~/.zprofile shellenv append.";
// clang-format on

using CompletedEvent = InstallerEvent::Completed;
using CanceledEvent = InstallerEvent::Canceled;

/// Adds `eval "$(<brew> shellenv)"` to ~/.zprofile so that new login shells find brew.
void addShellEnvironment(const std::shared_ptr<const FileSystemOperating>& fs,
                         const StreamSink<InstallerEvent>& sink) {
    const std::string brew = homebrewExecutable(*fs, HomebrewToolCheck::exists).value_or("");
    if (brew.empty()) {
        sink.yield(ownLine(std::string(kBrewNotFound)));
        return;
    }
    const FileAppendWriter writer{fs->homeDirectory() / ".zprofile", fs};
    auto appended = writer.append("eval \"$(" + brew + " shellenv)\"", "Homebrew shellenv", "brew shellenv",
                                  FileAppendWriter::NeedleScope::activeLines);
    if (!appended) {
        sink.yield(ownLine("Couldn't append brew shellenv to ~/.zprofile: " + appended.error().message));
        return;
    }
    if (appended->preview.alreadySet) {
        sink.yield(ownLine("brew shellenv already active in ~/.zprofile — skipping."));
        return;
    }
    sink.yield(
        ownLine("Appending brew shellenv to ~/.zprofile (so brew is fully integrated in new shells)."));
    sink.yield(ownLine(appended->backupWritten
                           ? "Appended. Backup at " + appended->preview.backupPath.string() + "."
                           : std::string("Appended.")));
}

}  // namespace

std::string HomebrewInstaller::installCommand(std::string_view url) {
    return "s=\"$(curl -fsSL " + shellSingleQuoted(url) + ")\" && /bin/bash -c \"$s\"";
}

Stream<InstallerEvent> HomebrewInstaller::install() const {
    auto holder = std::make_shared<CancellableProcess>();
    return streamFromTask<Event>(
        [installer = *this, holder](const StreamSink<Event>& sink, std::stop_token stop) {
            auto prepared = installer.executor.prepareEnvironment("Enter Mac password to install Homebrew.");
            if (!prepared) {
                sink.yield(ownLine("Failed to set up privileged executor: " + prepared.error().message));
                sink.yield(CompletedEvent{-1});
                return;
            }
            Environment overrides = prepared->variables;
            overrides["NONINTERACTIVE"] = "1";

            const auto [exitCode, failedToStart, transcript] = relayInstallerChild(
                *installer.process, "/bin/bash", {"-c", installCommand(installer.scriptURL)},
                processEnvironment(overrides), *holder, sink, stop, "Homebrew installer");

            // A refused or dismissed password ends the run as the user's own cancellation.
            const bool passwordRefused =
                exitCode != 0 &&
                std::any_of(kPasswordRefusals.begin(), kPasswordRefusals.end(),
                            [&](std::string_view phrase) { return contains(transcript, phrase); });
            if (failedToStart) {
                sink.yield(CompletedEvent{-1});
            } else if (holder->isCanceled() || stop.stop_requested() || passwordRefused) {
                sink.yield(CanceledEvent{});
            } else if (exitCode == 0) {
                addShellEnvironment(installer.fs, sink);
                sink.yield(CompletedEvent{0});
            } else {
                sink.yield(CompletedEvent{exitCode});
            }
            // The askpass folder goes before the stream ends, so a consumer that saw the end sees it gone.
            prepared->cleanup();
        },
        [holder] { holder->cancel(); });
}

}  // namespace quill
