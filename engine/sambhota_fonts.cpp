// The Sambhota font block a conversion to Sambhota adds to a document.
#include <algorithm>

#include "engine/rtf_pieces.h"
#include "engine/sambhota.h"

namespace yig {

namespace sambhota {

std::vector<int> usedFontNumbers(std::string_view header) {
  std::vector<int> used;
  std::size_t pos = header.find("{\\f");
  while (pos != std::string_view::npos) {
    std::size_t k = pos + 3;
    if (k < header.size() && rtfpieces::isDigit(header[k])) {
      long n = 0;
      while (k < header.size() && rtfpieces::isDigit(header[k]) && n < 1000000) n = n * 10 + (header[k++] - '0');
      used.push_back(static_cast<int>(n));
    }
    pos = header.find("{\\f", pos + 3);
  }
  return used;
}

std::array<int, 30> blockNumbers(std::string_view header) { return blockNumbers(usedFontNumbers(header)); }

std::array<int, 30> blockNumbers(const std::vector<int>& used) {
  auto isUsed = [&](int n) { return n == 99 || std::find(used.begin(), used.end(), n) != used.end(); };
  std::array<int, 30> numbers{};
  auto runFrom = [&](int start) {
    for (int i = 0; i < 30; ++i)
      if (isUsed(start + i)) return false;
    return true;
  };
  if (runFrom(kFirstBlockNumber)) {
    for (int i = 0; i < 30; ++i) numbers[i] = kFirstBlockNumber + i;
    return numbers;
  }
  for (int start = 0; start + 30 <= 99; ++start) {
    if (runFrom(start)) {
      for (int i = 0; i < 30; ++i) numbers[i] = start + i;
      return numbers;
    }
  }
  // Scattered free numbers, below 99 first (the Sambhota reader only knows
  // one- and two-digit fonts), then from 100 up.
  int filled = 0;
  for (int n = 0; filled < 30; ++n) {
    if (!isUsed(n)) numbers[filled++] = n;
  }
  return numbers;
}

std::string fontBlock(std::string_view family, const std::array<int, 30>& numbers) {
  std::string block;
  block.reserve(30 * 48);
  for (std::size_t i = 0; i < kFontSuffixes.size(); ++i) {
    block += "{\\f";
    block += std::to_string(numbers[i]);
    block += "\\froman\\fprq2\\fcharset0 ";
    block += family;
    block += '-';
    block += kFontSuffixes[i];
    block += ";}";
  }
  return block;
}

}  // namespace sambhota

}  // namespace yig
