#include "sorting/tibetan_sort.h"

#include <algorithm>

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

// Appends the line's ranks to `ranks`. `scratch` is reused for the Tibetan part
// of tokens that mix scripts. The cut is the one the text would get from
// wrapping every delimiter and blank in "~", folding "~~" to "~" and splitting
// at "~": the non-empty pieces are the runs between separators, and each
// delimiter and blank is a piece of its own.
Verdict rankLine(std::u16string_view line, const SortTables& tables, std::vector<std::uint32_t>& ranks,
                 std::u16string& scratch) {
  if (line.empty()) return Verdict::Empty;
  const std::size_t mark = ranks.size();
  const CollationTable& table = tables.collation;
  const DelimiterSet& delims = tables.delimiters;

  // A token: look up its Tibetan part first (the whole token when it has no
  // other characters), then the whole token.
  auto token = [&](std::u16string_view tok) -> bool {
    bool allTibetan = true;
    bool anyTibetan = false;
    for (char16_t c : tok) {
      if (inTibetanBlock(c)) {
        anyTibetan = true;
      } else {
        allTibetan = false;
      }
    }
    if (allTibetan) {
      const std::uint32_t r = table.rank(tok);
      if (r == 0) return false;
      ranks.push_back(r);
      return true;
    }
    if (anyTibetan) {
      scratch.clear();
      for (char16_t c : tok) {
        if (inTibetanBlock(c)) scratch.push_back(c);
      }
      if (!table.contains(scratch)) return false;
    }
    if (const std::uint32_t r = table.rank(tok); r != 0) ranks.push_back(r);
    return true;
  };

  bool separated = false;
  std::size_t start = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char16_t c = line[i];
    if (c != kSeparator && c != kBlank && !delims.contains(c)) continue;
    separated = true;
    if (i > start && !token(line.substr(start, i - start))) {
      ranks.resize(mark);
      return Verdict::Unrankable;
    }
    if (c != kSeparator && !token(line.substr(i, 1))) {
      ranks.resize(mark);
      return Verdict::Unrankable;
    }
    start = i + 1;
  }
  if (!separated) {
    // One token without delimiters or blanks: the whole line, unfiltered.
    const std::uint32_t r = table.rank(line);
    if (r == 0) return Verdict::Unrankable;
    ranks.push_back(r);
    return Verdict::Ranked;
  }
  if (start < line.size() && !token(line.substr(start))) {
    ranks.resize(mark);
    return Verdict::Unrankable;
  }
  return Verdict::Ranked;
}

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
  std::u16string scratch;
  switch (rankLine(line, tables, key.ranks, scratch)) {
    case Verdict::Empty: key.kind = LineKey::Kind::Empty; break;
    case Verdict::Ranked: key.kind = LineKey::Kind::Ranked; break;
    case Verdict::Unrankable: key.kind = LineKey::Kind::Unrankable; break;
  }
  return key;
}

LineOrder orderLines(std::span<const std::u16string_view> lines, const SortTables& tables,
                     const ProgressFn& progress) {
  LineOrder order;
  std::vector<std::uint32_t> ranks;
  std::vector<KeySlice> keys;
  std::vector<std::pair<std::u16string, std::size_t>> red;
  std::u16string scratch;
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
    switch (rankLine(lines[i], tables, ranks, scratch)) {
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
