// Properties over generated documents: conversions keep what is not theirs,
// account for every unit they touch, write RTF our reader and others open,
// and undo each other; the sort returns every line once. Every test draws its
// documents from a seeded generator and prints the seed (YIG_HARDENING_SEED
// replays a run).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_host.h"
#include "engine/conversion_engine.h"
#include "engine/engine_internals.h"
#include "engine/mapping_table.h"
#include "engine/unit_matcher.h"
#include "fuzz/rtf_checks.h"
#include "resources/embedded.h"
#include "richtext/document.h"
#include "sorting/tibetan_sort.h"

namespace yig {
namespace {

std::uint32_t testSeed() {
  static const std::uint32_t seed = [] {
    const char* given = std::getenv("YIG_HARDENING_SEED");
    const std::uint32_t s = given ? static_cast<std::uint32_t>(std::strtoul(given, nullptr, 10)) : std::random_device{}();
    std::printf("hardening properties: YIG_HARDENING_SEED=%u\n", s);
    return s;
  }();
  return seed;
}

const std::vector<std::u16string> kCodes = {u"HIMA", u"BZD", u"TY", u"FZ", u"HG", u"HKA", u"SAM"};

std::u16string tableText(const std::string& code) {
  auto bytes = resources::find(code);
  if (!bytes) return {};
  return unscrambleTable(*bytes);
}

// The conversions look at no more than seven characters at once, so a longer
// key (two Sanskrit stacks of the HG table) can never match as a whole.
bool matchable(std::u16string_view key) { return !key.empty() && key.size() <= UnitMatcher::kMaxUnit; }

// Table keys usable as whole source units, sorted for a stable draw.
std::vector<std::u16string> keysOf(const std::string& code, TableDirection direction) {
  std::vector<std::u16string> keys;
  buildMappingTable(tableText(code), direction).forEach([&](std::u16string_view k, std::u16string_view v) {
    if (!k.empty() && !v.empty()) keys.emplace_back(k);
  });
  std::sort(keys.begin(), keys.end());
  return keys;
}

bool combining(char16_t c) { return c >= 0x0F71 && c <= 0x0FBD && c != 0x0F7F && c != 0x0F85; }

rt::CharFormat fontFormat(std::u16string name, int charset, int size = 24) {
  rt::CharFormat f;
  f.font.name = std::move(name);
  f.font.charset = charset;
  f.sizeHalfPoints = size;
  return f;
}

// The source font of each code, and source text drawn from its own table.
struct SourceSide {
  rt::CharFormat format;
  std::vector<std::u16string> units;
};

SourceSide buildSourceSide(const std::u16string& code) {
  if (code == u"HIMA") {
    SourceSide s{fontFormat(u"Microsoft Himalaya", 0), keysOf("BZD", TableDirection::UnicodeToNational)};
    std::erase_if(s.units, [](const std::u16string& k) { return combining(k[0]); });
    return s;
  }
  if (code == u"SAM") {
    // Sambhota keys are "<font> <character>": the character in that font.
    SourceSide s{fontFormat(u"Ededris-a", 2), {}};
    for (const std::u16string& k : keysOf("SAM", TableDirection::SambhotaToUnicode)) {
      if (k.starts_with(u"Dedris-a ") && k.size() == 10) s.units.push_back(k.substr(9));
    }
    return s;
  }
  static const std::map<std::u16string, std::u16string> fonts = {
      {u"BZD", u"BZDBT"}, {u"TY", u"CHINATIBET"}, {u"FZ", u"方正藏文书宋"}, {u"HG", u"JBHGZW"}, {u"HKA", u"Sunshine_Unicode"}};
  SourceSide s{fontFormat(fonts.at(code), 134), {}};
  for (const std::u16string& k : keysOf(std::string(code.begin(), code.end()), TableDirection::NationalToUnicode)) {
    if (k.size() == 1) s.units.push_back(k);
  }
  return s;
}

// Built once per code: the tables are large and the tests ask often.
const SourceSide& sourceSide(const std::u16string& code) {
  static std::map<std::u16string, SourceSide> built;
  auto it = built.find(code);
  if (it == built.end()) it = built.emplace(code, buildSourceSide(code)).first;
  return it->second;
}

struct Host final : EngineHost {
  explicit Host(std::u16string sourceList) : list(std::move(sourceList)) {}
  rt::Document& editor() override { return editorDoc; }
  rt::Document& workArea() override { return area; }
  std::u16string sourceFontList() const override { return list; }
  std::u16string sambhotaFamily() const override { return u"Ededris"; }
  bool tibetanInterface() const override { return false; }
  std::u16string translateForDisplay(const std::u16string& c) const override { return c; }
  void showMessage(const std::u16string& text) override { messages.push_back(text); }
  void setProgress(int) override {}
  void setElapsedTime(const std::u16string&) override {}
  std::u16string list;
  rt::Document editorDoc, area;
  std::vector<std::u16string> messages;
};

const rt::CharFormat kLatin = fontFormat(u"Tahoma", 0, 20);
const rt::CharFormat kChinese = fontFormat(u"宋体", 134);

// A document of paragraphs mixing Latin text (with RTF's special characters),
// Chinese text, and units of the source side.
rt::Document generate(std::mt19937& rng, const SourceSide& source, int runs) {
  static const std::u16string latin = u"abc XYZ 019 {}\\;.-\t";
  static const std::u16string chinese = u"中文藏汉字典编码转换测试，。";
  rt::Document doc;
  for (int r = 0; r < runs; ++r) {
    const int kind = static_cast<int>(rng() % 4);
    std::u16string text;
    const int n = 1 + static_cast<int>(rng() % 12);
    for (int i = 0; i < n; ++i) {
      if (kind == 0) text += latin[rng() % latin.size()];
      if (kind == 1) text += chinese[rng() % chinese.size()];
      if (kind >= 2 && !source.units.empty()) text += source.units[rng() % source.units.size()];
    }
    if (rng() % 5 == 0) text += u'\r';
    doc.append(text, kind == 0 ? kLatin : kind == 1 ? kChinese : source.format);
  }
  return doc;
}

// Text of the runs in the Latin and Chinese fonts, paragraph marks left out.
std::u16string foreignText(const rt::Document& doc) {
  std::u16string out;
  for (const rt::Document::Run& run : doc.runs()) {
    if (run.format->font.name != kLatin.font.name && run.format->font.name != kChinese.font.name) continue;
    for (std::size_t i = run.start; i < run.end; ++i) {
      if (doc.text()[i] != u'\r') out += doc.text()[i];
    }
  }
  return out;
}

struct Converted {
  rt::Document document;
  std::string rtf;
  ConversionStats stats;
  std::u16string refusal;
};

Converted convert(const rt::Document& input, std::u16string from, std::u16string to) {
  Host host(cli::standardSourceFontList(from));
  host.editorDoc.setRtf(input.rtf());
  host.area.setRtf(host.editorDoc.rtf());
  ConversionEngine engine(host);
  std::string written;
  EngineInternals::copyOutputTo(engine, &written);
  engine.convertFile(from, to);
  Converted c;
  c.rtf = written;
  c.document.setRtf(host.editorDoc.rtf());
  c.stats = engine.stats();
  c.refusal = engine.refusal();
  return c;
}

TEST(ConversionProperties, TextOutsideTheSourceFontsIsKeptAndOutputIsWellFormed) {
  std::mt19937 rng(testSeed());
  for (const std::u16string& from : kCodes) {
    const SourceSide& source = sourceSide(from);
    ASSERT_FALSE(source.units.empty());
    for (const std::u16string& to : kCodes) {
      if (from == to) continue;
      for (int round = 0; round < 2; ++round) {
        const rt::Document doc = generate(rng, source, 24);
        const Converted c = convert(doc, from, to);
        SCOPED_TRACE(std::string(from.begin(), from.end()) + " to " + std::string(to.begin(), to.end()));
        EXPECT_EQ(foreignText(c.document), foreignText(doc));
        if (!c.rtf.empty()) {
          EXPECT_EQ(hardening::rtfProblem(c.rtf, false), "");
          rt::Document reread;
          EXPECT_TRUE(reread.setRtf(c.rtf).ok);
        }
      }
    }
  }
}

TEST(ConversionProperties, EverySourceUnitIsConvertedOrMarkedRed) {
  std::mt19937 rng(testSeed() + 1);
  const rt::CharFormat himaFormat = sourceSide(u"HIMA").format;
  for (const std::u16string code : {u"BZD", u"TY", u"FZ", u"HG", u"HKA"}) {
    SCOPED_TRACE(std::string(code.begin(), code.end()));
    const std::string narrow(code.begin(), code.end());
    // Unicode Tibetan to the national encoding: known units and characters
    // the table lacks, each on its own between blanks.
    const MappingTable toNational = buildMappingTable(tableText(narrow), TableDirection::UnicodeToNational);
    std::vector<std::u16string> known = keysOf(narrow, TableDirection::UnicodeToNational);
    std::erase_if(known, [](const std::u16string& k) { return !matchable(k) || combining(k[0]); });
    std::vector<char16_t> unknown;
    for (char16_t c = 0x0F00; c <= 0x0FFF; ++c) {
      if (!combining(c) && toNational.lookup(std::u16string(1, c)).empty()) unknown.push_back(c);
    }
    ASSERT_FALSE(known.empty());
    ASSERT_FALSE(unknown.empty());
    rt::Document doc;
    std::size_t knownCount = 0, unknownCount = 0;
    for (int i = 0; i < 200; ++i) {
      if (rng() % 4 == 0) {
        doc.append(std::u16string(1, unknown[rng() % unknown.size()]), himaFormat);
        ++unknownCount;
      } else {
        doc.append(known[rng() % known.size()], himaFormat);
        ++knownCount;
      }
      doc.append(u" ", himaFormat);
    }
    Converted c = convert(doc, u"HIMA", code);
    EXPECT_EQ(c.stats.unitsConverted, knownCount);
    EXPECT_EQ(c.stats.redMarks, unknownCount);

    // And back: characters of the national font the table lacks (private-use
    // characters outside code page 936) are left red.
    const SourceSide& national = sourceSide(code);
    rt::Document back;
    knownCount = unknownCount = 0;
    const MappingTable toUnicode = buildMappingTable(tableText(narrow), TableDirection::NationalToUnicode);
    for (int i = 0; i < 200; ++i) {
      if (rng() % 4 == 0) {
        char16_t c = static_cast<char16_t>(0xF000 + rng() % 0x800);
        if (!toUnicode.lookup(std::u16string(1, c)).empty()) continue;
        back.append(std::u16string(1, c), national.format);
        ++unknownCount;
      } else {
        back.append(national.units[rng() % national.units.size()], national.format);
        ++knownCount;
      }
    }
    c = convert(back, code, u"HIMA");
    EXPECT_EQ(c.stats.unitsConverted, knownCount);
    EXPECT_EQ(c.stats.redMarks, unknownCount);
  }
}

TEST(ConversionProperties, UnicodeToEachEncodingAndBackIsTheIdentityOnKnownUnits) {
  std::mt19937 rng(testSeed() + 2);
  for (const std::u16string code : {u"BZD", u"TY", u"FZ", u"HG", u"HKA", u"SAM"}) {
    SCOPED_TRACE(std::string(code.begin(), code.end()));
    // Units the table knows in both directions with the same pair.
    std::vector<std::u16string> units;
    if (code == u"SAM") {
      // Rows: character, Unicode, font code, font name.
      const std::u16string table = tableText("SAM");
      const MappingTable there = buildMappingTable(table, TableDirection::UnicodeToSambhota);
      const MappingTable back = buildMappingTable(table, TableDirection::SambhotaToUnicode);
      std::size_t start = 0;
      while (start < table.size()) {
        std::size_t end = table.find(u"\r\n", start);
        if (end == std::u16string::npos) end = table.size();
        std::vector<std::u16string> cols;
        for (std::size_t a = start; a <= end;) {
          std::size_t tab = table.find(u'\t', a);
          if (tab == std::u16string::npos || tab > end) tab = end;
          cols.emplace_back(table.substr(a, tab - a));
          a = tab + 1;
        }
        start = end + 2;
        if (cols.size() < 4 || !matchable(cols[1]) || combining(cols[1][0])) continue;
        if (there.lookup(cols[1]) == cols[2] + u" " + cols[0] && back.lookup(cols[3] + u" " + cols[0]) == cols[1]) {
          units.push_back(cols[1]);
        }
      }
    } else {
      const std::string narrow(code.begin(), code.end());
      const MappingTable there = buildMappingTable(tableText(narrow), TableDirection::UnicodeToNational);
      const MappingTable back = buildMappingTable(tableText(narrow), TableDirection::NationalToUnicode);
      there.forEach([&](std::u16string_view k, std::u16string_view v) {
        if (matchable(k) && !combining(k[0]) && back.lookup(v) == k) units.emplace_back(k);
      });
    }
    std::sort(units.begin(), units.end());
    ASSERT_GT(units.size(), 100u);
    rt::Document doc;
    std::u16string expected;
    for (int i = 0; i < 150; ++i) {
      const std::u16string& u = units[rng() % units.size()];
      doc.append(u + u" ", sourceSide(u"HIMA").format);
      expected += u + u" ";
    }
    const Converted there = convert(doc, u"HIMA", code);
    ASSERT_TRUE(there.refusal.empty());
    EXPECT_EQ(there.stats.redMarks, 0u);
    const Converted back = convert(there.document, code, u"HIMA");
    ASSERT_TRUE(back.refusal.empty());
    EXPECT_EQ(back.stats.redMarks, 0u);
    EXPECT_EQ(back.document.plainText(), expected);
  }
}

TEST(RtfProperties, RtfWrittenByUsReadsBackToTheSameDocument) {
  std::mt19937 rng(testSeed() + 3);
  const std::vector<std::u16string> names = {u"Microsoft Himalaya", u"宋体", u"Times New Roman", u"BZDBT",
                                             u"Ededris-a", u"名{}\\;", u"Font; with semicolon"};
  for (int round = 0; round < 50; ++round) {
    rt::Document doc;
    for (int r = 0; r < 40; ++r) {
      rt::CharFormat f = fontFormat(names[rng() % names.size()], std::vector<int>{0, 2, 134, 1}[rng() % 4],
                                    2 + static_cast<int>(rng() % 200));
      if (rng() % 3 == 0) f.color = rt::Color{static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()), 7};
      f.bold = rng() % 2;
      f.italic = rng() % 3 == 0;
      f.underline = rng() % 4 == 0;
      f.strike = rng() % 5 == 0;
      std::u16string text;
      const int n = 1 + static_cast<int>(rng() % 10);
      for (int i = 0; i < n; ++i) {
        static const char16_t pool[] = u"a{}\\\t\v ཀ་ཁྱེ中€\u00e9\U0001F600";
        text += pool[rng() % (std::size(pool) - 1)];
      }
      if (rng() % 6 == 0) text += u'\r';
      doc.append(text, f);
    }
    const std::string rtf = doc.rtf();
    ASSERT_EQ(hardening::rtfProblem(rtf, true), "") << rtf;
    rt::Document again;
    ASSERT_TRUE(again.setRtf(rtf).ok);
    EXPECT_TRUE(hardening::sameDocument(doc, again)) << rtf;
    EXPECT_EQ(again.rtf(), rtf);
  }
}

TEST(SortProperties, EveryNonEmptyLineComesBackOnce) {
  std::mt19937 rng(testSeed() + 4);
  const sorting::SortTables tables = sorting::SortTables::builtin();
  const std::vector<std::u16string> pieces = {u"ཀ", u"ཁ", u"ག", u"སྒྲ", u"བསྒྲུབས", u"་", u"།", u" ", u"a", u"中", u"ཨོཾ", u"ྐ"};
  for (int round = 0; round < 40; ++round) {
    std::u16string text;
    std::multiset<std::u16string> expected;
    const int lines = static_cast<int>(rng() % 60);
    for (int l = 0; l < lines; ++l) {
      std::u16string line;
      const int n = static_cast<int>(rng() % 6);
      for (int i = 0; i < n; ++i) line += pieces[rng() % pieces.size()];
      if (!line.empty()) expected.insert(line);
      text += line;
      text += u"\r\n";
    }
    const sorting::SortedText sorted = sorting::sortText(text, tables);
    std::multiset<std::u16string> got;
    for (const std::u16string* part : {&sorted.sorted, &sorted.unrankable}) {
      for (std::u16string_view line : sorting::splitLines(*part)) {
        if (!line.empty()) got.emplace(line);
      }
    }
    EXPECT_EQ(got, expected) << "round " << round;
    EXPECT_EQ(sorted.sortedLines + sorted.unrankableLines, expected.size());
  }
}

TEST(ConversionProperties, LibreOfficeOpensAConversionResult) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "soffice is not installed";
  std::mt19937 rng(testSeed() + 5);
  const rt::Document doc = generate(rng, sourceSide(u"HIMA"), 12);
  // Text as LibreOffice writes it: the Latin runs, cut at tabs and paragraph marks.
  const Converted c = convert(doc, u"HIMA", u"BZD");
  ASSERT_TRUE(c.refusal.empty());
  const auto dir = std::filesystem::temp_directory_path() / ("yig-hardening-lo-" + std::to_string(rng()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "converted.rtf", std::ios::binary) << c.document.rtf();
  const std::string command = "cd '" + dir.string() + "' && timeout 120 soffice --headless -env:UserInstallation=file://" +
                              dir.string() + "/profile --convert-to txt:Text converted.rtf >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(dir / "converted.txt", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The Latin runs come through as they were.
  for (const rt::Document::Run& run : doc.runs()) {
    if (run.format->font.name != u"Tahoma") continue;
    std::u16string piece;
    for (std::size_t i = run.start; i <= run.end; ++i) {
      const char16_t ch = i < run.end ? doc.text()[i] : u'\r';
      // Letters and digits only: the word processor's text export is not ours to judge on blanks and symbols.
      if ((ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') || (ch >= u'0' && ch <= u'9')) {
        piece += ch;
        continue;
      }
      if (!piece.empty()) {
        EXPECT_NE(text.find(cli::toUtf8(piece)), std::string::npos) << cli::toUtf8(piece);
      }
      piece.clear();
    }
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace yig
