// Conversions between two non-Unicode encodings run through Unicode: the
// chains with Sambhota, and every ordered pair of the seven encodings.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <fstream>

#include "engine/conversion_engine.h"
#include "tests/engine/sambhota_host.h"

namespace yig {
namespace {

using testing::SambhotaTestHost;

std::u16string fontListFor(std::u16string_view code) {
  if (code == u"BZD") return u" BZD;";
  if (code == u"TY") return u" CHINATIBET; TIBET;";
  if (code == u"FZ") return u"\\'b7\\'bd\\'d5\\'fd\\'b2\\'d8\\'ce\\'c4\\";
  if (code == u"HG") return u" A-Tibetan; JBHGZW";
  if (code == u"HKA") return u"_Unicode;Sunshine";
  if (code == u"SAM") return u"Dedris;Ededris;";
  return u"Himalaya;Monlam;Tibetan ; Uni;????;";
}

struct Converted {
  std::string rtf;
  std::u16string text;
  std::vector<std::u16string> messages;
};

// One convert command: the document goes into the editor and the work area,
// the engine converts, the editor holds the result.
Converted convert(const std::string& rtf, std::u16string src, std::u16string dst) {
  SambhotaTestHost host;
  host.sourceList = fontListFor(src);
  host.editor().setRtf(rtf);
  host.workArea().setRtf(rtf);
  ConversionEngine engine(host);
  engine.convertFile(src, dst);
  Converted c;
  c.rtf = host.editor().rtf();
  c.text = std::u16string(host.editor().text());
  c.messages = host.messages;
  return c;
}

std::string himalaya(std::u16string_view text) {
  std::string body = "\\f0 ";
  for (char16_t c : text) {
    if (c == u'\n') body += "\\par\r\n";
    else if (c == u' ') body += ' ';
    else body += testing::escapes(std::u16string(1, c));
  }
  return testing::rtfDocument("{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}", body);
}

// A request whose (first) operation finds nothing of its source encoding shows
// that operation's message once and leaves the editor as it was.
TEST(ChainedConversions, StageOneFindingNothingShowsOnlyItsMessage) {
  struct Case {
    std::u16string src, dst, message;
  };
  const Case cases[] = {
      {u"SAM", u"BZD", u"原文本中无桑布扎2.0编码！"},
      {u"SAM", u"HKA", u"原文本中无桑布扎2.0编码！"},
      {u"TY", u"SAM", u"原文本中无同元藏文！"},
      {u"BZD", u"SAM", u"原文本中无班智达藏文！"},
      {u"HIMA", u"SAM", u"原文本中无Himalaya类型藏文基本集编码！"},
  };
  const std::string latin = testing::rtfDocument("{\\f0\\froman\\fcharset0 Times New Roman;}", "\\f0 plain text");
  for (const Case& c : cases) {
    SambhotaTestHost host;
    host.sourceList = fontListFor(c.src);
    host.editor().setRtf(latin);
    host.workArea().setRtf(latin);
    const std::string before = host.editor().rtf();
    ConversionEngine engine(host);
    std::u16string src = c.src, dst = c.dst;
    engine.convertFile(src, dst);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], c.message);
    EXPECT_EQ(host.editor().rtf(), before);
  }
}

TEST(ChainedConversions, SambhotaToNationalRunsBothStages) {
  // KA, tsheg, KHA in Dedris-a, to BZD and back to Unicode.
  const std::string sam = testing::rtfDocument("{\\f5\\froman\\fprq2\\fcharset0 Dedris-a;}", "\\f5 !-#-");
  Converted bzd = convert(sam, u"SAM", u"BZD");
  EXPECT_TRUE(bzd.messages.empty());
  EXPECT_NE(bzd.rtf.find("BZDBT"), std::string::npos) << bzd.rtf;
  EXPECT_EQ(bzd.rtf.find("\\u3904?"), std::string::npos) << "nothing may stay Unicode";
  Converted back = convert(bzd.rtf, u"BZD", u"HIMA");
  EXPECT_EQ(back.text.substr(0, 4), u"\u0F40\u0F0B\u0F41\u0F0B");
}

TEST(ChainedConversions, NationalToSambhotaWritesTheFontBlock) {
  const std::string hima = himalaya(u"\u0F56\u0F7C\u0F51\u0F0B");
  Converted ty = convert(hima, u"HIMA", u"TY");
  Converted sam = convert(ty.rtf, u"TY", u"SAM");
  EXPECT_NE(sam.rtf.find("Ededris-"), std::string::npos);
  Converted back = convert(sam.rtf, u"SAM", u"HIMA");
  EXPECT_EQ(back.text.substr(0, 4), u"\u0F56\u0F7C\u0F51\u0F0B");
}

std::u16string sampleText() {
  std::ifstream in(std::filesystem::path(YIG_TEST_DATA_DIR) / "sambhota" / "roundtrip-sample.txt", std::ios::binary);
  std::string line, all;
  for (int i = 0; i < 3 && std::getline(in, line); ++i) all += line + "\n";
  return testing::fromUtf8(all);
}

// Characters of the Tibetan block in a text. Once the text is written in another
// encoding only the units that encoding's table lacks stay Unicode (the HKA
// table holds only stacks beyond the basic set: no tsheg, hardly a single
// letter, so most characters stay Unicode there).
std::size_t tibetanCount(std::u16string_view text) {
  std::size_t n = 0;
  for (char16_t c : text) n += c >= 0x0F00 && c <= 0x0FFF;
  return n;
}

const std::u16string kCodes[] = {u"HIMA", u"SAM", u"BZD", u"TY", u"FZ", u"HG", u"HKA"};

// For every ordered pair (X, Y): a sample written in X (made from Unicode),
// converted to Y and read back to Unicode, keeps every syllable that both X's
// and Y's tables carry through their own round trip.
TEST(ChainedConversions, EveryOrderedPairKeepsTheTextBothTablesKnow) {
  const std::u16string text = sampleText();
  const std::vector<std::u16string> original = testing::syllables(text);
  ASSERT_GT(original.size(), 50u);
  const std::string hima = himalaya(text);

  std::map<std::u16string, std::string> inCode;
  std::map<std::u16string, std::vector<bool>> known;
  for (const auto& code : kCodes) {
    if (code == u"HIMA") {
      inCode[code] = hima;
      known[code] = std::vector<bool>(original.size(), true);
      continue;
    }
    Converted there = convert(hima, u"HIMA", code);
    EXPECT_LT(tibetanCount(there.text) * 3, tibetanCount(text) * 2) << std::string(code.begin(), code.end());
    inCode[code] = there.rtf;
    auto back = testing::syllables(convert(there.rtf, code, u"HIMA").text);
    ASSERT_EQ(back.size(), original.size()) << "HIMA to " << std::string(code.begin(), code.end());
    auto& k = known[code];
    for (std::size_t i = 0; i < original.size(); ++i) k.push_back(back[i] == original[i]);
  }
  for (const auto& x : kCodes) {
    for (const auto& y : kCodes) {
      if (x == y) continue;
      const std::string pair = std::string(x.begin(), x.end()) + " to " + std::string(y.begin(), y.end());
      Converted there = convert(inCode[x], x, y);
      EXPECT_TRUE(there.messages.empty() || there.messages[0].find(u"红色") != std::u16string::npos) << pair;
      if (y != u"HIMA") {
        EXPECT_LT(tibetanCount(there.text) * 3, tibetanCount(text) * 2) << pair;
      }
      std::u16string back = y == u"HIMA" ? there.text : convert(there.rtf, y, u"HIMA").text;
      auto got = testing::syllables(back);
      ASSERT_EQ(got.size(), original.size()) << pair;
      std::size_t checked = 0;
      for (std::size_t i = 0; i < original.size(); ++i) {
        if (!known[x][i] || !known[y][i]) continue;
        ++checked;
        EXPECT_EQ(got[i], original[i]) << pair << ", syllable " << i;
      }
      EXPECT_GT(checked * 10, original.size() * 9) << pair << ": too few syllables known to both tables";
      if (std::getenv("YIG_SHOW_CHANGES")) std::printf("%s: %zu of %zu syllables checked\n", pair.c_str(), checked, original.size());
    }
  }
}

}  // namespace
}  // namespace yig
