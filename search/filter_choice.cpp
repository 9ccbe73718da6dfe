#include "search/filter_choice.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace tolvane {
namespace {

// Costs in units of a candidate that the confirmation turns away (a compare of a few bytes), as
// measured on a bibliography. A confirmed candidate costs a record cut out and checked where the
// term should stand; one whose term's start the filter cannot know, the record searched through,
// a character decoded and folded at a time.
constexpr double kConfirmedCandidateCost = 8.0;
constexpr double kSearchedCandidateCost = 50.0;
// Comparing one more spelling's pair at a position: the vector loops compare 32 positions in a few
// instructions.
constexpr double kSpellingCompareCost = 1.0 / 160;
// Above every estimate, which is a sum of a few products of frequencies below 1.
constexpr double kUnfilterable = 1e9;
// Where in a term the filtered character stands when it cannot be known.
constexpr std::size_t kUnknownOffset = static_cast<std::size_t>(-1);

struct Option {
  const std::string* term;
  PairFilter filter;
  bool whole;          // the filter finds the term itself, not one character of it
  std::size_t offset;  // else where that character stands in the term
  double estimate;     // from the byte counts: the chance of a candidate at a position
  double confirmed_cost = kConfirmedCandidateCost;
};

double Frequency(const ByteCounts& counts, double total, char byte) {
  // Add one to every count, so that bytes the sample lacks still rank by what was seen.
  return (counts[static_cast<unsigned char>(byte)] + 1.0) / (total + 256.0);
}

// What looking for `spellings` costs at a position of text like the sample: the chance that one's
// compared bytes agree there (a spelling of one byte compares it twice), weighed by what a
// confirmed candidate costs, and a share for the compares themselves, which grow with the
// spellings.
double EstimateFor(const std::vector<std::string>& spellings, const ByteCounts& counts,
                   double total, double confirmed_cost = kConfirmedCandidateCost) {
  double estimate = 0;
  for (const std::string& spelling : spellings) {
    if (HasSpecialByte(spelling)) return kUnfilterable;
    estimate += spelling.size() == 1 ? Frequency(counts, total, spelling.front())
                                     : Frequency(counts, total, spelling.front()) *
                                           Frequency(counts, total, spelling.back());
  }
  return estimate * (confirmed_cost / kConfirmedCandidateCost) +
         kSpellingCompareCost * static_cast<double>(spellings.size());
}

// Of a term matched a character at a time, the runs of its characters whose spellings a filter can
// OR: one character of rare spellings, or a run of common ones (1998, whose digits each have two)
// whose spellings together are rarer. From each character, the longest run of each number of
// spellings: a longer run of as many spellings lets fewer places through for the same compares.
// Each run is built from the one before it and one character more, never again from its start.
void AddOptionsForFolded(const std::string& term, const FoldedTerm& folded,
                         const ByteCounts& counts, double total, std::vector<Option>& options) {
  for (std::size_t first = 0; first < folded.CharacterCount(); ++first) {
    // A character the record may lack is looked for nowhere, and a run stops where the record may
    // hold something between two characters.
    if (folded.MayBeMissing(first)) continue;
    std::vector<std::string> longer = folded.SpellingsOf(first, 1, kMaxFilterSpellings);
    for (std::size_t count = 1; !longer.empty(); ++count) {
      std::vector<std::string> spellings = std::move(longer);
      longer = first + count < folded.CharacterCount() && folded.JoinsPrevious(first + count)
                   ? folded.FollowedBySpellingsOf(spellings, first + count, kMaxFilterSpellings)
                   : std::vector<std::string>();
      if (!longer.empty() && longer.size() == spellings.size()) continue;
      const double confirmed_cost = first == 0 ? kConfirmedCandidateCost : kSearchedCandidateCost;
      const double estimate = EstimateFor(spellings, counts, total, confirmed_cost);
      if (estimate >= kUnfilterable) continue;
      // A run from the term's first character finds where the term starts; spellings of other
      // lengths before a later run leave it unknown.
      options.push_back(Option{&term, PairFilter(std::move(spellings)), false,
                               first == 0 ? 0 : kUnknownOffset, estimate, confirmed_cost});
    }
  }
}

// The filter for one term, or nothing when it cannot be looked for on raw bytes.
std::optional<Option> OptionFor(const std::string& term, const TermTwins& twins,
                                const ByteCounts& counts, double total) {
  if (HasSpecialByte(term)) return std::nullopt;
  if (!twins.CoverAll(term)) {
    PairFilter filter(term, counts, &twins);
    // The rarest two bytes the filter compares, estimated again the same way.
    double best = 1.0;
    double next = 1.0;
    for (std::size_t at = 0; at < term.size(); ++at) {
      if (!twins.IsFixed(at)) continue;
      const double f = Frequency(counts, total, term[at]);
      if (f < best) {
        next = best;
        best = f;
      } else if (f < next) {
        next = f;
      }
    }
    return Option{&term, std::move(filter), true, 0, best * (next < 1.0 ? next : 1.0)};
  }
  // Made only of characters of several spellings: the character whose spellings are rarest.
  std::optional<Option> chosen;
  for (std::size_t place = 0; place < twins.PlaceCount(); ++place) {
    std::vector<std::string> spellings = twins.SpellingsOfPlace(place);
    if (spellings.empty() || spellings.size() > kMaxFilterSpellings) continue;
    const double estimate = EstimateFor(spellings, counts, total);
    if (!chosen || estimate < chosen->estimate) {
      chosen.emplace(Option{&term, PairFilter(std::move(spellings)), false,
                            twins.OffsetOfPlace(place), estimate});
    }
  }
  return chosen;
}

}  // namespace

bool HasSpecialByte(std::string_view term) {
  return term.find_first_of("\r\n\x1a") != std::string_view::npos;
}

FilterChoice ChooseFilter(const TermTable& terms, std::string_view sample) {
  FilterChoice choice;
  const ByteCounts counts = CountBytes(sample);
  double total = 0;
  for (const std::uint64_t c : counts) total += static_cast<double>(c);

  std::vector<Option> options;
  std::vector<std::pair<double, const std::string*>> ranked;
  for (const std::string& term : terms.Active()) {
    const auto index = static_cast<std::size_t>(&term - terms.terms.data());
    const std::size_t before = options.size();
    if (const std::optional<FoldedTerm>& folded = terms.folded[index]) {
      AddOptionsForFolded(term, *folded, counts, total, options);
    } else if (std::optional<Option> option = OptionFor(term, terms.twins[index], counts, total)) {
      options.push_back(std::move(*option));
    }
    double best = kUnfilterable;
    for (std::size_t k = before; k < options.size(); ++k)
      best = std::min(best, options[k].estimate);
    ranked.emplace_back(best, &term);
  }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [estimate, term] : ranked) choice.check_order.push_back(term);
  if (options.empty()) return choice;

  // The estimates rank the terms; the real candidates in the sample decide among the first few,
  // since bytes of a term are seldom independent (日本 against 歴史, say).
  std::stable_sort(options.begin(), options.end(),
                   [](const Option& a, const Option& b) { return a.estimate < b.estimate; });
  std::size_t best = 0;
  double best_cost = std::numeric_limits<double>::infinity();
  for (std::size_t k = 0; k < options.size() && k < kCountedFilterOptions; ++k) {
    const PairFilter::Candidates candidates = options[k].filter.CountCandidates(sample);
    const double cost = static_cast<double>(candidates.compared) +
                        options[k].confirmed_cost * static_cast<double>(candidates.confirmed) +
                        kSpellingCompareCost * static_cast<double>(sample.size()) *
                            static_cast<double>(options[k].filter.SpellingCount());
    if (cost < best_cost) {
      best = k;
      best_cost = cost;
    }
  }
  choice.found_term = options[best].offset == kUnknownOffset ? nullptr : options[best].term;
  choice.found_offset = options[best].offset;
  choice.found_whole = options[best].whole;
  const std::string* chosen_term = options[best].term;
  choice.filter.emplace(std::move(options[best].filter));
  for (const std::string* term : choice.check_order) {
    if (term == chosen_term) continue;
    const auto other = std::find_if(options.begin(), options.end(),
                                    [&](const Option& o) { return o.term == term; });
    if (other != options.end()) choice.quick_checks.push_back(other->filter);
  }
  return choice;
}

}  // namespace tolvane
