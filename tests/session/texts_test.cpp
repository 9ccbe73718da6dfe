// The texts the user reads are written once, in UTF-8, and built into Shift-JIS byte strings; these
// check the bytes against iconv and pin how a search's caption is made from them.
#include "texts/texts.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "encoding/cp932.h"
#include "iconv_text.h"
#include "session/display.h"

namespace tolvane {
namespace {

struct WrittenText {
  std::string_view name;
  std::string_view sjis;
  std::string_view utf8;
};

constexpr WrittenText kWrittenTexts[] = {
#include "texts/texts_table.inc"
};

TEST(Texts, EveryTextIsItsUtf8InShiftJis) {
  EXPECT_GE(std::size(kWrittenTexts), 58u);
  for (const WrittenText& text : kWrittenTexts) {
    SCOPED_TRACE(text.name);
    EXPECT_FALSE(text.sjis.empty());
    EXPECT_EQ(testing::IconvText("CP932", "UTF-8", text.utf8), std::string(text.sjis));
    EXPECT_EQ(Cp932ToUtf8(text.sjis), text.utf8);
  }
}

TEST(Texts, TextsKeepTheirBlanksAndHalfWidthKana) {
  // Leading blanks and a half-width kana (one byte each in Shift-JIS) come through as written.
  EXPECT_EQ(kDocumentName, " ");
  EXPECT_EQ(kFileMenu, "\xcc\xa7\xb2\xd9(&F)");                 // ﾌｧｲﾙ(&F)
  EXPECT_EQ(kAboutCaption.substr(0, 11), "  Tolvane\x81\x40");  // the full-width blank
  // 表 is 0x95 0x5C: its second byte is the backslash, and must stay one.
  EXPECT_NE(kManyMatchesCaption.find("\x95\x5c\x8e\xa6"), std::string_view::npos);  // 表示
}

TEST(Texts, MessagesNameTheFilesAsTheProgramNamesThem) {
  EXPECT_EQ(kNoRecordsFileMessage.substr(0, 14), kRecordsFileName);
  EXPECT_EQ(kCannotReadRecordsMessage.substr(0, 14), kRecordsFileName);
  EXPECT_EQ(kUtf16RecordsMessage.substr(0, 14), kRecordsFileName);
  EXPECT_EQ(kCannotCreateResultsMessage.substr(0, 9), kResultsFileName);
  EXPECT_EQ(kCannotWriteResultsMessage.substr(0, 9), kResultsFileName);
}

TEST(Texts, CaptionCountsAndSaysWhenNotAllAreShown) {
  EXPECT_EQ(Cp932ToUtf8(CountCaption(501)),
            "件数：501   500件までを表示しています。shift+Enterキーでエディタ上に全体を開きます。");
  EXPECT_EQ(Cp932ToUtf8(CountCaption(500)),
            "件数：500   "
            "空白で区切るとand検索。上下矢印キーで入力履歴。shift+Enter：エディタで結果を開く。");
  EXPECT_TRUE(Cp932ToUtf8(CountCaption(1)).starts_with("件数：1   空白"));
  EXPECT_TRUE(Cp932ToUtf8(CountCaption(2147483647)).starts_with("件数：2147483647   500件まで"));
  // Fewer shown than matched, however few matched: the box's byte limit stopped the block.
  EXPECT_TRUE(Cp932ToUtf8(CountCaption(300, 147)).starts_with("件数：300   500件まで"));
  EXPECT_TRUE(Cp932ToUtf8(CountCaption(147, 147)).starts_with("件数：147   空白"));
  EXPECT_TRUE(
      Cp932ToUtf8(CountCaption(4294967296, 500)).starts_with("件数：4294967296   500件まで"));
}

}  // namespace
}  // namespace tolvane
