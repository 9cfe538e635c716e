#include "engine/installers/file_append_writer.h"

#include <array>
#include <ctime>

#include "engine/core/text.h"
#include "engine/installers/file_tree.h"
#include "engine/setup/product_config.h"

namespace quill {

namespace {

constexpr const char* kDomain = "FileAppendWriter";

/// Whether `text` ends with `count` newlines, counting CR LF as one character (so "\r\n" is no "\n").
bool endsWithNewlines(std::string_view text, std::size_t count) {
    if (text.size() < count)
        return false;
    for (std::size_t i = 0; i < count; ++i) {
        if (text[text.size() - 1 - i] != '\n')
            return false;
    }
    return text.size() == count || text[text.size() - 1 - count] != '\r';
}

std::string separator(std::string_view text) {
    if (text.empty() || endsWithNewlines(text, 2))
        return "";
    return endsWithNewlines(text, 1) ? "\n" : "\n\n";
}

Error changedSincePreview(const std::filesystem::path& path) {
    return Error{kDomain, 1, path.string() + " changed since the preview"};
}

}  // namespace

Error FileAppendWriter::WriteError::backupFailed(const Error& underlying) {
    return Error{std::string(kDomain), static_cast<int>(Code::backupFailed),
                 "Couldn't write backup file: " + underlying.message};
}

Error FileAppendWriter::WriteError::writeFailed(const Error& underlying) {
    return Error{std::string(kDomain), static_cast<int>(Code::writeFailed),
                 "Couldn't write file: " + underlying.message};
}

std::vector<std::string> activeShellLines(std::string_view text) {
    std::vector<std::string> lines;
    auto keep = [&lines](std::string_view line) {
        std::string trimmed = trimWhitespaceAndNewlines(line);
        if (!trimmed.empty() && !trimmed.starts_with("#"))
            lines.push_back(std::move(trimmed));
    };
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        std::size_t breakLength = 0;
        if (c == '\n' || c == '\r' || c == '\v' || c == '\f')
            breakLength = 1;  // CR LF splits twice; the empty line between is dropped
        else if (text.substr(i, 2) == "\xC2\x85")
            breakLength = 2;
        else if (text.substr(i, 3) == "\xE2\x80\xA8" || text.substr(i, 3) == "\xE2\x80\xA9")
            breakLength = 3;
        if (breakLength == 0) {
            ++i;
            continue;
        }
        keep(text.substr(start, i - start));
        i += breakLength;
        start = i;
    }
    keep(text.substr(start));
    return lines;
}

bool FileAppendWriter::containsActiveLine(std::string_view text, const std::vector<std::string>& needles) {
    for (const auto& line : activeShellLines(text)) {
        for (const auto& needle : needles) {
            if (contains(line, needle))
                return true;
        }
    }
    return false;
}

bool FileAppendWriter::containsActiveLine(std::string_view text, std::string_view needle) {
    return containsActiveLine(text, std::vector<std::string>{std::string(needle)});
}

std::string FileAppendWriter::blockHeader(std::string_view label, std::chrono::system_clock::time_point date,
                                          const ProductConfig& config) {
    std::string datePart;
    if (config.datedShellMarker) {
        const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
        std::tm local{};
        localtime_r(&seconds, &local);
        std::array<char, 16> buffer{};
        const std::size_t length = std::strftime(buffer.data(), buffer.size(), "%Y-%m-%d", &local);
        datePart = std::string(buffer.data(), length) + " ";
    }
    return "# " + datePart + config.shellConfigMarker + " — " + std::string(label);
}

FileAppendWriter::DiffPreview FileAppendWriter::preview(
    const std::vector<std::string>& lines, const std::string& label,
    const std::function<bool(const std::string&)>& isAlreadySet) const {
    const auto date = std::chrono::system_clock::now();
    const auto config = ProductConfig::current();

    DiffPreview result;
    result.path = target;
    result.backupPath = target.parent_path() / (target.filename().string() + ".bak");
    result.wasCreated = !fs->fileExists(target);
    if (!result.wasCreated) {
        // An unreadable file is proposed as if it were empty; apply reads it again and refuses it.
        if (auto text = fs->readString(target))
            result.originalContents = std::move(*text);
    }
    result.alreadySet = isAlreadySet(result.originalContents);
    if (result.alreadySet) {
        result.proposedContents = result.originalContents;
        return result;
    }
    result.linesAdded.push_back(blockHeader(label, date, *config));
    result.linesAdded.insert(result.linesAdded.end(), lines.begin(), lines.end());
    result.proposedContents =
        result.originalContents + separator(result.originalContents) + join(result.linesAdded, "\n") + "\n";
    return result;
}

Result<FileAppendWriter::Appended> FileAppendWriter::append(const std::string& line, const std::string& label,
                                                            const std::string& needle,
                                                            NeedleScope scope) const {
    auto proposal = preview({line}, label, [&](const std::string& text) {
        return scope == NeedleScope::activeLines ? containsActiveLine(text, needle) : contains(text, needle);
    });
    auto backupWritten = apply(proposal);
    if (!backupWritten)
        return fail(backupWritten.error());
    return Appended{std::move(proposal), *backupWritten};
}

Result<bool> FileAppendWriter::apply(const DiffPreview& preview, bool seededHere) const {
    if (preview.alreadySet)
        return false;

    // The file must still be what the preview showed: a newer text would be lost, with no backup of it.
    const bool exists = fs->fileExists(preview.path);
    if (exists == preview.wasCreated)
        return fail(WriteError::writeFailed(changedSincePreview(preview.path)));
    if (exists) {
        auto current = fs->readString(preview.path);
        if (!current)
            return fail(WriteError::writeFailed(current.error()));
        if (*current != preview.originalContents)
            return fail(WriteError::writeFailed(changedSincePreview(preview.path)));
    }

    // A file that was not there, or was seeded here, has no text of the user's to keep, nor has a blank one:
    // a ".bak" beside it is the user's own (a file set aside by hand, perhaps replaced by an empty one), not
    // ours.
    const std::string_view usersText =
        preview.wasCreated || seededHere ? std::string_view() : std::string_view(preview.originalContents);
    const bool backUp = backupOwed(*fs, usersText, preview.backupPath);
    if (backUp) {
        if (auto written = writeBackup(*fs, preview.path, preview.backupPath, preview.originalContents);
            !written)
            return fail(WriteError::backupFailed(written.error()));
    }
    if (auto written = fs->write(preview.proposedContents, preview.path, WriteMode::atomically); !written)
        return fail(WriteError::writeFailed(written.error()));
    return backUp;
}

FileAppendWriter::DiffPreview ZprofileWriter::preview(bool includePathLine) const {
    std::vector<std::string> lines{"export JAVA_HOME=$(/usr/libexec/java_home)"};
    if (includePathLine)
        lines.emplace_back("export PATH=\"$JAVA_HOME/bin:$PATH\"");
    return writer.preview(lines, "Java configuration",
                          [](const std::string& text) { return hasJavaHomeExport(text); });
}

bool ZprofileWriter::hasJavaHomeExport(std::string_view text) {
    for (const auto& line : activeShellLines(text)) {
        if (line.starts_with("export JAVA_HOME="))
            return true;
    }
    return false;
}

}  // namespace quill
