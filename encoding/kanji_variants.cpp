#include "encoding/kanji_variants.h"

#include <algorithm>
#include <fstream>
#include <string>

#include "encoding/code_points.h"
#include "encoding/iconv_converter.h"

namespace tolvane {
namespace {

// The dictionary is a few kilobytes; what lies beyond this is not read.
constexpr std::size_t kKanjiVariantsDictionaryBytes = 1 << 20;

// Our own pairs, old (or variant) form first, in UTF-8: the old forms of the jōyō kanji and the
// variants of names that catalogues fold, whether or not the dictionary has them.
constexpr std::string_view kOwnPairs =
    "亞亜 惡悪 壓圧 圍囲 醫医 爲為 壹壱 隱隠 榮栄 營営 衞衛 驛駅 圓円 鹽塩 緣縁 艷艶 應応 歐欧 "
    "毆殴 櫻桜 奧奥 溫温 價価 假仮 "
    "畫画 會会 囘回 壞壊 懷懐 繪絵 槪概 擴拡 殼殻 覺覚 學学 嶽岳 樂楽 渴渇 勸勧 卷巻 寬寛 歡歓 "
    "罐缶 觀観 閒間 關関 陷陥 巖巌 "
    "顏顔 歸帰 氣気 龜亀 僞偽 戲戯 犧犠 舊旧 據拠 擧挙 舉挙 虛虚 峽峡 挾挟 敎教 狹狭 鄕郷 曉暁 "
    "區区 驅駆 勳勲 薰薫 徑径 莖茎 "
    "惠恵 揭掲 溪渓 經経 螢蛍 輕軽 繼継 鷄鶏 藝芸 擊撃 缺欠 儉倹 劍剣 圈圏 檢検 權権 獻献 硏研 "
    "縣県 險険 顯顕 驗験 嚴厳 廣広 "
    "效効 恆恒 黃黄 鑛鉱 號号 國国 黑黒 碎砕 濟済 齋斎 劑剤 册冊 參参 慘惨 棧桟 蠶蚕 贊賛 讚賛 "
    "殘残 絲糸 齒歯 兒児 辭辞 濕湿 "
    "實実 寫写 釋釈 壽寿 收収 從従 澁渋 獸獣 縱縦 肅粛 處処 敍叙 敘叙 奬奨 將将 燒焼 稱称 證証 "
    "乘乗 剩剰 壤壌 孃嬢 條条 淨浄 "
    "疊畳 讓譲 釀醸 觸触 囑嘱 寢寝 愼慎 眞真 盡尽 圖図 粹粋 醉酔 穗穂 隨随 髓髄 數数 樞枢 聲声 "
    "靜静 齊斉 攝摂 竊窃 專専 戰戦 "
    "淺浅 潛潜 纖繊 踐践 錢銭 禪禅 雙双 壯壮 搜捜 插挿 爭争 總総 聰聡 莊荘 裝装 騷騒 增増 臟臓 "
    "藏蔵 屬属 續続 墮堕 體体 對対 "
    "帶帯 滯滞 臺台 瀧滝 擇択 澤沢 單単 擔担 膽胆 團団 彈弾 斷断 癡痴 遲遅 晝昼 蟲虫 鑄鋳 廳庁 "
    "聽聴 鎭鎮 遞逓 鐵鉄 轉転 點点 "
    "傳伝 黨党 盜盗 燈灯 當当 鬪闘 德徳 獨独 讀読 屆届 繩縄 貳弐 惱悩 腦脳 霸覇 廢廃 拜拝 賣売 "
    "麥麦 發発 髮髪 拔抜 蠻蛮 祕秘 "
    "濱浜 甁瓶 拂払 佛仏 倂併 竝並 變変 邊辺 邉辺 辨弁 瓣弁 辯弁 舖舗 步歩 寶宝 豐豊 沒没 萬万 "
    "滿満 默黙 彌弥 譯訳 藥薬 與与 "
    "豫予 餘余 譽誉 搖揺 樣様 謠謡 來来 賴頼 亂乱 覽覧 龍竜 兩両 獵猟 綠緑 壘塁 淚涙 勵励 禮礼 "
    "隸隷 靈霊 齡齢 戀恋 爐炉 勞労 "
    "樓楼 郞郎 錄録 灣湾 髙高 﨑崎 嵜崎 濵浜 鷗鴎 穐秋 龝秋 冩写 姬姫 瘦痩 卽即 旣既 晚晩 歷歴 "
    "曆暦 弉奘 嶋島 嶌島 舘館 冨富 "
    "峯峰 曾曽 渕淵 檜桧 槇槙 遙遥 凜凛 熙煕 熈煕 邨村 ";

// The dictionary's pairs a search must not take for one: numerals that are a different character
// in a title (壱 is not 一), and pairs that are not variants at all (濾 filters, 滬 is Shanghai;
// 擧 and 舉 are the old forms of 挙, not of 拳; 歐 of 欧, not of 嘔; 皃 of 貌).
constexpr std::string_view kDroppedPairs =
    "壱一 弌一 弍二 壹一 濾滬 纜繿 做作 誡戒 擧拳 舉拳 歐嘔 皃猊";

// The characters of a UTF-8 list of two-character words separated by blanks, two by two.
std::vector<std::pair<char32_t, char32_t>> PairsOf(std::string_view list) {
  std::vector<std::pair<char32_t, char32_t>> pairs;
  std::vector<char32_t> word;
  const CodePointTable& utf8 = CodePointTable::Get(TextEncoding::kUtf8);
  for (std::size_t at = 0; at <= list.size();) {
    if (at == list.size() || list[at] == ' ') {
      if (word.size() == 2) pairs.emplace_back(word[0], word[1]);
      word.clear();
      ++at;
      continue;
    }
    std::size_t end = at;
    word.push_back(utf8.Decode(list, at, end));
    at = end;
  }
  return pairs;
}

// Groups joined pair by pair; each stands for the smallest code point among its characters, so
// that the representative does not depend on the order of the pairs.
class Groups {
 public:
  char32_t Root(char32_t c) {
    auto found = parent_.find(c);
    if (found == parent_.end()) return parent_[c] = c;
    if (found->second == c) return c;
    return found->second = Root(found->second);
  }
  void Join(char32_t a, char32_t b) {
    const char32_t ra = Root(a);
    const char32_t rb = Root(b);
    if (ra != rb) parent_[std::max(ra, rb)] = std::min(ra, rb);
  }
  std::unordered_map<char32_t, char32_t> Representatives() {
    std::unordered_map<char32_t, char32_t> out;
    for (const auto& [c, parent] : parent_) out.emplace(c, Root(c));
    return out;
  }

 private:
  std::unordered_map<char32_t, char32_t> parent_;
};

}  // namespace

KanjiVariants KanjiVariants::From(std::string_view dictionary) {
  const std::vector<std::pair<char32_t, char32_t>> dropped = PairsOf(kDroppedPairs);
  Groups groups;
  for (const auto& [variant, standard] : PairsOf(kOwnPairs)) groups.Join(variant, standard);

  KanjiVariants variants;
  // A line at a time through iconv: a line that does not convert whole is passed over.
  IconvConverter euc("UTF-8", "EUC-JP");
  const CodePointTable& utf8 = CodePointTable::Get(TextEncoding::kUtf8);
  for (std::size_t line = 0; line < dictionary.size() && euc.ok();) {
    std::size_t end = dictionary.find('\n', line);
    if (end == std::string_view::npos) end = dictionary.size();
    std::string_view text = dictionary.substr(line, end - line);
    line = end + 1;
    std::string converted;
    if (euc.Convert(text, converted) != 0 || !text.empty()) continue;
    std::vector<char32_t> characters;
    for (std::size_t at = 0; at < converted.size() && characters.size() <= 2;) {
      std::size_t next = at;
      characters.push_back(utf8.Decode(converted, at, next));
      at = next;
    }
    if (characters.size() != 2 || characters[0] == characters[1] ||
        std::count(characters.begin(), characters.end(), kReplacementCodePoint) != 0) {
      continue;
    }
    const std::pair<char32_t, char32_t> pair{characters[0], characters[1]};
    if (std::find(dropped.begin(), dropped.end(), pair) != dropped.end()) continue;
    groups.Join(pair.first, pair.second);
    variants.has_dictionary_ = true;
  }
  for (const auto& [c, root] : groups.Representatives()) {
    variants.representative_.emplace(c, root);
  }
  return variants;
}

const KanjiVariants& KanjiVariants::Installed() {
  // Built once, at the first loose search, and kept for the process.
  static const KanjiVariants* const installed = [] {
    std::ifstream file(kKanjiVariantsDictionary, std::ios::binary);
    std::string text(kKanjiVariantsDictionaryBytes, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    return new KanjiVariants(From(text));
  }();
  return *installed;
}

}  // namespace tolvane
