#include <gtest/gtest.h>

#include <string>

#include "richtext/document.h"

namespace yig::rt {
namespace {

CharFormat himalaya(int size = 48) {
  CharFormat f;
  f.font = Font{u"Microsoft Himalaya", 0, "fnil", -1};
  f.sizeHalfPoints = size;
  return f;
}

CharFormat bzd(int size = 48) {
  CharFormat f;
  f.font = Font{u"BZDBT", 134, "fnil", -1};
  f.sizeHalfPoints = size;
  return f;
}

TEST(RtfWriter, CanonicalHeaderAndBody) {
  Document doc;
  CharFormat red = bzd();
  red.color = Color{255, 0, 0};
  doc.append(u"\u0F40\u0F41", himalaya());
  doc.append(u"\u554A", red);
  EXPECT_EQ(doc.rtf(),
            "{\\rtf1\\ansi\\ansicpg936\\deff0\\deflang1033\\deflangfe2052{\\fonttbl"
            "{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}{\\f1\\fnil\\fcharset134 BZDBT;}}\r\n"
            "{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
            "\\viewkind4\\uc1\\pard\\f0\\fs48\\u3904?\\u3905?\\f1\\cf1\\'b0\\'a1\\par }\r\n");
}
CharFormat tahoma(int size = 24) {
  CharFormat f;
  f.font = Font{u"Tahoma", 0, "fswiss", -1};
  f.sizeHalfPoints = size;
  return f;
}

// The body: everything from \viewkind4 on.
std::string body(const Document& d) {
  const std::string rtf = d.rtf();
  const auto at = rtf.find("\\viewkind4");
  return at == std::string::npos ? std::string() : rtf.substr(at);
}

struct Piece {
  std::u16string text;
  CharFormat format;
};

struct BodyCase {
  const char* name;
  std::vector<Piece> pieces;
  std::string body;
};

class WriterBody : public testing::TestWithParam<BodyCase> {};

TEST_P(WriterBody, WritesBody) {
  Document d;
  for (const Piece& p : GetParam().pieces) d.append(p.text, p.format);
  EXPECT_EQ(body(d), GetParam().body);
}

CharFormat with(CharFormat f, void (*change)(CharFormat&)) {
  change(f);
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriterBody,
    testing::Values(
        BodyCase{"Empty", {}, "\\viewkind4\\uc1\\pard\\f0\\fs24\\par }\r\n"},
        BodyCase{"BlankBeforeLetter", {{u"ab", tahoma()}}, "\\viewkind4\\uc1\\pard\\f0\\fs24 ab\\par }\r\n"},
        BodyCase{"BlankBeforeDigitAndBlank",
                 {{u"1", tahoma()}, {u" x", tahoma(30)}},
                 "\\viewkind4\\uc1\\pard\\f0\\fs24 1\\fs30  x\\par }\r\n"},
        BodyCase{"NoBlankBeforeEscape", {{u"\u0F40", himalaya()}}, "\\viewkind4\\uc1\\pard\\f0\\fs48\\u3904?\\par }\r\n"},
        BodyCase{"NoBlankBeforePunctuation",
                 {{u"a", tahoma()}, {u".", with(tahoma(), [](CharFormat& f) { f.bold = true; })}},
                 "\\viewkind4\\uc1\\pard\\f0\\fs24 a\\b.\\par }\r\n"},
        BodyCase{"FontSwitchAlwaysEndsWithBlankOrBackslash",
                 {{u"a", tahoma()}, {u".", himalaya(24)}, {u"\u0F40", tahoma()}},
                 "\\viewkind4\\uc1\\pard\\f0\\fs24 a\\f1 .\\f0\\u3904?\\par }\r\n"},
        BodyCase{"Escapes",
                 {{u"\\{}\t\v;", tahoma()}},
                 "\\viewkind4\\uc1\\pard\\f0\\fs24\\\\\\{\\}\\tab\\line;\\par }\r\n"},
        BodyCase{"TabBeforeLetter", {{u"\tx", tahoma()}}, "\\viewkind4\\uc1\\pard\\f0\\fs24\\tab x\\par }\r\n"},
        BodyCase{"SignedUnicode",
                 {{u"\uF041\uF300\u8000\u7FFF\u00E9", himalaya()}},
                 "\\viewkind4\\uc1\\pard\\f0\\fs48\\u-4031?\\u-3328?\\u-32768?\\u32767?\\u233?\\par }\r\n"},
        BodyCase{"GbkInGbkFontOnly",
                 {{u"\u554A\u20AC\u0F40\uF041a", bzd()}, {u"\u554A", tahoma()}},
                 "\\viewkind4\\uc1\\pard\\f0\\fs48\\'b0\\'a1\\'80\\u3904?\\u-4031?a\\f1\\fs24\\u21834?\\par }\r\n"},
        BodyCase{"Paragraphs",
                 {{u"a\r\rb\r", tahoma()}},
                 "\\viewkind4\\uc1\\pard\\f0\\fs24 a\\par\r\n\\par\r\nb\\par\r\n\\pard\\par }\r\n"},
        BodyCase{"EffectsOnAndOff",
                 {{u"a",
                   with(tahoma(),
                        [](CharFormat& f) { f.bold = f.italic = f.underline = f.strike = true; })},
                  {u"b", tahoma()}},
                 "\\viewkind4\\uc1\\pard\\f0\\fs24\\b\\i\\ul\\strike "
                 "a\\b0\\i0\\ulnone\\strike0 b\\par }\r\n"},
        BodyCase{"ColourBackToAutomatic",
                 {{u"a", with(tahoma(), [](CharFormat& f) { f.color = Color{1, 2, 3}; })}, {u"b", tahoma()}},
                 "\\viewkind4\\uc1\\pard\\f0\\fs24\\cf1 a\\cf0 b\\par }\r\n"}),
    [](const testing::TestParamInfo<BodyCase>& info) { return info.param.name; });

TEST(RtfWriter, FontTableEntries) {
  Document d;
  CharFormat song;
  song.font = Font{u"宋体", 134, "fmodern", 6};
  CharFormat latinName;
  latinName.font = Font{u"Caf\u00E9 {x};y", 0, "not a family!", -1};
  d.append(u"a", song);
  d.append(u"b", latinName);
  const std::string rtf = d.rtf();
  EXPECT_NE(rtf.find("{\\f0\\fmodern\\fprq6\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("{\\f1\\fnil\\fcharset0 Caf\\u233? \\{x\\}\\'3by;}"), std::string::npos) << rtf;
  Document back;
  ASSERT_TRUE(back.setRtf(rtf).ok);
  EXPECT_EQ(back.formatAt(0).font, song.font);
  EXPECT_EQ(back.formatAt(1).font.name, latinName.font.name);
}

TEST(RtfWriter, FontsAndColoursNumberedInOrderOfFirstUse) {
  Document d;
  CharFormat blue = himalaya();
  blue.color = Color{0, 0, 255};
  CharFormat red = bzd();
  red.color = Color{255, 0, 0};
  d.append(u"a", tahoma());
  d.append(u"\u0F40", blue);
  d.append(u"b", red);
  d.append(u"\u0F40", blue);
  const std::string rtf = d.rtf();
  EXPECT_NE(rtf.find("{\\fonttbl{\\f0\\fswiss\\fcharset0 Tahoma;}{\\f1\\fnil\\fcharset0 Microsoft Himalaya;}"
                     "{\\f2\\fnil\\fcharset134 BZDBT;}}\r\n{\\colortbl ;\\red0\\green0\\blue255;\\red255\\green0\\blue0;}\r\n"
                     "\\viewkind4"),
            std::string::npos)
      << rtf;
}

TEST(RtfWriter, OutputIsSevenBitAndBodyCutsOnlyAtFontSwitches) {
  // Every piece of the body cut at "\f" must start with \fN or \fsN: the
  // conversion engine takes any other "\f..." for a font switch.
  Document d;
  CharFormat f = bzd();
  for (int i = 0; i < 200; ++i) {
    f.sizeHalfPoints = 20 + i % 7;
    f.bold = i % 3 == 0;
    f.color = i % 5 == 0 ? std::optional<Color>(Color{255, 0, 0}) : std::nullopt;
    f.font.name = i % 2 ? u"BZDBT" : u"Microsoft Himalaya";
    f.font.charset = i % 2 ? 134 : 0;
    d.append(u"\u0F40x\u554A\t\r", f);
  }
  const std::string rtf = d.rtf();
  for (char c : rtf) ASSERT_LT(static_cast<unsigned char>(c), 0x80);
  const std::string b = rtf.substr(rtf.find("\\viewkind4"));
  for (std::size_t at = b.find("\\f"); at != std::string::npos; at = b.find("\\f", at + 2)) {
    const char next = b[at + 2];
    const bool fontSwitch = next >= '0' && next <= '9';
    const bool size = next == 's' && b[at + 3] >= '0' && b[at + 3] <= '9';
    ASSERT_TRUE(fontSwitch || size) << b.substr(at, 12);
    if (fontSwitch) {
      std::size_t end = at + 2;
      while (b[end] >= '0' && b[end] <= '9') ++end;
      ASSERT_TRUE(b[end] == ' ' || b[end] == '\\') << b.substr(at, 12);
    }
  }
}

TEST(RtfWriter, EngineHandOverNeitherAddsNorLosesAParagraph) {
  // The engine cuts the result before its last "\par }" and puts "}" back.
  for (std::u16string text : {u"", u"a", u"a\rb", u"a\r", u"\r", u"a\r\r"}) {
    Document d;
    d.append(text, tahoma());
    std::string rtf = d.rtf();
    const auto cut = rtf.rfind("\\par }");
    ASSERT_NE(cut, std::string::npos);
    rtf = rtf.substr(0, cut) + "}";
    Document back;
    ASSERT_TRUE(back.setRtf(rtf).ok);
    EXPECT_EQ(back.text(), text);
  }
}

// A note's number stays right before its note (LibreOffice took formatting
// words between them for a mark of the note's own and ate the note's first
// letter); words that change the state are still followed by the format.
TEST(RtfWriter, NoteNumberStaysBeforeItsNote) {
  const struct {
    const char* marks;
    bool restated;
  } cases[] = {{R"(\chftn )", false}, {R"(\chatn \chpgn )", false}, {R"(\plain )", true}, {R"(\chftn\pard )", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.marks);
    Document d;
    const std::string in = std::string(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}{\stylesheet{\s0 Normal;}}\f0 a{\super )") +
                           c.marks + R"({\*\footnote \chftn x}}b\par})";
    ASSERT_TRUE(d.setRtf(in).ok);
    const std::string out = d.rtf();
    const std::size_t note = out.find(R"({\*\footnote)");
    ASSERT_NE(note, std::string::npos) << out;
    const std::string before = out.substr(0, note);
    EXPECT_EQ(before.ends_with(c.marks), !c.restated) << out;
  }
}

}  // namespace
}  // namespace yig::rt
