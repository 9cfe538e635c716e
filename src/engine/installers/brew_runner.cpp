#include "engine/installers/brew_runner.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "engine/core/build_options.h"
#include "engine/core/shell_quote.h"
#include "engine/core/task.h"
#include "engine/core/text.h"
#include "engine/installers/installer_child.h"
#include "engine/installers/sha256.h"
#include "engine/services/child_reader.h"
#include "engine/setup/product_config.h"

namespace quill {

namespace {

using CompletedEvent = InstallerEvent::Completed;
using CanceledEvent = InstallerEvent::Canceled;
using Policy = BrewRunner::CaskRecoveryPolicy;

constexpr std::chrono::seconds kRetryPause{2};
constexpr std::string_view kJavaVirtualMachines = "/Library/Java/JavaVirtualMachines";
constexpr std::string_view kPackageErrorDomain = "BrewRunner.PKG";

constexpr std::array<std::string_view, 7> kAuthenticationFailures = {
    "a password is required", "sudo: a password is required",   "user canceled", "sudo_askpass", "askpass",
    "authentication failed",  "execution error: user canceled",
};

/// One brew run: its status (-1 when brew did not start) and its output in lower case, one line each.
struct Attempt {
    int exitCode = -1;
    std::string transcript;
};

bool alreadyInstalled(const std::string& transcript) {
    return contains(transcript, "not upgrading") && contains(transcript, "already installed");
}
bool leftoverFile(const std::string& transcript) {
    return contains(transcript, "it seems there is already");
}
bool terminalPassword(const std::string& transcript) {
    return contains(transcript, "a terminal is required") && contains(transcript, "a password is required");
}
bool authenticationFailure(const std::string& transcript) {
    return std::any_of(kAuthenticationFailures.begin(), kAuthenticationFailures.end(),
                       [&](std::string_view phrase) { return contains(transcript, phrase); });
}

/// Streams one child into `sink`, registered in `holder`; returns its status and lower-case transcript.
Attempt runChild(const ProcessRunning& process, const std::string& executable,
                 const std::vector<std::string>& arguments, const Environment& environment,
                 CancellableProcess& holder, const StreamSink<InstallerEvent>& sink,
                 const std::stop_token& stop) {
    auto outcome =
        relayInstallerChild(process, executable, arguments, environment, holder, sink, stop, "brew");
    if (outcome.failedToStart)
        return Attempt{};
    return Attempt{outcome.exitCode, std::move(outcome.transcript)};
}

Error packageError(int code, std::string message) {
    return Error{std::string(kPackageErrorDomain), code, std::move(message)};
}

/// The cask stream's task: the recovery procedure. Returns the final event.
InstallerEvent recoverCask(const BrewRunner& runner, const std::string& cask, const std::string& prompt,
                           const Policy& policy, const Environment& environment, CancellableProcess& holder,
                           const StreamSink<InstallerEvent>& sink, const std::stop_token& stop) {
    auto runBrew = [&](const std::string& subcommand, bool force) {
        std::vector<std::string> arguments{subcommand, "--cask"};
        if (force)
            arguments.emplace_back("--force");
        arguments.push_back(cask);
        return runChild(*runner.process, runner.brewPath.string(), arguments, environment, holder, sink,
                        stop);
    };
    auto canceled = [&] { return holder.isCanceled() || stop.stop_requested(); };
    auto announce = [&](std::string message) {
        sink.yield(ownLine(""));
        sink.yield(ownLine(std::move(message)));
    };

    Attempt attempt = runBrew("install", false);
    if (canceled())
        return CanceledEvent{};
    bool forced = false;
    if (attempt.exitCode == 0) {
        const auto& stale = policy.staleCaskroom;
        if (!(stale && alreadyInstalled(attempt.transcript) && stale->artifactMissing &&
              stale->artifactMissing()))
            return CompletedEvent{0};
        announce("Homebrew reports " + cask + " is already installed, but " +
                 stale->missingArtifactDescription + ". Retrying with `brew reinstall --cask " + cask + "`…");
        attempt = runBrew("reinstall", false);
        if (canceled())
            return CanceledEvent{};
        if (attempt.exitCode == 0)
            return CompletedEvent{0};
    }

    if (!canceled() && leftoverFile(attempt.transcript)) {
        announce("A leftover file is blocking the install. Retrying with `brew install --cask --force " +
                 cask + "`…");
        attempt = runBrew("install", true);
        if (canceled())
            return CanceledEvent{};
        if (attempt.exitCode == 0)
            return CompletedEvent{0};
        forced = true;
    }
    if (policy.pkgFallback && terminalPassword(attempt.transcript)) {
        announce("Homebrew bypassed our sudo wrapper. Falling back to direct .pkg install…");
        const auto& fallback = *policy.pkgFallback;
        const std::string version = fallback.versionFromCaskName ? fallback.versionFromCaskName(cask) : "";
        return runner.pkgFallback(fallback, version, prompt, holder, sink, stop);
    }
    if (authenticationFailure(attempt.transcript))
        return CanceledEvent{};
    if (forced)
        return CompletedEvent{attempt.exitCode};

    announce("That didn’t work — retrying once in a moment…");
    sleepFor(kRetryPause, stop);
    if (canceled())
        return CanceledEvent{};
    attempt = runBrew("install", false);
    if (canceled())
        return CanceledEvent{};
    return CompletedEvent{attempt.exitCode};
}

}  // namespace

const BrewRunner::CaskRecoveryPolicy& BrewRunner::CaskRecoveryPolicy::none() {
    static const CaskRecoveryPolicy policy;
    return policy;
}

Stream<InstallerEvent> BrewRunner::install(const std::string& formula) const {
    auto holder = std::make_shared<CancellableProcess>();
    return streamFromTask<Event>(
        [runner = *this, formula, holder](const StreamSink<Event>& sink, std::stop_token stop) {
            const Environment environment = processEnvironment({{"HOMEBREW_NO_AUTO_UPDATE", "1"}});
            const auto outcome =
                relayInstallerChild(*runner.process, runner.brewPath.string(), {"install", formula},
                                    environment, *holder, sink, stop, "brew");
            if (outcome.failedToStart)
                sink.yield(CompletedEvent{-1});
            else if (holder->isCanceled() || stop.stop_requested())
                sink.yield(CanceledEvent{});
            else
                sink.yield(CompletedEvent{outcome.exitCode});
        },
        [holder] { holder->cancel(); });
}

Stream<InstallerEvent> BrewRunner::installCask(const std::string& cask, const std::string& prompt,
                                               const CaskRecoveryPolicy& policy) const {
    auto holder = std::make_shared<CancellableProcess>();
    return streamFromTask<Event>(
        [runner = *this, cask, prompt, policy, holder](const StreamSink<Event>& sink, std::stop_token stop) {
            auto prepared = runner.executor.prepareEnvironment(prompt);
            if (!prepared) {
                sink.yield(ownLine("Failed to set up privileged executor: " + prepared.error().message));
                sink.yield(CompletedEvent{-1});
                return;
            }
            const Environment environment = processEnvironment(prepared->variables);
            auto final = recoverCask(runner, cask, prompt, policy, environment, *holder, sink, stop);
            sink.yield(std::move(final));
            // The askpass folder goes before the stream ends, so a consumer that saw the end sees it gone.
            prepared->cleanup();
        },
        [holder] { holder->cancel(); });
}

bool BrewRunner::temurinJavaPath(const std::string& cask) const {
    const std::string folder(kJavaVirtualMachines);
    if (const auto at = cask.find('@'); at != std::string::npos && at + 1 < cask.size())
        return fs->isExecutableFile(folder + "/temurin-" + cask.substr(at + 1) +
                                    ".jdk/Contents/Home/bin/java");
    auto entries = fs->contentsOfDirectory(folder);
    if (!entries)
        return false;
    return std::any_of(entries->begin(), entries->end(), [&](const std::string& entry) {
        return entry.starts_with("temurin-") && entry.ends_with(".jdk") &&
               fs->isExecutableFile(folder + "/" + entry + "/Contents/Home/bin/java");
    });
}

InstallerEvent BrewRunner::pkgFallback(const CaskRecoveryPolicy::PKGFallback& fallback,
                                       const std::string& version, const std::string& prompt,
                                       CancellableProcess& handle, const StreamSink<Event>& sink,
                                       std::stop_token stop) const {
    const std::string architecture(build::kArchitectureName);
    std::string checksum;
    auto mismatch = [&checksum](const std::string& actual) {
        return packageError(5, "Checksum mismatch (expected " + checksum + ", got " + actual + ")");
    };
    auto fetchAndVerify = [&]() -> Result<std::filesystem::path> {
        if (!fallback.resolveAsset)
            return fail(packageError(1, "No install asset is known for this package"));
        auto asset = fallback.resolveAsset(version, architecture, stop);
        if (!asset)
            return fail(asset.error());
        checksum = asset->checksum;
        sink.yield(ownLine("GET " + asset->downloadURL));
        auto downloaded = http->download(asset->downloadURL, stop);
        if (!downloaded)
            return fail(downloaded.error());
        const auto temporary = downloaded->location;
        auto discard = [&] { (void)fs->removeItem(temporary); };
        const int status = downloaded->response.statusCode;
        if (status < 200 || status > 299) {
            discard();
            return fail(packageError(2, "Install-asset download HTTP error"));
        }
        auto caches = fs->userDirectory(UserDirectory::caches, IfMissing::create);
        if (!caches) {
            discard();
            return fail(caches.error());
        }
        const std::filesystem::path folder = *caches / ProductConfig::current()->cacheDirName;
        if (auto created = fs->createDirectory(folder, CreateDirectoryMode::withIntermediates); !created) {
            discard();
            return fail(created.error());
        }
        std::filesystem::path destination =
            folder / (fallback.cacheFilePrefix + "-" + version + "-" + architecture + ".pkg");
        // The move never replaces: an earlier package of the same name must go first.
        (void)fs->removeItem(destination);
        if (auto moved = fs->moveItem(temporary, destination); !moved) {
            discard();
            return fail(moved.error());
        }
        sink.yield(ownLine("Saved to " + destination.string()));
        sink.yield(ownLine("Verifying download checksum…"));
        auto digest = sha256OfFile(destination, stop);
        if (!digest)
            return fail(digest.error());
        if (*digest != checksum)
            return fail(mismatch(*digest));
        return destination;
    };

    sink.yield(ownLine(fallback.lookupMessage ? fallback.lookupMessage(version, architecture) : ""));
    auto package = fetchAndVerify();
    if (stop.stop_requested())
        return CanceledEvent{};
    if (!package) {
        const Error& error = package.error();
        const bool transport = error.domain == kHTTPErrorDomain;
        if (transport && error.code == static_cast<int>(HTTPErrorCode::cancelled))
            return CanceledEvent{};
        if (transport && error.code == static_cast<int>(HTTPErrorCode::timedOut)) {
            sink.yield(ownLine(fallback.timeoutMessage));
            return CompletedEvent{1};
        }
        sink.yield(ownLine("Fallback failed: " + error.message));
        return CompletedEvent{1};
    }

    sink.yield(ownLine("Running /usr/sbin/installer (macOS will ask for your password)…"));
    const auto outcome = runInstallerAsAdmin(*process, package->string(), checksum, prompt, handle);
    return std::visit(
        [&sink, &mismatch](const auto& result) -> InstallerEvent {
            using Case = std::decay_t<decltype(result)>;
            if constexpr (std::is_same_v<Case, AdminInstallOutcome::Success>) {
                sink.yield(ownLine("Installer completed."));
                return CompletedEvent{0};
            } else if constexpr (std::is_same_v<Case, AdminInstallOutcome::Canceled>) {
                return CanceledEvent{};
            } else if constexpr (std::is_same_v<Case, AdminInstallOutcome::ChecksumMismatch>) {
                sink.yield(ownLine("Fallback failed: " + mismatch(result.actual).message));
                return CompletedEvent{1};
            } else {
                static_assert(std::is_same_v<Case, AdminInstallOutcome::Failed>);
                sink.yield(ownLine("Installer failed: " + result.message));
                return CompletedEvent{1};
            }
        },
        outcome.value);
}

namespace {

/// What the root script prints before the digest of a copy that is not the checked package.
constexpr std::string_view kCopyMismatch = "copy-checksum-mismatch ";
constexpr std::size_t kSHA256Digits = 64;

/// The root side of the package install, with the package's path as $1 and its SHA-256 as $2: copies the
/// package into a fresh folder only root can reach, checks the copy and installs it; the folder goes however
/// the script ends (a TERM ends the script once its running command has ended).
constexpr std::string_view kRootInstallScript =
    "d=\n"
    "trap '[ -n \"$d\" ] && /bin/rm -rf \"$d\"' EXIT\n"
    "trap 'exit 143' TERM HUP INT\n"
    "d=$(/usr/bin/mktemp -d /tmp/package-install.XXXXXXXX) || exit 1\n"
    "/bin/cp \"$1\" \"$d/package.pkg\" || exit 1\n"
    "s=$(/usr/bin/shasum -a 256 \"$d/package.pkg\") || exit 1\n"
    "s=${s%% *}\n"
    "if [ \"$s\" != \"$2\" ]; then echo \"copy-checksum-mismatch $s\" >&2; exit 1; fi\n"
    "/usr/sbin/installer -pkg \"$d/package.pkg\" -target /\n";

bool isHexDigest(std::string_view text) {
    return text.size() == kSHA256Digits && std::ranges::all_of(text, isAsciiHexDigit);
}

/// The digest the root script reported for its copy, when it reported one.
std::optional<std::string> reportedCopyDigest(std::string_view output) {
    const auto at = output.find(kCopyMismatch);
    if (at == std::string_view::npos)
        return std::nullopt;
    const auto digest = output.substr(at + kCopyMismatch.size(), kSHA256Digits);
    if (!isHexDigest(digest))
        return std::nullopt;
    return std::string(digest);
}

}  // namespace

std::string adminInstallScript(std::string_view packagePath, std::string_view sha256,
                               std::string_view prompt) {
    // The arguments are quoted for the root shell first, then the whole command for AppleScript.
    const std::string command = "/bin/sh -c " + shellSingleQuoted(kRootInstallScript) + " sh " +
                                shellSingleQuoted(packagePath) + " " + shellSingleQuoted(sha256);
    return "do shell script \"" + appleScriptEscaped(command) +
           "\" with administrator privileges with prompt \"" + appleScriptEscaped(prompt) + "\"";
}

AdminInstallOutcome runInstallerAsAdmin(const ProcessRunning& process, const std::string& packagePath,
                                        const std::string& sha256, const std::string& prompt,
                                        CancellableProcess& cancellation) {
    if (!isHexDigest(sha256))
        return AdminInstallOutcome::Failed{"The package's checksum is not a SHA-256 digest"};
    auto handle = std::make_shared<LiveProcessCancellation>();
    cancellation.register_(handle);
    std::string collected;
    const ChildEnd end = readChild(
        process.stream("/usr/bin/osascript", {"-e", adminInstallScript(packagePath, toLower(sha256), prompt)},
                       std::nullopt, handle),
        *handle, {}, [&collected](const std::string& line) {
            collected += line;
            collected += '\n';
        });
    const int exitCode = end.exitCode.value_or(-1);
    if (end.startFailure)
        return AdminInstallOutcome::Failed{"Failed to start osascript: " + *end.startFailure};
    if (cancellation.isCanceled())
        return AdminInstallOutcome::Canceled{};
    if (exitCode == 0)
        return AdminInstallOutcome::Success{};
    const std::string trimmed = trimWhitespaceAndNewlines(collected);
    if (auto actual = reportedCopyDigest(trimmed))
        return AdminInstallOutcome::ChecksumMismatch{std::move(*actual)};
    if (contains(trimmed, "(-128)") || contains(toLower(trimmed), "user canceled"))
        return AdminInstallOutcome::Canceled{};
    if (!trimmed.empty())
        return AdminInstallOutcome::Failed{trimmed};
    return AdminInstallOutcome::Failed{"osascript exited " + std::to_string(exitCode)};
}

}  // namespace quill
