#pragma once
// A host for driving the conversion operations in tests: two documents, the
// panel's lists, and a record of the messages shown.
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/host.h"
#include "engine/mapping_table.h"
#include "richtext/document.h"

namespace yig::testing {

class SambhotaTestHost : public EngineHost {
 public:
  rt::Document& editor() override { return editor_; }
  rt::Document& workArea() override { return work_; }
  std::u16string sourceFontList() const override { return sourceList; }
  std::u16string sambhotaFamily() const override { return family; }
  bool tibetanInterface() const override { return false; }
  std::u16string translateForDisplay(const std::u16string& chinese) const override { return chinese; }
  void showMessage(const std::u16string& text) override { messages.push_back(text); }
  void setProgress(int percent) override { lastProgress = percent; }
  void setElapsedTime(const std::u16string&) override {}

  std::u16string sourceList = u"Himalaya;Monlam;Tibetan ; Uni;????;";
  std::u16string family = u"Ededris";
  std::vector<std::u16string> messages;
  int lastProgress = -1;

 private:
  rt::Document editor_, work_;
};

/// A table source serving one table text under every code.
class TextTables : public TableSource {
 public:
  explicit TextTables(std::u16string text) : stored_(scrambleTable(text)) {}
  std::optional<std::vector<std::uint8_t>> read(std::string_view) const override { return stored_; }

 private:
  std::vector<std::uint8_t> stored_;
};

/// "\uNNNN?" for every character of `text`.
inline std::string escapes(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) {
    out += "\\u";
    out += std::to_string(static_cast<int>(static_cast<std::int16_t>(c)));
    out += '?';
  }
  return out;
}

/// A small RTF document as a rich-edit control writes it.
inline std::string rtfDocument(std::string_view fonts, std::string_view body, std::string_view colours = "") {
  std::string d = "{\\rtf1\\ansi\\ansicpg936\\deff0\\deflang1033\\deflangfe2052{\\fonttbl";
  d += fonts;
  d += "}\r\n";
  d += colours;
  d += "\\viewkind4\\uc1\\pard\\lang2052\\fs24 ";
  d += body;
  d += "\\par\r\n}\r\n";
  return d;
}

/// The Unicode text of an RTF result: every "\uN?" or "\UN?" escape as its
/// character, every "\par" as a line feed; everything else is skipped.
inline std::u16string escapedText(std::string_view rtf) {
  std::u16string out;
  for (std::size_t k = 0; k + 1 < rtf.size(); ++k) {
    if (rtf[k] != '\\') continue;
    if (rtf[k + 1] == '\\' || rtf[k + 1] == '{' || rtf[k + 1] == '}') {
      ++k;
      continue;
    }
    if (rtf.compare(k, 4, "\\par") == 0 && (k + 4 >= rtf.size() || !std::isalpha(static_cast<unsigned char>(rtf[k + 4])))) {
      out += u'\n';
      continue;
    }
    if ((rtf[k + 1] == 'u' || rtf[k + 1] == 'U') && k + 2 < rtf.size() &&
        (std::isdigit(static_cast<unsigned char>(rtf[k + 2])) || rtf[k + 2] == '-')) {
      std::size_t j = k + 2;
      bool neg = rtf[j] == '-';
      if (neg) ++j;
      long v = 0;
      while (j < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[j]))) v = v * 10 + (rtf[j++] - '0');
      if (neg) v = -v;
      out += static_cast<char16_t>(static_cast<std::uint16_t>(v));
      k = j;
    }
  }
  return out;
}

}  // namespace yig::testing

namespace yig::testing {

/// The document's text with its fonts and red marks, for comparisons:
/// "[Ededris-a]!\"[Microsoft Himalaya]<red>x</red>". A trailing paragraph
/// break is left out.
inline std::u16string describe(const rt::Document& doc) {
  std::u16string out;
  std::u16string_view text = doc.text();
  while (!text.empty() && text.back() == u'\r') text.remove_suffix(1);
  const std::u16string* font = nullptr;
  bool red = false;
  for (const rt::Document::Run& r : doc.runs()) {
    if (r.start >= text.size()) break;
    const bool isRed = r.format->color && *r.format->color == rt::Color{255, 0, 0};
    if (red && !isRed) out += u"</red>";
    if (!font || *font != r.format->font.name) {
      out += u"[" + r.format->font.name + u"]";
      font = &r.format->font.name;
    }
    if (!red && isRed) out += u"<red>";
    red = isRed;
    out += text.substr(r.start, std::min(r.end, text.size()) - r.start);
  }
  if (red) out += u"</red>";
  return out;
}

}  // namespace yig::testing

namespace yig::testing {

/// UTF-8 to UTF-16 (characters of the first plane only, which is all the
/// Tibetan test texts hold).
inline std::u16string fromUtf8(std::string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = n == 1 ? c : c & (0x7F >> n);
    for (std::size_t k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += n;
    if (cp < 0x10000) out += static_cast<char16_t>(cp);
  }
  return out;
}

inline std::string toUtf8(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

/// The syllables of a text: runs of Tibetan letters and signs between tshegs,
/// shads, blanks and other characters.
inline std::vector<std::u16string> syllables(std::u16string_view text) {
  auto inSyllable = [](char16_t c) {
    return c >= 0x0F00 && c <= 0x0FFF && c != 0x0F0B && c != 0x0F0C && !(c >= 0x0F0D && c <= 0x0F14);
  };
  std::vector<std::u16string> out;
  std::size_t k = 0;
  while (k < text.size()) {
    if (!inSyllable(text[k])) {
      ++k;
      continue;
    }
    std::size_t j = k;
    while (j < text.size() && inSyllable(text[j])) ++j;
    out.emplace_back(text.substr(k, j - k));
    k = j;
  }
  return out;
}

}  // namespace yig::testing
