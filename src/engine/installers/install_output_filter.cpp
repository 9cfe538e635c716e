#include "engine/installers/install_output_filter.h"

#include <cstddef>

#include "engine/core/endpoints.h"
#include "engine/core/text.h"

namespace quill {

namespace {

constexpr int kMaximumHiddenLines = 30;
// clang-format off
constexpr std::string_view kOldVersionNote = "Note: that Homebrew message is about macOS 13 being an older version. It is not an error — the install continues normally.";
// clang-format on

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

/// The white space of a log line's fields; every byte >= 0x80 is data.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

/// A cursor over a line that only moves forward: each check consumes what it matched.
class Scan {
  public:
    explicit Scan(std::string_view text) : m_text(text) {}

    bool literal(char c) {
        if (m_at >= m_text.size() || m_text[m_at] != c)
            return false;
        ++m_at;
        return true;
    }
    /// Exactly `count` digits.
    bool digits(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i, ++m_at)
            if (m_at >= m_text.size() || !isDigit(m_text[m_at]))
                return false;
        return true;
    }
    /// At least `least` digits, as many as there are.
    bool digitRun(std::size_t least) {
        const std::size_t start = m_at;
        while (m_at < m_text.size() && isDigit(m_text[m_at]))
            ++m_at;
        return m_at - start >= least;
    }
    /// The characters up to the next white space (or the end), consumed.
    std::string_view word() {
        const std::size_t start = m_at;
        while (m_at < m_text.size() && !isBlank(m_text[m_at]))
            ++m_at;
        return m_text.substr(start, m_at - start);
    }

  private:
    std::string_view m_text;
    std::size_t m_at = 0;
};

/// Whether `word` is a process tag, a name and then "[pid:thread]": `\S+\[\d+:\d+\]` over a whole word.
bool isProcessTag(std::string_view word) {
    if (word.size() < 6 || word.back() != ']')
        return false;
    std::size_t at = word.size() - 1;
    const auto digitsBefore = [&] {
        const std::size_t end = at;
        while (at > 0 && isDigit(word[at - 1]))
            --at;
        return at < end;
    };
    if (!digitsBefore() || at == 0 || word[--at] != ':')
        return false;
    if (!digitsBefore() || at == 0 || word[--at] != '[')
        return false;
    return at > 0;  // the name before the bracket
}

/// Whether a line is a unified-log line of a macOS tool: "YYYY-MM-DD hh:mm:ss.fff… name[pid:thread] ".
bool isUnifiedLogLine(std::string_view line) {
    Scan scan(line);
    const bool timestamp = scan.digits(4) && scan.literal('-') && scan.digits(2) && scan.literal('-') &&
                           scan.digits(2) && scan.literal(' ') && scan.digits(2) && scan.literal(':') &&
                           scan.digits(2) && scan.literal(':') && scan.digits(2) && scan.literal('.') &&
                           scan.digitRun(3) && scan.literal(' ');
    return timestamp && isProcessTag(scan.word()) && scan.literal(' ');
}

}  // namespace

void InstallOutputFilter::Streaming::feed(const std::string& line, std::vector<std::string>& shown) {
    const std::string_view trimmed = trimSpacesAndTabs(line);
    if (m_inNextSteps) {
        ++m_hiddenCount;
        if (contains(line, endpoints::kHomebrewDocsHost)) {
            m_inNextSteps = false;
            return;
        }
        const bool instruction = trimmed.empty() || trimmed.starts_with("-") ||
                                 (!line.empty() && (line.front() == ' ' || line.front() == '\t'));
        if (m_hiddenCount <= kMaximumHiddenLines && instruction)
            return;
        m_inNextSteps = false;
        shown.push_back(line);
        return;
    }
    if (trimmed.starts_with("==> Next steps:")) {
        m_inNextSteps = true;
        m_hiddenCount = 0;
        return;
    }
    if (isUnifiedLogLine(line))
        return;
    shown.push_back(line);
    if (contains(line, "do not provide support for this old version"))
        shown.emplace_back(kOldVersionNote);
}

std::vector<std::string> InstallOutputFilter::filter(const std::vector<std::string>& lines) {
    std::vector<std::string> shown;
    Streaming streaming;
    for (const auto& line : lines)
        streaming.feed(line, shown);
    return shown;
}

}  // namespace quill
