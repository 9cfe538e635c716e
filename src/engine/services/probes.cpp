#include "engine/services/probes.h"

#include "engine/core/task.h"
#include "engine/core/text.h"
#include "engine/services/jdk_release_file_reader.h"
#include "engine/services/login_shell.h"

namespace quill {

namespace {

std::vector<std::string_view> nonEmptyLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = std::min(text.find('\n', start), text.size());
        if (end > start)
            lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool startsAt(std::string_view s, std::size_t pos, std::string_view bytes) {
    return s.substr(pos).starts_with(bytes);
}

/// Byte length of the white-space character at `pos` (tab, line feed, vertical tab, form feed, carriage
/// return, and the Unicode space separators), or 0.
std::size_t whitespaceAt(std::string_view s, std::size_t pos) {
    const char c = s[pos];
    if (c == ' ' || (c >= '\t' && c <= '\r'))
        return 1;
    if (startsAt(s, pos, "\xC2\xA0"))
        return 2;
    if (startsAt(s, pos, "\xE1\x9A\x80") || startsAt(s, pos, "\xE2\x80\xAF") ||
        startsAt(s, pos, "\xE2\x81\x9F") || startsAt(s, pos, "\xE3\x80\x80")) {
        return 3;
    }
    if (startsAt(s, pos, "\xE2\x80") && pos + 2 < s.size()) {
        const auto third = static_cast<unsigned char>(s[pos + 2]);
        if (third <= 0x8A || third == 0xA8 || third == 0xA9)
            return 3;
    }
    return 0;
}

/// Byte length of the line terminator at `pos` (line feed, vertical tab, form feed, carriage return, U+0085,
/// U+2028, U+2029), or 0.
std::size_t lineTerminatorAt(std::string_view s, std::size_t pos) {
    const char c = s[pos];
    if (c >= '\n' && c <= '\r')
        return 1;
    if (startsAt(s, pos, "\xC2\x85"))
        return 2;
    if (startsAt(s, pos, "\xE2\x80\xA8") || startsAt(s, pos, "\xE2\x80\xA9"))
        return 3;
    return 0;
}

/// Reads one `java_home -V` line: indentation, version, "(architecture)", "vendor", "-", "display name",
/// home.
class JavaHomeLine {
  public:
    explicit JavaHomeLine(std::string_view line) : m_line(line) {}

    std::optional<JDKInfo> read() {
        if (!skipWhitespace())
            return std::nullopt;
        const auto version = until([this] { return whitespaceAt(m_line, m_pos) > 0; });
        if (version.empty() || !skipWhitespace() || !take('('))
            return std::nullopt;
        const auto architecture = until([this] { return m_line[m_pos] == ')'; });
        if (architecture.empty() || !take(')') || !skipWhitespace() || !take('"'))
            return std::nullopt;
        const auto vendor = until([this] { return m_line[m_pos] == '"'; });
        if (!take('"') || !skipWhitespace() || !take('-') || !skipWhitespace() || !take('"'))
            return std::nullopt;
        until([this] { return m_line[m_pos] == '"'; });
        if (!take('"') || !skipWhitespace())
            return std::nullopt;
        const auto home = homeToEnd();
        if (!home)
            return std::nullopt;
        return JDKInfo{std::string(version), std::string(vendor), std::string(architecture),
                       std::string(trimSpacesAndTabs(*home))};
    }

  private:
    /// Skips one or more white-space characters; false when there is none.
    bool skipWhitespace() {
        const std::size_t start = m_pos;
        while (m_pos < m_line.size()) {
            const std::size_t length = whitespaceAt(m_line, m_pos);
            if (length == 0)
                break;
            m_pos += length;
        }
        return m_pos > start;
    }

    bool take(char c) {
        if (m_pos >= m_line.size() || m_line[m_pos] != c)
            return false;
        ++m_pos;
        return true;
    }

    template <class Stop>
    std::string_view until(Stop stop) {
        const std::size_t start = m_pos;
        while (m_pos < m_line.size() && !stop())
            ++m_pos;
        return m_line.substr(start, m_pos - start);
    }

    /// The home: a "/" and at least one more character up to the end of the line, where one final line
    /// terminator is not part of it and no other may appear.
    std::optional<std::string_view> homeToEnd() {
        if (m_pos >= m_line.size() || m_line[m_pos] != '/')
            return std::nullopt;
        std::string_view home = m_line.substr(m_pos);
        for (std::size_t i = 1; i < home.size(); ++i) {
            const std::size_t length = lineTerminatorAt(home, i);
            if (length == 0)
                continue;
            if (i + length != home.size())
                return std::nullopt;
            home = home.substr(0, i);
            break;
        }
        if (home.size() < 2)
            return std::nullopt;
        return home;
    }

    std::string_view m_line;
    std::size_t m_pos = 0;
};

}  // namespace

std::vector<JDKInfo> Probes::parseJavaHomeList(std::string_view text) {
    std::vector<JDKInfo> jdks;
    for (const auto line : nonEmptyLines(text)) {
        if (auto jdk = JavaHomeLine(line).read())
            jdks.push_back(std::move(*jdk));
    }
    return jdks;
}

std::optional<std::string> Probes::parseJavaHomeMarker(std::string_view output) {
    // Only line feeds end the lines here: echo ends its line with one, and a carriage return in the value is
    // one the user's variable really holds.
    std::optional<std::string_view> last;
    for (std::size_t start = 0; start < output.size();) {
        const auto end = std::min(output.find('\n', start), output.size());
        const auto line = output.substr(start, end - start);
        if (const auto marker = line.find(kJavaHomeMarker); marker != std::string_view::npos)
            last = line.substr(marker + kJavaHomeMarker.size());
        start = end + 1;
    }
    if (!last)
        return std::nullopt;
    const auto value = trimSpacesAndTabs(*last);
    if (value.empty())
        return std::nullopt;
    return std::string(value);
}

ProbeBundle Probes::probe(std::stop_token stop) const {
    ProbeBundle bundle;
    std::vector<JDKInfo> listed;

    runConcurrently(
        [&] {
            const auto result = shell.run("/usr/bin/which", {"java"}, std::nullopt, limits.tool, stop);
            if (!result || result->exitCode != 0)
                return;
            auto path = trimWhitespaceAndNewlines(result->stdout_);
            if (!path.empty())
                bundle.whichJava = std::move(path);
        },
        [&] {
            // java_home writes its listing to standard error, whatever its exit code.
            const auto result = shell.run("/usr/libexec/java_home", {"-V"}, std::nullopt, limits.tool, stop);
            listed = parseJavaHomeList(result ? result->stderr_ : result.error().message);
        },
        [&] {
            if (auto names = fs->contentsOfDirectory(kJavaVirtualMachinesFolder)) {
                bundle.jvmDirContents = std::move(*names);
            }
        },
        [&] {
            const auto result =
                runInLoginShell(*shell.process, "echo " + std::string(kJavaHomeMarker) + "$JAVA_HOME",
                                limits.loginShell, stop);
            if (result)
                bundle.javaHomeInActiveShell = parseJavaHomeMarker(result->stdout_);
        });

    auto extra = JdkReleaseFileReader{fs}.discoverJDKs(bundle.jvmDirContents, listed);
    bundle.installedJDKs = std::move(listed);
    bundle.installedJDKs.insert(bundle.installedJDKs.end(), std::make_move_iterator(extra.begin()),
                                std::make_move_iterator(extra.end()));
    return bundle;
}

}  // namespace quill
