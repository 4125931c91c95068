// The whole request: routing, the hand-over through the work area, the end
// notice, the elapsed-time caption.
#include <gtest/gtest.h>

#include "engine/codec/cp936.h"
#include "engine/engine_internals.h"
#include "engine/unicode_text_rtf.h"
#include "engine_test_support.h"

namespace yig {
namespace {

std::u16string listFor(std::u16string_view code) {
  if (code == u"BZD") return u" BZD;";
  if (code == u"TY") return u" CHINATIBET; TIBET;";
  if (code == u"SAM") return u"Dedris;Ededris;";
  return u"Himalaya;Monlam;Tibetan ; Uni;????;";
}

// Puts Unicode text into the editor (as the paste pipeline does) and copies the
// editor's RTF into the work area (as the convert command does).
void loadUnicode(test::RecordingHost& host, std::u16string text) {
  InsertUnicodeText(host.editorDoc, text, false);
  host.area.setRtf(host.editorDoc.rtf());
}

struct RouteCase {
  std::u16string src, dst;
  std::u16string message;  // the first (only) message: tells which operation ran first
};

class Routing : public ::testing::TestWithParam<RouteCase> {};

TEST_P(Routing, TheFirstMatchingRuleRuns) {
  const RouteCase& c = GetParam();
  std::u16string src = c.src, dst = c.dst;
  std::u16string upper = src;
  upperCaseCode(upper);
  test::RecordingHost host(listFor(upper));
  loadUnicode(host, u"plain latin text only");
  std::string before = host.editorDoc.rtf();
  ConversionEngine engine(host);
  engine.convertFile(src, dst);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0], c.message);
  EXPECT_EQ(engine.proceed, kFalse);
  EXPECT_EQ(engine.runNotAborted, kFalse);
  EXPECT_EQ(host.editorDoc.rtf(), before);  // a stopped request leaves the document
  for (char16_t ch : src + dst) EXPECT_FALSE(ch >= u'a' && ch <= u'z');  // codes come back upper-cased
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Routing,
    ::testing::Values(RouteCase{u"SAM", u"HIMA", u"原文本中无桑布扎2.0编码！"},    // rule 1
                      RouteCase{u"SAM", u"TY", u"原文本中无桑布扎2.0编码！"},      // rule 3
                      RouteCase{u"TY", u"SAM", u"原文本中无同元藏文！"},           // rule 4
                      RouteCase{u"bzd", u"hima", u"原文本中无班智达藏文！"},       // rule 5, lower case
                      RouteCase{u"HIMA", u"BZD", u"原文本中无Himalaya类型藏文基本集编码！"},  // rule 6
                      RouteCase{u"TY", u"BZD", u"原文本中无同元藏文！"}),          // rule 7
    [](const auto& info) { return "rule" + std::to_string(info.index); });

TEST(ConvertFile, SameCodesDoNothing) {
  test::RecordingHost host;
  loadUnicode(host, u"\u0F40");
  std::string before = host.editorDoc.rtf();
  ConversionEngine engine(host);
  std::u16string a = u"hima", b = u"HIMA";
  engine.convertFile(a, b);
  EXPECT_EQ(a, u"HIMA");
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(host.elapsed.empty());
  EXPECT_EQ(host.editorDoc.rtf(), before);
}

// The BZD character of a Unicode unit, from the built-in table.
std::u16string bzdOf(std::u16string_view unit) {
  auto map = LoadMappingTable("BZD", TableDirection::UnicodeToNational);
  return map ? map->lookup(unit) : std::u16string();
}

TEST(ConvertFile, UnicodeToBzdWritesBzdbtAndGbkBytes) {
  test::RecordingHost host;
  loadUnicode(host, u"\u0F40\u0F0B\u0F66\u0F90\u0F0B");
  ConversionEngine engine(host);
  std::u16string s = u"HIMA", d = u"BZD";
  engine.convertFile(s, d);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_FALSE(host.elapsed.empty());
  std::u16string ka = bzdOf(u"\u0F40"), tsheg = bzdOf(u"\u0F0B"), ska = bzdOf(u"\u0F66\u0F90");
  ASSERT_FALSE(ka.empty());
  EXPECT_EQ(host.editorDoc.plainText(), ka + tsheg + ska + tsheg);
  std::string rtf = host.editorDoc.rtf();
  EXPECT_NE(rtf.find("\\fcharset134 BZDBT;"), std::string::npos) << rtf;
  // The characters travel as their code page 936 bytes.
  auto bytes = cp936::encodeChar(ka[0]);
  ASSERT_TRUE(bytes && bytes->size() == 2);
  char want[16];
  std::snprintf(want, sizeof want, "\\'%02x\\'%02x", static_cast<unsigned char>((*bytes)[0]),
                static_cast<unsigned char>((*bytes)[1]));
  EXPECT_NE(rtf.find(want), std::string::npos) << rtf;
  for (std::size_t at = rtf.find("\\u"); at != std::string::npos; at = rtf.find("\\u", at + 2)) {
    char next = rtf[at + 2];
    EXPECT_FALSE(next == '-' || (next >= '0' && next <= '9')) << "a Unicode escape is left: " << rtf;
  }
  EXPECT_EQ(engine.stats().unitsConverted, 4u);
  EXPECT_EQ(engine.stats().redMarks, 0u);
}

TEST(ConvertFile, RedMarksAreReportedOnce) {
  test::RecordingHost host;
  loadUnicode(host, u"\u0F40\u0F3C\u0F0B\u0F3C");  // BZD has no ༼
  ConversionEngine engine(host);
  std::u16string s = u"HIMA", d = u"BZD";
  engine.convertFile(s, d);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0], u"转换完成，发现有不能转换的字符，请检查红色标记字符！”");
  EXPECT_EQ(engine.stats().redMarks, 2u);
  EXPECT_EQ(engine.sfywzh, kFalse);  // cleared at the end of the request
  // The unconvertible character stays, in red.
  std::u16string_view text = host.editorDoc.text();
  std::size_t at = text.find(u'\u0F3C');
  ASSERT_NE(at, std::u16string_view::npos);
  ASSERT_TRUE(host.editorDoc.formatAt(at).color.has_value());
  EXPECT_EQ(*host.editorDoc.formatAt(at).color, (rt::Color{255, 0, 0}));
}

TEST(ConvertFile, RoundTripThroughTwoEncodings) {
  const std::u16string text = u"\u0F56\u0F7C\u0F51\u0F0B\u0F61\u0F72\u0F42\u0F0D";
  test::RecordingHost host;
  loadUnicode(host, text);
  {
    ConversionEngine engine(host);
    std::u16string s = u"HIMA", d = u"TY";
    engine.convertFile(s, d);
  }
  host.area.setRtf(host.editorDoc.rtf());
  host.list = listFor(u"TY");
  {
    ConversionEngine engine(host);
    std::u16string s = u"TY", d = u"BZD";  // chained through Unicode
    engine.convertFile(s, d);
    EXPECT_EQ(engine.stats().redMarks, 0u);
  }
  host.area.setRtf(host.editorDoc.rtf());
  host.list = listFor(u"BZD");
  {
    ConversionEngine engine(host);
    std::u16string s = u"BZD", d = u"HIMA";
    engine.convertFile(s, d);
  }
  EXPECT_EQ(host.editorDoc.plainText(), text);
  EXPECT_TRUE(host.messages.empty());
}

TEST(ConvertFile, OnlyTheSavedSelectionIsReplaced) {
  test::RecordingHost host;
  std::u16string text = u"ab\u0F40\u0F0Bcd";
  InsertUnicodeText(host.editorDoc, text, false);
  host.editorDoc.select(2, 2);
  host.selStart = 2;
  host.selLength = 2;
  host.area.setRtf(host.editorDoc.selectionRtf());
  ConversionEngine engine(host);
  std::u16string s = u"HIMA", d = u"BZD";
  engine.convertFile(s, d);
  EXPECT_EQ(host.editorDoc.plainText(), u"ab" + bzdOf(u"\u0F40") + bzdOf(u"\u0F0B") + u"cd");
}

TEST(ConvertFile, ElapsedTimeCaptions) {
  using std::chrono::milliseconds;
  struct Case {
    long long ms;
    std::u16string caption;
  };
  const Case cases[] = {
      {0, u"0s"},          {250, u"0.25s"},       {7, u"0.007s"},        {3500, u"3.5s"},
      {12000, u"12s"},     {59999, u"59.999s"},   {123500, u"2:3.5"},    {60000, u"1:0"},
      {3600000 + 61000, u"61:1"},  // past the full hour the minutes keep counting
  };
  for (const auto& c : cases) EXPECT_EQ(elapsedCaption(milliseconds(c.ms)), c.caption) << c.ms;
}

}  // namespace
}  // namespace yig
