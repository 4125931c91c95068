#pragma once
// Tibetan dictionary-order sorting of lines: the part shared by the editor
// command and the command-line tool. No editor and no user interface here:
// text (or lines) in, order out.
//
// A line is cut into tokens at every delimiter, blank and "~"; each delimiter
// and each blank is a token of its own. Every token is looked up in the
// collation table, and the line's key is the sequence of the ranks found, in
// line order. Lines are compared by their keys, rank by rank, a key that is a
// prefix of another first; equal keys keep their input order.
//
// The Tibetan part of a token (its characters U+0F00-U+0FCF and the joiners
// among them) is looked up in its canonical form (sorting/syllable_key.h). A
// well-formed syllable the table lacks is placed among the table's syllables
// by its computed key. A line cannot be ranked when one of its tokens has a
// Tibetan part that is neither in the table nor a well-formed syllable, or
// when the line has no delimiter, blank or "~" and is neither Tibetan the
// sort can rank nor a unit of the table. Such lines are put after the sorted
// ones, ordered by the decimal text of their first character's code (read as
// a signed 16-bit number), input order on ties. Empty lines are dropped.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sorting/collation.h"

namespace yig::sorting {

/// The fixed messages of the sort (Chinese; translated for display by the host).
inline constexpr std::u16string_view kSortDoneMessage = u" 排序完成！";
inline constexpr std::u16string_view kNotTibetanMessage = u"非Himalaya藏文，不能排序！";

/// True when more than a quarter of the first min(100, length) code units lie
/// strictly between U+0F00 and U+0FCF.
bool looksLikeUnicodeTibetan(std::u16string_view text);

/// The lines of `text` as the sort reads them: the text split at CR LF, a
/// final CR LF (added when missing) ending the last line. An empty text has
/// no lines. The views point into `text`.
std::vector<std::u16string_view> splitLines(std::u16string_view text);

/// The tables one sort needs.
struct SortTables {
  CollationTable collation;
  DelimiterSet delimiters;
  /// The tables built into the program.
  static SortTables builtin();
};

/// Called with the percentage (0..100) while lines are ranked; only when the
/// value changes.
using ProgressFn = std::function<void(int percent)>;

/// Order of the lines: indexes into the input.
struct LineOrder {
  std::vector<std::size_t> sorted;      ///< rankable lines, in dictionary order
  std::vector<std::size_t> unrankable;  ///< lines the table cannot rank, in red-part order
  std::size_t emptyLines = 0;           ///< dropped
};

/// Ranks and orders `lines`.
LineOrder orderLines(std::span<const std::u16string_view> lines, const SortTables& tables,
                     const ProgressFn& progress = {});

/// The key of one line.
struct LineKey {
  enum class Kind { Empty, Ranked, Unrankable } kind = Kind::Empty;
  std::vector<std::uint32_t> ranks;  ///< for a ranked line
};
LineKey keyOfLine(std::u16string_view line, const SortTables& tables);

/// The key of an unrankable line: its first character's code as a signed
/// 16-bit decimal number ("3904", "65", "-3328").
std::u16string unrankableKey(std::u16string_view line);

/// A sorted text in the editor's layout.
struct SortedText {
  /// The sorted lines joined by CR LF, then three CR LF; empty when no line
  /// could be ranked.
  std::u16string sorted;
  /// Each unrankable line followed by CR LF.
  std::u16string unrankable;
  std::size_t sortedLines = 0;
  std::size_t unrankableLines = 0;
  std::size_t emptyLines = 0;
};

/// Sorts the lines of `text` (see splitLines) into the editor's layout.
SortedText sortText(std::u16string_view text, const SortTables& tables, const ProgressFn& progress = {});

}  // namespace yig::sorting
