#include "ui/setupflow/setup_workflow_view.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>

#include "engine/core/task.h"
#include "engine/products/brew/brew_config.h"
#include "engine/products/claude/claude_config.h"
#include "engine/products/claude/claude_probes.h"
#include "engine/products/cli/cli_config.h"
#include "engine/products/code/code_config.h"
#include "engine/services/live_file_system.h"
#include "engine/setup/setup_stage.h"
#include "engine/telemetry/shut_down.h"
#include "tests/support/fake_process_runner.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/path_mapping_file_system.h"
#include "tests/support/process_watch.h"
#include "tests/support/temporary_home.h"
#include "tests/ui/forking_install.h"
#include "tests/ui/ui_test_support.h"
#include "ui/app/application.h"
#include "ui/app/main_window.h"
#include "ui/app/quill_root_view.h"
#include "ui/common/nps_feedback_card.h"
#include "ui/common/screen_scaffold.h"
#include "ui/common/settings.h"
#include "ui/common/style.h"
#include "ui/setupflow/install_log.h"
#include "ui/setupflow/step_pages.h"

namespace quill::ui::test {
namespace {

using Step = SetupFlowModel::Step;
using Class = SetupDiagnosisClassification;
using Pending = SetupFlowModel::PendingInstall;
using Outcome = InstallRun::Outcome;
namespace fs = std::filesystem;

/// Answers every probe with `bundle` (nothing found unless a test fills it).
struct FixedProbes final : SetupProber {
    SetupProbeBundle bundle;
    SetupProbeBundle probe(const ShellRunner&, const FileSystemOperating&, std::stop_token) const override {
        return bundle;
    }
};

/// Answers every verification with `result`, once the test lets it.
struct FixedVerifier final : SetupVerifier {
    SetupVerificationResult result;
    mutable std::atomic<bool> held = false;
    SetupVerificationResult verify(const std::optional<SystemProfile>&, const ShellRunner&,
                                   const FileSystemOperating&, std::stop_token) const override {
        held.wait(true);
        return result;
    }
    void hold(bool value) {
        held = value;
        held.notify_all();
    }
};

/// Stages with fixed diagnoses and the fixes each offers.
struct FixedProvider final : SpineProvider {
    std::vector<std::tuple<std::string, DomainPlacement, Class>> stages;
    std::map<std::string, std::vector<SetupRemediation>> fixes;
    std::map<std::string, SetupDiagnosis> diagnoses;  // in place of the stand-in texts
    std::optional<SetupWorkflow> workflow(const std::optional<std::string>&, const SystemProfile&,
                                          const SetupProbeBundle&,
                                          const SpineWorkflowSelection&) const override {
        SetupWorkflow workflow;
        for (const auto& [id, placement, classification] : stages) {
            const auto given = diagnoses.find(id);
            workflow.steps.push_back(
                {std::make_shared<BasicSetupStage>(
                     id,
                     given != diagnoses.end()
                         ? given->second
                         : SetupDiagnosis{"Headline of " + id, "Detail of " + id, classification},
                     std::vector<SetupAction>{}),
                 placement});
        }
        return workflow;
    }
    std::vector<SetupRemediation> remediations(const std::string& domainID, const SystemProfile&,
                                               const SetupProbeBundle&) const override {
        const auto found = fixes.find(domainID);
        return found == fixes.end() ? std::vector<SetupRemediation>{} : found->second;
    }
};

/// Each event sent from `from` on, as "<name> <data as JSON>".
std::vector<std::string> eventsSince(const ScopedTelemetryCapture& capture, std::size_t from) {
    std::vector<std::string> lines;
    const auto all = capture.events();
    for (std::size_t index = from; index < all.size(); ++index)
        lines.push_back(all[index].name + " " + toJSON(all[index].data).dump());
    return lines;
}

std::vector<std::string> ids(const std::vector<SetupRemediation>& fixes) {
    std::vector<std::string> result;
    result.reserve(fixes.size());
    for (const auto& fix : fixes)
        result.push_back(fix.id());
    return result;
}

/// A stage's page shows once what it reads from the disk is in: waits for that.
void awaitStageSection(SetupWorkflowView* view, const Step& step) {
    if (!step.is<Step::Stage>())
        return;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return std::ranges::any_of(view->findChildren<ScreenScaffold*>(),
                                       [](const QWidget* scaffold) { return scaffold->isVisible(); });
        },
        5000));
    // Widgets added to a shown page show on a queued call.
    QCoreApplication::sendPostedEvents();
}

class SetupWorkflowViewTest : public UiTest {
  protected:
    SetupWorkflowViewTest() {
        config.reset();
        config = std::make_unique<ScopedProductConfig>(products::code());
        context.services.fs = std::make_shared<quill::test::PathMappingFileSystem>(
            std::make_shared<LiveFileSystem>(), machineRoot.path());
        context.services.isFixtureMode = false;
        context.services.processRunner = std::make_shared<quill::test::FakeProcessRunner>();
        context.services.store->setString(productKey(".experience_bucket"), "learning");
        provider->stages = {{"homebrew", DomainPlacement::primary, Class::fixable},
                            {"languages", DomainPlacement::primary, Class::fixable},
                            {"git", DomainPlacement::primary, Class::fixable},
                            {"ai-claude", DomainPlacement::primary, Class::fixable},
                            {"editor", DomainPlacement::primary, Class::blocked},
                            {"warp", DomainPlacement::offer, Class::fixable},
                            {"skills", DomainPlacement::optional, Class::fixable},
                            {"mcp", DomainPlacement::optional, Class::unknown},
                            {"project", DomainPlacement::optional, Class::fixable}};
        provider->fixes = {{"homebrew", {SetupRemediation::installHomebrew()}},
                           {"warp", {SetupRemediation::installWarp()}},
                           {"ai-claude", {SetupRemediation::installClaudeCLI()}},
                           {"project", {SetupRemediation::createProject(ProjectTemplate::coding)}}};
        machine.homebrewPrefix = "/opt/homebrew/bin/brew";
    }

    SetupFlowModel::Seams seams() {
        SetupFlowModel::Seams seams;
        seams.profiler = [this](const AppServices&, std::stop_token) { return machine; };
        seams.strategies = [provider = provider, verifier = verifier,
                            probes = probes](const ProductConfig& product) {
            auto strategies = products::productStrategies(product);
            strategies.prober = probes;
            strategies.spineProvider = provider;
            strategies.verifier = verifier;
            return strategies;
        };
        return seams;
    }

    /// The screen, shown, its model at the diagnosis summary.
    SetupWorkflowView* openScreen() {
        auto* view = new SetupWorkflowView(context, seams());
        screen.reset(view);
        showWindow(view);
        view->appeared();
        EXPECT_TRUE(QTest::qWaitFor([&] { return view->model().step() == Step::diagnosisSummary(); }, 5000));
        return view;
    }

    /// The screen as the app shows it, pushed in the main window (whose Return and Quit keys act on it), its
    /// model at the diagnosis summary.
    SetupWorkflowView* openInWindow() {
        context.services.store->setBool(productKey(".consented"), true);
        RootViewOptions options;
        options.services = context.services;
        options.profile = machine;
        options.urls = urls;
        options.clipboard = clipboard;
        options.destinations.setupWorkflow = [this](ScreenContext& c) -> ScreenPage* {
            return new SetupWorkflowView(c, seams());
        };
        mainWindow = openMainWindow(std::move(options));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(mainWindow.get()));
        qobject_cast<QuillRootView*>(mainWindow->centralWidget())->navigation().push(Screen::setupWorkflow());
        auto* view = mainWindow->findChild<SetupWorkflowView*>();
        EXPECT_TRUE(QTest::qWaitFor([&] { return view->model().step() == Step::diagnosisSummary(); }, 5000));
        return view;
    }

    /// Moves the flow to `step`; a stage's page is waited for until what it reads from the disk is in.
    void go(SetupWorkflowView* view, const Step& step) {
        view->model().goToStep(step);
        QCoreApplication::sendPostedEvents();
        awaitStageSection(view, step);
    }

    /// An executable file at `path` of the mapped machine.
    void makeExecutable(const std::string& path) {
        const auto real = machineRoot.path() / fs::path(path).relative_path();
        fs::create_directories(real.parent_path());
        std::ofstream(real) << "#!/bin/sh\n";
        fs::permissions(real, fs::perms::owner_all);
    }

    quill::test::TemporaryDirectory machineRoot;
    std::shared_ptr<FixedProvider> provider = std::make_shared<FixedProvider>();
    std::shared_ptr<FixedVerifier> verifier = std::make_shared<FixedVerifier>();
    std::shared_ptr<FixedProbes> probes = std::make_shared<FixedProbes>();
    SystemProfile machine;
    std::unique_ptr<SetupWorkflowView> screen;
    std::unique_ptr<MainWindow> mainWindow;
};

TEST_F(SetupWorkflowViewTest, EachStepShowsItsTextsTitleAndControls) {
    struct Case {
        const char* name;
        Step step;
        std::vector<const char*> texts;  // shown labels or buttons
        const char* title;
        std::vector<const char*> ids;
    };
    const std::vector<Case> cases = {
        {"loading", Step::loading(), {}, nullptr, {}},
        {"experience",
         Step::experienceQuestion(),
         {"What's your experience level?", "Learning to code"},
         "Your experience",
         {"experience-learning", "experience-skip"}},
        {"summary",
         Step::diagnosisSummary(),
         {"Here's what the system check found"},
         "Diagnosis",
         {"diagnosis-continue"}},
        {"readiness",
         Step::readinessWarning({SetupFlowModel::ReadinessWarning::Disk{{DiskVerdict::low, 4'000'000'000}}}),
         {},
         nullptr,
         {"readiness-continue", "readiness-stop"}},
        {"stage-homebrew", Step::stage("homebrew"), {"Skip"}, nullptr, {"stage-skip"}},
        {"stage-blocked", Step::stage("editor"), {"Detail of editor", "Continue"}, nullptr, {}},
        {"keep-going",
         Step::keepGoingGate(),
         {"Keep going", "Finish here"},
         nullptr,
         {"keep-going", "finish-here"}},
        {"verifying", Step::verifying(), {}, "Done", {}},
        {"outcome",
         Step::outcome(),
         {"Yes, all set", "Not quite"},
         "Done",
         {"outcome-resolved", "outcome-blocked"}},
        {"nps", Step::nps(), {"We need your feedback", "Done"}, nullptr, {"nps-done"}},
    };
    // The coding product, and a bare configuration whose texts and titles all come from the defaults.
    ProductConfig bare;
    bare.displayName = "Bare";
    for (const auto& product : {products::code(), bare}) {
        SCOPED_TRACE(product.displayName);
        ScopedProductConfig scoped(product);
        // Loading, and the interstitial and experience question when the product has none, carry its name.
        for (const auto& step : {Step::loading(), Step::interstitial()})
            EXPECT_EQ(SetupWorkflowView::windowTitleFor(step), product.displayName);
        if (!product.experienceQuestion) {
            EXPECT_EQ(SetupWorkflowView::windowTitleFor(Step::experienceQuestion()), product.displayName);
        }
        auto* view = openScreen();
        for (const auto& testCase : cases) {
            SCOPED_TRACE(testCase.name);
            if (testCase.step == Step::experienceQuestion() && !product.experienceQuestion)
                continue;
            go(view, testCase.step);
            for (const char* text : testCase.texts)
                EXPECT_TRUE(byText(view, QString::fromUtf8(text)) != nullptr ||
                            visibleLabelTexts(view).contains(QString::fromUtf8(text)))
                    << text;
            if (testCase.title != nullptr) {
                EXPECT_EQ(view->windowTitle().toStdString(), testCase.title);
            }
            EXPECT_EQ(view->windowTitle().toStdString(), SetupWorkflowView::windowTitleFor(testCase.step));
            for (const char* id : testCase.ids)
                visibleById(view, QString::fromLatin1(id));
            if (product.displayName != bare.displayName)
                saveGrab(view, QStringLiteral("step-") + QString::fromLatin1(testCase.name));
        }
    }
}

/// Moves the screen to `step` and waits until its page is shown and laid out.
void showStep(SetupWorkflowView* view, const Step& step) {
    view->model().goToStep(step);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const auto pages = view->findChildren<StepPage*>(QString(), Qt::FindDirectChildrenOnly);
            return std::ranges::any_of(pages, [](StepPage* page) { return page->isVisible(); });
        },
        5000));
    awaitStageSection(view, step);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

/// Every text that `root`'s window shows with a backtick: labels as rendered, button texts, window titles.
QStringList backticksShown(QWidget* root) {
    QStringList shown = shownLabelTexts(root);
    for (auto* button : root->findChildren<QAbstractButton*>())
        if (button->isVisible())
            shown.push_back(shownText(button));
    shown.push_back(root->window()->windowTitle());
    shown.removeIf([](const QString& text) { return !text.contains(QLatin1Char('`')); });
    return shown;
}

/// The controls under `root` (root included) that still hold a colour of `from` that `to` does not have: in
/// their style sheets or in palette roles set on them.
QStringList staleColours(QWidget* root, const QPalette& from, const QPalette& to) {
    const auto rgbs = [](const QPalette& palette) {
        std::set<QRgb> all;
        for (int role = 0; role < QPalette::NColorRoles; ++role)
            all.insert(palette.color(QPalette::Active, QPalette::ColorRole(role)).rgb());
        return all;
    };
    std::set<QRgb> stale = rgbs(from);
    for (const QRgb rgb : rgbs(to))
        stale.erase(rgb);
    QStringList found;
    auto widgets = root->findChildren<QWidget*>();
    widgets.push_back(root);
    static const QRegularExpression hex(QStringLiteral("#[0-9a-fA-F]{8}"));
    for (QWidget* widget : widgets) {
        QString what;
        for (const auto& match : hex.globalMatch(widget->styleSheet())) {
            if (stale.contains(QColor::fromString(match.captured()).rgb()))
                what += QStringLiteral(" sheet ") + match.captured();
        }
        const QPalette& own = widget->palette();
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const QColor colour = own.color(QPalette::Active, QPalette::ColorRole(role));
            if ((own.resolveMask() & (QPalette::ResolveMask(1) << role)) != 0 && stale.contains(colour.rgb()))
                what += QStringLiteral(" role %1 ").arg(role) + colour.name();
        }
        if (!what.isEmpty())
            found.push_back(QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ') +
                            widget->objectName() + what);
    }
    return found;
}

/// What on `page` does not fit: a label whose text needs more room than it has, or a widget beyond the page
/// or, in a scroll area, beyond its scrolled content.
std::vector<std::string> misfits(QWidget* page) {
    std::vector<std::string> found;
    for (auto* widget : page->findChildren<QWidget*>()) {
        if (!widget->isVisible())
            continue;
        const auto name =
            widget->metaObject()->className() + std::string(" ") + widget->objectName().toStdString();
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            const QRect room = label->contentsRect();
            const int flags = label->wordWrap() ? int(Qt::TextWordWrap) : 0;
            const QSize needed = label->textFormat() == Qt::PlainText
                                     ? label->fontMetrics().boundingRect(room, flags, label->text()).size()
                                     : QSize(room.width(), label->heightForWidth(label->width()));
            if (needed.width() > room.width() || needed.height() > room.height())
                found.push_back(name + " cut: " + label->text().left(40).toStdString());
        }
        QWidget* bounds = page;
        for (QWidget* up = widget->parentWidget(); up != page; up = up->parentWidget()) {
            if (auto* scroller = qobject_cast<QScrollArea*>(up);
                scroller && scroller->widget() && scroller->widget()->isAncestorOf(widget))
                bounds = scroller->widget();
        }
        if (!bounds->rect().contains(QRect(widget->mapTo(bounds, QPoint()), widget->size())))
            found.push_back(name + " beyond its page");
    }
    return found;
}

/// Whether `control` draws a ring with the focus: most of its edge changes to stand out from the window at
/// 3:1.
bool drawsFocusRing(QWidget* control) {
    const QImage focused = control->grab().toImage();
    control->clearFocus();
    const QImage unfocused = control->grab().toImage();
    control->setFocus(Qt::TabFocusReason);
    const QColor window = control->window()->palette().color(QPalette::Window);
    int edge = 0;
    int ring = 0;
    for (int y = 0; y < focused.height(); ++y) {
        for (int x = 0; x < focused.width(); ++x) {
            if (QRect(2, 2, focused.width() - 4, focused.height() - 4).contains(x, y))
                continue;
            const QColor shown = focused.pixelColor(x, y);
            ++edge;
            ring += shown != unfocused.pixelColor(x, y) && Style::contrast(shown, window) >= 3.0 ? 1 : 0;
        }
    }
    return ring >= 0.6 * edge;
}

TEST_F(SetupWorkflowViewTest, InterstitialShowsItsButtonBeforeItsDisclosure) {
    for (const bool withDisclosure : {true, false}) {
        SCOPED_TRACE(withDisclosure);
        auto product = products::code();
        product.spinePolicy.postPrimaryInterstitial = SpineRenderPolicy::InterstitialScreen{
            "Plan",
            "Pick a plan",
            "Some tools need a paid plan.",
            "Continue to checks",
            withDisclosure ? std::optional<std::string>("Billed by the vendor.") : std::nullopt,
            ""};
        ScopedProductConfig scoped(product);
        auto* view = openScreen();
        go(view, Step::interstitial());
        EXPECT_EQ(view->windowTitle(), QStringLiteral("Plan"));
        auto* button = visibleById<QPushButton>(view, QStringLiteral("paid-plan-continue"));
        auto* disclosure = qobject_cast<QLabel*>(byText(view, QStringLiteral("Billed by the vendor.")));
        EXPECT_EQ(disclosure != nullptr, withDisclosure);
        if (disclosure != nullptr && button != nullptr) {
            EXPECT_LT(button->mapTo(view, QPoint()).y(), disclosure->mapTo(view, QPoint()).y());
        }
        if (withDisclosure)
            saveGrab(view, QStringLiteral("step-interstitial"));
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(view->model().step() == Step::verifying());
    }
    // A bare configuration passes straight on to verification. Verification over the fake tools ends at
    // once, so the steps are recorded as they pass rather than polled.
    auto* view = openScreen();
    std::vector<Step> steps;
    QObject::connect(&view->model(), &SetupFlowModel::stepChanged, view,
                     [&steps, view] { steps.push_back(view->model().step()); });
    go(view, Step::interstitial());
    ASSERT_TRUE(QTest::qWaitFor([&] { return steps.size() >= 2; }, 5000));
    EXPECT_TRUE(steps[0] == Step::interstitial());
    EXPECT_TRUE(steps[1] == Step::verifying());
}

TEST_F(SetupWorkflowViewTest, SectionsOfferTheirChoicesAndHandOverTheExactInstall) {
    makeExecutable("/opt/homebrew/bin/brew");
    auto* view = openScreen();
    // The cask picker: offered rows ticked once, the other disabled; its install continues past a failure.
    go(view, Step::stage("ai-claude"));
    auto* desktop = visibleById<QCheckBox>(view, QStringLiteral("install-claude-desktop"));
    auto* cli = visibleById<QCheckBox>(view, QStringLiteral("install-claude-cli"));
    ASSERT_TRUE(desktop && cli);
    EXPECT_FALSE(desktop->isEnabled());
    EXPECT_TRUE(cli->isChecked());
    saveGrab(view, QStringLiteral("section-casks"));
    auto* install = qobject_cast<QPushButton*>(byText(view, QStringLiteral("Install selected")));
    ASSERT_NE(install, nullptr);
    cli->click();
    EXPECT_FALSE(install->isEnabled());
    cli->click();
    install->click();
    ASSERT_TRUE(view->model().pendingInstall());
    EXPECT_EQ(view->model().pendingInstall()->id, "ai-claude");
    EXPECT_EQ(view->model().pendingInstall()->title, "Install Claude");
    EXPECT_EQ(ids(view->model().pendingInstall()->remediations), ids({SetupRemediation::installClaudeCLI()}));
    EXPECT_TRUE(view->model().pendingInstall()->continuesPastFailure);
    ASSERT_NE(view->sheet(), nullptr);
    view->sheet()->reject();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->model().pendingInstall(); }, 5000));

    // Languages, in the catalogue's order; nothing to install until one is chosen.
    go(view, Step::stage("languages"));
    for (const char* id : {"lang-python", "lang-node", "lang-java", "lang-ruby", "lang-rust"})
        visibleById<QCheckBox>(view, QString::fromLatin1(id));
    install = qobject_cast<QPushButton*>(byText(view, QStringLiteral("Install selected")));
    ASSERT_NE(install, nullptr);
    EXPECT_FALSE(install->isEnabled());
    visibleById<QCheckBox>(view, QStringLiteral("lang-node"))->click();
    saveGrab(view, QStringLiteral("section-languages"));
    install->click();
    ASSERT_TRUE(view->model().pendingInstall());
    EXPECT_EQ(view->model().pendingInstall()->id, "languages");
    EXPECT_EQ(ids(view->model().pendingInstall()->remediations),
              ids({SetupRemediation::installMise(), SetupRemediation::installNodeViaMise()}));
    view->sheet()->reject();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->model().pendingInstall(); }, 5000));

    // Git: configuring needs both fields; the run stops at a failure.
    go(view, Step::stage("git"));
    auto fields = view->findChildren<QLineEdit*>();
    ASSERT_EQ(fields.size(), 2);
    EXPECT_EQ(fields[0]->placeholderText(), QStringLiteral("Name"));
    EXPECT_EQ(fields[1]->placeholderText(), QStringLiteral("Email"));
    QTest::keyClicks(fields[0], QStringLiteral("Ada"));
    QTest::keyClicks(fields[1], QStringLiteral("ada@example.com"));
    saveGrab(view, QStringLiteral("section-git"));
    qobject_cast<QPushButton*>(byText(view, QStringLiteral("Install selected")))->click();
    ASSERT_TRUE(view->model().pendingInstall());
    EXPECT_EQ(ids(view->model().pendingInstall()->remediations),
              ids({SetupRemediation::configureGit("Ada", "ada@example.com"), SetupRemediation::installGh(),
                   SetupRemediation::githubAuth()}));
    EXPECT_FALSE(view->model().pendingInstall()->continuesPastFailure);
    view->sheet()->reject();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->model().pendingInstall(); }, 5000));
    EXPECT_EQ(view->model().selections().gitName, "Ada");

    // Skills are ticked once from the catalogue's preselection; MCP shows only Skip; project the plain list.
    go(view, Step::stage("skills"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->model().selections().skillsSeeded; }, 5000));
    saveGrab(view, QStringLiteral("section-skills"));
    go(view, Step::stage("mcp"));
    visibleById(view, QStringLiteral("stage-skip"));
    saveGrab(view, QStringLiteral("section-mcp"));
    go(view, Step::stage("project"));
    EXPECT_NE(byText(view, QString::fromStdString(
                               SetupRemediation::createProject(ProjectTemplate::coding).displayLabel())),
              nullptr);
    saveGrab(view, QStringLiteral("section-project"));
}

// Without Homebrew the GitHub CLI cannot be installed, and signing in needs it.
TEST_F(SetupWorkflowViewTest, GitFormWithoutHomebrewOffersOnlyWhatCanRun) {
    const auto ghLabel = QString::fromStdString(SetupRemediation::installGh().displayLabel());
    const auto signInLabel = QString::fromStdString(SetupRemediation::githubAuth().displayLabel());
    for (const bool ghPresent : {false, true}) {
        SCOPED_TRACE(ghPresent ? "with gh" : "without gh");
        probes->bundle.ghPresent = ghPresent;
        auto* view = openScreen();
        go(view, Step::stage("git"));
        auto* gh = qobject_cast<QCheckBox*>(byText(view, ghLabel));
        ASSERT_EQ(gh == nullptr, ghPresent);
        if (gh != nullptr) {
            EXPECT_FALSE(gh->isChecked() || gh->isEnabled());
        }
        auto* signIn = qobject_cast<QCheckBox*>(byText(view, signInLabel));
        ASSERT_NE(signIn, nullptr);
        EXPECT_EQ(signIn->isChecked(), ghPresent);
        EXPECT_EQ(signIn->isEnabled(), ghPresent);
        // What Install would run, whatever the boxes show.
        const auto& chosen = view->model().selections().gitFixes;
        EXPECT_FALSE(chosen.contains(SetupRemediation::installGh().id()));
        EXPECT_EQ(chosen.contains(SetupRemediation::githubAuth().id()), ghPresent);
        saveGrab(view, QStringLiteral("section-git-no-homebrew-gh-%1").arg(ghPresent));
    }
}

// The identity is saved only with both a name and an e-mail address.
TEST_F(SetupWorkflowViewTest, GitIdentityNeedsBothFields) {
    const auto configureLabel = QString::fromStdString(SetupRemediation::configureGit("", "").displayLabel());
    struct Case {
        const char* name;
        const char* email;
        bool configures;
    };
    const std::vector<Case> cases = {
        {"Ada", "", false},
        {"", "ada@example.com", false},
        {" ", "\t", false},
        {"Ada", "ada@example.com", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " / " + c.email);
        probes->bundle.ghPresent = true;
        auto* view = openScreen();
        go(view, Step::stage("git"));
        auto fields = view->findChildren<QLineEdit*>();
        ASSERT_EQ(fields.size(), 2);
        QTest::keyClicks(fields[0], QString::fromUtf8(c.name));
        QTest::keyClicks(fields[1], QString::fromUtf8(c.email));
        auto* configure = qobject_cast<QCheckBox*>(byText(view, configureLabel));
        ASSERT_NE(configure, nullptr);
        EXPECT_EQ(configure->isEnabled(), c.configures);
        qobject_cast<QPushButton*>(byText(view, QStringLiteral("Install selected")))->click();
        ASSERT_TRUE(view->model().pendingInstall());
        const auto run = ids(view->model().pendingInstall()->remediations);
        EXPECT_EQ(std::ranges::count(run, SetupRemediation::configureGit("", "").id()), c.configures ? 1 : 0);
        view->sheet()->reject();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !view->model().pendingInstall(); }, 5000));
    }
}

TEST_F(SetupWorkflowViewTest, OfferStageReportsOneActionAndGatesOnHomebrew) {
    auto* view = openScreen();
    go(view, Step::stage("warp"));
    saveGrab(view, QStringLiteral("section-generic"));
    auto mark = telemetry.events().size();
    auto* fix = qobject_cast<QPushButton*>(
        byText(view, QString::fromStdString(SetupRemediation::installWarp().displayLabel())));
    ASSERT_NE(fix, nullptr);
    fix->click();
    const auto sent = eventsSince(telemetry, mark);
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(
        sent[0],
        R"(offer_action {"action":"selected","next_step":null,"offer_id":"warp","offer_surface":"post_homebrew","result":null})");
    EXPECT_TRUE(view->model().pendingInstall());
    view->sheet()->reject();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->model().pendingInstall(); }, 5000));
    mark = telemetry.events().size();
    visibleById<QPushButton>(view, QStringLiteral("stage-skip"))->click();
    EXPECT_TRUE(eventsSince(telemetry, mark).empty()) << "a later action reports nothing";

    // Without Homebrew, a stage that needs it shows the gate.
    machine.homebrewPrefix.reset();
    auto* bare = openScreen();
    go(bare, Step::stage("warp"));
    EXPECT_NE(
        byText(bare, QStringLiteral("This step installs with Homebrew, which isn't installed yet. Install "
                                    "Homebrew first, or skip.")),
        nullptr);
    saveGrab(bare, QStringLiteral("section-homebrew-gate"));
    mark = telemetry.events().size();
    visibleById<QPushButton>(bare, QStringLiteral("stage-skip"))->click();
    ASSERT_EQ(eventsSince(telemetry, mark).size(), 1U);
    EXPECT_NE(eventsSince(telemetry, mark)[0].find(R"("action":"dismissed")"), std::string::npos);

    // A grouped install hands over all of the stage's fixes, stopping at a failure, and reports no action.
    auto product = products::code();
    product.spinePolicy.specialStages["warp"] =
        SpineRenderPolicy::GroupedInstall{"Install the terminal", "terminal-all", "install-terminal"};
    ScopedProductConfig scoped(product);
    machine.homebrewPrefix = "/opt/homebrew/bin/brew";
    auto* grouped = openScreen();
    go(grouped, Step::stage("warp"));
    mark = telemetry.events().size();
    visibleById<QPushButton>(grouped, QStringLiteral("install-terminal"))->click();
    EXPECT_TRUE(eventsSince(telemetry, mark).empty());
    ASSERT_TRUE(grouped->model().pendingInstall());
    EXPECT_EQ(*grouped->model().pendingInstall(),
              (Pending{"terminal-all", "Install the terminal", {SetupRemediation::installWarp()}, false}));
}

TEST_F(SetupWorkflowViewTest,
       OutcomeHeadlineSaysReadyOnlyAfterAPassedVerificationAndTheAnswersReplyToAQuestion) {
    for (const auto& product : {products::code(), products::cli(), products::brew(), products::claude()}) {
        ScopedProductConfig scoped(product);
        // Failed, never run (the outcome reached without a verification), passed.
        for (const std::optional<bool> passed :
             {std::optional(false), std::optional<bool>(), std::optional(true)}) {
            const bool ready = passed.value_or(false);
            SCOPED_TRACE(product.appID + (passed ? (ready ? " passed" : " failed") : " missing"));
            verifier->result = SetupVerificationResult{"", ready};
            auto* view = openScreen();
            if (passed) {
                go(view, Step::verifying());
                ASSERT_TRUE(QTest::qWaitFor([&] { return view->model().verifyResult().has_value(); }, 5000));
            }
            go(view, Step::outcome());
            const auto copy = view->strategies().spineCopy;
            const auto texts = shownLabelTexts(view);
            EXPECT_EQ(texts.contains(QString::fromStdString(copy->completionHeadline())), ready);
            EXPECT_EQ(texts.contains(QStringLiteral("Some tools still need attention")), !ready);
            EXPECT_EQ(texts.contains(QString::fromStdString(copy->someUnverifiedText())), !ready);
            // The question stands on its own line just above the answers.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            const auto* question = byText(view, QString::fromStdString(copy->feedbackQuestion()));
            const auto* resolved = visibleById(view, QStringLiteral("outcome-resolved"));
            ASSERT_TRUE(question && resolved);
            const int answersTop = resolved->mapTo(view, QPoint()).y();
            EXPECT_LE(question->mapTo(view, QPoint(0, question->height())).y(), answersTop);
            if (product.appID == products::code().appID)
                saveGrab(view, QStringLiteral("step-outcome-%1-%2").arg(passed.has_value()).arg(ready));
        }
    }
}

TEST_F(SetupWorkflowViewTest, OutcomeOpensInstalledAppsInThePolicysOrderAndTheExampleProjects) {
    const quill::test::TemporaryHome home;
    auto product = products::code();
    product.spinePolicy.outcomeOpenableApps = [](const auto&, const auto&) {
        return std::vector<SpineRenderPolicy::OpenableApp>{
            {"Open Zed", "Zed.app"}, {"Open Warp", "Warp.app"}, {"Open Missing", "Missing.app"}};
    };
    ScopedProductConfig scoped(product);
    // Warp in both folders (the system one wins), Zed only in the home folder, the last one nowhere.
    makeExecutable("/Applications/Warp.app/Contents/MacOS/Warp");
    home.write("Applications/Warp.app/Contents/MacOS/Warp", "");
    home.write("Applications/Zed.app/Contents/MacOS/Zed", "");
    auto* view = openScreen();
    go(view, Step::outcome());
    // The disk's answers come in at once: a found application's button is enabled, a missing one's is not.
    auto* zed = qobject_cast<QPushButton*>(byText(view, QStringLiteral("Open Zed")));
    ASSERT_NE(zed, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return zed->isEnabled(); }, 5000));
    EXPECT_FALSE(qobject_cast<QPushButton*>(byText(view, QStringLiteral("Open Missing")))->isEnabled());
    EXPECT_TRUE(visibleWithId(view, QStringLiteral("show-example-projects")).isEmpty());

    struct Case {
        const char* label;
        std::optional<fs::path> opened;
        std::vector<std::string> events;
    };
    const std::vector<Case> cases = {
        {"Open Zed", home / "Applications/Zed.app", {R"(app_opened {"app":"Zed"})"}},
        {"Open Warp", "/Applications/Warp.app", {R"(app_opened {"app":"Warp"})"}},
        {"Open Missing", std::nullopt, {}},
    };
    int above = -1;
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        auto* open = qobject_cast<QPushButton*>(byText(view, QString::fromLatin1(testCase.label)));
        ASSERT_NE(open, nullptr);
        EXPECT_GT(open->mapTo(view, QPoint()).y(), above) << "in the policy's order";
        above = open->mapTo(view, QPoint()).y();
        urls->opened.clear();
        const auto mark = telemetry.events().size();
        open->click();
        EXPECT_EQ(urls->opened, testCase.opened ? std::vector<QUrl>{QUrl::fromLocalFile(
                                                      QString::fromStdString(testCase.opened->string()))}
                                                : std::vector<QUrl>{});
        EXPECT_EQ(eventsSince(telemetry, mark), testCase.events);
    }
    saveGrab(view, QStringLiteral("step-outcome-apps"));

    // An example project in Documents brings the button that opens the folder.
    home.write(fs::path("Documents") / std::string(projectFolderName(ProjectTemplate::coding)) / "README.md",
               "");
    view = openScreen();
    go(view, Step::outcome());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !visibleWithId(view, QStringLiteral("show-example-projects")).isEmpty(); }, 5000));
    urls->opened.clear();
    visibleById<QPushButton>(view, QStringLiteral("show-example-projects"))->click();
    EXPECT_EQ(urls->opened,
              std::vector<QUrl>{QUrl::fromLocalFile(QString::fromStdString((home / "Documents").string()))});
}

/// Holds back the first look at a path that holds `marker` until the test releases it; every other call
/// passes at once.
class HoldingFileSystem final : public quill::test::ForwardingFileSystem {
  public:
    HoldingFileSystem(std::shared_ptr<const FileSystemOperating> inner, std::string marker)
        : ForwardingFileSystem(std::move(inner)), m_marker(std::move(marker)) {}
    void release() {
        {
            std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_changed.notify_all();
    }
    [[nodiscard]] bool holding() const {
        std::lock_guard lock(m_mutex);
        return m_holding;
    }

  private:
    [[nodiscard]] fs::path route(const fs::path& path) const override {
        if (path.string().find(m_marker) == std::string::npos)
            return path;
        std::unique_lock lock(m_mutex);
        if (!std::exchange(m_first, false))
            return path;
        m_holding = true;
        m_changed.wait(lock, [&] { return m_released; });
        m_holding = false;
        return path;
    }
    std::string m_marker;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    mutable bool m_first = true;
    mutable bool m_holding = false;
    bool m_released = false;
};

TEST_F(SetupWorkflowViewTest, TheOutcomesAppButtonsFollowOnlyTheDisksAnswerForTheAppsShown) {
    const quill::test::TemporaryHome home;
    home.write("Applications/Zed.app/Contents/MacOS/Zed", "");
    auto apps = std::make_shared<std::vector<SpineRenderPolicy::OpenableApp>>(
        std::vector<SpineRenderPolicy::OpenableApp>{{"Open Zed", "Zed.app"}});
    auto product = products::code();
    product.spinePolicy.outcomeOpenableApps = [apps](const auto&, const auto&) { return *apps; };
    ScopedProductConfig scoped(product);
    auto holding = std::make_shared<HoldingFileSystem>(context.services.fs, "Zed.app");
    context.services.fs = holding;
    const auto releaseAtTheEnd = qScopeGuard([&] { holding->release(); });
    auto* view = openScreen();
    go(view, Step::outcome());
    // The answer for Zed alone, which found it, is held back while a missing app comes in ahead of it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return holding->holding(); }, 5000));
    *apps = {{"Open Missing", "Missing.app"}, {"Open Zed", "Zed.app"}};
    view->page()->refresh();
    QCoreApplication::sendPostedEvents();  // widgets added to a shown page show on a queued call
    const auto button = [&](const char* label) {
        return qobject_cast<QPushButton*>(byText(view, QString::fromLatin1(label)));
    };
    auto* zed = button("Open Zed");
    ASSERT_NE(zed, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return zed->isEnabled(); }, 5000));
    holding->release();
    ASSERT_TRUE(settle());
    auto* missing = button("Open Missing");
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(missing->isEnabled()) << "the answer for the old list was applied";
    EXPECT_TRUE(zed->isEnabled());
    missing->click();
    zed->click();
    EXPECT_EQ(urls->opened, std::vector<QUrl>{QUrl::fromLocalFile(
                                QString::fromStdString((home / "Applications/Zed.app").string()))});
}

TEST_F(SetupWorkflowViewTest, FeedbackStepSendsDismissedOnlyWhenUnanswered) {
    for (const bool answer : {true, false}) {
        SCOPED_TRACE(answer);
        auto* view = openScreen();
        go(view, Step::nps());
        auto* card = view->findChild<NPSFeedbackCard*>();
        ASSERT_NE(card, nullptr);
        if (answer) {
            card->selectScore(9);
            card->submit();
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return card->phase() == NPSFeedbackCard::Phase::thanks(); }, 5000));
            EXPECT_TRUE(card->isVisible());
        }
        const auto mark = telemetry.events().size();
        navigation.push(Screen::setupWorkflow());
        visibleById<QPushButton>(view, QStringLiteral("nps-done"))->click();
        EXPECT_EQ(eventsSince(telemetry, mark),
                  answer ? std::vector<std::string>{} : std::vector<std::string>{"nps_dismissed {}"});
        EXPECT_TRUE(navigation.path().empty());
        services.store->setBool(productKey(".nps_submitted"), false);
    }
}

TEST_F(SetupWorkflowViewTest, TheLogHoldsEveryLineOfALongInstallWithTheLastInView) {
    // Just over three of the batches the log is handed its lines in; the benchmark runs a long one.
    constexpr int kLines = 3 * static_cast<int>(InstallRun::kEventsPerHandOver) + 1;
    InstallRun::RunFix chatty = [](const SetupRemediation&, const std::string&) {
        return finishedStream<SetupRemediationRunner::Event>([](const auto& sink) {
            for (int line = 1; line <= kLines; ++line)
                sink.yield(SetupRemediationRunner::Event::Output{"line " + std::to_string(line)});
            sink.yield(SetupRemediationRunner::Event::Completed{0});
        });
    };
    std::vector<Outcome> outcomes;
    SetupActionProgressView sheet(context, "Install uv", {SetupRemediation::installUv()}, chatty, true,
                                  [&](Outcome outcome) { outcomes.push_back(outcome); });
    showWindow(&sheet);
    auto* log = sheet.log();
    const auto* lines = log->model();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !sheet.run().isRunning() && lines->rowCount() == kLines; }, 5000));
    ASSERT_TRUE(settle());
    EXPECT_EQ(lines->rowCount(), kLines);
    EXPECT_EQ(lines->index(0, 0).data().toString(), QStringLiteral("line 1"));
    EXPECT_EQ(lines->index(kLines - 1, 0).data().toString(),
              QString::fromStdString("line " + std::to_string(kLines)));
    EXPECT_GT(log->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(log->verticalScrollBar()->value(), log->verticalScrollBar()->maximum());
    const QRect last = log->visualRect(lines->index(kLines - 1, 0));
    EXPECT_TRUE(log->viewport()->rect().contains(last)) << "the last line is in view";
    saveGrab(&sheet, QStringLiteral("sheet-ended"));

    // Once the run has ended, Escape and the close box leave the sheet up; only "Continue" leaves.
    QTest::keyClick(&sheet, Qt::Key_Escape);
    sheet.close();
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_TRUE(outcomes.empty());
    visibleById<QPushButton>(&sheet, QStringLiteral("setup-action-continue"))->click();
    EXPECT_EQ(outcomes, std::vector<Outcome>{Outcome::success});
}

TEST_F(SetupWorkflowViewTest,
       APageOrSheetJustShownTakesNoPressAndNoFocusUntilTheDoubleClickIntervalHasPassed) {
    ScopedDoubleClickInterval interval(400);
    auto* view = openInWindow();
    QWindow* window = view->window()->windowHandle();
    const auto settle = [&](QWidget* root) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !pressesHeld(root); }, 5000));
    };
    const Step readiness = Step::readinessWarning(
        {SetupFlowModel::ReadinessWarning::Network{{NetworkVerdict::slow, 1.04, 2000, 3, 3}}});
    const auto installButton = [&] {
        QPushButton* install = nullptr;
        for (auto* button : view->findChildren<QPushButton*>())
            if (button->isVisible() && shownText(button) == QStringLiteral("Install Homebrew (recommended)"))
                install = button;
        return install;
    };

    // "Continue now" focused by Tab: a double Return moves on once and presses nothing on the stage that
    // arrives, whose page, not its first control, has the focus.
    go(view, readiness);
    QTest::keyClick(window,
                    Qt::Key_Return);  // a page without a default button has nothing focused on arrival
    ASSERT_TRUE(view->model().step() == readiness);
    auto* proceed = visibleById<QPushButton>(view, QStringLiteral("readiness-continue"));
    ASSERT_NE(proceed, nullptr);
    EXPECT_EQ(shownText(proceed), QStringLiteral("Continue now"));
    for (int tab = 0; tab < 10 && QApplication::focusWidget() != proceed; ++tab)
        QTest::keyClick(window, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), proceed);
    QTest::keyClick(window, Qt::Key_Return);
    ASSERT_TRUE(view->model().step() == Step::stage("homebrew"));
    awaitStageSection(view, Step::stage("homebrew"));
    ASSERT_NE(installButton(), nullptr);
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_FALSE(view->model().pendingInstall());
    EXPECT_TRUE(urls->opened.empty());

    // A double click on "Continue now": the second click lands on the new stage's install button under the
    // pointer, which takes neither the press nor the focus, so Return then presses nothing.
    go(view, readiness);
    settle(view);
    proceed = visibleById<QPushButton>(view, QStringLiteral("readiness-continue"));
    clickThroughWindow(proceed);
    ASSERT_TRUE(view->model().step() == Step::stage("homebrew"));
    awaitStageSection(view, Step::stage("homebrew"));
    QPushButton* install = installButton();
    ASSERT_NE(install, nullptr);
    EXPECT_TRUE(pressesHeld(view));
    doubleClickThroughWindow(install);
    EXPECT_FALSE(install->hasFocus());
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_FALSE(view->model().pendingInstall());
    EXPECT_EQ(telemetry.events("network_warning_action").size(), 2U);

    // Once the interval has passed, one click acts; the sheet it opens holds the rest of a double click, and
    // a double Space as it opens reaches no button of it.
    settle(view);
    clickThroughWindow(install);
    ASSERT_NE(view->sheet(), nullptr);
    QPointer<SetupActionProgressView> sheet = view->sheet();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet->isVisible(); }, 5000));
    QTest::keyClick(sheet->windowHandle(), Qt::Key_Space);
    QTest::keyClick(sheet->windowHandle(), Qt::Key_Space);
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(sheet->run().canceled());
    auto* cancel = visibleById<QPushButton>(sheet, QStringLiteral("setup-action-cancel"));
    ASSERT_NE(cancel, nullptr);
    doubleClickThroughWindow(cancel);
    ASSERT_TRUE(sheet) << "the rest of the double click canceled the install";
    EXPECT_FALSE(sheet->run().canceled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet->run().isRunning(); }, 5000));

    // The sheet's Continue: the page beneath takes nothing more of the double click.
    settle(sheet);
    auto* proceedSheet = visibleById<QPushButton>(sheet, QStringLiteral("setup-action-continue"));
    ASSERT_NE(proceedSheet, nullptr);
    QTest::mousePress(sheet->windowHandle(), Qt::LeftButton, {},
                      proceedSheet->mapTo(sheet, proceedSheet->rect().center()));
    QTest::mouseRelease(sheet->windowHandle(), Qt::LeftButton, {},
                        proceedSheet->mapTo(sheet, proceedSheet->rect().center()));
    EXPECT_FALSE(view->model().pendingInstall());
    doubleClickThroughWindow(install);
    EXPECT_EQ(view->sheet(), nullptr);
    EXPECT_FALSE(view->model().pendingInstall());
    EXPECT_EQ(telemetry.events("remediation_applied").size(), 1U);

    // Keys act at once on a page just shown: Space on the focused button.
    go(view, Step::keepGoingGate());
    ASSERT_TRUE(pressesHeld(view));
    auto* keepGoing = visibleById<QPushButton>(view, QStringLiteral("keep-going"));
    ASSERT_NE(keepGoing, nullptr);
    keepGoing->setFocus();
    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_FALSE(view->model().step() == Step::keepGoingGate());
}

/// The screen with its installs run by the real fix runner over a uv installer that forks and waits.
class SetupWorkflowSheetTest : public SetupWorkflowViewTest {
  protected:
    /// The screen at the offer stage with the uv install running in its sheet, over `forking`'s tools.
    SetupWorkflowView* startInstall(const ForkingInstall& forking) {
        context.services.processRunner = forking.scene.runner().process;
        auto* view = openScreen();
        go(view, Step::stage("warp"));
        view->installSelected("warp", Pending{"warp", "Install uv", {SetupRemediation::installUv()}, true});
        EXPECT_NE(view->sheet(), nullptr);
        return view;
    }
};

TEST_F(SetupWorkflowSheetTest, EveryWayOutOfARunningInstallStopsItAndFinishesOnceAsCanceled) {
    struct Case {
        const char* name;
        std::function<void(SetupActionProgressView*)> leave;
    };
    const std::vector<Case> cases = {
        {"Cancel",
         [](SetupActionProgressView* sheet) {
             visibleById<QPushButton>(sheet, QStringLiteral("setup-action-cancel"))->click();
         }},
        {"Escape", [](SetupActionProgressView* sheet) { QTest::keyClick(sheet, Qt::Key_Escape); }},
        {"close box", [](SetupActionProgressView* sheet) { sheet->close(); }},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        ForkingInstall forking;
        auto* view = startInstall(forking);
        QPointer<SetupActionProgressView> sheet = view->sheet();
        ASSERT_TRUE(sheet);
        QSignalSpy finished(&sheet->run(), &InstallRun::finished);
        QSignalSpy pendingChanges(&view->model(), &SetupFlowModel::pendingInstallChanged);
        QSignalSpy refreshes(&view->model(), &SetupFlowModel::refreshingChanged);
        const auto pids = forking.processes();
        ASSERT_EQ(pids.size(), 2U);
        if (std::string(testCase.name) == "Cancel") {
            sheet->resize(720, 720);
            saveGrab(sheet, QStringLiteral("sheet-running"));
        }

        testCase.leave(sheet);
        for (const pid_t pid : pids)
            EXPECT_TRUE(quill::test::waitUntilEnded(pid, std::chrono::seconds(6))) << pid;
        ASSERT_TRUE(settle());
        ASSERT_EQ(finished.size(), 1);
        EXPECT_EQ(finished.front().front().value<Outcome>(), Outcome::canceled);
        EXPECT_EQ(pendingChanges.size(), 1);
        EXPECT_FALSE(view->model().pendingInstall());
        flushDeletes();
        EXPECT_TRUE(sheet.isNull());
        EXPECT_TRUE(view->model().step() == Step::stage("warp")) << "a canceled install stays on its stage";
        EXPECT_TRUE(refreshes.isEmpty()) << "nothing is probed again";
        EXPECT_TRUE(telemetry.events("remediation_failed").empty());
    }
}

TEST_F(SetupWorkflowSheetTest, TheScreenDestroyedMidInstallStopsItsProcessesQuietly) {
    ForkingInstall forking;
    auto* view = startInstall(forking);
    ASSERT_NE(view->sheet(), nullptr);
    QSignalSpy finished(&view->sheet()->run(), &InstallRun::finished);
    const auto pids = forking.processes();
    ASSERT_EQ(pids.size(), 2U);
    const auto mark = telemetry.events().size();

    screen.reset();
    for (const pid_t pid : pids)
        EXPECT_TRUE(quill::test::waitUntilEnded(pid, std::chrono::seconds(6))) << pid;
    ASSERT_TRUE(settle());
    flushDeletes();
    EXPECT_TRUE(finished.isEmpty());
    EXPECT_EQ(eventsSince(telemetry, mark), std::vector<std::string>{});
}

TEST_F(SetupWorkflowSheetTest, AfterItsSheetTheStageHasTheFocusSoReturnStartsNoSecondRun) {
    enum class Open { tabAndReturn, click };
    enum class End { continueAfterFailure, escapeWhileRunning };
    struct Case {
        const char* name;
        Open open;
        End end;
    };
    const std::vector<Case> cases = {
        {"Tab and Return, then Continue after a failure", Open::tabAndReturn, End::continueAfterFailure},
        {"a click, then Continue after a failure", Open::click, End::continueAfterFailure},
        {"Tab and Return, then Escape", Open::tabAndReturn, End::escapeWhileRunning},
        {"a click, then Escape", Open::click, End::escapeWhileRunning},
    };
    provider->fixes["warp"] = {SetupRemediation::installUv()};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ForkingInstall forking;
        if (c.end == End::continueAfterFailure)
            forking.scene.onPath("curl", "exit 1");
        const auto runs = [&] {
            return std::ranges::count_if(forking.scene.starts(),
                                         [](const std::string& start) { return start.starts_with("curl "); });
        };
        context.services.processRunner = forking.scene.runner().process;
        auto* view = openInWindow();
        go(view, Step::stage("warp"));
        QWindow* window = mainWindow->windowHandle();
        auto* install = qobject_cast<QPushButton*>(byText(view, QStringLiteral("Install Python (uv)")));
        ASSERT_NE(install, nullptr);
        const auto tabToInstall = [&] {
            for (int tab = 0; tab < 10 && QApplication::focusWidget() != install; ++tab)
                QTest::keyClick(window, Qt::Key_Tab);
            return QApplication::focusWidget() == install;
        };
        if (c.open == Open::tabAndReturn) {
            ASSERT_TRUE(tabToInstall());
            QTest::keyClick(window, Qt::Key_Return);
        } else {
            clickThroughWindow(install);
        }
        QPointer<SetupActionProgressView> sheet = view->sheet();
        ASSERT_TRUE(sheet);
        ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));
        if (c.end == End::continueAfterFailure) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet->run().isRunning(); }, 20'000));
            ASSERT_NE(sheet->run().exitCode().value_or(0), 0) << "the install failed";
        } else {
            ASSERT_EQ(forking.processes().size(), 2U);
        }
        // As the keyboard delivers them: each key to the window that has the focus by then, 80 ms apart. The
        // first ends the sheet (Continue, its default, or Escape, its Cancel); the rest reach the stage.
        QTest::keyClick(sheet->windowHandle(),
                        c.end == End::continueAfterFailure ? Qt::Key_Return : Qt::Key_Escape);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet || !sheet->isVisible(); }, 5000));
        // The window system gives the keyboard back to the window beneath (offscreen, the test does).
        window->requestActivate();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_Return, {}, 80);
        QTest::keyClick(window, Qt::Key_Return, {}, 80);
        EXPECT_EQ(view->sheet(), nullptr) << "Return started the install again";
        EXPECT_FALSE(view->model().pendingInstall());
        EXPECT_TRUE(settle());
        EXPECT_EQ(runs(), 1);
        EXPECT_TRUE(view->model().step() == Step::stage("warp"));
        // The page itself has the focus, without a ring, and Tab reaches the install again to retry.
        EXPECT_EQ(QApplication::focusWidget(), view->page());
        saveGrab(mainWindow.get(), QStringLiteral("stage-after-sheet"));
        EXPECT_TRUE(tabToInstall());
        mainWindow.reset();
    }
}

TEST_F(SetupWorkflowSheetTest, ClosingTheWindowOrQuittingEndsTheSheetAndLeavesNoProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    enum class Leave { close, quit, quitKey };
    struct Case {
        const char* name;
        bool finished;
        Leave leave;
    };
    for (const auto& c :
         {Case{"close, running", false, Leave::close}, Case{"close, finished", true, Leave::close},
          Case{"quit, running", false, Leave::quit}, Case{"quit, finished", true, Leave::quit},
          Case{"quit key, running", false, Leave::quitKey}}) {
        SCOPED_TRACE(c.name);
        // The death-test process names the file after its parent, this test.
        const auto pidFile = [](pid_t test) {
            return fs::temp_directory_path() / ("quill-sheet-close-" + std::to_string(test));
        };
        fs::remove(pidFile(::getpid()));
        EXPECT_EXIT(
            {
                ForkingInstall forking;
                auto* view = startInstall(forking);
                MainWindow window;
                window.setCentralWidget(screen.release());
                window.show();
                if (!QTest::qWaitForWindowExposed(&window))
                    std::_Exit(2);
                const auto pids = forking.processes();
                std::ofstream(pidFile(::getppid())) << pids[0] << ' ' << pids[1] << '\n';
                if (c.finished) {
                    ::kill(pids[0], SIGTERM);  // the fix ends on its own; the sheet then waits for Continue
                    if (!QTest::qWaitFor([&] { return !view->sheet()->run().isRunning(); }, 20'000))
                        std::_Exit(3);
                }
                // As the window system delivers them: a close event to the window, or the system's Quit.
                const auto start = std::chrono::steady_clock::now();
                if (c.leave == Leave::quitKey) {
                    // Ctrl+Q, where the platform binds no other Quit key.
                    const auto bound = QKeySequence::keyBindings(QKeySequence::Quit);
                    QTest::keySequence(
                        view->sheet()->windowHandle(),
                        bound.isEmpty() ? QKeySequence(Qt::ControlModifier | Qt::Key_Q) : bound.front());
                } else if (c.leave == Leave::quit) {
                    QEvent quit(QEvent::Quit);
                    QCoreApplication::sendEvent(qApp, &quit);
                } else {
                    QCloseEvent close;
                    QCoreApplication::sendEvent(window.windowHandle(), &close);
                }
                const bool inBudget =
                    std::chrono::steady_clock::now() - start < kShutDownBudget + std::chrono::seconds(1);
                std::_Exit(!window.isVisible() && inBudget ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");
        std::ifstream in(pidFile(::getpid()));
        for (pid_t pid = 0; in >> pid;)
            EXPECT_TRUE(quill::test::waitUntilEnded(pid, std::chrono::seconds(6))) << pid;
        fs::remove(pidFile(::getpid()));
    }
}

}  // namespace
}  // namespace quill::ui::test

namespace quill::ui::test {
namespace {

TEST_F(SetupWorkflowViewTest, EveryPageFitsSmallAndLargeWindowsAndRingsEveryTabStop) {
    auto product = products::code();
    product.spinePolicy.postPrimaryInterstitial =
        SpineRenderPolicy::InterstitialScreen{"Plan",
                                              "Pick a plan",
                                              QStringLiteral("word ").repeated(80).toStdString(),
                                              "Continue to checks",
                                              std::string("Billed by the vendor."),
                                              ""};
    ScopedProductConfig scoped(product);
    // The real texts with code spans: the PATH repairs' captions and the agent's blocked finding.
    provider->fixes["homebrew"].push_back(SetupRemediation::repairHomebrewPath());
    provider->fixes["ai-claude"].push_back(SetupRemediation::repairPath("/Users/me/.local/bin"));
    SetupProbeBundle twoInstalls;
    twoInstalls.installedPrimaryToolLocations = {"/opt/homebrew/bin/claude", "/Users/me/.my_tools/claude"};
    provider->diagnoses["editor"] = ClaudeProbes::claudeCLIFinding(twoInstalls);
    verifier->hold(true);                  // the verifying page stays
    for (int more = 0; more < 24; ++more)  // a stage taller than the window
        provider->fixes["project"].push_back(
            SetupRemediation::repairPath("/opt/tool_" + std::to_string(more)));
    auto* view = openScreen();
    std::vector<std::pair<std::string, Step>> pages = {
        {"loading", Step::loading()},
        {"readiness",
         Step::readinessWarning({SetupFlowModel::ReadinessWarning::Disk{{DiskVerdict::low, 4'000'000'000}}})},
        {"experience", Step::experienceQuestion()},
        {"summary", Step::diagnosisSummary()},
        {"interstitial", Step::interstitial()},
        {"verifying", Step::verifying()},
        {"keep-going", Step::keepGoingGate()},
        {"outcome", Step::outcome()},
        {"feedback", Step::nps()}};
    for (const auto& [id, placement, classification] : provider->stages)
        pages.emplace_back("stage-" + id, Step::stage(id));
    int overflowing = 0;
    for (const QSize size : {view->minimumSize(), QSize(1280, 900)}) {
        view->window()->resize(size);
        for (const auto& [name, step] : pages) {
            SCOPED_TRACE(name + " at " + std::to_string(size.width()));
            showStep(view, step);
            EXPECT_EQ(misfits(view), std::vector<std::string>());
            EXPECT_EQ(backticksShown(view), QStringList());
            saveGrab(view, QString::fromStdString("fit-" + name + "-" + std::to_string(size.width())));
            if (size != view->minimumSize())
                continue;
            // On arrival the default button has the focus, or the page itself, which shows no ring.
            QAbstractButton* byDefault = view->defaultButton();
            QWidget* arrived = QApplication::focusWidget();
            ASSERT_NE(arrived, nullptr);
            EXPECT_TRUE(arrived == byDefault || (arrived->focusPolicy() & Qt::TabFocus) == 0)
                << arrived->metaObject()->className();
            // Page Down and Home scroll a page taller than its window.
            QWindow* window = view->windowHandle();
            for (auto* area : view->findChildren<QScrollArea*>()) {
                auto* bar = area->verticalScrollBar();
                if (!area->isVisible() || bar->maximum() == 0)
                    continue;
                ++overflowing;
                QTest::keyClick(window, Qt::Key_PageDown);
                EXPECT_GT(bar->value(), 0);
                QTest::keyClick(window, Qt::Key_Home);
                EXPECT_EQ(bar->value(), 0);
                break;
            }
            // Tab round the page: every stop shows its ring, the first is the page's first control and the
            // article link the last.
            std::vector<QWidget*> order;
            for (int tab = 0; tab < 40; ++tab) {
                QTest::keyClick(window, Qt::Key_Tab);
                QWidget* now = QApplication::focusWidget();
                if (now == nullptr || (now->focusPolicy() & Qt::TabFocus) == 0 ||
                    std::ranges::count(order, now))
                    break;
                order.push_back(now);
                EXPECT_TRUE(drawsFocusRing(now))
                    << now->metaObject()->className() << " " << now->objectName().toStdString();
            }
            // Shift+Tab walks the same stops backwards, from the first control round to the last stop.
            if (!order.empty()) {
                order.front()->setFocus(Qt::TabFocusReason);
                std::vector<QWidget*> back;
                for (std::size_t press = 0; press < order.size(); ++press) {
                    QTest::keyClick(window, Qt::Key_Tab, Qt::ShiftModifier);
                    back.push_back(QApplication::focusWidget());
                }
                EXPECT_EQ(back, std::vector<QWidget*>(order.rbegin(), order.rend()));
            }
            auto* link = byText(view, QStringLiteral("Read the article on Fernwick"));
            if (order.empty() || link == nullptr || byDefault != nullptr)
                continue;
            EXPECT_EQ(order.back(), link)
                << order.back()->metaObject()->className() << " " << order.back()->objectName().toStdString()
                << " of " << order.size();
            const auto top = [&](QWidget* w) { return w->mapTo(view, QPoint()).y(); };
            for (QWidget* w : order)
                EXPECT_LE(top(order.front()), w == link ? top(order.front()) : top(w));
        }
    }
    EXPECT_GT(overflowing, 0) << "no page was taller than its window";
    // The PATH repair's sheet: its heading and title as people read them.
    const auto repair = SetupRemediation::repairHomebrewPath();
    view->installSelected("homebrew", Pending{repair.id(), repair.displayLabel(), {repair}, false});
    ASSERT_NE(view->sheet(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->sheet()->isVisible(); }, 5000));
    EXPECT_EQ(backticksShown(view->sheet()), QStringList());
    EXPECT_EQ(view->sheet()->windowTitle(), QStringLiteral("Fix your PATH so brew is found"));
    saveGrab(view->sheet(), QStringLiteral("sheet-path-repair"));
    // Light to dark and back, with a stage page and the sheet up: no control keeps the colours it had.
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    for (const auto& [role, colour] : std::initializer_list<std::pair<QPalette::ColorRole, const char*>>{
             {QPalette::Window, "#1e1e1e"},
             {QPalette::WindowText, "#f2f2f2"},
             {QPalette::Base, "#282828"},
             {QPalette::Text, "#f2f2f2"},
             {QPalette::Button, "#3a3a3a"},
             {QPalette::ButtonText, "#f2f2f2"},
             {QPalette::Highlight, "#0a84ff"},
             {QPalette::HighlightedText, "#fefefe"},
             {QPalette::PlaceholderText, "#98989d"}})
        dark.setColor(role, QColor::fromString(QLatin1String(colour)));
    for (const QPalette* to : std::initializer_list<const QPalette*>{&dark, &light}) {
        const QPalette from = QApplication::palette();
        QApplication::setPalette(*to);
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ((staleColours(view, from, *to) + staleColours(view->sheet(), from, *to))
                      .join(u'\n')
                      .toStdString(),
                  "");
        if (to == &dark)
            saveGrab(view->sheet(), QStringLiteral("sheet-path-repair-dark"));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->sheet()->run().isRunning(); }, 5000));
    visibleById<QPushButton>(view->sheet(), QStringLiteral("setup-action-continue"))->click();
    ScopedProductConfig agent(products::claude());  // the agent product's own blocked page
    provider->stages = {{"ai-claude", DomainPlacement::primary, Class::blocked}};
    view = openScreen();
    view->window()->resize(view->minimumSize());
    showStep(view, Step::stage("ai-claude"));
    EXPECT_EQ(misfits(view), std::vector<std::string>());
    saveGrab(view, QStringLiteral("fit-agent-blocked"));
    verifier->hold(false);
}

/// Where the outcome's answers stand at each layout, checking meanwhile that the busy bar shows while the
/// checks run and only then.
struct AnswerRecorder : QObject {
    SetupWorkflowView* view = nullptr;
    std::vector<int> heights;
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* answer = static_cast<QWidget*>(watched);
        if ((event->type() != QEvent::Move && event->type() != QEvent::Show) || !answer->isVisible())
            return false;
        heights.push_back(answer->mapTo(view, QPoint()).y());
        const bool running = view->model().outcomeAuditRunning();
        EXPECT_EQ(visibleWithId(view, QStringLiteral("outcome-checking")).size(), running ? 1 : 0);
        if (running && heights.size() == 1)
            saveGrab(view, QStringLiteral("outcome-checking"));
        return false;
    }
};

TEST_F(SetupWorkflowViewTest, TheOutcomesAnswersMoveOnceAtMostWhileItsChecksRun) {
    for (const bool passed : {true, false}) {
        SCOPED_TRACE(passed);
        verifier->result = SetupVerificationResult{"", passed};
        AnswerRecorder recorder;
        recorder.view = openScreen();
        auto& model = recorder.view->model();
        // Watched from the page's making on; a failed verification leads to the outcome by itself.
        QWidget* answer = nullptr;
        const auto connection = QObject::connect(&model, &SetupFlowModel::stepChanged, &recorder, [&] {
            if (model.step() == Step::outcome() && answer == nullptr) {
                answer = recorder.view->findChild<QWidget*>(QStringLiteral("outcome-resolved"));
                answer->installEventFilter(&recorder);
            }
        });
        go(recorder.view, Step::verifying());
        ASSERT_TRUE(QTest::qWaitFor([&] { return model.verifyResult().has_value(); }, 5000));
        model.goToStep(Step::outcome());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return answer != nullptr && answer->isVisible() && !model.outcomeAuditRunning(); }, 5000));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        recorder.heights.push_back(answer->mapTo(recorder.view, QPoint()).y());  // where it came to rest
        QObject::disconnect(connection);
        auto& heights = recorder.heights;
        EXPECT_LE(std::ranges::count_if(heights, [last = heights.front()](
                                                     int y) mutable { return std::exchange(last, y) != y; }),
                  1)
            << ::testing::PrintToString(heights);
    }
}

/// Records every path the GUI thread asks the disk about, while `watching`; `homeDirectory` reads no disk.
class GuiThreadDiskRecorder final : public quill::test::ForwardingFileSystem {
  public:
    using ForwardingFileSystem::ForwardingFileSystem;
    [[nodiscard]] Result<std::filesystem::path> userDirectory(UserDirectory which,
                                                              IfMissing ifMissing) const override {
        record("user directory");
        return ForwardingFileSystem::userDirectory(which, ifMissing);
    }
    [[nodiscard]] std::vector<std::string> calls() const {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::atomic<bool> watching = false;

  private:
    [[nodiscard]] fs::path route(const fs::path& path) const override {
        record(path.string());
        return path;
    }
    void record(const std::string& what) const {
        if (watching && QThread::currentThread() == QCoreApplication::instance()->thread()) {
            std::lock_guard lock(m_mutex);
            m_calls.push_back(what);
        }
    }
    mutable std::mutex m_mutex;
    mutable std::vector<std::string> m_calls;
};

// A slow or hung home volume must not freeze the window: pages and sections read the disk on workers.
TEST_F(SetupWorkflowViewTest, NoPageOrSectionTouchesTheDiskOnTheWindowsThread) {
    const quill::test::TemporaryHome home;
    home.write("Applications/Zed.app/Contents/MacOS/Zed", "");
    home.write(fs::path("Documents") / std::string(projectFolderName(ProjectTemplate::coding)) / "README.md",
               "");
    makeExecutable("/opt/homebrew/bin/brew");
    auto product = products::code();
    product.spinePolicy.outcomeOpenableApps = [](const auto&, const auto&) {
        return std::vector<SpineRenderPolicy::OpenableApp>{{"Open Zed", "Zed.app"}};
    };
    ScopedProductConfig scoped(product);
    auto recorder = std::make_shared<GuiThreadDiskRecorder>(context.services.fs);
    context.services.fs = recorder;
    verifier->result = SetupVerificationResult{"", true};
    for (const bool homebrew : {true, false}) {
        SCOPED_TRACE(homebrew ? "with Homebrew" : "without Homebrew, the gate");
        if (!homebrew)
            machine.homebrewPrefix.reset();
        auto* view = openScreen();
        recorder->watching = true;
        for (const auto& [id, placement, classification] : provider->stages) {
            SCOPED_TRACE(id);
            go(view, Step::stage(id));
            for (auto* box : view->findChildren<QCheckBox*>()) {
                if (box->isVisible() && box->isEnabled())
                    box->click();
            }
            QCoreApplication::sendPostedEvents();
        }
        go(view, Step::verifying());
        ASSERT_TRUE(QTest::qWaitFor([&] { return view->model().verifyResult().has_value(); }, 5000));
        go(view, Step::outcome());
        auto* zed = qobject_cast<QPushButton*>(byText(view, QStringLiteral("Open Zed")));
        ASSERT_NE(zed, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return zed->isEnabled(); }, 5000));
        urls->opened.clear();
        zed->click();
        visibleById<QPushButton>(view, QStringLiteral("show-example-projects"))->click();
        EXPECT_EQ(urls->opened,
                  (std::vector<QUrl>{
                      QUrl::fromLocalFile(QString::fromStdString((home / "Applications/Zed.app").string())),
                      QUrl::fromLocalFile(QString::fromStdString((home / "Documents").string()))}));
        recorder->watching = false;
        EXPECT_EQ(recorder->calls(), std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace quill::ui::test
