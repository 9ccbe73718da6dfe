// The loose search: what it takes for one and what it keeps apart, in each encoding, and the whole
// scan against a reference of the test's own that matches on characters.
#include <gtest/gtest.h>
#include <iconv.h>

#include <random>
#include <string>
#include <vector>

#include "encoding/fold.h"
#include "encoding/kanji_variants.h"
#include "encoding/text_encoding.h"
#include "loose_model.h"
#include "scan_paths.h"
#include "search/terms.h"
#include "session/run.h"
#include "test_util.h"
#include "texts/texts.h"

namespace tolvane {
namespace {

// `utf8` converted by iconv to `to`; empty when a character has no place there.
std::string Convert(std::string_view utf8, const char* to) {
  iconv_t cd = iconv_open(to, "UTF-8");
  std::string in(utf8);
  std::string out(in.size() * 4 + 8, '\0');
  char* src = in.data();
  std::size_t src_left = in.size();
  char* dst = out.data();
  std::size_t dst_left = out.size();
  const bool ok = iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  if (!ok) return {};
  out.resize(out.size() - dst_left);
  return out;
}

// Whether the loose search for `query` (UTF-8 here, Shift-JIS as the window sends it) finds a
// record `record` (UTF-8 here) written in `encoding`.
bool LooseFinds(std::string_view query, std::string_view record,
                TextEncoding encoding = TextEncoding::kShiftJis) {
  const TermTable terms = SplitTerms(Convert(query, "CP932"), encoding, Folding::kLoose);
  EXPECT_FALSE(terms.unconvertible) << query;
  const std::string bytes = Convert(record, IconvName(encoding));
  if (bytes.empty()) ADD_FAILURE() << record << " has no place in " << IconvName(encoding);
  return MatchesAllTerms(bytes, terms);
}

constexpr TextEncoding kEncodings[] = {TextEncoding::kShiftJis, TextEncoding::kUtf8,
                                       TextEncoding::kEucJp};

TEST(LooseSearch, FindsTheNotationalVariantsOfATerm) {
  for (const TextEncoding encoding : kEncodings) {
    SCOPED_TRACE(IconvName(encoding));
    EXPECT_TRUE(LooseFinds("1998", "（１９９８）", encoding));
    EXPECT_TRUE(LooseFinds("ABC", "ａｂｃ", encoding));
    EXPECT_TRUE(LooseFinds("abc", "ＡＢＣ", encoding));
    EXPECT_TRUE(LooseFinds("コンピュータ", "ｺﾝﾋﾟｭｰﾀ", encoding));
    EXPECT_TRUE(LooseFinds("コンピュータ", "こんぴゅーた", encoding));
    EXPECT_TRUE(LooseFinds("ｺﾝﾋﾟｭｰﾀ", "コンピュータ", encoding));
    EXPECT_TRUE(LooseFinds("データベース", "デ−タベ−ス", encoding));
    EXPECT_TRUE(LooseFinds("データベース", "デ―タベ‐ス", encoding));
    if (encoding != TextEncoding::kEucJp) {  // EUC-JP writes － only as −
      EXPECT_TRUE(LooseFinds("データベース", "デ－タベ－ス", encoding));
      // － is the full-width hyphen-minus as well: page ranges and codes typed full-width.
      EXPECT_TRUE(LooseFinds("ISBN4-308", "ＩＳＢＮ４－３０８", encoding));
      EXPECT_TRUE(LooseFinds("１２－３４", "12-34頁", encoding));
    }
    EXPECT_TRUE(LooseFinds("12-34", "１２−３４", encoding));
    EXPECT_TRUE(LooseFinds("国語", "國語", encoding));
    EXPECT_TRUE(LooseFinds("學", "国語学", encoding));
    EXPECT_TRUE(LooseFinds("ヴ", "ｳﾞ", encoding));
    EXPECT_TRUE(LooseFinds("ャ", "ゃ", encoding));
    EXPECT_TRUE(LooseFinds("・", "･", encoding));
    EXPECT_TRUE(LooseFinds("ガイド 実", "實用ｶﾞｲﾄﾞ", encoding));
  }
}

TEST(LooseSearch, KeepsApartWhatIsNotTheSame) {
  for (const TextEncoding encoding : kEncodings) {
    SCOPED_TRACE(IconvName(encoding));
    EXPECT_FALSE(LooseFinds("コンピュータ", "コンピタ", encoding));
    EXPECT_FALSE(LooseFinds("カ", "ガ", encoding));  // voiced and unvoiced stay apart
    EXPECT_FALSE(LooseFinds("カ", "ｶﾞ", encoding));  // ｶ with its mark is ガ
    EXPECT_FALSE(LooseFinds("ハ", "ﾊﾟ", encoding));
    EXPECT_FALSE(LooseFinds("バ", "ﾊﾟ", encoding));
    EXPECT_FALSE(LooseFinds("ヤ", "ゃ", encoding));  // small kana stay small
    EXPECT_FALSE(LooseFinds("一", "壱", encoding));  // a numeral is not its formal form
    EXPECT_FALSE(LooseFinds("士", "土", encoding));
    EXPECT_FALSE(LooseFinds("-", "～", encoding));  // a dash is no wave dash
  }
  // ソ is 83 5C in Shift-JIS: its trail byte is no backslash.
  EXPECT_FALSE(LooseFinds("\\", "ソ"));
  EXPECT_TRUE(LooseFinds("\\", "ソ＼"));
  // ¥ in a UTF-8 file is the ￥ of a Shift-JIS query.
  EXPECT_TRUE(LooseFinds("￥1000", "¥1000", TextEncoding::kUtf8));
  EXPECT_FALSE(LooseFinds("￥", "\\", TextEncoding::kUtf8));
}

TEST(LooseSearch, AKanaAndItsMarkAreOneCharacter) {
  // A term ending in a kana does not stop before the mark that voices it in the record.
  EXPECT_FALSE(LooseFinds("ｲｶ", "ｲｶﾞ"));
  EXPECT_TRUE(LooseFinds("ｲｶ", "ｲｶｰ"));
  // A lone mark is the spacing mark ゛; a mark after no kana stands alone.
  EXPECT_TRUE(LooseFinds("゛", "Aﾞ"));
  EXPECT_FALSE(LooseFinds("゛", "ｶﾞ"));
  EXPECT_TRUE(LooseFinds("ﾞ", "A゛"));
  // A record's last character a kana: nothing after it to read.
  EXPECT_TRUE(LooseFinds("カ", "ｶ"));
  // Kana that only Unicode has: ゔ is ヴ.
  EXPECT_TRUE(LooseFinds("ヴ", "ゔ", TextEncoding::kUtf8));
  // Decomposed UTF-8, as some systems write kana: カ with a combining mark is ガ.
  EXPECT_TRUE(LooseFinds("ガイド", "カ\u3099イト\u3099", TextEncoding::kUtf8));
  EXPECT_TRUE(LooseFinds("パ", "は\u309a", TextEncoding::kUtf8));
  EXPECT_FALSE(LooseFinds("カ", "カ\u3099", TextEncoding::kUtf8));
}

// The exact search of `query` finds `record` (both UTF-8 here) in a Shift-JIS file.
bool ExactFinds(std::string_view query, std::string_view record) {
  return MatchesAllTerms(Convert(record, "CP932"), SplitTerms(Convert(query, "CP932")));
}

TEST(LooseSearch, ALoanwordsFinalLongVowelMarkIsOptional) {
  for (const TextEncoding encoding : kEncodings) {
    SCOPED_TRACE(IconvName(encoding));
    EXPECT_TRUE(LooseFinds("コンピューター", "コンピュータ概論", encoding));
    EXPECT_TRUE(LooseFinds("コンピューター", "ｺﾝﾋﾟｭｰﾀ", encoding));
    EXPECT_TRUE(LooseFinds("コンピュータ概論", "コンピューター概論", encoding));
    EXPECT_TRUE(LooseFinds("サーバ", "サーバー管理", encoding));
    EXPECT_TRUE(LooseFinds("サーバー管理", "サーバ管理", encoding));
    EXPECT_TRUE(LooseFinds("データー", "データ", encoding));
    EXPECT_TRUE(LooseFinds("データ―", "デ―タ", encoding));  // a dash of the mark's class
    EXPECT_TRUE(LooseFinds("ｻｰﾊﾞｰ", "サーバ", encoding));
    // Optional, not removed: the mark is still found where it stands.
    EXPECT_TRUE(LooseFinds("ュー", "ダブリュー", encoding));
    EXPECT_TRUE(LooseFinds("サーバー", "サーバーズ", encoding));
    // Fewer than three before it (small kana not counted), or inside the run: the mark stays.
    EXPECT_FALSE(LooseFinds("カー", "カ", encoding));
    EXPECT_FALSE(LooseFinds("コピー", "コピ用紙", encoding));
    EXPECT_FALSE(LooseFinds("シュー", "シュ", encoding));
    EXPECT_FALSE(LooseFinds("コヒー", "コーヒー", encoding));
    EXPECT_FALSE(LooseFinds("データベ", "データーベース", encoding));
    // Passed over only where the other's run ends there too.
    EXPECT_FALSE(LooseFinds("サーバー", "サーバント", encoding));
    EXPECT_FALSE(LooseFinds("ISBN-", "ISBN", encoding));
  }
  EXPECT_FALSE(ExactFinds("コンピューター", "コンピュータ"));
}

TEST(LooseSearch, SmallKeKaAndHistoricalKanaAreTheKanaTheyStandFor) {
  for (const TextEncoding encoding : kEncodings) {
    SCOPED_TRACE(IconvName(encoding));
    EXPECT_TRUE(LooseFinds("関ヶ原", "関ケ原", encoding));
    EXPECT_TRUE(LooseFinds("関ケ原", "関ヶ原", encoding));
    EXPECT_TRUE(LooseFinds("一ヵ月", "一カ月", encoding));
    EXPECT_TRUE(LooseFinds("一か月", "一ヵ月", encoding));
    EXPECT_FALSE(LooseFinds("関ヶ原", "関ゲ原", encoding));
    EXPECT_TRUE(LooseFinds("エビス", "ヱビス", encoding));
    EXPECT_TRUE(LooseFinds("いなか", "ゐなか", encoding));
    EXPECT_TRUE(LooseFinds("ヰ", "イ", encoding));
    EXPECT_FALSE(LooseFinds("エビス", "エピス", encoding));
  }
  EXPECT_TRUE(LooseFinds("ケ", "ゖ", TextEncoding::kUtf8));  // hiragana ゖ, only Unicode has it
  EXPECT_FALSE(ExactFinds("関ヶ原", "関ケ原"));
  EXPECT_FALSE(ExactFinds("エビス", "ヱビス"));
}

TEST(LooseSearch, AnIterationMarkIsTheCharacterItRepeats) {
  for (const TextEncoding encoding : kEncodings) {
    SCOPED_TRACE(IconvName(encoding));
    EXPECT_TRUE(LooseFinds("佐々木", "佐佐木", encoding));
    EXPECT_TRUE(LooseFinds("佐佐木", "佐々木", encoding));
    EXPECT_TRUE(LooseFinds("こころ", "こゝろ", encoding));
    EXPECT_TRUE(LooseFinds("ココロ", "こゝろ", encoding));
    EXPECT_TRUE(LooseFinds("いすず", "いすゞ", encoding));
    EXPECT_TRUE(LooseFinds("いすゞ", "イスズ", encoding));
    // The repeated character may begin the term, the mark standing for it in the record.
    EXPECT_TRUE(LooseFinds("時刻", "時々刻々", encoding));
    EXPECT_TRUE(LooseFinds("刻", "々刻", encoding));
    // ゝ repeats unvoiced, ゞ voiced; 々 repeats only a kanji.
    EXPECT_FALSE(LooseFinds("いすす", "いすゞ", encoding));
    EXPECT_FALSE(LooseFinds("こご", "こゝ", encoding));
    EXPECT_TRUE(LooseFinds("代代代", "代々々", encoding));
    EXPECT_FALSE(LooseFinds("ああ", "あ々", encoding));
    // ゞ after ウ is ヴ, which the loose search reads as ブ.
    EXPECT_TRUE(LooseFinds("ウブ", "ウヾ", encoding));
    EXPECT_TRUE(LooseFinds("ウヴ", "うゞ", encoding));
    // A mark with nothing before it in the term stands for itself, and finds what the exact search
    // finds.
    EXPECT_TRUE(LooseFinds("々木", "佐々木", encoding));
    EXPECT_FALSE(LooseFinds("々木", "佐佐木", encoding));
    EXPECT_TRUE(LooseFinds("ゝろ", "こゝろ", encoding));
    EXPECT_FALSE(LooseFinds("ゝろ", "こころ", encoding));
  }
  // ￥ (81 8F) is no kanji for 々 to repeat; a user-defined character (F0 40) may stand for one.
  EXPECT_FALSE(LooseFinds("￥￥", "￥々"));
  EXPECT_TRUE(LooseFinds("￥々", "￥々"));
  EXPECT_TRUE(
      MatchesAllTerms("\xf0\x40\x81\x58",
                      SplitTerms("\xf0\x40\xf0\x40", TextEncoding::kShiftJis, Folding::kLoose)));
  EXPECT_FALSE(ExactFinds("佐々木", "佐佐木"));
  EXPECT_FALSE(ExactFinds("こころ", "こゝろ"));
}

TEST(LooseSearch, VuWithASmallVowelIsTheBSyllable) {
  for (const TextEncoding encoding : kEncodings) {
    SCOPED_TRACE(IconvName(encoding));
    EXPECT_TRUE(LooseFinds("バイオリン", "ヴァイオリン", encoding));
    EXPECT_TRUE(LooseFinds("ヴァイオリン", "バイオリン", encoding));
    EXPECT_TRUE(LooseFinds("バイオリン", "ｳﾞｧｲｵﾘﾝ", encoding));
    EXPECT_TRUE(LooseFinds("ベネツィア", "ヴェネツィア", encoding));
    EXPECT_TRUE(LooseFinds("ビ", "ヴィ", encoding));
    EXPECT_TRUE(LooseFinds("ブ", "ヴ", encoding));
    // What the exact search finds, the loose one does: ヴ alone, and the vowel after it.
    EXPECT_TRUE(LooseFinds("ヴ", "ヴァイオリン", encoding));
    EXPECT_TRUE(LooseFinds("ァイオリン", "ヴァイオリン", encoding));
    // ヴァ is バ, not ブ; voiced and semi-voiced stay apart.
    EXPECT_FALSE(LooseFinds("ブ", "ヴァ", encoding));
    EXPECT_FALSE(LooseFinds("パイオリン", "ヴァイオリン", encoding));
    EXPECT_FALSE(LooseFinds("バイオリン", "ウァイオリン", encoding));
  }
  EXPECT_TRUE(LooseFinds("ボ", "ゔぉ", TextEncoding::kUtf8));  // only Unicode has ゔ
  EXPECT_FALSE(ExactFinds("バイオリン", "ヴァイオリン"));
}

TEST(LooseSearch, ALatinLetterWithDiacriticsIsItsBaseLetter) {
  // The query is typed in Shift-JIS here, which has no é: its terms are the record's encoding.
  const auto finds = [](std::string_view term, std::string_view record, TextEncoding encoding) {
    TermTable terms = SplitTerms("x", encoding, Folding::kLoose);
    terms.terms = {Convert(term, IconvName(encoding))};
    terms.folded.clear();
    terms.folded.emplace_back(std::in_place, encoding, terms.terms[0], Folding::kLoose);
    return MatchesAllTerms(Convert(record, IconvName(encoding)), terms);
  };
  for (const TextEncoding encoding : {TextEncoding::kUtf8, TextEncoding::kEucJp}) {
    SCOPED_TRACE(IconvName(encoding));
    EXPECT_TRUE(finds("études", "Études musicales", encoding));
    EXPECT_TRUE(finds("études", "ETUDES", encoding));
    EXPECT_TRUE(finds("Etudes", "études", encoding));
    EXPECT_TRUE(finds("Muller", "Müller", encoding));
    EXPECT_TRUE(finds("garcon", "Garçon", encoding));
    EXPECT_TRUE(finds("Espana", "España", encoding));
    EXPECT_FALSE(finds("études", "ftudes", encoding));
  }
  EXPECT_TRUE(finds("Dvořák", "DVORAK", TextEncoding::kUtf8));
}

// A line longer than a read (2,998 bytes) arrives as pieces, each matched alone, as the exact
// search matches them: a fold whose characters the cut parts is read in each piece as what stands
// there.
TEST(LooseSearch, ALongLineCutIntoPiecesIsMatchedAPieceAtATime) {
  testing::ScratchDir dir;
  // 2,996 bytes and ヴ (83 94) fill the first piece; ァ (83 40) starts the second. Likewise 佐 (8D
  // B2) ends a piece and 々 (81 58) starts the next.
  const std::string first(2996, 'a');
  const std::string vu_line = first + "\x83\x94" + "\x83\x40\x83\x43\x83\x49\x83\x8a\x83\x93\r\n";
  const std::string mark_line = first + "\x8d\xb2" + "\x81\x58\x96\xd8\r\n";
  const auto count = [&](std::string_view line, std::string_view query) {
    testing::WriteFile(dir / kRecordsFileName, std::string(line));
    RunOptions options;
    options.loose = true;
    return RunSearch(query, dir.path(), {}, options).matches;
  };
  EXPECT_EQ(count(vu_line, "ヴ"), 1);          // the first piece's last character
  EXPECT_EQ(count(vu_line, "ァイオリン"), 1);  // the second piece, as the exact search finds it
  EXPECT_EQ(count(vu_line, "バイオリン"), 0);  // ヴァ parted by the cut is no バ
  EXPECT_EQ(count(mark_line, "々木"), 1);      // a piece's first mark stands for itself
  EXPECT_EQ(count(mark_line, "佐佐木"), 0);
  // Within a piece the fold holds wherever the piece lies in the line.
  EXPECT_EQ(count(first + "\x83\x94\x83\x40\x83\x43\r\n", "バイ"), 0);
  EXPECT_EQ(count(std::string(100, 'a') + "\x83\x94\x83\x40\x83\x43\r\n", "バイ"), 1);
}

TEST(LooseSearch, TwinCodesAndCompatibilityIdeographsAreTheirCharacter) {
  const TermTable i = SplitTerms("\x87\x54", TextEncoding::kShiftJis, Folding::kLoose);  // Ⅰ, NEC
  EXPECT_TRUE(MatchesAllTerms("\xfa\x4a", i));                                           // Ⅰ, IBM
  // 神 U+FA19 (IBM's FA E7 ... as glibc reads it) is 神.
  EXPECT_TRUE(LooseFinds("神", "\uFA19社", TextEncoding::kUtf8));
  EXPECT_TRUE(LooseFinds("髙橋", "高橋"));
  EXPECT_TRUE(LooseFinds("﨑", "崎"));
}

TEST(LooseSearch, ACharacterTheFileLacksIsSearchedAsAVariantItHolds) {
  // EUC-JP has no 髙: its variant 高 is written instead, and both are found as 高.
  const TermTable terms =
      SplitTerms(Convert("髙橋", "CP932"), TextEncoding::kEucJp, Folding::kLoose);
  ASSERT_FALSE(terms.unconvertible);
  EXPECT_EQ(terms.terms[0], Convert("高橋", "EUC-JP"));
  EXPECT_TRUE(MatchesAllTerms(Convert("高橋家文書", "EUC-JP"), terms));
  // A character with no variant the file holds is still refused.
  const TermTable circled =
      SplitTerms(Convert("①", "CP932"), TextEncoding::kEucJp, Folding::kLoose);
  EXPECT_TRUE(circled.unconvertible);
}

TEST(LooseFolding, FoldingTwiceChangesNothingAndEveryClassFoldsToItsKey) {
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (c >= 0xd800 && c <= 0xdfff) continue;
    const char32_t folded = FoldCharacter(c, Folding::kLoose);
    ASSERT_EQ(FoldCharacter(folded, Folding::kLoose), folded)
        << std::hex << static_cast<unsigned>(c);
  }
  for (const char32_t key : {U'a', U'1', U'ー', U'ガ', U'パ', U'ヴ', U'・', U'国', U'学', U'高'}) {
    const char32_t folded = FoldCharacter(key, Folding::kLoose);
    for (const std::u32string& member : FoldClass(folded, Folding::kLoose)) {
      const char32_t member_folded = member.size() == 2
                                         ? ComposeKana(member[0], member[1]).value_or(0)
                                         : FoldCharacter(member[0], Folding::kLoose);
      EXPECT_EQ(member_folded, folded) << std::hex << static_cast<unsigned>(member[0]);
    }
  }
  EXPECT_EQ(FoldClass(FoldCharacter(U'ガ', Folding::kLoose), Folding::kLoose).size(), 8u)
      << "ガ が ｶﾞ and the five with a combining mark (ヵ ゕ among them)";
}

TEST(KanjiVariants, JoinTheDictionarysPairsButTheDroppedOnes) {
  // The dictionary as kakasi-dic writes it: EUC-JP, a pair a line.
  const std::string dictionary =
      Convert("芦蘆\n壱一\n濾滬\n島嶋\n嶌嶋\nnot a pair\n亜\n", "EUC-JP");
  const KanjiVariants variants = KanjiVariants::From(dictionary);
  EXPECT_TRUE(variants.HasDictionary());
  EXPECT_EQ(variants.Representative(U'芦'), variants.Representative(U'蘆'));
  EXPECT_EQ(variants.Representative(U'島'), variants.Representative(U'嶌'));
  EXPECT_NE(variants.Representative(U'壱'), variants.Representative(U'一'));
  EXPECT_NE(variants.Representative(U'濾'), variants.Representative(U'滬'));
  // Our own pairs need no dictionary.
  const KanjiVariants own = KanjiVariants::From("");
  EXPECT_FALSE(own.HasDictionary());
  EXPECT_EQ(own.Representative(U'國'), own.Representative(U'国'));
  EXPECT_EQ(own.Representative(U'實'), own.Representative(U'実'));
  EXPECT_EQ(own.Representative(U'龍'), own.Representative(U'竜'));
  EXPECT_EQ(own.Representative(U'壹'), own.Representative(U'壱'));
  EXPECT_NE(own.Representative(U'壱'), own.Representative(U'一'));
  EXPECT_EQ(own.Representative(U'擧'), own.Representative(U'挙'));
  EXPECT_NE(own.Representative(U'擧'), own.Representative(U'拳'));
}

// The reference is the tests' own model of the loose search (loose_model.h), over the code points
// the records and terms are made of.
std::vector<testing::ModelChar> ModelChars(const std::u32string& text) {
  std::vector<testing::ModelChar> chars;
  for (const char32_t c : text) chars.push_back({c, Utf8Of(c)});
  return chars;
}

// The characters the random records are made of: variants of the words the queries look for, and
// characters near them.
const std::vector<std::u32string>& Alphabet() {
  static const std::vector<std::u32string> alphabet = {
      U"1", U"１", U"9", U"９", U"8", U"８", U"a", U"A", U"ａ", U"Ａ", U"b", U"ｂ", U"c", U"Ｃ",
      U"コ", U"こ", U"ｺ", U"ン", U"ん", U"ﾝ", U"ピ", U"ぴ", U"ﾋﾟ", U"ﾋ", U"ﾟ", U"ﾞ", U"ュ", U"ゅ",
      U"ｭ", U"ユ", U"ー", U"ｰ", U"―", U"‐", U"－", U"−", U"タ", U"た", U"ﾀ", U"ダ", U"ﾀﾞ", U"カ",
      U"ガ", U"ｶ", U"ｶﾞ", U"が", U"・", U"･", U"国", U"國", U"学", U"學", U"語", U"高", U"髙",
      U"橋", U"崎", U"﨑", U"実", U"實", U"\\", U"ソ", U"＼", U"Ⅰ", U"神", U"\uFA19", U"カ\u3099",
      U"ゃ", U"ャ", U"ヤ", U" ", U"、",
      // The folds that change a term's length, and what they must keep apart.
      U"ヶ", U"ヵ", U"ケ", U"ゖ", U"佐", U"木", U"々", U"〻", U"ゝ", U"ゞ", U"ヽ", U"ヾ", U"ス",
      U"ズ", U"す", U"ヴ", U"ｳﾞ", U"ウ", U"ァ", U"ィ", U"ェ", U"ォ", U"ｧ", U"バ", U"ブ", U"ハ",
      U"イ", U"エ", U"い", U"ゐ", U"ゑ", U"ヰ", U"ヱ", U"サ", U"デ", U"e", U"é", U"É", U"u", U"ü",
      U"ç", U"ñ", U"N"};
  return alphabet;
}

// Words a query is made of, as typed (so in CP932 where it holds them).
const std::vector<std::u32string>& Words() {
  static const std::vector<std::u32string> words = {
      U"1998", U"１9", U"ABC", U"abc", U"コンピュータ", U"ｺﾝﾋﾟｭｰﾀ", U"カ", U"ガ", U"ｶﾞ", U"ー",
      U"・", U"国語", U"學", U"高橋", U"髙", U"崎", U"實", U"\\", U"Ⅰ", U"神", U"ャ", U"ダ",
      // Katakana words of three to six characters with and without a final long-vowel mark.
      U"コンピューター", U"サーバ", U"サーバー", U"ｻｰﾊﾞｰ", U"データ", U"データー", U"カー", U"ュー",
      U"バイ", U"ヴァイ", U"ヴ", U"ァイ", U"ブ", U"関ヶ原", U"ケ原", U"佐々", U"佐佐", U"々",
      U"々木", U"こゝろ", U"ココ", U"スズ", U"すゞ", U"ゝ", U"ヱビス", U"イ", U"ゐ", U"éc", U"Ü",
      U"ñ"};
  return words;
}

std::string Utf8(const std::u32string& text) {
  std::string out;
  for (const char32_t c : text) out += Utf8Of(c);
  return out;
}

TEST(LooseScan, AgreesWithAReferenceOnCharactersOnEveryPathAndInEveryEncoding) {
  std::mt19937 rng(19980401);
  testing::ScratchDir dir;
  long total_matches = 0;
  for (const TextEncoding encoding : kEncodings) {
    SCOPED_TRACE(IconvName(encoding));
    for (int file = 0; file < 12; ++file) {
      // Records of characters the encoding holds, with query words planted in variant spellings.
      std::vector<std::u32string> records;
      std::string bytes;
      const int count = 50 + static_cast<int>(rng() % 400);
      while (static_cast<int>(records.size()) < count) {
        std::u32string record;
        std::string record_bytes;
        const int length = static_cast<int>(rng() % 24);
        for (int k = 0; k < length; ++k) {
          const std::u32string& piece = rng() % 4 == 0 ? Words()[rng() % Words().size()]
                                                       : Alphabet()[rng() % Alphabet().size()];
          const std::string written = Convert(Utf8(piece), IconvName(encoding));
          if (written.empty()) continue;
          record += piece;
          record_bytes += written;
        }
        records.push_back(record);
        bytes += record_bytes + "\r\n";
      }
      testing::WriteFile(dir / kRecordsFileName, bytes);
      for (int q = 0; q < 6; ++q) {
        std::vector<std::u32string> terms;
        std::string query;
        for (int t = 0, n = 1 + static_cast<int>(rng() % 2); t < n; ++t) {
          // A word the file's encoding can write: others are refused (or written as a variant,
          // which a test of its own covers).
          std::u32string word;
          do {
            word = Words()[rng() % Words().size()];
          } while (Convert(Utf8(word), IconvName(encoding)).empty());
          terms.push_back(word);
          query += (t ? " " : "") + Utf8(terms.back());
        }
        std::string expected;
        int expected_count = 0;
        for (std::size_t r = 0; r < records.size(); ++r) {
          bool all = true;
          for (const std::u32string& term : terms) {
            all = all && testing::LooseModelHolds(ModelChars(records[r]), ModelChars(term));
          }
          if (!all) continue;
          ++expected_count;
          expected += Convert(Utf8(records[r]), IconvName(encoding)) + "\r\n";
        }
        testing::ForEachScanWay(
            testing::AllScanWays(1 + rng() % 13), [&](const testing::ScanWay& way) {
              RunOptions options;
              options.scan = way.scan;
              options.loose = true;
              const SearchResult result = RunSearch(query, dir.path(), {}, options);
              ASSERT_TRUE(result.status == RunStatus::kMatched ||
                          result.status == RunStatus::kNoMatch)
                  << "file " << file << ": " << static_cast<int>(result.status);
              ASSERT_EQ(result.matches, expected_count)
                  << "file " << file << " query " << Utf8(terms[0]);
              ASSERT_EQ(testing::ReadFile(dir / kResultsFileName), expected) << "file " << file;
              if (expected_count > 0) {
                ASSERT_TRUE(result.shown.blocks.front().loose);
              }
            });
        if (::testing::Test::HasFatalFailure()) return;
        total_matches += expected_count;
      }
    }
  }
  EXPECT_GT(total_matches, 300);  // the generator must keep producing files worth comparing
}

}  // namespace
}  // namespace tolvane
