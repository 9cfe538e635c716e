#include "ui/setupflow/stage_section.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <memory>

#include "engine/core/overloaded.h"
#include "engine/core/text.h"
#include "engine/installers/skill_folder_installer.h"
#include "engine/products/claude/agent_skill_catalog.h"
#include "engine/services/language_detector.h"
#include "ui/common/labels.h"
#include "ui/common/press_guard.h"
#include "ui/common/style.h"
#include "ui/setupflow/setup_workflow_view.h"

namespace quill::ui {

namespace {

using Policy = SpineRenderPolicy;
using Pending = SetupFlowModel::PendingInstall;

constexpr int kSpacing = 10;
constexpr int kRowIndent = 24;

QPushButton* largeButton(const std::string& text, ButtonStyle style, QWidget* parent) {
    auto* button = new QPushButton(buttonText(QString::fromStdString(text)), parent);
    Style::apply(button, style, ControlSize::large);
    return button;
}

QLabel* secondaryLabel(const std::string& text, TextRole role, QWidget* parent) {
    auto* label = codeSpanLabel(QString::fromStdString(text), parent);
    Style::setFont(label, role);
    Style::makeSecondary(label);
    return label;
}

/// A checkbox row: the box with its label, and optional secondary lines under it.
QCheckBox* checkRow(QVBoxLayout* layout, QWidget* parent, const std::string& text, const QString& id,
                    bool checked) {
    auto* box = new QCheckBox(buttonText(QString::fromStdString(text)), parent);
    box->setObjectName(id);
    box->setChecked(checked);
    layout->addWidget(box);
    return box;
}

void addIndented(QVBoxLayout* layout, QWidget* widget) {
    auto* row = new QHBoxLayout();
    row->setContentsMargins(kRowIndent, 0, 0, 0);
    row->addWidget(widget, 1);
    layout->addLayout(row);
}

/// The section being built: its column, the view and what the stage is.
struct Builder {
    SetupWorkflowView& view;
    StageSectionInput input;
    QWidget* section;
    QVBoxLayout* layout;

    /// "Install selected" of a stage with choices, enabled while the model's choices give something to run.
    void installButton() const {
        auto* install = largeButton("Install selected", ButtonStyle::prominent, section);
        const SetupFlowModel::StageOffer offer{input.stageID, input.headline, input.remediations};
        auto chosen = [&model = view.model(), offer] { return model.pendingInstallFor(offer); };
        auto update = [install, chosen] {
            const auto pending = chosen();
            install->setEnabled(pending && !pending->remediations.empty());
        };
        QObject::connect(&view.model(), &SetupFlowModel::selectionsChanged, install, update);
        update();
        QObject::connect(install, &QPushButton::clicked, section,
                         [&view = view, stageID = input.stageID, chosen] {
                             auto pending = chosen();
                             if (pending && !pending->remediations.empty())
                                 view.installSelected(stageID, std::move(*pending));
                         });
        layout->addWidget(install, 0, Qt::AlignLeft);
    }

    void homebrewGate() const {
        layout->addWidget(
            plainLabel(QStringLiteral("This step installs with Homebrew, which isn't installed yet. "
                                      "Install Homebrew first, or skip."),
                       section));
        const auto& workflow = view.model().workflow();
        const bool hasHomebrew =
            workflow && std::ranges::any_of(workflow->steps, [](const WorkflowStep& step) {
                return step.stage->domainID() == "homebrew";
            });
        if (hasHomebrew) {
            auto* first = largeButton("Install Homebrew first", ButtonStyle::prominent, section);
            QObject::connect(first, &QPushButton::clicked, &view.model(), [&model = view.model()] {
                model.goToStep(SetupFlowModel::Step::stage("homebrew"));
            });
            layout->addWidget(first, 0, Qt::AlignLeft);
        }
    }

    void genericList() const {
        const auto config = ProductConfig::current();
        for (const auto& fix : input.remediations) {
            auto* button = largeButton(fix.displayLabel(), ButtonStyle::prominent, section);
            QObject::connect(
                button, &QPushButton::clicked, section, [&view = view, stageID = input.stageID, fix] {
                    view.installSelected(stageID, Pending{fix.id(), fix.displayLabel(), {fix}, false});
                });
            layout->addWidget(button, 0, Qt::AlignLeft);
            const auto caption = config->spinePolicy.caption(fix.id(), fix.caption());
            if (caption.empty())
                continue;
            // Captions name files and commands in code spans.
            auto* shown = markdownLabel(QString::fromStdString(caption), view.screenContext().urls, section);
            Style::setFont(shown, TextRole::footnote);
            Style::makeSecondary(shown);
            layout->addWidget(shown);
        }
    }

    void groupedInstall(const Policy::GroupedInstall& grouped) const {
        auto* button = largeButton(grouped.title, ButtonStyle::prominent, section);
        button->setObjectName(QString::fromStdString(grouped.accessibilityID));
        QObject::connect(button, &QPushButton::clicked, section,
                         [&model = view.model(), grouped, fixes = input.remediations] {
                             model.setPendingInstall(Pending{grouped.installID, grouped.title, fixes, false});
                         });
        layout->addWidget(button, 0, Qt::AlignLeft);
    }

    void caskMultiselect(const Policy::CaskMultiselect& casks) const {
        auto& model = view.model();
        std::set<std::string> offered;
        for (const auto& fix : input.remediations)
            offered.insert(fix.id());
        std::vector<std::string> seeded;
        for (const auto& item : casks.items) {
            if (offered.contains(item.remediationID))
                seeded.push_back(item.remediationID);
        }
        model.seedCasks(input.stageID, seeded);
        for (const auto& item : casks.items) {
            auto* box = checkRow(layout, section, item.label, QString::fromStdString(item.accessibilityID),
                                 model.selections().casks.contains(item.remediationID));
            box->setEnabled(offered.contains(item.remediationID));
            QObject::connect(box, &QCheckBox::toggled, &model,
                             [&model, id = item.remediationID](bool on) { model.setCaskSelected(id, on); });
            if (item.subtitle)
                addIndented(layout, secondaryLabel(*item.subtitle, TextRole::footnote, section));
        }
        installButton();
    }

    void languages() const {
        std::vector<QPointer<QLabel>> statuses;
        for (const auto language : kQuillLanguages) {
            auto* box = checkRow(layout, section, std::string(displayName(language)),
                                 QStringLiteral("lang-") + QString::fromUtf8(toRaw(language)),
                                 view.model().selections().languages.contains(language));
            QObject::connect(
                box, &QCheckBox::toggled, &view.model(),
                [&model = view.model(), language](bool on) { model.setLanguageSelected(language, on); });
            auto* status = secondaryLabel("", TextRole::footnote, section);
            status->hide();
            addIndented(layout, status);
            statuses.emplace_back(status);
        }
        // What is installed already is read from the disk on a worker; the lines appear when it is known.
        view.tasks().start(
            [fs = view.screenContext().services.fs](std::stop_token) {
                const LanguageDetector detector(fs);
                std::vector<std::optional<std::string>> lines;
                lines.reserve(std::size(kQuillLanguages));
                for (const auto language : kQuillLanguages)
                    lines.push_back(LanguageDetector::statusLine(detector.detectInstallation(language)));
                return lines;
            },
            [statuses](std::vector<std::optional<std::string>> lines) {
                for (std::size_t index = 0; index < lines.size() && index < statuses.size(); ++index) {
                    if (statuses[index] && lines[index]) {
                        statuses[index]->setText(QString::fromStdString(*lines[index]));
                        statuses[index]->show();
                    }
                }
            });
        installButton();
    }

    void skills() const {
        const auto& profile = view.model().profile();
        const auto catalog = agentSkillCatalog(profile && profile->isLikelyDeveloper());
        auto& model = view.model();
        std::vector<std::pair<std::string, QPointer<QCheckBox>>> rows;
        for (const auto& skill : catalog) {
            auto* box =
                checkRow(layout, section, skill.displayName, QString::fromStdString("skill-" + skill.slug),
                         model.selections().skills.contains(skill.slug));
            QObject::connect(box, &QCheckBox::toggled, &model,
                             [&model, slug = skill.slug](bool on) { model.setSkillSelected(slug, on); });
            if (!skill.badge.empty())
                addIndented(layout, secondaryLabel(skill.badge, TextRole::caption, section));
            rows.emplace_back(skill.slug, box);
        }
        if (!model.selections().skillsSeeded) {
            // Preselected skills are ticked once, when it is known which are installed already.
            view.tasks().start(
                [fs = view.screenContext().services.fs, catalog](std::stop_token) {
                    const SkillFolderInstaller installer{fs};
                    std::set<std::string> seeded;
                    for (const auto& skill : catalog) {
                        if (skill.preselected && !installer.isInstalled(skill.slug))
                            seeded.insert(skill.slug);
                    }
                    return seeded;
                },
                [&model, rows](const std::set<std::string>& seeded) {
                    if (model.selections().skillsSeeded)
                        return;
                    model.seedSkills(seeded);
                    for (const auto& [slug, box] : rows) {
                        if (box)
                            box->setChecked(model.selections().skills.contains(slug));
                    }
                });
        }
        installButton();
    }

    void mcp() const {
        auto& model = view.model();
        for (const auto& server : offeredMCPServers()) {
            auto* box = checkRow(layout, section, server.displayName, QString(),
                                 model.selections().mcpServers.contains(server.slug));
            QObject::connect(box, &QCheckBox::toggled, &model,
                             [&model, slug = server.slug](bool on) { model.setMCPServerSelected(slug, on); });
            addIndented(layout, secondaryLabel(server.summary, TextRole::footnote, section));
            if (server.disclosure)
                addIndented(layout, secondaryLabel(*server.disclosure, TextRole::footnote, section));
            if (std::holds_alternative<MCPServer::KeylessOptionalKey>(server.connection)) {
                auto* key = new QLineEdit(section);
                key->setEchoMode(QLineEdit::Password);
                const auto& keys = model.selections().mcpAPIKeys;
                if (const auto typed = keys.find(server.slug); typed != keys.end())
                    key->setText(QString::fromStdString(typed->second));
                QObject::connect(key, &QLineEdit::textChanged, &model,
                                 [&model, slug = server.slug](const QString& text) {
                                     model.setMCPAPIKey(slug, text.toStdString());
                                 });
                addIndented(layout, key);
            }
        }
        installButton();
    }

    void git() const {
        auto& model = view.model();
        const auto& chosen = model.selections();
        auto* name = new QLineEdit(QString::fromStdString(chosen.gitName), section);
        name->setPlaceholderText(QStringLiteral("Name"));
        auto* email = new QLineEdit(QString::fromStdString(chosen.gitEmail), section);
        email->setPlaceholderText(QStringLiteral("Email"));
        QObject::connect(name, &QLineEdit::textChanged, &model,
                         [&model](const QString& text) { model.setGitName(text.toStdString()); });
        QObject::connect(email, &QLineEdit::textChanged, &model,
                         [&model](const QString& text) { model.setGitEmail(text.toStdString()); });
        layout->addWidget(name);
        layout->addWidget(email);

        const auto& probes = model.probes();
        const bool ghPresent = probes && probes->ghPresent;
        const bool ghAuthed = probes && probes->ghAuthed;
        // The GitHub CLI installs with Homebrew, and the sign-in runs the CLI: what cannot run yet is shown
        // unticked and disabled rather than left to fail. Each row starts as it is shown.
        const bool homebrew = input.brewExecutable;
        const auto row = [this, &model](const SetupRemediation& fix, bool shown, bool possible) {
            model.setGitFixSelected(fix.id(), shown && possible);
            if (!shown)
                return static_cast<QCheckBox*>(nullptr);
            auto* box = checkRow(layout, section, fix.displayLabel(), QString(), possible);
            box->setEnabled(possible);
            QObject::connect(box, &QCheckBox::toggled, &model,
                             [&model, id = fix.id()](bool on) { model.setGitFixSelected(id, on); });
            return box;
        };
        auto* configure = row(SetupRemediation::configureGit("", ""), true, true);
        row(SetupRemediation::installGh(), !ghPresent, homebrew);
        row(SetupRemediation::githubAuth(), !ghAuthed, homebrew || ghPresent);
        auto enableConfigure = [configure, &model] {
            const auto& now = model.selections();
            configure->setEnabled(!trimWhitespaceAndNewlines(now.gitName).empty() &&
                                  !trimWhitespaceAndNewlines(now.gitEmail).empty());
        };
        QObject::connect(&model, &SetupFlowModel::selectionsChanged, configure, enableConfigure);
        enableConfigure();
        installButton();
    }
};

}  // namespace

QWidget* makeStageSection(SetupWorkflowView& view, const StageSectionInput& input, QWidget* parent) {
    auto* section = new QWidget(parent);
    PressGuard::install(section);
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kSpacing);
    auto builder = std::make_unique<Builder>(Builder{view, input, section, layout});
    if (input.homebrewGate) {
        builder->homebrewGate();
    } else {
        const auto config = ProductConfig::current();
        const auto kind = config->spinePolicy.specialStages.find(input.stageID);
        if (kind == config->spinePolicy.specialStages.end()) {
            builder->genericList();
        } else {
            std::visit(Overloaded{
                           [&](const Policy::GroupedInstall& grouped) { builder->groupedInstall(grouped); },
                           [&](const Policy::CaskMultiselect& casks) { builder->caskMultiselect(casks); },
                           [&](const Policy::LanguagesMultiselect&) { builder->languages(); },
                           [&](const Policy::ProjectActions&) { builder->genericList(); },
                           [&](const Policy::SkillsMultiselect&) { builder->skills(); },
                           [&](const Policy::MCPMultiselect&) { builder->mcp(); },
                           [&](const Policy::GitActions&) { builder->git(); },
                       },
                       kind->second);
        }
    }
    auto* skip = largeButton("Skip", ButtonStyle::bordered, section);
    skip->setObjectName(QStringLiteral("stage-skip"));
    QObject::connect(skip, &QPushButton::clicked, &view.model(),
                     [&model = view.model(), stageID = input.stageID] { model.skipStage(stageID); });
    layout->addWidget(skip, 0, Qt::AlignLeft);
    return section;
}

}  // namespace quill::ui
