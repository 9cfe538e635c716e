#include "engine/products/brew/brew_prober.h"

#include "engine/core/task.h"
#include "engine/core/text.h"
#include "engine/core/unicode_text.h"
#include "engine/installers/shell_configurator.h"
#include "engine/products/brew/homebrew_location.h"
#include "engine/products/login_shell_check.h"
#include "engine/products/workspace_checks.h"

namespace quill {

SetupProbeBundle BrewProber::probe(const ShellRunner& shell, const FileSystemOperating& fs,
                                   std::stop_token stop) const {
    Result<ProcessResult> version = fail(Error{});
    Result<ProcessResult> onPath = fail(Error{});
    SetupProbeBundle bundle;
    runConcurrently([&] { version = runLoginShellCheck(shell, "brew --version 2>&1", stop); },
                    [&] { onPath = runLoginShellCheck(shell, "/usr/bin/which -a brew", stop); },
                    [&] {
                        for (const auto path : {kAppleSiliconBrewPath, kIntelBrewPath}) {
                            if (fs.fileExists(std::string(path)))
                                bundle.installedPrimaryToolLocations.emplace_back(path);
                        }
                    },
                    [&] { probeWorkspace(shell, fs, bundle, stop); });

    if (version) {
        if (auto output = trimWhitespaceAndNewlines(version->stdout_); !output.empty())
            bundle.versionOutput = std::move(output);
        bundle.versionExitCode = version->exitCode;
    } else {
        bundle.versionExitCode = -1;
    }
    if (onPath && onPath->exitCode == 0) {
        for (const auto& line : nonEmptyLines(onPath->stdout_)) {
            if (const auto path = trimSpacesAndTabs(line); !path.empty())
                bundle.pathVisiblePrimaryTools.emplace_back(path);
        }
    }
    bundle.shellConfigured = ShellConfigurator::isConfigured(fs);
    return bundle;
}

}  // namespace quill
