#include "sorting/collation.h"

#include <algorithm>

#include "resources/embedded.h"

namespace yig::sorting {
namespace {

std::uint64_t hashUnits(std::u16string_view s) {
  // FNV-1a over the code units.
  std::uint64_t h = 1469598103934665603ull;
  for (char16_t c : s) {
    h ^= static_cast<std::uint64_t>(c);
    h *= 1099511628211ull;
  }
  return h ^ (h >> 29);
}

}  // namespace

std::vector<std::u16string> splitStoredTable(std::span<const std::uint8_t> stored) {
  std::u16string text;
  text.reserve(stored.size() / 2);
  std::size_t i = 0;
  if (stored.size() >= 2 && stored[0] == 0xFF && stored[1] == 0xFE) i = 2;
  for (; i + 1 < stored.size(); i += 2) {
    text.push_back(static_cast<char16_t>(stored[i] | (stored[i + 1] << 8)));
  }
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(u"\r\n", start);
    if (end == std::u16string::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

CollationTable CollationTable::parse(std::span<const std::uint8_t> stored) {
  CollationTable table;
  for (const std::u16string& line : splitStoredTable(stored)) {
    const std::size_t tab = line.find(u'\t');
    if (tab == std::u16string::npos || tab == 0 || tab > 9) continue;
    std::uint32_t rank = 0;
    bool digits = true;
    for (std::size_t k = 0; k < tab; ++k) {
      if (line[k] < u'0' || line[k] > u'9') {
        digits = false;
        break;
      }
      rank = rank * 10 + static_cast<std::uint32_t>(line[k] - u'0');
    }
    if (!digits || tab + 1 == line.size()) continue;
    table.add(std::u16string_view(line).substr(tab + 1), rank);
  }
  return table;
}

CollationTable CollationTable::builtin() {
  const auto stored = resources::find("PX");
  return stored ? parse(*stored) : CollationTable();
}

std::size_t CollationTable::findSlot(std::u16string_view unit) const {
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = static_cast<std::size_t>(hashUnits(unit)) & mask;
  for (;;) {
    const Slot& s = slots_[i];
    if (s.rank == 0) return i;
    if (s.length == unit.size() && std::u16string_view(chars_).substr(s.offset, s.length) == unit) return i;
    i = (i + 1) & mask;
  }
}

void CollationTable::grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
  for (const Slot& s : old) {
    if (s.rank == 0) continue;
    slots_[findSlot(std::u16string_view(chars_).substr(s.offset, s.length))] = s;
  }
}

bool CollationTable::add(std::u16string_view unit, std::uint32_t rank) {
  if (rank == 0) return false;
  // Keep the load factor at or below one half.
  if ((count_ + 1) * 2 > slots_.size()) grow();
  const std::size_t i = findSlot(unit);
  if (slots_[i].rank != 0) return false;
  slots_[i] = Slot{static_cast<std::uint32_t>(chars_.size()), static_cast<std::uint32_t>(unit.size()), rank};
  added_.push_back(slots_[i]);
  chars_.append(unit);
  ++count_;
  maxRank_ = std::max(maxRank_, rank);
  return true;
}

std::vector<CollationTable::Row> CollationTable::rowsByRank() const {
  std::vector<Row> rows;
  rows.reserve(added_.size());
  for (const Slot& s : added_) rows.push_back(Row{s.rank, std::u16string_view(chars_).substr(s.offset, s.length)});
  // The stored table lists its rows in rank order already.
  if (!std::is_sorted(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.rank < b.rank; })) {
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.rank < b.rank; });
  }
  return rows;
}

std::uint32_t CollationTable::rank(std::u16string_view unit) const {
  if (count_ == 0) return 0;
  return slots_[findSlot(unit)].rank;
}

DelimiterSet DelimiterSet::parse(std::span<const std::uint8_t> stored) {
  DelimiterSet set;
  for (const std::u16string& line : splitStoredTable(stored)) {
    if (line.size() == 1) set.add(line[0]);
  }
  return set;
}

DelimiterSet DelimiterSet::builtin() {
  const auto stored = resources::find("DL");
  return stored ? parse(*stored) : DelimiterSet();
}

std::vector<char16_t> DelimiterSet::characters() const {
  std::vector<char16_t> out;
  for (std::size_t c = 0; c < bits_.size(); ++c) {
    if (bits_.test(c)) out.push_back(static_cast<char16_t>(c));
  }
  return out;
}

}  // namespace yig::sorting
