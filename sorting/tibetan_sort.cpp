#include "sorting/tibetan_sort.h"

#include <algorithm>
#include <unordered_map>

#include "sorting/syllable_key.h"

namespace yig::sorting {
namespace {

constexpr char16_t kSeparator = u'~';
constexpr char16_t kBlank = u' ';

bool inTibetanBlock(char16_t c) { return c >= 0x0F00 && c <= 0x0FCF; }

// The ranks of all ranked lines live in one buffer; a line's key is a slice.
// The first six ranks are also packed into `head` (21 bits each, 0 where the
// key is shorter), so that most comparisons are decided without reading the
// buffer. Ranks are never 0, so a shorter key packs below a longer one that
// continues it. (Every other rank of a line is mostly the tsheg, so six ranks
// hold about three syllables.)
struct KeySlice {
  std::uint64_t head[2];
  std::size_t line;
  std::uint32_t begin, end;
};

constexpr std::uint32_t kRanksPerWord = 3;
constexpr std::uint32_t kHeadRanks = 2 * kRanksPerWord;
constexpr int kHeadBits = 21;
constexpr std::uint32_t kMaxPackedRank = (1u << kHeadBits) - 1;

void packHead(KeySlice& key, const std::uint32_t* ranks) {
  const std::uint32_t count = key.end - key.begin;
  for (std::uint32_t w = 0; w < 2; ++w) {
    std::uint64_t word = 0;
    for (std::uint32_t k = w * kRanksPerWord; k < (w + 1) * kRanksPerWord; ++k) {
      word <<= kHeadBits;
      if (k < count) word |= ranks[key.begin + k];
    }
    key.head[w] = word;
  }
}

enum class Verdict { Empty, Ranked, Unrankable };

// A syllable the table lacks gets a provisional rank with this bit set while
// the lines are read; finish() replaces it.
constexpr std::uint32_t kComputed = 0x8000'0000u;

// Ranks the lines of one sort. A token's Tibetan part is compared in its
// canonical form; the table ranks it when it can, and a well-formed syllable
// the table lacks is placed among the table's syllables by its computed key.
//
// The cut into tokens is the one the text would get from wrapping every
// delimiter and blank in "~", folding "~~" to "~" and splitting at "~": the
// non-empty pieces are the runs between separators, and each delimiter and
// blank is a piece of its own.
class LineRanker {
 public:
  explicit LineRanker(const SortTables& tables) : table_(tables.collation), delims_(tables.delimiters) {}

  // Appends the line's ranks to `ranks`.
  Verdict rank(std::u16string_view line, std::vector<std::uint32_t>& ranks) {
    if (line.empty()) return Verdict::Empty;
    const std::size_t mark = ranks.size();
    auto fail = [&] {
      ranks.resize(mark);
      return Verdict::Unrankable;
    };
    bool separated = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char16_t c = line[i];
      if (c != kSeparator && c != kBlank && !delims_.contains(c)) continue;
      separated = true;
      if (i > start && !token(line.substr(start, i - start), ranks)) return fail();
      if (c != kSeparator && !token(line.substr(i, 1), ranks)) return fail();
      start = i + 1;
    }
    if (!separated) {
      // One token without delimiters or blanks: the whole line, unfiltered.
      const std::uint32_t r = tibetanOnly(line) ? tibetanRank(line) : table_.rank(line);
      if (r == 0) return fail();
      ranks.push_back(r);
      return Verdict::Ranked;
    }
    if (start < line.size() && !token(line.substr(start), ranks)) return fail();
    return Verdict::Ranked;
  }

  // Gives the computed syllables their final ranks: each goes right after the
  // last table syllable below it (or takes the rank of one with an equal key),
  // and the table's ranks above it move up to make room. Without computed
  // syllables the ranks stay the table's.
  void finish(std::vector<std::uint32_t>& ranks) {
    if (computedKeys_.empty()) return;
    const std::vector<CollationTable::Row> rows = table_.rowsByRank();
    SyllableRows syllables(rows);

    struct Placed {
      std::uint32_t after;
      std::size_t id;
    };
    std::vector<std::uint32_t> finalRank(computedKeys_.size(), 0);
    std::vector<Placed> between;
    for (std::size_t id = 0; id < computedKeys_.size(); ++id) {
      const SyllableRows::Place p = syllables.place(computedKeys_[id]);
      if (p.equal) {
        finalRank[id] = p.rank;
      } else {
        between.push_back(Placed{p.rank, id});
      }
    }
    std::sort(between.begin(), between.end(), [&](const Placed& a, const Placed& b) {
      return a.after != b.after ? a.after < b.after : computedKeys_[a.id] < computedKeys_[b.id];
    });
    // Equal keys share a rank: group k after table rank q gets q + k + 1, and
    // a table rank r moves up by the number of groups placed below it.
    std::vector<std::uint32_t> groupAfter;
    for (std::size_t k = 0; k < between.size(); ++k) {
      const bool same = k > 0 && between[k].after == between[k - 1].after &&
                        computedKeys_[between[k].id] == computedKeys_[between[k - 1].id];
      if (!same) groupAfter.push_back(between[k].after);
      finalRank[between[k].id] = between[k].after + static_cast<std::uint32_t>(groupAfter.size());
    }
    auto shifted = [&groupAfter](std::uint32_t r) {
      return r + static_cast<std::uint32_t>(std::lower_bound(groupAfter.begin(), groupAfter.end(), r) - groupAfter.begin());
    };
    std::vector<std::uint32_t> shift;
    constexpr std::uint32_t kDenseLimit = 1u << 22;
    if (table_.maxRank() < kDenseLimit) {
      shift.resize(table_.maxRank() + 1);
      for (std::uint32_t r = 0; r < shift.size(); ++r) shift[r] = shifted(r);
    }
    for (std::uint32_t& r : ranks) {
      if (r & kComputed) {
        r = finalRank[r & ~kComputed];
      } else {
        r = r < shift.size() ? shift[r] : shifted(r);
      }
    }
  }

 private:
  // The table's syllable rows in rank order, with their keys computed as needed.
  class SyllableRows {
   public:
    struct Place {
      std::uint32_t rank;  ///< the equal row's rank, or the rank the syllable follows
      bool equal;
    };
    explicit SyllableRows(const std::vector<CollationTable::Row>& rows)
        : rows_(rows), keys_(rows.size()), known_(rows.size(), false) {
      // The syllables are one run of rows: marks and digits before them,
      // further marks and signs after them.
      while (first_ < rows_.size() && key(first_).empty()) ++first_;
      std::size_t lo = first_, hi = rows_.size();  // the run ends in [lo, hi)
      while (hi - lo > 1) {
        const std::size_t mid = lo + (hi - lo) / 2;
        (key(mid).empty() ? hi : lo) = mid;
      }
      end_ = first_ < rows_.size() ? hi : first_;
    }

    Place place(const std::u16string& k) {
      if (first_ == end_) return {0, false};
      std::size_t lo = first_, hi = end_;  // first row whose key is not below k
      while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (key(mid) < k) {
          lo = mid + 1;
        } else {
          hi = mid;
        }
      }
      if (lo < end_ && key(lo) == k) return {rows_[lo].rank, true};
      return {lo > first_ ? rows_[lo - 1].rank : rows_[first_].rank - 1, false};
    }

   private:
    const std::u16string& key(std::size_t i) {
      if (!known_[i]) {
        keys_[i] = syllableKey(rows_[i].unit);
        known_[i] = true;
      }
      return keys_[i];
    }
    const std::vector<CollationTable::Row>& rows_;
    std::vector<std::u16string> keys_;
    std::vector<bool> known_;
    std::size_t first_ = 0, end_ = 0;
  };

  // Tibetan text: the characters of the block, and the joiners that steer the
  // reading of a syllable.
  static bool tibetanOnly(std::u16string_view tok) {
    bool any = false;
    for (char16_t c : tok) {
      if (inTibetanBlock(c)) {
        any = true;
      } else if (!isJoiner(c)) {
        return false;
      }
    }
    return any;
  }

  // The rank of Tibetan text: the table's rank of its canonical form, else a
  // provisional rank for a well-formed syllable, else the table's rank of the
  // text as written (an isolated sign such as ཷ); 0 when it is none of these.
  std::uint32_t tibetanRank(std::u16string_view text) {
    const bool changed = normalizeTibetan(text, canonical_);
    const std::u16string_view canonical = changed ? std::u16string_view(canonical_) : text;
    if (const std::uint32_t r = table_.rank(canonical); r != 0) return r;
    const auto [it, added] = computedIds_.try_emplace(std::u16string(canonical), 0);
    if (added) {
      std::u16string key = syllableKey(canonical);
      if (!key.empty()) {
        it->second = kComputed | static_cast<std::uint32_t>(computedKeys_.size());
        computedKeys_.push_back(std::move(key));
      }
    }
    return it->second != 0 || !changed ? it->second : table_.rank(text);
  }

  // A token: its Tibetan part must be ranked (or computed); a token of
  // Tibetan only adds that rank, any other token its own rank when the table
  // has it, else nothing.
  bool token(std::u16string_view tok, std::vector<std::uint32_t>& ranks) {
    bool anyTibetan = false, allTibetan = true;
    for (char16_t c : tok) {
      if (inTibetanBlock(c)) {
        anyTibetan = true;
      } else if (!isJoiner(c)) {
        allTibetan = false;
      }
    }
    if (anyTibetan && allTibetan) {
      const std::uint32_t r = tibetanRank(tok);
      if (r == 0) return false;
      ranks.push_back(r);
      return true;
    }
    if (anyTibetan) {
      scratch_.clear();
      for (char16_t c : tok) {
        if (inTibetanBlock(c) || isJoiner(c)) scratch_.push_back(c);
      }
      if (tibetanRank(scratch_) == 0) return false;
    }
    if (const std::uint32_t r = table_.rank(tok); r != 0) ranks.push_back(r);
    return true;
  }

  const CollationTable& table_;
  const DelimiterSet& delims_;
  std::u16string scratch_, canonical_;
  std::unordered_map<std::u16string, std::uint32_t> computedIds_;  ///< 0: not well formed
  std::vector<std::u16string> computedKeys_;
};

}  // namespace

bool looksLikeUnicodeTibetan(std::u16string_view text) {
  const std::size_t n = std::min<std::size_t>(text.size(), 100);
  std::size_t count = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = text[i];
    if (c > 0x0F00 && c < 0x0FCF) {
      ++count;
      // count > n / 4, without rounding: 4 * count > n.
      if (4 * count > n) return true;
    }
  }
  return false;
}

std::vector<std::u16string_view> splitLines(std::u16string_view text) {
  std::vector<std::u16string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find(u"\r\n", start);
    if (end == std::u16string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

SortTables SortTables::builtin() { return SortTables{CollationTable::builtin(), DelimiterSet::builtin()}; }

std::u16string unrankableKey(std::u16string_view line) {
  if (line.empty()) return {};
  const int code = static_cast<std::int16_t>(line[0]);
  std::u16string out;
  for (char c : std::to_string(code)) out.push_back(static_cast<char16_t>(c));
  return out;
}

LineKey keyOfLine(std::u16string_view line, const SortTables& tables) {
  LineKey key;
  LineRanker ranker(tables);
  switch (ranker.rank(line, key.ranks)) {
    case Verdict::Empty: key.kind = LineKey::Kind::Empty; break;
    case Verdict::Ranked: key.kind = LineKey::Kind::Ranked; break;
    case Verdict::Unrankable: key.kind = LineKey::Kind::Unrankable; break;
  }
  ranker.finish(key.ranks);
  return key;
}

LineOrder orderLines(std::span<const std::u16string_view> lines, const SortTables& tables,
                     const ProgressFn& progress) {
  LineOrder order;
  std::vector<std::uint32_t> ranks;
  std::vector<KeySlice> keys;
  std::vector<std::pair<std::u16string, std::size_t>> red;
  LineRanker ranker(tables);
  keys.reserve(lines.size());
  int lastPercent = -1;
  // Lines 0..L-1 report i / (L - 1): the last line reports 100.
  const std::size_t last = lines.empty() ? 0 : lines.size() - 1;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (progress) {
      const int percent = last == 0 ? 100 : static_cast<int>(i * 100 / last);
      if (percent != lastPercent) {
        lastPercent = percent;
        progress(percent);
      }
    }
    const auto begin = static_cast<std::uint32_t>(ranks.size());
    switch (ranker.rank(lines[i], ranks)) {
      case Verdict::Empty:
        ++order.emptyLines;
        break;
      case Verdict::Ranked:
        keys.push_back(KeySlice{{0, 0}, i, begin, static_cast<std::uint32_t>(ranks.size())});
        break;
      case Verdict::Unrankable:
        red.emplace_back(unrankableKey(lines[i]), i);
        break;
    }
  }
  ranker.finish(ranks);

  const std::uint32_t* base = ranks.data();
  const bool packed = std::all_of(ranks.begin(), ranks.end(), [](std::uint32_t r) { return r <= kMaxPackedRank; });
  if (packed) {
    for (KeySlice& k : keys) packHead(k, base);
  }
  const std::uint32_t skip = packed ? kHeadRanks : 0;
  std::stable_sort(keys.begin(), keys.end(), [base, skip](const KeySlice& a, const KeySlice& b) {
    if (a.head[0] != b.head[0]) return a.head[0] < b.head[0];
    if (a.head[1] != b.head[1]) return a.head[1] < b.head[1];
    // Equal heads: the keys agree on their first six ranks, or are equal
    // when shorter; compare the rest.
    const std::uint32_t skipA = std::min(a.end - a.begin, skip);
    const std::uint32_t skipB = std::min(b.end - b.begin, skip);
    return std::lexicographical_compare(base + a.begin + skipA, base + a.end, base + b.begin + skipB, base + b.end);
  });
  std::stable_sort(red.begin(), red.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

  order.sorted.reserve(keys.size());
  for (const KeySlice& k : keys) order.sorted.push_back(k.line);
  order.unrankable.reserve(red.size());
  for (const auto& r : red) order.unrankable.push_back(r.second);
  return order;
}

SortedText sortText(std::u16string_view text, const SortTables& tables, const ProgressFn& progress) {
  const std::vector<std::u16string_view> lines = splitLines(text);
  const LineOrder order = orderLines(lines, tables, progress);
  SortedText out;
  out.sortedLines = order.sorted.size();
  out.unrankableLines = order.unrankable.size();
  out.emptyLines = order.emptyLines;
  out.sorted.reserve(text.size() + 6);
  for (std::size_t k = 0; k < order.sorted.size(); ++k) {
    if (k != 0) out.sorted += u"\r\n";
    out.sorted += lines[order.sorted[k]];
  }
  if (!order.sorted.empty()) out.sorted += u"\r\n\r\n\r\n";
  for (std::size_t i : order.unrankable) {
    out.unrankable += lines[i];
    out.unrankable += u"\r\n";
  }
  return out;
}

}  // namespace yig::sorting
