// Dictionary order of whole lines, for syllables the collation table lists and
// for those whose place is computed from their letters.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "sorting/tibetan_sort.h"

namespace {

using namespace yig::sorting;

// UTF-8 with "\uXXXX" escapes to UTF-16 (the cases are all in the BMP).
std::u16string decodeCaseText(const std::string& s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    if (s.compare(i, 2, "\\u") == 0 && i + 6 <= s.size()) {
      out.push_back(static_cast<char16_t>(std::stoul(s.substr(i + 2, 4), nullptr, 16)));
      i += 6;
      continue;
    }
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : 3;
    char16_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : (b & 0x0F);
    for (std::size_t k = 1; k < n; ++k) c = static_cast<char16_t>((c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F));
    out.push_back(c);
    i += n;
  }
  return out;
}

// Each case: its lines in dictionary order.
std::vector<std::vector<std::u16string>> orderCases() {
  std::ifstream in(std::string(YIG_TEST_DATA_DIR) + "/sorting/dictionary-order-cases.txt", std::ios::binary);
  std::vector<std::vector<std::u16string>> cases;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::u16string> items;
    for (std::size_t start = 0;;) {
      const std::size_t sep = line.find(" < ", start);
      items.push_back(decodeCaseText(line.substr(start, sep - start)));
      if (sep == std::string::npos) break;
      start = sep + 3;
    }
    cases.push_back(std::move(items));
  }
  return cases;
}

std::vector<std::u16string> sortedLines(const std::vector<std::u16string>& lines, const SortTables& tables) {
  std::u16string text;
  for (const auto& l : lines) text += l + u"\r\n";
  const SortedText r = sortText(text, tables);
  EXPECT_TRUE(r.unrankable.empty()) << "every line of a case is ranked";
  std::vector<std::u16string> out;
  for (std::u16string_view l : splitLines(r.sorted)) {
    if (!l.empty()) out.emplace_back(l);
  }
  return out;
}

TEST(DictionaryOrder, CasesFromTheReference) {
  const SortTables tables = SortTables::builtin();
  const auto cases = orderCases();
  ASSERT_GE(cases.size(), 50u);
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const std::vector<std::u16string>& want = cases[k];
    std::vector<std::u16string> input(want.rbegin(), want.rend());
    EXPECT_TRUE(sortedLines(input, tables) == want) << "case " << k + 1 << " (reversed)";
    std::rotate(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(input.size() / 2), input.end());
    EXPECT_TRUE(sortedLines(input, tables) == want) << "case " << k + 1 << " (rotated)";
  }
}

TEST(DictionaryOrder, ComputedSyllablesShareRanksOnlyWhenEqual) {
  const SortTables tables = SortTables::builtin();
  const CollationTable& t = tables.collation;
  ASSERT_EQ(t.rank(u"ཀའུའང"), 0u) << "the example must be one the table lacks";
  // A computed syllable falls between its table neighbours; table ranks above it move up.
  const LineKey k = keyOfLine(u"ཀའུ་ཀའུའང་ཀའུའི", tables);
  ASSERT_EQ(k.kind, LineKey::Kind::Ranked);
  ASSERT_EQ(k.ranks.size(), 5u);
  EXPECT_EQ(k.ranks[0], t.rank(u"ཀའུ"));
  EXPECT_LT(k.ranks[0], k.ranks[2]);
  EXPECT_EQ(k.ranks[2], t.rank(u"ཀའུའི"));
  EXPECT_EQ(k.ranks[4], t.rank(u"ཀའུའི") + 1);
  // Two spellings of one computed syllable get one rank.
  const LineKey same = keyOfLine(u"\u0F40\u0F71\u0F72འུའང་\u0F40\u0F73འུའང", tables);
  ASSERT_EQ(same.kind, LineKey::Kind::Ranked);
  EXPECT_EQ(same.ranks[0], same.ranks[2]);
}

TEST(DictionaryOrder, OnlyIllFormedSyllablesLeaveALineUnranked) {
  const SortTables tables = SortTables::builtin();
  struct Case {
    std::u16string_view line;
    LineKey::Kind kind;
  };
  const Case cases[] = {
      {u"ཀ་ིཀ", LineKey::Kind::Unrankable},       // a vowel sign before its letter
      {u"ཀ་ྐཀ", LineKey::Kind::Unrankable},       // a stray subjoined letter
      {u"ཀི\u0F90་ཁ", LineKey::Kind::Unrankable},  // a subjoined letter after the vowel
      {u"ཀྐྐྐ", LineKey::Kind::Unrankable},       // one subjoined letter three times
      {u"ཀརྐ་ཤསྟཾ་སིངྒྷ་ཀེེ", LineKey::Kind::Ranked},
      {u"ཀརྐ", LineKey::Kind::Ranked},             // alone on its line
      {u"\u0F77", LineKey::Kind::Ranked},          // an isolated sign the table ranks as written
      {u"ཀརྐa", LineKey::Kind::Unrankable},        // one token mixing scripts, alone on its line
      {u"ཀརྐa་ཁ", LineKey::Kind::Ranked},          // the same among others: it adds nothing
  };
  for (const Case& c : cases) EXPECT_EQ(keyOfLine(c.line, tables).kind, c.kind) << c.line.size();
}

}  // namespace
