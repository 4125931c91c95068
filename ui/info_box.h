#pragma once
// The information box (Form2): one message and a confirm button. It is closed
// and destroyed by its button, so each new message builds it afresh in the
// interface language of that moment.
#include "ui/skin_dialog.h"

namespace yig::ui {

class InterfaceLanguage;
class ClickableLabel;

class InfoBox : public SkinDialog {
  Q_OBJECT
 public:
  /// The Chinese design captions.
  static constexpr const char16_t* kConfirmCaption = u"确 定";

  explicit InfoBox(const InterfaceLanguage& language, QWidget* parent = nullptr);

  QLabel* messageLabel() const { return message_; }
  ClickableLabel* confirmButton() const { return confirm_; }
  /// Sets the message and fits the window to it.
  void setMessage(const QString& text);

 signals:
  void confirmed();

 private:
  void layoutContent();

  QLabel* message_;
  ClickableLabel* confirm_;
};

}  // namespace yig::ui
