#include "engine/rtf_pieces.h"

#include <gtest/gtest.h>

namespace yig::rtfpieces {
namespace {

TEST(RtfPieces, CutFinalBraceDropsTheLastBraceAndWhatFollows) {
  std::string a = "{\\rtf1 {x} y}\r\n";
  EXPECT_TRUE(cutFinalBrace(a));
  EXPECT_EQ(a, "{\\rtf1 {x} y");
  std::string none = "no braces at all";
  EXPECT_FALSE(cutFinalBrace(none));
  EXPECT_EQ(none, "no braces at all");
}

TEST(RtfPieces, SplitDocumentFindsTheBodyMarkerOrRefuses) {
  struct Case {
    std::string rtf;
    Refusal refusal;
    std::string header;
  };
  const Case cases[] = {
      {"{\\rtf1{\\fonttbl{\\f0 A;}}\\uc1\\viewkind4\\pard x", Refusal::None, "{\\rtf1{\\fonttbl{\\f0 A;}}\\uc1"},
      {"{\\rtf1{\\fonttbl{\\f0 A;}}\\uc1\\pard x", Refusal::None, "{\\rtf1{\\fonttbl{\\f0 A;}}"},
      {"{\\rtf1{\\fonttbl{\\f0 A;}}\\pard x", Refusal::NoBodyMarker, ""},
      {"{\\rtf1{\\colortbl ;}\\viewkind4 x", Refusal::NoFontTable, ""},
  };
  for (const auto& c : cases) {
    SplitDocument doc;
    Refusal r = splitDocument(c.rtf, doc);
    EXPECT_EQ(r, c.refusal) << c.rtf;
    if (r == Refusal::None) {
      EXPECT_EQ(doc.header, c.header);
      EXPECT_EQ(std::string(doc.header) + std::string(doc.body), c.rtf);
    }
  }
}

TEST(RtfPieces, FontEntryBecomesTheFirstOfTheTable) {
  std::string header = "{\\rtf1{\\fonttbl{\\f0 A;}}";
  EXPECT_TRUE(insertFontEntry(header, "{\\f99 B;}"));
  EXPECT_EQ(header, "{\\rtf1{\\fonttbl{\\f99 B;}{\\f0 A;}}");
  std::string bare = "{\\rtf1";
  EXPECT_FALSE(insertFontEntry(bare, "{\\f99 B;}"));
}

TEST(RtfPieces, RedColourIndex) {
  struct Case {
    std::string header, expectedHeader, index;
  };
  const Case cases[] = {
      // No colour table: one is appended, red is 1.
      {"{\\rtf1{\\fonttbl{\\f0 A;}}", "{\\rtf1{\\fonttbl{\\f0 A;}}{\\colortbl ;\\red255\\green0\\blue0;}", "1"},
      // Automatic entry and one colour: red becomes 2.
      {"{\\rtf1{\\colortbl ;\\red0\\green0\\blue255;}", "{\\rtf1{\\colortbl ;\\red0\\green0\\blue255;\\red255\\green0\\blue0;}",
       "2"},
      // A group after the table: red still goes into the table, and the
      // group's own semicolons do not count.
      {"{\\rtf1{\\colortbl ;\\red1\\green2\\blue3;}{\\*\\generator W 10;}",
       "{\\rtf1{\\colortbl ;\\red1\\green2\\blue3;\\red255\\green0\\blue0;}{\\*\\generator W 10;}", "2"},
  };
  for (const auto& c : cases) {
    std::string h = c.header;
    EXPECT_EQ(addRedColour(h), c.index) << c.header;
    EXPECT_EQ(h, c.expectedHeader);
  }
}

TEST(RtfPieces, UnicodeTibetanFontTags) {
  struct Case {
    std::string header, tags;
  };
  const Case cases[] = {
      {"{\\fonttbl{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}{\\f1\\fnil Tahoma;}}", " \\f0;"},
      {"{\\fonttbl{\\f1\\fnil Tahoma;}{\\f12\\fnil Monlam Uni OuChan2;}}", " \\f12;"},
      // "Tibetan " needs its blank: A-Tibetan is a national font.
      {"{\\fonttbl{\\f3\\fnil A-Tibetan;}{\\f4\\fnil TibetanMachine;}}", ""},
      {"{\\fonttbl{\\f5\\fnil Noto Serif Tibetan Uni;}}", " \\f5;"},
      {"{\\fonttbl{\\f6\\fnil ????;}{\\f7\\fnil Microsoft Himalaya;}}", " \\f6; \\f7;"},
      // Font numbers of three digits are not recorded.
      {"{\\fonttbl{\\f100\\fnil Microsoft Himalaya;}}", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(unicodeTibetanFontTags(c.header), c.tags) << c.header;
  EXPECT_EQ(firstFontTag(" \\f12; \\f0;"), "\\f12");
  EXPECT_EQ(firstFontTag(""), "");
}

TEST(RtfPieces, SplitAtFontWordsKeepsEverythingInOrder) {
  std::string body = "\\viewkind4\\uc1\\pard\\f0\\fs48 a\\f12 b\\fs24 c";
  auto pieces = splitAtFontWords(body);
  ASSERT_EQ(pieces.size(), 5u);
  EXPECT_EQ(pieces[0], "\\viewkind4\\uc1\\pard");
  EXPECT_EQ(pieces[1], "\\f0");
  EXPECT_EQ(pieces[2], "\\fs48 a");
  EXPECT_EQ(pieces[3], "\\f12 b");
  EXPECT_EQ(pieces[4], "\\fs24 c");
  std::string joined;
  for (auto p : pieces) joined += p;
  EXPECT_EQ(joined, body);
  EXPECT_EQ(splitAtFontWords("no font words").size(), 1u);
  EXPECT_EQ(splitAtFontWords("\\f1x").front(), "");
}

TEST(RtfPieces, ProgressStaysWithinZeroToHundred) {
  struct Case {
    std::size_t index, count;
    int percent;
  };
  const Case cases[] = {
      {0, 1, 0}, {0, 2, 0}, {1, 2, 100},  // divisions by zero and by one
      {0, 3, 0}, {1, 3, 100}, {2, 3, 100},  // the last piece is capped
      {1, 6, 25}, {2, 6, 50}, {5, 6, 100}, {1, 5, 33},
  };
  for (const auto& c : cases) EXPECT_EQ(progressPercent(c.index, c.count), c.percent) << c.index << "/" << c.count;
}

TEST(RtfPieces, EscapeReaders) {
  auto four = fourDigitEscape("x\\u3904?y", 1);
  ASSERT_TRUE(four);
  EXPECT_EQ(four->ch, u'\u0F40');
  EXPECT_EQ(four->length, 7u);
  EXPECT_TRUE(fourDigitEscape("\\U3904?", 0));        // upper-case U reads alike
  EXPECT_FALSE(fourDigitEscape("\\u20013?", 0));      // five digits: not the fixed form
  EXPECT_FALSE(fourDigitEscape("\\ul ab?", 0));       // a control word, not a number
  EXPECT_FALSE(fourDigitEscape("\\u3904", 0));        // cut short

  struct Case {
    std::string text;
    char16_t ch;
    std::size_t length;
  };
  const Case cases[] = {
      {"\\u3904?", u'\u0F40', 7}, {"\\u-3328?", u'\uF300', 8}, {"\\U-4031?", u'\uF041', 8}, {"\\u20013?", u'\u4E2D', 8}};
  for (const auto& c : cases) {
    auto e = shortUnicodeEscape(c.text, 0);
    ASSERT_TRUE(e) << c.text;
    EXPECT_EQ(e->ch, c.ch) << c.text;
    EXPECT_EQ(e->length, c.length) << c.text;
  }
  EXPECT_FALSE(shortUnicodeEscape("\\u123?", 0));  // three characters
  EXPECT_FALSE(shortUnicodeEscape("\\uc1\\pard?", 0));

  auto pair = bytePairEscape("\\'b0\\'a1", 0);
  ASSERT_TRUE(pair);
  EXPECT_EQ(*pair, 0xB0A1u);
  EXPECT_FALSE(bytePairEscape("\\'b0x'a1", 0));
  EXPECT_FALSE(bytePairEscape("\\'b0\\'a", 0));
  EXPECT_FALSE(bytePairEscape("\\'zz\\'a1", 0));
}

TEST(RtfPieces, WritesSignedEscapes) {
  struct Case {
    char16_t c;
    char letter;
    std::string text;
  };
  const Case cases[] = {{u'\u0F40', 'u', "\\u3904?"}, {u'\uF041', 'u', "\\u-4031?"}, {u'\uF300', 'U', "\\U-3328?"},
                        {u'\u7FFF', 'u', "\\u32767?"}, {u'\u8000', 'u', "\\u-32768?"}, {u'\0', 'u', "\\u0?"}};
  for (const auto& c : cases) {
    std::string out;
    appendUnicodeEscape(out, c.c, c.letter);
    EXPECT_EQ(out, c.text);
  }
}

TEST(RtfPieces, RedMarkMustBeTheWholeNumber) {
  EXPECT_TRUE(containsRedMark("a\\cf2 b", "2"));
  EXPECT_TRUE(containsRedMark("a\\cf2\\u3904?", "2"));
  EXPECT_FALSE(containsRedMark("a\\cf23 b", "2"));
  EXPECT_FALSE(containsRedMark("a\\cf0 b", "2"));
}

TEST(RtfPieces, ListItems) {
  EXPECT_TRUE(containsAnyListItem("{\\f2 CHINATIBET;}", " CHINATIBET; TIBET;"));
  EXPECT_FALSE(containsAnyListItem("{\\f2 Tahoma;}", " CHINATIBET; TIBET;"));
  EXPECT_FALSE(containsAnyListItem("anything", ";;"));  // empty items never match
}

}  // namespace
}  // namespace yig::rtfpieces
