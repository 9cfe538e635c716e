#include "ui/setupflow/step_pages.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "engine/core/overloaded.h"
#include "engine/products/outcome_audit.h"
#include "engine/products/product_strategies.h"
#include "engine/services/homebrew_paths.h"
#include "engine/setup/readiness_screen_copy.h"
#include "engine/telemetry/telemetry_events.h"
#include "ui/common/labels.h"
#include "ui/common/nps_feedback_card.h"
#include "ui/common/press_guard.h"
#include "ui/common/screen_scaffold.h"
#include "ui/common/style.h"
#include "ui/common/url_opener.h"
#include "ui/setupflow/setup_workflow_view.h"
#include "ui/setupflow/stage_section.h"

namespace quill::ui {

namespace {

using Step = SetupFlowModel::Step;

constexpr int kSpacing16 = 16;
constexpr int kSpacing12 = 12;
constexpr int kSpacing10 = 10;
constexpr int kAboveSkip = 4;
constexpr int kAboveContinue = 8;
constexpr int kBusyWidth = 160;

std::string articleURL(const std::string& path) {
    return ProductConfig::current()->urls.articleURL(path);
}

QPushButton* button(const std::string& text, const char* id, ButtonStyle style, QWidget* parent) {
    auto* result = new QPushButton(buttonText(QString::fromStdString(text)), parent);
    if (id != nullptr)
        result->setObjectName(QString::fromLatin1(id));
    Style::apply(result, style, ControlSize::large);
    return result;
}

/// A page with the scaffold filling it.
class ScaffoldPage : public StepPage {
  public:
    ScaffoldPage(SetupWorkflowView& view, QWidget* parent) : StepPage(parent), m_view(view) {
        m_scaffold = new ScreenScaffold(view.screenContext(), this);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(m_scaffold);
    }

  protected:
    /// Titles the scaffold; an absent article leaves the scaffold's own link.
    void frame(const std::string& title, TextRole font, const std::string& explainer,
               std::optional<std::string> article) {
        m_scaffold->setTitle(QString::fromStdString(title));
        m_scaffold->setTitleFont(font);
        m_scaffold->setExplainer(QString::fromStdString(explainer));
        if (article)
            m_scaffold->setArticleURL(std::move(article));
    }
    /// A column for the content, with `spacing` between its items.
    QVBoxLayout* column(QWidget* content, int spacing) {
        auto* layout = new QVBoxLayout(content);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(spacing);
        return layout;
    }

    SetupWorkflowView& m_view;
    ScreenScaffold* m_scaffold;
};

/// A busy indicator in the middle of the page, with an optional line under it.
class BusyPage : public StepPage {
  public:
    BusyPage(const std::string& text, QWidget* parent) : StepPage(parent) {
        auto* layout = new QVBoxLayout(this);
        layout->setSpacing(kSpacing12);
        layout->addStretch();
        auto* busy = new QProgressBar(this);
        busy->setRange(0, 0);
        busy->setTextVisible(false);
        busy->setFixedWidth(kBusyWidth);
        layout->addWidget(busy, 0, Qt::AlignHCenter);
        if (!text.empty()) {
            // The label takes the row's width and centres its own lines: given only its size hint, it is cut.
            auto* label = plainLabel(QString::fromStdString(text), this);
            label->setAlignment(Qt::AlignHCenter);
            layout->addWidget(label);
        }
        layout->addStretch();
    }
};

class ReadinessPage : public ScaffoldPage {
  public:
    ReadinessPage(SetupWorkflowView& view, const SetupFlowModel::ReadinessWarning& warning, QWidget* parent)
        : ScaffoldPage(view, parent) {
        const auto copy = std::visit(Overloaded{
                                         [](const SetupFlowModel::ReadinessWarning::Network& network) {
                                             return ReadinessScreenCopy::network(network.result);
                                         },
                                         [](const SetupFlowModel::ReadinessWarning::Disk& disk) {
                                             return ReadinessScreenCopy::disk(disk.result);
                                         },
                                     },
                                     warning.value);
        frame(copy.headline, TextRole::largeTitle, copy.body, std::nullopt);
        auto* content = new QWidget(this);
        auto* row = new QHBoxLayout(content);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(kSpacing12);
        auto* proceed = button(copy.continueLabel, "readiness-continue", ButtonStyle::prominent, content);
        auto* stop = button(copy.stopLabel, "readiness-stop", ButtonStyle::bordered, content);
        row->addWidget(proceed);
        row->addWidget(stop);
        row->addStretch();
        auto& model = view.model();
        connect(proceed, &QPushButton::clicked, &model, &SetupFlowModel::continueAfterReadinessWarning);
        connect(stop, &QPushButton::clicked, &model, &SetupFlowModel::stopAtReadinessWarning);
        m_scaffold->setContent(content);
    }
};

class ExperiencePage : public ScaffoldPage {
  public:
    ExperiencePage(SetupWorkflowView& view, const ExperienceQuestionCopy& question, QWidget* parent)
        : ScaffoldPage(view, parent) {
        frame(question.headline, TextRole::largeTitle, question.body, std::nullopt);
        auto* content = new QWidget(this);
        auto* options = column(content, kSpacing10);
        auto& model = view.model();
        for (const auto& bucket : question.buckets) {
            auto* choice = new QPushButton(buttonText(QString::fromStdString(bucket.label)), content);
            choice->setObjectName(QString::fromStdString("experience-" + bucket.value));
            Style::apply(choice, ButtonStyle::bordered, ControlSize::large);
            connect(choice, &QPushButton::clicked, &model,
                    [&model, value = bucket.value] { model.answerExperienceQuestion(value); });
            options->addWidget(choice, 0, Qt::AlignLeft);
        }
        options->addSpacing(kAboveSkip);
        auto* skip = button(question.skipLabel, "experience-skip", ButtonStyle::borderless, content);
        connect(skip, &QPushButton::clicked, &model,
                [&model, value = question.skipValue] { model.answerExperienceQuestion(value); });
        options->addWidget(skip, 0, Qt::AlignLeft);
        m_scaffold->setScrollingContent(content);
    }
};

class DiagnosisSummaryPage : public ScaffoldPage {
  public:
    DiagnosisSummaryPage(SetupWorkflowView& view, QWidget* parent) : ScaffoldPage(view, parent) {
        const auto copy = m_view.strategies().spineCopy;
        frame(copy->diagnosisHeadline(), TextRole::largeTitle, copy->consentReassurance(),
              articleURL(copy->primaryArticlePath()));
        auto* content = new QWidget(this);
        auto* layout = column(content, kSpacing10);
        m_rows = new QWidget(content);
        m_rowLayout = column(m_rows, kSpacing10);
        layout->addWidget(m_rows);
        layout->addSpacing(kAboveContinue);
        m_continue = button("Continue", "diagnosis-continue", ButtonStyle::prominent, content);
        connect(m_continue, &QPushButton::clicked, &view.model(), &SetupFlowModel::checkReadinessAndBegin);
        layout->addWidget(m_continue, 0, Qt::AlignLeft);
        m_scaffold->setScrollingContent(content);
        refresh();
    }

    void refresh() override {
        std::vector<std::string> lines;
        if (const auto& workflow = m_view.model().workflow()) {
            const auto config = ProductConfig::current();
            const auto copy = m_view.strategies().spineCopy;
            for (const auto& step : workflow->steps) {
                const auto& domainID = step.stage->domainID();
                if (step.placement == DomainPlacement::primary &&
                    !config->spinePolicy.summaryExcludedDomains.contains(domainID))
                    lines.push_back(copy->statusLine(domainID, step.stage->diagnosis()));
            }
        }
        if (lines == m_lines)
            return;
        m_lines = lines;
        while (auto* item = m_rowLayout->takeAt(0)) {
            delete item->widget();
            delete item;
        }
        for (const auto& line : m_lines)
            m_rowLayout->addWidget(plainLabel(QString::fromStdString(line), m_rows));
    }

    [[nodiscard]] QAbstractButton* defaultButton() const override { return m_continue; }

  private:
    QWidget* m_rows;
    QVBoxLayout* m_rowLayout;
    QPushButton* m_continue;
    std::vector<std::string> m_lines;
};

/// The stage's texts and, by its diagnosis, nothing, the blocked detail with "Continue", or its section.
class StagePage : public ScaffoldPage {
  public:
    StagePage(SetupWorkflowView& view, std::string domainID, QWidget* parent)
        : ScaffoldPage(view, parent), m_domainID(std::move(domainID)) {
        m_body = new QWidget(this);
        m_bodyLayout = column(m_body, kSpacing16);
        m_scaffold->setScrollingContent(m_body);
        m_scaffold->setVisible(false);
        refresh();
    }

    void refresh() override {
        askDisk();
        render();
    }

  private:
    struct Shown {
        SetupDiagnosis diagnosis;
        std::vector<SetupRemediation> remediations;
        bool homebrew = false;
        bool brewExecutable = false;
        bool operator==(const Shown&) const = default;
    };

    /// Looks on a worker whether brew can be started: the section is built once that is known.
    void askDisk() {
        if (m_asking)
            return;
        m_asking = true;
        m_view.tasks().start(
            [fs = m_view.screenContext().services.fs](std::stop_token) {
                return homebrewExecutable(*fs, HomebrewToolCheck::executable).has_value();
            },
            [page = QPointer<StagePage>(this)](bool found) {
                if (page == nullptr)
                    return;
                page->m_asking = false;
                page->m_brewExecutable = found;
                page->render();
            });
    }

    void render() {
        const auto& model = m_view.model();
        const WorkflowStep* found = nullptr;
        if (model.workflow() && model.profile() && model.probes()) {
            for (const auto& step : model.workflow()->steps) {
                if (step.stage->domainID() == m_domainID) {
                    found = &step;
                    break;
                }
            }
        }
        // Rebuilt only when what the stage shows changed: a re-render keeps the typed text and the focus.
        std::optional<Shown> shown;
        if (found != nullptr) {
            if (!m_brewExecutable)
                return;
            shown =
                Shown{found->stage->diagnosis(),
                      m_view.strategies().spineProvider->remediations(m_domainID, *model.profile(),
                                                                      *model.probes()),
                      model.profile()->homebrewPrefix.has_value() || *m_brewExecutable, *m_brewExecutable};
        }
        if (shown != m_shown || !m_built) {
            m_built = true;
            m_shown = std::move(shown);
            rebuild(found);
        }
        if (m_section != nullptr)
            m_section->setEnabled(!model.refreshing());
    }

    void rebuild(const WorkflowStep* step) {
        while (auto* item = m_bodyLayout->takeAt(0)) {
            delete item->widget();
            delete item;
        }
        m_section = nullptr;
        if (step == nullptr) {
            frame("", TextRole::largeTitle, "", std::nullopt);
            m_scaffold->setVisible(false);
            return;
        }
        m_scaffold->setVisible(true);
        const auto config = ProductConfig::current();
        const auto& diagnosis = step->stage->diagnosis();
        const auto copy = m_view.strategies().spineCopy->screenCopy(m_domainID, diagnosis);
        const std::string title = copy ? copy->headline : diagnosis.headline;
        frame(title, TextRole::largeTitle, copy ? copy->body : diagnosis.detail,
              config->urls.articleURL(config->spinePolicy.articlePath(m_domainID)));
        switch (diagnosis.classification) {
            case SetupDiagnosisClassification::ready:
                break;
            case SetupDiagnosisClassification::blocked: {
                auto* detail = codeSpanLabel(QString::fromStdString(diagnosis.detail), m_body);
                Style::setFont(detail, TextRole::callout);
                Style::makeSecondary(detail);
                m_bodyLayout->addWidget(detail);
                auto* proceed = button("Continue", nullptr, ButtonStyle::prominent, m_body);
                connect(proceed, &QPushButton::clicked, &m_view.model(),
                        [this] { m_view.model().advance(m_domainID); });
                m_bodyLayout->addWidget(proceed, 0, Qt::AlignLeft);
                break;
            }
            case SetupDiagnosisClassification::fixable:
            case SetupDiagnosisClassification::unknown: {
                const bool needsHomebrew =
                    !config->spinePolicy.homebrewIndependentDomains.contains(m_domainID);
                m_section =
                    makeStageSection(m_view,
                                     StageSectionInput{needsHomebrew && !m_shown->homebrew, m_domainID, title,
                                                       m_shown->remediations, m_shown->brewExecutable},
                                     m_body);
                m_bodyLayout->addWidget(m_section);
                if (copy && copy->footer) {
                    auto* footer = codeSpanLabel(QString::fromStdString(*copy->footer), m_body);
                    Style::setFont(footer, TextRole::footnote);
                    Style::makeSecondary(footer);
                    m_bodyLayout->addWidget(footer);
                }
                break;
            }
        }
    }

    std::string m_domainID;
    QWidget* m_body;
    QVBoxLayout* m_bodyLayout;
    QWidget* m_section = nullptr;
    std::optional<Shown> m_shown;
    bool m_built = false;
    /// Whether brew can be started, once the disk has answered; looked at again at each refresh.
    std::optional<bool> m_brewExecutable;
    bool m_asking = false;
};

class InterstitialPage : public ScaffoldPage {
  public:
    InterstitialPage(SetupWorkflowView& view, const SpineRenderPolicy::InterstitialScreen& screen,
                     QWidget* parent)
        : ScaffoldPage(view, parent) {
        frame(screen.headline, TextRole::largeTitle, screen.body, articleURL(screen.articlePath));
        auto* content = new QWidget(this);
        auto* layout = column(content, kSpacing16);
        m_continue = button(screen.buttonLabel, "paid-plan-continue", ButtonStyle::prominent, content);
        connect(m_continue, &QPushButton::clicked, &view.model(),
                [&model = view.model()] { model.goToStep(Step::verifying()); });
        layout->addWidget(m_continue, 0, Qt::AlignLeft);
        if (screen.disclosure) {
            auto* disclosure = plainLabel(QString::fromStdString(*screen.disclosure), content);
            Style::setFont(disclosure, TextRole::footnote);
            layout->addWidget(disclosure);
        }
        m_scaffold->setScrollingContent(content);
    }
    [[nodiscard]] QAbstractButton* defaultButton() const override { return m_continue; }

  private:
    QPushButton* m_continue;
};

class KeepGoingPage : public ScaffoldPage {
  public:
    KeepGoingPage(SetupWorkflowView& view, QWidget* parent) : ScaffoldPage(view, parent) {
        const auto copy = m_view.strategies().spineCopy;
        frame(copy->continueHeadline(), TextRole::largeTitle, copy->continueBody(),
              ProductConfig::current()->urls.articleBase);
        auto* content = new QWidget(this);
        auto* row = new QHBoxLayout(content);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(kSpacing12);
        auto* keepGoing = button("Keep going", "keep-going", ButtonStyle::prominent, content);
        auto* finish = button("Finish here", "finish-here", ButtonStyle::bordered, content);
        row->addWidget(keepGoing);
        row->addWidget(finish);
        row->addStretch();
        auto& model = view.model();
        connect(keepGoing, &QPushButton::clicked, &model, &SetupFlowModel::enterOptionalStages);
        connect(finish, &QPushButton::clicked, &model, [&model] { model.goToStep(Step::outcome()); });
        m_scaffold->setContent(content);
    }
};

class OutcomePage : public ScaffoldPage {
  public:
    OutcomePage(SetupWorkflowView& view, QWidget* parent) : ScaffoldPage(view, parent) {
        auto* content = new QWidget(this);
        auto* layout = column(content, kSpacing10);
        m_checklist = new QWidget(content);
        m_checklist->setObjectName(QStringLiteral("outcome-checklist"));
        m_checklistLayout = column(m_checklist, kSpacing10 / 2);
        layout->addWidget(m_checklist);
        // Stands in the checklist's place while the checks run, so the answers below move once at most.
        m_checking = new QProgressBar(content);
        m_checking->setObjectName(QStringLiteral("outcome-checking"));
        m_checking->setRange(0, 0);
        m_checking->setTextVisible(false);
        m_checking->setFixedWidth(kBusyWidth);
        layout->addWidget(m_checking);

        auto& context = view.screenContext();
        // Shown once the disk has said an example project is there.
        m_examples = button("Show Example Projects", "show-example-projects", ButtonStyle::bordered, content);
        m_examples->hide();
        connect(m_examples, &QPushButton::clicked, this, [&context] {
            const auto documents = context.services.fs->homeDirectory() / "Documents";
            context.urls.open(QUrl::fromLocalFile(QString::fromStdString(documents.string())));
        });
        layout->addWidget(m_examples, 0, Qt::AlignLeft);
        m_apps = new QWidget(content);
        m_appsLayout = column(m_apps, kSpacing10);
        layout->addWidget(m_apps);

        // The answers reply to the variant's question, shown just above them.
        auto* question =
            plainLabel(QString::fromStdString(view.strategies().spineCopy->feedbackQuestion()), content);
        Style::setFont(question, TextRole::headline);
        layout->addWidget(question);
        auto* answers = new QHBoxLayout();
        answers->setSpacing(kSpacing12);
        m_resolved = button("Yes, all set", "outcome-resolved", ButtonStyle::prominent, content);
        auto* blocked = button("Not quite", "outcome-blocked", ButtonStyle::bordered, content);
        auto& model = view.model();
        connect(m_resolved, &QPushButton::clicked, &model, [&model] { model.reportOutcome("resolved"); });
        connect(blocked, &QPushButton::clicked, &model, [&model] { model.reportOutcome("not_resolved"); });
        answers->addWidget(m_resolved);
        answers->addWidget(blocked);
        answers->addStretch();
        layout->addLayout(answers);
        m_scaffold->setScrollingContent(content);
        refresh();
    }

    void refresh() override {
        const auto& model = m_view.model();
        const auto config = ProductConfig::current();
        const auto copy = m_view.strategies().spineCopy;
        const bool passed = model.verifyResult() && model.verifyResult()->passed;
        // A verification that failed or never ran must not announce a ready Mac.
        frame(
            passed ? copy->completionHeadline() : std::string("Some tools still need attention"),
            TextRole::title2, passed ? "" : copy->someUnverifiedText(),
            config->urls.articleURL(passed ? copy->updateArticlePath() : copy->troubleshootingArticlePath()));
        if (model.outcomeAudit() != m_audit) {
            m_audit = model.outcomeAudit();
            clear(m_checklistLayout);
            for (const auto& section : m_audit) {
                auto* title = plainLabel(QString::fromStdString(section.title), m_checklist);
                Style::setFont(title, TextRole::headline);
                m_checklistLayout->addWidget(title);
                for (const auto& item : section.items)
                    m_checklistLayout->addWidget(
                        codeSpanLabel(QString::fromStdString("✓ " + item), m_checklist));
            }
        }
        m_checking->setVisible(model.outcomeAuditRunning());
        m_checklist->setVisible(!m_audit.empty());
        std::vector<SpineRenderPolicy::OpenableApp> apps;
        if (config->spinePolicy.outcomeOpenableApps)
            apps = config->spinePolicy.outcomeOpenableApps(model.profile(), model.verifyResult());
        if (apps != m_appList || !m_filesAsked) {
            m_filesAsked = true;
            m_appList = apps;
            clear(m_appsLayout);
            m_appButtons.clear();
            m_files.appPaths.clear();
            std::vector<std::string> names;
            for (const auto& app : m_appList) {
                // Enabled once the disk has said where the application is.
                auto* open = button(app.label, nullptr, ButtonStyle::bordered, m_apps);
                open->setEnabled(false);
                const auto index = m_appButtons.size();
                connect(open, &QPushButton::clicked, this, [this, index] { openApp(index); });
                m_appsLayout->addWidget(open, 0, Qt::AlignLeft);
                m_appButtons.push_back(open);
                names.push_back(app.appName);
            }
            askDisk(names);
        }
    }

  private:
    static void clear(QVBoxLayout* layout) {
        while (auto* item = layout->takeAt(0)) {
            delete item->widget();
            delete item;
        }
    }

    /// Looks for the example projects and the applications `names` on a worker; a later answer replaces
    /// an earlier one only for the list it was asked for.
    void askDisk(const std::vector<std::string>& names) {
        m_view.tasks().start(
            [fs = m_view.screenContext().services.fs, names](std::stop_token) {
                return findOutcomeFiles(*fs, names);
            },
            [page = QPointer<OutcomePage>(this), names](OutcomeFiles files) {
                if (page == nullptr || names != page->appNames())
                    return;
                page->m_files = std::move(files);
                page->m_examples->setVisible(page->m_files.exampleProjectInDocuments);
                for (std::size_t index = 0; index < page->m_appButtons.size(); ++index)
                    page->m_appButtons[index]->setEnabled(page->m_files.appPaths[index].has_value());
            });
    }

    [[nodiscard]] std::vector<std::string> appNames() const {
        std::vector<std::string> names;
        names.reserve(m_appList.size());
        for (const auto& app : m_appList)
            names.push_back(app.appName);
        return names;
    }

    void openApp(std::size_t index) {
        if (index >= m_files.appPaths.size() || !m_files.appPaths[index])
            return;
        m_view.screenContext().urls.open(
            QUrl::fromLocalFile(QString::fromStdString(m_files.appPaths[index]->string())));
        std::string app = m_appList[index].appName;
        if (app.ends_with(".app"))
            app.resize(app.size() - std::string_view(".app").size());
        TelemetryEvents::send("app_opened", {{"app", app}});
    }

    QWidget* m_checklist;
    QVBoxLayout* m_checklistLayout;
    QProgressBar* m_checking;
    QWidget* m_apps;
    QVBoxLayout* m_appsLayout;
    QPushButton* m_resolved;
    QPushButton* m_examples;
    std::vector<OutcomeAuditSection> m_audit;
    std::vector<SpineRenderPolicy::OpenableApp> m_appList;
    std::vector<QPushButton*> m_appButtons;
    OutcomeFiles m_files;
    bool m_filesAsked = false;
};

class NpsPage : public ScaffoldPage {
  public:
    NpsPage(SetupWorkflowView& view, QWidget* parent) : ScaffoldPage(view, parent) {
        frame("We need your feedback", TextRole::largeTitle, "One quick question before you go.",
              ProductConfig::current()->urls.articleBase);
        auto* content = new QWidget(this);
        auto* layout = column(content, kSpacing16);
        auto& model = view.model();
        auto resolve = [&model] { model.resolveNPS(); };
        auto* card = new NPSFeedbackCard(view.screenContext(), resolve, resolve, content);
        card->setOnAnswered(resolve);
        layout->addWidget(card);
        m_done = button("Done", "nps-done", ButtonStyle::prominent, content);
        connect(m_done, &QPushButton::clicked, &model, &SetupFlowModel::dismissNPS);
        layout->addWidget(m_done, 0, Qt::AlignLeft);
        m_scaffold->setScrollingContent(content);
    }
    [[nodiscard]] QAbstractButton* defaultButton() const override { return m_done; }

  private:
    QPushButton* m_done;
};

}  // namespace

StepPage::StepPage(QWidget* parent) : QWidget(parent) {
    PressGuard::install(this);
}

StepPage* makeStepPage(SetupWorkflowView& view, const Step& step, QWidget* parent) {
    const auto config = ProductConfig::current();
    return std::visit(
        Overloaded{
            [&](const Step::ReadinessWarning& warning) -> StepPage* {
                return new ReadinessPage(view, warning.warning, parent);
            },
            [&](const Step::Stage& stage) -> StepPage* {
                return new StagePage(view, stage.domainID, parent);
            },
            [&](const Step::Loading&) -> StepPage* { return new BusyPage("", parent); },
            [&](const Step::ExperienceQuestion&) -> StepPage* {
                if (!config->experienceQuestion)
                    return new BusyPage("", parent);
                return new ExperiencePage(view, *config->experienceQuestion, parent);
            },
            [&](const Step::DiagnosisSummary&) -> StepPage* {
                return new DiagnosisSummaryPage(view, parent);
            },
            [&](const Step::Interstitial&) -> StepPage* {
                // Without an interstitial the model moves on to verification by itself.
                if (!config->spinePolicy.postPrimaryInterstitial)
                    return new StepPage(parent);
                return new InterstitialPage(view, *config->spinePolicy.postPrimaryInterstitial, parent);
            },
            [&](const Step::Verifying&) -> StepPage* {
                return new BusyPage(view.strategies().spineCopy->verifyingTitle(), parent);
            },
            [&](const Step::KeepGoingGate&) -> StepPage* { return new KeepGoingPage(view, parent); },
            [&](const Step::Outcome&) -> StepPage* { return new OutcomePage(view, parent); },
            [&](const Step::Nps&) -> StepPage* { return new NpsPage(view, parent); },
        },
        step.value);
}

}  // namespace quill::ui
