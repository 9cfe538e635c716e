#include "ui/setupflow/bidi_levels.h"

#include <QChar>
#include <algorithm>
#include <utility>

namespace quill::ui {

char32_t pairedBracket(char16_t c) {
    constexpr char16_t kFirstPastAscii = 0x0F3A;  // Tibetan's, the first bracket past ASCII's
    if (c < kFirstPastAscii && c != u'(' && c != u')' && c != u'[' && c != u']' && c != u'{' && c != u'}')
        return 0;
    if (QChar::direction(c) != QChar::DirON || !QChar::hasMirrored(c))
        return 0;
    const auto category = QChar::category(c);
    if (category == QChar::Punctuation_Open)
        return QChar::mirroredChar(c);
    return category == QChar::Punctuation_Close ? c : 0;
}

bool isEmbeddingCode(QChar::Direction d) {
    return d == QChar::DirLRE || d == QChar::DirRLE || d == QChar::DirLRO || d == QChar::DirRLO ||
           d == QChar::DirPDF;
}

bool isRemovedByBidi(QChar::Direction d) {
    return isEmbeddingCode(d) || d == QChar::DirBN;
}

bool closesBracket(char32_t c, char32_t closing) {
    return closing == c || (closing == 0x3009 && c == 0x232A) || (closing == 0x232A && c == 0x3009);
}

namespace {

/// The resolution of `bidiLevels`, one line at a time.
class Levels {
  public:
    explicit Levels(QStringView line) : m_line(line), m_size(line.size()) {}

    std::vector<unsigned char> levels() {
        classify();
        resolveExplicit();
        for (const auto& sequence : sequences())
            resolveImplicit(sequence);
        levelRemoved();
        resetWhiteSpace();
        return std::move(m_level);
    }

  private:
    /// The code point that starts at `at`, and its code units.
    std::pair<char32_t, qsizetype> codePointAt(qsizetype at) const {
        const QChar c = m_line[at];
        if (c.isHighSurrogate() && at + 1 < m_size && m_line[at + 1].isLowSurrogate())
            return {QChar::surrogateToUcs4(c, m_line[at + 1]), 2};
        return {c.unicode(), 1};
    }

    using Dir = QChar::Direction;
    static constexpr int kMostDepth = 125;

    static bool isRemoved(Dir d) { return isRemovedByBidi(d); }
    static bool isInitiator(Dir d) { return d == QChar::DirLRI || d == QChar::DirRLI || d == QChar::DirFSI; }
    Dir original(qsizetype at) const { return static_cast<Dir>(m_original[static_cast<std::size_t>(at)]); }
    Dir& type(qsizetype at) { return m_type[static_cast<std::size_t>(at)]; }
    unsigned char& embedding(qsizetype at) { return m_embedding[static_cast<std::size_t>(at)]; }
    unsigned char& level(qsizetype at) { return m_level[static_cast<std::size_t>(at)]; }

    /// Each code unit's class (the second half of a surrogate pair is a non-spacing mark, as Qt takes it),
    /// each isolate's matching PDI and each FSI's direction: that of its first strong code point outside
    /// the isolates it holds.
    void classify() {
        m_original.resize(static_cast<std::size_t>(m_size));
        m_type.resize(static_cast<std::size_t>(m_size));
        struct Open {
            std::size_t isolate;
            bool strongSeen;
        };
        std::vector<Open> open;
        for (qsizetype at = 0; at < m_size;) {
            const auto [c, units] = codePointAt(at);
            const Dir d = QChar::direction(c);
            m_original[static_cast<std::size_t>(at)] = static_cast<unsigned char>(d);
            if (units == 2)
                m_original[static_cast<std::size_t>(at + 1)] = QChar::DirNSM;
            if (isInitiator(d)) {
                open.push_back({m_isolates.size(), false});
                m_isolates.push_back({at, m_size, false});
            } else if (d == QChar::DirPDI && !open.empty()) {
                m_isolates[open.back().isolate].pdi = at;
                open.pop_back();
            } else if ((d == QChar::DirL || d == QChar::DirR || d == QChar::DirAL) && !open.empty() &&
                       !open.back().strongSeen) {
                open.back().strongSeen = true;
                m_isolates[open.back().isolate].rightToLeft = d != QChar::DirL;
            }
            at += units;
        }
        for (qsizetype at = 0; at < m_size; ++at)
            type(at) = original(at);
    }

    /// Rules X1 to X9: each code unit's embedding level, and its class where an override sets it.
    void resolveExplicit() {
        m_embedding.assign(static_cast<std::size_t>(m_size), 0);
        struct Entry {
            unsigned char level;
            Dir override;  // DirON for none
            bool isolate;
        };
        std::vector<Entry> stack{{0, QChar::DirON, false}};
        int overflowIsolates = 0;
        int overflowEmbeddings = 0;
        int validIsolates = 0;
        std::size_t isolate = 0;
        const auto overridden = [&](qsizetype at) {
            if (stack.back().override != QChar::DirON)
                type(at) = stack.back().override;
        };
        for (qsizetype at = 0; at < m_size; ++at) {
            const Dir d = original(at);
            const unsigned char current = stack.back().level;
            embedding(at) = current;
            const bool rightToLeft = d == QChar::DirRLE || d == QChar::DirRLO || d == QChar::DirRLI ||
                                     (d == QChar::DirFSI && m_isolates[isolate].rightToLeft);
            const int next = rightToLeft ? (current + 1) | 1 : (current + 2) & ~1;
            switch (d) {
                case QChar::DirRLE:
                case QChar::DirLRE:
                case QChar::DirRLO:
                case QChar::DirLRO:
                    if (next <= kMostDepth && overflowIsolates == 0 && overflowEmbeddings == 0) {
                        const Dir override = d == QChar::DirRLO   ? QChar::DirR
                                             : d == QChar::DirLRO ? QChar::DirL
                                                                  : QChar::DirON;
                        stack.push_back({static_cast<unsigned char>(next), override, false});
                    } else if (overflowIsolates == 0) {
                        ++overflowEmbeddings;
                    }
                    type(at) = QChar::DirBN;
                    break;
                case QChar::DirRLI:
                case QChar::DirLRI:
                case QChar::DirFSI:
                    overridden(at);
                    ++isolate;
                    if (next <= kMostDepth && overflowIsolates == 0 && overflowEmbeddings == 0) {
                        ++validIsolates;
                        stack.push_back({static_cast<unsigned char>(next), QChar::DirON, true});
                    } else {
                        ++overflowIsolates;
                    }
                    break;
                case QChar::DirPDI:
                    if (overflowIsolates > 0) {
                        --overflowIsolates;
                    } else if (validIsolates > 0) {
                        overflowEmbeddings = 0;
                        while (!stack.back().isolate)
                            stack.pop_back();
                        stack.pop_back();
                        --validIsolates;
                    }
                    embedding(at) = stack.back().level;
                    overridden(at);
                    break;
                case QChar::DirPDF:
                    if (overflowIsolates > 0) {
                    } else if (overflowEmbeddings > 0) {
                        --overflowEmbeddings;
                    } else if (!stack.back().isolate && stack.size() >= 2) {
                        stack.pop_back();
                    }
                    type(at) = QChar::DirBN;
                    break;
                case QChar::DirB:
                    stack.resize(1);
                    overflowIsolates = overflowEmbeddings = validIsolates = 0;
                    embedding(at) = 0;
                    break;
                case QChar::DirBN:
                    break;
                default:
                    overridden(at);
                    break;
            }
        }
    }

    /// The isolating run sequences (rule X10): level runs of the code units not removed, each run that ends
    /// at an isolate's start followed by the one that starts at its matching PDI.
    std::vector<std::vector<qsizetype>> sequences() {
        std::vector<std::vector<qsizetype>> runs;
        for (qsizetype at = 0; at < m_size; ++at) {
            if (isRemoved(original(at)))
                continue;
            if (runs.empty() || embedding(runs.back().back()) != embedding(at))
                runs.emplace_back();
            runs.back().push_back(at);
        }
        // Where each run starts, to find the one a matching PDI starts.
        std::vector<std::pair<qsizetype, std::size_t>> starts;
        starts.reserve(runs.size());
        for (std::size_t run = 0; run < runs.size(); ++run)
            starts.emplace_back(runs[run].front(), run);
        std::vector<qsizetype> pdis;
        for (const auto& isolate : m_isolates) {
            if (isolate.pdi < m_size)
                pdis.push_back(isolate.pdi);
        }
        std::sort(pdis.begin(), pdis.end());
        std::vector<std::vector<qsizetype>> sequences;
        for (std::size_t run = 0; run < runs.size(); ++run) {
            const qsizetype first = runs[run].front();
            if (original(first) == QChar::DirPDI && std::binary_search(pdis.begin(), pdis.end(), first))
                continue;
            std::vector<qsizetype> sequence = std::move(runs[run]);
            for (;;) {
                const qsizetype last = sequence.back();
                if (!isInitiator(original(last)))
                    break;
                const auto found = std::lower_bound(
                    m_isolates.begin(), m_isolates.end(), last,
                    [](const Isolate& isolate, qsizetype at) { return isolate.initiator < at; });
                if (found == m_isolates.end() || found->pdi >= m_size)
                    break;
                const auto next = std::lower_bound(starts.begin(), starts.end(),
                                                   std::pair<qsizetype, std::size_t>{found->pdi, 0});
                if (next == starts.end() || next->first != found->pdi)
                    break;
                auto& more = runs[next->second];
                sequence.insert(sequence.end(), more.begin(), more.end());
                more.clear();
            }
            sequences.push_back(std::move(sequence));
        }
        return sequences;
    }

    /// The embedding level of the code unit not removed before `at` (`step` -1) or after it (1), or the
    /// paragraph's.
    unsigned char neighbour(qsizetype at, qsizetype step) {
        for (at += step; at >= 0 && at < m_size; at += step) {
            if (!isRemoved(original(at)))
                return embedding(at);
        }
        return 0;
    }

    static Dir strongOf(Dir d) {
        switch (d) {
            case QChar::DirL:
                return QChar::DirL;
            case QChar::DirR:
            case QChar::DirEN:
            case QChar::DirAN:
                return QChar::DirR;
            default:
                return QChar::DirON;
        }
    }
    static bool isNeutral(Dir d) {
        return d == QChar::DirB || d == QChar::DirS || d == QChar::DirWS || d == QChar::DirON ||
               isInitiator(d) || d == QChar::DirPDI;
    }

    /// Rules W1 to I2 over one isolating run sequence.
    void resolveImplicit(const std::vector<qsizetype>& sequence) {
        const auto size = static_cast<qsizetype>(sequence.size());
        const unsigned char runLevel = embedding(sequence.front());
        const auto directionOf = [](int level) { return (level & 1) != 0 ? QChar::DirR : QChar::DirL; };
        const Dir sos = directionOf(std::max<int>(runLevel, neighbour(sequence.front(), -1)));
        const qsizetype last = sequence.back();
        const Dir eos =
            directionOf(std::max<int>(runLevel, isInitiator(original(last)) ? 0 : neighbour(last, 1)));
        const Dir e = directionOf(runLevel);
        std::vector<Dir> t(sequence.size());
        for (qsizetype k = 0; k < size; ++k)
            t[static_cast<std::size_t>(k)] = type(sequence[static_cast<std::size_t>(k)]);
        const auto at = [&](qsizetype k) -> Dir& { return t[static_cast<std::size_t>(k)]; };
        const auto originalAt = [&](qsizetype k) { return original(sequence[static_cast<std::size_t>(k)]); };
        // W1 to W3.
        Dir lastStrong = sos;
        for (qsizetype k = 0; k < size; ++k) {
            if (at(k) == QChar::DirNSM) {
                if (k == 0)
                    at(k) = sos;
                else if (isInitiator(originalAt(k - 1)) || originalAt(k - 1) == QChar::DirPDI)
                    at(k) = QChar::DirON;
                else
                    at(k) = at(k - 1);
            }
            if (at(k) == QChar::DirEN && lastStrong == QChar::DirAL)
                at(k) = QChar::DirAN;
            if (at(k) == QChar::DirL || at(k) == QChar::DirR || at(k) == QChar::DirAL)
                lastStrong = at(k);
        }
        for (auto& d : t) {
            if (d == QChar::DirAL)
                d = QChar::DirR;
        }
        // W4.
        for (qsizetype k = 1; k + 1 < size; ++k) {
            const Dir before = at(k - 1);
            if (before != at(k + 1))
                continue;
            if ((at(k) == QChar::DirES && before == QChar::DirEN) ||
                (at(k) == QChar::DirCS && (before == QChar::DirEN || before == QChar::DirAN)))
                at(k) = before;
        }
        // W5: terminators next to a European number join it.
        for (qsizetype k = 0; k < size;) {
            if (at(k) != QChar::DirET) {
                ++k;
                continue;
            }
            qsizetype end = k;
            while (end < size && at(end) == QChar::DirET)
                ++end;
            if ((k > 0 && at(k - 1) == QChar::DirEN) || (end < size && at(end) == QChar::DirEN))
                std::fill(t.begin() + k, t.begin() + end, QChar::DirEN);
            k = end;
        }
        // W6 and W7.
        lastStrong = sos;
        for (auto& d : t) {
            if (d == QChar::DirES || d == QChar::DirET || d == QChar::DirCS)
                d = QChar::DirON;
            else if (d == QChar::DirL || d == QChar::DirR)
                lastStrong = d;
            else if (d == QChar::DirEN && lastStrong == QChar::DirL)
                d = QChar::DirL;
        }
        resolveBrackets(sequence, t, sos, e);
        // N1 and N2.
        for (qsizetype k = 0; k < size;) {
            if (!isNeutral(at(k))) {
                ++k;
                continue;
            }
            qsizetype end = k;
            while (end < size && isNeutral(at(end)))
                ++end;
            const Dir before = k == 0 ? sos : strongOf(at(k - 1));
            const Dir after = end == size ? eos : strongOf(at(end));
            std::fill(t.begin() + k, t.begin() + end, before == after ? before : e);
            k = end;
        }
        // I1 and I2.
        for (qsizetype k = 0; k < size; ++k) {
            const Dir d = at(k);
            int resolved = runLevel;
            if ((runLevel & 1) == 0)
                resolved += d == QChar::DirR ? 1 : d == QChar::DirAN || d == QChar::DirEN ? 2 : 0;
            else
                resolved += d == QChar::DirL || d == QChar::DirAN || d == QChar::DirEN ? 1 : 0;
            level(sequence[static_cast<std::size_t>(k)]) = static_cast<unsigned char>(resolved);
        }
    }

    /// Rule N0: each pair of brackets takes the direction of the strong text inside it, where that is the
    /// embedding's or the text before the pair's.
    void resolveBrackets(const std::vector<qsizetype>& sequence, std::vector<Dir>& t, Dir sos, Dir e) {
        const auto size = static_cast<qsizetype>(sequence.size());
        struct Opened {
            char32_t closing;
            qsizetype at;
        };
        std::vector<Opened> opened;
        std::vector<std::pair<qsizetype, qsizetype>> pairs;
        for (qsizetype k = 0; k < size; ++k) {
            if (t[static_cast<std::size_t>(k)] != QChar::DirON)
                continue;
            const char16_t c = m_line[sequence[static_cast<std::size_t>(k)]].unicode();
            const char32_t paired = pairedBracket(c);
            if (paired != 0 && paired != c) {
                if (opened.size() == kMostOpenBrackets)
                    return;
                opened.push_back({paired, k});
            } else if (paired != 0) {
                for (auto found = opened.size(); found-- > 0;) {
                    if (closesBracket(c, opened[found].closing)) {
                        pairs.emplace_back(opened[found].at, k);
                        opened.resize(found);
                        break;
                    }
                }
            }
        }
        std::sort(pairs.begin(), pairs.end());
        for (const auto& [open, close] : pairs) {
            Dir inside = QChar::DirON;
            for (qsizetype k = open + 1; k < close && inside != e; ++k) {
                const Dir strong = strongOf(t[static_cast<std::size_t>(k)]);
                if (strong != QChar::DirON)
                    inside = strong;
            }
            if (inside == QChar::DirON)
                continue;
            Dir resolved = e;
            if (inside != e) {
                Dir before = sos;
                for (qsizetype k = open; k-- > 0;) {
                    const Dir strong = strongOf(t[static_cast<std::size_t>(k)]);
                    if (strong != QChar::DirON) {
                        before = strong;
                        break;
                    }
                }
                resolved = before == inside ? inside : e;
            }
            for (const qsizetype bracket : {open, close}) {
                t[static_cast<std::size_t>(bracket)] = resolved;
                for (qsizetype k = bracket + 1;
                     k < size && original(sequence[static_cast<std::size_t>(k)]) == QChar::DirNSM; ++k)
                    t[static_cast<std::size_t>(k)] = resolved;
            }
        }
    }

    /// A removed code unit takes the level before it, or after it where that is lower.
    void levelRemoved() {
        unsigned char before = 0;
        qsizetype firstRemoved = -1;
        for (qsizetype at = 0; at < m_size; ++at) {
            if (isRemoved(original(at))) {
                if (firstRemoved < 0)
                    firstRemoved = at;
                level(at) = before;
                continue;
            }
            if (firstRemoved >= 0 && level(at) < before)
                std::fill(m_level.begin() + firstRemoved, m_level.begin() + at, level(at));
            firstRemoved = -1;
            before = level(at);
        }
        if (firstRemoved >= 0)
            std::fill(m_level.begin() + firstRemoved, m_level.end(), 0);
    }

    /// Rule L1: tabs and paragraph separators, and the white space, isolate codes and removed code units
    /// before them or at the line's end, at the paragraph's level.
    void resetWhiteSpace() {
        bool reset = true;
        for (qsizetype at = m_size; at-- > 0;) {
            const Dir d = original(at);
            if (d == QChar::DirS || d == QChar::DirB) {
                level(at) = 0;
                reset = true;
            } else if (reset && (d == QChar::DirWS || isInitiator(d) || d == QChar::DirPDI || isRemoved(d))) {
                level(at) = 0;
            } else {
                reset = false;
            }
        }
    }

    struct Isolate {
        qsizetype initiator;
        qsizetype pdi;  // the line's size where none matches
        bool rightToLeft;
    };

    QStringView m_line;
    qsizetype m_size;
    std::vector<unsigned char> m_original;
    std::vector<Dir> m_type;
    std::vector<unsigned char> m_embedding;
    std::vector<unsigned char> m_level = std::vector<unsigned char>(static_cast<std::size_t>(m_size), 0);
    std::vector<Isolate> m_isolates;
};

}  // namespace

std::vector<unsigned char> bidiLevels(QStringView line) {
    return Levels(line).levels();
}

}  // namespace quill::ui
