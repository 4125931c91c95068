#pragma once
// Shared helpers of the GUI tests: a shown main window, clicks, screenshots.
#include <QDir>
#include <QString>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

#include "engine/unicode_text_rtf.h"
#include "ui/clickable_label.h"
#include "ui/info_box.h"
#include "ui/interface_language.h"
#include "ui/main_form.h"
#include "ui/rich_text_box.h"

namespace yig::ui::test {

/// Saves a picture of `widget` as <build>/screenshots/<name>.png; returns the path.
inline QString saveScreenshot(QWidget* widget, const QString& name) {
  QDir().mkpath(QStringLiteral(YIG_SCREENSHOT_DIR));
  const QString path = QStringLiteral(YIG_SCREENSHOT_DIR "/") + name + QStringLiteral(".png");
  widget->grab().save(path);
  return path;
}

inline void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

/// A main window, shown, in the interface it starts with (Tibetan).
class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<MainForm>();
    // Tests read what they opened; the preview has tests of its own.
    form->previewWhenFontsMissing = false;
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get(), 30000));
  }
  void TearDown() override {
    if (InfoBox* box = form->infoBox()) box->close();
    form->ModifiedFlag = false;
    form.reset();
  }

  /// Puts plain Unicode text into the editor as a paste of Unicode text does.
  void putUnicodeText(const QString& text) {
    std::u16string u = toU16(text);
    InsertUnicodeText(form->editor(), u, false);
    form->RichTextBox1->modelChanged();
  }
  /// The text the information box shows, empty when it is closed.
  QString shownMessage() const {
    InfoBox* box = form->infoBox();
    return box && box->isVisible() ? box->messageLabel()->text() : QString();
  }
  void closeMessage() {
    if (InfoBox* box = form->infoBox()) click(box->confirmButton());
    QCoreApplication::processEvents();
  }

  std::unique_ptr<MainForm> form;
};

}  // namespace yig::ui::test
