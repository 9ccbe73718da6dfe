// Queries the window should never send but the engine must survive: far longer than a slot,
// pasted text with line breaks, control bytes. Every scan path gives the same answer, and under
// the sanitizers nothing is read or written out of bounds.
#include <gtest/gtest.h>

#include <string>

#include "encoding/cp932.h"
#include "fault_screen.h"
#include "session/run.h"
#include "test_util.h"

namespace tolvane {
namespace {

using testing::FakeScreen;

// 夏目漱石 こころ / 森鴎外 舞姫, Shift-JIS, CR LF.
const std::string kNatsume = "\x89\xc4\x96\xda";
const std::string kSoseki = "\x9f\xf9\x90\xce";
const std::string kKokoro = "\x82\xb1\x82\xb1\x82\xeb";
const std::string kRecords =
    kNatsume + kSoseki + " " + kKokoro + "\r\n" + "\x90\x58\x89\xa8\x8a\x4f \x95\x91\x95\x50\r\n";

struct Outcome {
  SearchResult result;
  std::string results_file;
  FakeScreen screen;
};

// Searches for the Shift-JIS `query`, typed as text, with every scan path and checks that they
// agree; returns the plain path's outcome.
Outcome SearchEveryWay(const testing::ScratchDir& dir, const std::string& sjis) {
  const std::string query = Cp932ToUtf8(sjis);
  std::vector<Outcome> outcomes;
  testing::ForEachScanWay(testing::AllScanWays(), [&](const testing::ScanWay& way) {
    Outcome o;
    o.result = o.screen.Search(query, dir.path(), testing::OptionsFor(way));
    o.results_file = testing::ReadFile(dir / kResultsFileName);
    if (!outcomes.empty()) {
      EXPECT_EQ(o.result.matches, outcomes[0].result.matches);
      EXPECT_EQ(o.result.status, outcomes[0].result.status);
      EXPECT_EQ(o.results_file, outcomes[0].results_file);
      EXPECT_EQ(o.screen.boxes, outcomes[0].screen.boxes);
      EXPECT_EQ(o.screen.captions, outcomes[0].screen.captions);
    }
    EXPECT_TRUE(o.screen.errors.empty());
    outcomes.push_back(std::move(o));
  });
  return outcomes[0];
}

class QueryFaultTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::WriteFile(dir_ / kRecordsFileName, kRecords); }
  testing::ScratchDir dir_;
};

TEST_F(QueryFaultTest, AHundredThousandByteQueryCountsEveryTerm) {
  // Thousands of terms, the record holding all of them but the last.
  std::string many_terms;
  for (int i = 0; i < 44; ++i) many_terms += kNatsume + " ";
  many_terms += kKokoro;
  while (many_terms.size() < 100000) many_terms += " " + kSoseki;
  const Outcome o = SearchEveryWay(dir_, many_terms);
  EXPECT_EQ(o.result.matches, 1);
  EXPECT_EQ(o.results_file, kRecords.substr(0, kRecords.find('\n') + 1));
  EXPECT_EQ(SearchEveryWay(dir_, many_terms + " x").result.matches, 0);

  // One term far longer than any record: nothing matches and nothing is shown.
  std::string one_term;
  while (one_term.size() < 100000) one_term += kNatsume + kSoseki;
  const Outcome none = SearchEveryWay(dir_, one_term);
  EXPECT_EQ(none.result.status, RunStatus::kNoMatch);
  EXPECT_TRUE(none.screen.boxes.empty());
  EXPECT_EQ(none.results_file, "");

  // Blanks only, of both widths: one empty term, and every record matches.
  std::string blanks;
  while (blanks.size() < 100000) blanks += " \x81\x40";
  EXPECT_EQ(SearchEveryWay(dir_, blanks).result.matches, 2);
}

TEST_F(QueryFaultTest, PastedLineBreaksAndControlBytesAreBytesOfATerm) {
  // The records file's CR LF reaches a record as LF, so a term holding CR LF never matches,
  // while a term ending in LF matches the record that ends with it.
  EXPECT_EQ(SearchEveryWay(dir_, kSoseki + "\r\n" + kKokoro).result.matches, 0);
  EXPECT_EQ(SearchEveryWay(dir_, kKokoro + "\n").result.matches, 1);
  EXPECT_EQ(SearchEveryWay(dir_, kKokoro + "\n" + kNatsume).result.matches, 0);
  EXPECT_EQ(SearchEveryWay(dir_, std::string("\t\x1a\r", 3)).result.matches, 0);
}

TEST_F(QueryFaultTest, ANulOrBytesThatAreNoUtf8AreNamedAndNothingIsSearched) {
  // A record's text ends before any NUL, so a term holding one could never match.
  const SearchResult nul = RunSearch(std::string("\0", 1) + Cp932ToUtf8(kKokoro), dir_.path(), {});
  EXPECT_EQ(nul.status, RunStatus::kUnconvertibleQuery);
  ASSERT_TRUE(nul.problem);
  EXPECT_EQ(nul.problem->character, U'\0');
  // A lone lead byte of UTF-8 at the end of the query.
  const SearchResult cut = RunSearch(Cp932ToUtf8(kNatsume) + "\xe5", dir_.path(), {});
  EXPECT_EQ(cut.status, RunStatus::kUnconvertibleQuery);
  EXPECT_EQ(cut.matches, 0);
}

}  // namespace
}  // namespace tolvane
