#include <gtest/gtest.h>

#include "ui/encoding_choices.h"

namespace yig::ui {
namespace {

struct FontCase {
  const char16_t* font;
  int expected;  // -1: nothing chosen
};

class SourceFromFontTest : public ::testing::TestWithParam<FontCase> {};

TEST_P(SourceFromFontTest, PicksTheFamilyOfTheCaretFont) {
  const FontCase& c = GetParam();
  const std::optional<int> source = sourceFromFontName(QString::fromUtf16(c.font));
  EXPECT_EQ(source.value_or(-1), c.expected) << QString::fromUtf16(c.font).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SourceFromFontTest,
    ::testing::Values(FontCase{u"Ededris-a", 5}, FontCase{u"Dedris-a", 5}, FontCase{u"DEDRIS-SYM", 5},
                      FontCase{u"Microsoft Himalaya", 4}, FontCase{u"Monlam Uni OuChan2", 4},
                      FontCase{u"Tibetan Machine Uni", 4}, FontCase{u"Jomolhari Uni", 4},
                      FontCase{u"CHINATIBET", 1}, FontCase{u"TIBETBT", 1}, FontCase{u"TIBET", 1},
                      FontCase{u"JBHGZW1", 3}, FontCase{u"A-Tibetan", 3}, FontCase{u"方正藏文新白体", 2},
                      FontCase{u"方正藏文新白体_Unicode", 6}, FontCase{u"BZDBT", 0}, FontCase{u"bzdbt", 0},
                      FontCase{u"Sunshine_Unicode", 6}, FontCase{u"宋体", -1}, FontCase{u"", -1}));

struct PasteCase {
  const char16_t* text;
  int expected;
  const char16_t* font;
};

class PasteGuessTest : public ::testing::TestWithParam<PasteCase> {};

TEST_P(PasteGuessTest, GuessesSourceAndFont) {
  const PasteCase& c = GetParam();
  const std::optional<PasteGuess> guess = guessFromPastedText(QString::fromUtf16(c.text));
  ASSERT_EQ(guess.has_value(), c.expected >= 0);
  if (!guess) return;
  EXPECT_EQ(guess->sourceIndex, c.expected);
  EXPECT_EQ(guess->font, QString::fromUtf16(c.font));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PasteGuessTest,
    ::testing::Values(PasteCase{u"བཀྲ་ཤིས་བདེ་ལེགས།", 4, u"Microsoft Himalaya"},
                      // The private-use test runs before the Unicode Tibetan test.
                      PasteCase{u"ཀ\uF300", 6, u"方正藏文新白体_Unicode"},
                      PasteCase{u"abc娥", 3, u"A-Tibetan"}, PasteCase{u"ab＃c", 2, u"方正藏文新白体"},
                      // 丂 is GBK 0x8140: its trail byte lies below 0xA0.
                      PasteCase{u"x丂", 1, u"CHINATIBET"}, PasteCase{u"a︽b", 0, u"BZDBT"},
                      PasteCase{u"a﹀", 0, u"BZDBT"}, PasteCase{u"Hello 你好", -1, u""},
                      PasteCase{u"", -1, u""}));

TEST(PasteGuessTest, LooksOnlyAtTheFirst500Characters) {
  const QString late = QString(500, QLatin1Char('a')) + QStringLiteral("ཀ");
  EXPECT_FALSE(guessFromPastedText(late).has_value());
  EXPECT_TRUE(guessFromPastedText(late, 501).has_value());
}

TEST(SizeNamesTest, NamesThenNumbersWithTheirPoints) {
  ASSERT_EQ(chineseSizeNames().size(), 16u);
  EXPECT_EQ(QString::fromUtf16(chineseSizeNames().front().name), QStringLiteral("初号"));
  EXPECT_EQ(QString::fromUtf16(chineseSizeNames().back().name), QStringLiteral("八号"));
  struct {
    const char* text;
    double points;
  } const cases[] = {{"五号", 10.5}, {"小四", 12}, {"初号", 42}, {"六号", 7.5}, {"72", 72}, {"10.5", 10.5}, {" 11 ", 11}};
  for (const auto& c : cases) EXPECT_EQ(sizeTextToPoints(QString::fromUtf8(c.text)), c.points) << c.text;
  for (const char* bad : {"", "abc", "Ededris", "-3", "0"})
    EXPECT_FALSE(sizeTextToPoints(QString::fromUtf8(bad)).has_value()) << bad;
  EXPECT_EQ(numericSizes().size(), 18u);
  EXPECT_EQ(pointsToSizeText(10.5), QStringLiteral("10.5"));
  EXPECT_EQ(pointsToSizeText(24), QStringLiteral("24"));
}

struct ScaleCase {
  const char* rtf;
  int direction;
  const char* expected;
};

class ScaleFontSizesTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleFontSizesTest, RewritesOnlyTheSizeDigits) {
  const ScaleCase& c = GetParam();
  EXPECT_EQ(scaleRtfFontSizes(c.rtf, c.direction), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ScaleFontSizesTest,
    ::testing::Values(ScaleCase{R"({\rtf1\f0\fs24 a\par})", 1, R"({\rtf1\f0\fs29 a\par})"},
                      ScaleCase{R"({\rtf1\f0\fs24 a\par})", 0, R"({\rtf1\f0\fs20 a\par})"},
                      ScaleCase{R"(\fs4 x)", 0, R"(\fs4 x)"}, ScaleCase{R"(\fs5 x)", 0, R"(\fs4 x)"},
                      ScaleCase{R"(\fs1 x)", 1, R"(\fs2 x)"},
                      // Not a size: a control word that starts with "fs", and four digits.
                      ScaleCase{R"({\f1\fswiss Arial;}\fs24 x)", 1, R"({\f1\fswiss Arial;}\fs29 x)"},
                      ScaleCase{R"(\fs1234 x)", 1, R"(\fs1234 x)"},
                      ScaleCase{R"(\fs24\fs36 x)", 0, R"(\fs20\fs29 x)"},
                      ScaleCase{"no sizes", 1, "no sizes"}, ScaleCase{R"(\fs)", 1, R"(\fs)"},
                      // The letters as text, and inside binary data, are no size word.
                      ScaleCase{R"(\fs24 a\\fs24 b)", 1, R"(\fs29 a\\fs24 b)"},
                      ScaleCase{"{\\pict\\bin4 \\fs2\\fs20 x}", 1, "{\\pict\\bin4 \\fs2\\fs24 x}"}));

TEST(ScaleFontSizesTest, RunsTheCallbackBeforeEachPiece) {
  int calls = 0;
  scaleRtfFontSizes(R"(\fs24 a\fs20 b\fs10 c)", 1, [](void* n) { ++*static_cast<int*>(n); }, &calls);
  EXPECT_EQ(calls, 3);
}

TEST(EncodingChoicesTest, SourceFontListsAreStoredExactly) {
  EXPECT_EQ(QStringView(choiceRow(2).sourceFonts).toString(), QStringLiteral(R"(\'b7\'bd\'d5\'fd\'b2\'d8\'ce\'c4\)"));
  EXPECT_EQ(QStringView(choiceRow(14).sourceFonts).toString(), QStringLiteral("Himalaya;Monlam;Tibetan ; Uni;????;"));
  for (int i = 0; i <= 16; ++i) EXPECT_EQ(isChoiceIndex(i), i < 7 || i >= 10) << i;
}

}  // namespace
}  // namespace yig::ui
