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

TEST_P(ReaderText, ReadsText) {
  Document d;
  const ReadResult r = d.setRtf(GetParam().rtf);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(d.text(), GetParam().text);
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
        TextCase{"UnknownWordsSkipped", doc("\\insrsid123\\foo a\\loch\\hich\\dbch\\af1 b"), u"ab"},
        TextCase{"StarDestinationSkipped", doc("a{\\*\\bkmkstart x}{\\*\\unknown {nested} text}b"), u"ab"},
        TextCase{"FieldResultKept",
                 doc("{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}{\\field{\\fldinst PAGE}{\\fldrslt 1}}"),
                 u"link1"},
        TextCase{"InfoAndStylesheetSkipped", doc("{\\info{\\title T}}{\\stylesheet{\\s0 Normal;}}x"), u"x"},
        TextCase{"PictureSkipped", doc("a{\\pict\\pngblip 89504e47}b"), u"ab"},
        TextCase{"BinarySkipped", doc("a{\\pict\\bin4 }}{{}{\\bin2 {}}b"), u"ab"},
        TextCase{"SpecialCharacters", doc("\\emdash\\endash\\lquote\\rquote\\ldblquote\\rdblquote\\bullet\\~"),
                 u"\u2014\u2013\u2018\u2019\u201C\u201D\u2022\u00A0"},
        TextCase{"HiddenTextDropped", doc("a\\v hidden\\v0 b"), u"ab"},
        TextCase{"TableCells", doc("a\\cell b\\cell \\row c"), u"a\tb\rc"},
        TextCase{"RawLineBreaksIgnored", doc("a\r\nb\nc"), u"abc"},
        TextCase{"SurrogatePair", doc("\\u-10179?\\u-8704?"), u"\U0001F600"}),
    [](const testing::TestParamInfo<TextCase>& info) { return info.param.name; });

}  // namespace
}  // namespace yig::rt
