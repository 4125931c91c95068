#pragma once
// The two save prompts: the exit prompt (Form5: "是", "否", "取消") and the
// open prompt (Form6: "是", "否"). They are topmost, dragged by their title,
// shown without blocking, and destroyed by any button, so the language rule is
// applied afresh each time one is shown. A button only reports the answer; the
// main window carries it out.
#include <QList>

#include "ui/skin_dialog.h"

namespace yig::ui {

class ClickableLabel;
class InterfaceLanguage;

class SavePrompt : public SkinDialog {
  Q_OBJECT
 public:
  static constexpr const char16_t* kMessage = u"原文本已经修改，保存吗？";

  QLabel* messageLabel() const { return message_; }
  ClickableLabel* button(int index) const { return buttons_.value(index); }
  int buttonCount() const { return static_cast<int>(buttons_.size()); }

 signals:
  /// A button was pressed; the prompt closes itself right after.
  void answered(int index);

 protected:
  /// Esc cancels: the exit prompt answers "取消"; the open prompt closes unanswered.
  void escape() override;
  SavePrompt(const InterfaceLanguage& language, const QList<QString>& captions, const QString& objectName,
             QWidget* parent);

 private:
  void layoutContent();

  QLabel* message_;
  QList<ClickableLabel*> buttons_;
};

/// Form5: asked when the program closes with unsaved changes.
class ExitPrompt : public SavePrompt {
  Q_OBJECT
 public:
  enum Answer { Yes = 0, No = 1, Cancel = 2 };
  explicit ExitPrompt(const InterfaceLanguage& language, QWidget* parent = nullptr);
};

/// Form6: asked when a document is opened over unsaved changes.
class OpenPrompt : public SavePrompt {
  Q_OBJECT
 public:
  enum Answer { Yes = 0, No = 1 };
  explicit OpenPrompt(const InterfaceLanguage& language, QWidget* parent = nullptr);
};

}  // namespace yig::ui
