// The two national-standard operations on small documents, checked on what
// the RTF they hand to the work area means: each character with its font and
// red mark, as the editor reads it.
#include <gtest/gtest.h>

#include "engine/engine_internals.h"
#include "engine_test_support.h"
#include "sambhota_host.h"

namespace yig {
namespace {

using test::esc;

constexpr std::string_view kBzdEntry = "{\\f99\\fnil\\fprq2\\fcharset134 BZDBT;}";
constexpr std::string_view kRed1 = "{\\colortbl ;\\red255\\green0\\blue0;}";
constexpr std::string_view kHimalayaEntry = "{\\f99\\fnil\\fcharset0 Microsoft Himalaya;}";

// A small table in the stored layout: national character, TAB, Unicode.
const std::u16string kBzdTable =
    u"\uF041\t\u0F66\u0F90\u0FB1\r\n"  // a three-character stack (value from U+8000 up)
    u"\u963F\t\u0F40\u0FB2\r\n"        // a two-character stack
    u"\u554A\t\u0F40\r\n"
    u"\u6328\t\u0F72\r\n"              // a vowel sign standing alone
    u"\u7231\t\u0F7F\r\n"
    u"\uFE3D\t\u0F0B\r\n";

struct Fixture {
  test::MemoryTables tables;
  test::RecordingHost host;
  ConversionEngine engine{host, tables};
  std::string written;
  explicit Fixture(std::u16string list = u"Himalaya;Monlam;Tibetan ; Uni;????;") : host(std::move(list)) {
    tables.put("BZD", kBzdTable);
    tables.put("TY", kBzdTable);
    tables.put("FZ", kBzdTable);
    tables.put("HKA", u"\uF300\t\u0F68\u0F72\r\n\uF301\t\u0F40\r\n");
    EngineInternals::copyOutputTo(engine, &written);
  }
};

// What a document shows: its characters with their fonts and red marks.
std::u16string meaning(std::string_view rtf) {
  rt::Document doc;
  doc.setRtf(rtf);
  return testing::describe(doc);
}

std::string himaDoc(std::string_view fonts, std::string_view body) {
  return "{\\rtf1\\ansi{\\fonttbl" + std::string(fonts) + "}\\viewkind4\\uc1\\pard" + std::string(body) + "\\par\r\n}\r\n";
}
std::string bzdHeader(std::string_view fonts) {
  return "{\\rtf1\\ansi{\\fonttbl" + std::string(kBzdEntry) + std::string(fonts) + "}" + std::string(kRed1);
}

constexpr std::string_view kHimalayaF0 = "{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}{\\f1\\fnil Tahoma;}";

struct HimaCase {
  const char* name;
  std::string body;      // after \pard, before \par
  std::string expected;  // the converted body, same span
  bool red;
};

class UnicodeToNational : public ::testing::TestWithParam<HimaCase> {};

TEST_P(UnicodeToNational, ConvertsRunsInUnicodeTibetanFonts) {
  const HimaCase& c = GetParam();
  Fixture f;
  f.engine.proceed = kTrue;  // as inside a request
  std::string zz = himaDoc(kHimalayaF0, c.body);
  f.engine.WJZH_HIMA_QT(zz, u"bzd");
  EXPECT_TRUE(zz.empty());
  EXPECT_EQ(meaning(f.written), meaning(bzdHeader(kHimalayaF0) + "\\viewkind4\\uc1\\pard" + c.expected + "\\par\r\n}"))
      << c.name << "\n" << f.written;
  EXPECT_EQ(f.engine.sfywzh, c.red ? kTrue : kFalse) << c.name;
}

const std::string kSka = esc(0x0F66) + esc(0x0F90) + esc(0x0FB1);

INSTANTIATE_TEST_SUITE_P(
    Cases, UnicodeToNational,
    ::testing::Values(
        HimaCase{"stack as one unit", "\\f0\\fs48 " + kSka, "\\f0\\fs48 \\f99 \\u-4031?", false},
        HimaCase{"prefix then next unit", "\\f0 " + esc(0x0F40) + esc(0x0FB2) + esc(0x0F7F),
                 "\\f0 \\f99 \\u-27073?\\f99 \\u29233?", false},
        HimaCase{"vowel sign first is converted in red", "\\f0 " + esc(0x0F72),
                 "\\f0 \\cf1\\f99 \\u25384?\\cf0", true},
        HimaCase{"U+0F7F first is not marked", "\\f0 " + esc(0x0F7F), "\\f0 \\f99 \\u29233?", false},
        HimaCase{"unknown character stays in the first Tibetan font, red", "\\f0 " + esc(0x0FD0) + esc(0x0F40),
                 "\\f0 \\f0\\cf1" + esc(0x0FD0) + "\\cf0\\f99 \\u21834?", true},
        HimaCase{"other fonts are left alone, also after \\fs", "\\f1\\fs24 " + esc(0x0F40) + " " + esc(0x0915),
                 "\\f1\\fs24 " + esc(0x0F40) + " " + esc(0x0915), false},
        HimaCase{"upper-case escapes read alike", "\\f0 \\U3904?", "\\f0 \\f99 \\u21834?", false},
        HimaCase{"back into a Tibetan font after another", "\\f1 a\\f0 " + esc(0x0F0B), "\\f1 a\\f0 \\f99 \\u-451?", false},
        HimaCase{"plain text and byte escapes pass", "\\f0 x\\'41 " + esc(0x0F40), "\\f0 x\\'41 \\f99 \\u21834?", false},
        // A blank or digit right after a red mark must not be eaten by "\cf0".
        HimaCase{"blank after a red mark stays text", "\\f0 " + esc(0x0FD0) + " 5",
                 "\\f0 \\f0\\cf1" + esc(0x0FD0) + "\\cf0  5", true},
        HimaCase{"digit after a red vowel sign stays text", "\\f0 " + esc(0x0F72) + "7",
                 "\\f0 {\\cf1\\f99 \\u25384?}7", true}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(UnicodeToNationalFonts, FontTagsFromTheFontTable) {
  Fixture f;
  f.engine.proceed = kTrue;
  // \f12 is a Monlam font; \f3 A-Tibetan is a national font; \f100 Himalaya is
  // Tibetan too (any font number); \f10 is not in the table.
  std::string fonts =
      "{\\f1\\fnil Tahoma;}{\\f3\\fnil A-Tibetan;}{\\f12\\fnil Monlam Uni OuChan2;}{\\f100\\fnil Microsoft Himalaya;}";
  std::string zz = himaDoc(fonts, "\\f12 " + esc(0x0F40) + "\\f3 " + esc(0x0F40) + "\\f100 " + esc(0x0F40) + "\\f10 " +
                                       esc(0x0F40));
  f.engine.WJZH_HIMA_QT(zz, u"BZD");
  EXPECT_EQ(meaning(f.written), meaning(bzdHeader(fonts) + "\\viewkind4\\uc1\\pard\\f12 \\f99 \\u21834?\\f3 " + esc(0x0F40) +
                                        "\\f100 \\f99 \\u21834?\\f10 " + esc(0x0F40) + "\\par\r\n}"))
      << f.written;
}

TEST(UnicodeToNationalFonts, TargetFontEntries) {
  struct Case {
    std::u16string code;
    std::string entry;
  };
  const Case cases[] = {
      {u"TY", "{\\f99\\fnil\\fprq2\\fcharset134 CHINATIBET;}"},
      {u"BZD", "{\\f99\\fnil\\fprq2\\fcharset134 BZDBT;}"},
      {u"FZ", "{\\f99\\fnil\\fprq2\\fcharset134 \\'b7\\'bd\\'d5\\'fd\\'b2\\'d8\\'ce\\'c4\\'d0\\'c2\\'b0\\'d7\\'cc\\'e5;}"},
      {u"HKA", "{\\f99\\fnil\\fprq2\\fcharset134 \\'b7\\'bd\\'d5\\'fd\\'b2\\'d8\\'ce\\'c4\\'d0\\'c2\\'b0\\'d7\\'cc\\'e5_Unicode;}"},
  };
  for (const auto& c : cases) {
    Fixture f;
    f.engine.proceed = kTrue;
    std::string zz = himaDoc(kHimalayaF0, "\\f0 x");
    f.engine.WJZH_HIMA_QT(zz, c.code);
    // The entry closes the font table (a font number no font of the document uses).
    EXPECT_NE(f.written.find(c.entry + "}{\\colortbl"), std::string::npos) << f.written;
  }
}

TEST(UnicodeToNationalFonts, ColourTableGetsRedAsItsLastEntry) {
  Fixture f;
  f.engine.proceed = kTrue;
  std::string zz = "{\\rtf1{\\fonttbl{\\f0\\fnil Microsoft Himalaya;}}{\\colortbl ;\\red0\\green0\\blue255;}"
                   "\\viewkind4\\uc1\\pard\\f0 " + esc(0x0FD0) + "\\par}";
  f.engine.WJZH_HIMA_QT(zz, u"BZD");
  EXPECT_NE(f.written.find("{\\colortbl ;\\red0\\green0\\blue255;\\red255\\green0\\blue0;}"), std::string::npos);
  EXPECT_NE(f.written.find("{\\cf2 " + esc(0x0FD0) + "}"), std::string::npos) << f.written;
  EXPECT_EQ(f.engine.stats().redMarks, 1u);
}

TEST(UnicodeToNationalEarlyStops, DirectCallChecksTheSourceFontList) {
  Fixture f(u" BZD;");  // the list names no font of this document
  f.host.area.setRtf("{\\rtf1{\\fonttbl{\\f0 Tahoma;}}\\viewkind4\\uc1\\pard keep\\par}");
  std::string before = f.host.area.rtf();
  std::string zz = himaDoc(kHimalayaF0, "\\f0 " + esc(0x0F40));
  f.engine.WJZH_HIMA_QT(zz, u"BZD");
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_EQ(f.host.messages[0], u"原文本中无Himalaya类型藏文基本集编码！");
  EXPECT_EQ(f.engine.proceed, kFalse);
  EXPECT_EQ(f.engine.runNotAborted, kFalse);
  EXPECT_TRUE(f.written.empty());
  EXPECT_EQ(f.host.area.rtf(), before);
}

TEST(UnicodeToNationalEarlyStops, WithoutUnicodeFontInsideARequestTheTextPassesThrough) {
  // Called as a chained second stage (proceed set, not a HIMA request):
  // nothing is converted, the fonts and red are added.
  Fixture f;
  f.engine.proceed = kTrue;
  std::string zz = himaDoc("{\\f1\\fnil Tahoma;}", "\\f1 " + esc(0x0F40));
  f.engine.WJZH_HIMA_QT(zz, u"BZD");
  EXPECT_EQ(meaning(f.written),
            meaning(bzdHeader("{\\f1\\fnil Tahoma;}") + "\\viewkind4\\uc1\\pard\\f1 " + esc(0x0F40) + "\\par\r\n}"));
  EXPECT_NE(f.written.find("BZDBT"), std::string::npos);
  EXPECT_TRUE(f.host.messages.empty());
}

struct RefusalCase {
  const char* name;
  std::string zz;
  std::u16string message;
};

class OperationRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(OperationRefusals, LeaveTheWorkAreaAndSayWhy) {
  const RefusalCase& c = GetParam();
  for (int direction = 0; direction < 2; ++direction) {
    Fixture f(direction == 0 ? u"Himalaya;" : u" CHINATIBET;");
    f.engine.proceed = kTrue;
    f.host.area.setRtf("{\\rtf1{\\fonttbl{\\f0 Tahoma;}}\\viewkind4\\uc1\\pard keep\\par}");
    std::string before = f.host.area.rtf();
    std::string zz = c.zz;
    if (direction == 0) {
      f.engine.WJZH_HIMA_QT(zz, u"BZD");
    } else {
      f.engine.WJZH_QT_HIMA(zz, u"TY");
    }
    ASSERT_EQ(f.host.messages.size(), 1u) << c.name;
    EXPECT_EQ(f.host.messages[0], c.message) << c.name;
    EXPECT_EQ(f.engine.refusal(), c.message);
    EXPECT_EQ(f.engine.proceed, kFalse);
    EXPECT_EQ(f.host.area.rtf(), before) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OperationRefusals,
    ::testing::Values(
        RefusalCase{"no closing brace", "{\\rtf1{\\fonttbl{\\f0 CHINATIBET Himalaya;\\viewkind4 x", u"文本不是完整的RTF文档，未作转换！"},
        RefusalCase{"cut off inside a group", "{\\rtf1{\\fonttbl{\\f0 CHINATIBET Himalaya;}}{\\pard x}", u"文本不是完整的RTF文档，未作转换！"},
        RefusalCase{"no font table", "{\\rtf1{\\colortbl ;} CHINATIBET Himalaya\\viewkind4 x}", u"RTF文档中无字体表，未作转换！"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(OperationRefusals, EmptyTextDoesNothing) {
  Fixture f;
  std::string zz;
  f.engine.WJZH_HIMA_QT(zz, u"BZD");
  f.engine.WJZH_QT_HIMA(zz, u"BZD");
  EXPECT_TRUE(f.host.messages.empty());
  EXPECT_TRUE(f.written.empty());
}

// ---------------------------------------------------------------------------

constexpr std::string_view kTyFonts = "{\\f0\\fnil Tahoma;}{\\f2\\fnil\\fcharset134 CHINATIBET;}";

std::string tyHeader(std::string_view fonts) {
  return "{\\rtf1\\ansi{\\fonttbl" + std::string(kHimalayaEntry) + std::string(fonts) + "}" + std::string(kRed1);
}

struct QtCase {
  const char* name;
  std::string body;
  std::string expected;
  bool red;
};

class NationalToUnicode : public ::testing::TestWithParam<QtCase> {};

TEST_P(NationalToUnicode, ConvertsRunsInSourceFonts) {
  const QtCase& c = GetParam();
  Fixture f(u" CHINATIBET; TIBET;");
  std::string zz = himaDoc(kTyFonts, c.body);
  f.engine.WJZH_QT_HIMA(zz, u"TY");
  EXPECT_EQ(meaning(f.written), meaning(tyHeader(kTyFonts) + "\\viewkind4\\uc1\\pard" + c.expected + "\\par\r\n}"))
      << c.name << "\n" << f.written;
  EXPECT_EQ(f.engine.sfywzh, c.red ? kTrue : kFalse) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NationalToUnicode,
    ::testing::Values(
        QtCase{"font word dropped, character converted", "\\f2 \\'b0\\'a1", " \\f99 \\U3904?", false},
        QtCase{"a stack gives one escape per character", "\\f2 \\'b0\\'a2", " \\f99 \\U3904?\\f99 \\U4018?", false},
        QtCase{"unknown double byte: the character itself, unmarked", "\\f2 \\'b0\\'a3", "\\f2 \\'b0\\'a3", false},
        QtCase{"unknown Unicode escape: red in the source font", "\\f2 \\u20013?", " \\f2\\cf1\\U20013?\\cf0", true},
        QtCase{"a known Unicode escape is converted", "\\f2 \\u-4031?", " \\f99 \\U3942?\\f99 \\U3984?\\f99 \\U4017?", false},
        QtCase{"\\fs after a source piece is converted", "\\f2\\fs24 \\'b0\\'a1", "\\fs24 \\f99 \\U3904?", false},
        QtCase{"\\fs after another font is not", "\\f0\\fs24 \\'b0\\'a1", "\\f0\\fs24 \\'b0\\'a1", false},
        QtCase{"other fonts keep their escapes", "\\f0 \\u20013?\\'b0\\'a1", "\\f0 \\u20013?\\'b0\\'a1", false},
        QtCase{"single bytes and text copied", "\\f2 a\\'41 b", "\\f2 a\\'41 b", false},
        QtCase{"blank after a red mark stays text", "\\f2 \\u20013? x", " \\f2\\cf1\\U20013?\\cf0  x", true},
        QtCase{"a font the table does not declare ends the source run",
               "\\f2 \\'b0\\'a1\\f123 \\'b0\\'a1\\fs20 \\'b0\\'a1",
               " \\f99 \\U3904?\\f123 \\'b0\\'a1\\fs20 \\'b0\\'a1", false}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(NationalToUnicodeFonts, MissingSourceFontMessages) {
  struct Case {
    std::u16string code, list, message;
  };
  const Case cases[] = {
      {u"BZD", u" BZD;", u"原文本中无班智达藏文！"},
      {u"TY", u" CHINATIBET; TIBET;", u"原文本中无同元藏文！"},
      {u"FZ", u"\\'b7\\'bd\\'d5\\'fd\\'b2\\'d8\\'ce\\'c4\\", u"原文本中无方正藏文！"},
      {u"HG", u" A-Tibetan; JBHGZW", u"原文本中无华光藏文！"},
      {u"HKA", u"_Unicode;Sunshine", u"原文本中无方正藏文Unicode或其它藏文编码字符集扩展集A类型的藏文！"},
  };
  for (const auto& c : cases) {
    Fixture f(c.list);
    f.host.tibetan = true;
    std::string zz = himaDoc("{\\f0\\fnil Tahoma;}", "\\f0 x");
    f.engine.WJZH_QT_HIMA(zz, c.code);
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0], u"[bo]" + c.message);  // translated for the Tibetan interface
    EXPECT_EQ(f.engine.proceed, kFalse);
    EXPECT_EQ(f.engine.runNotAborted, kFalse);
    EXPECT_TRUE(f.written.empty());
  }
}

TEST(NationalToUnicodeFonts, FangzhengUnicodeFontBelongsToHkaOnly) {
  const std::string fz = "\\'b7\\'bd\\'d5\\'fd\\'b2\\'d8\\'ce\\'c4\\'d0\\'c2\\'b0\\'d7\\'cc\\'e5";
  const std::string fonts = "{\\f1\\fnil\\fcharset134 " + fz + ";}{\\f2\\fnil\\fcharset134 " + fz + "_Unicode;}";
  const std::string body = "\\f1 \\'b0\\'a1\\f2 \\u-3327?";
  {
    Fixture f(u"\\'b7\\'bd\\'d5\\'fd\\'b2\\'d8\\'ce\\'c4\\");
    std::string zz = himaDoc(fonts, body);
    f.engine.WJZH_QT_HIMA(zz, u"FZ");
    EXPECT_EQ(meaning(f.written), u"[Microsoft Himalaya]\u0F40[方正藏文新白体_Unicode]\uF301") << f.written;
  }
  {
    Fixture f(u"_Unicode;Sunshine");
    std::string zz = himaDoc(fonts, body);
    f.engine.WJZH_QT_HIMA(zz, u"HKA");
    EXPECT_EQ(meaning(f.written), u"[方正藏文新白体]\u554A[Microsoft Himalaya]\u0F40") << f.written;
  }
}

TEST(NationalToUnicodeFonts, ProgressRunsFromZeroToHundred) {
  Fixture f(u" CHINATIBET;");
  std::string zz = himaDoc(kTyFonts, "\\f2 \\'b0\\'a1\\f0 a\\f2 \\'b0\\'a1\\f0 b");
  f.engine.WJZH_QT_HIMA(zz, u"TY");
  ASSERT_FALSE(f.host.progress.empty());
  for (int p : f.host.progress) {
    EXPECT_GE(p, 0);
    EXPECT_LE(p, 100);
  }
  EXPECT_EQ(f.host.progress.back(), 100);
  EXPECT_EQ(f.host.starts, 1);
  EXPECT_EQ(f.host.stops, 1);
  EXPECT_EQ(f.engine.stats().unitsConverted, 2u);
}

}  // namespace
}  // namespace yig
