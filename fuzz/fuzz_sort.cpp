// Fuzz target for the Tibetan sort. The first byte chooses what the rest is:
//   even: UTF-16LE text, sorted with the built-in tables;
//   odd:  a stored collation table, parsed, then used to sort a fixed text.
// Checks that every non-empty line comes back exactly once (sorted or
// unrankable), that sorting is idempotent on the sorted part, and that every
// unit a parsed table holds is found again with its rank.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "sorting/collation.h"
#include "sorting/tibetan_sort.h"

namespace {

using namespace yig::sorting;

const SortTables& builtinTables() {
  static const SortTables t = SortTables::builtin();
  return t;
}

void check(bool ok) {
  if (!ok) std::abort();
}

void sortAndCheck(const std::u16string& text, const SortTables& tables) {
  const std::vector<std::u16string_view> lines = splitLines(text);
  int last = -1;
  const LineOrder order = orderLines(lines, tables, [&](int p) {
    check(p >= 0 && p <= 100 && p > last);
    last = p;
  });
  check(order.sorted.size() + order.unrankable.size() + order.emptyLines == lines.size());
  std::vector<std::size_t> seen(order.sorted);
  seen.insert(seen.end(), order.unrankable.begin(), order.unrankable.end());
  std::sort(seen.begin(), seen.end());
  check(std::adjacent_find(seen.begin(), seen.end()) == seen.end());
  for (std::size_t i : seen) check(i < lines.size() && !lines[i].empty());

  // Sorting the sorted lines again changes nothing.
  std::u16string again;
  for (std::size_t i : order.sorted) {
    again.append(lines[i]);
    again += u"\r\n";
  }
  const std::vector<std::u16string_view> again_lines = splitLines(again);
  const LineOrder second = orderLines(again_lines, tables);
  check(second.unrankable.empty());
  check(second.sorted.size() == order.sorted.size());
  for (std::size_t k = 0; k < second.sorted.size(); ++k) check(second.sorted[k] == k);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::span<const std::uint8_t> rest(data + 1, size - 1);
  if ((data[0] & 1) == 0) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < rest.size(); i += 2) {
      text.push_back(static_cast<char16_t>(rest[i] | (rest[i + 1] << 8)));
    }
    looksLikeUnicodeTibetan(text);
    sortAndCheck(text, builtinTables());
    return 0;
  }
  SortTables tables{CollationTable::parse(rest), builtinTables().delimiters};
  for (const std::u16string& row : splitStoredTable(rest)) {
    const std::size_t tab = row.find(u'\t');
    if (tab == std::u16string::npos || tab + 1 == row.size()) continue;
    check(tables.collation.rank(std::u16string_view(row).substr(tab + 1)) != 0 ||
          std::all_of(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(tab), [](char16_t c) { return c == u'0'; }) ||
          tab > 9 || tab == 0 ||
          !std::all_of(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(tab),
                       [](char16_t c) { return c >= u'0' && c <= u'9'; }));
  }
  sortAndCheck(u"ཀ་ཁ\r\nཁ\r\n\r\nabc\r\n། ཀ\r\n", tables);
  return 0;
}
