#include "engine/rtf_pieces.h"

#include <cmath>
#include <cstdint>

#include "engine/encodings.h"

namespace yig::rtfpieces {

namespace {

constexpr std::string_view kColorTable = "{\\colortbl ;";
constexpr std::string_view kRed = "\\red255\\green0\\blue0;";

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses a decimal number of 1..5 characters with an optional leading minus.
std::optional<int> parseNumber(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  bool negative = digits.front() == '-';
  if (negative) digits.remove_prefix(1);
  if (digits.empty()) return std::nullopt;
  int value = 0;
  for (char c : digits) {
    if (!isDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

bool isEscapeStart(std::string_view s, std::size_t k) {
  return k + 1 < s.size() && s[k] == '\\' && (s[k + 1] == 'u' || s[k + 1] == 'U');
}

}  // namespace

bool cutFinalBrace(std::string& zz) {
  std::size_t last = zz.rfind('}');
  if (last == std::string::npos) return false;
  zz.resize(last);
  return true;
}

std::string_view bodyMarker(std::string_view rtf) {
  return rtf.find("\\viewkind") != std::string_view::npos ? "\\viewkind" : "\\uc1";
}

Refusal splitDocument(std::string_view rtf, SplitDocument& out) {
  std::size_t at = rtf.find(bodyMarker(rtf));
  if (at == std::string_view::npos) return Refusal::NoBodyMarker;
  out.header = rtf.substr(0, at);
  out.body = rtf.substr(at);
  if (out.header.find("\\fonttbl") == std::string_view::npos) return Refusal::NoFontTable;
  return Refusal::None;
}

bool insertFontEntry(std::string& header, std::string_view entry) {
  std::size_t at = header.find("\\fonttbl");
  if (at == std::string::npos) return false;
  header.insert(at + 8, entry);
  return true;
}

std::string addRedColour(std::string& header) {
  std::size_t table = header.find(kColorTable);
  if (table == std::string::npos) {
    header += kColorTable;
    header += kRed;
    header += '}';
    return "1";
  }
  // The table group ends at its first "}"; red goes in front of it, so it is the
  // last colour even when other header groups (a generator note, a style sheet)
  // follow the table.
  std::size_t close = header.find('}', table);
  if (close == std::string::npos) close = header.size();
  std::size_t items = 0;
  for (std::size_t i = table; i < close; ++i) items += header[i] == ';';
  header.insert(close, kRed);
  if (close == header.size() - kRed.size()) header += '}';
  return std::to_string(items);
}

bool containsAnyListItem(std::string_view text, std::string_view list) {
  bool found = false;
  forEachListItem(list, [&](std::string_view item) {
    if (!found && text.find(item) != std::string_view::npos) found = true;
  });
  return found;
}

std::string unicodeTibetanFontTags(std::string_view header, std::string_view patterns) {
  std::string tags;
  forEachFontEntry(header, [&](std::string_view entry) {
    if (!containsAnyListItem(entry, patterns)) return;
    // entry is "\fN\..." or "\fNN\..."; longer numbers are not recorded.
    if (entry.size() > 3 && entry[3] == '\\') {
      tags += ' ';
      tags += entry.substr(0, 3);
      tags += ';';
    } else if (entry.size() > 4 && entry[4] == '\\') {
      tags += ' ';
      tags += entry.substr(0, 4);
      tags += ';';
    }
  });
  return tags;
}

std::string unicodeTibetanFontTags(std::string_view header) {
  static const std::string patterns = [] {
    std::string list;
    for (char16_t c : info(Encoding::HIMA).sourceFontList) list += static_cast<char>(c);  // ASCII
    return list;
  }();
  return unicodeTibetanFontTags(header, patterns);
}

std::string_view firstFontTag(std::string_view tags) {
  if (tags.empty()) return {};
  std::size_t semi = tags.find(';');
  std::string_view first = tags.substr(0, semi);
  if (!first.empty() && first.front() == ' ') first.remove_prefix(1);
  return first;
}

std::vector<std::string_view> splitAtFontWords(std::string_view body) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  std::size_t next = body.find("\\f");
  while (next != std::string_view::npos) {
    pieces.push_back(body.substr(start, next - start));
    start = next;
    next = body.find("\\f", start + 2);
  }
  pieces.push_back(body.substr(start));
  return pieces;
}

int progressPercent(std::size_t index, std::size_t count) {
  // The last piece is index count - 1, one past the divisor: the result is
  // capped at 100, and a body of one or two pieces uses a divisor of 1.
  std::size_t divisor = count > 2 ? count - 2 : 1;
  double p = static_cast<double>(index) / static_cast<double>(divisor) * 100.0;
  long r = std::lround(p);
  if (r < 0) return 0;
  if (r > 100) return 100;
  return static_cast<int>(r);
}

std::optional<UnicodeEscape> fourDigitEscape(std::string_view s, std::size_t k) {
  if (k + 6 >= s.size() || !isEscapeStart(s, k) || s[k + 6] != '?') return std::nullopt;
  auto n = parseNumber(s.substr(k + 2, 4));
  if (!n) return std::nullopt;
  return UnicodeEscape{static_cast<char16_t>(static_cast<std::uint16_t>(*n)), 7};
}

std::optional<UnicodeEscape> shortUnicodeEscape(std::string_view s, std::size_t k) {
  if (!isEscapeStart(s, k)) return std::nullopt;
  std::size_t digits;
  if (k + 6 < s.size() && s[k + 6] == '?') {
    digits = 4;
  } else if (k + 7 < s.size() && s[k + 7] == '?') {
    digits = 5;
  } else {
    return std::nullopt;
  }
  auto n = parseNumber(s.substr(k + 2, digits));
  if (!n || *n < -32768 || *n > 65535) return std::nullopt;
  return UnicodeEscape{static_cast<char16_t>(static_cast<std::uint16_t>(*n)), digits + 3};
}

std::optional<unsigned> bytePairEscape(std::string_view s, std::size_t k) {
  if (k + 7 >= s.size()) return std::nullopt;
  if (s[k] != '\\' || s[k + 1] != '\'' || s[k + 4] != '\\' || s[k + 5] != '\'') return std::nullopt;
  int a = hexValue(s[k + 2]), b = hexValue(s[k + 3]), c = hexValue(s[k + 6]), d = hexValue(s[k + 7]);
  if (a < 0 || b < 0 || c < 0 || d < 0) return std::nullopt;
  return static_cast<unsigned>((a << 12) | (b << 8) | (c << 4) | d);
}

void appendUnicodeEscape(std::string& out, char16_t c, char letter) {
  int n = c >= 0x8000 ? static_cast<int>(c) - 65536 : static_cast<int>(c);
  char buf[10];
  std::size_t len = 0;
  unsigned u = static_cast<unsigned>(n < 0 ? -n : n);
  char digits[6];
  std::size_t nd = 0;
  do {
    digits[nd++] = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  buf[len++] = '\\';
  buf[len++] = letter;
  if (n < 0) buf[len++] = '-';
  while (nd > 0) buf[len++] = digits[--nd];
  out.append(buf, len);
  out += '?';
}

std::size_t countOccurrences(std::string_view text, std::string_view needle) {
  if (needle.empty()) return 0;
  std::size_t n = 0;
  for (std::size_t at = text.find(needle); at != std::string_view::npos; at = text.find(needle, at + needle.size())) ++n;
  return n;
}

bool containsRedMark(std::string_view text, std::string_view redIndex) {
  std::string needle = "\\cf";
  needle += redIndex;
  for (std::size_t at = text.find(needle); at != std::string_view::npos; at = text.find(needle, at + 1)) {
    std::size_t after = at + needle.size();
    if (after >= text.size() || !isDigit(text[after])) return true;
  }
  return false;
}

}  // namespace yig::rtfpieces
