#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "richtext/document.h"

namespace yig::rt {
namespace {

constexpr std::string_view kHeader =
    "{\\rtf1\\ansi\\ansicpg936\\deff0\\deflang1033\\deflangfe2052{\\fonttbl"
    "{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}"
    "{\\f1\\fmodern\\fprq6\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}"
    "{\\f2\\fmodern\\fprq6\\fcharset0 Tahoma;}}"
    "{\\colortbl ;\\red255\\green0\\blue0;}";

std::string doc(std::string_view body) { return std::string(kHeader) + std::string(body) + "}"; }

struct TextCase {
  const char* name;
  std::string rtf;
  std::u16string text;
};

class ReaderText : public testing::TestWithParam<TextCase> {};

// The text as the editor shows it: an object character gives the text it shows.
std::u16string shownText(const Document& d) {
  std::u16string out;
  for (std::size_t i = 0; i < d.length(); ++i) {
    const CharFormat& f = d.formatAt(i);
    if (d.text()[i] == u'\uFFFC' && f.object) {
      if (f.object->kind == EmbeddedObject::Kind::Field) out += f.object->shown;
    } else {
      out.push_back(d.text()[i]);
    }
  }
  return out;
}

TEST_P(ReaderText, ReadsText) {
  Document d;
  const ReadResult r = d.setRtf(GetParam().rtf);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(shownText(d), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Escapes, ReaderText,
    testing::Values(
        TextCase{"RichEditUnicode", doc("\\viewkind4\\uc1\\pard\\f0\\fs48\\u3904?\\u3905?\\par "), u"\u0F40\u0F41"},
        TextCase{"UpperCaseU", doc("\\viewkind4\\uc1\\pard\\f1\\fs24\\U3904?\\f99\\U3905?"), u"\u0F40\u0F41"},
        TextCase{"NegativeUnicode", doc("\\f1\\u-4031?\\u-3328?"), u"\uF041\uF300"},
        TextCase{"WordByteFallback", doc("\\f2\\u3904\\'3f\\u3905\\'3fx"), u"\u0F40\u0F41x"},
        TextCase{"FallbackEndsAtGroupEdge", doc("\\uc3{\\u3904?}x"), u"\u0F40x"},
        TextCase{"UcTwoSkipsPair", doc("\\f2\\uc2\\u20013\\'d6\\'d0x"), u"\u4E2Dx"},
        TextCase{"UcZero", doc("\\uc0\\u3904 ?"), u"\u0F40?"},
        TextCase{"GbkEscapes", doc("\\f1 \\'b0\\'a1\\'d6\\'d0"), u"\u554A\u4E2D"},
        TextCase{"GbkRawBytes", doc("\\f1 \xb0\xa1"), u"\u554A"},
        TextCase{"GbkEuro", doc("\\f1\\'80"), u"\u20AC"},
        TextCase{"Ansi1252", doc("\\f2\\'e9\\'80\\'93"), u"\u00E9\u20AC\u201C"},
        TextCase{"EscapedSpecials", doc("\\f2 a\\\\b\\{c\\}"), u"a\\b{c}"},
        TextCase{"TabLineParagraph", doc("a\\tab b\\line c\\par d"), u"a\tb\vc\rd"},
        TextCase{"FinalParDropped", doc("a\\par b\\par "), u"a\rb"},
        TextCase{"EmptyLastParagraphKept", doc("a\\par \\par "), u"a\r"},
        TextCase{"FinalParWithoutBlank", doc("a\\par"), u"a"},
        TextCase{"FinalParInInnerGroup", doc("{a\\par }{\\*\\themedata 00}"), u"a"},
        TextCase{"FinalParBeforeLineBreak", doc("a\\par\r\n"), u"a"},
        TextCase{"ParFollowedByControlWordKept", doc("a\\par\r\n\\pard"), u"a\r"},
        TextCase{"UnknownWordsSkipped", doc("\\insrsid123\\foo a\\loch\\hich\\dbch\\af1 b"), u"ab"},
        TextCase{"StarDestinationSkipped", doc("a{\\*\\bkmkstart x}{\\*\\unknown {nested} text}b"), u"ab"},
        TextCase{"FieldResultKept",
                 doc("{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}{\\field{\\fldinst PAGE}{\\fldrslt 1}}"),
                 u"link1"},
        TextCase{"InfoAndStylesheetSkipped", doc("{\\info{\\title T}}{\\stylesheet{\\s0 Normal;}}x"), u"x"},
        TextCase{"InformationGroupsInTheBodyShowNothing", doc("a{\\title T}{\\comment C}{\\sv V}b"), u"ab"},
        TextCase{"PictureSkipped", doc("a{\\pict\\pngblip 89504e47}b"), u"ab"},
        TextCase{"BinarySkipped", doc("a{\\pict\\bin4 }}{{}{\\bin2 {}}b"), u"ab"},
        TextCase{"SpecialCharacters", doc("\\emdash\\endash\\lquote\\rquote\\ldblquote\\rdblquote\\bullet\\~"),
                 u"\u2014\u2013\u2018\u2019\u201C\u201D\u2022\u00A0"},
        TextCase{"HiddenTextKept", doc("a\\v hidden\\v0 b"), u"ahiddenb"},
        TextCase{"TableCells", doc("a\\cell b\\cell \\row c"), u"a\tb\t\rc"},
        TextCase{"RawLineBreaksIgnored", doc("a\r\nb\nc"), u"abc"},
        TextCase{"SurrogatePair", doc("\\u-10179?\\u-8704?"), u"\U0001F600"}),
    [](const testing::TestParamInfo<TextCase>& info) { return info.param.name; });

}  // namespace
}  // namespace yig::rt

namespace yig::rt {
namespace {

Document read(std::string_view rtf) {
  Document d;
  const ReadResult r = d.setRtf(rtf);
  EXPECT_TRUE(r.ok) << r.error;
  return d;
}

TEST(RtfReader, RefusesTextThatIsNotRtfAndKeepsTheDocument) {
  for (std::string_view input : {"", "hello", "rtf1", "{\\rtx}", "\\rtf1", "{ {\\rtf1}", "\xEF\xBB\xBF{\\rtf1 x}"}) {
    Document d;
    d.setText(u"kept");
    d.select(1, 2);
    const ReadResult r = d.setRtf(input);
    EXPECT_FALSE(r.ok) << input;
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(d.text(), u"kept");
    EXPECT_EQ(d.selStart(), 1u);
  }
}

TEST(RtfReader, AcceptsLeadingBlanksAndAnOuterGroup) {
  EXPECT_EQ(read("\r\n  {\\rtf1 a}").text(), u"a");
  // The Unicode-text routine wraps its document in one more group.
  const Document d = read(std::string("{") + std::string(kHeader) + "\\f0\\fs48\\U3904?\\f2\\fs24\\U97?\\par \\U98?}}");
  EXPECT_EQ(d.text(), u"\u0F40a\rb");
  EXPECT_EQ(d.formatAt(0).font.name, u"Microsoft Himalaya");
  EXPECT_EQ(d.formatAt(0).sizeHalfPoints, 48);
  EXPECT_EQ(d.formatAt(3).font.name, u"Tahoma");
}

TEST(RtfReader, MalformedInputGivesABestEffortDocument) {
  struct Case {
    std::string rtf;
    std::u16string text;
  };
  const Case cases[] = {
      {"{\\rtf1 abc", u"abc"},                                    // unclosed root
      {"{\\rtf1 {\\b abc", u"abc"},                               // unclosed groups
      {"{\\rtf1 a}}}} b", u"a"},                                  // extra closing braces end the document
      {"{\\rtf1 a\\'", u"a"},                                     // truncated byte escape
      {"{\\rtf1 a\\'4", u"a"},                                    // half a byte escape
      {"{\\rtf1 a\\'zzb}", u"azzb"},                              // not hexadecimal
      {"{\\rtf1 a\\", u"a"},                                      // lone backslash at the end
      {"{\\rtf1 a\\u", u"a"},                                     // \u without a number
      {"{\\rtf1 \\u99999999999999999999?x}", u"\uFFFDx"},         // huge number
      {"{\\rtf1 \\u-99999?x}", u"\uFFFDx"},                       // below -32768
      {"{\\rtf1 \\u65535?\\u-32768?}", u"\uFFFF\u8000"},          // the extremes that fit
      {"{\\rtf1 \\uc99999 \\u3904 abc}", u"\u0F40"},              // huge \uc is capped, skips to the end
      {"{\\rtf1 \\uc-5 \\u3904?}", u"\u0F40?"},                  // negative \uc means no fallback
      {"{\\rtf1 a\\bin999999999 xyz}", u"a"},                     // \bin longer than the input
      {"{\\rtf1 a{\\*\\x {{{", u"a"},                             // unclosed ignorable group
      {std::string("{\\rtf1 a\0b\x01\x7f}", 12), u"ab\x7f"},      // control bytes are not text
      {"{\\rtf1 \\abcdefghijklmnopqrstuvwxyzabcdefghijklmnop x}", u"x"},  // overlong control word
      {"{\\rtf1 \\abcdefghijklmnopqrstuvwxyzabcdefghijklmnop-12 x}", u"x"},  // ... with its number
      {"{\\rtf1 \\u3904\\bin2 }}x}", u"\u0F40x"},                   // a \bin with its payload is one fallback character
      {"{\\rtf1 \\fs-10 a\\fs999999999 b\\fs0 c}", u"abc"},
  };
  for (const Case& c : cases) {
    Document d;
    const ReadResult r = d.setRtf(c.rtf);
    EXPECT_TRUE(r.ok) << c.rtf;
    EXPECT_EQ(d.text(), c.text) << c.rtf;
  }
}

TEST(RtfReader, ReportsRepairs) {
  Document d;
  EXPECT_NE(d.setRtf("{\\rtf1 {abc").error, "");
  EXPECT_EQ(d.setRtf("{\\rtf1 abc}").error, "");
}

TEST(RtfReader, OnlyCharacterPropertiesTravelWithTheCharacters) {
  // \lang describes the characters after it; \spec is no RTF word and stays where it stood.
  const Document d = read(doc("\\lang1033\\spec a"));
  EXPECT_EQ(d.text(), u"a");
  EXPECT_EQ(d.formatAt(0).extra, "\\lang1033");
}

TEST(RtfReader, FontSizeIsKeptWithinLimits) {
  const Document d = read("{\\rtf1 \\fs-10 a\\fs999999999 b\\fs0 c\\fs7 d}");
  EXPECT_EQ(d.formatAt(0).sizeHalfPoints, 24);
  EXPECT_EQ(d.formatAt(1).sizeHalfPoints, 3276);
  EXPECT_EQ(d.formatAt(2).sizeHalfPoints, 24);
  EXPECT_EQ(d.formatAt(3).sizeHalfPoints, 7);
}

TEST(RtfReader, DeepNestingNeitherRecursesNorLosesText) {
  const std::size_t depth = 100000;
  std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f1\\fnil\\fcharset0 Deep;}}";
  rtf.append(depth, '{');
  rtf += "\\f1 x";
  rtf.append(depth, '}');
  rtf += "y}";
  Document d;
  const ReadResult r = d.setRtf(rtf);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(d.text(), u"xy");
  EXPECT_EQ(d.formatAt(0).font.name, u"Deep");

  // Unclosed, too.
  std::string open = "{\\rtf1 ";
  open.append(depth, '{');
  open += "z";
  EXPECT_EQ(read(open).text(), u"z");
}

TEST(RtfReader, FontTableForms) {
  // Entries without their own groups; a missing final ';'; numbers beyond 32767.
  Document d = read(
      "{\\rtf1\\ansi\\deff0{\\fonttbl\\f0\\fswiss Helvetica;\\f1\\fmodern Courier;}"
      "{\\fonttbl{\\f99999\\froman\\fprq2 Big Number}}"
      "a\\f1 b\\f99999 c\\plain d}");
  EXPECT_EQ(d.text(), u"abcd");
  EXPECT_EQ(d.formatAt(0).font.name, u"Helvetica");
  EXPECT_EQ(d.formatAt(0).font.family, "fswiss");
  EXPECT_EQ(d.formatAt(1).font.name, u"Courier");
  EXPECT_EQ(d.formatAt(2).font.name, u"Big Number");
  EXPECT_EQ(d.formatAt(2).font.pitch, 2);
  EXPECT_EQ(d.formatAt(3).font.name, u"Helvetica");  // \plain returns to \deff

  // A negative pitch means nothing: read as not given, so the document writes
  // and reads back the same.
  Document negative = read("{\\rtf1{\\fonttbl{\\f0\\fprq-6 Tahoma;}}x}");
  EXPECT_EQ(negative.formatAt(0).font.pitch, -1);
  EXPECT_EQ(read(negative.rtf()).formatAt(0).font.pitch, -1);
}

TEST(RtfReader, DefaultFontAndMissingFonts) {
  Document d;
  CharFormat fallback;
  fallback.font = Font{u"Fallback", 0, "fnil", -1};
  d.setDefaultFormat(fallback);
  ASSERT_TRUE(d.setRtf("{\\rtf1\\deff1{\\fonttbl{\\f0 Zero;}{\\f1 One;}}a\\f7 b}").ok);
  EXPECT_EQ(d.formatAt(0).font.name, u"One");  // \deff1
  EXPECT_EQ(d.formatAt(1).font.name, u"One");  // unknown \f7 falls back to \deff
  ASSERT_TRUE(d.setRtf("{\\rtf1 no font table}").ok);
  EXPECT_EQ(d.formatAt(0).font.name, u"Fallback");
}

TEST(RtfReader, ByteEscapesFollowTheFontCharset) {
  Document d = read(
      "{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0\\fcharset0 Latin;}{\\f1 NoCharset;}{\\f2\\fcharset204 Cyr;}"
      "{\\f3\\fcharset2 Symbol;}{\\f4\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}"
      "\\f0\\'e9\\f1\\'d6\\'d0\\f2\\'c0\\f3\\'e0\\f4\\'d6\\'d0\\'b0}");
  EXPECT_EQ(d.text(), u"é中А\u00E0中\uFFFD");
  EXPECT_EQ(d.formatAt(1).font.charset, 134);  // no \fcharset: the document's code page 936
  EXPECT_EQ(d.formatAt(4).font.name, u"宋体");
}

TEST(RtfReader, GbkLeadByteWithoutTrailDoesNotSwallowText) {
  EXPECT_EQ(read("{\\rtf1{\\fonttbl{\\f0\\fcharset134 G;}}\\'b0}").text(), u"\uFFFD");
  EXPECT_EQ(read("{\\rtf1{\\fonttbl{\\f0\\fcharset134 G;}}\\'b0\\par x}").text(), u"\uFFFD\rx");
  EXPECT_EQ(read("{\\rtf1{\\fonttbl{\\f0\\fcharset134 G;}}\\'ff\\'b0\\'a1}").text(), u"\uFFFD啊");
}

TEST(RtfReader, ColorTable) {
  const Document d = read(
      "{\\rtf1{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue0;\\red999\\green-5\\blue1}"
      "\\cf1 a\\cf2 b\\cf3 c\\cf4 d\\cf0 e\\cf-1 f}");
  EXPECT_EQ(d.formatAt(0).color, (Color{255, 0, 0}));
  EXPECT_EQ(d.formatAt(1).color, (Color{0, 0, 0}));  // black is a colour, not automatic
  EXPECT_EQ(d.formatAt(2).color, (Color{255, 0, 1}));
  EXPECT_EQ(d.formatAt(3).color, std::nullopt);  // beyond the table
  EXPECT_EQ(d.formatAt(4).color, std::nullopt);
  EXPECT_EQ(d.formatAt(5).color, std::nullopt);
}

TEST(RtfReader, GroupsRestoreFormatting) {
  const Document d = read("{\\rtf1 a{\\b\\i\\ul\\strike b}c\\b d\\b0 e\\ul f\\ulnone g\\uldb h\\ul0 i}");
  EXPECT_EQ(d.text(), u"abcdefghi");
  EXPECT_TRUE(d.formatAt(1).bold && d.formatAt(1).italic && d.formatAt(1).underline && d.formatAt(1).strike);
  EXPECT_FALSE(d.formatAt(2).bold || d.formatAt(2).italic || d.formatAt(2).underline || d.formatAt(2).strike);
  EXPECT_TRUE(d.formatAt(3).bold);
  EXPECT_FALSE(d.formatAt(4).bold);
  EXPECT_TRUE(d.formatAt(5).underline);
  EXPECT_FALSE(d.formatAt(6).underline);
  EXPECT_TRUE(d.formatAt(7).underline);
  EXPECT_FALSE(d.formatAt(8).underline);
}

// Whatever the input, what the writer makes of it is a fixed point: read, write,
// read, write gives the same bytes. Inputs: the bytes of a rich-edit document
// with random damage (seeded, so failures repeat).
TEST(RtfReader, DamagedInputStillRoundTrips) {
  const std::string base = std::string(kHeader) +
                           "\\viewkind4\\uc1\\pard\\f0\\fs48\\u3904?\\u3905?\\f1\\fs24\\cf1\\'d6\\'d0\\cf0 abc\\par "
                           "{\\b bold}\\tab\\f2 x\\{y\\}\\\\z\\line\\u-4031?\\par }";
  std::uint32_t seed = 7;
  auto next = [&seed](std::uint32_t bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % bound;
  };
  const std::string alphabet = "{}\\'?;0123456789abcdefu- \r\n\x80\xb0\xff";
  for (int round = 0; round < 3000; ++round) {
    std::string rtf = base;
    const int edits = 1 + static_cast<int>(next(6));
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = 6 + next(static_cast<std::uint32_t>(rtf.size() - 6));
      switch (next(3)) {
        case 0: rtf[at] = alphabet[next(static_cast<std::uint32_t>(alphabet.size()))]; break;
        case 1: rtf.erase(at, 1 + next(8)); break;
        default: rtf.insert(at, 1, alphabet[next(static_cast<std::uint32_t>(alphabet.size()))]); break;
      }
      if (rtf.size() < 8) rtf = base;
    }
    Document first;
    if (!first.setRtf(rtf).ok) continue;
    const std::string written = first.rtf();
    Document second;
    ASSERT_TRUE(second.setRtf(written).ok) << rtf;
    ASSERT_EQ(second.text(), first.text()) << rtf;
    ASSERT_EQ(second.rtf(), written) << rtf;
  }
  // Binary junk behind the signature.
  for (int round = 0; round < 300; ++round) {
    std::string rtf = "{\\rtf1";
    for (int i = 0; i < 3000; ++i) rtf.push_back(static_cast<char>(next(256)));
    Document first;
    ASSERT_TRUE(first.setRtf(rtf).ok);
    const std::string written = first.rtf();
    Document second;
    ASSERT_TRUE(second.setRtf(written).ok);
    ASSERT_EQ(second.text(), first.text());
    ASSERT_EQ(second.rtf(), written);
  }
}

}  // namespace
}  // namespace yig::rt
