#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

#include "ui/rich_text_box.h"

namespace yig::ui {
namespace {

rt::CharFormat format(std::u16string font, int charset, int size) {
  rt::CharFormat f;
  f.font.name = std::move(font);
  f.font.charset = charset;
  f.sizeHalfPoints = size;
  return f;
}

TEST(FormatBridgeTest, EveryAttributeSurvivesTheRoundTrip) {
  rt::CharFormat plain = format(u"Microsoft Himalaya", 0, 48);
  rt::CharFormat rich = format(u"宋体", 134, 21);
  rich.font.family = "froman";
  rich.font.pitch = 2;
  rich.color = rt::Color{255, 0, 0};
  rich.bold = rich.italic = rich.underline = rich.strike = true;
  rt::CharFormat odd = format(u"BZDBT", 134, 7);
  odd.color = rt::Color{0, 128, 1};
  odd.underline = true;
  for (const rt::CharFormat& f : {plain, rich, odd}) EXPECT_EQ(fromQtFormat(toQtFormat(f)), f);
}

TEST(FormatBridgeTest, DocumentRoundTripKeepsTextParagraphsAndRuns) {
  rt::Document source;
  rt::CharFormat tibetan = format(u"Microsoft Himalaya", 0, 48);
  rt::CharFormat red = tibetan;
  red.color = rt::Color{255, 0, 0};
  rt::CharFormat chinese = format(u"宋体", 134, 24);
  chinese.bold = true;
  source.append(u"བཀྲ་ཤིས་", tibetan);
  source.append(u"བདེ", red);
  source.append(u"\r", tibetan);
  source.append(u"中文\vline", chinese);
  source.append(u"\r\rend", tibetan);

  QTextDocument qt;
  modelToQt(source, qt);
  EXPECT_EQ(qt.blockCount(), 4);
  rt::Document back;
  qtToModel(qt, back);
  EXPECT_EQ(back.text(), source.text());
  const auto a = source.runs(), b = back.runs();
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].start, b[i].start);
    EXPECT_EQ(a[i].end, b[i].end);
    EXPECT_EQ(*a[i].format, *b[i].format) << "run " << i;
  }
}

class RichTextBoxTest : public ::testing::Test {
 protected:
  RichTextBox box;
  void fill() {
    rt::Document& doc = box.model();
    doc.clear();
    doc.append(u"ཀཁག", format(u"Microsoft Himalaya", 0, 48));
    doc.append(u"abc", format(u"Arial", 0, 24));
    doc.select(0, 0);
    box.modelChanged();
  }
};

TEST_F(RichTextBoxTest, SelectionFontIsEmptyWhenMixed) {
  fill();
  box.select(0, 3);
  EXPECT_EQ(box.selectionFontName(), QStringLiteral("Microsoft Himalaya"));
  EXPECT_EQ(box.selectionFontPoints(), 24.0);
  box.select(1, 4);
  EXPECT_FALSE(box.selectionFontName().has_value());
  EXPECT_FALSE(box.selectionFontPoints().has_value());
  // A caret reports the character before it (the first one at the start).
  EXPECT_EQ(box.fontNameAtCaret(0), QStringLiteral("Microsoft Himalaya"));
  EXPECT_EQ(box.fontNameAtCaret(4), QStringLiteral("Arial"));
  EXPECT_EQ(box.fontNameAtCaret(3), QStringLiteral("Microsoft Himalaya"));
}

TEST_F(RichTextBoxTest, EditsInTheWidgetReachTheModel) {
  fill();
  box.select(3, 3);
  box.setSelectionFontName(QStringLiteral("宋体"));
  box.setSelectionFontPoints(10.5);
  box.setSelectionEffects(true, false, true, false);
  box.setSelectionColor(QColor(0, 0, 255));
  box.select(6, 0);
  box.textCursor().insertText(QStringLiteral("!"));
  const rt::Document& doc = box.model();
  EXPECT_EQ(doc.text(), u"ཀཁགabc!");
  const rt::CharFormat& f = doc.formatAt(4);
  EXPECT_EQ(f.font.name, u"宋体");
  EXPECT_EQ(f.font.charset, 134);
  EXPECT_EQ(f.sizeHalfPoints, 21);
  EXPECT_TRUE(f.bold);
  EXPECT_TRUE(f.underline);
  EXPECT_FALSE(f.italic);
  EXPECT_EQ(f.color, (rt::Color{0, 0, 255}));
  EXPECT_EQ(doc.formatAt(0).font.name, u"Microsoft Himalaya");
}

TEST_F(RichTextBoxTest, RtfInAndOutAndSelectionPositions) {
  box.setRtf(R"({\rtf1\ansi{\fonttbl{\f0\fnil Microsoft Himalaya;}}\f0\fs48 \u3904?\u3905?\par abc\par})");
  EXPECT_EQ(box.plainText().left(6), QStringLiteral("ཀཁ\r\nab"));
  EXPECT_EQ(box.textLength(), static_cast<int>(box.model().length()));
  box.select(1, 3);
  EXPECT_EQ(box.selectedText(), QStringLiteral("ཁ\r\na"));
  EXPECT_EQ(box.model().selStart(), 1u);
  EXPECT_EQ(box.model().selLength(), 3u);
  const std::string rtf = box.rtf();
  EXPECT_NE(rtf.find("Microsoft Himalaya"), std::string::npos);
  EXPECT_NE(rtf.find("\\u3905?"), std::string::npos);
  // Text that is not RTF leaves the editor as it was.
  box.setRtf("plain words");
  EXPECT_EQ(box.plainText().left(2), QStringLiteral("ཀཁ"));
}

TEST_F(RichTextBoxTest, ReplaceSelectionRtfPutsTheCaretAfterTheInsertion) {
  fill();
  box.select(3, 3);
  box.replaceSelectionRtf(R"({\rtf1\ansi{\fonttbl{\f0\fnil Arial;}}\f0 XY})");
  EXPECT_EQ(box.plainText(), QStringLiteral("ཀཁགXY"));
  EXPECT_EQ(box.selStart(), 5);
  EXPECT_EQ(box.selLength(), 0);
}

}  // namespace
}  // namespace yig::ui
