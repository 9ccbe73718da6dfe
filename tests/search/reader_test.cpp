// Cutting the records file into records: both the plain reader and the fast scan must see the
// same records, whatever the read sizes.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "encoding/cp932.h"
#include "posix/unique_fd.h"
#include "scan_paths.h"
#include "search/record_reader.h"
#include "search/scan.h"
#include "search/scan_sizes.h"
#include "search/terms.h"
#include "test_util.h"

namespace tolvane {
namespace {

using Records = std::vector<std::string>;

// Every record of `bytes` (a blank query matches all), through the plain reader and through the
// fast scan at several read sizes; fails the test when they disagree.
Records AllRecords(std::string_view bytes) {
  testing::ScratchDir dir;
  testing::WriteFile(dir / "records", bytes);
  const TermTable everything = SplitTerms(" ");

  Records plain;
  {
    UniqueFd fd(::open((dir / "records").c_str(), O_RDONLY));
    ScanMatchingRecords(fd.get(), everything,
                        [&](std::string_view r) {
                          plain.emplace_back(r);
                          return MatchReply::kKeepGoing;
                        },
                        {.plain = true});
  }
  for (std::size_t read_size :
       {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, kPieceLookBytes - 1,
        kPieceLookBytes, kPieceLookBytes + 1, std::size_t{4096}, std::size_t{1} << 20}) {
    for (std::size_t split_min : {kSplitScanMinBytes, std::size_t{1}}) {
      Records fast;
      UniqueFd fd(::open((dir / "records").c_str(), O_RDONLY));
      ScanMatchingRecords(fd.get(), everything,
                          [&](std::string_view r) {
                            fast.emplace_back(r);
                            return MatchReply::kKeepGoing;
                          },
                          {.read_bytes = read_size, .split_min_bytes = split_min});
      EXPECT_EQ(fast, plain) << "read size " << read_size << (split_min == 1 ? ", in halves" : "");
    }
  }
  return plain;
}

TEST(Records, CrLfArrivesAsLfAndALoneCrStays) {
  EXPECT_EQ(AllRecords("a\r\nb\rc\r\n"), (Records{"a\n", "b\rc\n"}));
  EXPECT_EQ(AllRecords("a\r\r\nb"), (Records{"a\r\n", "b"}));
  EXPECT_EQ(AllRecords("a\r"), (Records{"a\r"}));
}

TEST(Records, CrLfSplitAcrossTwoReadsStillArrivesAsLf) {
  // The plain reader reads 4,096 bytes at a time: put the CR last in the first read.
  const std::string first(4095, 'x');
  EXPECT_EQ(AllRecords(first + "\r\nz"), (Records{first.substr(0, kRecordTextBytes),
                                                  first.substr(kRecordTextBytes) + "\n", "z"}));
}

TEST(Records, CtrlZEndsTheFileWhereverItStands) {
  EXPECT_EQ(AllRecords("a\nb\x1a"
                       "c\nd\n"),
            (Records{"a\n", "b"}));
  EXPECT_EQ(AllRecords("a\r\x1a\n"), (Records{"a\r"}));
  EXPECT_EQ(AllRecords("\x1a"
                       "abc"),
            Records{});
}

TEST(Records, ALineOfExactly2998BytesLeavesItsLineFeedAsARecord) {
  const std::string line(kRecordTextBytes, 'x');
  EXPECT_EQ(AllRecords(line + "\nnext\n"), (Records{line, "\n", "next\n"}));
  const std::string fits(kRecordTextBytes - 1, 'y');
  EXPECT_EQ(AllRecords(fits + "\r\n"), (Records{fits + "\n"}));
}

TEST(Records, ALongLineArrivesIn2998BytePieces) {
  const std::string line(kRecordTextBytes * 2 + 5, 'x');
  EXPECT_EQ(AllRecords(line + "\n"),
            (Records{line.substr(0, kRecordTextBytes),
                     line.substr(kRecordTextBytes, kRecordTextBytes), "xxxxx\n"}));
}

TEST(Records, APieceOfALongLineNeverEndsInsideACharacter) {
  const std::string kanji = "\x88\x9f";  // 亜
  // 2,997 bytes and then a character: the character starts the next piece.
  const std::string x2997(kRecordTextBytes - 1, 'x');
  EXPECT_EQ(AllRecords(x2997 + kanji + "ab\r\n"), (Records{x2997, kanji + "ab\n"}));
  // A character that ends at the 2,998th byte fits.
  const std::string x2996(kRecordTextBytes - 2, 'x');
  EXPECT_EQ(AllRecords(x2996 + kanji + "ab\r\n"), (Records{x2996 + kanji, "ab\n"}));
  // The 2,998th byte is a trail byte after a run of lead bytes: the walk, not the byte, decides.
  const std::string leads = x2996.substr(2) + "\x88\x88\x88\x9f";
  ASSERT_EQ(leads.size(), kRecordTextBytes);
  EXPECT_EQ(AllRecords(leads + "z\n"), (Records{leads, "z\n"}));
  EXPECT_EQ(AllRecords("x" + leads + "z\n"), (Records{"x" + leads.substr(0, kRecordTextBytes - 2),
                                                      "\x88\x9f"
                                                      "z\n"}));
  // A lead byte last of all is no character cut in two; one before the line feed takes it along.
  EXPECT_EQ(AllRecords(x2997 + "\x88"), (Records{x2997 + "\x88"}));
  EXPECT_EQ(AllRecords(x2997 + "\x88\r\n"), (Records{x2997, "\x88\n"}));
}

TEST(Records, TheLongestRestAReadLeavesFitsBeforeTheNextRead) {
  // A piece's end is known only kPieceLookBytes bytes on, and a CR last may pair with the LF of the
  // next read: after a read of about that size, all of it waits for the next.
  const std::string line(kRecordBufferBytes, 'x');
  EXPECT_EQ(AllRecords(line + "\r\nnext\r\n"),
            (Records{line.substr(0, kRecordTextBytes), "xx\n", "next\n"}));
  EXPECT_EQ(AllRecords(line + "x\r\nnext"),
            (Records{line.substr(0, kRecordTextBytes), "xxx\n", "next"}));
}

TEST(Records, ANulByteEndsTheRecordsText) {
  EXPECT_EQ(AllRecords(std::string("ab\0cd\nef\n", 9)), (Records{"ab", "ef\n"}));
  EXPECT_EQ(AllRecords(std::string("\0\n", 2)), (Records{""}));
}

TEST(Records, EmptyFileHasNoRecordsAndALastLineNeedsNoLineFeed) {
  EXPECT_EQ(AllRecords(""), Records{});
  EXPECT_EQ(AllRecords("only"), (Records{"only"}));
  EXPECT_EQ(AllRecords("\n\n"), (Records{"\n", "\n"}));
}

TEST(Scan, ReportsARecordOnceEvenWithManyHitsAndChecksEveryTermInside) {
  testing::ScratchDir dir;
  testing::WriteFile(dir / "records", "aaa b\naaa\nb aaa\n");
  for (std::size_t chunk : {1u, 5u, 1u << 20}) {
    Records found;
    UniqueFd fd(::open((dir / "records").c_str(), O_RDONLY));
    ScanMatchingRecords(fd.get(), SplitTerms("a b"),
                        [&](std::string_view r) {
                          found.emplace_back(r);
                          return MatchReply::kKeepGoing;
                        },
                        {.read_bytes = chunk});
    EXPECT_EQ(found, (Records{"aaa b\n", "b aaa\n"})) << chunk;
  }
}

// The records of `bytes` that hold every term of `query`, through the plain path and the fast scan
// at several read sizes; fails the test when they disagree. `held_match_bytes` is what the second
// half of a scan in two halves may hold.
Records Found(std::string_view bytes, std::string_view query,
              std::size_t held_match_bytes = kHeldMatchBytes) {
  testing::ScratchDir dir;
  testing::WriteFile(dir / "records", bytes);
  const TermTable terms = SplitTerms(query);
  const auto collect = [](Records& into) {
    return [&into](std::string_view r) {
      into.emplace_back(r);
      return MatchReply::kKeepGoing;
    };
  };
  Records plain;
  UniqueFd fd(::open((dir / "records").c_str(), O_RDONLY));
  ScanMatchingRecords(fd.get(), terms, collect(plain), {.plain = true});
  for (std::size_t read_size : {1u, 5u, 4096u, 1u << 20}) {
    for (std::size_t split_min : {kSplitScanMinBytes, std::size_t{1}}) {
      Records fast;
      UniqueFd again(::open((dir / "records").c_str(), O_RDONLY));
      ScanMatchingRecords(again.get(), terms, collect(fast),
                          {.read_bytes = read_size,
                           .split_min_bytes = split_min,
                           .held_match_bytes = held_match_bytes});
      EXPECT_EQ(fast, plain) << "read size " << read_size << (split_min == 1 ? ", in halves" : "");
    }
  }
  return plain;
}

TEST(Scan, ATermAfterACutLongLineIsFoundOnEveryPath) {
  // A 3,043-byte record ending in 近世 (0x8BDF 0x90A2): cut at 2,998 bytes, its second piece would
  // begin on the trail byte 0x9F of 亜, which is a lead byte too, and the walk would pair the
  // wrong bytes up to the term.
  std::string line = "a";
  while (line.size() < 3039) line += "\x88\x9f";  // 亜
  line += "\x8b\xdf\x90\xa2";
  ASSERT_EQ(line.size(), 3043u);
  EXPECT_EQ(Found(line + "\r\n", "\x8b\xdf\x90\xa2").size(), 1u);
  EXPECT_EQ(Found("a\r\n" + line + "\r\nb\r\n", "\x88\x9f \x8b\xdf\x90\xa2").size(), 1u);
}

// Lines that hold the rarer term but not the other are turned away on their raw bytes; nothing
// they hold may be skipped with them.
TEST(Scan, LinesTurnedAwayForAMissingTermSkipNothingElse) {
  // A Ctrl+Z after the hit ends the file, even in a line that lacks the other term.
  EXPECT_EQ(Found("qqqqqq a\r\na \x1a\r\nqqqqqq a\r\n", "a q"), (Records{"qqqqqq a\n"}));
  // Every 2,998-byte piece of a long line is a record of its own.
  const std::string piece(kRecordTextBytes - 2, '.');
  EXPECT_EQ(Found("q " + piece + "q a\r\n", "a q"), (Records{"q a\n"}));
  EXPECT_EQ(Found(piece + "q a" + piece + "\r\n", "a q").size(), 0u);  // split by a piece end
  EXPECT_EQ(Found(piece + "..q a" + piece + "\r\n", "a q").size(), 1u);
  // The other term's bytes straddling a line end are not in either line.
  EXPECT_EQ(Found("q \x83\r\n\x41 q\r\nq \x83\x41\r\n", "q \x83\x41"), (Records{"q \x83\x41\n"}));
  // A NUL cuts a record's text: a term after it is not in the record.
  EXPECT_EQ(Found(std::string("q\0 a\r\nq a\r\n", 11), "q a"), (Records{"q a\n"}));
}

// CP932's twin codes through every scan path: a term finds each spelling of its characters, a
// spelling only where a character begins, and the filter passes over none of them.
TEST(Scan, FindsEverySpellingOfATwinCharacter) {
  // Each file holds every spelling, one a record; a query in any spelling finds them all.
  const std::vector<std::vector<std::string>> groups = {
      {"\x87\x54", "\xfa\x4a"},              // Ⅰ
      {"\x81\xe0", "\x87\x90"},              // ≒
      {"\x81\xe6", "\x87\x9a", "\xfa\x5b"},  // ∵
      {"\xed\x40", "\xfa\x5c"}};             // 纊, NEC-selected IBM kanji against IBM kanji
  for (const auto& spellings : groups) {
    std::string file = "none\r\n";
    Records expected;
    for (const std::string& s : spellings) {
      file += "rec " + s + "\r\n\x88" + s + "\r\n";  // the second hides it behind a lead byte
      expected.push_back("rec " + s + "\n");
    }
    for (const std::string& query : spellings) {
      EXPECT_EQ(Found(file, query), expected) << "query " << Cp932ToUtf8(query);
      EXPECT_EQ(Found(file, "rec " + query), expected);  // a plain filter term, the twin checked
    }
  }
}

TEST(Scan, TwinCharactersAmongPlainOnesInOneTerm) {
  const std::string part_one = "\x91\xe6\x87\x54\x95\x94";  // 第Ⅰ部 with NEC's Ⅰ
  const std::string file =
      "\x91\xe6\xfa\x4a\x95\x94 a\r\n"  // IBM's Ⅰ
      "\x91\xe6\xfa\x4b\x95\x94 a\r\n"  // 第Ⅱ部
      "\x91\xe6\x87\x54\x95\x94\r\n"    // NEC's Ⅰ, no "a"
      "x\x91\xe6\x87\x54\x95\x94 a\r\n";
  EXPECT_EQ(Found(file, part_one),
            (Records{"\x91\xe6\xfa\x4a\x95\x94 a\n", "\x91\xe6\x87\x54\x95\x94\n",
                     "x\x91\xe6\x87\x54\x95\x94 a\n"}));
  // The twin term turns candidates away on its plain bytes only, or is the filter term itself.
  EXPECT_EQ(Found(file, "a " + part_one).size(), 2u);
  EXPECT_EQ(Found(file, part_one + " \xfa\x4a a").size(), 2u);
  // Made only of twins, the term is checked in every record.
  EXPECT_EQ(Found(file, "\xfa\x4a").size(), 3u);
  EXPECT_EQ(Found(file + "\x1a\xfa\x4a\r\n", "\x87\x54").size(), 3u);
}

// Scanned in two halves at once, the sink still gets every record in file order, and whatever
// ends the scan early in the first half drops what the second half found.
TEST(Scan, TwoHalvesAtOnceHandOnEveryRecordInOrder) {
  // The split falls just past the first LF from the middle: a long line across the middle, a CR LF
  // and a Ctrl+Z near it.
  const std::string half(5000, 'a');
  EXPECT_EQ(Found(half + "\r\n" + half + "\r\n", "a").size(), 4u);
  EXPECT_EQ(Found("a\n" + half + half + "a\r\n", "a").size(), 5u);
  EXPECT_EQ(Found("a 1\n" + half + "\x1a\na 2\n" + half, "a"), Found("a 1\n" + half, "a"));
  EXPECT_EQ(Found(half + "\na 1\n\x1a" + half, "a").back(), "a 1\n");
  EXPECT_EQ(Found("\n\n", "\n").size(), 2u);  // a record of its LF alone, on each side
}

TEST(Scan, TwoHalvesStopWhenTheSinkSaysSoInEitherHalf) {
  testing::ScratchDir dir;
  std::string records;
  for (int i = 0; i < 2000; ++i) records += "record " + std::to_string(i) + "\n";
  testing::WriteFile(dir / "records", records);
  for (const int wanted : {1, 999, 1000, 1001, 2000}) {
    Records found;
    UniqueFd fd(::open((dir / "records").c_str(), O_RDONLY));
    const auto sink = [&](std::string_view r) {
      found.emplace_back(r);
      return static_cast<int>(found.size()) < wanted ? MatchReply::kKeepGoing : MatchReply::kStop;
    };
    const ScanEnd end = ScanMatchingRecords(fd.get(), SplitTerms("record"), sink,
                                            {.read_bytes = 4096, .split_min_bytes = 1});
    EXPECT_EQ(end, ScanEnd::kStopped) << wanted;
    ASSERT_EQ(static_cast<int>(found.size()), wanted);
    EXPECT_EQ(found.back(), "record " + std::to_string(wanted - 1) + "\n");
  }
}

// A sink whose box is full still gets every later record, on every path, in either half.
TEST(Scan, AFullBoxKeepsTheScanGoingToTheEnd) {
  testing::ScratchDir dir;
  std::string records;
  for (int i = 0; i < 2000; ++i) records += "record " + std::to_string(i) + "\n";
  testing::WriteFile(dir / "records", records);
  for (const ScanOptions& options : {ScanOptions{.plain = true}, ScanOptions{.read_bytes = 4096},
                                     ScanOptions{.read_bytes = 4096, .split_min_bytes = 1}}) {
    Records found;
    UniqueFd fd(::open((dir / "records").c_str(), O_RDONLY));
    const auto sink = [&](std::string_view r) {
      found.emplace_back(r);
      return found.size() < 3 ? MatchReply::kKeepGoing : MatchReply::kShownFull;
    };
    EXPECT_EQ(ScanMatchingRecords(fd.get(), SplitTerms("record"), sink, options),
              ScanEnd::kEndOfFile);
    ASSERT_EQ(found.size(), 2000u);
    EXPECT_EQ(found.back(), "record 1999\n");
  }
}

// More matches in the second half than it may hold: it stops at the record that did not fit, and
// the first half's scan goes on from there. Nothing is lost or doubled.
TEST(Scan, ASecondHalfWithTooManyMatchesToHoldIsScannedAfterTheFirst) {
  constexpr std::size_t kHeld = 4096;
  std::string records;
  for (int i = 0; records.size() < 3 * kHeld; ++i) records += std::to_string(i) + " x\n";
  const Records found = Found(records, "x", kHeld);
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found.back(), records.substr(records.rfind('\n', records.size() - 2) + 1));
  // The second half is "x 4\n": held when it just fits (its length is held too), and scanned by
  // the first half when one byte is missing. Nothing is lost or doubled either way.
  const std::string file = "x 1\nx 2\nx 3\nx 4\n";
  const Records all{"x 1\n", "x 2\n", "x 3\n", "x 4\n"};
  EXPECT_EQ(Found(file, "x", sizeof(std::uint32_t) + 4), all);
  EXPECT_EQ(Found(file, "x", sizeof(std::uint32_t) + 3), all);
}

TEST(Scan, AHitInsideACharacterDoesNotHideALaterOneInTheSameRecord) {
  testing::ScratchDir dir;
  testing::WriteFile(dir / "records", "\x83\x41 A\n\x83\x41\n");
  Records found;
  UniqueFd fd(::open((dir / "records").c_str(), O_RDONLY));
  ScanMatchingRecords(fd.get(), SplitTerms("A"), [&](std::string_view r) {
    found.emplace_back(r);
    return MatchReply::kKeepGoing;
  });
  EXPECT_EQ(found, (Records{"\x83\x41 A\n"}));
}

TEST(Scan, ReportsAReadErrorInsteadOfAnEnd) {
  testing::ScratchDir dir;
  UniqueFd fd(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY));
  const auto sink = [](std::string_view) { return MatchReply::kKeepGoing; };
  EXPECT_EQ(ScanMatchingRecords(fd.get(), SplitTerms("a"), sink), ScanEnd::kReadError);
  EXPECT_EQ(ScanMatchingRecords(fd.get(), SplitTerms("a"), sink, {.plain = true}),
            ScanEnd::kReadError);
}

// A file cut short under the scan ends it where the file now ends, as a text-mode reader would
// find it: no records are made up past the end, and nothing breaks.
TEST(Scan, AFileCutShortUnderTheScanEndsItWhereItNowEnds) {
  testing::ScratchDir dir;
  std::string records;
  for (int i = 0; i < 4000; ++i) records += "record " + std::to_string(i) + "\n";
  testing::ForEachScanWay(testing::AllScanWays(), [&](const testing::ScanWay& way) {
    const ScanOptions& options = way.scan;
    for (const off_t cut : {off_t{100}, static_cast<off_t>(records.size() * 3 / 4)}) {
      testing::WriteFile(dir / "records", records);
      UniqueFd fd(::open((dir / "records").c_str(), O_RDWR));
      int seen = 0;
      const ScanEnd end = ScanMatchingRecords(
          fd.get(), SplitTerms("record"),
          [&](std::string_view r) {
            if (++seen == 1) {
              EXPECT_EQ(::ftruncate(fd.get(), cut), 0);
            }
            EXPECT_EQ(r.substr(0, 7), "record ");
            return MatchReply::kKeepGoing;
          },
          options);
      EXPECT_EQ(end, ScanEnd::kEndOfFile) << cut;
      // In two halves the helper may have read all of its half before the cut: those records
      // were there when read. So may a read that takes the whole file at once.
      if (options.split_min_bytes > records.size() &&
          (options.plain || options.read_bytes < records.size() / 4)) {
        EXPECT_LT(seen, 4000) << cut;
      }
    }
  });
}

}  // namespace
}  // namespace tolvane
