#include "ui/setupflow/kept_lines.h"

#include <algorithm>
#include <utility>

namespace quill::ui {

KeptLines::KeptLines(qsizetype maximumLines, qsizetype maximumBytes)
    : m_maximumLines(std::max<qsizetype>(maximumLines, 1)), m_maximumBytes(maximumBytes) {}

void KeptLines::append(QString line) {
    m_bytes += line.size() * qsizetype{sizeof(QChar)};
    m_lines.push_back(std::move(line));
    while (m_lines.size() > 1 && (size() > m_maximumLines || m_bytes > m_maximumBytes)) {
        m_bytes -= m_lines.front().size() * qsizetype{sizeof(QChar)};
        m_lines.pop_front();
        ++m_dropped;
    }
}

}  // namespace quill::ui
