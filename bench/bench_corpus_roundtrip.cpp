// Measures how Unicode Tibetan survives HIMA -> X -> HIMA for the national
// encodings, on a folder of UTF-8 text files.
//
//     bench_corpus_roundtrip CORPUS_DIR [CODE ...]
//
// (Not a timing benchmark: it lives with the benchmarks to share their build.)
//
// The distinct syllables of the corpus (runs of Tibetan letters and signs
// between tshegs, shads, blanks and other characters) are converted once, one
// per line, through the full request path (InsertUnicodeText, convertFile to X,
// convertFile back to HIMA). For every encoding it prints, weighted by how often
// each syllable occurs: the share that comes back unchanged without red marks,
// the share marked red on the way to X, the share changed silently, and the
// ten most frequent failures.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "documents/text_decoding.h"
#include "engine/conversion_engine.h"
#include "engine/host.h"
#include "engine/unicode_text_rtf.h"
#include "richtext/document.h"

namespace {

std::u16string fromUtf8(std::string_view s) { return yig::docs::decodeUtf8Lenient(s); }
std::string toUtf8(std::u16string_view s) { return yig::docs::encodeUtf8(s); }

std::u16string sourceList(std::u16string_view code) {
  if (code == u"BZD") return u" BZD;";
  if (code == u"TY") return u" CHINATIBET; TIBET;";
  if (code == u"FZ") return u"\\'b7\\'bd\\'d5\\'fd\\'b2\\'d8\\'ce\\'c4\\";
  if (code == u"HG") return u" A-Tibetan; JBHGZW";
  if (code == u"HKA") return u"_Unicode;Sunshine";
  return u"Himalaya;Monlam;Tibetan ; Uni;????;";
}

// A silent host: two documents and a source font list.
class QuietHost final : public yig::EngineHost {
 public:
  explicit QuietHost(std::u16string list) : list_(std::move(list)) {}
  yig::rt::Document& editor() override { return editor_; }
  yig::rt::Document& workArea() override { return area_; }
  std::u16string sourceFontList() const override { return list_; }
  std::u16string sambhotaFamily() const override { return u"Ededris"; }
  bool tibetanInterface() const override { return false; }
  std::u16string translateForDisplay(const std::u16string& s) const override { return s; }
  void showMessage(const std::u16string&) override {}
  void setProgress(int) override {}
  void setElapsedTime(const std::u16string&) override {}

 private:
  std::u16string list_;
  yig::rt::Document editor_, area_;
};

bool isDelimiter(char16_t c) {
  return c < 0x0F00 || c > 0x0FFF || c == 0x0F0B || c == 0x0F0C || (c >= 0x0F0D && c <= 0x0F14) ||
         c == 0x0F00 || (c >= 0x0F01 && c <= 0x0F0A);
}

// Tibetan text with the precomposed letters and vowels written as their pairs.
std::u16string decomposed(std::u16string_view s) {
  static const std::pair<char16_t, std::u16string_view> kPairs[] = {
      {0x0F43, u"\u0F42\u0FB7"}, {0x0F4D, u"\u0F4C\u0FB7"}, {0x0F52, u"\u0F51\u0FB7"}, {0x0F57, u"\u0F56\u0FB7"},
      {0x0F5C, u"\u0F5B\u0FB7"}, {0x0F69, u"\u0F40\u0FB5"}, {0x0F73, u"\u0F71\u0F72"}, {0x0F75, u"\u0F71\u0F74"},
      {0x0F76, u"\u0FB2\u0F80"}, {0x0F78, u"\u0FB3\u0F80"}, {0x0F81, u"\u0F71\u0F80"}, {0x0F93, u"\u0F92\u0FB7"},
      {0x0F9D, u"\u0F9C\u0FB7"}, {0x0FA2, u"\u0FA1\u0FB7"}, {0x0FA7, u"\u0FA6\u0FB7"}, {0x0FAC, u"\u0FAB\u0FB7"},
      {0x0FB9, u"\u0F90\u0FB5"}};
  std::u16string out;
  for (char16_t c : s) {
    bool done = false;
    for (const auto& [one, two] : kPairs) {
      if (c == one) {
        out += two;
        done = true;
        break;
      }
    }
    if (!done) out += c;
  }
  return out;
}

std::vector<std::u16string> splitLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  for (;;) {
    std::size_t eol = text.find(u"\r\n", start);
    lines.emplace_back(text.substr(start, eol == std::u16string_view::npos ? std::u16string_view::npos : eol - start));
    if (eol == std::u16string_view::npos) break;
    start = eol + 2;
  }
  return lines;
}

std::string hex(std::u16string_view s) {
  std::ostringstream os;
  for (char16_t c : s) os << (os.tellp() ? " " : "") << std::hex << std::uppercase << static_cast<int>(c);
  return os.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: bench_corpus_roundtrip CORPUS_DIR [CODE ...]\n";
    return 2;
  }
  std::vector<std::u16string> codes;
  for (int i = 2; i < argc; ++i) codes.push_back(fromUtf8(argv[i]));
  if (codes.empty()) codes = {u"BZD", u"TY", u"FZ", u"HG", u"HKA"};

  std::unordered_map<std::u16string, std::size_t> counts;
  std::size_t total = 0;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
    if (entry.path().extension() != ".txt") continue;
    std::ifstream f(entry.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::u16string text = fromUtf8(bytes);
    std::size_t i = 0;
    while (i < text.size()) {
      if (isDelimiter(text[i])) {
        ++i;
        continue;
      }
      std::size_t j = i;
      while (j < text.size() && !isDelimiter(text[j])) ++j;
      ++counts[text.substr(i, j - i)];
      ++total;
      i = j;
    }
  }
  std::vector<std::pair<std::u16string, std::size_t>> syllables(counts.begin(), counts.end());
  std::sort(syllables.begin(), syllables.end(), [](auto& a, auto& b) { return a.second > b.second; });
  std::cout << "syllables: " << total << " (" << syllables.size() << " distinct)\n";

  std::u16string joined;
  for (std::size_t k = 0; k < syllables.size(); ++k) {
    if (k > 0) joined += u"\r\n";
    joined += syllables[k].first;
  }

  const yig::rt::Color red{255, 0, 0};
  for (const auto& code : codes) {
    QuietHost host(sourceList(u"HIMA"));
    std::u16string text = joined;
    yig::InsertUnicodeText(host.editor(), text, false);
    host.workArea().setRtf(host.editor().rtf());
    {
      yig::ConversionEngine engine(host);
      std::u16string s = u"HIMA", d = code;
      engine.convertFile(s, d);
    }
    // Which lines hold a red character after the first step.
    std::vector<bool> redLine(syllables.size(), false);
    {
      std::u16string_view t = host.editor().text();
      std::size_t line = 0;
      for (std::size_t p = 0; p < t.size() && line < redLine.size(); ++p) {
        if (t[p] == u'\r') {
          ++line;
          continue;
        }
        const auto& color = host.editor().formatAt(p).color;
        if (color && *color == red) redLine[line] = true;
      }
    }
    QuietHost host2(sourceList(code));
    host2.editor().setRtf(host.editor().rtf());
    host2.workArea().setRtf(host2.editor().rtf());
    {
      yig::ConversionEngine engine(host2);
      std::u16string s = code, d = u"HIMA";
      engine.convertFile(s, d);
    }
    std::vector<std::u16string> lines = splitLines(host2.editor().plainText());
    std::size_t ok = 0, redCount = 0, changed = 0, equivalent = 0;
    std::vector<std::pair<std::size_t, std::size_t>> failures;  // count, index
    for (std::size_t k = 0; k < syllables.size(); ++k) {
      bool same = k < lines.size() && lines[k] == syllables[k].first;
      if (redLine[k]) {
        redCount += syllables[k].second;
      } else if (same) {
        ok += syllables[k].second;
      } else if (k < lines.size() && decomposed(lines[k]) == decomposed(syllables[k].first)) {
        equivalent += syllables[k].second;
      } else {
        changed += syllables[k].second;
      }
      if (redLine[k] || !same) failures.emplace_back(syllables[k].second, k);
    }
    auto pct = [&](std::size_t n) { return 100.0 * static_cast<double>(n) / static_cast<double>(total); };
    std::cout << "\n" << toUtf8(code) << ": unchanged " << pct(ok) << "%, red " << pct(redCount) << "%, canonically equivalent spelling " << pct(equivalent)
              << "%, changed silently "
              << pct(changed) << "%  (lines " << lines.size() << ")\n";
    std::sort(failures.begin(), failures.end(), [](auto& a, auto& b) { return a.first > b.first; });
    for (std::size_t f = 0; f < failures.size() && f < 10; ++f) {
      std::size_t k = failures[f].second;
      std::cout << "  " << failures[f].first << "x  " << toUtf8(syllables[k].first) << " [" << hex(syllables[k].first)
                << "] -> " << (k < lines.size() ? toUtf8(lines[k]) : "?") << " ["
                << (k < lines.size() ? hex(lines[k]) : "") << "]" << (redLine[k] ? " red" : "") << "\n";
    }
  }
  return 0;
}
