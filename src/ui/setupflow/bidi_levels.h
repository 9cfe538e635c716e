#pragma once

#include <QChar>
#include <QStringView>
#include <cstddef>
#include <vector>

namespace quill::ui {

/// The levels the bidirectional algorithm gives the code units of a line laid out as a left-to-right
/// paragraph, as Qt's own layout resolves them: explicit embeddings, overrides and isolates (at most 125
/// deep), weak and neutral types, paired brackets, and white space before a tab or at the end reset to the
/// paragraph's level. A code unit that the algorithm removes (an embedding code, a boundary neutral) takes
/// the lower of the levels either side of it.
[[nodiscard]] std::vector<unsigned char> bidiLevels(QStringView line);

/// Whether `d` is the class of an embedding or override code, or of the PDF that closes one.
[[nodiscard]] bool isEmbeddingCode(QChar::Direction d);
/// Whether the bidirectional algorithm leaves a code point of the class `d` out of the text it resolves: an
/// embedding or override code, a PDF, or a boundary neutral.
[[nodiscard]] bool isRemovedByBidi(QChar::Direction d);
/// The bracket that closes `c` where `c` opens a pair of brackets the bidirectional algorithm resolves,
/// `c` itself where it closes one, else nothing.
[[nodiscard]] char32_t pairedBracket(char16_t c);
/// Whether the closing bracket `c` closes a pair that `closing` closes: U+232A and U+3009 are the same.
[[nodiscard]] bool closesBracket(char32_t c, char32_t closing);
/// The most brackets open at once that still pair.
constexpr std::size_t kMostOpenBrackets = 63;

}  // namespace quill::ui
