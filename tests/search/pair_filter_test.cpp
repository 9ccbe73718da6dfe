#include "search/pair_filter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace tolvane {
namespace {

// The first position from `from` where the term starts or a Ctrl+Z stands: what Find must say.
std::size_t PlainFind(std::string_view text, std::string_view term, std::size_t from) {
  for (std::size_t at = from; at < text.size(); ++at) {
    if (text[at] == '\x1a' || text.substr(at).starts_with(term)) return at;
  }
  return std::string_view::npos;
}

// Each test runs with the AVX2 loop (where the processor has it) and with the SSE2 loop.
class PairFilterLoops : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { AllowAvx2(GetParam()); }
  void TearDown() override { AllowAvx2(true); }
};

INSTANTIATE_TEST_SUITE_P(Avx2AndSse2, PairFilterLoops, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Avx2" : "Sse2"; });

// The loops take 128 (AVX2) or 32 (SSE2) positions a round and look for Ctrl+Z in the bytes at the
// first compared offset; every length, start and offset around those rounds must agree with a
// plain search. Terms whose rare bytes stand late move that offset.
TEST_P(PairFilterLoops, FindsWhatAPlainSearchFindsAtEveryLengthAndPosition) {
  std::mt19937 rng(7);
  for (std::size_t length = 0; length < 420; length += 1 + length / 64) {
    std::string text(length, 'x');
    for (char& c : text) c = "ab\x81\x40"[rng() % 4];
    for (const std::string term :
         {"a", "ab", "\x81\x40", "ba\x81", "aaaa", "b\x40x", "abab\x81q"}) {
      const PairFilter filter(term, CountBytes(text));
      for (std::size_t from = 0; from <= length + 1; from += 1 + length / 9) {
        ASSERT_EQ(filter.Find(text, from), std::string_view(text).find(term, from))
            << "length " << length << " from " << from << " term " << term;
      }
    }
  }
}

TEST_P(PairFilterLoops, FindsATermThatEndsTheTextAndNeverReadsPastIt) {
  const std::string text = std::string(295, '.') + "end";
  const PairFilter filter("end", CountBytes(text));
  EXPECT_EQ(filter.Find(std::string_view(text).substr(0, 297), 0), std::string_view::npos);
  EXPECT_EQ(filter.Find(text, 0), 295u);
}

// A Ctrl+Z anywhere: before, inside and after the first occurrence, in the same round or the next,
// and among the bytes before the first compared offset.
TEST_P(PairFilterLoops, StopsAtACtrlZBeforeTheTermWhereverItStands) {
  // "..zq" makes the rare pair the last two bytes, so the loops look for Ctrl+Z three bytes on.
  for (const std::string term : {"abc", "..zq", "q"}) {
    for (std::size_t z = 0; z < 300; ++z) {
      for (const std::size_t planted : {std::size_t{5}, std::size_t{60}, std::size_t{190}}) {
        std::string text(300, '.');
        text.replace(planted, term.size(), term);
        text[z] = '\x1a';
        const PairFilter filter(term, CountBytes(text));
        for (const std::size_t from : {std::size_t{0}, std::size_t{3}, std::size_t{64}}) {
          ASSERT_EQ(filter.Find(text, from), PlainFind(text, term, from))
              << term << " at " << planted << ", Ctrl+Z at " << z << ", from " << from;
        }
      }
    }
  }
  // Past the last place the term fits, only a Ctrl+Z can be found.
  EXPECT_EQ(PairFilter("abcdef", CountBytes("")).Find("xx\x1a", 0), 2u);
  EXPECT_EQ(PairFilter("a", CountBytes("")).Find("\x1a", 1), std::string_view::npos);
}

// Random texts with rare Ctrl+Z against the plain search, many hits per round.
TEST_P(PairFilterLoops, AgreesWithAPlainSearchOnRandomTexts) {
  std::mt19937 rng(11);
  for (int round = 0; round < 400; ++round) {
    std::string text(rng() % 700, '.');
    for (char& c : text) c = rng() % 200 == 0 ? '\x1a' : "abq."[rng() % 4];
    std::string term(1 + rng() % 6, '.');
    for (char& c : term) c = "abq."[rng() % 4];
    const PairFilter filter(term, CountBytes(text));
    for (std::size_t from = 0; from < text.size(); from += 1 + rng() % 50) {
      ASSERT_EQ(filter.Find(text, from), PlainFind(text, term, from)) << "round " << round;
    }
  }
}

TEST(PairFilter, CountsTheCandidatesOfASampleAndStepsOverCtrlZ) {
  const std::string sample =
      "abab\x1a"
      "ab.a.b";
  const PairFilter filter("ab", CountBytes(sample));
  const PairFilter::Candidates candidates = filter.CountCandidates(sample);
  EXPECT_EQ(candidates.compared, 3u);
  EXPECT_EQ(candidates.confirmed, 3u);
  const PairFilter longer("a.b", CountBytes(sample));       // compares a and b, two apart
  EXPECT_EQ(longer.CountCandidates(sample).confirmed, 1u);  // the one after the Ctrl+Z
}

// A character of several spellings: a hit wherever any spelling starts, of any length, and a
// Ctrl+Z before it stops the search there.
TEST_P(PairFilterLoops, FindsWhereAnySpellingStarts) {
  const PairFilter filter(std::vector<std::string>{"\x87\x54", "\xfa\x4a", "I"});
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    std::string text(rng() % 300, '.');
    for (char& c : text) c = "\x87\x54\xfa\x4aIx."[rng() % 7];
    if (rng() % 5 == 0 && !text.empty()) text[rng() % text.size()] = '\x1a';
    for (std::size_t from = 0; from <= text.size(); from += 1 + rng() % 40) {
      std::size_t expected = std::string_view::npos;
      for (std::size_t at = from; at < text.size() && expected == std::string_view::npos; ++at) {
        const std::string_view rest = std::string_view(text).substr(at);
        if (rest[0] == '\x1a' || rest.starts_with("\x87\x54") || rest.starts_with("\xfa\x4a") ||
            rest.starts_with("I")) {
          expected = at;
        }
      }
      ASSERT_EQ(filter.Find(text, from), expected) << "round " << round << " from " << from;
    }
    EXPECT_EQ(filter.MayOccurIn(text), text.find("\x87\x54") != std::string::npos ||
                                           text.find("\xfa\x4a") != std::string::npos ||
                                           text.find('I') != std::string::npos);
  }
}

}  // namespace
}  // namespace tolvane
