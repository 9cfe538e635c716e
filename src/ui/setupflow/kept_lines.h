#pragma once

#include <QString>
#include <deque>

namespace quill::ui {

/// The last lines of a run, within a bound on their number and on their text: once either is passed, the
/// earliest lines go. Counts the lines it let go.
class KeptLines {
  public:
    static constexpr qsizetype kMaximumLines = 100'000;
    static constexpr qsizetype kMaximumBytes = qsizetype{32} * 1024 * 1024;

    explicit KeptLines(qsizetype maximumLines = kMaximumLines, qsizetype maximumBytes = kMaximumBytes);

    /// Adds `line` at the end and lets the earliest lines go while a bound is passed; the last line stays.
    void append(QString line);

    /// The lines kept, oldest first.
    [[nodiscard]] qsizetype size() const { return static_cast<qsizetype>(m_lines.size()); }
    [[nodiscard]] const QString& at(qsizetype index) const {
        return m_lines[static_cast<std::size_t>(index)];
    }
    /// How many lines went, all before the first kept one.
    [[nodiscard]] qsizetype dropped() const { return m_dropped; }
    /// How many lines were ever added: the index after the last one, counting the dropped ones.
    [[nodiscard]] qsizetype end() const { return m_dropped + size(); }

  private:
    std::deque<QString> m_lines;
    qsizetype m_dropped = 0;
    qsizetype m_bytes = 0;
    qsizetype m_maximumLines;
    qsizetype m_maximumBytes;
};

}  // namespace quill::ui
