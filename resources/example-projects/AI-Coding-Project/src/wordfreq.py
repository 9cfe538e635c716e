"""List the most frequent words of a text file. See docs/spec.md."""

import re
from collections import Counter

# Letters and digits, with apostrophes inside a word ("don't") but not around it ('quoted').
WORD = re.compile(r"[^\W_]+(?:'[^\W_]+)*")


def count_words(text):
    """Counts the words of `text`, ignoring case."""
    return Counter(word.lower() for word in WORD.findall(text))


def top_words(counts, n=10):
    """The `n` most frequent (word, count) pairs, most frequent first, ties alphabetical."""
    return sorted(counts.items(), key=lambda item: (-item[1], item[0]))[:n]


if __name__ == "__main__":
    # Step 3 of docs/plan.md: the command line.
    raise SystemExit("wordfreq: the command line is not written yet (see docs/plan.md)")
