#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/result.h"
#include "engine/services/file_system_operating.h"

namespace quill {

struct ProductConfig;

/// Appends managed blocks to a user's shell file: a header naming the product and the block's purpose, then
/// the block's lines, after one blank line. A change is computed first as a `DiffPreview` and applied after
/// a ".bak" copy of the old text. Blocking; stateless (every call reads the file afresh).
struct FileAppendWriter {
    /// A proposed edit of a text file.
    struct DiffPreview {
        std::filesystem::path path;           ///< the managed file
        std::filesystem::path backupPath;     ///< beside it, its name + ".bak"
        std::string originalContents;         ///< the text at preview time; "" when there was no file
        std::string proposedContents;         ///< the whole text after the change
        std::vector<std::string> linesAdded;  ///< the header and the block's lines; empty when `alreadySet`
        bool alreadySet = false;              ///< the setting is present; nothing will be written
        bool wasCreated = false;              ///< there was no file at preview time

        bool operator==(const DiffPreview&) const = default;
    };

    /// The errors of `apply`: domain `kDomain`, the case as code, the description as message.
    struct WriteError {
        enum class Code { backupFailed = 1, writeFailed = 2 };
        static constexpr std::string_view kDomain = "FileAppendWriter.WriteError";

        static Error backupFailed(const Error& underlying);
        static Error writeFailed(const Error& underlying);
    };

    /// What `append` did: the preview it applied, and whether it wrote the ".bak".
    struct Appended {
        DiffPreview preview;
        bool backupWritten = false;
    };

    /// Where `append` looks for its needle.
    enum class NeedleScope {
        anywhere,     ///< anywhere in the text, comments included
        activeLines,  ///< only on lines that are not comments
    };

    std::filesystem::path target;
    std::shared_ptr<const FileSystemOperating> fs;

    /// The proposal of a block of `lines` under `label`, unless `isAlreadySet` holds for the file's text.
    /// Reads only. A file that cannot be read is proposed as if it were empty; `apply` then refuses it.
    [[nodiscard]] DiffPreview preview(const std::vector<std::string>& lines, const std::string& label,
                                      const std::function<bool(const std::string&)>& isAlreadySet) const;

    /// Previews one `line` and applies it at once. Already set when `needle` is found within `scope`.
    [[nodiscard]] Result<Appended> append(const std::string& line, const std::string& label,
                                          const std::string& needle, NeedleScope scope) const;

    /// Writes `preview`: nothing when `alreadySet`; otherwise refuses a file that changed since the preview
    /// (or cannot be read), then replaces the ".bak" with the old text (the file's mode kept) and the file
    /// with the new text, both atomically. A file with no text of the user's to keep (`wasCreated`; empty or
    /// white space only; or `seededHere`: the caller wrote it just before the preview) leaves an existing
    /// ".bak" as it is and writes none; with no ".bak" there, one is written all the same. True when it wrote
    /// the ".bak". Fails with a `WriteError`.
    [[nodiscard]] Result<bool> apply(const DiffPreview& preview, bool seededHere = false) const;

    /// "# " + the date ("yyyy-MM-dd ", only when the product dates its blocks) + the marker + " — " +
    /// `label`.
    static std::string blockHeader(std::string_view label, std::chrono::system_clock::time_point date,
                                   const ProductConfig& config);

    /// Whether a line of `text` that is not a comment contains any of `needles`.
    static bool containsActiveLine(std::string_view text, const std::vector<std::string>& needles);
    static bool containsActiveLine(std::string_view text, std::string_view needle);
};

/// The JAVA_HOME block of ~/.zprofile. Blocking; stateless.
struct ZprofileWriter {
    FileAppendWriter writer;

    /// The "Java configuration" proposal: the JAVA_HOME export and, with `includePathLine`, its bin folder
    /// first on PATH. Never writes.
    [[nodiscard]] FileAppendWriter::DiffPreview preview(bool includePathLine) const;

    /// Whether an active line of `text` exports JAVA_HOME (whatever its value).
    static bool hasJavaHomeExport(std::string_view text);
};

/// The lines of `text` that are not blank, each trimmed, split at every line break (LF, CR, CR LF, VT, FF,
/// U+0085, U+2028, U+2029), with comment lines left out.
std::vector<std::string> activeShellLines(std::string_view text);

}  // namespace quill
