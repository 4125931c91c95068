#include <QTest>
#include <gtest/gtest.h>

#include "gui_test_support.h"
#include "ui/main_form.h"
#include "ui/rich_text_box.h"

namespace yig::ui {
namespace {

TEST(MainFormTest, StartsInTibetanWithItsControls) {
  MainForm form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_TRUE(form.tibetanInterface());
  EXPECT_TRUE(form.Option2[0]->isChecked());
  EXPECT_FALSE(form.ProgressBar1->isVisible());
  EXPECT_FALSE(form.Picture2->isVisible());
  test::saveScreenshot(&form, QStringLiteral("smoke"));
}

}  // namespace
}  // namespace yig::ui
