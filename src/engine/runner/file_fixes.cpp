// The Temurin tail that sets JAVA_HOME, the package-fallback rules of the Temurin cask, and the fixes that
// only edit the user's shell files.

#include <charconv>
#include <utility>

#include "engine/core/shell_quote.h"
#include "engine/installers/file_append_writer.h"
#include "engine/runner/fixes.h"
#include "engine/services/homebrew_paths.h"

namespace quill::fixes {

namespace {

constexpr std::string_view kUpdateFailed = "Couldn't update ~/.zprofile: ";

FileAppendWriter zprofileWriter(const Runner& runner) {
    return FileAppendWriter{runner.fs->homeDirectory() / ".zprofile", runner.fs};
}

}  // namespace

std::string backupNote(const FileAppendWriter::Appended& appended) {
    return appended.backupWritten ? " (backup at " + appended.preview.backupPath.string() + ")" : "";
}

void temurinTail(const Runner& runner, Stream<InstallerEvent> install, const EventSink& sink,
                 const std::stop_token& stop) {
    const auto status = forwardInstaller(std::move(install), sink, stop);
    if (!status) {
        sink.yield(Event::Canceled{});
        return;
    }
    if (*status != 0) {
        complete(sink, *status);
        return;
    }
    if (stop.stop_requested())
        return;
    const ZprofileWriter writer{zprofileWriter(runner)};
    const auto preview = writer.preview(false);
    if (const auto backupWritten = writer.writer.apply(preview); !backupWritten)
        say(sink, "Couldn't set JAVA_HOME: " + backupWritten.error().message);
    else if (preview.alreadySet)
        say(sink, "JAVA_HOME is already set in ~/.zprofile.");
    else
        say(sink, "Set JAVA_HOME in ~/.zprofile (macOS finds `java` on its own" +
                      (*backupWritten ? "; backup at " + preview.backupPath.string() : std::string()) + ").");
    complete(sink, 0);
}

std::string temurinLookupMessage(const std::string& version, const std::string& architecture) {
    return "Looking up Temurin " + version + " (" + architecture + ") on Adoptium…";
}

std::string temurinVersionFromCaskName(const std::string& cask) {
    const auto at = cask.find('@');
    if (at == std::string::npos || at + 1 == cask.size())
        return "25";
    return cask.substr(at + 1);
}

std::optional<int> parseMajorVersion(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Digits only after the sign: from_chars would take a second sign or stop early at a letter.
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return negative ? -value : value;
}

Result<BrewRunner::CaskRecoveryPolicy::PKGFallback::Asset> resolveTemurinAsset(
    const AdoptiumAPI& adoptium, const std::string& version, const std::string& architecture,
    std::stop_token stop) {
    const auto feature = parseMajorVersion(version);
    if (!feature)
        return fail(Error{"BrewRunner.PKG", 1, "Bad Temurin major version: " + version});
    auto asset = adoptium.latestAsset(*feature, architecture, std::move(stop));
    if (!asset)
        return fail(asset.error());
    return BrewRunner::CaskRecoveryPolicy::PKGFallback::Asset{asset->downloadURL, asset->checksum};
}

BrewRunner::CaskRecoveryPolicy temurinRecoveryPolicy(const BrewRunner& brew) {
    using Policy = BrewRunner::CaskRecoveryPolicy;
    const std::string cask(packages::kTemurinCask);
    Policy policy;
    policy.staleCaskroom =
        Policy::StaleCaskroomRecovery{[brew, cask] { return !brew.temurinJavaPath(cask); },
                                      "the JDK is missing from /Library/Java/JavaVirtualMachines/"};
    policy.pkgFallback = Policy::PKGFallback{
        cask, temurinLookupMessage,
        "Adoptium didn't respond in time. Try again in a moment, or use Other Java install methods.",
        temurinVersionFromCaskName,
        [adoptium = brew.adoptium](const std::string& version, const std::string& architecture,
                                   std::stop_token stop) {
            return resolveTemurinAsset(adoptium, version, architecture, std::move(stop));
        }};
    return policy;
}

void repairPath(const Runner& runner, const std::string& directory, const EventSink& sink) {
    const std::string escaped = shellEscapedForDoubleQuotes(directory);
    const auto appended =
        zprofileWriter(runner).append("export PATH=\"" + escaped + ":$PATH\"", "Claude Code PATH", escaped,
                                      FileAppendWriter::NeedleScope::anywhere);
    if (!appended) {
        say(sink, std::string(kUpdateFailed) + appended.error().message);
        complete(sink, 1);
        return;
    }
    if (appended->preview.alreadySet)
        say(sink, "`" + directory + "` is already on your PATH in ~/.zprofile — nothing to do.");
    else
        say(sink, "Added `" + directory + "` to your PATH in ~/.zprofile" + backupNote(*appended) + ".");
    complete(sink, 0);
}

void repairHomebrewPath(const Runner& runner, const EventSink& sink) {
    const std::string brew = homebrewExecutable(*runner.fs, HomebrewToolCheck::exists).value_or("");
    if (brew.empty()) {
        say(sink, "Homebrew isn't installed yet — nothing to repair.");
        complete(sink, 1);
        return;
    }
    const auto appended =
        zprofileWriter(runner).append("eval \"$(" + brew + " shellenv)\"", "Homebrew shellenv",
                                      "brew shellenv", FileAppendWriter::NeedleScope::activeLines);
    if (!appended) {
        say(sink, std::string(kUpdateFailed) + appended.error().message);
        complete(sink, 1);
        return;
    }
    if (appended->preview.alreadySet)
        say(sink, "Homebrew's shellenv is already active in ~/.zprofile — re-checking in a fresh shell.");
    else
        say(sink, "Added Homebrew to your PATH in ~/.zprofile" + backupNote(*appended) + ".");
    complete(sink, 0);
}

void reportWriter(const std::vector<std::string>& lines, bool succeeded, const EventSink& sink) {
    sayAll(sink, lines);
    complete(sink, succeeded ? 0 : 1);
}

}  // namespace quill::fixes
