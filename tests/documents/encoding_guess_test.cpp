#include "documents/encoding_guess.h"

#include <gtest/gtest.h>

#include "documents/recording_host.h"

namespace yig::docs {
namespace {

std::u16string_view codeOf(std::u16string_view text) {
  const auto guess = guessEncoding(text);
  return guess ? guess->code : u"";
}

TEST(GuessEncoding, FirstDecisiveCharacterWinsInTheTestOrder) {
  struct Case {
    std::u16string text;
    std::u16string_view code;
  };
  const Case cases[] = {
      {u"abc\u0F00", u"HIMA"},                 // Latin letters decide nothing
      {u"abc\u0F00娥", u"HG"},                 // "娥" anywhere decides at the first letter
      {u"abc\u0F00＃", u"FZ"},
      {u"a娥＃", u"HG"},                       // HG is tested before FZ
      {u"\u0F40娥", u"HIMA"},                  // the first character decides before the prefix tests
      {u"\uF300\u0F40", u"HKA"},
      {u"\u0F40\uF300", u"HIMA"},
      {u"\uF8FE", u"HKA"},
      {u"\uF8FF", u""},                        // just past the private-use range
      {u"\uF2FF", u""},
      {u"\u0FCE", u"HIMA"},
      {u"\u0FCF", u""},
      {u"\u4E90", u"TY"},                      // GBK 81 80: trail byte 0x80
      {u"\u4E02", u"TY"},                      // GBK 81 40
      {u"中文字符", u""},                      // GB2312 trail bytes are 0xA1 and above
      {u"只有ASCII", u""},
      {u"abc︽", u"BZD"},
      {u"﹀", u"BZD"},
      {u"\u4E90︽", u"TY"},                    // TY is tested before BZD at the same position
      {u"︽\u4E90", u"BZD"},                   // but an earlier position decides first
      {u"", u""},
      {u"\u20AC", u""},                        // a single byte in code page 936
      {u"\u0400\u2603", u""},                  // no GBK code at all
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    EXPECT_EQ(codeOf(c.text), c.code);
  }
}

TEST(GuessEncoding, LooksAtTheFirst500CharactersOnly) {
  std::u16string text(499, u'a');
  EXPECT_EQ(codeOf(text + u"\u0F40"), u"HIMA");
  EXPECT_EQ(codeOf(text + u"a\u0F40"), u"");
  EXPECT_EQ(codeOf(text + u"a娥"), u"");
  EXPECT_EQ(codeOf(text + u"娥"), u"HG");
}

TEST(GuessEncoding, RowsNameFontAndSourceChoice) {
  const auto hka = guessEncoding(u"\uF300");
  ASSERT_TRUE(hka);
  EXPECT_EQ(hka->fontName, u"方正藏文新白体_Unicode");
  EXPECT_EQ(hka->sourceIndex, 6);
  const auto fz = guessEncoding(u"＃");
  ASSERT_TRUE(fz);
  EXPECT_EQ(fz->fontName, u"方正藏文新白体");
  EXPECT_EQ(fz->sourceIndex, 2);
  EXPECT_EQ(guessEncoding(u"娥")->fontName, u"A-Tibetan");
  EXPECT_EQ(guessEncoding(u"\u4E90")->fontName, u"CHINATIBET");
  EXPECT_EQ(guessEncoding(u"︽")->fontName, u"BZDBT");
  EXPECT_EQ(guessEncoding(u"\u0F40")->fontName, u"Microsoft Himalaya");
}

TEST(GuessTibetanEncoding, SetsFontBoxWholeEditorFontAndSourceChoice) {
  RecordingHost host;
  host.editor().setText(u"ab\r\ncd");
  host.editor().select(1, 2);
  const auto guess = GuessTibetanEncoding(host, u"x娥");
  ASSERT_TRUE(guess);
  EXPECT_EQ(host.fontBoxText, u"A-Tibetan");
  EXPECT_EQ(host.sourceIndex, 3);
  EXPECT_EQ(host.sourceCode, u"HG");
  for (std::size_t i = 0; i < host.editor().length(); ++i) {
    EXPECT_EQ(host.editor().formatAt(i).font.name, u"A-Tibetan");
    EXPECT_EQ(host.editor().formatAt(i).font.charset, 134);  // national-standard text travels as GBK bytes
  }
  EXPECT_EQ(host.editor().selStart(), 1u);  // the selection is given back
  EXPECT_EQ(host.editor().selLength(), 2u);
}

TEST(GuessTibetanEncoding, UndecidedChangesNothing) {
  RecordingHost host;
  host.fontBoxText = u"宋体";
  host.editor().setText(u"plain");
  const std::u16string before = host.editor().formatAt(0).font.name;
  EXPECT_FALSE(GuessTibetanEncoding(host, u"plain 中文"));
  EXPECT_EQ(host.fontBoxText, u"宋体");
  EXPECT_FALSE(host.sourceIndex);
  EXPECT_EQ(host.editor().formatAt(0).font.name, before);
}

}  // namespace
}  // namespace yig::docs
