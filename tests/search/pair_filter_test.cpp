#include "search/pair_filter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace tolvane {
namespace {

// The vector loops cover 16 or 32 positions at a time; every length and position around those
// widths must give what a plain substring search gives.
TEST(PairFilter, FindsWhatAPlainSearchFindsAtEveryLengthAndPosition) {
  std::mt19937 rng(7);
  for (std::size_t length = 0; length < 140; ++length) {
    std::string text(length, 'x');
    for (char& c : text) c = "ab\x81\x40"[rng() % 4];
    for (const std::string term : {"a", "ab", "\x81\x40", "ba\x81", "aaaa", "b\x40x"}) {
      const PairFilter filter(term, CountBytes(text));
      for (std::size_t from = 0; from <= length + 1; from += 1 + length / 7) {
        ASSERT_EQ(filter.Find(text, from), std::string_view(text).find(term, from))
            << "length " << length << " from " << from << " term " << term;
      }
    }
  }
}

TEST(PairFilter, FindsATermThatEndsTheTextAndNeverReadsPastIt) {
  const std::string text = std::string(95, '.') + "end";
  const PairFilter filter("end", CountBytes(text));
  EXPECT_EQ(filter.Find(std::string_view(text).substr(0, 97), 0), std::string_view::npos);
  EXPECT_EQ(filter.Find(text, 0), 95u);
}

TEST(PairFilter, StopsAtACtrlZBeforeTheTermWhereverItStands) {
  for (std::size_t z = 0; z < 100; ++z) {
    std::string text(100, '.');
    text.replace(60, 3, "abc");
    text[z] = '\x1a';
    const PairFilter filter("abc", CountBytes(text));
    const std::size_t expected = z < 60 || z > 62 ? std::min<std::size_t>(z, 60) : z;
    ASSERT_EQ(filter.Find(text, 0), expected) << "Ctrl+Z at " << z;
  }
  // Past the last place the term fits, only a Ctrl+Z can be found.
  EXPECT_EQ(PairFilter("abcdef", CountBytes("")).Find("xx\x1a", 0), 2u);
  EXPECT_EQ(PairFilter("a", CountBytes("")).Find("\x1a", 1), std::string_view::npos);
}

TEST(PairFilter, PrefersTheRarerBytesOfTheSample) {
  const ByteCounts counts = CountBytes(std::string(1000, 'a') + "b");
  EXPECT_LT(PairFilter("bq", counts).Cost(), PairFilter("aa", counts).Cost());
}

}  // namespace
}  // namespace tolvane
