#include "engine/unicode_text_rtf.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using yig::BuildUnicodeTextRtf;
using yig::kUnicodeTextRtfHeader;

std::string wrap(std::string_view body) { return "{" + std::string(kUnicodeTextRtfHeader) + std::string(body) + "}}"; }

TEST(UnicodeTextRtf, HeaderIsExact) {
  EXPECT_EQ(kUnicodeTextRtfHeader,
            R"({\rtf1\ansi\ansicpg936\deff0\deflang1033\deflangfe2052{\fonttbl{\f0\fnil\fcharset0 Microsoft Himalaya;})"
            R"({\f1\fmodern\fprq6\fcharset134 \'cb\'ce\'cc\'e5;}{\f2\fmodern\fprq6\fcharset0 Tahoma;}})"
            R"({\colortbl ;\red255\green0\blue0;})");
}

TEST(UnicodeTextRtf, Bodies) {
  struct Case {
    const char* name;
    std::u16string text;
    bool red;
    std::string body;
  };
  const Case cases[] = {
      {"three classes", u"\u0F40a\u4E2D", false, R"(\f0\fs48\U3904?\f2\fs24\U97?\f1\fs24\U20013?)"},
      {"same class twice", u"\u0F40\u0F41", false, R"(\f0\fs48\U3904?\U3905?)"},
      {"private use is Chinese class, negative", u"\uF300", false, R"(\f1\fs24\U-3328?)"},
      {"lines continue the class", u"A\r\nB", false, R"(\f2\fs24\U65?\par \U66?)"},
      {"class change at line start", u"\u0F40\r\nb", false, R"(\f0\fs48\U3904?\par \f2\fs24\U98?)"},
      {"red before every character", u"\u0F40\u0F41a", true, R"(\cf1\f0\fs48\U3904?\cf1\U3905?\cf1\f2\fs24\U97?)"},
      {"red across lines", u"a\r\nb", true, R"(\cf1\f2\fs24\U97?\par \cf1\U98?)"},
      {"below Tibetan block", u"\u0EFF", false, R"(\f2\fs24\U3839?)"},
      {"first Tibetan", u"\u0F00", false, R"(\f0\fs48\U3840?)"},
      {"last Tibetan", u"\u0FCF", false, R"(\f0\fs48\U4047?)"},
      {"past the Tibetan range", u"\u0FD0", false, R"(\f2\fs24\U4048?)"},
      {"last Latin-class code", u"\u2018", false, R"(\f2\fs24\U8216?)"},
      {"first Chinese-class code", u"\u2019", false, R"(\f1\fs24\U8217?)"},
      {"largest positive", u"\u7FFF", false, R"(\f1\fs24\U32767?)"},
      {"smallest negative", u"\u8000", false, R"(\f1\fs24\U-32768?)"},
      {"U+FFFF", u"\uFFFF", false, R"(\f1\fs24\U-1?)"},
      {"surrogate pair as two units", u"\U0001F600", false, R"(\f1\fs24\U-10179?\U-8704?)"},
      {"RTF specials are escaped too", u"{\\}", false, R"(\f2\fs24\U123?\U92?\U125?)"},
      {"lone LF is a character", u"a\nb", false, R"(\f2\fs24\U97?\U10?\U98?)"},
      {"lone CR is a character", u"a\rb", false, R"(\f2\fs24\U97?\U13?\U98?)"},
      {"CR before CR LF", u"a\r\r\nb", false, R"(\f2\fs24\U97?\U13?\par \U98?)"},
      {"trailing CR LF gives an empty last line", u"a\r\n", false, R"(\f2\fs24\U97?\par )"},
      {"only line breaks", u"\r\n\r\n", false, R"(\par \par )"},
      {"empty first line", u"\r\n\u4E2D", false, R"(\par \f1\fs24\U20013?)"},
      {"NUL", std::u16string(1, u'\0'), false, R"(\f2\fs24\U0?)"},
  };
  for (const auto& tc : cases) EXPECT_EQ(BuildUnicodeTextRtf(tc.text, tc.red), wrap(tc.body)) << tc.name;
}

TEST(UnicodeTextRtf, EmptyTextHasNoHeader) {
  EXPECT_EQ(BuildUnicodeTextRtf(u"", false), "{}}");
  EXPECT_EQ(BuildUnicodeTextRtf(u"", true), "{}}");
}

TEST(UnicodeTextRtf, OutputIsSevenBitAndBalanced) {
  std::u16string text;
  for (char32_t c = 1; c < 0x10000; c += 97) text.push_back(static_cast<char16_t>(c));
  const std::string rtf = BuildUnicodeTextRtf(text, true);
  int depth = 0;
  for (std::size_t i = 0; i < rtf.size(); ++i) {
    ASSERT_LT(static_cast<unsigned char>(rtf[i]), 0x80) << i;
    if (rtf[i] == '{') ++depth;
    if (rtf[i] == '}') --depth;
    ASSERT_GE(depth, 0) << i;
  }
  EXPECT_EQ(depth, 0);
}

TEST(InsertUnicodeText, IntoEmptyDocument) {
  yig::rt::Document doc;
  std::u16string text = u"\u0F40\u0F41 a\r\n\u4E2D";
  yig::InsertUnicodeText(doc, text, false);
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(doc.plainText(), u"\u0F40\u0F41 a\r\n\u4E2D");
  EXPECT_EQ(doc.formatAt(0).font.name, u"Microsoft Himalaya");
  EXPECT_EQ(doc.formatAt(1).sizeHalfPoints, 48);
  EXPECT_EQ(doc.formatAt(2).font.name, u"Tahoma");
  EXPECT_EQ(doc.formatAt(2).sizeHalfPoints, 24);
  EXPECT_EQ(doc.formatAt(5).font.name, u"宋体");
  EXPECT_EQ(doc.formatAt(5).font.charset, 134);
  EXPECT_FALSE(doc.formatAt(0).color);
}

TEST(InsertUnicodeText, ReplacesTheSelection) {
  yig::rt::Document doc;
  doc.setText(u"xxYYzz");
  doc.select(2, 2);
  std::u16string text = u"ab";
  yig::InsertUnicodeText(doc, text, true);
  EXPECT_EQ(doc.plainText(), u"xxabzz");
  EXPECT_EQ(doc.selStart(), 4u);
  EXPECT_EQ(doc.selLength(), 0u);
  ASSERT_TRUE(doc.formatAt(2).color);
  EXPECT_EQ(*doc.formatAt(2).color, (yig::rt::Color{255, 0, 0}));
  EXPECT_FALSE(doc.formatAt(4).color);  // the text after the selection keeps its format
}

TEST(InsertUnicodeText, LinesBecomeParagraphsAtTheCaret) {
  yig::rt::Document doc;
  doc.setText(u"XY");
  doc.select(1, 0);
  std::u16string text = u"a\r\nb";
  yig::InsertUnicodeText(doc, text, false);
  EXPECT_EQ(doc.plainText(), u"Xa\r\nbY");
}

TEST(InsertUnicodeText, EmptyTextInsertsNothing) {
  yig::rt::Document doc;
  doc.setText(u"keep");
  doc.select(1, 2);
  std::u16string text;
  yig::InsertUnicodeText(doc, text, false);
  EXPECT_EQ(doc.plainText(), u"keep");
  EXPECT_EQ(doc.selStart(), 1u);
  EXPECT_EQ(doc.selLength(), 2u);
}

}  // namespace
