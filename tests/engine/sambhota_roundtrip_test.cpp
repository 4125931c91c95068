// Unicode Tibetan text written to Sambhota and read back: the share of
// syllables that survive unchanged, over a small sample kept with the tests
// and, when it is present, the shared reference corpus.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "engine/conversion_engine.h"
#include "tests/engine/sambhota_host.h"

namespace yig {
namespace {

// The lines of a text as an RTF document in Microsoft Himalaya: Unicode as
// "\uN?" escapes, one paragraph per line.
std::string himalayaDocument(const std::vector<std::u16string>& lines) {
  std::string body = "\\f0 ";
  for (const auto& line : lines) {
    for (char16_t c : line) {
      if (c == u'\\' || c == u'{' || c == u'}') {
        body += '\\';
        body += static_cast<char>(c);
      } else if (c >= 0x20 && c < 0x7F) {
        body += static_cast<char>(c);
      } else {
        body += "\\u" + std::to_string(static_cast<int>(static_cast<std::int16_t>(c))) + "?";
      }
    }
    body += "\\par\r\n";
  }
  return testing::rtfDocument("{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}", body);
}

struct RoundTrip {
  std::size_t syllables = 0, unchanged = 0, lines = 0, linesChanged = 0;
  std::map<std::pair<std::u16string, std::u16string>, std::size_t> failures;
};

// Writes the lines to Sambhota and back and compares them syllable by syllable.
RoundTrip roundTrip(const std::vector<std::u16string>& lines) {
  testing::SambhotaTestHost host;
  ConversionEngine there(host);
  there.proceed = kTrue;
  std::string zz = himalayaDocument(lines);
  there.WJZH_HIMA_SAM(zz);
  ConversionEngine back(host);
  back.proceed = kTrue;
  zz = host.workArea().rtf();
  back.WJZH_SAM_HIMA(zz);
  std::u16string_view result = host.workArea().text();

  RoundTrip r;
  std::size_t start = 0;
  for (const auto& line : lines) {
    std::size_t end = result.find(u'\r', start);
    std::u16string_view got = result.substr(start, end == std::u16string_view::npos ? result.npos : end - start);
    start = end == std::u16string_view::npos ? result.size() : end + 1;
    auto want = testing::syllables(line);
    auto have = testing::syllables(got);
    ++r.lines;
    if (got != line) {
      ++r.linesChanged;
      if (std::getenv("YIG_SHOW_CHANGES")) {
        std::size_t i = 0;
        while (i < got.size() && i < line.size() && got[i] == line[i]) ++i;
        std::printf("  line differs at %zu: U+%04X vs U+%04X\n", i, i < line.size() ? unsigned(line[i]) : 0u,
                    i < got.size() ? unsigned(got[i]) : 0u);
        std::size_t from = i > 8 ? i - 8 : 0;
        for (std::size_t q = from; q < i + 8 && q < line.size(); ++q) std::printf(" %04X", unsigned(line[q]));
        std::printf("\n");
        for (std::size_t q = from; q < i + 8 && q < got.size(); ++q) std::printf(" %04X", unsigned(got[q]));
        std::printf("\n");
      }
    }
    r.syllables += want.size();
    if (want.size() != have.size()) {
      r.failures[{std::u16string(line.substr(0, 20)), u"(syllable count differs)"}] += want.size();
      continue;
    }
    for (std::size_t i = 0; i < want.size(); ++i) {
      if (want[i] == have[i]) ++r.unchanged;
      else ++r.failures[{std::u16string(want[i]), std::u16string(have[i])}];
    }
  }
  return r;
}

std::vector<std::u16string> readLines(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::u16string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(testing::fromUtf8(line));
  }
  return lines;
}

void report(const char* what, const RoundTrip& r) {
  std::printf("%s: %zu syllables, %zu unchanged (%.2f%%), %zu of %zu lines changed\n", what, r.syllables, r.unchanged,
              r.syllables ? 100.0 * static_cast<double>(r.unchanged) / static_cast<double>(r.syllables) : 0.0,
              r.linesChanged, r.lines);
  std::vector<std::pair<std::size_t, std::pair<std::u16string, std::u16string>>> top;
  for (const auto& [k, v] : r.failures) top.push_back({v, k});
  std::sort(top.begin(), top.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  for (std::size_t i = 0; i < top.size() && i < 10; ++i)
    std::printf("  %6zu  %s -> %s\n", top[i].first, testing::toUtf8(top[i].second.first).c_str(),
                testing::toUtf8(top[i].second.second).c_str());
}

TEST(SambhotaRoundTrip, SampleSurvivesUnchanged) {
  auto lines = readLines(std::filesystem::path(YIG_TEST_DATA_DIR) / "sambhota" / "roundtrip-sample.txt");
  ASSERT_FALSE(lines.empty());
  RoundTrip r = roundTrip(lines);
  report("sample", r);
  EXPECT_GT(r.syllables, 500u);
  // Every syllable of the sample is drawn by the table's units.
  EXPECT_EQ(r.unchanged, r.syllables);
}

TEST(SambhotaRoundTrip, ReferenceCorpus) {
  const std::filesystem::path dir = "/work/shared/reference/corpus";
  if (!std::filesystem::exists(dir)) GTEST_SKIP() << "reference corpus not present";
  RoundTrip all;
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().extension() == ".txt") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  for (const auto& f : files) {
    RoundTrip r = roundTrip(readLines(f));
    report(f.filename().string().c_str(), r);
    all.syllables += r.syllables;
    all.unchanged += r.unchanged;
    all.lines += r.lines;
    all.linesChanged += r.linesChanged;
    for (const auto& [k, v] : r.failures) all.failures[k] += v;
  }
  report("corpus", all);
  EXPECT_GT(all.unchanged * 100, all.syllables * 95);
}

}  // namespace
}  // namespace yig
