#pragma once
// The two tables the Tibetan sort reads: the collation table "PX" (unit -> rank)
// and the delimiter table "DL" (the characters that cut a line into tokens).
//
// Both are stored as UTF-16LE text with a byte-order mark and CR LF line ends.
// PX rows are "rank TAB unit" (the rank five decimal digits, equal to the row
// number); the text ends with one NUL after its last CR LF. DL holds one
// character per line and ends with an empty line.
#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace yig::sorting {

/// Unit -> rank, with exact (case-sensitive) keys. Lookups are the hot path of
/// the sort, so the map is one open-addressing table over a single character
/// buffer rather than a node-based map of strings.
class CollationTable {
 public:
  CollationTable() = default;

  /// Reads the stored form. Rows without a TAB (the trailing NUL) and rows whose
  /// rank is not a positive decimal number are skipped; the first row of a unit wins.
  static CollationTable parse(std::span<const std::uint8_t> stored);
  /// The table built into the program ("PX"); empty when the program has none.
  static CollationTable builtin();

  /// Adds a unit; returns false (and changes nothing) when it is already there
  /// or the rank is 0.
  bool add(std::u16string_view unit, std::uint32_t rank);
  /// The unit's rank, or 0 when the table has no such unit.
  std::uint32_t rank(std::u16string_view unit) const;
  bool contains(std::u16string_view unit) const { return rank(unit) != 0; }
  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  /// The highest rank in the table (0 when it is empty).
  std::uint32_t maxRank() const { return maxRank_; }

  struct Row {
    std::uint32_t rank;
    std::u16string_view unit;
  };
  /// Every unit with its rank, in ascending rank order.
  std::vector<Row> rowsByRank() const;

 private:
  struct Slot {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    std::uint32_t rank = 0;  ///< 0: free slot
  };
  std::size_t findSlot(std::u16string_view unit) const;
  void grow();

  std::u16string chars_;
  std::vector<Slot> slots_;
  std::vector<Slot> added_;  ///< the units in the order they were added
  std::size_t count_ = 0;
  std::uint32_t maxRank_ = 0;
};

/// The characters that are tokens of their own.
class DelimiterSet {
 public:
  DelimiterSet() = default;
  /// Reads the stored form: every non-empty line is one delimiter. Lines of
  /// more than one character are ignored (a delimiter is one character).
  static DelimiterSet parse(std::span<const std::uint8_t> stored);
  /// The table built into the program ("DL"); empty when the program has none.
  static DelimiterSet builtin();

  void add(char16_t c) {
    if (!bits_.test(c)) ++count_;
    bits_.set(c);
  }
  bool contains(char16_t c) const { return bits_.test(c); }
  std::size_t size() const { return count_; }
  /// The delimiters in code order.
  std::vector<char16_t> characters() const;

 private:
  std::bitset<0x10000> bits_;
  std::size_t count_ = 0;
};

/// Decodes a stored UTF-16LE table (with or without its byte-order mark) and
/// splits it at CR LF; the text after the last CR LF is the last element.
std::vector<std::u16string> splitStoredTable(std::span<const std::uint8_t> stored);

}  // namespace yig::sorting
