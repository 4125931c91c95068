#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QTextCursor>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "gui_test_support.h"
#include "ui/clickable_label.h"
#include "ui/convert_panel.h"
#include "ui/skin.h"

namespace yig::ui {
namespace {

using test::click;

const QString kTibetan = QStringLiteral("བཀྲ་ཤིས་བདེ་ལེགས། ང་ཚོ་བོད་ཡིག་སློབ་སྦྱོང་བྱེད་ཀྱི་ཡོད།");

class ConvertCommandTest : public test::MainFormTest {
 protected:
  void choose(int index) { click(form->Picture2->label(index)); }
  void convert() { click(form->Picture2->convertButton()); }
};

TEST_F(ConvertCommandTest, HimaToBzdAndBackThroughTheWidgets) {
  form->setInterfaceLanguage(false);
  putUnicodeText(kTibetan);
  const QString original = form->RichTextBox1->plainText();
  form->openConvertPanel();
  ASSERT_TRUE(form->Picture2->isVisible());
  // The caret's font pre-selected the source.
  EXPECT_EQ(form->Picture2->chosenSource(), 4);
  choose(10);
  EXPECT_EQ(form->Picture2->label(10)->backgroundColor(), skin::kChosen);
  EXPECT_EQ(form->Picture2->label(14)->backgroundColor(), QColor(Qt::white));
  convert();
  EXPECT_TRUE(shownMessage().isEmpty()) << shownMessage().toStdString();
  EXPECT_FALSE(form->Picture2->isVisible());
  EXPECT_EQ(form->StatusCaption->text(), QStringLiteral("Himalaya(基本集) -->班智达"));
  const QString national = form->RichTextBox1->plainText();
  EXPECT_NE(national, original);
  form->RichTextBox1->select(0, 0);
  EXPECT_TRUE(form->RichTextBox1->fontNameAtCaret(1).startsWith(QStringLiteral("BZD")))
      << form->RichTextBox1->fontNameAtCaret(1).toStdString();
  EXPECT_TRUE(form->Label19->isVisible());
  EXPECT_FALSE(form->Label19->text().isEmpty());
  EXPECT_TRUE(form->ModifiedFlag);

  form->openConvertPanel();
  EXPECT_EQ(form->Picture2->chosenSource(), 0);
  EXPECT_EQ(form->Picture2->chosenTarget(), -1);
  choose(14);
  convert();
  EXPECT_EQ(form->StatusCaption->text(), QStringLiteral("班智达 -->Himalaya(基本集)"));
  EXPECT_EQ(form->RichTextBox1->plainText(), original);
  EXPECT_EQ(form->RichTextBox1->fontNameAtCaret(1), QStringLiteral("Microsoft Himalaya"));
}

// Text another program put on the clipboard survives a conversion.
TEST_F(ConvertCommandTest, LeavesTheClipboardAlone) {
  form->setInterfaceLanguage(false);
  QApplication::clipboard()->setText(QStringLiteral("from another program"));
  putUnicodeText(kTibetan);
  form->openConvertPanel();
  choose(10);
  convert();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("from another program"));
}

TEST_F(ConvertCommandTest, ConvertsOnlyTheSelection) {
  form->setInterfaceLanguage(false);
  putUnicodeText(QStringLiteral("ཀཀཀ\r\nཁཁཁ"));
  form->openConvertPanel();
  choose(4);
  choose(10);
  form->RichTextBox1->select(4, 3);
  convert();
  EXPECT_EQ(form->SavedSelectionStart, 4u);
  EXPECT_EQ(form->SavedSelectionLength, 3u);
  EXPECT_TRUE(form->RichTextBox1->plainText().startsWith(QStringLiteral("ཀཀཀ\r\n")));
  EXPECT_EQ(form->RichTextBox1->fontNameAtCaret(1), QStringLiteral("Microsoft Himalaya"));
  EXPECT_TRUE(form->RichTextBox1->fontNameAtCaret(5).startsWith(QStringLiteral("BZD")));
}

std::string readDocument(const char* name) {
  std::ifstream in(std::string(YIG_TEST_DATA_DIR) + "/documents/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::size_t count(std::string_view haystack, std::string_view needle) {
  std::size_t n = 0;
  for (std::size_t at = haystack.find(needle); at != std::string_view::npos; at = haystack.find(needle, at + 1)) ++n;
  return n;
}

// Unicode Tibetan written as \uN (U+0F00..U+0FFF).
std::size_t tibetanEscapes(std::string_view rtf) {
  std::size_t n = 0;
  for (int c = 0x0F00; c <= 0x0FFF; ++c) n += count(rtf, "\\u" + std::to_string(c) + "?");
  return n;
}

// A Word document and LibreOffice's in the window: typed in, converted and
// written out again, they keep their tables, pictures, footnote, header,
// footer, list, styles, link and page setup, and the Tibetan in all of them
// is converted.
TEST_F(ConvertCommandTest, WholeDocumentsKeepTheirPartsThroughEditingAndConverting) {
  form->setInterfaceLanguage(false);
  for (const char* name : {"word-hima.rtf", "lo-hima.rtf"}) {
    SCOPED_TRACE(name);
    const std::string original = readDocument(name);
    ASSERT_FALSE(original.empty());
    form->RichTextBox1->setRtf(original);
    // An edit in the widget: the model is rebuilt from what the widget holds.
    QTextCursor cursor(form->RichTextBox1->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("x"));
    cursor.deletePreviousChar();
    const std::string edited = form->RichTextBox1->rtf();
    for (const char* part : {"\\trowd", "\\cell", "\\row", "\\pict", "\\footnote", "\\header", "\\footer",
                             "\\stylesheet", "\\paperw", "\\fldinst", "\\ls", "\\qc"}) {
      EXPECT_EQ(count(edited, part), count(original, part)) << part;
    }
    const std::size_t before = tibetanEscapes(edited);
    EXPECT_GT(before, 40u);
    const bool word = std::string_view(name).starts_with("word");
    if (word) {
      form->resize(900, 640);
      QCoreApplication::processEvents();
      test::saveScreenshot(form.get(), QStringLiteral("document-before"));
    }

    form->RichTextBox1->select(0, 0);
    form->openConvertPanel();
    choose(4);
    choose(10);
    convert();
    const std::string converted = form->RichTextBox1->rtf();
    for (const char* part : {"\\trowd", "\\cell", "\\row", "\\pict", "\\footnote", "\\header", "\\footer",
                             "\\stylesheet", "\\paperw", "\\fldinst"}) {
      EXPECT_EQ(count(converted, part), count(original, part)) << part;
    }
    // The Tibetan of table cells, footnote, header, footer and link is converted too.
    EXPECT_LT(tibetanEscapes(converted) * 20, before) << converted;
    EXPECT_NE(converted.find("BZDBT"), std::string::npos);
    if (word) test::saveScreenshot(form.get(), QStringLiteral("document-after"));
  }
}

struct ValidationCase {
  int source, target;  // -1: not chosen
  const char16_t* chinese;
  const char16_t* tibetan;
};

class ValidationTest : public ConvertCommandTest, public ::testing::WithParamInterface<ValidationCase> {};

TEST_P(ValidationTest, ShowsTheMessageInBothLanguagesAndChangesNothing) {
  const ValidationCase& c = GetParam();
  for (const bool tibetan : {false, true}) {
    form->setInterfaceLanguage(tibetan);
    form->RichTextBox1->clear();
    putUnicodeText(kTibetan);
    const QString before = form->RichTextBox1->plainText();
    form->openConvertPanel();
    form->Picture2->setChosen(-1);
    for (int i = 0; i <= 6; ++i) form->Picture2->option(i)->setChecked(false);
    if (c.source >= 0) choose(c.source);
    if (c.target >= 0) choose(c.target);
    convert();
    EXPECT_EQ(shownMessage(), QString::fromUtf16(tibetan ? c.tibetan : c.chinese)) << "tibetan " << tibetan;
    EXPECT_EQ(form->RichTextBox1->plainText(), before);
    closeMessage();
    EXPECT_EQ(form->infoBox(), nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ValidationTest,
    ::testing::Values(ValidationCase{-1, 10, u"请选择原文本编码类型！", u"མ་ཡིག་གི་རིགས་གདམ།"},
                      ValidationCase{4, -1, u"请选择目标文本编码类型！", u"སྒྱུར་ཡུལ་ཡི་གེའི་རིགས་གདམ།"},
                      ValidationCase{2, 12, u"原文件与目标文件编码相同！",
                                     u"མ་ཡིག་དང་སྒྱུར་ཡུལ་ཡི་གེའི་རིགས་གཅིག་པ་རེད།"}));

TEST_F(ConvertCommandTest, SambhotaTargetShowsTheFamilyList) {
  putUnicodeText(kTibetan);
  form->openConvertPanel();
  EXPECT_FALSE(form->Combo3->isVisible());
  choose(15);
  EXPECT_TRUE(form->Combo3->isVisible());
  EXPECT_EQ(form->Combo3->currentText(), QStringLiteral("Ededris"));
  EXPECT_EQ(form->sambhotaFamily(), u"Ededris");
  choose(12);
  EXPECT_FALSE(form->Combo3->isVisible());
  EXPECT_EQ(form->Picture2->chosenTarget(), 12);
  // Target choices keep the source font list; source choices set it.
  EXPECT_EQ(form->SourceFontList, QStringLiteral("Himalaya;Monlam;Tibetan ; Uni;????;"));
  choose(1);
  EXPECT_EQ(form->SourceFontList, QStringLiteral(" CHINATIBET; TIBET;"));
}

struct CaretCase {
  const char16_t* font;
  int expected;
};

class CaretFontTest : public ConvertCommandTest, public ::testing::WithParamInterface<CaretCase> {};

TEST_P(CaretFontTest, ClickingIntoTextPreselectsItsEncoding) {
  putUnicodeText(QStringLiteral("abc"));
  form->openConvertPanel();
  form->chooseEncoding(3);
  form->RichTextBox1->select(0, 3);
  form->RichTextBox1->setSelectionFontName(QString::fromUtf16(GetParam().font));
  form->RichTextBox1->select(2, 0);
  QTest::mouseClick(form->RichTextBox1->viewport(), Qt::LeftButton, {},
                    form->RichTextBox1->cursorRect().center());
  EXPECT_EQ(form->Picture2->chosenSource(), GetParam().expected) << QString::fromUtf16(GetParam().font).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Fonts, CaretFontTest,
                         ::testing::Values(CaretCase{u"Ededris-a", 5}, CaretCase{u"Dedris-a", 5},
                                           CaretCase{u"Microsoft Himalaya", 4},
                                           CaretCase{u"方正藏文新白体_Unicode", 6}, CaretCase{u"方正藏文新白体", 2},
                                           CaretCase{u"TIBET", 1}));

TEST_F(ConvertCommandTest, EmptyEditorPreselectsNothing) {
  form->chooseEncoding(1);
  form->DetectSourceFromCaretFont();
  EXPECT_EQ(form->Picture2->chosenSource(), 1);
}

struct PasteCase {
  const char16_t* text;
  int expected;
  const char16_t* font;
};

class PastePreselectionTest : public ConvertCommandTest, public ::testing::WithParamInterface<PasteCase> {};

TEST_P(PastePreselectionTest, SetsSourceAndFontOfTheWholeDocument) {
  const QString text = QString::fromUtf16(GetParam().text);
  form->RichTextBox1->textCursor().insertText(text);
  form->Change(text);
  EXPECT_EQ(form->Picture2->chosenSource(), GetParam().expected);
  EXPECT_EQ(form->Combo1->currentText(), QString::fromUtf16(GetParam().font));
  EXPECT_EQ(form->RichTextBox1->selLength(), 0);
  form->RichTextBox1->select(0, form->RichTextBox1->textLength());
  EXPECT_EQ(form->RichTextBox1->selectionFontName(), QString::fromUtf16(GetParam().font));
  EXPECT_EQ(form->RichTextBox1->defaultFontName(), QString::fromUtf16(GetParam().font));
}

INSTANTIATE_TEST_SUITE_P(Texts, PastePreselectionTest,
                         ::testing::Values(PasteCase{u"བཀྲ་ཤིས།", 4, u"Microsoft Himalaya"},
                                           PasteCase{u"ཀ\uF345", 6, u"方正藏文新白体_Unicode"},
                                           PasteCase{u"x娥y", 3, u"A-Tibetan"},
                                           PasteCase{u"丂丄", 1, u"CHINATIBET"},
                                           PasteCase{u"︽", 0, u"BZDBT"}));

TEST_F(ConvertCommandTest, PastedSambhotaIsFoundByItsFont) {
  putUnicodeText(QStringLiteral("abc"));
  form->RichTextBox1->select(1, 2);
  form->RichTextBox1->setSelectionFontName(QStringLiteral("Ededris-b"));
  form->Change(QStringLiteral("abc"));
  EXPECT_EQ(form->Picture2->chosenSource(), 5);
  EXPECT_EQ(form->Combo1->currentText(), QStringLiteral("Ededris-b"));
  EXPECT_EQ(form->RichTextBox1->selLength(), 0);
}

TEST_F(ConvertCommandTest, ProgressFollowsTheEngineEvery100ms) {
  form->progressStarted();
  EXPECT_TRUE(form->ProgressBar1->isVisibleTo(form.get()));
  EXPECT_TRUE(form->Timer1->isActive());
  EXPECT_EQ(form->Timer1->interval(), 100);
  form->setProgress(42);
  QTest::qWait(250);
  EXPECT_EQ(form->ProgressBar1->value(), 42);
  form->setProgress(140);
  EXPECT_EQ(form->progress(), 100);
  form->progressStopped();
  EXPECT_FALSE(form->Timer1->isActive());
}

}  // namespace
}  // namespace yig::ui
