// The fixes that set up work around the tools: example projects, agent skills, MCP servers, Git and the
// GitHub sign-in.

#include <algorithm>
#include <regex>
#include <utility>

#include "engine/core/endpoints.h"
#include "engine/core/paths.h"
#include "engine/core/shell_quote.h"
#include "engine/core/text.h"
#include "engine/core/uuid.h"
#include "engine/installers/adoptium_api.h"
#include "engine/installers/git_config_script.h"
#include "engine/installers/mcp_config_writer.h"
#include "engine/installers/skill_folder_installer.h"
#include "engine/installers/template_tree_copier.h"
#include "engine/runner/fixes.h"
#include "engine/services/child_reader.h"
#include "engine/services/login_shell.h"
#include "engine/services/process_cancellation.h"

namespace quill::fixes {

namespace {

// clang-format off
constexpr std::string_view kSignInNotCompleted = "GitHub sign-in not completed. You can finish anytime by running `gh auth login` in your terminal.";
// clang-format on

bool isDirectory(const Runner& runner, const std::filesystem::path& path) {
    return runner.fs->itemKind(path) == ItemKind::directory;
}

}  // namespace

void createProject(const Runner& runner, ProjectTemplate template_,
                   const std::optional<std::string>& destinationPath, const EventSink& sink) {
    const std::string folderName(projectFolderName(template_));
    const auto templateFolder =
        ResourceLocator::resource(std::filesystem::path("example-projects") / folderName);
    if (!isDirectory(runner, templateFolder)) {
        say(sink, "Couldn't find the bundled " + folderName +
                      " template in the app — this build may be missing its project resources.");
        complete(sink, 1);
        return;
    }
    const std::filesystem::path destination = destinationPath
                                                  ? std::filesystem::path(*destinationPath)
                                                  : runner.fs->homeDirectory() / "Documents" / folderName;
    const auto outcome =
        TemplateTreeCopier{runner.fs}.copyTemplate(templateFolder, destination, destinationPath.has_value());
    reportWriter(outcome.messages, outcome.succeeded, sink);
}

void installBundledSkill(const Runner& runner, const AgentSkill& skill, const std::string& name,
                         const EventSink& sink) {
    const auto folder = ResourceLocator::resource(std::filesystem::path("skills") / name);
    if (!isDirectory(runner, folder)) {
        say(sink, "Couldn't find the bundled " + skill.slug +
                      " skill in the app — this build may be missing its skill resources.");
        complete(sink, 1);
        return;
    }
    const auto outcome = SkillFolderInstaller{runner.fs}.install(folder, skill.slug);
    reportWriter(outcome.messages, outcome.succeeded, sink);
}

std::string skillFetchCommand(const std::string& repo, const std::string& scratch, const std::string& pin) {
    const std::string address = "https://" + std::string(endpoints::kGitHubHost) + "/" + repo;
    return "git clone --filter=blob:none --no-checkout " + shellSingleQuoted(address) + " " +
           shellSingleQuoted(scratch) + " && git -C " + shellSingleQuoted(scratch) + " checkout " +
           shellSingleQuoted(pin);
}

void installFetchedSkill(const Runner& runner, const AgentSkill& skill, const AgentSkill::Fetch& source,
                         const EventSink& sink, const std::stop_token& stop) {
    const std::string failed = "Couldn't fetch " + skill.slug + " from " + source.repo + ".";
    const auto temporary = userTemporaryDirectory();
    if (!temporary) {
        say(sink, failed);
        complete(sink, 1);
        return;
    }
    const auto scratch = *temporary / ("quill-skill-" + skill.slug + "-" + randomUUID());
    say(sink, "Fetching the " + skill.displayName + " skill from " + source.repo + "…");
    const int fetched =
        runner.loginShellStep(skillFetchCommand(source.repo, scratch.string(), source.pin), sink, stop);
    bool succeeded = false;
    if (fetched == 0 && !stop.stop_requested()) {
        const auto files = source.subpath == "." ? scratch : scratch / source.subpath;
        const auto outcome = SkillFolderInstaller{runner.fs}.install(files, skill.slug);
        sayAll(sink, outcome.messages);
        succeeded = outcome.succeeded;
    } else {
        say(sink, failed);
    }
    // The scratch folder goes on every road, a stop included: the clone has ended by now.
    (void)runner.fs->removeItem(scratch);
    complete(sink, succeeded ? 0 : 1);
}

std::string mcpEndpoint(const MCPServer& server, const std::optional<std::string>& apiKey) {
    const auto* keyed = std::get_if<MCPServer::KeylessOptionalKey>(&server.connection);
    if (!keyed || !keyed->keyURLTemplate || !apiKey)
        return server.url;
    const std::string key = trimWhitespaceAndNewlines(*apiKey);
    if (key.empty())
        return server.url;
    // The key goes into the address percent-encoded, so that a typed "&" or "/" cannot change its shape.
    const std::string encoded = percentEncodedQueryValue(key);
    std::string endpoint = *keyed->keyURLTemplate;
    constexpr std::string_view kPlaceholder = "{key}";
    for (auto at = endpoint.find(kPlaceholder); at != std::string::npos;
         at = endpoint.find(kPlaceholder, at + encoded.size()))
        endpoint.replace(at, kPlaceholder.size(), encoded);
    return endpoint;
}

std::string maskingMCPKey(std::string_view line, const std::optional<std::string>& apiKey) {
    const std::string key = apiKey ? trimWhitespaceAndNewlines(*apiKey) : std::string();
    if (key.empty())
        return std::string(line);
    std::vector<std::string> forms{key, percentEncodedQueryValue(key)};
    if (forms[1].size() < forms[0].size())
        std::swap(forms[0], forms[1]);  // the longer first, where one form starts the other
    constexpr std::size_t kShownCharacters = 4;
    std::string masked;
    std::size_t i = 0;
    while (i < line.size()) {
        const auto form = std::find_if(forms.rbegin(), forms.rend(), [&](const std::string& candidate) {
            return line.substr(i, candidate.size()) == candidate;
        });
        if (form == forms.rend()) {
            masked += line[i++];
            continue;
        }
        if (graphemeCount(*form) > kShownCharacters)
            masked += prefixGraphemes(*form, kShownCharacters);
        masked += "…";
        i += form->size();
    }
    return masked;
}

MCPClosing mcpClosing(const MCPServer& server, const MCPRegistration& registration) {
    MCPClosing closing;
    const std::string desktopHint = "For Claude Desktop’s Chat, add " + server.displayName +
                                    " under Settings → Connectors — the Code tab already has it.";
    if (!registration.codexHandled && !registration.claudeAvailable) {
        closing.lines.push_back(registration.desktopPresent
                                    ? desktopHint
                                    : "No AI agent is set up yet — nothing to configure " +
                                          server.displayName + " for.");
        return closing;
    }
    const bool failed =
        registration.claudeFailed || (registration.codexHandled && !registration.codexSucceeded);
    if (registration.desktopPresent)
        closing.lines.push_back(desktopHint);
    if (std::holds_alternative<MCPServer::OAuth>(server.connection) && !failed)
        closing.lines.push_back("Sign in to " + server.displayName +
                                " inside Claude or Codex, then restart it to finish.");
    closing.exitCode = failed ? 1 : 0;
    return closing;
}

void addMCPServer(const Runner& runner, const MCPServer& server, const std::optional<std::string>& apiKey,
                  const EventSink& sink, const std::stop_token& stop) {
    const std::string endpoint = mcpEndpoint(server, apiKey);
    const MCPConfigWriter writer{runner.fs};
    MCPRegistration registration;
    registration.desktopPresent =
        runner.fs->itemKind(writer.claudeDesktopConfigDirectory()) != ItemKind::missing;
    registration.claudeAvailable = runner.isCommandAvailable("claude", stop);
    if (registration.claudeAvailable) {
        say(sink, "Adding " + server.displayName + " to Claude Code…");
        // The tool may echo the address, key and all.
        const auto shown = [&apiKey](const std::string& line) { return maskingMCPKey(line, apiKey); };
        registration.claudeFailed =
            runner.loginShellStep(MCPConfigWriter::claudeAddCommand(server.slug, endpoint), sink, stop,
                                  shown) != 0;
    } else if (runner.fs->itemKind(runner.fs->homeDirectory() / ".claude") != ItemKind::missing) {
        say(sink, "Claude Code CLI isn't on your PATH — skipping it for " + server.displayName + ".");
    }
    if (stop.stop_requested())
        return;
    const auto codex = writer.addToCodexConfig(server.slug, endpoint);
    sayAll(sink, codex.lines);
    registration.codexHandled = codex.codexFound;
    registration.codexSucceeded = codex.succeeded;
    const auto closing = mcpClosing(server, registration);
    sayAll(sink, closing.lines);
    complete(sink, closing.exitCode);
}

void configureGit(const Runner& runner, const std::string& name, const std::string& email,
                  const EventSink& sink, const std::stop_token& stop) {
    say(sink, "Saving your Git name and email…");
    const int status = runner.loginShellStep(GitConfigScript::build(name, email), sink, stop);
    if (status == 0)
        say(sink, "Saved to ~/.gitconfig (+ ~/.config/git/ignore).");
    complete(sink, status);
}

void installGh(const Runner& runner, const EventSink& sink, const std::stop_token& stop) {
    const auto status = runner.installFormula(std::string(packages::kGhFormula), sink, stop);
    if (status)
        complete(sink, *status);
    else
        sink.yield(Event::Canceled{});
}

std::optional<std::string> deviceCodeIn(const std::string& line) {
    static const std::regex kCode("[A-Z0-9]{4}-[A-Z0-9]{4}");
    std::smatch match;
    if (!contains(toLower(line), "code") || !std::regex_search(line, match, kCode))
        return std::nullopt;
    return match.str();
}

std::optional<std::string> devicePageIn(const std::string& line) {
    static const std::regex kDevicePage(
        std::regex_replace(std::string(endpoints::kGitHubHost), std::regex("\\."), "\\.") + "/login/device");
    std::smatch match;
    if (!std::regex_search(line, match, kDevicePage))
        return std::nullopt;
    return "https://" + match.str();
}

void githubAuth(const Runner& runner, const EventSink& sink, const std::stop_token& stop) {
    say(sink, "Starting GitHub sign-in…");
    if (stop.stop_requested())
        return;
    const std::string login = "gh auth login --web --git-protocol https --hostname " +
                              std::string(endpoints::kGitHubHost) + " --skip-ssh-key";
    // Ending the fix's stream ends the sign-in at once: nothing follows a stop, so what gh still prints while
    // it is terminated is nobody's to read.
    auto handle = std::make_shared<LiveProcessCancellation>();
    std::optional<std::string> code;
    bool opened = false;
    const ChildEnd end = readChild(
        streamInLoginShell(*runner.process, login, handle), *handle, stop,
        [&](const std::string& line) {
            relayLine(sink, line, stop);
            if (!code)
                code = deviceCodeIn(line);
            if (!opened) {
                if (auto page = devicePageIn(line)) {
                    sink.yield(Event::OpenBrowser{std::move(*page), code});
                    opened = true;
                }
            }
        },
        ReadOnStop::returnAtOnce);
    if (end.startFailure)
        say(sink, "Failed to start: " + *end.startFailure);
    if (runner.loginShellStep("gh auth status >/dev/null 2>&1", sink, stop) != 0) {
        say(sink, std::string(kSignInNotCompleted));
        complete(sink, 1);
        return;
    }
    (void)runner.loginShellStep("gh auth setup-git", sink, stop);
    say(sink, "Signed in to GitHub. Git is ready — pushes won't ask for a password.");
    complete(sink, 0);
}

}  // namespace quill::fixes
