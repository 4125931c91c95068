// Measures how Unicode Tibetan survives HIMA -> X -> HIMA for the national
// encodings, on a folder of UTF-8 text files.
//
//     tool_corpus_roundtrip CORPUS_DIR [CODE ...]
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

#include "cli/cli_host.h"
#include "engine/conversion_engine.h"
#include "engine/unicode_text_rtf.h"

namespace {

using yig::cli::fromUtf8;
using yig::cli::toUtf8;

bool isDelimiter(char16_t c) {
  return c < 0x0F00 || c > 0x0FFF || c == 0x0F0B || c == 0x0F0C || (c >= 0x0F0D && c <= 0x0F14) ||
         c == 0x0F00 || (c >= 0x0F01 && c <= 0x0F0A);
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
    std::cerr << "usage: tool_corpus_roundtrip CORPUS_DIR [CODE ...]\n";
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
    std::ostringstream sink;
    yig::cli::CliHost::Options opts;
    opts.sourceFontList = yig::cli::standardSourceFontList(u"HIMA");
    yig::cli::CliHost host(sink, sink, opts);
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
    yig::cli::CliHost::Options back;
    back.sourceFontList = yig::cli::standardSourceFontList(code);
    yig::cli::CliHost host2(sink, sink, back);
    host2.editor().setRtf(host.editor().rtf());
    host2.workArea().setRtf(host2.editor().rtf());
    {
      yig::ConversionEngine engine(host2);
      std::u16string s = code, d = u"HIMA";
      engine.convertFile(s, d);
    }
    std::vector<std::u16string> lines = splitLines(host2.editor().plainText());
    std::size_t ok = 0, redCount = 0, changed = 0;
    std::vector<std::pair<std::size_t, std::size_t>> failures;  // count, index
    for (std::size_t k = 0; k < syllables.size(); ++k) {
      bool same = k < lines.size() && lines[k] == syllables[k].first;
      if (redLine[k]) {
        redCount += syllables[k].second;
      } else if (same) {
        ok += syllables[k].second;
      } else {
        changed += syllables[k].second;
      }
      if (redLine[k] || !same) failures.emplace_back(syllables[k].second, k);
    }
    auto pct = [&](std::size_t n) { return 100.0 * static_cast<double>(n) / static_cast<double>(total); };
    std::cout << "\n" << toUtf8(code) << ": unchanged " << pct(ok) << "%, red " << pct(redCount) << "%, changed silently "
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
