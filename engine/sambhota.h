#pragma once
// The thirty-font Sambhota block a conversion to Sambhota adds to a document,
// and the font numbers it is written on.
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
std::array<int, 30> blockNumbers(const std::vector<int>& used);
/// The same for the fonts a font table (`header`) defines.
std::array<int, 30> blockNumbers(std::string_view header);

/// The font-table entries of the block: "{\f10\froman\fprq2\fcharset0 Dedris-a;}"...
std::string fontBlock(std::string_view family, const std::array<int, 30>& numbers);

/// Font numbers that the font table of `header` defines ("{\fN").
std::vector<int> usedFontNumbers(std::string_view header);

}  // namespace yig::sambhota
