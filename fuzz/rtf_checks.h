#pragma once
// Checks shared by the fuzz targets and the hardening tests: whether RTF is
// well formed (balanced groups, complete escapes) and whether two documents
// hold the same characters in the same formats.
#include <cstddef>
#include <string>
#include <string_view>

#include "richtext/document.h"

namespace yig::hardening {

/// Why `rtf` is not well formed, or the empty text when it is: every "{" has
/// its "}" and nothing follows the outermost group but blanks, every "\'" has
/// two hex digits, every control word ends properly, and with `sevenBit` no
/// byte is above 0x7F.
inline std::string rtfProblem(std::string_view rtf, bool sevenBit) {
  long depth = 0;
  bool closed = false;
  const auto isHex = [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  };
  const auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  for (std::size_t i = 0; i < rtf.size(); ++i) {
    const char c = rtf[i];
    if (sevenBit && static_cast<unsigned char>(c) > 0x7F) return "byte above 0x7F at " + std::to_string(i);
    if (closed && c != '\r' && c != '\n' && c != ' ' && c != '\0') return "text after the last group at " + std::to_string(i);
    if (c == '{') {
      ++depth;
    } else if (c == '}') {
      if (--depth < 0) return "unmatched } at " + std::to_string(i);
      if (depth == 0) closed = true;
    } else if (c == '\\') {
      if (i + 1 >= rtf.size()) return "backslash at the end";
      const char n = rtf[i + 1];
      if (n == '\'') {
        if (i + 3 >= rtf.size() || !isHex(rtf[i + 2]) || !isHex(rtf[i + 3])) return "bad \\' escape at " + std::to_string(i);
        i += 3;
      } else if (isAlpha(n)) {
        std::size_t k = i + 1;
        while (k < rtf.size() && isAlpha(rtf[k])) ++k;
        if (k - i - 1 > 32) return "control word too long at " + std::to_string(i);
        if (k < rtf.size() && rtf[k] == '-') ++k;
        std::size_t digits = 0;
        while (k < rtf.size() && rtf[k] >= '0' && rtf[k] <= '9') ++k, ++digits;
        if (digits > 10) return "parameter too long at " + std::to_string(i);
        i = k - 1;
      } else {
        ++i;  // control symbol: \\ \{ \} \~ \- \_ \* \: \| and line ends
      }
    }
  }
  if (depth != 0) return "unclosed groups: " + std::to_string(depth);
  if (!closed) return "no group";
  return {};
}

/// True when both documents hold the same units, each in the same format, and
/// carry the same objects (compared by what they hold, not by identity).
inline bool sameDocument(const rt::Document& a, const rt::Document& b) {
  if (a.text() != b.text() || a.finalParagraphLead() != b.finalParagraphLead()) return false;
  for (std::size_t i = 0; i < a.length(); ++i) {
    rt::CharFormat fa = a.formatAt(i), fb = b.formatAt(i);
    if ((fa.object == nullptr) != (fb.object == nullptr)) return false;
    if (fa.object && (fa.object->rtf != fb.object->rtf || fa.object->lead != fb.object->lead ||
                      fa.object->kind != fb.object->kind)) {
      return false;
    }
    fa.object = fb.object = nullptr;
    if (a.text()[i] == u'\r') continue;  // a paragraph mark takes its format from its neighbours
    if (!(fa == fb)) return false;
  }
  return true;
}

}  // namespace yig::hardening
