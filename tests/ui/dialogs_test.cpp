#include <QTest>
#include <gtest/gtest.h>

#include "gui_test_support.h"
#include "ui/about_window.h"
#include "ui/clickable_label.h"
#include "ui/fonts.h"
#include "ui/skin.h"

namespace yig::ui {
namespace {

using test::click;
using test::MainFormTest;

TEST_F(MainFormTest, InformationBoxInTibetan) {
  form->ShowMessage(QStringLiteral("请选择原文本编码类型！"));
  InfoBox* box = form->infoBox();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isVisible());
  EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(box->messageLabel()->text(), QStringLiteral("མ་ཡིག་གི་རིགས་གདམ།"));
  EXPECT_EQ(box->confirmButton()->text(), QStringLiteral("ལེགས་སོ། །"));
  EXPECT_EQ(box->messageLabel()->font().family(), kTibetanUiFont);
  EXPECT_EQ(box->titleLabel()->text(), QStringLiteral("ཡིག་སྒྱུར། བོད་ཡིག་ཨང་སྒྲིག་སྒྱུར་ཆས།"));
}

TEST_F(MainFormTest, InformationBoxIsBuiltAfreshAfterItsButton) {
  form->setInterfaceLanguage(false);
  form->ShowMessage(QStringLiteral("原文件与目标文件编码相同！"));
  QPointer<InfoBox> first = form->infoBox();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->confirmButton()->text(), QStringLiteral("确 定"));
  EXPECT_EQ(first->messageLabel()->font().family(), kChineseUiFont);
  // A second message while it is open replaces the text in the same box.
  form->ShowMessage(QStringLiteral("请选择目标文本编码类型！"));
  EXPECT_EQ(form->infoBox(), first.data());
  EXPECT_EQ(first->messageLabel()->text(), QStringLiteral("请选择目标文本编码类型！"));
  click(first->confirmButton());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());
  EXPECT_EQ(form->infoBox(), nullptr);
  // The next message follows the language of its moment.
  form->setInterfaceLanguage(true);
  form->ShowMessage(QStringLiteral("请选择目标文本编码类型！"));
  ASSERT_NE(form->infoBox(), nullptr);
  EXPECT_EQ(form->infoBox()->confirmButton()->text(), QStringLiteral("ལེགས་སོ། །"));
}

TEST_F(MainFormTest, EngineMessagesAreShownAsGiven) {
  form->showMessage(u"already translated");
  ASSERT_NE(form->infoBox(), nullptr);
  EXPECT_EQ(form->infoBox()->messageLabel()->text(), QStringLiteral("already translated"));
}

TEST(AboutWindowTest, StartsFirstAndShowsTheMainWindowWhenClosed) {
  MainForm form;
  form.ShowAbout();
  AboutWindow* about = form.aboutWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(about, 30000));
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(about->windowFlags() & Qt::WindowStaysOnTopHint);
  click(about->closeButton());
  EXPECT_FALSE(about->isVisible());
  EXPECT_TRUE(form.isVisible());
  // Shown again later, it stays a separate window above the main window.
  form.ShowAbout();
  EXPECT_TRUE(about->isVisible());
  EXPECT_TRUE(form.isVisible());
  about->hide();
}

TEST(AboutWindowTest, LinksOpenTheProjectsAddresses) {
  MainForm form;
  AboutWindow* about = form.aboutWindow();
  QList<QUrl> opened;
  about->openUrl = [&](const QUrl& url) { opened << url; };
  about->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(about, 30000));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(about->link(i)->textColor(), skin::kLink);
    click(about->link(i));
  }
  ASSERT_EQ(opened.size(), 4);
  EXPECT_EQ(opened, AboutWindow::linkAddresses());
  for (const QUrl& url : opened) EXPECT_TRUE(url.toString().startsWith("https://github.com/yigsgyur/yigsgyur"));
  EXPECT_EQ(about->chineseDisclaimer()->font().family(), kChineseUiFont);
  EXPECT_EQ(about->tibetanDisclaimer()->font().family(), kTibetanUiFont);
  about->hide();
}

}  // namespace
}  // namespace yig::ui
