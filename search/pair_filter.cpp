#include "search/pair_filter.h"

// The vector loops exist only where the compiler targets x86-64; elsewhere, and in a build asked
// for the portable scan, the plain loops of Find and MayOccurIn do all the work.
#if defined(__x86_64__) && !defined(TOLVANE_SCALAR_ONLY)
#define TOLVANE_PAIR_VECTORS 1
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <utility>

#include "encoding/sjis.h"

namespace tolvane {

namespace {

constexpr char kStopByte = kEndOfFileByte;

// What confirms a hit where the two compared bytes agree. For a term of one spelling a term of one
// or two bytes has then matched already; a term with twins may differ from the typed one only at
// its twin characters, which the compared bytes never are.
struct ExactTerm {
  std::string_view term;
  bool operator()(const char* p) const {
    return term.size() <= 2 || std::memcmp(p, term.data(), term.size()) == 0;
  }
};
struct AnySpelling {
  std::string_view term;
  const TermTwins* twins;
  bool operator()(const char* p) const { return twins->SpellingAt(p, term); }
};

// True when one of the `count` spellings starts at `at` in `text`.
bool SpellingStartsAt(std::string_view text, std::size_t at, const FilterSpelling* spellings,
                      std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    const std::string& bytes = spellings[k].bytes;
    if (at + bytes.size() <= text.size() &&
        std::memcmp(text.data() + at, bytes.data(), bytes.size()) == 0) {
      return true;
    }
  }
  return false;
}

#ifdef TOLVANE_PAIR_VECTORS

// Where a Ctrl+Z stands at `stop`: the first occurrence of the term before it, else the Ctrl+Z.
// Runs once per file at most, so it may be plain.
template <class Confirm>
std::size_t FirstBefore(const char* text, std::size_t q, std::size_t stop, std::string_view term,
                        std::size_t i, std::size_t j, Confirm confirm) {
  for (; q + term.size() <= stop; ++q) {
    if (text[q + i] == term[i] && text[q + j] == term[j] && confirm(text + q)) return q;
  }
  return stop;
}

// The AVX2 loop where the processor has it; the SSE2 loop everywhere else.
bool use_avx2 = __builtin_cpu_supports("avx2");

// Where the pair agrees over the 16 positions from p.
inline __m128i PairSse2(const char* p, std::size_t i, std::size_t j, __m128i first,
                        __m128i second) {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j));
  return _mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, second));
}

// Where the pair agrees, and in `stops` where a Ctrl+Z stands, over the 32 positions from p.
__attribute__((target("avx2"), always_inline)) inline __m256i PairAvx2(const char* p, std::size_t i,
                                                                       std::size_t j, __m256i first,
                                                                       __m256i second, __m256i stop,
                                                                       __m256i& stops) {
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + j));
  stops = _mm256_cmpeq_epi8(a, stop);
  return _mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, second));
}

// The byte masks of two vectors, the first in the low half.
__attribute__((target("avx2"), always_inline)) inline std::uint64_t Mask64(__m256i low,
                                                                           __m256i high) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(low)) |
         std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))} << 32;
}

// Both vector loops look at positions from..last (where the term may start), 128 (AVX2) or 32
// (SSE2) a round, and return the first that holds the term or a Ctrl+Z, or where they stopped.
// Ctrl+Z is looked for in the bytes loaded for the first compared offset, so each byte is loaded
// twice, not three times; the i bytes before the first of those are looked at on entry.
template <class Confirm>
__attribute__((target("avx2"))) std::size_t FindAvx2(const char* text, std::size_t from,
                                                     std::size_t last, std::string_view term,
                                                     std::size_t i, std::size_t j,
                                                     Confirm confirm) {
  if (const void* z = std::memchr(text + from, kStopByte, i)) {
    return FirstBefore(text, from, static_cast<const char*>(z) - text, term, i, j, confirm);
  }
  const __m256i first = _mm256_set1_epi8(term[i]);
  const __m256i second = _mm256_set1_epi8(term[j]);
  const __m256i stop = _mm256_set1_epi8(kStopByte);
  std::size_t q = from;
  for (; q + 127 <= last; q += 128) {
    __m256i stop0, stop1, stop2, stop3;
    const __m256i pair0 = PairAvx2(text + q, i, j, first, second, stop, stop0);
    const __m256i pair1 = PairAvx2(text + q + 32, i, j, first, second, stop, stop1);
    const __m256i pair2 = PairAvx2(text + q + 64, i, j, first, second, stop, stop2);
    const __m256i pair3 = PairAvx2(text + q + 96, i, j, first, second, stop, stop3);
    const __m256i any = _mm256_or_si256(
        _mm256_or_si256(_mm256_or_si256(pair0, pair1), _mm256_or_si256(pair2, pair3)),
        _mm256_or_si256(_mm256_or_si256(stop0, stop1), _mm256_or_si256(stop2, stop3)));
    if (_mm256_testz_si256(any, any)) continue;
    const std::uint64_t stops = Mask64(stop0, stop1);
    const std::uint64_t later_stops = Mask64(stop2, stop3);
    if (stops) return FirstBefore(text, q, q + i + __builtin_ctzll(stops), term, i, j, confirm);
    for (std::uint64_t m = Mask64(pair0, pair1); m; m &= m - 1) {
      if (confirm(text + q + __builtin_ctzll(m))) return q + __builtin_ctzll(m);
    }
    if (later_stops) {
      return FirstBefore(text, q + 64, q + 64 + i + __builtin_ctzll(later_stops), term, i, j,
                         confirm);
    }
    for (std::uint64_t m = Mask64(pair2, pair3); m; m &= m - 1) {
      if (confirm(text + q + 64 + __builtin_ctzll(m))) return q + 64 + __builtin_ctzll(m);
    }
  }
  return q;
}

template <class Confirm>
std::size_t FindSse2(const char* text, std::size_t from, std::size_t last, std::string_view term,
                     std::size_t i, std::size_t j, Confirm confirm) {
  if (const void* z = std::memchr(text + from, kStopByte, i)) {
    return FirstBefore(text, from, static_cast<const char*>(z) - text, term, i, j, confirm);
  }
  const __m128i first = _mm_set1_epi8(term[i]);
  const __m128i second = _mm_set1_epi8(term[j]);
  const __m128i stop = _mm_set1_epi8(kStopByte);
  std::size_t q = from;
  for (; q + 31 <= last; q += 32) {
    const __m128i pair0 = PairSse2(text + q, i, j, first, second);
    const __m128i pair1 = PairSse2(text + q + 16, i, j, first, second);
    const __m128i stop0 =
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + q + i)), stop);
    const __m128i stop1 =
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + q + 16 + i)), stop);
    const __m128i any = _mm_or_si128(_mm_or_si128(pair0, pair1), _mm_or_si128(stop0, stop1));
    if (_mm_movemask_epi8(any) == 0) continue;
    const auto stops = static_cast<std::uint32_t>(_mm_movemask_epi8(stop0)) |
                       static_cast<std::uint32_t>(_mm_movemask_epi8(stop1)) << 16;
    if (stops) return FirstBefore(text, q, q + i + __builtin_ctz(stops), term, i, j, confirm);
    auto pairs = static_cast<std::uint32_t>(_mm_movemask_epi8(pair0)) |
                 static_cast<std::uint32_t>(_mm_movemask_epi8(pair1)) << 16;
    for (; pairs; pairs &= pairs - 1) {
      const std::size_t at = q + __builtin_ctz(pairs);
      if (confirm(text + at)) return at;
    }
  }
  return q;
}

// The loops for a character of several spellings: each spelling's pair compared and the results
// ORed, Ctrl+Z looked for in bytes of their own. They look at positions from..last, where every
// spelling fits, and return the first where a spelling starts or a Ctrl+Z stands, or where they
// stopped.
// The spellings' pairs ORed over the 32 positions from q, and where a Ctrl+Z stands among them.
struct AnyPairs {
  // Plain arrays: std::array of a vector type would drop its alignment attribute.
  __m256i firsts[kMaxFilterSpellings];
  __m256i seconds[kMaxFilterSpellings];
  std::array<std::size_t, kMaxFilterSpellings> first_offsets;
  std::array<std::size_t, kMaxFilterSpellings> second_offsets;
  std::size_t count;
  bool shared;  // every spelling compares the same two offsets, so they are loaded once
};

__attribute__((target("avx2"), always_inline)) inline __m256i AnyPairAvx2(const char* p,
                                                                          const AnyPairs& pairs) {
  const __m256i stop = _mm256_set1_epi8(kStopByte);
  if (pairs.shared) {
    // Spellings of one character start at their first byte: the bytes loaded for it are the
    // bytes looked at for a Ctrl+Z too.
    const __m256i a =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + pairs.first_offsets[0]));
    const __m256i b =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + pairs.second_offsets[0]));
    __m256i any =
        pairs.first_offsets[0] == 0
            ? _mm256_cmpeq_epi8(a, stop)
            : _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), stop);
    for (std::size_t k = 0; k < pairs.count; ++k) {
      any = _mm256_or_si256(any, _mm256_and_si256(_mm256_cmpeq_epi8(a, pairs.firsts[k]),
                                                  _mm256_cmpeq_epi8(b, pairs.seconds[k])));
    }
    return any;
  }
  __m256i any = _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), stop);
  for (std::size_t k = 0; k < pairs.count; ++k) {
    const __m256i a =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + pairs.first_offsets[k]));
    const __m256i b =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + pairs.second_offsets[k]));
    any = _mm256_or_si256(any, _mm256_and_si256(_mm256_cmpeq_epi8(a, pairs.firsts[k]),
                                                _mm256_cmpeq_epi8(b, pairs.seconds[k])));
  }
  return any;
}

// `confirm(at)` is asked at each position where a spelling's pair agrees, and ends the search with
// true.
template <class Confirm>
__attribute__((target("avx2"))) std::size_t FindAnyAvx2(std::string_view text, std::size_t from,
                                                        std::size_t last,
                                                        const FilterSpelling* spellings,
                                                        std::size_t count, Confirm confirm) {
  AnyPairs pairs;  // only the first `count` of each array are set
  pairs.count = count;
  pairs.shared = true;
  for (std::size_t k = 0; k < count; ++k) {
    pairs.firsts[k] = _mm256_set1_epi8(spellings[k].bytes[spellings[k].first]);
    pairs.seconds[k] = _mm256_set1_epi8(spellings[k].bytes[spellings[k].second]);
    pairs.first_offsets[k] = spellings[k].first;
    pairs.second_offsets[k] = spellings[k].second;
    pairs.shared = pairs.shared && spellings[k].first == spellings[0].first &&
                   spellings[k].second == spellings[0].second;
  }
  const char* p = text.data();
  // True when a spelling or a Ctrl+Z stands at one of the candidate positions of `mask`, from q.
  const auto first_real = [&](std::size_t q, std::uint32_t mask, std::size_t& at) {
    for (; mask; mask &= mask - 1) {
      at = q + __builtin_ctz(mask);
      if (p[at] == kStopByte || confirm(at)) return true;
    }
    return false;
  };
  std::size_t q = from;
  for (; q + 127 <= last; q += 128) {
    const __m256i any0 = AnyPairAvx2(p + q, pairs);
    const __m256i any1 = AnyPairAvx2(p + q + 32, pairs);
    const __m256i any2 = AnyPairAvx2(p + q + 64, pairs);
    const __m256i any3 = AnyPairAvx2(p + q + 96, pairs);
    const __m256i all = _mm256_or_si256(_mm256_or_si256(any0, any1), _mm256_or_si256(any2, any3));
    if (_mm256_testz_si256(all, all)) continue;
    std::size_t at = 0;
    if (first_real(q, static_cast<std::uint32_t>(_mm256_movemask_epi8(any0)), at) ||
        first_real(q + 32, static_cast<std::uint32_t>(_mm256_movemask_epi8(any1)), at) ||
        first_real(q + 64, static_cast<std::uint32_t>(_mm256_movemask_epi8(any2)), at) ||
        first_real(q + 96, static_cast<std::uint32_t>(_mm256_movemask_epi8(any3)), at)) {
      return at;
    }
  }
  for (; q + 31 <= last; q += 32) {
    std::size_t at = 0;
    if (first_real(q, static_cast<std::uint32_t>(_mm256_movemask_epi8(AnyPairAvx2(p + q, pairs))),
                   at)) {
      return at;
    }
  }
  return q;
}

template <class Confirm>
std::size_t FindAnySse2(std::string_view text, std::size_t from, std::size_t last,
                        const FilterSpelling* spellings, std::size_t count, Confirm confirm) {
  __m128i firsts[kMaxFilterSpellings];
  __m128i seconds[kMaxFilterSpellings];
  for (std::size_t k = 0; k < count; ++k) {
    firsts[k] = _mm_set1_epi8(spellings[k].bytes[spellings[k].first]);
    seconds[k] = _mm_set1_epi8(spellings[k].bytes[spellings[k].second]);
  }
  const __m128i stop = _mm_set1_epi8(kStopByte);
  const char* p = text.data();
  std::size_t q = from;
  for (; q + 15 <= last; q += 16) {
    const __m128i stops =
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + q)), stop);
    __m128i any = _mm_setzero_si128();
    for (std::size_t k = 0; k < count; ++k) {
      any = _mm_or_si128(
          any, PairSse2(p + q, spellings[k].first, spellings[k].second, firsts[k], seconds[k]));
    }
    auto hits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_or_si128(any, stops)));
    for (; hits; hits &= hits - 1) {
      const std::size_t at = q + __builtin_ctz(hits);
      if (p[at] == kStopByte || confirm(at)) return at;
    }
  }
  return q;
}

#endif  // TOLVANE_PAIR_VECTORS

}  // namespace

#ifdef TOLVANE_PAIR_VECTORS
void AllowAvx2(bool allowed) { use_avx2 = allowed && __builtin_cpu_supports("avx2"); }
#else
void AllowAvx2(bool) {}
#endif

ByteCounts CountBytes(std::string_view sample) {
  // Four tables side by side avoid the store-to-load stalls of runs of one byte value.
  std::array<ByteCounts, 4> partial{};
  std::size_t k = 0;
  for (; k + 4 <= sample.size(); k += 4) {
    for (std::size_t t = 0; t < 4; ++t) ++partial[t][static_cast<unsigned char>(sample[k + t])];
  }
  for (; k < sample.size(); ++k) ++partial[0][static_cast<unsigned char>(sample[k])];
  ByteCounts counts{};
  for (std::size_t b = 0; b < 256; ++b) {
    counts[b] = partial[0][b] + partial[1][b] + partial[2][b] + partial[3][b];
  }
  return counts;
}

PairFilter::PairFilter(std::string_view term, const ByteCounts& counts, const TermTwins* twins)
    : twins_(twins && !twins->empty() ? twins : nullptr) {
  std::uint64_t total = 0;
  for (std::uint64_t c : counts) total += c;
  // Add one to every count, so that bytes the sample lacks still rank by what was seen.
  const auto frequency = [&](std::size_t at) {
    return (counts[static_cast<unsigned char>(term[at])] + 1.0) / (total + 256.0);
  };
  // The rarest pair is the rarest byte with the next rarest: one pass, however long the term. Of a
  // term with twins only the bytes the same in every spelling can be compared.
  FilterSpelling spelling{std::string(term), 0, 0};
  bool have_first = false;
  bool have_second = false;
  for (std::size_t at = 0; at < term.size(); ++at) {
    if (twins_ && !twins_->IsFixed(at)) continue;
    if (!have_first) {
      spelling.first = at;
      have_first = true;
    } else if (frequency(at) < frequency(spelling.first)) {
      spelling.second = spelling.first;
      spelling.first = at;
      have_second = true;
    } else if (!have_second || frequency(at) < frequency(spelling.second)) {
      spelling.second = at;
      have_second = true;
    }
  }
  // One byte to compare: both compared bytes are that byte.
  if (!have_second) spelling.second = spelling.first;
  if (spelling.second < spelling.first) std::swap(spelling.first, spelling.second);
  spellings_.push_back(std::move(spelling));
}

PairFilter::PairFilter(std::vector<std::string> spellings) {
  for (std::string& bytes : spellings) {
    const std::size_t last = bytes.size() - 1;
    spellings_.push_back({std::move(bytes), 0, last});
  }
}

std::size_t PairFilter::Find(std::string_view text, std::size_t from) const {
  // Chosen once a call, not once a hit: a term of one spelling runs the loops it always ran.
  if (spellings_.size() > 1) {
    // Spellings of one or two bytes match where their pair agrees.
    bool pair_confirms = true;
    for (const FilterSpelling& spelling : spellings_)
      pair_confirms = pair_confirms && spelling.bytes.size() <= 2;
    return FindAny(text, from, [&](std::size_t at) {
      return pair_confirms || SpellingStartsAt(text, at, spellings_.data(), spellings_.size());
    });
  }
  const std::string_view term = spellings_.front().bytes;
  return twins_ ? FindWith(text, from, AnySpelling{term, twins_})
                : FindWith(text, from, ExactTerm{term});
}

template <class Confirm>
std::size_t PairFilter::FindWith(std::string_view text, std::size_t from, Confirm confirm) const {
  if (from >= text.size()) return std::string_view::npos;
  const FilterSpelling& spelling = spellings_.front();
  const std::string_view term = spelling.bytes;
  const std::size_t i = spelling.first;
  const std::size_t j = spelling.second;
  std::size_t q = from;
  if (term.size() <= text.size()) {
    const std::size_t last = text.size() - term.size();  // last position the term can start at
    // The vector loops stop at a hit or where fewer than a vector's width of positions remain; the
    // loop below confirms the hit or examines the rest.
#ifdef TOLVANE_PAIR_VECTORS
    if (q <= last) {
      q = use_avx2 ? FindAvx2(text.data(), q, last, term, i, j, confirm)
                   : FindSse2(text.data(), q, last, term, i, j, confirm);
    }
#endif
    for (; q <= last; ++q) {
      if (text[q] == kStopByte) return q;
      if (text[q + i] == term[i] && text[q + j] == term[j] && confirm(text.data() + q)) return q;
    }
  }
  // Too near the end for the term; only a Ctrl+Z can stand here.
  const void* stop = std::memchr(text.data() + q, kStopByte, text.size() - q);
  return stop ? static_cast<std::size_t>(static_cast<const char*>(stop) - text.data())
              : std::string_view::npos;
}

template <class Confirm>
std::size_t PairFilter::FindAny(std::string_view text, std::size_t from, Confirm confirm) const {
  if (from >= text.size()) return std::string_view::npos;
  std::size_t longest = 0;
  for (const FilterSpelling& spelling : spellings_)
    longest = std::max(longest, spelling.bytes.size());
  std::size_t q = from;
#ifdef TOLVANE_PAIR_VECTORS
  // The vector loops look only where every spelling fits; the plain loop below does the rest.
  if (longest <= text.size() && q + longest <= text.size()) {
    const std::size_t last = text.size() - longest;
    q = use_avx2 ? FindAnyAvx2(text, q, last, spellings_.data(), spellings_.size(), confirm)
                 : FindAnySse2(text, q, last, spellings_.data(), spellings_.size(), confirm);
  }
#endif
  for (; q < text.size(); ++q) {
    if (text[q] == kStopByte) return q;
    if (PairAgreesAt(text, q) && confirm(q)) return q;
  }
  return std::string_view::npos;
}

bool PairFilter::PairAgreesAt(std::string_view text, std::size_t at) const {
  for (const FilterSpelling& spelling : spellings_) {
    if (at + spelling.bytes.size() <= text.size() &&
        text[at + spelling.first] == spelling.bytes[spelling.first] &&
        text[at + spelling.second] == spelling.bytes[spelling.second]) {
      return true;
    }
  }
  return false;
}

bool PairFilter::MayOccurIn(std::string_view text) const {
  for (const FilterSpelling& spelling : spellings_) {
    const std::string_view term = spelling.bytes;
    if (term.size() > text.size()) continue;
    const std::size_t last = text.size() - term.size();
    const std::size_t i = spelling.first;
    const std::size_t j = spelling.second;
    const char* p = text.data();
    std::size_t q = 0;
#ifdef TOLVANE_PAIR_VECTORS
    const __m128i first = _mm_set1_epi8(term[i]);
    const __m128i second = _mm_set1_epi8(term[j]);
    const auto pair_at = [&](std::size_t at) {
      return _mm_movemask_epi8(PairSse2(p + at, i, j, first, second));
    };
    if (last >= 15) {
      for (; q + 15 <= last; q += 16) {
        if (pair_at(q)) return true;
      }
      // The last 16 positions once more, overlapping, rather than one at a time.
      if (pair_at(last - 15)) return true;
      continue;
    }
#endif
    for (; q <= last; ++q) {
      if (p[q + i] == term[i] && p[q + j] == term[j]) return true;
    }
  }
  return false;
}

PairFilter::Candidates PairFilter::CountCandidates(std::string_view sample) const {
  Candidates candidates;
  // A confirmation that counts and never accepts, so that the loops go through the whole sample
  // and stop only at a Ctrl+Z, which is stepped over.
  const auto count = [&](bool real) {
    ++candidates.compared;
    if (real) ++candidates.confirmed;
    return false;
  };
  for (std::size_t from = 0; from < sample.size();) {
    std::size_t stop;
    if (spellings_.size() > 1) {
      stop = FindAny(sample, from, [&](std::size_t at) {
        return count(SpellingStartsAt(sample, at, spellings_.data(), spellings_.size()));
      });
    } else if (twins_) {
      const AnySpelling any{spellings_.front().bytes, twins_};
      stop = FindWith(sample, from, [&](const char* p) { return count(any(p)); });
    } else {
      const ExactTerm exact{spellings_.front().bytes};
      stop = FindWith(sample, from, [&](const char* p) { return count(exact(p)); });
    }
    if (stop == std::string_view::npos) break;
    from = stop + 1;
  }
  return candidates;
}

}  // namespace tolvane
