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
#include "engine/runner/fix_sequence.h"
#include "engine/services/language_detector.h"
#include "engine/setup/language_remediations.h"
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
    auto* label = plainLabel(QString::fromStdString(text), parent);
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

    /// "Install selected", enabled while `fixes` gives something to run.
    void installButton(const std::vector<QObject*>& sources, const std::function<Pending()>& pending) const {
        auto* install = largeButton("Install selected", ButtonStyle::prominent, section);
        auto update = [install, pending] { install->setEnabled(!pending().remediations.empty()); };
        for (auto* source : sources) {
            if (auto* box = qobject_cast<QCheckBox*>(source))
                QObject::connect(box, &QCheckBox::toggled, install, update);
            else if (auto* field = qobject_cast<QLineEdit*>(source))
                QObject::connect(field, &QLineEdit::textChanged, install, update);
        }
        update();
        QObject::connect(install, &QPushButton::clicked, section,
                         [&view = view, stageID = input.stageID, pending] {
                             auto chosen = pending();
                             if (!chosen.remediations.empty())
                                 view.installSelected(stageID, std::move(chosen));
                         });
        layout->addWidget(install, 0, Qt::AlignLeft);
    }

    /// The plain "Install selected": the stage's id, the page's headline, continuing past a failure.
    [[nodiscard]] Pending stagePending(std::vector<SetupRemediation> fixes, bool continues) const {
        return Pending{input.stageID, input.headline, std::move(fixes), continues};
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
        std::set<std::string> offered;
        for (const auto& fix : input.remediations)
            offered.insert(fix.id());
        if (view.didSeedCasks.insert(input.stageID).second) {
            for (const auto& item : casks.items) {
                if (offered.contains(item.remediationID))
                    view.selectedCasks.insert(item.remediationID);
            }
        }
        std::vector<QObject*> boxes;
        for (const auto& item : casks.items) {
            auto* box = checkRow(layout, section, item.label, QString::fromStdString(item.accessibilityID),
                                 view.selectedCasks.contains(item.remediationID));
            box->setEnabled(offered.contains(item.remediationID));
            QObject::connect(box, &QCheckBox::toggled, section,
                             [&view = view, id = item.remediationID](bool on) {
                                 if (on)
                                     view.selectedCasks.insert(id);
                                 else
                                     view.selectedCasks.erase(id);
                             });
            if (item.subtitle)
                addIndented(layout, secondaryLabel(*item.subtitle, TextRole::footnote, section));
            boxes.push_back(box);
        }
        installButton(boxes, [&view = view, casks, fixes = input.remediations] {
            std::vector<SetupRemediation> chosen;
            for (const auto& item : casks.items) {
                if (!view.selectedCasks.contains(item.remediationID))
                    continue;
                const auto fix = std::ranges::find_if(fixes, [&](const SetupRemediation& offeredFix) {
                    return offeredFix.id() == item.remediationID;
                });
                if (fix != fixes.end())
                    chosen.push_back(*fix);
            }
            return Pending{casks.installID, casks.title, std::move(chosen), true};
        });
    }

    void languages() const {
        std::vector<QObject*> boxes;
        std::vector<QPointer<QLabel>> statuses;
        for (const auto language : kQuillLanguages) {
            auto* box = checkRow(layout, section, std::string(displayName(language)),
                                 QStringLiteral("lang-") + QString::fromUtf8(toRaw(language)),
                                 view.selectedLanguages.contains(language));
            QObject::connect(box, &QCheckBox::toggled, section, [&view = view, language](bool on) {
                if (on)
                    view.selectedLanguages.insert(language);
                else
                    view.selectedLanguages.erase(language);
            });
            auto* status = secondaryLabel("", TextRole::footnote, section);
            status->hide();
            addIndented(layout, status);
            statuses.emplace_back(status);
            boxes.push_back(box);
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
        installButton(boxes, [self = *this] {
            return self.stagePending(remediations(self.view.selectedLanguages), true);
        });
    }

    void skills() const {
        const auto& profile = view.model().profile();
        const auto catalog = agentSkillCatalog(profile && profile->isLikelyDeveloper());
        std::vector<QObject*> boxes;
        std::vector<std::pair<std::string, QPointer<QCheckBox>>> rows;
        for (const auto& skill : catalog) {
            auto* box =
                checkRow(layout, section, skill.displayName, QString::fromStdString("skill-" + skill.slug),
                         view.selectedSkills.contains(skill.slug));
            QObject::connect(box, &QCheckBox::toggled, section, [&view = view, slug = skill.slug](bool on) {
                if (on)
                    view.selectedSkills.insert(slug);
                else
                    view.selectedSkills.erase(slug);
            });
            if (!skill.badge.empty())
                addIndented(layout, secondaryLabel(skill.badge, TextRole::caption, section));
            rows.emplace_back(skill.slug, box);
            boxes.push_back(box);
        }
        if (!view.didSeedSkills) {
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
                [&view = view, rows](const std::set<std::string>& seeded) {
                    if (std::exchange(view.didSeedSkills, true))
                        return;
                    view.selectedSkills.insert(seeded.begin(), seeded.end());
                    for (const auto& [slug, box] : rows) {
                        if (box)
                            box->setChecked(view.selectedSkills.contains(slug));
                    }
                });
        }
        installButton(boxes, [self = *this, catalog] {
            std::vector<SetupRemediation> fixes;
            for (const auto& skill : catalog) {
                if (self.view.selectedSkills.contains(skill.slug))
                    fixes.push_back(SetupRemediation::installSkill(skill));
            }
            return self.stagePending(std::move(fixes), true);
        });
    }

    void mcp() const {
        std::vector<QObject*> sources;
        for (const auto& server : offeredMCPServers()) {
            auto* box = checkRow(layout, section, server.displayName, QString(),
                                 view.selectedMCP.contains(server.slug));
            QObject::connect(box, &QCheckBox::toggled, section, [&view = view, slug = server.slug](bool on) {
                if (on)
                    view.selectedMCP.insert(slug);
                else
                    view.selectedMCP.erase(slug);
            });
            sources.push_back(box);
            addIndented(layout, secondaryLabel(server.summary, TextRole::footnote, section));
            if (server.disclosure)
                addIndented(layout, secondaryLabel(*server.disclosure, TextRole::footnote, section));
            if (std::holds_alternative<MCPServer::KeylessOptionalKey>(server.connection)) {
                auto* key = new QLineEdit(section);
                key->setEchoMode(QLineEdit::Password);
                const auto typed = view.mcpAPIKeys.find(server.slug);
                if (typed != view.mcpAPIKeys.end())
                    key->setText(QString::fromStdString(typed->second));
                QObject::connect(key, &QLineEdit::textChanged, section,
                                 [&view = view, slug = server.slug](const QString& text) {
                                     view.mcpAPIKeys[slug] = text.toStdString();
                                 });
                addIndented(layout, key);
            }
        }
        installButton(sources, [self = *this] {
            std::vector<SetupRemediation> fixes;
            for (const auto& server : offeredMCPServers()) {
                if (!self.view.selectedMCP.contains(server.slug))
                    continue;
                std::optional<std::string> key;
                const auto typed = self.view.mcpAPIKeys.find(server.slug);
                if (typed != self.view.mcpAPIKeys.end() && !trimWhitespaceAndNewlines(typed->second).empty())
                    key = trimWhitespaceAndNewlines(typed->second);
                fixes.push_back(SetupRemediation::addMCPServer(server, key));
            }
            return self.stagePending(std::move(fixes), true);
        });
    }

    void git() const {
        auto* name = new QLineEdit(QString::fromStdString(view.gitName), section);
        name->setPlaceholderText(QStringLiteral("Name"));
        auto* email = new QLineEdit(QString::fromStdString(view.gitEmail), section);
        email->setPlaceholderText(QStringLiteral("Email"));
        QObject::connect(name, &QLineEdit::textChanged, section,
                         [&view = view](const QString& text) { view.gitName = text.toStdString(); });
        QObject::connect(email, &QLineEdit::textChanged, section,
                         [&view = view](const QString& text) { view.gitEmail = text.toStdString(); });
        layout->addWidget(name);
        layout->addWidget(email);

        const auto& probes = view.model().probes();
        const bool ghPresent = probes && probes->ghPresent;
        const bool ghAuthed = probes && probes->ghAuthed;
        auto* configure =
            checkRow(layout, section, SetupRemediation::configureGit("", "").displayLabel(), QString(), true);
        QPointer<QCheckBox> gh;
        QPointer<QCheckBox> auth;
        // The GitHub CLI installs with Homebrew, and the sign-in runs the CLI: what cannot run yet is shown
        // unticked and disabled rather than left to fail.
        const bool homebrew = brewExecutable(*view.screenContext().services.fs).has_value();
        const auto possibleRow = [this](const std::string& label, bool possible) {
            auto* box = checkRow(layout, section, label, QString(), possible);
            box->setEnabled(possible);
            return box;
        };
        if (!ghPresent)
            gh = possibleRow(SetupRemediation::installGh().displayLabel(), homebrew);
        if (!ghAuthed)
            auth = possibleRow(SetupRemediation::githubAuth().displayLabel(), homebrew || ghPresent);
        auto bothFilled = [&view = view] {
            return !trimWhitespaceAndNewlines(view.gitName).empty() &&
                   !trimWhitespaceAndNewlines(view.gitEmail).empty();
        };
        auto enableConfigure = [configure, bothFilled] { configure->setEnabled(bothFilled()); };
        QObject::connect(name, &QLineEdit::textChanged, configure, enableConfigure);
        QObject::connect(email, &QLineEdit::textChanged, configure, enableConfigure);
        enableConfigure();

        std::vector<QObject*> sources{name, email, configure};
        if (gh)
            sources.push_back(gh);
        if (auth)
            sources.push_back(auth);
        installButton(
            sources, [self = *this, configure = QPointer<QCheckBox>(configure), gh, auth, bothFilled] {
                std::vector<SetupRemediation> fixes;
                if (configure && configure->isChecked() && bothFilled())
                    fixes.push_back(
                        SetupRemediation::configureGit(trimWhitespaceAndNewlines(self.view.gitName),
                                                       trimWhitespaceAndNewlines(self.view.gitEmail)));
                if (gh && gh->isChecked())
                    fixes.push_back(SetupRemediation::installGh());
                if (auth && auth->isChecked())
                    fixes.push_back(SetupRemediation::githubAuth());
                return self.stagePending(std::move(fixes), false);
            });
    }
};

}  // namespace

const std::vector<MCPServer>& offeredMCPServers() {
    static const std::vector<MCPServer> kServers;
    return kServers;
}

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
