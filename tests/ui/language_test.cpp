#include <QTest>
#include <gtest/gtest.h>

#include "gui_test_support.h"
#include "ui/about_window.h"
#include "ui/convert_panel.h"
#include "ui/fonts.h"

namespace yig::ui {
namespace {

using test::MainFormTest;

QLabel* addCaption(MainForm& form, const QString& text) {
  auto* label = new QLabel(text, &form);
  label->setGeometry(20, 200, 100, 30);
  return label;
}

TEST_F(MainFormTest, SwitchingThereAndBackRestoresTheCaptions) {
  QLabel* open = addCaption(*form, QStringLiteral("打开文件"));
  QLabel* cancel = addCaption(*form, QStringLiteral("取消"));
  QLabel* unknown = addCaption(*form, QStringLiteral("Yigsgyur 2"));
  form->setInterfaceLanguage(true);  // already Tibetan: nothing happens
  EXPECT_EQ(open->text(), QStringLiteral("打开文件"));
  form->setInterfaceLanguage(false);
  form->setInterfaceLanguage(true);
  EXPECT_EQ(open->text(), QStringLiteral("ཡིག་ཆ་ཁ་ཕྱེ།"));
  EXPECT_EQ(cancel->text(), QStringLiteral("བཤོལ།"));
  EXPECT_EQ(form->Picture2->convertButton()->text(), QStringLiteral("སྒྱུར།"));
  EXPECT_EQ(form->Picture2->label(0)->text(), QStringLiteral("པཎྜི་ཏ"));
  form->setInterfaceLanguage(false);
  EXPECT_EQ(open->text(), QStringLiteral("打开文件"));
  // "取 消" and "取消" share one Tibetan label; the first row wins on the way back.
  EXPECT_EQ(cancel->text(), QStringLiteral("取 消"));
  EXPECT_EQ(unknown->text(), QStringLiteral("Yigsgyur 2"));
  EXPECT_EQ(form->Picture2->label(0)->text(), QStringLiteral("班智达"));
  EXPECT_EQ(form->Label11->text(), QStringLiteral("长度"));
  EXPECT_FALSE(form->tibetanInterface());
  EXPECT_TRUE(form->Option2[1]->isChecked());
}

TEST_F(MainFormTest, LanguageSetsCaptionFontsExceptTheSwitches) {
  EXPECT_EQ(form->StatusCaption->font().family(), kTibetanUiFont);
  EXPECT_EQ(form->Option2Caption[0]->font().family(), kTibetanUiFont);
  EXPECT_NE(form->Option2Caption[1]->font().family(), kTibetanUiFont);
  const QFont chineseCaption = form->Option2Caption[1]->font();
  form->setInterfaceLanguage(false);
  EXPECT_EQ(form->StatusCaption->font().family(), kChineseUiFont);
  EXPECT_EQ(form->StatusCaption->font().pointSizeF(), kChineseUiPoints);
  EXPECT_EQ(form->Option2Caption[0]->font().family(), kTibetanUiFont);
  EXPECT_EQ(form->Option2Caption[1]->font(), chineseCaption);
  EXPECT_EQ(form->Option2Caption[0]->text(), QStringLiteral("藏文"));
  EXPECT_EQ(form->Option2Caption[1]->text(), QStringLiteral("汉文"));
}

// How far the middle of the drawn letters lies below the middle of the label.
double inkOffset(QLabel* label) {
  const QImage image = label->grab().toImage().convertToFormat(QImage::Format_Grayscale8);
  const int background = image.pixelColor(image.width() / 2, 1).value();
  int top = -1, bottom = -1;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (std::abs(image.pixelColor(x, y).value() - background) > 96) {
        if (top < 0) top = y;
        bottom = y;
        break;
      }
  EXPECT_GE(top, 0) << label->text().toStdString();
  return (top + bottom) / 2.0 / image.devicePixelRatio() - label->height() / 2.0;
}

TEST_F(MainFormTest, CaptionLettersAreCentredInBothInterfaces) {
  const int statusTop = form->StatusCaption->y();
  for (const bool tibetan : {true, false}) {
    form->setInterfaceLanguage(tibetan);
    // Letters without vowels or stacks, whose ink is the letters' body.
    for (QLabel* label : {static_cast<QLabel*>(form->StatusCaption), form->Label11, form->Label18})
      label->setText(tibetan ? QStringLiteral("ཀ་ཁ་ག") : QStringLiteral("保存文件"));
    for (QLabel* label : {static_cast<QLabel*>(form->StatusCaption), form->Label11, form->Label18})
      EXPECT_LE(std::abs(inkOffset(label)), 2.5) << label->objectName().toStdString() << (tibetan ? " (Tibetan)" : "");
    // The captions stay where the window's layout put them.
    EXPECT_EQ(form->StatusCaption->y(), statusTop);
  }
}

TEST_F(MainFormTest, MessagesAreTranslatedOnlyInTibetan) {
  EXPECT_EQ(form->translateForDisplay(u"请选择原文本编码类型！"), u"མ་ཡིག་གི་རིགས་གདམ།");
  // Text the table does not know is shown as it is, not as an empty box.
  EXPECT_EQ(form->translateForDisplay(u"没有这条"), u"没有这条");
  form->setInterfaceLanguage(false);
  EXPECT_EQ(form->translateForDisplay(u"请选择原文本编码类型！"), u"请选择原文本编码类型！");
}

TEST_F(MainFormTest, TibetanDisclaimerIsFilledFromTheTable) {
  const QString disclaimer = form->aboutWindow()->tibetanDisclaimer()->text();
  EXPECT_FALSE(disclaimer.isEmpty());
  EXPECT_TRUE(disclaimer.contains(QChar(0x0F0B)));
}

}  // namespace
}  // namespace yig::ui
