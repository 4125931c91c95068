#include "documents/word_xml.h"

#include <gtest/gtest.h>

namespace yig::docs {
namespace {

// Shaped like LibreOffice's and Word's own Word 2003 XML: fonts through
// character styles and directly, entities, tabs, breaks, two paragraphs.
constexpr std::string_view kXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><?mso-application progid=\"Word.Document\"?>"
    "<w:wordDocument xmlns:w=\"http://schemas.microsoft.com/office/word/2003/wordml\">"
    "<w:fonts><w:font w:name=\"BZDBT\"><w:charset w:val=\"86\"/></w:font></w:fonts>"
    "<w:styles><w:style w:styleId=\"T1\" w:type=\"character\"><w:rPr>"
    "<w:rFonts w:ascii=\"Microsoft Himalaya\" w:h-ansi=\"Microsoft Himalaya\" w:cs=\"Microsoft Himalaya1\"/>"
    "<w:sz w:val=\"48\"/></w:rPr></w:style></w:styles>"
    "<w:body><w:p><w:pPr><w:pStyle w:val=\"Standard\"/></w:pPr>"
    "<w:r><w:rPr><w:rStyle w:val=\"T1\"/></w:rPr><w:t>\xE0\xBD\x96\xE0\xBD\xBC</w:t></w:r>"
    "<w:r><w:rPr><w:rFonts w:ascii=\"Tahoma\" w:fareast=\"\xE5\xAE\x8B\xE4\xBD\x93\"/><w:b/><w:color w:val=\"FF0000\"/></w:rPr>"
    "<w:t xml:space=\"preserve\"> a&amp;b&#x4E2D;</w:t><w:tab/><w:t>c</w:t><w:br/><w:t>d</w:t></w:r></w:p>"
    "<w:p><w:r><w:rPr><w:rFonts w:ascii=\"BZDBT\"/><w:b w:val=\"off\"/></w:rPr><w:t>\xE5\x95\x8A</w:t></w:r></w:p>"
    "</w:body></w:wordDocument>";

TEST(WordXml, ReadsTextAndRunFormats) {
  const auto document = readWordXml(kXml);
  ASSERT_TRUE(document);
  EXPECT_EQ(document->text(), u"\u0F56\u0F7C a&b中\tc\vd\r啊");
  const rt::CharFormat& tibetan = document->formatAt(0);
  EXPECT_EQ(tibetan.font.name, u"Microsoft Himalaya");
  EXPECT_EQ(tibetan.sizeHalfPoints, 48);
  const rt::CharFormat& chinese = document->formatAt(2);
  EXPECT_EQ(chinese.font.name, u"宋体");  // the run holds CJK text: its East Asian font
  EXPECT_EQ(chinese.font.charset, 134);
  EXPECT_TRUE(chinese.bold);
  EXPECT_EQ(chinese.color, (rt::Color{255, 0, 0}));
  const rt::CharFormat& bzd = document->formatAt(document->length() - 1);
  EXPECT_EQ(bzd.font.name, u"BZDBT");
  EXPECT_EQ(bzd.font.charset, 0x86);
  EXPECT_FALSE(bzd.bold);
}

TEST(WordXml, OtherXmlIsNotTaken) {
  EXPECT_FALSE(readWordXml("<?xml version=\"1.0\"?><root><w:t>x</w:t></root>"));
  EXPECT_FALSE(readWordXml(""));
  // Broken documents give what could be read, never a crash.
  const auto cut = readWordXml(kXml.substr(0, kXml.size() / 2));
  ASSERT_TRUE(cut);
  const auto garbage = readWordXml("<w:wordDocument><w:body><w:p><w:r><w:t>x&#xFFFFFFFF;&#0;&bogus;<");
  ASSERT_TRUE(garbage);
  EXPECT_EQ(garbage->text().substr(0, 1), u"x");
}

}  // namespace
}  // namespace yig::docs
