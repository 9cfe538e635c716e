import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "src"))

from wordfreq import count_words, top_words  # noqa: E402


class CountWordsTest(unittest.TestCase):
    def test_ignores_case_and_punctuation(self):
        self.assertEqual(count_words("The cat, the hat!"), {"the": 2, "cat": 1, "hat": 1})

    def test_keeps_apostrophes_inside_words(self):
        self.assertEqual(count_words("Don't stop."), {"don't": 1, "stop": 1})


class TopWordsTest(unittest.TestCase):
    def test_most_frequent_first_then_alphabetical(self):
        counts = count_words("b a c b a b")
        self.assertEqual(top_words(counts), [("b", 3), ("a", 2), ("c", 1)])

    def test_limits_the_list(self):
        self.assertEqual(len(top_words(count_words("a b c d"), n=2)), 2)


if __name__ == "__main__":
    unittest.main()
