#include <QAbstractItemView>
#include <QFontDatabase>
#include <QTest>
#include <gtest/gtest.h>

#include "gui_test_support.h"
#include "ui/encoding_choices.h"

namespace yig::ui {
namespace {

class FontControlsTest : public test::MainFormTest {
 protected:
  void putText() {
    putUnicodeText(QStringLiteral("ཀཁག abc"));
    form->RichTextBox1->select(0, 3);
  }
  void activateSize(const QString& text) {
    form->Combo2->setCurrentText(text);
    emit form->Combo2->textActivated(text);
  }
};

TEST_F(FontControlsTest, BoxesAreFilledInOrder) {
  for (int i = 0; i < form->Combo1->count(); ++i)
    EXPECT_FALSE(form->Combo1->itemText(i).startsWith(QLatin1Char('@')));
  EXPECT_EQ(form->Combo1->count(), QFontDatabase::families().size());
  EXPECT_GE(form->Combo1->view()->minimumWidth(), 200);
  ASSERT_EQ(form->Combo2->count(), 34);
  EXPECT_EQ(form->Combo2->itemText(0), QStringLiteral("初号"));
  EXPECT_EQ(form->Combo2->itemText(15), QStringLiteral("八号"));
  EXPECT_EQ(form->Combo2->itemText(16), QStringLiteral("5"));
  EXPECT_EQ(form->Combo2->itemText(33), QStringLiteral("72"));
}

TEST_F(FontControlsTest, ChoosingASizeSetsTheSelection) {
  putText();
  struct {
    const char* text;
    double points;
  } const cases[] = {{"五号", 10.5}, {"小四", 12}, {"72", 72}, {"初号", 42}, {"5.5", 5.5}};
  for (const auto& c : cases) {
    activateSize(QString::fromUtf8(c.text));
    form->RichTextBox1->select(0, 3);
    EXPECT_EQ(form->RichTextBox1->selectionFontPoints(), c.points) << c.text;
  }
  EXPECT_EQ(form->editor().formatAt(0).sizeHalfPoints, 11);
  // A text that is neither a size name nor a number changes nothing.
  activateSize(QStringLiteral("Ededris"));
  EXPECT_EQ(form->RichTextBox1->selectionFontPoints(), 5.5);
}

TEST_F(FontControlsTest, TypingASizeAppliesNothing) {
  putText();
  form->Combo2->setEditText(QStringLiteral("36"));
  form->RichTextBox1->select(0, 3);
  EXPECT_EQ(form->RichTextBox1->selectionFontPoints(), 24.0);
}

TEST_F(FontControlsTest, FontBoxEditsApplyToTheSelectionAndFollowTheCaret) {
  putText();
  form->Combo1->setEditText(QStringLiteral("DejaVu Sans"));
  EXPECT_EQ(form->RichTextBox1->selectionFontName(), QStringLiteral("DejaVu Sans"));
  EXPECT_EQ(form->editor().formatAt(4).font.name, u"Tahoma");
  // The caret in other text shows its font and size in the boxes.
  form->RichTextBox1->select(6, 0);
  EXPECT_EQ(form->Combo1->currentText(), QStringLiteral("Tahoma"));
  EXPECT_EQ(form->Combo2->currentText(), QStringLiteral("12"));
  // A mixed selection leaves the boxes as they were.
  form->RichTextBox1->select(0, 6);
  EXPECT_EQ(form->Combo1->currentText(), QStringLiteral("Tahoma"));
}

TEST_F(FontControlsTest, ScalingRewritesEverySize) {
  form->RichTextBox1->setRtf(
      R"({\rtf1\ansi{\fonttbl{\f0\fswiss Arial;}{\f1\fnil Microsoft Himalaya;}}\f0\fs24 ab\f1\fs48 \u3904?\par})");
  form->ScaleDocumentFonts(1);
  EXPECT_EQ(form->editor().formatAt(0).sizeHalfPoints, 29);
  EXPECT_EQ(form->editor().formatAt(2).sizeHalfPoints, 58);
  EXPECT_EQ(form->editor().formatAt(0).font.family, "fswiss");
  form->ScaleDocumentFonts(0);
  form->ScaleDocumentFonts(0);
  EXPECT_EQ(form->editor().formatAt(0).sizeHalfPoints, 20);
  EXPECT_EQ(form->RichTextBox1->plainText().left(3), QStringLiteral("abཀ"));
}

TEST_F(FontControlsTest, FontDialogAppliesAChoiceAndCancelChangesNothing) {
  putText();
  form->RichTextBox1->setSelectionEffects(true, true, true, true);
  const rt::CharFormat before = form->editor().formatAt(0);
  QFont offered;
  form->ShowFontDialog([&](const QFont& initial) -> std::optional<QFont> {
    offered = initial;
    return std::nullopt;
  });
  EXPECT_EQ(offered.family(), QStringLiteral("Microsoft Himalaya"));
  EXPECT_EQ(offered.pointSizeF(), 24.0);
  EXPECT_EQ(form->editor().formatAt(0), before);

  form->RichTextBox1->select(0, 3);
  form->ShowFontDialog([](const QFont&) -> std::optional<QFont> {
    QFont chosen(QStringLiteral("DejaVu Serif"));
    chosen.setPointSizeF(18);
    chosen.setItalic(true);
    chosen.setUnderline(true);
    return chosen;
  });
  const rt::CharFormat after = form->editor().formatAt(0);
  EXPECT_EQ(after.font.name, u"DejaVu Serif");
  EXPECT_EQ(after.sizeHalfPoints, 36);
  EXPECT_FALSE(after.bold);
  EXPECT_TRUE(after.italic);
  EXPECT_TRUE(after.underline);
  EXPECT_FALSE(after.strike);
  EXPECT_EQ(form->editor().formatAt(5).font.name, u"Tahoma");
}

}  // namespace
}  // namespace yig::ui
