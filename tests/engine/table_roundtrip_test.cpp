// The rule all six built-in tables keep: a unit is written only with a code
// that reads back as the same text (or a canonically equivalent spelling).
// Proved for every row of the reviewed tables in resources/tables, and over
// the reference corpus through the whole request path when it is at hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_map>

#include "bench/corpus_roundtrip.h"
#include "engine/mapping_table.h"
#include "engine/sambhota.h"
#include "tests/engine/sambhota_host.h"

namespace yig {
namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// The reading key of a written value: the national character itself, or for
// Sambhota "f12 c" the Dedris name of font 12 and the character.
std::u16string readingKey(const std::u16string& code, std::u16string_view written) {
  if (code != u"SAM") return std::u16string(written);
  int number = std::stoi(std::string(written.begin() + 1, written.begin() + 3));
  std::string_view sfx = sambhota::kFontSuffixes.at(static_cast<std::size_t>(number - sambhota::kFirstBlockNumber));
  return u"Dedris-" + std::u16string(sfx.begin(), sfx.end()) + u" " + std::u16string(written.substr(4));
}

class TableRoundTrip : public ::testing::TestWithParam<std::u16string> {};

TEST_P(TableRoundTrip, EveryRowReadsBackAsWritten) {
  const std::u16string code = GetParam();
  const std::string name(code.begin(), code.end());
  std::u16string text = testing::fromUtf8(readFile(std::string(YIG_SOURCE_DIR) + "/resources/tables/" + name + ".txt"));
  ASSERT_FALSE(text.empty()) << name;
  const bool sam = code == u"SAM";
  MappingTable writing =
      buildMappingTable(text, sam ? TableDirection::UnicodeToSambhota : TableDirection::UnicodeToNational);
  MappingTable reading =
      buildMappingTable(text, sam ? TableDirection::SambhotaToUnicode : TableDirection::NationalToUnicode);

  std::size_t row = 0, written = 0;
  for (std::size_t start = 0; start < text.size(); ++row) {
    std::size_t eol = text.find(u"\r\n", start);
    ASSERT_NE(eol, std::u16string::npos) << name << " row " << row + 1 << " does not end with CR LF";
    std::u16string_view line = std::u16string_view(text).substr(start, eol - start);
    start = eol + 2;
    std::size_t tab = line.find(u'\t'), tab2 = line.find(u'\t', tab + 1);
    ASSERT_GE(std::count(line.begin(), line.end(), u'\t'), sam ? 3 : 1) << name << " row " << row + 1;
    const std::u16string unit(line.substr(tab + 1, tab2 - tab - 1));
    if (unit.size() > 7) continue;  // longer than the writing direction gathers: read only
    const std::u16string& value = writing.lookup(unit);
    ASSERT_FALSE(value.empty()) << name << " row " << row + 1;
    ++written;
    const std::u16string& back = reading.lookup(readingKey(code, value));
    EXPECT_TRUE(corpus::equivalent(back, unit))
        << name << " row " << row + 1 << ": the unit is written with a code that reads back as another text";
  }
  EXPECT_GT(written, 2000u) << name;
}

INSTANTIATE_TEST_SUITE_P(All, TableRoundTrip, ::testing::ValuesIn(corpus::kCodes),
                         [](const auto& info) { return std::string(info.param.begin(), info.param.end()); });

TEST(TableRoundTripRule, CanonicalEquivalenceIsNoMoreThanThat) {
  struct Case {
    std::u16string_view a, b;
    bool same;
  } cases[] = {
      {u"\u0F57", u"\u0F56\u0FB7", true},                 // precomposed BHA
      {u"\u0F40\u0F73", u"\u0F40\u0F71\u0F72", true},     // precomposed long I
      {u"\u0F40\u0F72\u0F71", u"\u0F40\u0F71\u0F72", true},  // canonical order of the signs
      {u"\u0F40\u0F7E\u0F72", u"\u0F40\u0F72\u0F7E", false},  // anusvara is not reordered
      {u"\u0F6A\u0FB1", u"\u0F62\u0FB1", false},          // fixed-form RA is another letter
      {u"\u0F0C", u"\u0F0B", false},                      // the non-breaking tsheg
  };
  for (const Case& c : cases) EXPECT_EQ(corpus::equivalent(c.a, c.b), c.same);
}

TEST(TableRoundTripRule, SpellingsWithoutAFaithfulCodeAreMarkedRed) {
  // TY C346 reads སྡི; ཛཱ has no other TY code. Sambhota has no glyph that reads ཪྱ or ༌.
  struct Case {
    std::u16string code, unit;
  } cases[] = {{u"TY", u"\u0F5B\u0F71"}, {u"SAM", u"\u0F6A\u0FB1"}, {u"SAM", u"\u0F0C"}};
  for (const Case& c : cases) {
    std::vector<corpus::LineResult> r = corpus::roundTrip({c.unit}, c.code);
    EXPECT_TRUE(r[0].red) << std::string(c.code.begin(), c.code.end());
    EXPECT_EQ(r[0].back, c.unit);
  }
}

// HIMA -> X -> HIMA over the distinct syllables of the reference corpus:
// every syllable comes back (canonically) the same or is marked red.
TEST(TableRoundTripCorpus, NoSyllableChangesSilently) {
  const std::filesystem::path dir = "/work/shared/reference/corpus";
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "reference corpus not present";
  std::unordered_map<std::u16string, std::size_t> counts;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() == ".txt") corpus::countSyllables(testing::fromUtf8(readFile(entry.path())), counts);
  }
  std::vector<std::u16string> lines;
  for (const auto& [syllable, n] : counts) lines.push_back(syllable);
  ASSERT_GT(lines.size(), 1000u);
  for (const std::u16string& code : corpus::kCodes) {
    std::vector<corpus::LineResult> results = corpus::roundTrip(lines, code);
    std::size_t changed = 0;
    for (std::size_t k = 0; k < lines.size(); ++k) {
      if (!results[k].red && !corpus::equivalent(results[k].back, lines[k]) && ++changed <= 3) {
        ADD_FAILURE() << std::string(code.begin(), code.end()) << ": syllable " << k << " changed silently";
      }
    }
    EXPECT_EQ(changed, 0u) << std::string(code.begin(), code.end());
  }
}

}  // namespace
}  // namespace yig
