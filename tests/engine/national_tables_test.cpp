// The five built-in national tables: their stored and readable forms agree,
// their lines keep the format, and every unit survives the whole round trip
// Unicode -> national -> Unicode through the request path.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "engine/codec/cp936.h"
#include "engine/unicode_text_rtf.h"
#include "engine_test_support.h"
#include "resources/embedded.h"

namespace yig {
namespace {

const char* const kCodes[] = {"BZD", "TY", "FZ", "HG", "HKA"};

std::u16string utf8ToUtf16(const std::string& s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    char32_t c = b;
    std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (n > 1) c = b & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += n;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::u16string storedText(const char* code) {
  auto bytes = resources::find(code);
  if (!bytes) return {};
  return unscrambleTable(*bytes);
}

struct Line {
  std::u16string national, unicode;
};

std::vector<Line> lines(std::u16string_view text) {
  std::vector<Line> out;
  while (!text.empty()) {
    std::size_t eol = text.find(u"\r\n");
    std::u16string_view line = text.substr(0, eol);
    std::size_t tab = line.find(u'\t');
    std::size_t tab2 = line.find(u'\t', tab + 1);
    out.push_back({std::u16string(line.substr(0, tab)), std::u16string(line.substr(tab + 1, tab2 - tab - 1))});
    if (eol == std::u16string_view::npos) break;
    text.remove_prefix(eol + 2);
  }
  return out;
}

class NationalTables : public ::testing::TestWithParam<const char*> {};

TEST_P(NationalTables, StoredAndReadableFormsAgree) {
  const char* code = GetParam();
  std::ifstream f(std::string(YIG_SOURCE_DIR) + "/resources/tables/" + code + ".txt", std::ios::binary);
  ASSERT_TRUE(f) << code;
  std::string readable((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::u16string stored = storedText(code);
  ASSERT_FALSE(stored.empty());
  EXPECT_TRUE(stored == utf8ToUtf16(readable)) << code;
  // Every line ends with CR LF, so the Unicode-to-national direction reads all.
  EXPECT_EQ(stored.substr(stored.size() - 2), u"\r\n");
}

TEST_P(NationalTables, LinesKeepTheFormat) {
  const char* code = GetParam();
  std::string c(code);
  for (const Line& l : lines(storedText(code))) {
    ASSERT_EQ(l.national.size(), 1u) << code;
    ASSERT_FALSE(l.unicode.empty()) << code;
    for (char16_t u : l.unicode) EXPECT_TRUE(u >= 0x0F00 && u <= 0x0FFF) << code;
    if (l.unicode.size() > 7) {
      // The one unit longer than seven characters; kept for reading HG.
      EXPECT_EQ(c, "HG");
    }
    if (c == "HKA") {
      EXPECT_TRUE((l.national[0] >= 0xF300 && l.national[0] <= 0xF8FF) || l.national == l.unicode);
    } else {
      // Column 1 is a character that code page 936 writes as two bytes.
      auto bytes = cp936::encodeChar(l.national[0]);
      ASSERT_TRUE(bytes) << code;
      EXPECT_EQ(bytes->size(), 2u) << code;
    }
  }
}

// Units whose Unicode side maps to a national character that maps back to it.
std::vector<std::u16string> roundTripUnits(const char* code) {
  auto toNational = LoadMappingTable(code, TableDirection::UnicodeToNational);
  auto toUnicode = LoadMappingTable(code, TableDirection::NationalToUnicode);
  std::vector<std::u16string> units;
  for (const Line& l : lines(storedText(code))) {
    if (l.unicode.size() > 7) continue;
    // Text put in as Unicode is set in a Tibetan font up to U+0FCF only.
    if (std::any_of(l.unicode.begin(), l.unicode.end(), [](char16_t c) { return c > 0x0FCF; })) continue;
    const std::u16string& n = toNational->lookup(l.unicode);
    if (!n.empty() && toUnicode->lookup(n) == l.unicode) units.push_back(l.unicode);
  }
  return units;
}

std::u16string listFor(const std::string& code) {
  if (code == "BZD") return u" BZD;";
  if (code == "TY") return u" CHINATIBET; TIBET;";
  if (code == "FZ") return u"\\'b7\\'bd\\'d5\\'fd\\'b2\\'d8\\'ce\\'c4\\";
  if (code == "HG") return u" A-Tibetan; JBHGZW";
  return u"_Unicode;Sunshine";
}

TEST_P(NationalTables, EveryUnitSurvivesTheRoundTrip) {
  const char* code = GetParam();
  std::vector<std::u16string> units = roundTripUnits(code);
  ASSERT_GT(units.size(), 1000u) << code;
  std::u16string text;
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (i > 0) text += u"\r\n";
    text += units[i];
  }
  test::RecordingHost host;
  std::u16string input = text;
  InsertUnicodeText(host.editorDoc, input, false);
  host.area.setRtf(host.editorDoc.rtf());
  {
    ConversionEngine engine(host);
    std::u16string s = u"HIMA", d(code, code + std::char_traits<char>::length(code));
    engine.convertFile(s, d);
    EXPECT_EQ(engine.stats().unitsConverted, units.size()) << code;
  }
  host.area.setRtf(host.editorDoc.rtf());
  host.list = listFor(code);
  {
    ConversionEngine engine(host);
    std::u16string s(code, code + std::char_traits<char>::length(code)), d = u"HIMA";
    engine.convertFile(s, d);
    EXPECT_EQ(engine.stats().redMarks, 0u) << code;
  }
  std::u16string back = host.editorDoc.plainText();
  // Compare line by line to name the first unit that fails.
  std::size_t line = 0, start = 0;
  for (;;) {
    std::size_t eol = back.find(u"\r\n", start);
    std::u16string got = back.substr(start, eol == std::u16string::npos ? std::u16string::npos : eol - start);
    ASSERT_LT(line, units.size());
    if (got != units[line]) {
      ADD_FAILURE() << code << ": unit " << line << " did not come back";
      break;
    }
    ++line;
    if (eol == std::u16string::npos) break;
    start = eol + 2;
  }
  EXPECT_EQ(line, units.size()) << code;
}

INSTANTIATE_TEST_SUITE_P(All, NationalTables, ::testing::ValuesIn(kCodes),
                         [](const auto& info) { return std::string(info.param); });

TEST(NationalTablesDecisions, KnownCorrections) {
  auto bzd = LoadMappingTable("BZD", TableDirection::NationalToUnicode);
  auto fz = LoadMappingTable("FZ", TableDirection::NationalToUnicode);
  auto fzOut = LoadMappingTable("FZ", TableDirection::UnicodeToNational);
  auto hka = LoadMappingTable("HKA", TableDirection::UnicodeToNational);
  auto bzdOut = LoadMappingTable("BZD", TableDirection::UnicodeToNational);
  ASSERT_TRUE(bzd && fz && fzOut && hka && bzdOut);
  // FZ on Windows has the BZD layout: the shifted FZ runs read like BZD.
  std::u16string c1be = cp936::decode("\xC1\xBE");
  EXPECT_EQ(fz->lookup(c1be), bzd->lookup(c1be));
  EXPECT_EQ(fz->lookup(c1be), u"\u0F5B\u0F99");
  // BZD's tsheg and shad marks read in FZ too, and FZ writes them.
  EXPECT_EQ(fz->lookup(u"\uFE3D"), u"\u0F0B");
  EXPECT_EQ(fzOut->lookup(u"\u0F0B"), u"\uFE3D");
  // The FZ spacing glyphs stay out.
  EXPECT_EQ(fz->lookup(u"\uFF03"), u"");
  // Precomposed spellings are written like their pairs.
  EXPECT_EQ(bzdOut->lookup(u"\u0F57"), bzdOut->lookup(u"\u0F56\u0FB7"));
  EXPECT_FALSE(bzdOut->lookup(u"\u0F57").empty());
  // BZD BCBD draws the stack da-ga (FZ agrees); its second listing is gone.
  std::u16string bcbd = cp936::decode("\xBC\xBD");
  EXPECT_EQ(bzd->lookup(bcbd), u"\u0F51\u0F92");
  EXPECT_NE(bzdOut->lookup(u"\u0F51\u0FB2\u0F80"), bcbd);
  // HKA keeps plain letters as they are.
  EXPECT_EQ(hka->lookup(u"\u0F40"), u"\u0F40");
}

// Opens a converted BZD document in LibreOffice and checks that the Tibetan
// runs carry the font BZDBT and the table's characters.
TEST(NationalTablesLibreOffice, ConvertedBzdDocumentOpens) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "soffice not installed";
  test::RecordingHost host;
  std::u16string text = u"\u0F56\u0F7C\u0F51\u0F0B\u0F61\u0F72\u0F42\u0F0D";
  InsertUnicodeText(host.editorDoc, text, false);
  host.area.setRtf(host.editorDoc.rtf());
  ConversionEngine engine(host);
  std::u16string s = u"HIMA", d = u"BZD";
  engine.convertFile(s, d);
  std::u16string bzd = host.editorDoc.plainText();

  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("yig-lo-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  {
    std::ofstream(dir / "bzd.rtf", std::ios::binary) << host.editorDoc.rtf();
  }
  std::string cmd = "cd '" + dir.string() + "' && timeout 120 soffice -env:UserInstallation=file://" + dir.string() +
                    "/profile --headless --convert-to fodt bzd.rtf >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0 || !fs::exists(dir / "bzd.fodt")) {
    fs::remove_all(dir);
    GTEST_SKIP() << "soffice could not convert";
  }
  std::ifstream f(dir / "bzd.fodt", std::ios::binary);
  std::string xml((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  fs::remove_all(dir);
  EXPECT_NE(xml.find("BZDBT"), std::string::npos);
  // The text of the paragraph, as UTF-8, holds the BZD characters.
  std::string utf8;
  for (char16_t c : bzd) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  EXPECT_NE(xml.find(utf8.substr(0, 6)), std::string::npos);
}

}  // namespace
}  // namespace yig
