// The built-in Sambhota table: its stored and readable forms, its columns, and
// that every unit written to Sambhota reads back as the same text.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "bench/corpus_roundtrip.h"
#include "engine/conversion_engine.h"
#include "engine/mapping_table.h"
#include "engine/sambhota.h"
#include "tests/engine/sambhota_host.h"

namespace yig {
namespace {

std::u16string builtinTableText() {
  auto stored = builtinTables().read("SAM");
  EXPECT_TRUE(stored.has_value());
  return stored ? unscrambleTable(*stored) : std::u16string();
}

struct Line {
  std::u16string sambhota, unicode, font, dedris;
};

std::vector<Line> tableLines(std::u16string_view text) {
  std::vector<Line> lines;
  while (!text.empty()) {
    std::size_t eol = text.find(u"\r\n");
    std::u16string_view line = text.substr(0, eol);
    std::vector<std::u16string> cols;
    std::size_t start = 0;
    for (std::size_t tab = line.find(u'\t'); tab != std::u16string_view::npos; tab = line.find(u'\t', start)) {
      cols.emplace_back(line.substr(start, tab - start));
      start = tab + 1;
    }
    cols.emplace_back(line.substr(start));
    if (cols.size() == 4) lines.push_back({cols[0], cols[1], cols[2], cols[3]});
    else lines.push_back({});
    if (eol == std::u16string_view::npos) break;
    text.remove_prefix(eol + 2);
  }
  return lines;
}

// The same text up to canonical equivalence (precomposed vowels and stacks).
std::u16string equivalent(std::u16string_view s) { return corpus::canonical(s); }

TEST(SambhotaTable, StoredFormMatchesReadableForm) {
  std::ifstream in(std::string(YIG_SOURCE_DIR) + "/resources/tables/SAM.txt", std::ios::binary);
  ASSERT_TRUE(in) << "resources/tables/SAM.txt";
  std::stringstream ss;
  ss << in.rdbuf();
  std::string readable = ss.str();
  std::string crlf;
  for (std::size_t i = 0; i < readable.size(); ++i) {
    if (readable[i] == '\n' && (i == 0 || readable[i - 1] != '\r')) crlf += '\r';
    crlf += readable[i];
  }
  auto stored = builtinTables().read("SAM");
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ((*stored)[0] ^ 0x6E, 0xFF);  // byte-order mark, scrambled
  EXPECT_EQ((*stored)[1] ^ 0x6E, 0xFE);
  EXPECT_EQ(unscrambleTable(*stored), testing::fromUtf8(crlf));
}

TEST(SambhotaTable, ColumnsNameTheThirtyFonts) {
  const std::u16string text = builtinTableText();
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), u"\r\n") << "the last line must end with CR LF to be rewritten";
  std::set<std::u16string> blanks;
  std::size_t n = 0;
  for (const Line& l : tableLines(text)) {
    ++n;
    ASSERT_FALSE(l.dedris.empty()) << "line " << n << " does not have four columns";
    EXPECT_EQ(l.sambhota.size(), 1u) << "line " << n;
    EXPECT_GE(l.unicode.size(), 1u) << "line " << n;
    EXPECT_LE(l.unicode.size(), 7u) << "line " << n;
    int index = -1;
    for (std::size_t i = 0; i < sambhota::kFontSuffixes.size(); ++i) {
      std::string_view sfx = sambhota::kFontSuffixes[i];
      if (l.dedris == u"Dedris-" + std::u16string(sfx.begin(), sfx.end())) index = static_cast<int>(i);
    }
    ASSERT_GE(index, 0) << "line " << n << ": unknown font";
    std::string number = "f" + std::to_string(sambhota::kFirstBlockNumber + index);
    EXPECT_EQ(l.font, std::u16string(number.begin(), number.end())) << "line " << n;
    if (l.sambhota == u" ") {
      EXPECT_EQ(l.unicode, u" ");
      blanks.insert(l.dedris);
    }
  }
  EXPECT_EQ(blanks.size(), 30u) << "every font needs its blank";
}

TEST(SambhotaTable, EveryWrittenUnitReadsBack) {
  const std::u16string text = builtinTableText();
  MappingTable writing = buildMappingTable(text, TableDirection::UnicodeToSambhota);
  MappingTable reading = buildMappingTable(text, TableDirection::SambhotaToUnicode);
  std::size_t exact = 0, checked = 0;
  writing.forEach([&](std::u16string_view unit, std::u16string_view value) {
    ++checked;
    // "f12 c" names font 12, which is suffix 2 of the block.
    int number = std::stoi(std::string(value.begin() + 1, value.begin() + 3));
    std::string_view sfx = sambhota::kFontSuffixes[static_cast<std::size_t>(number - sambhota::kFirstBlockNumber)];
    std::u16string key = u"Dedris-" + std::u16string(sfx.begin(), sfx.end()) + u" ";
    key += value.substr(4);
    const std::u16string& back = reading.lookup(key);
    if (back == unit) ++exact;
    EXPECT_EQ(equivalent(back), equivalent(unit)) << "unit of " << unit.size() << " characters";
  });
  EXPECT_GT(checked, 2500u);
  EXPECT_GT(exact, 2500u);
}

// Every Tibetan unit of the table, one per paragraph, written to Sambhota by the
// engine and read back: the same text (or a canonically equivalent spelling).
TEST(SambhotaTable, EveryUnitSurvivesTheRoundTripThroughTheEngine) {
  std::vector<std::u16string> units;
  std::set<std::u16string> seen;
  for (const Line& l : tableLines(builtinTableText())) {
    bool tibetan = !l.unicode.empty();
    for (char16_t c : l.unicode) tibetan = tibetan && c >= 0x0F00 && c <= 0x0FFF;
    if (tibetan && seen.insert(l.unicode).second) units.push_back(l.unicode);
  }
  std::string body = "\\f0 ";
  for (const auto& u : units) body += testing::escapes(u) + "\\par\r\n";
  std::string in = testing::rtfDocument("{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}", body);

  testing::SambhotaTestHost host;
  ConversionEngine there(host);
  there.proceed = kTrue;
  std::string zz = in;
  there.WJZH_HIMA_SAM(zz);
  EXPECT_EQ(there.sfywzh, kFalse);
  ConversionEngine back(host);
  back.proceed = kTrue;
  zz = host.workArea().rtf();
  back.WJZH_SAM_HIMA(zz);
  EXPECT_EQ(back.sfywzh, kFalse);

  std::u16string_view result = host.workArea().text();
  std::size_t exact = 0, i = 0;
  std::size_t start = 0;
  for (; i < units.size(); ++i) {
    std::size_t end = result.find(u'\r', start);
    if (end == std::u16string_view::npos) break;
    std::u16string_view got = result.substr(start, end - start);
    if (got == units[i]) ++exact;
    EXPECT_EQ(equivalent(got), equivalent(units[i])) << "unit " << i;
    start = end + 1;
  }
  EXPECT_EQ(i, units.size());
  std::printf("table units: %zu, read back unchanged: %zu, equivalent: %zu\n", units.size(), exact, i);
}

}  // namespace
}  // namespace yig
