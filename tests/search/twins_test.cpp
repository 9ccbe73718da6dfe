// CP932's twin codes: the table against glibc, and terms that match any of their spellings.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "encoding/cp932.h"
#include "encoding/cp932_twins.h"
#include "encoding/sjis.h"
#include "search/term_twins.h"
#include "search/terms.h"

namespace tolvane {
namespace {

std::string Code(DoubleByteCode code) {
  return {static_cast<char>(code >> 8), static_cast<char>(code & 0xff)};
}

std::vector<DoubleByteCode> GroupHolding(DoubleByteCode code) {
  const TwinGroup group = Cp932Twins::Get().GroupOf(code >> 8, code & 0xff);
  if (group == kNoTwin) return {};
  const auto codes = Cp932Twins::Get().CodesOf(group);
  return {codes.begin(), codes.end()};
}

TEST(Cp932Twins, HoldsTheKnownGroupsAndNoOthersThanGlibcDecodesAlike) {
  EXPECT_EQ(Cp932Twins::Get().GroupCount(), 396u);
  using Codes = std::vector<DoubleByteCode>;
  EXPECT_EQ(GroupHolding(0xfa4a), (Codes{0x8754, 0xfa4a}));          // Ⅰ
  EXPECT_EQ(GroupHolding(0x8790), (Codes{0x81e0, 0x8790}));          // ≒
  EXPECT_EQ(GroupHolding(0x879a), (Codes{0x81e6, 0x879a, 0xfa5b}));  // ∵
  EXPECT_EQ(GroupHolding(0xeef9), (Codes{0x81ca, 0xeef9, 0xfa54}));  // ¬
  EXPECT_EQ(GroupHolding(0xed40), (Codes{0xed40, 0xfa5c}));          // 纊
  EXPECT_EQ(GroupHolding(0x889f), Codes{});                          // 亜 has one code
  EXPECT_EQ(GroupHolding(0x815f), Codes{});                          // ＼ is not '\'

  // Through the window's own conversion: codes of one group show as one character, and codes of
  // different groups as different ones.
  std::map<std::string, TwinGroup> group_of_text;
  for (TwinGroup g = 1; g <= Cp932Twins::Get().GroupCount(); ++g) {
    for (const DoubleByteCode code : Cp932Twins::Get().CodesOf(g)) {
      const std::string shown = Cp932ToUtf8(Code(code));
      ASSERT_NE(shown, "\xef\xbf\xbd") << std::hex << code;
      const auto [it, fresh] = group_of_text.emplace(shown, g);
      ASSERT_EQ(it->second, g) << std::hex << code;
    }
  }
}

TEST(Cp932Twins, NoSingleByteCodeSharesACharacterWithADoubleByteCode) {
  std::set<std::string> single;
  for (unsigned b = 0; b <= 0xff; ++b) {
    if (IsLeadByte(static_cast<unsigned char>(b))) continue;
    const std::string shown = Cp932ToUtf8(std::string(1, static_cast<char>(b)));
    if (shown != "\xef\xbf\xbd") single.insert(shown);
  }
  ASSERT_GT(single.size(), 150u);
  std::set<char> twin_leads;
  for (unsigned code = 0; code < kDoubleByteCodes; ++code) {
    if (!IsLeadByte(static_cast<unsigned char>(code >> 8)) || (code & 0xff) < 0x40) continue;
    EXPECT_FALSE(single.count(Cp932ToUtf8(Code(code)))) << std::hex << code;
    if (Cp932Twins::Get().GroupOf(code >> 8, code & 0xff) != kNoTwin) {
      twin_leads.insert(static_cast<char>(code >> 8));
    }
  }
  // The lead bytes a term is screened by are exactly those of the twin codes.
  EXPECT_EQ(twin_leads, std::set<char>(kTwinLeadBytes.begin(), kTwinLeadBytes.end()));
}

TEST(TermTwins, FindsEverySpellingOnlyWhereACharacterBegins) {
  const TermTable roman_one = SplitTerms("\x87\x54");  // Ⅰ
  EXPECT_TRUE(MatchesAllTerms("x\xfa\x4a", roman_one));
  EXPECT_TRUE(MatchesAllTerms("x\x87\x54", roman_one));
  EXPECT_FALSE(MatchesAllTerms("I", roman_one));             // no width folding
  EXPECT_FALSE(MatchesAllTerms("\xfa\x40", roman_one));      // ⅰ, the small one
  EXPECT_FALSE(MatchesAllTerms("\x88\x87\x54", roman_one));  // 0x8887 then 'T'
  EXPECT_FALSE(MatchesAllTerms("\x88\xfa\x4a", roman_one));  // 0x88FA then 'J'
  EXPECT_TRUE(MatchesAllTerms("\x88\xfa\x4a\xfa\x4a", roman_one));

  const TermTable because = SplitTerms("\xfa\x5b");  // ∵
  for (const char* record : {"\x81\xe6", "\x87\x9a", "\xfa\x5b"}) {
    EXPECT_TRUE(MatchesAllTerms(record, because)) << record;
  }
  EXPECT_FALSE(MatchesAllTerms("\x81\xe7", because));  // ∴, its neighbour
}

TEST(TermTwins, MixedTermsKeepTheirPlainCharactersExact) {
  const TermTable part_one = SplitTerms("\x91\xe6\x87\x54\x95\x94");  // 第Ⅰ部
  EXPECT_TRUE(MatchesAllTerms("\x91\xe6\xfa\x4a\x95\x94", part_one));
  EXPECT_TRUE(MatchesAllTerms("a\x91\xe6\x87\x54\x95\x94", part_one));
  EXPECT_FALSE(MatchesAllTerms("\x91\xe6\xfa\x4b\x95\x94", part_one));  // 第Ⅱ部
  EXPECT_FALSE(MatchesAllTerms("\x91\xe6\xfa\x4a\x95\x95", part_one));
  EXPECT_FALSE(MatchesAllTerms("\x91\xe6\xfa\x4a\x95", part_one));  // cut short

  const TermTwins& twins = part_one.twins[0];
  EXPECT_FALSE(twins.empty());
  EXPECT_FALSE(twins.CoverAll(part_one.terms[0]));
  EXPECT_TRUE(twins.IsFixed(1));
  EXPECT_FALSE(twins.IsFixed(2));
  EXPECT_FALSE(twins.IsFixed(3));
  EXPECT_TRUE(twins.IsFixed(4));
  // A term without twin characters keeps the one-spelling path.
  EXPECT_TRUE(SplitTerms("\x91\xe6\x95\x94 abc").twins[0].empty());
  // A lone lead byte at the end is no twin character, even when a twin's lead.
  EXPECT_TRUE(SplitTerms("\x87").twins[0].empty());
  // Many twin characters in one term: no expansion, every mix of spellings found.
  std::string term, record;
  for (int k = 0; k < 40; ++k) {
    term += "\x87\x54";
    record += k % 3 ? "\x87\x54" : "\xfa\x4a";
  }
  EXPECT_FALSE(MatchesAllTerms("\x81" + record, SplitTerms(term)));
  EXPECT_TRUE(MatchesAllTerms("a" + record, SplitTerms(term)));
}

}  // namespace
}  // namespace tolvane
