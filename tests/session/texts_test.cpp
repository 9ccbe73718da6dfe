// The texts the user reads are Shift-JIS byte strings written as escapes; these pin what they say.
#include "texts/texts.h"

#include <gtest/gtest.h>

#include "encoding/cp932.h"
#include "session/display.h"

namespace tolvane {
namespace {

TEST(Texts, MessagesAndCaptionsOfASearchReadAsIntended) {
  EXPECT_EQ(Cp932ToUtf8(kNoRecordsFileMessage), "tolvaneken.txtがありません。");
  EXPECT_EQ(Cp932ToUtf8(kCannotCreateResultsMessage), "kekka.txtが作れません。");
  EXPECT_EQ(Cp932ToUtf8(kCannotReadRecordsMessage), "tolvaneken.txtが読めません。");
  EXPECT_EQ(Cp932ToUtf8(kCannotWriteResultsMessage), "kekka.txtに書き込めません。");
  EXPECT_EQ(Cp932ToUtf8(CountCaption(501)),
            "件数：501   500件までを表示しています。shift+Enterキーでエディタ上に全体を開きます。");
  EXPECT_EQ(Cp932ToUtf8(CountCaption(7)),
            "件数：7   空白で区切るとand検索。上下矢印キーで入力履歴。shift+Enter：エディタで結果を開く。");
  EXPECT_EQ(Cp932ToUtf8(kUsageHint),
            "　空白で区切るとand検索。上下矢印キーで入力履歴。shift+Enterキー：エディタで結果を開く。");
}

TEST(Texts, DialogTextsReadAsIntended) {
  EXPECT_EQ(Cp932ToUtf8(kChooseEditorTitle),
            "結果表示用エディタを選択します。キャンセルするとメモ帳になります。");
  EXPECT_EQ(Cp932ToUtf8(kUnusableEditorMessage),
            "このファイルはエディタに指定できません。パスが長すぎるか、Shift-JISで表せない文字を含んで"
            "います。エディタは変わりません。");
  EXPECT_EQ(Cp932ToUtf8(kCannotStartEditorMessage),
            "エディタ「%1」を起動できません。ファイルメニューの「印刷用エディタの変更」で選んでください。");
  EXPECT_EQ(Cp932ToUtf8(kUnconvertibleQueryMessage),
            "「%1」はShift-JISで表せない文字なので、検索できません。");
  EXPECT_EQ(Cp932ToUtf8(kMalformedQueryMessage), "入力された文字を変換できません。");
  EXPECT_EQ(Cp932ToUtf8(kCannotOpenMessage), "%1 を開けません。");
  EXPECT_EQ(Cp932ToUtf8(kCannotSaveMessage), "%1 を保存できません。");
  EXPECT_EQ(Cp932ToUtf8(kPathNotFoundMessage), "%1 が見つかりません。");
  EXPECT_EQ(Cp932ToUtf8(kNoPermissionMessage), "%1 を開く権限がありません。");
  EXPECT_EQ(Cp932ToUtf8(kUnknownOptionMessage), "%1 は不明なオプションです。");
  EXPECT_EQ(Cp932ToUtf8(kTooManyPathsMessage), "指定できるファイルまたはフォルダは一つだけです。");
}

TEST(Texts, ReasonsAFileCouldNotBeUsedReadAsIntended) {
  EXPECT_EQ(Cp932ToUtf8(kRefusedLinkReason),
            "%1 は他のユーザー（%2）が作ったシンボリックリンクなので、たどりません。");
  EXPECT_EQ(Cp932ToUtf8(kDiskFullReason), "ディスクに空きがありません。");
  EXPECT_EQ(Cp932ToUtf8(kQuotaReason), "ディスクの使用量の上限に達しています。");
  EXPECT_EQ(Cp932ToUtf8(kReadOnlyReason), "読み取り専用のファイルシステムです。");
  EXPECT_EQ(Cp932ToUtf8(kNoAccessReason), "アクセスする権限がありません。");
  EXPECT_EQ(Cp932ToUtf8(kNotRegularReason), "通常のファイルではありません。");
  EXPECT_EQ(Cp932ToUtf8(kSystemErrorReason), "システムのエラーです（%1）。");
  EXPECT_EQ(Cp932ToUtf8(kCannotSaveHistoryMessage),
            "検索履歴をhistory.txtに保存できません。この起動中の検索語は次回に残りません。");
}

TEST(Texts, EncodingMessagesReadAsIntended) {
  EXPECT_EQ(Cp932ToUtf8(kUtf16RecordsMessage),
            "tolvaneken.txtはUTF-16で書かれているため検索できません。UTF-8かShift-JISで保存し直してください。");
  EXPECT_EQ(Cp932ToUtf8(kUnknownEncodingSearchedMessage),
            "tolvaneken.txtの文字コードが分からないため、Shift-JISとして検索しました。"
            "正しく表示されない文字があるかもしれません。");
  EXPECT_EQ(Cp932ToUtf8(kUnconvertibleForRecordsMessage),
            "「%1」はtolvaneken.txtの文字コード（%2）で表せない文字なので、検索できません。");
  EXPECT_EQ(Cp932ToUtf8(kOtherEncodingLinesMessage),
            "tolvaneken.txtの一部の行はほかの文字コードで書かれているようです。それらの行は検索で見つからないことがあります。");
  EXPECT_EQ(Cp932ToUtf8(kHistoryCharactersDroppedMessage),
            "history.txtの検索語から、Shift-JISで表せない文字を除きました。");
}

TEST(Texts, NowhereToShowTheWindowReadsAsIntended) {
  EXPECT_EQ(Cp932ToUtf8(kNoDisplayMessage),
            "ウィンドウを表示する画面がありません（DISPLAY も WAYLAND_DISPLAY も設定されていません）。"
            "デスクトップの中で起動してください。");
  EXPECT_EQ(Cp932ToUtf8(kNoXDisplayMessage),
            "X11 のディスプレイがありません（DISPLAY が設定されていません）。デスクトップの中で起動してください。");
  EXPECT_EQ(Cp932ToUtf8(kXDisplayGoneMessage), "X ディスプレイ %1 に接続できません。DISPLAY を確かめてください。");
  EXPECT_EQ(Cp932ToUtf8(kWaylandPluginMissingMessage),
            "Wayland で表示するための qt6-wayland がインストールされていません。sudo apt install "
            "qt6-wayland でインストールするか、XWayland で起動してください（QT_QPA_PLATFORM=xcb）。");
  EXPECT_EQ(Cp932ToUtf8(kWaylandDisplayGoneMessage),
            "Wayland ディスプレイ %1 に接続できません。WAYLAND_DISPLAY と XDG_RUNTIME_DIR を確かめてください。");
  EXPECT_EQ(Cp932ToUtf8(kXcbPluginMissingMessage),
            "X11 で表示するための Qt のプラグインがありません。sudo apt install qt6-qpa-plugins で"
            "インストールしてください。");
  EXPECT_EQ(Cp932ToUtf8(kPlatformPluginMissingMessage),
            "Qt の表示プラグイン %1 がありません。QT_QPA_PLATFORM または -platform の指定を確かめてください。");
  EXPECT_EQ(Cp932ToUtf8(kPlatformFailedMessage), "Qt が表示を始められません：%1");
}

}  // namespace
}  // namespace tolvane
