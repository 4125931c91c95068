#include "engine/rtf_pieces.h"

#include <gtest/gtest.h>

namespace yig::rtfpieces {
namespace {

TEST(RtfPieces, WritesSignedEscapes) {
  struct Case {
    char16_t c;
    char letter;
    std::string text;
  };
  const Case cases[] = {{u'\u0F40', 'u', "\\u3904?"}, {u'\uF041', 'u', "\\u-4031?"}, {u'\uF300', 'U', "\\U-3328?"},
                        {u'\u7FFF', 'u', "\\u32767?"}, {u'\u8000', 'u', "\\u-32768?"}, {u'\0', 'u', "\\u0?"}};
  for (const auto& c : cases) {
    std::string out;
    appendUnicodeEscape(out, c.c, c.letter);
    EXPECT_EQ(out, c.text);
  }
}

TEST(RtfPieces, ListItems) {
  EXPECT_TRUE(containsAnyListItem("{\\f2 CHINATIBET;}", " CHINATIBET; TIBET;"));
  EXPECT_FALSE(containsAnyListItem("{\\f2 Tahoma;}", " CHINATIBET; TIBET;"));
  EXPECT_FALSE(containsAnyListItem("anything", ";;"));  // empty items never match
}

}  // namespace
}  // namespace yig::rtfpieces
