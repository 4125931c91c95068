#pragma once
// Pieces of the Sambhota conversions that tests and tools use directly: the
// thirty-font block, the font numbers it is written on, recognising a
// document's Dedris/Ededris fonts and rewriting the table's font column.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "engine/encodings.h"

namespace yig::sambhota {

/// The thirty font suffixes in font-number order (fonts 10 to 39 by default).
inline constexpr const auto& kFontSuffixes = kSambhotaSuffixes;

/// The first font number of the block; the table's column 3 names f10..f39.
inline constexpr int kFirstBlockNumber = 10;

/// Font numbers the block is written on. The fonts 10..39 when the document's
/// font table uses none of them; otherwise the first run of thirty numbers
/// below 99 that the document leaves free, else any free numbers below 99,
/// else free numbers from 100 up. Number 99 is never used (the conversions to
/// Unicode add their font there).
std::array<int, 30> blockNumbers(std::string_view header);

/// The font-table entries of the block: "{\f10\froman\fprq2\fcharset0 Dedris-a;}"...
std::string fontBlock(std::string_view family, const std::array<int, 30>& numbers);

/// Font numbers that the font table of `header` defines ("{\fN").
std::vector<int> usedFontNumbers(std::string_view header);

/// A Sambhota font of a document.
struct DocumentFont {
  std::string controlWord;  ///< "\f5", "\f12"
  int suffix = 0;           ///< index into kFontSuffixes
  bool ededris = false;     ///< named in the Ededris family
  bool rewritten = false;   ///< the table lines of its suffix were rewritten to it
};

/// Recognises the Sambhota fonts of a header in font-table order and rewrites
/// `tableText` (the SAM table text) so that column 4 holds the document's
/// control word on the lines of each font found: every "<Dedris name>" CR LF
/// becomes "<control word>" CR LF. A font whose number has three or more
/// digits is not recorded. A second font of the same suffix (Dedris-a beside
/// Ededris-a) finds its lines already rewritten; it is recorded with
/// `rewritten` false and is read through the first font's lines.
std::vector<DocumentFont> findDocumentFonts(std::string_view header, std::u16string& tableText);

}  // namespace yig::sambhota
