// Pictures of the windows in both languages and at two sizes, saved under the
// build folder for people to look at; the checks here find captions that do
// not fit their labels and controls that overlap.
#include <QTest>
#include <gtest/gtest.h>

#include "gui_test_support.h"
#include "ui/about_window.h"
#include "ui/clickable_label.h"
#include "ui/convert_panel.h"
#include "ui/skin.h"

namespace yig::ui {
namespace {

using test::MainFormTest;

const QString kSample = QStringLiteral(
    "བཀྲ་ཤིས་བདེ་ལེགས། ང་ཚོས་བོད་ཡིག་གི་ཡིག་ཆ་ཨང་སྒྲིག་གཅིག་ནས་གཅིག་ལ་སྒྱུར་ཆོག\r\n"
    "藏文编码转换：Unicode 藏文与国家标准藏文字体之间互相转换。\r\n"
    "Yigsgyur converts Tibetan documents between seven encodings.");

/// Labels whose single-line caption is wider or taller than the label.
QStringList cutOffCaptions(const QList<QLabel*>& labels) {
  QStringList cut;
  for (QLabel* label : labels) {
    if (!label->isVisibleTo(label->window()) || label->text().isEmpty() || label->wordWrap()) continue;
    const QFontMetrics fm(label->font());
    const QMargins m = label->contentsMargins();
    const int needWidth = fm.horizontalAdvance(label->text()) + m.left() + m.right();
    const int needHeight = fm.ascent() + fm.descent();
    if (needWidth > label->width() + 1 || needHeight > label->height() + 1)
      cut << QStringLiteral("%1 \"%2\" needs %3x%4, has %5x%6")
                 .arg(label->objectName(), label->text())
                 .arg(needWidth)
                 .arg(needHeight)
                 .arg(label->width())
                 .arg(label->height());
  }
  return cut;
}

/// Pairs of the given visible widgets that overlap.
QStringList overlaps(const QList<QWidget*>& widgets) {
  QStringList found;
  for (int i = 0; i < widgets.size(); ++i)
    for (int j = i + 1; j < widgets.size(); ++j) {
      QWidget* a = widgets[i];
      QWidget* b = widgets[j];
      if (!a->isVisibleTo(a->window()) || !b->isVisibleTo(b->window())) continue;
      const QRect ra(a->mapTo(a->window(), QPoint(0, 0)), a->size());
      const QRect rb(b->mapTo(b->window(), QPoint(0, 0)), b->size());
      if (ra.intersects(rb)) found << a->objectName() + QStringLiteral(" / ") + b->objectName();
    }
  return found;
}

class ScreenshotTest : public test::MainFormTest,
                       public ::testing::WithParamInterface<std::tuple<bool, QSize>> {
 protected:
  QList<QLabel*> ownLabels() {
    QList<QLabel*> labels{form->StatusCaption, form->Label11, form->Label17, form->Label18, form->Label19,
                          form->Option2Caption[0], form->Option2Caption[1]};
    for (QLabel* l : form->findChildren<QLabel*>())
      if (l->objectName() == u"fontCaption" || l->objectName() == u"sizeCaption") labels << l;
    labels << form->Picture2->findChildren<QLabel*>();
    return labels;
  }
  QList<QWidget*> topControls() {
    QList<QWidget*> widgets;
    for (QLabel* l : form->findChildren<QLabel*>())
      if (l->objectName() == u"fontCaption" || l->objectName() == u"sizeCaption") widgets << l;
    widgets << form->Combo1 << form->Combo2 << form->Image10[0] << form->Image10[1] << form->Option2[0]
            << form->Option2[1] << form->Option2Caption[0] << form->Option2Caption[1] << form->TitleButtons[0]
            << form->TitleButtons[1] << form->TitleButtons[2];
    return widgets;
  }
  QList<QWidget*> statusControls() {
    return {form->StatusCaption, form->Label11, form->Label17, form->Label18, form->Label19, form->RichTextBox1};
  }
};

TEST_P(ScreenshotTest, MainWindowAndConvertPanel) {
  const auto [tibetan, size] = GetParam();
  const QString tag = QStringLiteral("%1-%2x%3").arg(tibetan ? "bo" : "zh").arg(size.width()).arg(size.height());
  form->setInterfaceLanguage(tibetan);
  form->resize(size);
  putUnicodeText(kSample);
  form->StatusCaption->setText(form->language().translateForDisplay(QStringLiteral("Unicode文本")));
  form->Label19->setText(QStringLiteral("0.25s"));
  form->Label18->show();
  form->Label19->show();
  QCoreApplication::processEvents();
  EXPECT_EQ(cutOffCaptions(ownLabels()).join(u'\n').toStdString(), "");
  EXPECT_EQ(overlaps(topControls()).join(u'\n').toStdString(), "");
  EXPECT_EQ(overlaps(statusControls()).join(u'\n').toStdString(), "");
  test::saveScreenshot(form.get(), QStringLiteral("main-") + tag);

  form->openConvertPanel();
  form->chooseEncoding(10);
  EXPECT_TRUE(form->rect().contains(form->Picture2->geometry())) << tag.toStdString();
  EXPECT_EQ(cutOffCaptions(form->Picture2->findChildren<QLabel*>()).join(u'\n').toStdString(), "");
  test::saveScreenshot(form.get(), QStringLiteral("convert-panel-") + tag);
  form->ConvertCommand();
  form->openConvertPanel();
  form->Picture2->setChosen(14);
  form->ConvertCommand();  // same family as the detected source
  ASSERT_NE(form->infoBox(), nullptr);
  EXPECT_EQ(cutOffCaptions({form->infoBox()->confirmButton(), form->infoBox()->titleLabel()}).join(u'\n').toStdString(), "");
  if (size.width() < 1200) test::saveScreenshot(form->infoBox(), QStringLiteral("info-box-") + tag);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ScreenshotTest,
                         ::testing::Combine(::testing::Bool(),
                                            ::testing::Values(QSize(1024, 700), QSize(1920, 1080))));

TEST_F(MainFormTest, AboutWindowPicture) {
  AboutWindow* about = form->aboutWindow();
  about->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(about, 30000));
  EXPECT_EQ(cutOffCaptions(about->findChildren<QLabel*>()).join(u'\n').toStdString(), "");
  test::saveScreenshot(about, QStringLiteral("about"));
  about->hide();
}

}  // namespace
}  // namespace yig::ui
