// Writes a synthetic Japanese bibliography in Shift-JIS with CR LF line ends: journal articles,
// books, chapters and a few English-language entries, one record per line. The same seed and size
// always give the same bytes, so tests and benchmarks can rely on the file.
//
//   make_sample --output tolvaneken.txt [--records N | --mib M] [--seed S]
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/cp932.h"

namespace {

constexpr std::uint64_t kDefaultSeed = 20071220;
constexpr std::uint64_t kDefaultRecords = 5000;
constexpr std::uint64_t kMaxRecords = std::uint64_t{1} << 32;
constexpr std::uint64_t kMaxMebibytes = 16384;
constexpr std::uint64_t kBytesPerMebibyte = std::uint64_t{1} << 20;
constexpr std::size_t kWriteBufferBytes = std::size_t{1} << 20;
constexpr int kFirstYear = 1950;
constexpr int kYearSpan = 58;  // up to 2007

// SplitMix64: a tiny generator whose output is fixed by its definition, unlike the standard
// library's distributions, so the file is the same on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // 0 .. n-1; the slight modulo bias does not matter for sample data.
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }
  bool Percent(unsigned p) { return Below(100) < p; }

 private:
  std::uint64_t state_;
};

// The vocabulary, in UTF-8; converted to Shift-JIS once at start.
constexpr std::string_view kSurnames[] = {
    "山田", "佐藤", "鈴木", "高橋", "髙橋", "田中", "伊藤", "渡辺", "中村", "小林",   "加藤",
    "吉田", "山本", "松本", "井上", "木村", "林",   "斎藤", "清水", "山崎", "山﨑",   "森",
    "池田", "橋本", "阿部", "石川", "前田", "藤田", "小川", "岡田", "後藤", "長谷川", "村上",
    "近藤", "石井", "坂本", "遠藤", "青木", "藤井", "西村", "福田", "太田", "三浦",   "岡本",
    "松田", "中川", "中野", "原田", "小野", "竹内", "金子", "和田", "中山", "石田",   "上田",
    "森田", "柴田", "酒井", "工藤", "横山", "宮崎", "宮本", "内田", "高木", "安藤",   "島田",
    "谷口", "大野", "丸山", "今井", "河野", "藤原",
};
constexpr std::string_view kGivenNames[] = {
    "太郎",   "花子",   "一郎",   "健",   "誠",     "博",   "隆",   "浩二", "修",   "明美",
    "由美子", "恵子",   "和夫",   "正雄", "清",     "茂",   "勝",   "弘",   "幸子", "洋子",
    "直樹",   "哲也",   "聡",     "優子", "真理子", "智子", "康弘", "雅之", "俊介", "達也",
    "裕子",   "久美子", "亮",     "大輔", "健一",   "淳",   "信夫", "義雄", "昭",   "進",
    "武",     "秀樹",   "美智子", "千代", "登",     "實",   "彌生", "邦彦",
};
constexpr std::string_view kEras[] = {
    "古代",     "中世",     "近世",     "近代",   "現代",     "明治期",
    "大正期",   "昭和初期", "戦時期",   "戦後",   "平安時代", "鎌倉時代",
    "室町時代", "戦国期",   "江戸時代", "幕末期", "奈良時代", "江戸後期",
};
constexpr std::string_view kRegions[] = {
    "日本", "京都",   "江戸",   "大坂",   "東北地方", "九州",     "琉球", "蝦夷地",
    "畿内", "関東",   "瀬戸内", "北陸",   "朝鮮",     "明清中国", "長崎", "奈良",
    "尾張", "加賀藩", "薩摩藩", "長州藩", "東アジア", "信濃",     "出羽", "土佐",
    "肥前", "越後",   "武蔵国", "山城国", "近江",     "紀伊",
};
constexpr std::string_view kTopics[] = {
    "村落共同体", "寺社勢力",     "貨幣流通", "藩政改革",   "和歌表現", "俳諧",     "儒学思想",
    "国学",       "蘭学",         "農書",     "商人資本",   "都市社会", "女性労働", "近代教育",
    "地方自治",   "明治憲法",     "方言分布", "敬語法",     "漢字音",   "仮名遣い", "能楽",
    "浮世絵",     "茶の湯",       "禅宗",     "浄土真宗",   "民間信仰", "祭礼",     "年中行事",
    "海運",       "城下町",       "宿場町",   "鉱山開発",   "林業",     "漁業",     "土地制度",
    "検地",       "年貢",         "百姓一揆", "寺子屋",     "藩校",     "出版文化", "貸本屋",
    "歌舞伎",     "人形浄瑠璃",   "軍記物語", "説話文学",   "漢詩文",   "日記文学", "女流文学",
    "写本",       "古文書",       "絵巻",     "仏教美術",   "庭園",     "家族制度", "婚姻慣行",
    "相続",       "身分制",       "被差別民", "町衆",       "座",       "荘園",     "守護大名",
    "外交文書",   "鎖国政策",     "開国",     "条約改正",   "産業革命", "製糸業",   "鉄道網",
    "新聞",       "自由民権運動", "労働運動", "植民地統治", "移民",     "国語政策", "言文一致",
    "翻訳語",
};
constexpr std::string_view kAspects[] = {
    "表現", "構造", "受容", "変容", "特質", "意義", "展開", "形成", "機能", "系譜",
    "思想", "論理", "実態", "成立", "再編", "役割", "位置", "性格", "諸相", "起源",
};
constexpr std::string_view kPersons[] = {
    "本居宣長", "荻生徂徠", "伊藤仁斎",     "新井白石", "福沢諭吉", "夏目漱石", "森鴎外",
    "松尾芭蕉", "井原西鶴", "近松門左衛門", "世阿弥",   "親鸞",     "道元",     "日蓮",
    "空海",     "柳田国男", "二宮尊徳",     "石田梅岩", "安藤昌益", "吉田松陰", "紫式部",
    "清少納言", "鴨長明",   "兼好",         "上田秋成", "滝沢馬琴", "平田篤胤", "貝原益軒",
    "杉田玄白", "中江兆民", "樋口一葉",     "正岡子規",
};
constexpr std::string_view kClassics[] = {
    "源氏物語",   "枕草子",         "平家物語", "古事記",     "日本書紀",
    "万葉集",     "古今和歌集",     "徒然草",   "方丈記",     "太平記",
    "今昔物語集", "奥の細道",       "伊勢物語", "土佐日記",   "新古今和歌集",
    "雨月物語",   "南総里見八犬伝", "風土記",   "日本霊異記", "吾妻鏡",
};
constexpr std::string_view kJournals[] = {
    "日本史研究",   "史学雑誌",     "歴史学研究", "国語国文",     "国語と国文学", "文学",
    "思想",         "社会学評論",   "経済学論集", "法学協会雑誌", "東洋史研究",   "日本文学",
    "国文学研究",   "言語研究",     "人文地理",   "地理学評論",   "教育学研究",   "美術史",
    "仏教史学研究", "考古学雑誌",   "民族学研究", "日本語の研究", "史林",         "東方学",
    "芸能史研究",   "地方史研究",   "日本歴史",   "古代文化",     "近世文芸",     "中世文学",
    "上代文学",     "社会経済史学", "交通史研究", "宗教研究",
};
constexpr std::string_view kPublishers[] = {
    "岩波書店", "吉川弘文館",         "東京大学出版会", "有斐閣", "名古屋大学出版会", "勁草書房",
    "塙書房",   "思文閣出版",         "法政大学出版局", "平凡社", "講談社",           "中央公論社",
    "創文社",   "京都大学学術出版会", "校倉書房",       "雄山閣", "笠間書院",         "和泉書院",
    "刀水書房", "山川出版社",         "清文堂出版",
};
constexpr std::string_view kEnglishSurnames[] = {
    "Smith", "Brown", "Hall", "Jansen", "Keene", "Bolitho", "Totman", "Berry", "Gluck", "Ooms",
};
constexpr std::string_view kEnglishTopics[] = {
    "Village Society", "Confucian Thought", "Urban Culture",  "Popular Religion", "Print Culture",
    "Domain Finance",  "Rural Protest",     "Kabuki Theater", "Maritime Trade",   "Language Reform",
};
constexpr std::string_view kEnglishJournals[] = {
    "Journal of Japanese Studies",
    "Monumenta Nipponica",
    "Harvard Journal of Asiatic Studies",
    "Journal of Asian Studies",
};

// The punctuation of the records, in UTF-8.
enum Mark : std::size_t {
  kNameSeparator,   // ・
  kYearOpen,        // （
  kYearClose,       // ）
  kTitleOpen,       // 「
  kTitleClose,      // 」
  kBookOpen,        // 『
  kBookClose,       // 』
  kComma,           // 、
  kVolumePrefix,    // 第
  kVolumeSuffix,    // 巻
  kNumberSuffix,    // 号
  kPagesSuffix,     // 頁
  kEdited,          // 編
  kFullWidthBlank,  // 　
  kSubtitleDash,    // ―
  kWaveDash,        // ～ (U+FF5E, the CP932 form)
  kIn,              // における
  kOf,              // の
  kStudy,           // の研究
  kAbout,           // について
  kReconsider,      // 再考
  kCaseOf,          // の事例から
  kOneStudy,        // に関する一考察
  kAnd,             // と
  kProblems,        // をめぐる諸問題
  kHistoricalDev,   // の史的展開
  kStateOfField,    // 研究の現状と課題
  kRiseAndDev,      // の成立と展開
  kCentred,         // を中心に
  kVariation,       // の変容
  kCollected,       // 論集
  kHistory,         // 史
  kMarkCount,
};
constexpr std::array<std::string_view, kMarkCount> kMarks = {
    "・",
    "（",
    "）",
    "「",
    "」",
    "『",
    "』",
    "、",
    "第",
    "巻",
    "号",
    "頁",
    "編",
    "　",
    "―",
    "～",
    "における",
    "の",
    "の研究",
    "について",
    "再考",
    "の事例から",
    "に関する一考察",
    "と",
    "をめぐる諸問題",
    "の史的展開",
    "研究の現状と課題",
    "の成立と展開",
    "を中心に",
    "の変容",
    "論集",
    "史",
};

struct Vocabulary {
  std::vector<std::string> surnames, given_names, eras, regions, topics, aspects, persons, classics,
      journals, publishers;
  std::array<std::string, kMarkCount> marks;
};

bool ConvertAll(std::span<const std::string_view> words, std::vector<std::string>& out) {
  for (std::string_view word : words) {
    tolvane::Cp932Encoding converted = tolvane::Utf8ToCp932(word);
    if (!converted.ok()) {
      std::fprintf(stderr, "make_sample: cannot convert \"%.*s\" to Shift-JIS\n",
                   static_cast<int>(word.size()), word.data());
      return false;
    }
    out.push_back(std::move(converted.sjis));
  }
  return true;
}

bool LoadVocabulary(Vocabulary& v) {
  std::vector<std::string> marks;
  const bool ok = ConvertAll(kSurnames, v.surnames) && ConvertAll(kGivenNames, v.given_names) &&
                  ConvertAll(kEras, v.eras) && ConvertAll(kRegions, v.regions) &&
                  ConvertAll(kTopics, v.topics) && ConvertAll(kAspects, v.aspects) &&
                  ConvertAll(kPersons, v.persons) && ConvertAll(kClassics, v.classics) &&
                  ConvertAll(kJournals, v.journals) && ConvertAll(kPublishers, v.publishers) &&
                  ConvertAll(kMarks, marks);
  if (!ok) return false;
  for (std::size_t i = 0; i < kMarkCount; ++i) v.marks[i] = std::move(marks[i]);
  return true;
}

class RecordWriter {
 public:
  RecordWriter(const Vocabulary& v, Random& random) : v_(v), random_(random) {}

  // Appends one record with its CR LF to `out`.
  void Append(std::string& out) {
    out_ = &out;
    const std::size_t kind = random_.Below(100);
    if (kind < 60) {
      Article();
    } else if (kind < 82) {
      Book();
    } else if (kind < 95) {
      Chapter();
    } else {
      EnglishArticle();
    }
    *out_ += "\r\n";
  }

 private:
  template <typename T>
  const T& Pick(const std::vector<T>& words) {
    return words[random_.Below(words.size())];
  }
  template <typename T, std::size_t N>
  std::string_view Pick(const T (&words)[N]) {
    return words[random_.Below(N)];
  }
  void Put(std::string_view text) { *out_ += text; }
  void Put(Mark mark) { *out_ += v_.marks[mark]; }
  void Number(long n) {
    char digits[24];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, n);
    if (ec == std::errc()) out_->append(digits, end);
  }

  void Person() {
    Put(Pick(v_.surnames));
    // Older catalogues put a full-width blank between family and given name.
    if (random_.Percent(5)) Put(kFullWidthBlank);
    Put(Pick(v_.given_names));
  }
  void Authors() {
    const std::size_t count = 1 + (random_.Percent(70) ? 0 : random_.Below(3));
    for (std::size_t i = 0; i < count; ++i) {
      if (i > 0) Put(kNameSeparator);
      Person();
    }
  }
  void Year() {
    Put(kYearOpen);
    Number(kFirstYear + static_cast<long>(random_.Below(kYearSpan)));
    Put(kYearClose);
  }
  void PageRange(long first_max, long length_max) {
    const long first = 1 + static_cast<long>(random_.Below(first_max));
    Number(first);
    Put("-");
    Number(first + 1 + static_cast<long>(random_.Below(length_max)));
  }
  void Pages(long first_max, long length_max) {
    PageRange(first_max, length_max);
    Put(kPagesSuffix);
  }

  void Title() {
    switch (random_.Below(12)) {
      case 0:
        Put(Pick(v_.eras));
        Put(Pick(v_.regions));
        Put(kIn);
        Put(Pick(v_.topics));
        Put(kStudy);
        break;
      case 1:
        Put(Pick(v_.topics));
        Put(kRiseAndDev);
        break;
      case 2:
        Put(Pick(v_.eras));
        Put(kOf);
        Put(Pick(v_.topics));
        Put(kAbout);
        break;
      case 3:
        Put(Pick(v_.topics));
        Put(kReconsider);
        Put(kSubtitleDash);
        Put(Pick(v_.regions));
        Put(kCaseOf);
        Put(kSubtitleDash);
        break;
      case 4:
        Put(Pick(v_.topics));
        Put(kAnd);
        Put(Pick(v_.topics));
        break;
      case 5:
        Put(Pick(v_.regions));
        Put(kOf);
        Put(Pick(v_.topics));
        Put(kOneStudy);
        break;
      case 6:
        Put(Pick(v_.persons));
        Put(kAnd);
        Put(Pick(v_.topics));
        break;
      case 7:
        Put(Pick(v_.topics));
        Put(kHistoricalDev);
        break;
      case 8:
        Put(Pick(v_.topics));
        Put(kStateOfField);
        break;
      case 9:
        Put(Pick(v_.eras));
        Put(Pick(v_.topics));
        Put(kOf);
        Put(Pick(v_.aspects));
        Put(kWaveDash);
        Put(Pick(v_.persons));
        Put(kCentred);
        Put(kWaveDash);
        break;
      case 10:
        Put(Pick(v_.topics));
        Put(kProblems);
        break;
      default:
        Put(kBookOpen);
        Put(Pick(v_.classics));
        Put(kBookClose);
        Put(kOf);
        Put(Pick(v_.aspects));
        break;
    }
  }
  void BookTitle() {
    switch (random_.Below(4)) {
      case 0:
        Put(Pick(v_.eras));
        Put(Pick(v_.topics));
        Put(kHistory);
        Put(kStudy);
        break;
      case 1:
        Put(Pick(v_.regions));
        Put(Pick(v_.topics));
        Put(kHistory);
        break;
      case 2:
        Put(Pick(v_.topics));
        Put(kCollected);
        break;
      default:
        Title();
        break;
    }
  }

  void Article() {
    Authors();
    Year();
    Put(kTitleOpen);
    Title();
    Put(kTitleClose);
    Put(kBookOpen);
    Put(Pick(v_.journals));
    Put(kBookClose);
    Put(kVolumePrefix);
    Number(1 + static_cast<long>(random_.Below(120)));
    Put(kVolumeSuffix);
    if (random_.Percent(60)) {
      Put(kVolumePrefix);
      Number(1 + static_cast<long>(random_.Below(12)));
      Put(kNumberSuffix);
    }
    Put(kComma);
    Pages(400, 40);
  }
  void Book() {
    Authors();
    if (random_.Percent(20)) Put(kEdited);
    Year();
    Put(kBookOpen);
    BookTitle();
    Put(kBookClose);
    Put(Pick(v_.publishers));
    Put(kComma);
    Number(120 + static_cast<long>(random_.Below(600)));
    Put(kPagesSuffix);
  }
  void Chapter() {
    Person();
    Year();
    Put(kTitleOpen);
    Title();
    Put(kTitleClose);
    Person();
    Put(kEdited);
    Put(kBookOpen);
    BookTitle();
    Put(kBookClose);
    Put(Pick(v_.publishers));
    Put(kComma);
    Pages(300, 30);
  }
  void EnglishArticle() {
    Put(Pick(kEnglishSurnames));
    Put(", ");
    Put(Pick(kEnglishSurnames));
    Put(" (");
    Number(kFirstYear + static_cast<long>(random_.Below(kYearSpan)));
    Put(") \"");
    Put(Pick(kEnglishTopics));
    Put(" in ");
    Put(random_.Percent(50) ? "Tokugawa Japan" : "Meiji Japan");
    Put("\" ");
    Put(Pick(kEnglishJournals));
    Put(", ");
    Number(1 + static_cast<long>(random_.Below(60)));
    Put(", pp. ");
    PageRange(500, 30);
  }

  const Vocabulary& v_;
  Random& random_;
  std::string* out_ = nullptr;
};

bool ParseCount(const char* text, std::uint64_t max, std::uint64_t& value) {
  const char* end = text + std::strlen(text);
  const auto [ptr, ec] = std::from_chars(text, end, value);
  return ec == std::errc() && ptr == end && value > 0 && value <= max;
}

int Usage() {
  std::fprintf(stderr,
               "usage: make_sample --output FILE [--records N | --mib M] [--seed S]\n"
               "  writes N records (default %llu) or at least M MiB of Shift-JIS bibliography\n",
               static_cast<unsigned long long>(kDefaultRecords));
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* output = nullptr;
  std::uint64_t records = kDefaultRecords;
  std::uint64_t target_bytes = 0;  // 0: count records instead
  std::uint64_t seed = kDefaultSeed;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (i + 1 >= argc) return Usage();
    const char* value = argv[++i];
    std::uint64_t number = 0;
    if (arg == "--output") {
      output = value;
    } else if (arg == "--records" && ParseCount(value, kMaxRecords, number)) {
      records = number;
      target_bytes = 0;
    } else if (arg == "--mib" && ParseCount(value, kMaxMebibytes, number)) {
      target_bytes = number * kBytesPerMebibyte;
    } else if (arg == "--seed" && ParseCount(value, UINT64_MAX, number)) {
      seed = number;
    } else {
      return Usage();
    }
  }
  if (output == nullptr) return Usage();

  Vocabulary vocabulary;
  if (!LoadVocabulary(vocabulary)) return 1;

  std::FILE* file = std::fopen(output, "wb");
  if (file == nullptr) {
    std::perror(output);
    return 1;
  }
  Random random(seed);
  RecordWriter writer(vocabulary, random);
  std::string buffer;
  buffer.reserve(kWriteBufferBytes + 1024);
  std::uint64_t written = 0;
  bool write_ok = true;
  for (std::uint64_t n = 0; write_ok; ++n) {
    if (target_bytes == 0 ? n >= records : written + buffer.size() >= target_bytes) break;
    writer.Append(buffer);
    if (buffer.size() >= kWriteBufferBytes) {
      write_ok = std::fwrite(buffer.data(), 1, buffer.size(), file) == buffer.size();
      written += buffer.size();
      buffer.clear();
    }
  }
  if (write_ok && !buffer.empty()) {
    write_ok = std::fwrite(buffer.data(), 1, buffer.size(), file) == buffer.size();
  }
  if (std::fclose(file) != 0) write_ok = false;
  if (!write_ok) {
    std::fprintf(stderr, "make_sample: writing %s failed\n", output);
    return 1;
  }
  return 0;
}
