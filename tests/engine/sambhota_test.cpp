// Unicode Tibetan to Sambhota and back, through the engine operations.
#include <gtest/gtest.h>

#include <string>

#include "engine/conversion_engine.h"
#include "engine/sambhota.h"
#include "tests/engine/sambhota_host.h"

namespace yig {
namespace {

using testing::escapedText;
using testing::escapes;
using testing::rtfDocument;
using testing::SambhotaTestHost;
using testing::TextTables;

constexpr std::string_view kHimalaya = "{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}";
constexpr std::string_view kTimes = "{\\f1\\froman\\fcharset0 Times New Roman;}";

// Runs one operation the way a request does (proceed set first) and returns the work area's RTF.
struct SamRun {
  SambhotaTestHost host;
  std::unique_ptr<TableSource> owned;
  const TableSource* tables = &builtinTables();
  std::unique_ptr<ConversionEngine> engine;

  explicit SamRun(std::u16string tableText = {}) {
    if (!tableText.empty()) {
      owned = std::make_unique<TextTables>(std::move(tableText));
      tables = owned.get();
    }
    engine = std::make_unique<ConversionEngine>(host, *tables);
    engine->proceed = kTrue;
    engine->runNotAborted = kTrue;
  }
  std::string himaToSam(const std::string& rtf) {
    host.workArea().setRtf(rtf);
    std::string zz = rtf;
    engine->WJZH_HIMA_SAM(zz);
    EXPECT_TRUE(zz.empty());
    return host.workArea().rtf();
  }
  std::string samToHima(const std::string& rtf) {
    host.workArea().setRtf(rtf);
    std::string zz = rtf;
    engine->WJZH_SAM_HIMA(zz);
    EXPECT_TRUE(zz.empty());
    return host.workArea().rtf();
  }
};

// The table text of a small made-up table: Dedris-a holds KA, KA+RA, a
// four-character stack, a glyph whose character is "}" and the blank.
const std::u16string kSmallTable =
    u"!\t\u0F40\tf10\tDedris-a\r\n"
    u"\"\t\u0F40\u0FB2\tf10\tDedris-a\r\n"
    u"#\t\u0F66\u0F90\u0FB2\u0F74\tf11\tDedris-a1\r\n"
    u"}\t\u0F41\tf10\tDedris-a\r\n"
    u"-\t\u0F0B\tf10\tDedris-a\r\n"
    u"\\\t\u0F42\tf10\tDedris-a\r\n"
    u" \t \tf10\tDedris-a\r\n";


TEST(HimaToSambhota, LongestMatchAndEscaping) {
  struct Case {
    const char* name;
    std::u16string text;
    std::u16string expected;
  };
  const Case cases[] = {
      {"KA and subjoined RA make one unit", u"\u0F40\u0FB2", u"[Ededris-a]\""},
      {"a missing three-character key does not stop the four-character one", u"\u0F66\u0F90\u0FB2\u0F74",
       u"[Ededris-a1]#"},
      {"the longest key found wins, the rest is the next unit", u"\u0F40\u0FB2\u0F40", u"[Ededris-a]\"!"},
      {"a value ending in a brace is escaped", u"\u0F41", u"[Ededris-a]}"},
      {"a value ending in a backslash is escaped", u"\u0F42", u"[Ededris-a]\\"},
      {"an unknown character stays red in the first Tibetan font", u"\u0F40\u0FD0\u0F40",
       u"[Ededris-a]![Microsoft Himalaya]<red>\u0FD0</red>[Ededris-a]!"},
  };
  for (const Case& c : cases) {
    SamRun run(kSmallTable);
    run.himaToSam(rtfDocument(kHimalaya, "\\f0 " + escapes(c.text)));
    EXPECT_EQ(testing::describe(run.host.workArea()), c.expected) << c.name;
    const bool red = c.expected.find(u"<red>") != std::u16string::npos;
    EXPECT_EQ(run.engine->sfywzh, red ? kTrue : kFalse) << c.name;
  }
}

TEST(HimaToSambhota, RawOutputForm) {
  // The RTF the operation writes, before the work area reads it.
  SamRun run(kSmallTable);
  std::string in = rtfDocument(kHimalaya, "\\f0 " + escapes(u"\u0F41\u0F40\u0FD0"));
  std::string zz = in;
  run.engine->WJZH_HIMA_SAM(zz);
  // Read back by the work area: the three characters, the third red.
  EXPECT_EQ(testing::describe(run.host.workArea()), u"[Ededris-a]}![Microsoft Himalaya]<red>\u0FD0</red>");
}

TEST(HimaToSambhota, WhichRunsAreConverted) {
  const std::string ka = escapes(u"\u0F40");
  struct Case {
    const char* name;
    std::string fonts;
    std::string body;
    std::u16string expected;
  };
  const std::string himalayaAndTimes = std::string(kHimalaya) + std::string(kTimes);
  const Case cases[] = {
      {"text in the default font (\\deff0) is converted too", std::string(kHimalaya), ka + "\\f0 " + ka,
       u"[Ededris-a]!!"},
      {"a size change inside a Tibetan run does not stop it", std::string(kHimalaya), "\\f0 " + ka + "\\fs32 " + ka,
       u"[Ededris-a]!!"},
      {"text in other fonts stays, also after a size change", himalayaAndTimes,
       "\\f1 " + ka + "\\fs32 " + ka + "\\f0 " + ka, u"[Times New Roman]\u0F40\u0F40[Ededris-a]!"},
      {"text that is not converted goes back to the run's font", std::string(kHimalaya),
       "\\f0 " + ka + " (a1) " + ka + "\\u12298?", u"[Ededris-a]![Microsoft Himalaya] (a1) [Ededris-a]![Microsoft Himalaya]\u300A"},
      {"punctuation of other scripts is not Tibetan: it stays, unmarked", std::string(kHimalaya),
       "\\f0 " + ka + "\\u8221? 5\\u8221?5", u"[Ededris-a]![Microsoft Himalaya]\u201D 5\u201D5"},
      {"a Monlam font with a two-digit number counts", "{\\f12\\fnil\\fcharset0 Monlam Uni OuChan2;}",
       "\\f12 " + ka, u"[Ededris-a]!"},
      {"a font with a three-digit number counts too",
       "{\\f0\\fnil Arial;}{\\f100\\fnil\\fcharset0 Microsoft Himalaya;}{\\f1\\fnil Microsoft Himalaya;}",
       "\\f100 " + ka + "\\f1 " + ka, u"[Ededris-a]!!"},
  };
  for (const Case& c : cases) {
    SamRun run(kSmallTable);
    run.himaToSam(rtfDocument(c.fonts, c.body));
    EXPECT_EQ(testing::describe(run.host.workArea()), c.expected) << c.name;
  }
}

TEST(HimaToSambhota, DedrisFamilyOnlyWhenChosenExactly) {
  struct Case {
    std::u16string family;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"Dedris", u"[Dedris-a]![Dedris-a1]#"},
      {u"Ededris", u"[Ededris-a]![Ededris-a1]#"},
      {u"dedris", u"[Ededris-a]![Ededris-a1]#"},
  };
  for (const Case& c : cases) {
    SamRun run(kSmallTable);
    run.host.family = c.family;
    run.himaToSam(rtfDocument(kHimalaya, "\\f0 " + escapes(u"\u0F40\u0F66\u0F90\u0FB2\u0F74")));
    EXPECT_EQ(testing::describe(run.host.workArea()), c.expected);
  }
}

TEST(HimaToSambhota, DedrisAndEdedrisGiveTheSameText) {
  std::string in = rtfDocument(kHimalaya, "\\f0 " + escapes(u"\u0F56\u0F7C\u0F51\u0F0B\u0F66\u0F90\u0F51\u0F0B"));
  SamRun dedris, ededris;
  dedris.host.family = u"Dedris";
  ededris.host.family = u"Ededris";
  dedris.himaToSam(in);
  ededris.himaToSam(in);
  EXPECT_EQ(dedris.host.workArea().text(), ededris.host.workArea().text());
  EXPECT_GT(dedris.host.workArea().text().size(), 3u);
}

TEST(HimaToSambhota, DocumentFontsTenToThirtyNineKeepTheirNumbers) {
  // The document's own fonts 10 and 11 hold Latin text; the Sambhota block
  // must not take their numbers.
  std::string fonts = std::string(kHimalaya) + "{\\f10\\froman\\fcharset0 Georgia;}{\\f11\\fswiss\\fcharset0 Verdana;}";
  std::string in = rtfDocument(fonts, "\\f10 Latin \\f0 " + escapes(u"\u0F40\u0F40\u0FB2") + "\\f11 more");
  SamRun run(kSmallTable);
  run.himaToSam(in);
  EXPECT_EQ(testing::describe(run.host.workArea()), u"[Georgia]Latin [Ededris-a]!\"[Verdana]more");
  std::array<int, 30> numbers = sambhota::blockNumbers(std::string_view(in).substr(0, in.find("\\viewkind")));
  EXPECT_EQ(numbers[0], 12);
  // And the text reads back.
  SamRun back(kSmallTable);
  back.samToHima(run.host.workArea().rtf());
  EXPECT_EQ(testing::describe(back.host.workArea()),
            u"[Georgia]Latin [Microsoft Himalaya]\u0F40\u0F40\u0FB2[Verdana]more");
}

TEST(HimaToSambhota, BlockNumbers) {
  struct Case {
    const char* name;
    std::string header;
    int first, last;
  };
  const Case cases[] = {
      {"free fonts 10..39", "{\\fonttbl{\\f0 A;}{\\f1 B;}{\\f40 C;}}", 10, 39},
      {"font 25 taken", "{\\fonttbl{\\f0 A;}{\\f25 B;}}", 26, 55},
      {"no run of thirty: scattered free numbers", "{\\fonttbl{\\f25 A;}{\\f50 B;}{\\f75 C;}}", 0, 30},
  };
  for (const Case& c : cases) {
    auto n = sambhota::blockNumbers(c.header);
    EXPECT_EQ(n.front(), c.first) << c.name;
    EXPECT_EQ(n.back(), c.last) << c.name;
  }
  // Fonts 0..68 taken: the block ends at 98, never on 99.
  std::string upTo68 = "{\\fonttbl";
  for (int i = 0; i <= 68; ++i) upTo68 += "{\\f" + std::to_string(i) + " X;}";
  auto last = sambhota::blockNumbers(upTo68);
  EXPECT_EQ(last.front(), 69);
  EXPECT_EQ(last.back(), 98);
  // With the numbers below 99 crowded, free ones are taken where they are.
  std::string crowded = "{\\fonttbl";
  for (int i = 0; i < 99; i += 2) crowded += "{\\f" + std::to_string(i) + " X;}";
  auto n = sambhota::blockNumbers(crowded);
  for (int v : n) EXPECT_TRUE(v % 2 == 1 && v != 99) << v;
}

TEST(HimaToSambhota, RefusesWithoutUnicodeTibetanFont) {
  struct Case {
    const char* name;
    Flag16 proceedOnEntry;
    std::string fonts;
  };
  const Case cases[] = {
      {"through a request, no Unicode Tibetan font", kTrue, std::string(kTimes)},
      {"direct call, source list not in the header", kFalse, std::string(kTimes)},
  };
  for (const Case& c : cases) {
    SamRun run(kSmallTable);
    std::string in = rtfDocument(c.fonts, "\\f1 " + escapes(u"\u0F40"));
    run.host.workArea().setRtf(in);
    const std::string before = run.host.workArea().rtf();
    run.engine->proceed = c.proceedOnEntry;
    std::string zz = in;
    run.engine->WJZH_HIMA_SAM(zz);
    EXPECT_EQ(run.host.workArea().rtf(), before) << c.name;
    ASSERT_EQ(run.host.messages.size(), 1u) << c.name;
    EXPECT_EQ(run.host.messages[0], u"原文本中无Himalaya类型藏文基本集编码！");
    EXPECT_EQ(run.engine->proceed, kFalse);
    EXPECT_EQ(run.engine->runNotAborted, kFalse);
  }
}

TEST(SambhotaToHima, ReadsEachFontThroughItsDedrisLines) {
  struct Case {
    const char* name;
    std::string fonts;
    std::string body;
    std::u16string expected;
  };
  const std::string dedrisA = "{\\f5\\froman\\fprq2\\fcharset0 Dedris-a;}";
  const std::string ededrisA = "{\\f5\\froman\\fprq2\\fcharset0 Ededris-a;}";
  const std::u16string hima = u"[Microsoft Himalaya]";
  const Case cases[] = {
      {"Dedris-a", dedrisA, "\\f5 !\"-", hima + u"\u0F40\u0F40\u0FB2\u0F0B"},
      {"Ededris-a reads like Dedris-a", ededrisA, "\\f5 !\"-", hima + u"\u0F40\u0F40\u0FB2\u0F0B"},
      {"font names compare without case", "{\\f5\\fnil Ededris-A;}", "\\f5 !", hima + u"\u0F40"},
      {"Dedris-a1 is not Dedris-a", "{\\f5\\fnil Dedris-a1;}", "\\f5 #", hima + u"\u0F66\u0F90\u0FB2\u0F74"},
      {"escaped brace and backslash are text", dedrisA, "\\f5 \\}\\\\", hima + u"\u0F41\u0F42"},
      {"a size change keeps the run", dedrisA, "\\f5 !\\fs32 !", hima + u"\u0F40\u0F40"},
      {"a blank is a space, the delimiter is not", dedrisA, "\\f5 ! !", hima + u"\u0F40 \u0F40"},
      {"text before the first font switch is not converted", "{\\f0\\fnil Arial;}" + dedrisA, "! \\f5 !",
       u"[Arial]! " + hima + u"\u0F40"},
      {"three-digit font numbers are Sambhota fonts too", "{\\f105\\fnil Dedris-a;}", "\\f105 !", hima + u"\u0F40"},
      {"an unknown character is red in its own font", dedrisA, "\\f5 !x1", hima + u"\u0F40[Dedris-a]<red>x1</red>"},
      {"a group inside the run is markup", dedrisA, "\\f5 !{\\b !}", hima + u"\u0F40\u0F40"},
      {"other fonts are never looked up", dedrisA + std::string(kTimes), "\\f1 !\\f5 !\\f1 !",
       u"[Times New Roman]!" + hima + u"\u0F40[Times New Roman]!"},
  };
  for (const Case& c : cases) {
    SamRun run(kSmallTable);
    run.samToHima(rtfDocument(c.fonts, c.body));
    EXPECT_EQ(testing::describe(run.host.workArea()), c.expected) << c.name;
    const bool red = c.expected.find(u"<red>") != std::u16string::npos;
    EXPECT_EQ(run.engine->sfywzh, red ? kTrue : kFalse) << c.name;
  }
}

TEST(SambhotaToHima, DedrisAndEdedrisOfTheSameSuffixBothConvert) {
  SamRun run(kSmallTable);
  run.samToHima(rtfDocument("{\\f5\\fnil Dedris-a;}{\\f6\\fnil Ededris-a;}", "\\f5 !\\f6 \"\\f5 -"));
  EXPECT_EQ(testing::describe(run.host.workArea()), u"[Microsoft Himalaya]\u0F40\u0F40\u0FB2\u0F0B");
  EXPECT_EQ(run.engine->sfywzh, kFalse);
}

TEST(SambhotaToHima, RefusesWithoutSambhotaFont) {
  SamRun run(kSmallTable);
  std::string in = rtfDocument(std::string(kTimes), "\\f1 abc");
  run.host.workArea().setRtf(in);
  const std::string before = run.host.workArea().rtf();
  std::string zz = in;
  run.engine->WJZH_SAM_HIMA(zz);
  EXPECT_EQ(run.host.workArea().rtf(), before);
  ASSERT_EQ(run.host.messages.size(), 1u);
  EXPECT_EQ(run.host.messages[0], u"原文本中无桑布扎2.0编码！");
  EXPECT_EQ(run.engine->proceed, kFalse);
}

}  // namespace
}  // namespace yig

namespace yig {
namespace {

// Bodies that end in the middle of an escape or a control word, or hold stray
// braces and backslashes: both directions copy what they cannot read and never
// read past the text; a stray brace or a group left open is reported as a
// document that is not whole.
TEST(SambhotaScan, TruncatedAndStrayMarkupIsCopied) {
  const char* bodies[] = {
      "\\f5",         "\\f5 \\",       "\\f5 !\\'",     "\\f5 !\\'4",  "\\f5 \\u",      "\\f5 \\u-",
      "\\f5 \\u39",   "\\f5 !\\u3904", "\\f5 {\\f5 !", "\\f5 !}",     "\\f5 \\\\",     "\\f0 \\u39",
      "\\f0 \\u3904", "\\f0 \\u3904?\\u39", "\\f0 \\u-", "\\f0 \\",      "\\f0 \\u3904?\\", "\\f12345 !",
  };
  const std::string fonts = std::string(kHimalaya) + "{\\f5\\fnil Dedris-a;}";
  for (const char* b : bodies) {
    for (int direction = 0; direction < 2; ++direction) {
      SamRun run(kSmallTable);
      std::string in = rtfDocument(fonts, b);
      if (direction == 0) run.himaToSam(in);
      else run.samToHima(in);
      const bool open = std::string_view(b).find_first_of("{}") != std::string_view::npos;
      EXPECT_EQ(run.host.messages.empty(), !open) << b;
      if (!open) {
        EXPECT_FALSE(run.host.workArea().rtf().empty()) << b;
      }
    }
  }
}

}  // namespace
}  // namespace yig
