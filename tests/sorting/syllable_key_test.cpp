#include "sorting/syllable_key.h"

#include <gtest/gtest.h>

#include <string>

#include "sorting/collation.h"

namespace {

using namespace yig::sorting;

// The computed keys and the collation table agree: the table's syllables are
// one run of rows, and their keys rise strictly from row to row.
TEST(SyllableKey, AgreesWithEveryTableRow) {
  const CollationTable table = CollationTable::builtin();
  const auto rows = table.rowsByRank();
  std::size_t first = rows.size(), last = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!syllableKey(rows[i].unit).empty()) {
      first = std::min(first, i);
      last = i;
    }
  }
  ASSERT_LT(first, last);
  EXPECT_EQ(rows[first].unit, u"ཀ");
  std::u16string previous;
  std::size_t outOfOrder = 0;
  for (std::size_t i = first; i <= last; ++i) {
    const std::u16string key = syllableKey(rows[i].unit);
    ASSERT_FALSE(key.empty()) << "row " << rows[i].rank << " inside the syllables is not a syllable";
    if (i > first && !(previous < key)) {
      ++outOfOrder;
      ADD_FAILURE() << "row " << rows[i].rank << " does not come after row " << rows[i - 1].rank;
    }
    previous = key;
    if (outOfOrder > 10) break;
  }
  EXPECT_GT(last - first, 14000u);
}

TEST(SyllableKey, WellFormedness) {
  struct Case {
    std::u16string_view text;
    bool wellFormed;
  };
  const Case cases[] = {
      {u"ཀ", true},          {u"བསྒྲུབས", true},   {u"ཀའུའང", true}, {u"ཀརྐ", true},
      {u"ཤསྟཾ", true},       {u"ཀེེ", true},        {u"ཨྸྸ", true},   {u"༸གོང\u0F0C", true},
      {u"ད\u034Fམས", true},  {u"\u0F00", true},     {u"", false},      {u"ི", false},
      {u"ིཀ", false},        {u"ྐཀ", false},        {u"ཀིྐ", false},   {u"ཀྐྐྐ", false},
      {u"ཀ་ཁ", false},       {u"ཀa", false},        {u"\u0F48", false}, {u"༸", false},
  };
  for (const Case& c : cases) EXPECT_EQ(!syllableKey(c.text).empty(), c.wellFormed) << c.text.size();
}

TEST(SyllableKey, CanonicalForm) {
  struct Case {
    std::u16string_view text, canonical;  // canonical empty: already canonical
  };
  const Case cases[] = {
      {u"\u0F43", u"\u0F42\u0FB7"},
      {u"\u0F00", u"\u0F68\u0F7C\u0F7E"},
      {u"\u0F40\u0F73", u"\u0F40\u0F71\u0F72"},
      {u"\u0F40\u0F74\u0F71", u"\u0F40\u0F71\u0F74"},  // the long mark first
      {u"\u0F40\u0F77", u"\u0F40\u0FB2\u0F71\u0F80"},
      {u"\u0F40\u0F72\u0F7A", u""},  // two signs of one class keep their order
      {u"ཀ་ཁ", u""},
  };
  for (const Case& c : cases) {
    std::u16string out = u"untouched";
    const bool changed = normalizeTibetan(c.text, out);
    EXPECT_EQ(changed, !c.canonical.empty()) << c.text.size();
    EXPECT_TRUE(out == (changed ? std::u16string(c.canonical) : u"untouched"));
  }
}

}  // namespace
