#include "engine/unicode_text_rtf.h"

#include <array>
#include <charconv>

namespace yig {

const std::string_view kUnicodeTextRtfHeader =
    "{\\rtf1\\ansi\\ansicpg936\\deff0\\deflang1033\\deflangfe2052"
    "{\\fonttbl{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}"
    "{\\f1\\fmodern\\fprq6\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}"
    "{\\f2\\fmodern\\fprq6\\fcharset0 Tahoma;}}"
    "{\\colortbl ;\\red255\\green0\\blue0;}";

namespace {

enum class CharClass { None, Tibetan, Latin, Chinese };

// Comparing the four-digit upper-case hex form as text is the same as
// comparing the code numerically, so the classes are plain ranges.
CharClass classify(char16_t c) {
  if (c >= 0x0F00 && c <= 0x0FCF) return CharClass::Tibetan;
  if (c < 0x2019) return CharClass::Latin;
  return CharClass::Chinese;
}

std::string_view fontSwitch(CharClass k) {
  switch (k) {
    case CharClass::Tibetan: return "\\f0\\fs48\\U";
    case CharClass::Latin: return "\\f2\\fs24\\U";
    case CharClass::Chinese: return "\\f1\\fs24\\U";
    case CharClass::None: break;
  }
  return "\\U";
}

void appendChar(std::string& out, char16_t c, CharClass& current, bool red) {
  if (red) out += "\\cf1";
  const CharClass k = classify(c);
  if (k != current) {
    out += fontSwitch(k);
    current = k;
  } else {
    out += "\\U";
  }
  // The escape's number is the code as a signed 16-bit value.
  const int n = c >= 0x8000 ? static_cast<int>(c) - 0x10000 : static_cast<int>(c);
  std::array<char, 8> digits{};
  auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), n);
  (void)ec;
  out.append(digits.data(), end);
  out.push_back('?');
}

}  // namespace

std::string BuildUnicodeTextRtf(std::u16string_view text, bool red) {
  std::string out;
  out.push_back('{');
  if (!text.empty()) {
    // Worst case per character: "\cf1\f0\fs48\U-32768?" (20 bytes); usually
    // far less, so reserve for the plain escape and let the string grow.
    out.reserve(kUnicodeTextRtfHeader.size() + text.size() * (red ? 12 : 8) + 8);
    out += kUnicodeTextRtfHeader;
    CharClass current = CharClass::None;
    std::size_t pos = 0;
    while (true) {
      const std::size_t eol = text.find(u"\r\n", pos);
      const std::size_t end = eol == std::u16string_view::npos ? text.size() : eol;
      for (std::size_t i = pos; i < end; ++i) appendChar(out, text[i], current, red);
      if (eol == std::u16string_view::npos) break;
      out += "\\par ";
      pos = eol + 2;
    }
  }
  out += "}}";
  return out;
}

}  // namespace yig
