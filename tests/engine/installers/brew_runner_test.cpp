#include "engine/installers/brew_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <fstream>
#include <thread>

#include "engine/core/build_options.h"
#include "engine/core/shell_quote.h"
#include "engine/installers/installer_child.h"
#include "engine/installers/sha256.h"
#include "engine/services/live_file_system.h"
#include "engine/services/live_http_fetcher.h"
#include "engine/services/live_process_runner.h"
#include "tests/engine/installers/installer_test_kit.h"
#include "tests/support/fake_bin.h"
#include "tests/support/fake_process_runner.h"
#include "tests/support/loopback_server.h"
#include "tests/support/path_mapping_file_system.h"
#include "tests/support/process_watch.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::canceled;
using test::completed;
using test::out;
using test::own;
using Events = std::vector<InstallerEvent>;
using Policy = BrewRunner::CaskRecoveryPolicy;

constexpr const char* kMarkerPassword = "marker-password-4711";
constexpr const char* kPackageRoad =
    "Homebrew bypassed our sudo wrapper. Falling back to direct .pkg install…";
constexpr const char* kPause = "That didn’t work — retrying once in a moment…";
constexpr const char* kTerminalPassword =
    "echo 'brew> sudo: a terminal is required to read the password; either use the -S option to read from "
    "standard input or configure an askpass helper'\necho 'brew> sudo: a password is required'\nexit 1";

bool isBrewLine(const InstallerEvent& event) {
    const auto* output = std::get_if<InstallerEvent::Output>(&event.value);
    return output && output->text.starts_with("brew> ");
}

class BrewRunnerTest : public ::testing::Test {
  protected:
    BrewRunnerTest() {
        standIns.add("osascript", std::string("echo ") + kMarkerPassword + "\n");
        // The stand-in brew never runs sudo: it shows what a sudo inside it would find, asks the askpass
        // script as sudo would, then plays this attempt's part.
        bin.add(
            "/opt/homebrew/bin/brew",
            "state=" + shellSingleQuoted(state.path().string()) +
                "\nn=$(( $(cat \"$state/count\" 2>/dev/null || echo 0) + 1 )); echo $n > \"$state/count\"\n"
                "echo \"$*\" >> \"$state/args\"\n"
                "if [ -n \"$SUDO_ASKPASS\" ]; then\n"
                "  [ \"$(command -v sudo)\" = \"$(dirname \"$SUDO_ASKPASS\")/sudo\" ] || echo 'brew> no "
                "wrapper'\n"
                "  [ \"$(\"$SUDO_ASKPASS\")\" = " +
                kMarkerPassword +
                " ] || echo 'brew> askpass silent'\n"
                "  [ -z \"$HOMEBREW_NO_AUTO_UPDATE\" ] || echo 'brew> auto-update set'\n"
                "else echo \"brew> HOMEBREW_NO_AUTO_UPDATE=$HOMEBREW_NO_AUTO_UPDATE\"; fi\n"
                "[ -f \"$state/attempt$n\" ] && . \"$state/attempt$n\"\nexit 0\n");
        // The stand-in installer notes the package it was given, its folder's mode and bytes, then plays
        // the part in "installer-part" if there is one.
        const std::string at = shellSingleQuoted(state.path().string());
        installer = bin.add("/usr/sbin/installer",
                            "printf '%s' \"$2\" > " + at +
                                "/installed\nls -ld \"$(dirname \"$2\")\" | cut -c1-10 > " + at +
                                "/folder-mode\ncat \"$2\" > " + at + "/installed-bytes\n[ -f " + at +
                                "/installer-part ] && . " + at + "/installer-part\necho installed\n");
        adminAccepts();
    }

    /// osascript notes that it ran, plays "dialog" (what happens while the password dialog is up) if there
    /// is one, then runs the `do shell script` text it is given with the stand-in installer, and with
    /// `root()` for the root's temporary folder.
    void adminAccepts() {
        bin.add("/usr/bin/osascript",
                "#!/usr/bin/perl\nmy $state = '" + state.path().string() +
                    "';\nopen(my $f, '>', \"$state/osascript-ran\"); close($f);\n"
                    "system('/bin/sh', \"$state/dialog\") if -e \"$state/dialog\";\nmy $s = $ARGV[1];\n"
                    "$s =~ /^do shell script \"((?:[^\"\\\\]|\\\\.)*)\" with administrator privileges/s or "
                    "exit 9;\n"
                    "my $c = $1; $c =~ s/\\\\(.)/$1/gs; $c =~ s{/usr/sbin/installer}{" +
                    installer.string() + "}g; $c =~ s{/tmp/package-install\\.}{" + root().string() +
                    "/package-install.}g;\nexec '/bin/sh', '-c', $c;\n");
        fs::create_directories(root());
    }
    /// The folder that stands for root's /tmp.
    [[nodiscard]] fs::path root() const { return state.path() / "root-tmp"; }
    /// The folders left in `root()`.
    [[nodiscard]] std::vector<fs::path> rootFolders() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(root()))
            found.push_back(entry.path());
        return found;
    }
    /// Forgets what the stand-ins noted, and the parts they played.
    void resetAdmin() const {
        for (const char* name :
             {"installed", "folder-mode", "installed-bytes", "installer-part", "dialog", "osascript-ran"})
            fs::remove(state.path() / name);
    }

    void attempts(const std::vector<std::string>& scripts) const {
        fs::remove(state.path() / "count");
        fs::remove(state.path() / "args");
        for (std::size_t i = 0; i < 3; ++i) {
            const auto file = state.path() / ("attempt" + std::to_string(i + 1));
            fs::remove(file);
            if (i < scripts.size())
                state.write(file.filename(), scripts[i] + "\n");
        }
    }
    [[nodiscard]] std::vector<std::string> brewRuns() const {
        const std::string text = test::readFile(state.path() / "args");
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

    BrewRunner runner(
        const std::shared_ptr<const HTTPFetching>& http = std::make_shared<LiveHTTPFetcher>()) const {
        auto fileSystem = std::make_shared<LiveFileSystem>();
        return BrewRunner{"/opt/homebrew/bin/brew",       bin.runner(),     http, fileSystem,
                          PrivilegedExecutor{fileSystem}, AdoptiumAPI{http}};
    }

    /// Runs a cask to its end; returns the program's own events (brew's lines left out, every line checked
    /// for the password).
    Events cask(const Policy& policy,
                const std::shared_ptr<const HTTPFetching>& http = std::make_shared<LiveHTTPFetcher>()) {
        auto stream = runner(http).installCask("foo", "Enter your password.", policy);
        Events own;
        for (auto& event : drain(stream)) {
            if (const auto* output = std::get_if<InstallerEvent::Output>(&event.value)) {
                EXPECT_EQ(output->text.find(kMarkerPassword), std::string::npos);
                EXPECT_NE(output->text, "brew> no wrapper");
                EXPECT_NE(output->text, "brew> askpass silent");
                EXPECT_NE(output->text, "brew> auto-update set");
            }
            if (!isBrewLine(event))
                own.push_back(std::move(event));
        }
        EXPECT_TRUE(standIns.privateFolders().empty());
        return own;
    }

    static Policy::PKGFallback fallback(
        const std::function<Result<Policy::PKGFallback::Asset>(std::stop_token)>& resolve) {
        Policy::PKGFallback road;
        road.cacheFilePrefix = "temurin";
        road.lookupMessage = [](const std::string& version, const std::string& architecture) {
            return "Looking up Temurin " + version + " for " + architecture + "…";
        };
        road.timeoutMessage = "The download timed out.";
        road.versionFromCaskName = [](const std::string&) { return std::string("21"); };
        road.resolveAsset = [resolve](const std::string&, const std::string&, std::stop_token stop) {
            return resolve(std::move(stop));
        };
        return road;
    }
    static std::string lookupLine() {
        return "Looking up Temurin 21 for " + std::string(build::kArchitectureName) + "…";
    }

    test::TemporaryHome home;
    test::StandInPath standIns;
    test::TemporaryDirectory state;
    test::FakeBin bin;
    fs::path installer;
    ScopedProductConfig product{test::installerProduct()};
};

TEST_F(BrewRunnerTest, CaskRecoveryTakesTheRoadBrewsOutputCallsFor) {
    Policy staleMissing;
    staleMissing.staleCaskroom = Policy::StaleCaskroomRecovery{[] { return true; }, "its app is missing"};
    Policy stalePresent;
    stalePresent.staleCaskroom = Policy::StaleCaskroomRecovery{[] { return false; }, "unused"};
    Policy packageRoad;
    packageRoad.pkgFallback = fallback([](std::stop_token) -> Result<Policy::PKGFallback::Asset> {
        return fail(Error{"BrewRunner.PKG", 1, "No Temurin 21 package"});
    });

    const std::string already = "echo 'brew> Warning: Not upgrading foo, It Is Already Installed'";
    const std::string leftover =
        "echo \"brew> Error: It seems there is already an App at '/Applications/Foo.app'.\"\nexit 1";
    const std::string stale =
        "Homebrew reports foo is already installed, but its app is missing. Retrying with "
        "`brew reinstall --cask foo`…";
    const std::string force =
        "A leftover file is blocking the install. Retrying with `brew install --cask --force foo`…";
    const std::string install = "install --cask foo";
    const std::string forced = "install --cask --force foo";

    struct Case {
        const char* name;
        Policy policy;
        std::vector<std::string> attempts;
        Events events;
        std::vector<std::string> runs;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"success", Policy::none(), {"exit 0"}, {completed(0)}, {install}},
        {"stale Caskroom", staleMissing, {already, "exit 0"}, {own(""), own(stale), completed(0)}, {install, "reinstall --cask foo"}},
        {"artifact present", stalePresent, {already}, {completed(0)}, {install}},
        {"no stale recovery", Policy::none(), {already}, {completed(0)}, {install}},
        {"leftover file", Policy::none(), {leftover, "exit 0"}, {own(""), own(force), completed(0)}, {install, forced}},
        {"forced attempt fails otherwise", Policy::none(), {leftover, "echo 'brew> Error: disk full'\nexit 5"}, {own(""), own(force), completed(5)}, {install, forced}},
        {"three runs at most", staleMissing, {already, leftover, "exit 4"}, {own(""), own(stale), own(""), own(force), completed(4)}, {install, "reinstall --cask foo", forced}},
        {"terminal password, package road", packageRoad, {kTerminalPassword}, {own(""), own(kPackageRoad), own(lookupLine()), own("Fallback failed: No Temurin 21 package"), completed(1)}, {install}},
        {"terminal password, no package road", Policy::none(), {kTerminalPassword}, {canceled()}, {install}},
        {"refused password", Policy::none(), {"echo 'brew> sudo: a password is required'\nexit 1"}, {canceled()}, {install}},
        {"dialog cancelled", Policy::none(), {"echo 'brew> Error: USER CANCELED'\nexit 1"}, {canceled()}, {install}},
        {"pause and retry", Policy::none(), {"echo 'brew> Error: boom'\nexit 1", "exit 7"}, {own(""), own(kPause), completed(7)}, {install, install}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        attempts(c.attempts);
        EXPECT_EQ(cask(c.policy), c.events);
        EXPECT_EQ(brewRuns(), c.runs);
    }
}

TEST_F(BrewRunnerTest, FormulaInstallRunsWithoutPrivilegesOrAutoUpdate) {
    attempts({"echo 'brew> ==> Pouring wget'\nexit 3"});
    auto stream = runner().install("wget");
    EXPECT_EQ(drain(stream),
              (Events{out("brew> HOMEBREW_NO_AUTO_UPDATE=1"), out("brew> ==> Pouring wget"), completed(3)}));
    EXPECT_EQ(brewRuns(), std::vector<std::string>{"install wget"});

    BrewRunner missing = runner();
    missing.brewPath = state.path() / "no-brew";
    auto failed = missing.install("wget");
    const auto events = drain(failed);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_TRUE(std::get<InstallerEvent::Output>(events[0].value).text.starts_with("Failed to start brew: "));
    EXPECT_EQ(events[1], completed(-1));
}

TEST_F(BrewRunnerTest, PackageRoadVerifiesThenInstallsAsAdministrator) {
    test::LoopbackServer server;
    const std::string package = "xar!package-bytes";
    server.reply("/OpenJDK21.pkg", test::LoopbackReply::text(package));
    const fs::path cached =
        home / ".cache" / "QuillCache" / ("temurin-21-" + std::string(build::kArchitectureName) + ".pkg");
    auto roadTo = [&](const std::string& path, const std::string& checksum) {
        attempts({kTerminalPassword});
        Policy policy;
        policy.pkgFallback = fallback(
            [url = server.url(path), checksum](std::stop_token) -> Result<Policy::PKGFallback::Asset> {
                return Policy::PKGFallback::Asset{url, checksum};
            });
        return policy;
    };
    const Events start{own(""), own(kPackageRoad), own(lookupLine()),
                       own("GET " + server.url("/OpenJDK21.pkg"))};
    const Events saved{own("Saved to " + cached.string()), own("Verifying download checksum…")};
    auto events = [](std::initializer_list<Events> parts) {
        Events all;
        for (const auto& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };

    // A good package replaces an older one in the cache, is installed from a copy only root can reach, and
    // stays.
    fs::create_directories(cached.parent_path());
    { std::ofstream(cached) << "older package"; }
    resetAdmin();
    EXPECT_EQ(cask(roadTo("/OpenJDK21.pkg", sha256Hex(package))),
              events({start,
                      saved,
                      {own("Running /usr/sbin/installer (macOS will ask for your password)…"),
                       own("Installer completed."), completed(0)}}));
    EXPECT_EQ(test::readFile(cached), package);
    EXPECT_EQ(fs::path(test::readFile(state.path() / "installed")).parent_path().parent_path(), root());
    EXPECT_EQ(test::readFile(state.path() / "folder-mode"), "drwx------\n");
    EXPECT_EQ(test::readFile(state.path() / "installed-bytes"), package);
    EXPECT_TRUE(rootFolders().empty());

    // A package swapped while the password dialog is up never reaches the installer.
    resetAdmin();
    state.write("dialog", "printf 'xar!swapped' > " + shellSingleQuoted(cached.string()) + "\n");
    EXPECT_EQ(cask(roadTo("/OpenJDK21.pkg", sha256Hex(package))),
              events({start,
                      saved,
                      {own("Running /usr/sbin/installer (macOS will ask for your password)…"),
                       own("Fallback failed: Checksum mismatch (expected " + sha256Hex(package) + ", got " +
                           sha256Hex("xar!swapped") + ")"),
                       completed(1)}}));
    EXPECT_TRUE(fs::exists(state.path() / "osascript-ran"));
    EXPECT_FALSE(fs::exists(state.path() / "installed"));
    EXPECT_TRUE(rootFolders().empty());
    resetAdmin();

    const std::string upper = "ABCDEF" + sha256Hex(package).substr(6);
    EXPECT_EQ(cask(roadTo("/OpenJDK21.pkg", upper)),
              events({start,
                      saved,
                      {own("Fallback failed: Checksum mismatch (expected " + upper + ", got " +
                           sha256Hex(package) + ")"),
                       completed(1)}}));

    EXPECT_EQ(
        cask(roadTo("/missing.pkg", sha256Hex(package))),
        events({{own(""), own(kPackageRoad), own(lookupLine()), own("GET " + server.url("/missing.pkg")),
                 own("Fallback failed: Install-asset download HTTP error"), completed(1)}}));

    const Events installing =
        events({start, saved, {own("Running /usr/sbin/installer (macOS will ask for your password)…")}});
    // How the administrator's installer ends: dismissed, failing silently, failing with its own words.
    const std::vector<std::pair<std::string, Events>> endings = {
        {"echo '0:150: execution error: User canceled. (-128)' >&2\nexit 1\n", {canceled()}},
        {"echo '0:150: Ausführungsfehler: Vom Benutzer abgebrochen. (-128)' >&2\nexit 1\n", {canceled()}},
        {"exit 1\n", {own("Installer failed: osascript exited 1"), completed(1)}},
        {"echo 'installer: Error - the package is damaged'\nexit 1\n",
         {own("Installer failed: installer: Error - the package is damaged"), completed(1)}},
    };
    for (const auto& [osascript, ending] : endings) {
        SCOPED_TRACE(osascript);
        bin.add("/usr/bin/osascript", osascript);
        EXPECT_EQ(cask(roadTo("/OpenJDK21.pkg", sha256Hex(package))), events({installing, ending}));
    }

    // A download that times out shows only the road's own message.
    auto timedOut = std::make_shared<test::StallingHTTP>(
        Error{kHTTPErrorDomain, static_cast<int>(HTTPErrorCode::timedOut), "timed out"});
    EXPECT_EQ(cask(roadTo("/OpenJDK21.pkg", sha256Hex(package)), timedOut),
              events({start, {own("The download timed out."), completed(1)}}));
}

TEST_F(BrewRunnerTest, AdministratorInstallChecksARootOnlyCopyAndLeavesNoFolder) {
    const fs::path touched = state.path() / "x";
    const std::string path = (state.path() / "a \"b\" 'c' \\d $(touch ").string() + touched.string() +
                             ") `touch " + touched.string() + "`.pkg";
    const std::string package = "xar!package-bytes";
    const std::string digest = sha256Hex(package);
    auto capitals = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return std::toupper(c); });
        return text;
    };
    const AdminInstallOutcome installed{AdminInstallOutcome::Success{}};
    const AdminInstallOutcome notADigest{
        AdminInstallOutcome::Failed{"The package's checksum is not a SHA-256 digest"}};
    struct Case {
        const char* name;
        std::string digest;
        std::string installerPart;  // what the installer does after taking note
        AdminInstallOutcome outcome;
        bool installerRuns;
    };
    const std::vector<Case> cases = {
        {"installed", digest, "", installed, true},
        {"digest in capitals", capitals(digest), "", installed, true},
        {"installer fails", digest, "echo 'installer: Error - the package is damaged'\nexit 1",
         AdminInstallOutcome::Failed{"installer: Error - the package is damaged"}, true},
        {"another package than was checked", sha256Hex("xar!other"), "",
         AdminInstallOutcome::ChecksumMismatch{digest}, false},
        {"no digest", "", "", notADigest, false},
        {"digest one short", digest.substr(1), "", notADigest, false},
        {"digest one long", digest + "0", "", notADigest, false},
        {"not hexadecimal", std::string(64, 'g'), "", notADigest, false},
        {"digest with a command", digest.substr(0, 48) + "';touch x;'", "", notADigest, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        resetAdmin();
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path) << package;
        if (!c.installerPart.empty())
            state.write("installer-part", c.installerPart + "\n");
        CancellableProcess handle;
        EXPECT_EQ(runInstallerAsAdmin(*bin.runner(), path, c.digest, "Say \"yes\"", handle), c.outcome);
        EXPECT_EQ(fs::exists(state.path() / "osascript-ran"), c.outcome != notADigest);
        EXPECT_EQ(fs::exists(state.path() / "installed"), c.installerRuns);
        if (c.installerRuns) {
            // The installer gets a copy in a fresh folder only root can reach, never the user's file.
            const fs::path copy = test::readFile(state.path() / "installed");
            EXPECT_EQ(copy.parent_path().parent_path(), root());
            EXPECT_EQ(test::readFile(state.path() / "folder-mode"), "drwx------\n");
            EXPECT_EQ(test::readFile(state.path() / "installed-bytes"), package);
        }
        EXPECT_TRUE(rootFolders().empty());
        EXPECT_FALSE(fs::exists(touched));
    }

    // A stop while the installer runs ends it, and its folder goes too.
    resetAdmin();
    state.write("installer-part", "sleep 30\n");
    CancellableProcess handle;
    std::jthread stopper([&] {
        if (test::eventually([&] { return fs::exists(state.path() / "installed-bytes"); }))
            handle.cancel();
    });
    EXPECT_EQ(runInstallerAsAdmin(*bin.runner(), path, digest, "p", handle),
              AdminInstallOutcome(AdminInstallOutcome::Canceled{}));
    EXPECT_TRUE(rootFolders().empty());

    // Each argument is quoted once for the root shell, then the whole command for AppleScript.
    const std::string script = adminInstallScript("/tmp/p'.pkg", "ab", "Say \"yes\" \\o/");
    EXPECT_TRUE(script.starts_with("do shell script \"/bin/sh -c '")) << script;
    EXPECT_TRUE(
        script.ends_with("' sh '/tmp/p'\\\\''.pkg' 'ab'\" with administrator privileges with prompt "
                         "\"Say \\\"yes\\\" \\\\o/\""))
        << script;
}

TEST_F(BrewRunnerTest, AStopEndsEveryStageAtOnceAndCleansUp) {
    auto runUntil = [&](Stream<InstallerEvent>& stream, const std::string& text) {
        while (auto event = stream.next()) {
            const auto* output = std::get_if<InstallerEvent::Output>(&event->value);
            if (output && output->text == text)
                return true;
        }
        return false;
    };
    auto stoppedCleanly = [&](Stream<InstallerEvent>& stream, std::chrono::milliseconds limit) {
        stream.cancel();
        EXPECT_TRUE(test::eventually([&] { return standIns.privateFolders().empty(); }, limit));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(brewRuns().size(), 1u);
    };

    // During an attempt.
    attempts({"echo 'brew> started'\nexec sleep 30"});
    {
        auto stream = runner().installCask("foo", "p", Policy::none());
        ASSERT_TRUE(runUntil(stream, "brew> started"));
        stoppedCleanly(stream, std::chrono::seconds(10));
    }
    // During the pause: well before its two seconds are up, and no retry is asked of the process service
    // (a retry started after the stop may die before its first line, so the count is taken there).
    {
        auto process = std::make_shared<test::FakeProcessRunner>();
        process->whenStream(test::FakeProcessRunner::anyCallTo("/opt/homebrew/bin/brew"),
                            {ProcessStreamEvent::Exited{1}});
        auto brew = runner();
        brew.process = process;
        auto stream = brew.installCask("foo", "p", Policy::none());
        ASSERT_TRUE(runUntil(stream, kPause));
        stream.cancel();
        EXPECT_TRUE(test::eventually([&] { return standIns.privateFolders().empty(); },
                                     std::chrono::milliseconds(1500)));
        EXPECT_EQ(process->calls().size(), 1U);
    }
    // During the release lookup and during the download.
    attempts({kTerminalPassword});
    {
        std::atomic<bool> sawStop = false;
        Policy policy;
        policy.pkgFallback = fallback([&sawStop](std::stop_token stop) -> Result<Policy::PKGFallback::Asset> {
            std::mutex mutex;
            std::condition_variable_any never;
            std::unique_lock lock(mutex);
            never.wait_for(lock, stop, std::chrono::seconds(30), [] { return false; });
            sawStop = stop.stop_requested();
            return fail(Error{kHTTPErrorDomain, static_cast<int>(HTTPErrorCode::cancelled), "cancelled"});
        });
        auto stream = runner().installCask("foo", "p", policy);
        ASSERT_TRUE(runUntil(stream, lookupLine()));
        stoppedCleanly(stream, std::chrono::seconds(5));
        EXPECT_TRUE(sawStop);
    }
    attempts({kTerminalPassword});
    {
        auto http = std::make_shared<test::StallingHTTP>();
        Policy policy;
        policy.pkgFallback = fallback([](std::stop_token) -> Result<Policy::PKGFallback::Asset> {
            return Policy::PKGFallback::Asset{"https://example.invalid/p.pkg", std::string(64, 'a')};
        });
        auto stream = runner(http).installCask("foo", "p", policy);
        ASSERT_TRUE(runUntil(stream, "GET https://example.invalid/p.pkg"));
        ASSERT_TRUE(test::eventually([&] { return http->calls() == 1; }));
        stoppedCleanly(stream, std::chrono::seconds(5));
    }
}

TEST(InstallerChildTest, TheTranscriptKeepsTheLastWholeLinesUpToItsLimit) {
    // Three times the limit in lines of 64 bytes, then the line a recovery looks for.
    CancellableProcess holder;
    auto [sink, events] = makeStream<InstallerEvent>();
    events.cancel();  // nobody reads the lines; only the transcript counts here
    const auto outcome = relayInstallerChild(LiveProcessRunner(), test::kTestChild,
                                             {"flood", std::to_string(3 * kMaximumTranscriptSize), "64",
                                              "line", "Error: It seems there is ALREADY"},
                                             {}, holder, sink, std::stop_token(), "test child");

    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_LE(outcome.transcript.size(), kMaximumTranscriptSize);
    EXPECT_GT(outcome.transcript.size(), kMaximumTranscriptSize - 64);
    EXPECT_TRUE(outcome.transcript.starts_with(std::string(63, 'f') + "\n"));
    EXPECT_TRUE(outcome.transcript.ends_with("\nerror: it seems there is already\n"));
}

TEST(InstallerChildTest, AReaderThatFallsBehindHoldsTheChildBackOnItsPipeAndLosesNothing) {
    // Far more lines than may wait for the reader, then a mark that the child got to its end.
    constexpr std::size_t kBytes = 2 * 1024 * 1024;
    constexpr std::size_t kLine = 100;
    static_assert(kBytes / kLine > 3 * kPendingOutputLines);
    test::TemporaryDirectory folder;
    const fs::path ended = folder.path() / "ended";
    const std::string script = shellSingleQuoted(test::kTestChild) + " flood " + std::to_string(kBytes) +
                               " " + std::to_string(kLine) + " && : > " + shellSingleQuoted(ended.string());
    CancellableProcess holder;
    auto [sink, events] = makeStream<InstallerEvent>();
    std::jthread relay([&, relayed = sink] {
        relayInstallerChild(LiveProcessRunner(), "/bin/sh", {"-c", script}, {}, holder, relayed,
                            std::stop_token(), "test child");
        relayed.finish();
    });

    // Nobody reads yet: the child waits on its full pipe instead of its lines piling up in memory.
    EXPECT_FALSE(test::eventually([&] { return fs::exists(ended); }, std::chrono::seconds(1)));

    std::size_t lines = 0;
    std::size_t bytes = 0;
    while (auto event = events.next()) {
        const auto& output = std::get<InstallerEvent::Output>(event->value);
        EXPECT_EQ(output.text.find_first_not_of('f'), std::string::npos);
        ++lines;
        bytes += output.text.size();
    }
    relay.join();
    EXPECT_TRUE(fs::exists(ended));
    EXPECT_EQ(lines, (kBytes + kLine - 1) / kLine);
    EXPECT_EQ(bytes, kBytes - kBytes / kLine);  // every byte but the line breaks
}

TEST_F(BrewRunnerTest, TemurinPresenceLooksAtTheNamedVersionOrAnyTemurin) {
    test::TemporaryDirectory root;
    auto mapped =
        std::make_shared<test::PathMappingFileSystem>(std::make_shared<LiveFileSystem>(), root.path());
    BrewRunner brew = runner();
    brew.fs = mapped;
    auto addJDK = [&](const std::string& name, bool executable) {
        const auto java =
            root.write("Library/Java/JavaVirtualMachines/" + name + "/Contents/Home/bin/java", "#!/bin/sh\n");
        if (executable)
            fs::permissions(java, fs::perms::owner_all, fs::perm_options::add);
    };
    EXPECT_FALSE(brew.temurinJavaPath("temurin"));
    addJDK("zulu-21.jdk", true);
    addJDK("temurin-17.jdk", false);
    EXPECT_FALSE(brew.temurinJavaPath("temurin"));
    addJDK("temurin-21.jdk", true);
    EXPECT_TRUE(brew.temurinJavaPath("temurin"));
    EXPECT_TRUE(brew.temurinJavaPath("temurin@"));
    EXPECT_TRUE(brew.temurinJavaPath("temurin@21"));
    EXPECT_FALSE(brew.temurinJavaPath("temurin@17"));
}

}  // namespace
}  // namespace quill
