#include "documents/unicode_text_document.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/unicode_text_rtf.h"

namespace yig::docs {
namespace {

// The direct route must leave exactly what InsertUnicodeText leaves.
void expectSameAsInsert(std::u16string_view text) {
  rt::Document direct, viaRtf;
  setUnicodeText(direct, text);
  std::u16string copy(text);
  InsertUnicodeText(viaRtf, copy, false);
  ASSERT_EQ(direct.text(), viaRtf.text());
  for (std::size_t i = 0; i < direct.length(); ++i) {
    ASSERT_EQ(direct.formatAt(i), viaRtf.formatAt(i)) << "at " << i;
  }
  EXPECT_EQ(direct.rtf(), viaRtf.rtf());
}

TEST(SetUnicodeText, MatchesInsertUnicodeText) {
  const std::u16string cases[] = {
      u"",
      u"a",
      u"\u0F40a\u4E2D",
      u"a\r\nb",
      u"\r\na",
      u"\r\n\r\n\u0F40",
      u"\u0F40\r\n",
      u"\u0F40\r\n\r\n",
      u"a\tb\r\n\u0F40\u0F0B\u0F41\r\n中文 text ︽",
      u"\u2018\u2019\u0FCF\u0FD0\uF300\uFF03",
      u"x\u0001y",        // control character: the RTF route decides
      u"\xD83D\xDE00",    // surrogate pair
      u"a\rb\nc",         // bare line ends
  };
  for (const auto& text : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(text.begin(), text.end())));
    expectSameAsInsert(text);
  }
}

TEST(SetUnicodeText, MatchesInsertUnicodeTextOnRandomText) {
  const char16_t alphabet[] = {u'a', u' ', u'\t', u'\u0F40', u'\u0F0B', u'\u0FB2', u'\u4E2D', u'\uFF03',
                               u'\u2019', u'\u2018', u'\uF300', u'\u00E9', u'\r', u'{', u'\\', u'}'};
  std::mt19937 random(5);
  for (int round = 0; round < 200; ++round) {
    std::u16string text;
    const std::size_t length = random() % 40;
    for (std::size_t i = 0; i < length; ++i) {
      const char16_t c = alphabet[random() % std::size(alphabet)];
      text += c;
      if (c == u'\r') text += u'\n';
    }
    SCOPED_TRACE(round);
    expectSameAsInsert(text);
  }
}

}  // namespace
}  // namespace yig::docs
