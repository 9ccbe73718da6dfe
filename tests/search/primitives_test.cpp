#include "encoding/primitives.h"

#include <gtest/gtest.h>

#include <random>

#include "encoding/sjis.h"

namespace tolvane {
namespace {

// "ア" is 0x83 0x41: its trail byte is "A". "ソ" is 0x83 0x5C and "表" 0x95 0x5C: trail byte "\".
constexpr std::string_view kKatakanaA = "\x83\x41";
constexpr std::string_view kSo = "\x83\x5c";
constexpr std::string_view kHyo = "\x95\x5c";

TEST(NextCharEnd, ALeadByteTakesTheNextByteUnlessItIsLast) {
  EXPECT_EQ(NextCharEnd("a\x83\x41", 0), 1u);
  EXPECT_EQ(NextCharEnd("a\x83\x41", 1), 3u);
  EXPECT_EQ(NextCharEnd("\x83\n", 0), 2u);  // even a LF, as a line reader would not see it
  EXPECT_EQ(NextCharEnd("a\x83", 1), 2u);
  EXPECT_EQ(NextCharEnd("\xa0\x41", 0), 1u);  // 0xA0 is no lead byte
}

TEST(IsCharBoundary, NeverLooksBehindAKnownBoundary) {
  // From 0 the run of five lead bytes makes 5 a trail byte; known to start a character at 1, the
  // same bytes pair up differently.
  const std::string_view text =
      "\x81\x81\x81\x81\x81"
      "A";
  EXPECT_FALSE(IsCharBoundary(text, 5));
  EXPECT_TRUE(IsCharBoundary(text, 5, 1));
  EXPECT_TRUE(IsCharBoundary(text, 5, 5));
  EXPECT_TRUE(IsCharBoundary(text, 0));
  EXPECT_TRUE(IsCharBoundary("ab", 2));
}

TEST(CharBoundaryFind, IgnoresAFullWidthBlankHiddenAcrossTwoCharacters) {
  // 0x88 0x81 is one character; then "@" (0x40). The bytes 0x81 0x40 straddle them.
  EXPECT_EQ(CharBoundaryFind("\x88\x81@", kFullWidthBlank), std::nullopt);
  EXPECT_EQ(CharBoundaryFind("\x88\x81@\x81\x40", kFullWidthBlank), 3u);
}

TEST(CharBoundaryFind, ReportsTheLaterBoundaryOccurrence) {
  const std::string text = std::string(kKatakanaA) + "xA";
  EXPECT_EQ(CharBoundaryFind(text, "A"), 3u);
  EXPECT_EQ(CharBoundaryFind(std::string(kSo) + std::string(kHyo), "\\"), std::nullopt);
}

TEST(CharBoundaryFind, WalksPastRunsOfLeadBytesCorrectly) {
  // Four lead bytes make two characters; a fifth makes the sixth byte a trail byte.
  EXPECT_EQ(CharBoundaryFind("\x81\x81\x81\x81"
                             "A",
                             "A"),
            4u);
  EXPECT_EQ(CharBoundaryFind("\x81\x81\x81\x81\x81"
                             "A",
                             "A"),
            std::nullopt);
  // A kanji is not found in the middle of two others: 0x88 0x9F 0x88 0x9F holds 0x9F 0x88.
  EXPECT_EQ(CharBoundaryFind("\x88\x9f\x88\x9f", "\x9f\x88"), std::nullopt);
}

TEST(CharBoundaryFind, HandlesALoneLeadByteAtTheEnd) {
  EXPECT_EQ(CharBoundaryFind("ab\x81", "\x81"), 2u);
  EXPECT_EQ(CharBoundaryFind("ab\x81", "\x81\x40"), std::nullopt);
  EXPECT_EQ(CharBoundaryFind("a\x81", "b"), std::nullopt);
}

// The rule itself: walk from the start, a lead byte taking the next byte with it.
std::optional<std::size_t> WalkingFind(std::string_view text, std::string_view pattern) {
  for (std::size_t p = 0; p < text.size(); p += IsLeadByte(text[p]) ? 2 : 1) {
    if (text.substr(p).starts_with(pattern)) return p;
  }
  return std::nullopt;
}

TEST(CharBoundaryFind, AgreesWithAPlainWalkOnRandomShiftJis) {
  std::mt19937 rng(932);
  const std::string alphabet =
      "\x81\x82\x9f\xe0\x40\x5c\x41"
      "A ";
  for (int round = 0; round < 20000; ++round) {
    std::string text(rng() % 24, ' ');
    for (char& c : text) c = alphabet[rng() % alphabet.size()];
    std::string pattern(1 + rng() % 3, ' ');
    for (char& c : pattern) c = alphabet[rng() % alphabet.size()];
    ASSERT_EQ(CharBoundaryFind(text, pattern), WalkingFind(text, pattern))
        << ::testing::PrintToString(text) << " / " << ::testing::PrintToString(pattern);
  }
}

TEST(ReplaceFirst, TurnsARecordsLineFeedIntoCrLf) {
  std::string record = "abc\n";
  EXPECT_EQ(ReplaceFirst(record, kLf, kCrLf), 5u);
  EXPECT_EQ(record, "abc\r\n");

  std::string no_line_feed = "abc";
  EXPECT_EQ(ReplaceFirst(no_line_feed, kLf, kCrLf), std::nullopt);
  EXPECT_EQ(no_line_feed, "abc");

  // The LF after a lead byte is that character's second byte and stays bare.
  std::string lead_before_lf = "ab\x81\n";
  EXPECT_EQ(ReplaceFirst(lead_before_lf, kLf, kCrLf), std::nullopt);
  EXPECT_EQ(lead_before_lf, "ab\x81\n");
}

TEST(ReplaceFirst, StartsWalkingAtTheGivenOffset) {
  std::string text =
      "\x81"
      "A\n";  // from offset 1, "A" is a character of its own
  EXPECT_EQ(ReplaceFirst(text, "A", "B", 1), 2u);
  EXPECT_EQ(text,
            "\x81"
            "B\n");
}

TEST(ReplaceAll, WidensEveryBlankAndNeverRescansWhatItInserted) {
  std::string text = "one two three";
  ReplaceAll(text, kAsciiBlank, kFullWidthBlank);
  EXPECT_EQ(text, "one\x81\x40two\x81\x40three");

  std::string unchanged = "none";
  ReplaceAll(unchanged, kAsciiBlank, kFullWidthBlank);
  EXPECT_EQ(unchanged, "none");

  std::string grows = "a b";
  ReplaceAll(grows, " ", "  ");  // would never end if inserted text were searched again
  EXPECT_EQ(grows, "a  b");
}

}  // namespace
}  // namespace tolvane
