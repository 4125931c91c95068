// Sambhota font block and document-font recognition.
#include <algorithm>
#include <optional>

#include "engine/rtf_pieces.h"
#include "engine/sambhota.h"

namespace yig {

namespace sambhota {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The font number at the start of a font-table entry ("\f12\froman ..."), when
// it has one or two digits.
std::optional<int> shortFontNumber(std::string_view entry) {
  if (entry.size() >= 4 && rtfpieces::isDigit(entry[2]) && entry[3] == '\\') return entry[2] - '0';
  if (entry.size() >= 5 && rtfpieces::isDigit(entry[2]) && rtfpieces::isDigit(entry[3]) && entry[4] == '\\')
    return (entry[2] - '0') * 10 + (entry[3] - '0');
  return std::nullopt;
}

std::u16string widen(std::string_view s) { return std::u16string(s.begin(), s.end()); }

}  // namespace

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

std::array<int, 30> blockNumbers(std::string_view header) {
  std::vector<int> used = usedFontNumbers(header);
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

std::vector<DocumentFont> findDocumentFonts(std::string_view header, std::u16string& tableText) {
  // The sixty names, upper-cased, with the blank and semicolon that keep
  // "DEDRIS-A" from matching inside "EDEDRIS-A" or "DEDRIS-A1".
  struct Name {
    std::string guarded;
    int suffix;
    bool ededris;
  };
  std::vector<Name> names;
  names.reserve(60);
  for (int family = 0; family < 2; ++family) {
    for (std::size_t i = 0; i < kFontSuffixes.size(); ++i) {
      std::string g = family == 0 ? " DEDRIS-" : " EDEDRIS-";
      for (char c : kFontSuffixes[i]) g += upper(c);
      g += ';';
      names.push_back({std::move(g), static_cast<int>(i), family == 1});
    }
  }
  std::vector<DocumentFont> fonts;
  std::array<bool, 30> suffixTaken{};
  std::string upperEntry;
  rtfpieces::forEachFontEntry(header, [&](std::string_view entry) {
    upperEntry.assign(entry);
    for (char& c : upperEntry) c = upper(c);
    const Name* match = nullptr;
    for (const Name& n : names) {
      if (upperEntry.find(n.guarded) != std::string::npos) {
        match = &n;
        break;
      }
    }
    if (!match) return;
    std::optional<int> number = shortFontNumber(entry);
    if (!number) return;
    DocumentFont font;
    font.controlWord = "\\f" + std::to_string(*number);
    font.suffix = match->suffix;
    font.ededris = match->ededris;
    if (!suffixTaken[match->suffix]) {
      suffixTaken[match->suffix] = true;
      font.rewritten = true;
      std::u16string from = u"Dedris-" + widen(kFontSuffixes[match->suffix]) + u"\r\n";
      std::u16string to = widen(font.controlWord) + u"\r\n";
      std::u16string out;
      out.reserve(tableText.size());
      std::size_t start = 0;
      for (std::size_t at = tableText.find(from); at != std::u16string::npos; at = tableText.find(from, start)) {
        out.append(tableText, start, at - start);
        out += to;
        start = at + from.size();
      }
      out.append(tableText, start, std::u16string::npos);
      tableText = std::move(out);
    }
    fonts.push_back(std::move(font));
  });
  return fonts;
}

}  // namespace sambhota

}  // namespace yig
