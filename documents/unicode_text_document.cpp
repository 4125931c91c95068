#include "documents/unicode_text_document.h"

#include <array>
#include <string>

#include "engine/unicode_text_rtf.h"

namespace yig::docs {
namespace {

enum Class { kTibetan = 0, kLatin = 1, kChinese = 2, kNone = 3 };

Class classOf(char16_t c) {
  if (c >= 0x0F00 && c <= 0x0FCF) return kTibetan;
  return c < 0x2019 ? kLatin : kChinese;
}

// The formats the RTF reader gives each class, learnt from the RTF itself so
// that both routes always agree; kNone is a paragraph break before any text.
const std::array<rt::CharFormat, 4>& classFormats() {
  static const std::array<rt::CharFormat, 4> formats = [] {
    std::array<rt::CharFormat, 4> f;
    rt::Document sample;
    std::u16string text = u"\u0F40a\u4E2D";
    InsertUnicodeText(sample, text, false);
    for (std::size_t i = 0; i < 3; ++i) f[i] = sample.formatAt(i);
    rt::Document leading;
    text = u"\r\na";
    InsertUnicodeText(leading, text, false);
    f[kNone] = leading.formatAt(0);
    return f;
  }();
  return formats;
}

// Characters the RTF route may treat specially: control characters other than
// tab and the CR LF line ends, surrogates and the two non-characters.
bool needsRtfRoute(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      ++i;
    } else if ((c < 0x20 && c != u'\t') || (c >= 0xD800 && c <= 0xDFFF) || c >= 0xFFFE) {
      return true;
    }
  }
  return false;
}

}  // namespace

void setUnicodeText(rt::Document& document, std::u16string_view text) {
  document.clear();
  if (text.empty()) return;
  if (needsRtfRoute(text)) {
    std::u16string copy(text);
    InsertUnicodeText(document, copy, false);
    return;
  }
  // A final CR LF ends the last paragraph and adds no break of its own.
  if (text.size() >= 2 && text.substr(text.size() - 2) == u"\r\n") text.remove_suffix(2);
  const auto& formats = classFormats();
  Class current = kNone;
  std::u16string piece;
  Class pieceClass = kNone;
  auto flush = [&] {
    if (!piece.empty()) document.append(piece, formats[pieceClass]);
    piece.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    Class cls;
    if (c == u'\r') {  // CR LF: one paragraph break in the class in force
      ++i;
      cls = current;
    } else {
      cls = classOf(c);
      current = cls;
    }
    if (cls != pieceClass) {
      flush();
      pieceClass = cls;
    }
    piece += c;
  }
  flush();
  document.select(document.length(), 0);
}

}  // namespace yig::docs
