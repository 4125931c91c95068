#include "engine/rtf_pieces.h"

#include <cmath>
#include <cstdint>

#include "engine/encodings.h"

namespace yig::rtfpieces {

std::string_view bodyMarker(std::string_view rtf) {
  return rtf.find("\\viewkind") != std::string_view::npos ? "\\viewkind" : "\\uc1";
}

bool containsAnyListItem(std::string_view text, std::string_view list) {
  bool found = false;
  forEachListItem(list, [&](std::string_view item) {
    if (!found && text.find(item) != std::string_view::npos) found = true;
  });
  return found;
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

}  // namespace yig::rtfpieces
