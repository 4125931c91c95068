#include <gtest/gtest.h>

#include <string>

#include "richtext/document.h"

namespace yig::rt {
namespace {

CharFormat font(std::u16string name, int charset = 0, int size = 24) {
  CharFormat f;
  f.font = Font{std::move(name), charset, "fnil", -1};
  f.sizeHalfPoints = size;
  return f;
}

const CharFormat kTibetan = font(u"Microsoft Himalaya", 0, 48);
const CharFormat kLatin = font(u"Tahoma");

TEST(Document, PlainTextAndBreaks) {
  Document d;
  d.setText(u"a\r\nb\nc\rd\r\n");
  EXPECT_EQ(d.text(), u"a\rb\rc\rd\r");
  EXPECT_EQ(d.length(), 8u);
  EXPECT_EQ(d.plainText(), u"a\r\nb\r\nc\r\nd\r\n");
  EXPECT_EQ(d.formatAt(0), d.defaultFormat());
  d.append(u"x\vy", kLatin);
  EXPECT_EQ(d.plainText(), u"a\r\nb\r\nc\r\nd\r\nx\r\ny");  // a line break reads as CR LF too
  d.clear();
  EXPECT_EQ(d.length(), 0u);
  EXPECT_EQ(d.plainText(), u"");
}

TEST(Document, SelectionIsClampedAndReadsAsPlainText) {
  Document d;
  d.setText(u"ab\r\ncd");
  d.select(1, 3);
  EXPECT_EQ(d.selectedText(), u"b\r\nc");
  d.select(4, 99);
  EXPECT_EQ(d.selStart(), 4u);
  EXPECT_EQ(d.selLength(), 1u);
  d.select(99, 5);
  EXPECT_EQ(d.selStart(), 5u);
  EXPECT_EQ(d.selLength(), 0u);
  EXPECT_EQ(d.selectedText(), u"");
}

TEST(Document, SelectionRtfIsAWholeDocumentOfTheSelection) {
  Document d;
  d.append(u"\u0F40\u0F41", kTibetan);
  d.append(u"xy\rz", kLatin);
  d.select(1, 2);
  const std::string rtf = d.selectionRtf();
  EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
  EXPECT_NE(rtf.find("\\viewkind4\\uc1\\pard\\f0\\fs48\\u3905?\\f1\\fs24 x\\par }\r\n"), std::string::npos) << rtf;
  Document copy;
  ASSERT_TRUE(copy.setRtf(rtf).ok);
  EXPECT_EQ(copy.text(), u"\u0F41x");
  EXPECT_EQ(copy.formatAt(0), kTibetan);
  EXPECT_EQ(copy.formatAt(1), kLatin);
}

TEST(Document, ReplaceSelectionRtfKeepsFormatsAndAddsNoParagraph) {
  Document source;
  source.append(u"\u0F40", kTibetan);
  source.append(u"b", kLatin);
  const std::string inserted = source.rtf();  // ends with "\par }"

  Document d;
  d.setText(u"12345");
  d.select(1, 3);
  ASSERT_TRUE(d.replaceSelectionRtf(inserted).ok);
  EXPECT_EQ(d.text(), u"1\u0F40b5");
  EXPECT_EQ(d.formatAt(1), kTibetan);
  EXPECT_EQ(d.formatAt(2), kLatin);
  EXPECT_EQ(d.formatAt(3), d.defaultFormat());
  EXPECT_EQ(d.selStart(), 3u);  // the caret after the inserted text
  EXPECT_EQ(d.selLength(), 0u);

  // Copy and paste of a range that ends with a paragraph break keeps the break.
  d.setText(u"ab\rc");
  d.select(0, 3);
  const std::string copied = d.selectionRtf();
  d.select(4, 0);
  ASSERT_TRUE(d.replaceSelectionRtf(copied).ok);
  EXPECT_EQ(d.text(), u"ab\rcab\r");
}

TEST(Document, ReplaceSelectionWithSomethingThatIsNotRtfChangesNothing) {
  Document d;
  d.setText(u"abc");
  d.select(1, 1);
  EXPECT_FALSE(d.replaceSelectionRtf("plain words").ok);
  EXPECT_FALSE(d.replaceSelectionRtf("{}}").ok);  // the Unicode-text routine's output for empty text
  EXPECT_EQ(d.text(), u"abc");
  EXPECT_EQ(d.selStart(), 1u);
  EXPECT_EQ(d.selLength(), 1u);
}

TEST(Document, InsertedRtfWithoutFontsTakesTheCaretFormat) {
  Document d;
  d.append(u"\u0F40", kTibetan);
  d.select(1, 0);
  ASSERT_TRUE(d.replaceSelectionRtf("{\\rtf1 x}").ok);
  EXPECT_EQ(d.formatAt(1).font, kTibetan.font);
}

TEST(Document, TypedTextTakesTheFormatAtTheCaret) {
  Document d;
  d.append(u"a", kLatin);
  d.append(u"\u0F40", kTibetan);
  d.select(2, 0);
  d.replaceSelectionText(u"\u0F41\r\n\u0F42");
  EXPECT_EQ(d.text(), u"a\u0F40\u0F41\r\u0F42");
  EXPECT_EQ(d.formatAt(2), kTibetan);
  EXPECT_EQ(d.formatAt(4), kTibetan);
  EXPECT_EQ(d.selStart(), 5u);

  // Replacing a selection: the first selected character's format.
  d.select(0, 2);
  d.replaceSelectionText(u"z");
  EXPECT_EQ(d.formatAt(0), kLatin);
  EXPECT_EQ(d.text(), u"z\u0F41\r\u0F42");

  // At the very start: the first character's format; empty document: the default.
  d.select(0, 0);
  d.replaceSelectionText(u"y");
  EXPECT_EQ(d.formatAt(0), kLatin);
  Document empty;
  empty.replaceSelectionText(u"q");
  EXPECT_EQ(empty.formatAt(0), empty.defaultFormat());
}

TEST(Document, SelectionFormatIsEmptyWhereMixed) {
  Document d;
  CharFormat red = kTibetan;
  red.color = Color{255, 0, 0};
  red.bold = true;
  d.append(u"\u0F40", kTibetan);
  d.append(u"\u0F41", red);
  d.append(u"a", kLatin);

  d.select(0, 2);
  SelectionFormat f = d.selectionFormat();
  EXPECT_EQ(f.fontName, std::u16string(u"Microsoft Himalaya"));
  EXPECT_EQ(f.fontCharset, 0);
  EXPECT_EQ(f.sizeHalfPoints, 48);
  EXPECT_FALSE(f.color.has_value());  // automatic and red: mixed
  EXPECT_FALSE(f.bold.has_value());
  EXPECT_EQ(f.italic, false);

  d.select(1, 1);
  f = d.selectionFormat();
  ASSERT_TRUE(f.color.has_value());
  EXPECT_EQ(*f.color, std::optional<Color>(Color{255, 0, 0}));
  EXPECT_EQ(f.bold, true);

  d.select(0, 1);
  f = d.selectionFormat();
  ASSERT_TRUE(f.color.has_value());
  EXPECT_FALSE(f.color->has_value());  // known to be automatic

  d.select(1, 2);
  f = d.selectionFormat();
  EXPECT_FALSE(f.fontName.has_value());
  EXPECT_FALSE(f.sizeHalfPoints.has_value());

  d.select(3, 0);  // caret: the format typing would get
  EXPECT_EQ(d.selectionFormat().fontName, std::u16string(u"Tahoma"));
}

TEST(Document, ApplyFormatChangesOnlyTheFieldsGiven) {
  Document d;
  CharFormat bold = kLatin;
  bold.bold = true;
  d.append(u"ab", kLatin);
  d.append(u"cd", bold);
  d.select(1, 2);
  FormatChange change;
  change.font = Font{u"BZDBT", 134, "fnil", 2};
  change.color = std::optional<Color>(Color{0, 0, 255});
  d.applyFormat(change);
  EXPECT_EQ(d.formatAt(0), kLatin);
  EXPECT_EQ(d.formatAt(1).font.name, u"BZDBT");
  EXPECT_EQ(d.formatAt(1).color, (Color{0, 0, 255}));
  EXPECT_FALSE(d.formatAt(1).bold);
  EXPECT_TRUE(d.formatAt(2).bold);  // bold was not part of the change
  EXPECT_EQ(d.formatAt(2).font.name, u"BZDBT");
  EXPECT_EQ(d.formatAt(3), bold);

  FormatChange automatic;
  automatic.color = std::optional<Color>();
  automatic.sizeHalfPoints = 40;
  d.applyFormat(automatic);
  EXPECT_EQ(d.formatAt(1).color, std::nullopt);
  EXPECT_EQ(d.formatAt(2).sizeHalfPoints, 40);
  EXPECT_EQ(d.selStart(), 1u);
  EXPECT_EQ(d.selLength(), 2u);
}

TEST(Document, FormatChosenAtTheCaretAppliesToTheNextTypedText) {
  Document d;
  d.append(u"ab", kLatin);
  d.select(2, 0);
  FormatChange bold;
  bold.bold = true;
  d.applyFormat(bold);
  EXPECT_EQ(d.selectionFormat().bold, true);
  EXPECT_FALSE(d.formatAt(1).bold);  // existing text unchanged
  d.replaceSelectionText(u"c");
  EXPECT_TRUE(d.formatAt(2).bold);

  d.select(3, 0);  // moving the caret forgets a pending choice
  d.applyFormat(FormatChange{});
  d.select(1, 0);
  EXPECT_EQ(d.selectionFormat().bold, false);
}

TEST(Document, RunsAndFormatPastTheEnd) {
  Document d;
  d.append(u"ab", kLatin);
  d.append(u"\u0F40", kTibetan);
  d.append(u"c", kLatin);
  const auto runs = d.runs();
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].start, 0u);
  EXPECT_EQ(runs[0].end, 2u);
  EXPECT_EQ(*runs[1].format, kTibetan);
  EXPECT_EQ(runs[2].start, 3u);
  EXPECT_EQ(&d.formatAt(99), &d.defaultFormat());
  EXPECT_TRUE(Document().runs().empty());
}

TEST(Document, WholeRtfRoundTripKeepsEveryFormat) {
  Document d;
  CharFormat f = font(u"宋体", 134, 21);
  f.italic = f.underline = f.strike = true;
  f.color = Color{1, 2, 3};
  d.append(u"中\t文", f);
  d.append(u"\r\u0F40\r", kTibetan);
  Document back;
  ASSERT_TRUE(back.setRtf(d.rtf()).ok);
  EXPECT_EQ(back.text(), d.text());
  EXPECT_EQ(back.formatAt(0), f);
  EXPECT_EQ(back.formatAt(2), f);
  EXPECT_EQ(back.formatAt(4), kTibetan);
  EXPECT_EQ(back.rtf(), d.rtf());
}

}  // namespace
}  // namespace yig::rt
