#pragma once
// Unicode Tibetan lines through HIMA -> X -> HIMA on the full request path
// (InsertUnicodeText, convertFile to X, convertFile back), and the canonical
// equivalence the comparison allows. Shared by the corpus round-trip tool and
// the table tests.
#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/conversion_engine.h"
#include "engine/encodings.h"
#include "engine/host.h"
#include "engine/unicode_text_rtf.h"
#include "richtext/document.h"

namespace yig::corpus {

/// The encodings a round trip can go through.
inline const std::vector<std::u16string> kCodes = {u"BZD", u"TY", u"FZ", u"HG", u"HKA", u"SAM"};

/// The conversion panel's font-name patterns for a source encoding.
inline std::u16string sourceList(std::u16string_view code) {
  return std::u16string(info(encodingFromCode(code).value_or(Encoding::HIMA)).sourceFontList);
}

// A silent host: two documents and a source font list.
class QuietHost final : public EngineHost {
 public:
  explicit QuietHost(std::u16string list) : list_(std::move(list)) {}
  rt::Document& editor() override { return editor_; }
  rt::Document& workArea() override { return area_; }
  std::u16string sourceFontList() const override { return list_; }
  std::u16string sambhotaFamily() const override { return u"Ededris"; }
  bool tibetanInterface() const override { return false; }
  std::u16string translateForDisplay(const std::u16string& s) const override { return s; }
  void showMessage(const std::u16string&) override {}
  void setProgress(int) override {}
  void setElapsedTime(const std::u16string&) override {}

 private:
  std::u16string list_;
  rt::Document editor_, area_;
};

/// Tibetan marks and everything outside the block end a syllable.
inline bool isDelimiter(char16_t c) { return c < 0x0F15 || c > 0x0FFF; }

/// Adds the syllables of `text` to `counts`; returns how many it found.
inline std::size_t countSyllables(std::u16string_view text, std::unordered_map<std::u16string, std::size_t>& counts) {
  std::size_t found = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (isDelimiter(text[i])) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && !isDelimiter(text[j])) ++j;
    ++counts[std::u16string(text.substr(i, j - i))];
    ++found;
    i = j;
  }
  return found;
}

/// Tibetan text in canonical decomposition: precomposed letters and vowels
/// split, each run of combining signs in canonical order.
inline std::u16string canonical(std::u16string_view s) {
  static const std::pair<char16_t, std::u16string_view> kPairs[] = {
      {0x0F43, u"\u0F42\u0FB7"}, {0x0F4D, u"\u0F4C\u0FB7"}, {0x0F52, u"\u0F51\u0FB7"}, {0x0F57, u"\u0F56\u0FB7"},
      {0x0F5C, u"\u0F5B\u0FB7"}, {0x0F69, u"\u0F40\u0FB5"}, {0x0F73, u"\u0F71\u0F72"}, {0x0F75, u"\u0F71\u0F74"},
      {0x0F76, u"\u0FB2\u0F80"}, {0x0F78, u"\u0FB3\u0F80"}, {0x0F81, u"\u0F71\u0F80"}, {0x0F93, u"\u0F92\u0FB7"},
      {0x0F9D, u"\u0F9C\u0FB7"}, {0x0FA2, u"\u0FA1\u0FB7"}, {0x0FA7, u"\u0FA6\u0FB7"}, {0x0FAC, u"\u0FAB\u0FB7"},
      {0x0FB9, u"\u0F90\u0FB5"}};
  auto combiningClass = [](char16_t c) -> int {
    switch (c) {
      case 0x0F71: return 129;
      case 0x0F72: case 0x0F7A: case 0x0F7B: case 0x0F7C: case 0x0F7D: case 0x0F80: return 130;
      case 0x0F74: return 132;
      case 0x0F84: return 9;
      case 0x0F39: return 216;
      case 0x0F18: case 0x0F19: case 0x0F35: case 0x0F37: case 0x0FC6: return 220;
      case 0x0F82: case 0x0F83: case 0x0F86: case 0x0F87: return 230;
      default: return 0;
    }
  };
  std::u16string out;
  for (char16_t c : s) {
    auto it = std::find_if(std::begin(kPairs), std::end(kPairs), [c](const auto& p) { return p.first == c; });
    if (it == std::end(kPairs)) out += c;
    else out += it->second;
  }
  for (std::size_t i = 0; i < out.size();) {
    std::size_t j = i;
    while (j < out.size() && combiningClass(out[j]) != 0) ++j;
    std::stable_sort(out.begin() + static_cast<std::ptrdiff_t>(i), out.begin() + static_cast<std::ptrdiff_t>(j),
                     [&](char16_t a, char16_t b) { return combiningClass(a) < combiningClass(b); });
    i = j == i ? i + 1 : j;
  }
  return out;
}

inline bool equivalent(std::u16string_view a, std::u16string_view b) { return canonical(a) == canonical(b); }

/// What became of one line: the text read back, and whether the way to X marked it red.
struct LineResult {
  std::u16string back;
  bool red = false;
};

/// Converts the lines to `code` and back, one paragraph per line.
inline std::vector<LineResult> roundTrip(const std::vector<std::u16string>& lines, const std::u16string& code) {
  std::u16string joined;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (k > 0) joined += u"\r\n";
    joined += lines[k];
  }
  std::vector<LineResult> out(lines.size());
  QuietHost there(sourceList(u"HIMA"));
  InsertUnicodeText(there.editor(), joined, false);
  there.workArea().setRtf(there.editor().rtf());
  {
    ConversionEngine engine(there);
    std::u16string s = u"HIMA", d = code;
    engine.convertFile(s, d);
  }
  const rt::Color red{255, 0, 0};
  std::u16string_view t = there.editor().text();
  for (std::size_t p = 0, line = 0; p < t.size() && line < out.size(); ++p) {
    if (t[p] == u'\r') {
      ++line;
      continue;
    }
    const auto& color = there.editor().formatAt(p).color;
    if (color && *color == red) out[line].red = true;
  }
  QuietHost back(sourceList(code));
  back.editor().setRtf(there.editor().rtf());
  back.workArea().setRtf(back.editor().rtf());
  {
    ConversionEngine engine(back);
    std::u16string s = code, d = u"HIMA";
    engine.convertFile(s, d);
  }
  std::u16string text = back.editor().plainText();
  std::size_t start = 0;
  for (std::size_t line = 0; line < out.size(); ++line) {
    std::size_t eol = text.find(u"\r\n", start);
    out[line].back = text.substr(start, eol == std::u16string::npos ? std::u16string::npos : eol - start);
    if (eol == std::u16string::npos) break;
    start = eol + 2;
  }
  return out;
}

}  // namespace yig::corpus
