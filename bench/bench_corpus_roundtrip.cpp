// Measures how Unicode Tibetan survives HIMA -> X -> HIMA for the national
// encodings and Sambhota, on a folder of UTF-8 text files.
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
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/corpus_roundtrip.h"
#include "documents/text_decoding.h"

namespace {

std::u16string fromUtf8(std::string_view s) { return yig::docs::decodeUtf8Lenient(s); }
std::string toUtf8(std::u16string_view s) { return yig::docs::encodeUtf8(s); }

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
  if (codes.empty()) codes = yig::corpus::kCodes;

  std::unordered_map<std::u16string, std::size_t> counts;
  std::size_t total = 0;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
    if (entry.path().extension() != ".txt") continue;
    std::ifstream f(entry.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    total += yig::corpus::countSyllables(fromUtf8(bytes), counts);
  }
  std::vector<std::pair<std::u16string, std::size_t>> syllables(counts.begin(), counts.end());
  std::sort(syllables.begin(), syllables.end(), [](auto& a, auto& b) { return a.second > b.second; });
  std::cout << "syllables: " << total << " (" << syllables.size() << " distinct)\n";
  std::vector<std::u16string> lines;
  for (const auto& s : syllables) lines.push_back(s.first);

  for (const auto& code : codes) {
    std::vector<yig::corpus::LineResult> results = yig::corpus::roundTrip(lines, code);
    std::size_t ok = 0, redCount = 0, changed = 0, equivalent = 0;
    std::vector<std::pair<std::size_t, std::size_t>> failures;  // count, index
    for (std::size_t k = 0; k < syllables.size(); ++k) {
      const auto& r = results[k];
      bool same = r.back == syllables[k].first;
      if (r.red) {
        redCount += syllables[k].second;
      } else if (same) {
        ok += syllables[k].second;
      } else if (yig::corpus::equivalent(r.back, syllables[k].first)) {
        equivalent += syllables[k].second;
      } else {
        changed += syllables[k].second;
      }
      if (r.red || !same) failures.emplace_back(syllables[k].second, k);
    }
    auto pct = [&](std::size_t n) { return 100.0 * static_cast<double>(n) / static_cast<double>(total); };
    std::cout << "\n" << toUtf8(code) << ": unchanged " << pct(ok) << "%, red " << pct(redCount)
              << "%, canonically equivalent spelling " << pct(equivalent) << "%, changed silently " << pct(changed)
              << "% (" << changed << " syllables)\n";
    std::sort(failures.begin(), failures.end(), [](auto& a, auto& b) { return a.first > b.first; });
    for (std::size_t f = 0; f < failures.size() && f < 10; ++f) {
      std::size_t k = failures[f].second;
      std::cout << "  " << failures[f].first << "x  " << toUtf8(syllables[k].first) << " [" << hex(syllables[k].first)
                << "] -> " << toUtf8(results[k].back) << " [" << hex(results[k].back) << "]"
                << (results[k].red ? " red" : "") << "\n";
    }
  }
  return 0;
}
