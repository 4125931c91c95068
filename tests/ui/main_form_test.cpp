#include <QTest>
#include <gtest/gtest.h>

#include "gui_test_support.h"
#include "ui/convert_panel.h"

namespace yig::ui {
namespace {

using test::MainFormTest;

TEST_F(MainFormTest, LoadsInTibetanWithItsPanelsHidden) {
  EXPECT_TRUE(form->tibetanInterface());
  EXPECT_TRUE(form->Option2[0]->isChecked());
  EXPECT_FALSE(form->Option2[1]->isChecked());
  EXPECT_FALSE(form->ProgressBar1->isVisible());
  EXPECT_FALSE(form->Picture2->isVisible());
  EXPECT_FALSE(form->Label11->isVisible());
  EXPECT_FALSE(form->ModifiedFlag);
  EXPECT_EQ(form->Combo1->currentText(), QStringLiteral("Microsoft Himalaya"));
  EXPECT_EQ(form->Combo2->currentText(), QStringLiteral("24"));
  // The box's initial font reaches the empty editor's caret.
  EXPECT_EQ(form->RichTextBox1->selectionFontName(), QStringLiteral("Microsoft Himalaya"));
}

TEST_F(MainFormTest, EditingSetsTheModifiedFlagAndShowsTheLength) {
  putUnicodeText(QStringLiteral("བཀྲ་ཤིས།"));
  EXPECT_TRUE(form->ModifiedFlag);
  EXPECT_TRUE(form->Label11->isVisible());
  EXPECT_EQ(form->Label17->text(), QStringLiteral("8"));
}

TEST_F(MainFormTest, AnchoringFollowsAResizeBy1500Twips) {
  const int dx = twipsToPixels(1500, form.get());
  const QRect editor = form->RichTextBox1->geometry();
  const QRect fontBox = form->Combo1->geometry();
  const QRect status = form->StatusCaption->geometry();
  const QRect time = form->Label19->geometry();
  const QRect progress = form->ProgressBar1->geometry();
  form->resize(form->width() + dx, form->height() + dx);
  QCoreApplication::processEvents();
  EXPECT_EQ(form->RichTextBox1->geometry(), editor.adjusted(0, 0, dx, dx));
  EXPECT_EQ(form->Combo1->geometry(), fontBox.translated(dx, 0));
  EXPECT_EQ(form->StatusCaption->geometry(), status.translated(0, dx));
  EXPECT_EQ(form->Label19->geometry(), time.translated(dx, dx));
  // The progress bar stretches and stays on the status line.
  EXPECT_EQ(form->ProgressBar1->width(), progress.width() + dx);
  EXPECT_EQ(form->ProgressBar1->y(), progress.y() + dx);
}

TEST_F(MainFormTest, ResizingHidesTheConversionPanel) {
  putUnicodeText(QStringLiteral("ཀ"));
  form->openConvertPanel();
  ASSERT_TRUE(form->Picture2->isVisible());
  form->resize(form->width() + 40, form->height());
  QCoreApplication::processEvents();
  EXPECT_FALSE(form->Picture2->isVisible());
}

TEST_F(MainFormTest, EdgesSizeTheWindowAndTheInteriorDoesNot) {
  const QRect start = form->geometry();
  // The pointer passes over the right edge, then the press happens inside.
  QTest::mouseMove(form.get(), QPoint(form->width() - 2, form->height() / 2));
  QMouseEvent inside(QEvent::MouseButtonPress, QPointF(300, 300), form->mapToGlobal(QPointF(300, 300)),
                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form.get(), &inside);
  QMouseEvent drag(QEvent::MouseMove, QPointF(350, 300), form->mapToGlobal(QPointF(350, 300)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form.get(), &drag);
  EXPECT_EQ(form->geometry(), start);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(350, 300), form->mapToGlobal(QPointF(350, 300)),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form.get(), &release);

  // A press on the right edge sizes the window (by hand where the platform cannot).
  const QPointF edge(form->width() - 2, 300);
  QMouseEvent press(QEvent::MouseButtonPress, edge, form->mapToGlobal(edge), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(form.get(), &press);
  const QPointF further = edge + QPointF(60, 0);
  QMouseEvent move(QEvent::MouseMove, further, form->mapToGlobal(edge) + QPointF(60, 0), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form.get(), &move);
  QMouseEvent done(QEvent::MouseButtonRelease, further, form->mapToGlobal(edge) + QPointF(60, 0), Qt::LeftButton,
                   Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form.get(), &done);
  EXPECT_EQ(form->width(), start.width() + 60);
  EXPECT_EQ(form->x(), start.x());
}

}  // namespace
}  // namespace yig::ui
