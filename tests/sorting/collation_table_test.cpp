#include "sorting/collation.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "resources/embedded.h"

namespace {

using yig::sorting::CollationTable;
using yig::sorting::DelimiterSet;
using yig::sorting::splitStoredTable;

std::vector<std::uint8_t> storedUtf16(std::u16string_view text, bool bom = true) {
  std::vector<std::uint8_t> out;
  if (bom) out = {0xFF, 0xFE};
  for (char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return out;
}

std::vector<std::u16string> builtinRows() {
  const auto px = yig::resources::find("PX");
  if (!px) return {};
  return splitStoredTable(*px);
}

// --- reading the stored form ------------------------------------------------

TEST(CollationTableParse, ReadsRowsAndSkipsTheTrailingNul) {
  const auto stored = storedUtf16(u"00001\t\u0F04\u0F05\r\n00002\tཀ\r\n00003\tཀ\r\n12x45\tཁ\r\n\t\u0F42\r\n00004\tག\r\n");
  auto withNul = stored;
  withNul.push_back(0);
  withNul.push_back(0);
  for (const auto& bytes : {stored, withNul}) {
    const CollationTable t = CollationTable::parse(bytes);
    EXPECT_EQ(t.size(), 3u);
    EXPECT_EQ(t.rank(u"\u0F04\u0F05"), 1u);
    EXPECT_EQ(t.rank(u"ཀ"), 2u) << "the first row of a unit wins";
    EXPECT_EQ(t.rank(u"ཁ"), 0u) << "a rank that is not a number is skipped";
    EXPECT_EQ(t.rank(u"ག"), 4u);
    EXPECT_EQ(t.rank(u"\u0F04"), 0u) << "keys are exact, not prefixes";
    EXPECT_EQ(t.rank(u""), 0u);
  }
}

TEST(CollationTableParse, ByteOrderMarkIsOptional) {
  const CollationTable t = CollationTable::parse(storedUtf16(u"00007\tཀ\r\n", false));
  EXPECT_EQ(t.rank(u"ཀ"), 7u);
}

TEST(CollationTableParse, GrowsPastManyRows) {
  CollationTable t;
  std::u16string unit;
  for (std::uint32_t i = 1; i <= 5000; ++i) {
    unit.assign(1, static_cast<char16_t>(0x0F40 + i % 45));
    unit.push_back(static_cast<char16_t>(0x4E00 + i));
    ASSERT_TRUE(t.add(unit, i));
  }
  EXPECT_EQ(t.size(), 5000u);
  for (std::uint32_t i = 1; i <= 5000; ++i) {
    unit.assign(1, static_cast<char16_t>(0x0F40 + i % 45));
    unit.push_back(static_cast<char16_t>(0x4E00 + i));
    ASSERT_EQ(t.rank(unit), i);
  }
  EXPECT_FALSE(t.add(u"x", 0)) << "rank 0 means absent";
}

TEST(DelimiterSetParse, OneCharacterPerLine) {
  const DelimiterSet d = DelimiterSet::parse(storedUtf16(u"\u0F0B\r\n\u0F0D\r\nab\r\n\r\n"));
  EXPECT_EQ(d.size(), 2u);
  EXPECT_TRUE(d.contains(u'\u0F0B'));
  EXPECT_TRUE(d.contains(u'\u0F0D'));
  EXPECT_FALSE(d.contains(u'a'));
}

// --- the built-in tables -----------------------------------------------------

TEST(BuiltinTables, PxStoredForm) {
  const auto px = yig::resources::find("PX");
  ASSERT_TRUE(px);
  ASSERT_GE(px->size(), 4u);
  EXPECT_EQ((*px)[0], 0xFF);
  EXPECT_EQ((*px)[1], 0xFE);
  const std::vector<std::u16string> rows = builtinRows();
  ASSERT_GT(rows.size(), 14952u);
  EXPECT_EQ(rows.back(), std::u16string(1, u'\0')) << "one NUL after the last CR LF";
  EXPECT_LE(rows.size() - 1, 99999u) << "ranks are five digits";
  for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
    const std::u16string& row = rows[i];
    ASSERT_GE(row.size(), 7u) << "row " << i + 1;
    ASSERT_EQ(row[5], u'\t') << "row " << i + 1;
    std::uint32_t rank = 0;
    for (int k = 0; k < 5; ++k) rank = rank * 10 + (row[k] - u'0');
    ASSERT_EQ(rank, i + 1) << "the rank is the row number";
    ASSERT_LE(row.size() - 6, 9u) << "a unit has at most nine characters (row " << i + 1 << ")";
  }
  const CollationTable t = CollationTable::builtin();
  EXPECT_EQ(t.size(), rows.size() - 1) << "every unit occurs once";
}

TEST(BuiltinTables, FixedRows) {
  const CollationTable t = CollationTable::builtin();
  struct Row {
    std::u16string_view unit;
    std::uint32_t rank;
  };
  const Row fixed[] = {
      {u"༄༅", 1}, {u"༄", 2}, {u"\u0F3A", 6}, {u"\u0F3B", 7}, {u"\u0F12", 8}, {u"།", 9},
      {u"་", 14},  {u"\u0F14", 15}, {u"\u0F7F", 16}, {u"༠", 17}, {u"༳", 18}, {u"༡", 19},
      {u"༪", 20}, {u"༩", 35}, {u"༲", 36}, {u"ཀ", 37},
  };
  for (const Row& r : fixed) EXPECT_EQ(t.rank(r.unit), r.rank) << "U+" << std::hex << static_cast<int>(r.unit[0]);
  // The eight closing marks are the last rows, in this order.
  const std::u16string_view closing[] = {u"》", u"《", u"〉", u"〈", u"”", u"“", u"’", u"‘"};
  const std::uint32_t n = static_cast<std::uint32_t>(t.size());
  for (std::uint32_t k = 0; k < 8; ++k) EXPECT_EQ(t.rank(closing[k]), n - 7 + k);
  // Every syllable ranks below the further marks, the isolated signs and the symbols.
  for (std::u16string_view mark : {u"\u0F01", u"\u0F0C", u"\u0F3C", u"\u0F72", u"\u0F90", u"\u0FBE", u"\u0FCF"}) {
    EXPECT_GT(t.rank(mark), t.rank(u"ཨ")) << static_cast<int>(mark[0]);
    EXPECT_LT(t.rank(mark), t.rank(u"》")) << static_cast<int>(mark[0]);
  }
}

TEST(BuiltinTables, DelimiterTable) {
  const auto dl = yig::resources::find("DL");
  ASSERT_TRUE(dl);
  const std::vector<std::u16string> lines = splitStoredTable(*dl);
  ASSERT_EQ(lines.size(), 83u) << "82 delimiters and the trailing empty line";
  EXPECT_TRUE(lines.back().empty());
  const DelimiterSet d = DelimiterSet::builtin();
  EXPECT_EQ(d.size(), 82u);
  const std::pair<char16_t, char16_t> ranges[] = {
      {0x0F02, 0x0F03}, {0x0F06, 0x0F0B}, {0x0F0D, 0x0F18}, {0x0F1A, 0x0F37}, {0x0F39, 0x0F3F}, {0x0F7F, 0x0F7F},
      {0x0FBE, 0x0FCC}, {0x0FCF, 0x0FCF}, {0x2018, 0x2019}, {0x201C, 0x201D}, {0x3008, 0x300B}};
  std::size_t count = 0;
  for (auto [a, b] : ranges) {
    for (char16_t c = a; c <= b; ++c, ++count) EXPECT_TRUE(d.contains(c)) << std::hex << static_cast<int>(c);
  }
  EXPECT_EQ(count, 82u);
  for (char16_t c : {u'\u0F04', u'\u0F05', u'\u0F0C', u'\u0F19', u'\u0F38', u' ', u'~'}) {
    EXPECT_FALSE(d.contains(c)) << std::hex << static_cast<int>(c);
  }
}

// --- dictionary order ---------------------------------------------------------

// Each sequence is in dictionary order; every unit must be ranked, each
// below the next.
TEST(DictionaryOrder, KnownSequences) {
  const CollationTable t = CollationTable::builtin();
  const std::vector<std::vector<std::u16string_view>> sequences = {
      // the alphabet
      {u"ཀ", u"ཁ", u"ག", u"ང", u"ཅ", u"ཆ", u"ཇ", u"ཉ", u"ཏ", u"ཐ", u"ད", u"ན", u"པ", u"ཕ", u"བ",
       u"མ", u"ཙ", u"ཚ", u"ཛ", u"ཝ", u"ཞ", u"ཟ", u"འ", u"ཡ", u"ར", u"ལ", u"ཤ", u"ས", u"ཧ", u"ཨ"},
      // letters after the root stack, a vowel on a following འ after every consonant
      {u"ཀ", u"ཀག", u"ཀགས", u"ཀང", u"ཀངས", u"ཀད", u"ཀན", u"ཀབ", u"ཀབས", u"ཀམ", u"ཀམས", u"ཀའ", u"ཀའང",
       u"ཀའམ", u"ཀའི", u"ཀའིའོ", u"ཀའུ", u"ཀའུའི", u"ཀའུར", u"ཀའུས", u"ཀའོ", u"ཀར", u"ཀལ", u"ཀས"},
      // the vowel outranks the suffix
      {u"ཀས", u"ཀི", u"ཀིག", u"ཀུ", u"ཀེ", u"ཀོ", u"ཀོས"},
      // the subscript outranks the vowel; the head outranks the subscript
      {u"ཀོས", u"ཀྭ", u"ཀྱ", u"ཀྲ", u"ཀླ", u"དཀར", u"བཀའ", u"རྐང", u"ལྐོག", u"སྐད", u"བརྐོས", u"བསྐུལ"},
      // prefix, then superscript, then བ with a superscript
      {u"དུས", u"གདན", u"བདག", u"མདའ", u"འདས", u"རྡོ", u"ལྡན", u"སྡེ", u"བརྡ", u"བལྡ", u"བསྡུ"},
      // the prefix files a syllable under its root: དཀར under ཀ, before ཁ
      {u"ཀླུ", u"དཀར", u"བསྐྱེད", u"ཁ", u"མཁའ", u"ག", u"དགའ", u"བསྒྲུབས", u"ང"},
      // the nine readings of three letters ending in ས
      {u"ག", u"དགས", u"འགས", u"ང", u"ད", u"དངས", u"གདས", u"བདས", u"འདས", u"ན", u"བ", u"བགས", u"དབས", u"འབས",
       u"མ", u"མགས", u"མངས", u"དམས", u"ཙ"},
      // long and Sanskrit vowels
      {u"ཀ", u"ཀཱ", u"ཀི", u"ཀཱི", u"ཀྀ", u"ཀཱྀ", u"ཀུ", u"ཀཱུ", u"ཀེ", u"ཀཻ", u"ཀོ", u"ཀཽ"},
      // the anusvara as མ, the candrabindu as ང
      {u"ཀམ", u"ཀཾ", u"ཀམས"},
      {u"ཀང", u"ཀྃ", u"ཀངས"},
      // retroflex letters after the plain letter's syllables without subscript
      {u"ཏོལ", u"ཊ", u"ཊཱ", u"ཊི", u"ཏྭ"},
      // subjoined letters in alphabet order after every vowel
      {u"ཀོས", u"ཀྟ", u"ཀྲ", u"ཀླ", u"ཀྵ", u"ཀྵི", u"ཀྷ"},
      // everyday words
      {u"བཀྲ", u"བཀྲིས", u"བསྐལ", u"བསྒྲགས", u"ཆ", u"ཆོས", u"མཆོག", u"འཆད"},
      {u"ཡ", u"ཡུལ", u"གཡས", u"ར", u"རི", u"རུ", u"རྭ", u"ལ"},
      // a superscript files the syllable under its root letter
      {u"གྱི", u"རྒན", u"རྒྱ", u"རྒྱལ", u"བརྒྱད", u"ང"},
      {u"ཐ", u"ཐུབ", u"མཐའ", u"འཐབ", u"ད", u"དབྱངས"},
      {u"སྐྱེ", u"སྒ"},
  };
  for (const auto& seq : sequences) {
    for (std::size_t i = 0; i < seq.size(); ++i) {
      ASSERT_NE(t.rank(seq[i]), 0u) << "not in the table: item " << i << " of a sequence starting with item 0";
      if (i > 0) {
        EXPECT_LT(t.rank(seq[i - 1]), t.rank(seq[i])) << "items " << i - 1 << " and " << i;
      }
    }
  }
}

TEST(DictionaryOrder, MarksAndDigitsBeforeSyllables) {
  const CollationTable t = CollationTable::builtin();
  const std::uint32_t firstSyllable = t.rank(u"ཀ");
  for (std::u16string_view u : {u"།", u"་", u"༎", u"༄༅", u"༠", u"༩", u"༳"}) EXPECT_LT(t.rank(u), firstSyllable);
  // each digit is followed by its half-digit form
  const std::u16string_view digits = u"༠༡༢༣༤༥༦༧༨༩";
  const std::u16string_view halves = u"༳༪༫༬༭༮༯༰༱༲";
  for (std::size_t k = 0; k < 10; ++k) {
    EXPECT_EQ(t.rank(digits.substr(k, 1)) + 1, t.rank(halves.substr(k, 1))) << k;
  }
}

TEST(DictionaryOrder, PrecomposedAndDecomposedFormsAreBothRanked) {
  const CollationTable t = CollationTable::builtin();
  const std::pair<std::u16string_view, std::u16string_view> pairs[] = {
      {u"\u0F56\u0FB7", u"\u0F57"},             // བྷ
      {u"\u0F56\u0FB7\u0F7A", u"\u0F57\u0F7A"},  // བྷེ
      {u"\u0F42\u0FB7", u"\u0F43"},             // གྷ
      {u"\u0F40\u0FB5", u"\u0F69"},             // ཀྵ
      {u"\u0F67\u0F71\u0F74\u0F83", u"\u0F67\u0F75\u0F83"},  // ཧཱུྃ
      {u"\u0F58\u0F71\u0F72", u"\u0F58\u0F73"},  // མཱི
      {u"\u0F56\u0FB7\u0F71\u0F74", u"\u0F57\u0F75"},  // བྷཱུ
  };
  for (auto [plain, composed] : pairs) {
    ASSERT_NE(t.rank(plain), 0u);
    ASSERT_NE(t.rank(composed), 0u);
    EXPECT_LT(t.rank(plain), t.rank(composed));
  }
  EXPECT_NE(t.rank(u"དང\u0F0C"), 0u) << "the non-breaking tsheg after ང";
  EXPECT_NE(t.rank(u"\u0F00"), 0u);
}

}  // namespace
