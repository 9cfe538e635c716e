#include "ui/setupflow/setup_flow_model.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "engine/core/overloaded.h"
#include "engine/core/shell_quote.h"
#include "engine/products/cli/cli_verifier.h"
#include "engine/products/code/code_config.h"
#include "engine/services/live_process_runner.h"
#include "engine/setup/setup_stage.h"
#include "engine/telemetry/shut_down.h"
#include "tests/support/fake_process_runner.h"
#include "tests/support/process_watch.h"
#include "tests/support/scripted_file_system.h"
#include "tests/support/temporary_home.h"
#include "tests/ui/ui_test_support.h"
#include "ui/common/settings.h"

namespace quill::ui {

void PrintTo(const SetupFlowModel::Step& step, std::ostream* out) {  // NOLINT(readability-identifier-naming)
    using S = SetupFlowModel::Step;
    std::visit(Overloaded{
                   [&](const S::Stage& stage) { *out << "stage(" << stage.domainID << ")"; },
                   [&](const S::ReadinessWarning&) { *out << "readinessWarning"; },
                   [&](const S::Loading&) { *out << "loading"; },
                   [&](const S::ExperienceQuestion&) { *out << "experienceQuestion"; },
                   [&](const S::DiagnosisSummary&) { *out << "diagnosisSummary"; },
                   [&](const S::Interstitial&) { *out << "interstitial"; },
                   [&](const S::Verifying&) { *out << "verifying"; },
                   [&](const S::KeepGoingGate&) { *out << "keepGoingGate"; },
                   [&](const S::Outcome&) { *out << "outcome"; },
                   [&](const S::Nps&) { *out << "nps"; },
               },
               step.value);
}

namespace test {
namespace {

using Model = SetupFlowModel;
using Step = SetupFlowModel::Step;
using Class = SetupDiagnosisClassification;
using quill::test::FakeProcessRunner;
using quill::test::processResult;

/// The Mac the fakes describe: its stages and their diagnoses, what the checks measure and what the
/// verifier finds. Work that reads it waits while it is held, so a test can act while work runs.
/// Thread-safe.
struct World {
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false;
    bool networkHeld = false;  // holds only the connection check
    int probes = 0;
    int measurements = 0;
    std::vector<std::tuple<std::string, DomainPlacement, Class>> stages;
    NetworkReadinessResult network;
    std::optional<std::int64_t> freeBytes;
    SetupVerificationResult verification;

    void set(const std::string& domainID, Class classification) {
        std::lock_guard lock(mutex);
        for (auto& [id, placement, diagnosis] : stages) {
            if (id == domainID)
                diagnosis = classification;
        }
    }
    void hold() {
        std::lock_guard lock(mutex);
        held = true;
    }
    void release() {
        {
            std::lock_guard lock(mutex);
            held = false;
        }
        changed.notify_all();
    }
    std::unique_lock<std::mutex> await() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return !held; });
        return lock;
    }
    std::unique_lock<std::mutex> awaitNetwork() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return !held && !networkHeld; });
        return lock;
    }
    void holdNetwork(bool hold) {
        {
            std::lock_guard lock(mutex);
            networkHeld = hold;
        }
        changed.notify_all();
    }
    int probeCount() {
        std::lock_guard lock(mutex);
        return probes;
    }
};

struct WorldProber final : SetupProber {
    std::shared_ptr<World> world;
    SetupProbeBundle probe(const ShellRunner&, const FileSystemOperating&, std::stop_token) const override {
        auto lock = world->await();
        ++world->probes;
        return {};
    }
};

struct WorldProvider final : SpineProvider {
    std::shared_ptr<World> world;
    std::optional<SetupWorkflow> workflow(const std::optional<std::string>&, const SystemProfile&,
                                          const SetupProbeBundle&,
                                          const SpineWorkflowSelection&) const override {
        std::lock_guard lock(world->mutex);
        SetupWorkflow workflow;
        for (const auto& [id, placement, classification] : world->stages) {
            workflow.steps.push_back(
                {std::make_shared<BasicSetupStage>(id, SetupDiagnosis{id, "", classification},
                                                   std::vector<SetupAction>{}),
                 placement});
        }
        return workflow;
    }
    std::vector<SetupRemediation> remediations(const std::string&, const SystemProfile&,
                                               const SetupProbeBundle&) const override {
        return {};
    }
};

struct WorldVerifier final : SetupVerifier {
    std::shared_ptr<World> world;
    SetupVerificationResult verify(const std::optional<SystemProfile>&, const ShellRunner&,
                                   const FileSystemOperating&, std::stop_token) const override {
        auto lock = world->await();
        return world->verification;
    }
};

/// Each event as "<name> <data as JSON>".
std::vector<std::string> described(const std::vector<NamedEvent>& events) {
    std::vector<std::string> lines;
    lines.reserve(events.size());
    for (const auto& event : events)
        lines.push_back(event.name + " " + toJSON(event.data).dump());
    return lines;
}

class SetupFlowModelTest : public UiTest {
  protected:
    SetupFlowModelTest() {
        config.reset();
        config = std::make_unique<ScopedProductConfig>(products::code());
        context.services.processRunner = process;
        context.services.fs = std::make_shared<quill::test::ScriptedFileSystem>();
        world->stages = {
            {"clt", DomainPlacement::primary, Class::ready},
            {"homebrew", DomainPlacement::primary, Class::fixable},
            {"shell-config", DomainPlacement::primary, Class::fixable},
            {"languages", DomainPlacement::primary, Class::fixable},
            {"git", DomainPlacement::primary, Class::fixable},
            {"warp", DomainPlacement::offer, Class::fixable},
            {"skills", DomainPlacement::optional, Class::unknown},
        };
        world->network = {NetworkVerdict::slow, 1.04, 2000, 3, 3};
        world->freeBytes = 25'000'000'000;
        world->verification = {"  git version 2.44 \n", true, 0, "likely_resolved", {}, {}};
        machine.terminals.iterm = true;
    }

    /// The model, with the world's verifier unless `verifier` is given.
    std::unique_ptr<Model> makeModel(std::shared_ptr<const SetupVerifier> verifier = nullptr) {
        Model::Seams seams;
        seams.profiler = [machine = machine](const AppServices&, std::stop_token) { return machine; };
        seams.freeSpace = [world = world](const std::filesystem::path&) {
            auto lock = world->await();
            return world->freeBytes;
        };
        seams.measureNetwork = [world = world](const AppServices&, const NetworkReadinessConfig&) {
            auto lock = world->awaitNetwork();
            ++world->measurements;
            return world->network;
        };
        seams.strategies = [world = world, verifier](const ProductConfig&) {
            auto prober = std::make_shared<WorldProber>();
            prober->world = world;
            auto provider = std::make_shared<WorldProvider>();
            provider->world = world;
            auto worldVerifier = std::make_shared<WorldVerifier>();
            worldVerifier->world = world;
            return products::ProductStrategies{
                prober, provider, nullptr,
                verifier ? verifier : std::shared_ptr<const SetupVerifier>(worldVerifier)};
        };
        return std::make_unique<Model>(ProductConfig::current(), context, std::move(seams));
    }

    static bool reaches(const Model& model, const Step& step) {
        return QTest::qWaitFor([&] { return model.step() == step; }, 5000);
    }

    /// Sets an install on the stage shown, then returns from it as the screen does.
    static void install(Model& model, InstallRun::Outcome outcome) {
        model.setPendingInstall(Model::PendingInstall{"id", "title", {}, false});
        model.setPendingInstall(std::nullopt);
        model.installDidFinish(outcome);
    }

    /// A model at verification: every primary stage ready, no experience question due.
    std::unique_ptr<Model> modelAtSummary(std::shared_ptr<const SetupVerifier> verifier = nullptr) {
        services.store->setString(productKey(".experience_bucket"), "learning");
        auto model = makeModel(std::move(verifier));
        model->start();
        EXPECT_TRUE(reaches(*model, Step::diagnosisSummary()));
        return model;
    }

    std::shared_ptr<World> world = std::make_shared<World>();
    std::shared_ptr<FakeProcessRunner> process = std::make_shared<FakeProcessRunner>();
    SystemProfile machine;
};

TEST_F(SetupFlowModelTest, WalksEveryStepAndReportsEachMilestone) {
    // The verification's output names the home folder, which its event's excerpt masks.
    const passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    world->verification.rawOutput =
        "  git version 2.44 at /Users/" + std::string(user->pw_name) + "/bin/git \n";
    process->whenRun(FakeProcessRunner::scriptContaining("xcode-select -p"),
                     processResult(0, "/Library/CLT\n"));
    process->whenRun(FakeProcessRunner::scriptContaining("git --version"),
                     processResult(0, "\ngit version 2.44\n"));
    process->whenRun(FakeProcessRunner::scriptContaining("brew --version"),
                     processResult(0, "Homebrew 4.4.1\n"));
    process->whenRun(FakeProcessRunner::scriptContaining("uv --version"), processResult(0, "uv 0.4\n"));
    auto model = makeModel();
    QSignalSpy leave(model.get(), &Model::leaveRequested);

    model->start();
    ASSERT_TRUE(reaches(*model, Step::experienceQuestion()));
    model->answerExperienceQuestion("learning");
    model->answerExperienceQuestion("very-experienced");
    ASSERT_TRUE(reaches(*model, Step::diagnosisSummary()));
    EXPECT_EQ(services.store->string(productKey(".experience_bucket")), "learning");

    // The gate: a slow connection and a low disk, warned about in that order.
    model->checkReadinessAndBegin();
    EXPECT_EQ(model->step(), Step::loading());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->step().is<Step::ReadinessWarning>(); }, 5000));
    EXPECT_TRUE(model->step().as<Step::ReadinessWarning>()->warning.value.index() == 0);
    EXPECT_EQ(model->pendingReadiness().size(), 1U);
    model->continueAfterReadinessWarning();
    ASSERT_TRUE(model->step().is<Step::ReadinessWarning>());
    model->continueAfterReadinessWarning();
    ASSERT_EQ(model->step(), Step::stage("homebrew"));

    // Installs that are cancelled or fail outside the partial-failure domains stay on the stage.
    install(*model, InstallRun::Outcome::canceled);
    install(*model, InstallRun::Outcome::failure);
    ASSERT_TRUE(settle());
    EXPECT_EQ(model->step(), Step::stage("homebrew"));
    EXPECT_EQ(world->probeCount(), 1);

    // A success probes again; the shell configuration it made ready is passed over.
    world->set("homebrew", Class::ready);
    world->set("shell-config", Class::ready);
    world->hold();
    install(*model, InstallRun::Outcome::success);
    EXPECT_TRUE(model->refreshing());
    EXPECT_EQ(model->step(), Step::stage("homebrew"));
    world->release();
    ASSERT_TRUE(reaches(*model, Step::stage("languages")));
    EXPECT_FALSE(model->refreshing());

    // Languages move on after a failure.
    install(*model, InstallRun::Outcome::failure);
    ASSERT_TRUE(reaches(*model, Step::stage("git")));
    model->skipStage("git");

    // Verification passes: the offer stage, then the gate, then the optional stage and the outcome.
    ASSERT_TRUE(reaches(*model, Step::stage("warp")));
    ASSERT_TRUE(settle());
    model->recordOfferAction("warp");
    world->set("warp", Class::ready);
    install(*model, InstallRun::Outcome::success);
    ASSERT_TRUE(reaches(*model, Step::keepGoingGate()));
    model->enterOptionalStages();
    ASSERT_EQ(model->step(), Step::stage("skills"));
    model->skipStage("skills");
    ASSERT_EQ(model->step(), Step::outcome());
    EXPECT_TRUE(model->outcomeAuditRunning()) << "from the outcome's first showing";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model->outcomeAudit().empty(); }, 5000));
    EXPECT_FALSE(model->outcomeAuditRunning());
    const std::vector<OutcomeAuditSection> checklist = {
        {"Foundation",
         {"Command Line Tools installed", "git version 2.44", "Homebrew installed — version 4.4.1"}},
        {"Languages", {"Python installed (with uv)"}},
    };
    EXPECT_EQ(model->outcomeAudit(), checklist);

    EXPECT_FALSE(model->reportOutcome("resolved"));
    EXPECT_FALSE(model->reportOutcome("not_resolved"));
    ASSERT_EQ(model->step(), Step::nps());
    model->dismissNPS();
    EXPECT_EQ(leave.size(), 1);

    const std::vector<std::string> expected = {
        R"(experience_bucket {"bucket":"learning"})",
        R"(diagnosis_reached {"blocked_count":0,"fixable_count":4,"reason":"fixable","terminal_count":1,"terminals":["iterm2"]})",
        R"(network_check {"down_mbps":1.0,"endpoints_reachable":3,"endpoints_total":3,"estimated_install_seconds":2000,"verdict":"slow"})",
        R"(disk_space_check {"available_gb":25,"headroom_gb":10,"verdict":"low","worst_case_gb":20})",
        R"(network_warning_action {"action":"continue","verdict":"slow"})",
        R"(disk_warning_action {"action":"continue","verdict":"low"})",
        R"(verify_passed {"cli_version_excerpt":"git version 2.44 at /Users/~/bin/git","engine_outcome":"likely_resolved"})",
        R"(offer_shown {"eligibility_reason":"warp_not_installed","goal":null,"next_step":null,"offer_id":"warp","offer_surface":"post_homebrew"})",
        R"(offer_action {"action":"selected","next_step":null,"offer_id":"warp","offer_surface":"post_homebrew","result":null})",
        R"(outcome_reported {"engine_outcome":"likely_resolved","self_report":"resolved"})",
        R"(nps_shown {})",
        R"(nps_dismissed {})",
    };
    EXPECT_EQ(described(telemetry.events()), expected);
}

TEST_F(SetupFlowModelTest, ShorterWalks) {
    world->stages = {{"clt", DomainPlacement::primary, Class::ready},
                     {"homebrew", DomainPlacement::primary, Class::fixable}};
    {
        SCOPED_TRACE("a failed verification without an exit code goes to the outcome with no checklist");
        ScopedTelemetryCapture capture;
        world->verification = {"", false, std::nullopt, std::nullopt, {}, {}};
        world->set("homebrew", Class::ready);
        world->network = {NetworkVerdict::ok, 80.0, 30, 3, 3};
        world->freeBytes = 35'000'000'000;
        auto model = modelAtSummary();
        model->checkReadinessAndBegin();  // both checks run and pass
        ASSERT_TRUE(reaches(*model, Step::outcome()));
        ASSERT_TRUE(settle());
        EXPECT_TRUE(model->outcomeAudit().empty());
        EXPECT_TRUE(process->calls().empty());
        EXPECT_EQ(described(capture.events("verify_failed")),
                  std::vector<std::string>{R"(verify_failed {"engine_outcome":"","exit_code":-1})"});

        SCOPED_TRACE("an answer after a score was given leaves without asking again");
        writeFlag(*services.store, productKey(".nps_submitted"), true);
        QSignalSpy leave(model.get(), &Model::leaveRequested);
        EXPECT_TRUE(model->reportOutcome("not_resolved"));
        EXPECT_EQ(leave.size(), 1);
        EXPECT_EQ(model->step(), Step::outcome());
        EXPECT_EQ(described(capture.events("outcome_reported")).size(), 1U);
        EXPECT_TRUE(capture.events("nps_shown").empty());
        writeFlag(*services.store, productKey(".nps_submitted"), false);
    }
    {
        SCOPED_TRACE("stop at the first of two warnings");
        ScopedTelemetryCapture capture;
        world->network = {NetworkVerdict::unreachable, std::nullopt, std::nullopt, 0, 3};
        world->freeBytes = 2'000'000'000;
        world->set("homebrew", Class::fixable);
        auto model = modelAtSummary();
        QSignalSpy leave(model.get(), &Model::leaveRequested);
        model->checkReadinessAndBegin();
        ASSERT_TRUE(QTest::qWaitFor([&] { return model->step().is<Step::ReadinessWarning>(); }, 5000));
        model->stopAtReadinessWarning();
        EXPECT_EQ(leave.size(), 1);
        EXPECT_TRUE(model->pendingReadiness().empty());
        EXPECT_EQ(
            described(capture.events("network_warning_action")),
            std::vector<std::string>{R"(network_warning_action {"action":"stop","verdict":"unreachable"})"});
        EXPECT_TRUE(capture.events("disk_warning_action").empty());
        EXPECT_TRUE(capture.events("experience_bucket").empty()) << "a stored bucket skips the question";
    }
}

TEST_F(SetupFlowModelTest, LateResultsAndRepeatedPressesAreDropped) {
    auto model = modelAtSummary();
    {
        SCOPED_TRACE("the gate runs once per press, and not after the summary has gone");
        world->holdNetwork(true);
        model->checkReadinessAndBegin();
        model->checkReadinessAndBegin();
        model->start();  // rewinds to the summary while the gate measures
        ASSERT_TRUE(reaches(*model, Step::diagnosisSummary()));
        world->holdNetwork(false);
        ASSERT_TRUE(settle());
        EXPECT_EQ(model->step(), Step::diagnosisSummary());
        std::lock_guard lock(world->mutex);
        EXPECT_EQ(world->measurements, 1);
    }
    EXPECT_TRUE(telemetry.events("network_check").empty());
    model->checkReadinessAndBegin();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->step().is<Step::ReadinessWarning>(); }, 5000));
    model->continueAfterReadinessWarning();
    model->continueAfterReadinessWarning();
    ASSERT_EQ(model->step(), Step::stage("homebrew"));
    {
        SCOPED_TRACE("a return whose stage has gone is ignored");
        model->setPendingInstall(Model::PendingInstall{"id", "title", {}, false});
        model->skipStage("homebrew");
        model->setPendingInstall(std::nullopt);
        const int probes = world->probeCount();
        model->installDidFinish(InstallRun::Outcome::success);
        ASSERT_TRUE(settle());
        EXPECT_EQ(world->probeCount(), probes);
        EXPECT_EQ(model->step(), Step::stage("shell-config"));
    }
    {
        SCOPED_TRACE("the user moved on during the re-probe: they stay where they are");
        world->hold();
        world->set("git", Class::ready);
        install(*model, InstallRun::Outcome::success);
        EXPECT_TRUE(model->refreshing());
        model->skipStage("shell-config");
        model->skipStage("languages");
        ASSERT_EQ(model->step(), Step::stage("git"));
        world->release();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !model->refreshing(); }, 5000));
        EXPECT_EQ(model->step(), Step::stage("git")) << "only the data is published";
        EXPECT_EQ(model->workflow()->nextDomainNeedingAction(DomainPlacement::primary, "languages"),
                  std::nullopt);
    }
}

TEST_F(SetupFlowModelTest, AModelDestroyedDuringItsWorkRunsNoContinuation) {
    services.store->setString(productKey(".experience_bucket"), "learning");
    const std::vector<std::pair<const char*, std::function<void(Model&)>>> kinds = {
        {"load", [](Model& model) { model.start(); }},
        {"gate",
         [this](Model& model) {
             world->release();
             model.start();
             ASSERT_TRUE(reaches(model, Step::diagnosisSummary()));
             world->hold();
             model.checkReadinessAndBegin();
         }},
        {"re-probe",
         [this](Model& model) {
             world->release();
             model.start();
             ASSERT_TRUE(reaches(model, Step::diagnosisSummary()));
             model.goToStep(Step::stage("homebrew"));
             world->hold();
             install(model, InstallRun::Outcome::success);
         }},
        {"verification",
         [this](Model& model) {
             world->hold();
             model.goToStep(Step::verifying());
             QCoreApplication::sendPostedEvents();
         }},
    };
    for (const auto& [name, begin] : kinds) {
        SCOPED_TRACE(name);
        ScopedTelemetryCapture capture;
        auto model = makeModel();
        world->hold();
        begin(*model);
        const auto sent = capture.events().size();
        model.reset();
        world->release();
        ASSERT_TRUE(settle());
        EXPECT_EQ(capture.events().size(), sent);
    }
    {
        SCOPED_TRACE("checklist, stopped when the outcome is left");
        process->whenRun(FakeProcessRunner::scriptContaining("xcode-select -p"), processResult(0, "/CLT\n"),
                         std::chrono::milliseconds(300));
        world->set("warp", Class::ready);
        auto model = makeModel();
        model->goToStep(Step::verifying());
        ASSERT_TRUE(reaches(*model, Step::keepGoingGate()));
        model->goToStep(Step::outcome());
        ASSERT_TRUE(QTest::qWaitFor([&] { return process->calls().size() == 1; }, 5000));
        model->goToStep(Step::nps());
        ASSERT_TRUE(settle());
        EXPECT_TRUE(model->outcomeAudit().empty());
        EXPECT_EQ(process->calls().size(), 1U) << "no check runs after the outcome was left";
        model->goToStep(Step::outcome());
        model.reset();
        ASSERT_TRUE(settle());
    }
}

// A quit during verification stops its login shell, even one held up by its start-up file, and the shutdown
// returns well within its budget, with nothing left running that would make it force the process out.
TEST_F(SetupFlowModelTest, AQuitDuringVerificationEndsItsLoginShellAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto started = [](pid_t test) {
        return std::filesystem::temp_directory_path() / ("quill-verify-quit-" + std::to_string(test));
    };
    std::filesystem::remove(started(::getpid()));
    EXPECT_EXIT(
        {
            const quill::test::TemporaryHome home;
            const auto file = shellSingleQuoted(started(::getppid()).string());
            home.write(".zprofile", "echo $$ >> " + file + "\nsleep 60 &\necho $! >> " + file + "\nwait\n");
            context.services.processRunner = std::make_shared<LiveProcessRunner>();
            auto model = modelAtSummary(std::make_shared<CliVerifier>());
            model->goToStep(Step::verifying());
            const auto shellsStarted = [&] {
                std::ifstream in(started(::getppid()));
                return std::count(std::istreambuf_iterator<char>(in), {}, '\n') >= 2;
            };
            if (!QTest::qWaitFor(shellsStarted, 20'000))
                std::_Exit(2);
            const auto start = std::chrono::steady_clock::now();
            shutDown(start + kShutDownBudget);
            // Codes the forced exit, which gives 0, never gives.
            std::_Exit(std::chrono::steady_clock::now() - start < kShutDownBudget / 2 ? 10 : 11);
        },
        ::testing::ExitedWithCode(10), "");
    std::ifstream in(started(::getpid()));
    int count = 0;
    for (pid_t pid = 0; in >> pid; ++count)
        EXPECT_TRUE(quill::test::waitUntilEnded(pid, std::chrono::seconds(1))) << pid;
    EXPECT_EQ(count, 2);
    std::filesystem::remove(started(::getpid()));
}

}  // namespace
}  // namespace test
}  // namespace quill::ui
