#include "ui/save_prompts.h"

#include <QFontMetrics>

#include "engine/message_map.h"
#include "ui/clickable_label.h"
#include "ui/interface_language.h"

namespace yig::ui {

SavePrompt::SavePrompt(const InterfaceLanguage& language, const QList<QString>& captions,
                       const QString& objectName, QWidget* parent)
    : SkinDialog(parent) {
  setObjectName(objectName);
  setAttribute(Qt::WA_DeleteOnClose);
  titleLabel()->setText(toQString(kProgramTitleChinese));
  message_ = new QLabel(QString::fromUtf16(kMessage), this);
  message_->setObjectName(QStringLiteral("messageLabel"));
  message_->setAlignment(Qt::AlignCenter);
  message_->setWordWrap(true);
  QList<QLabel*> labels{titleLabel(), message_};
  for (int i = 0; i < captions.size(); ++i) {
    ClickableLabel* button = makeButton(captions[i], i == 0);
    button->setObjectName(QStringLiteral("button%1").arg(i));
    connect(button, &ClickableLabel::clicked, this, [this, i] {
      // Close first: the answer may end the program or open a dialog.
      hide();
      emit answered(i);
      close();
    });
    buttons_.append(button);
    labels.append(button);
  }
  applyLanguageRule(language, labels);
  layoutContent();
}

void SavePrompt::layoutContent() {
  const QFontMetrics fm(message_->font());
  int buttonWidth = 96;
  int buttonHeight = 0;
  for (ClickableLabel* b : buttons_) {
    const QFontMetrics bm(b->font());
    buttonWidth = std::max(buttonWidth, bm.horizontalAdvance(b->text()) + 40);
    buttonHeight = std::max(buttonHeight, bm.height() + 12);
  }
  const int gap = 16;
  const int row = static_cast<int>(buttons_.size()) * buttonWidth + (static_cast<int>(buttons_.size()) - 1) * gap;
  const int width = std::clamp(std::max(fm.horizontalAdvance(message_->text()) + 60, row + 60), 340, 600);
  const int textWidth = width - 40;
  const QRect textRect = fm.boundingRect(QRect(0, 0, textWidth, 2000), Qt::TextWordWrap, message_->text());
  const int messageHeight = std::max(textRect.height(), fm.height()) + 16;
  titleLabel()->setGeometry(42, 0, width - 52, kTitleHeight);
  message_->setGeometry(20, kTitleHeight + 18, textWidth, messageHeight);
  const int buttonTop = kTitleHeight + 18 + messageHeight + 16;
  int x = (width - row) / 2;
  for (ClickableLabel* b : buttons_) {
    b->setGeometry(x, buttonTop, buttonWidth, buttonHeight);
    x += buttonWidth + gap;
  }
  setFixedSize(width, buttonTop + buttonHeight + 18);
}

ExitPrompt::ExitPrompt(const InterfaceLanguage& language, QWidget* parent)
    : SavePrompt(language, {QStringLiteral("是"), QStringLiteral("否"), QStringLiteral("取消")},
                 QStringLiteral("Form5"), parent) {}

OpenPrompt::OpenPrompt(const InterfaceLanguage& language, QWidget* parent)
    : SavePrompt(language, {QStringLiteral("是"), QStringLiteral("否")}, QStringLiteral("Form6"), parent) {}

void SavePrompt::escape() {
  if (buttonCount() == 3) emit answered(ExitPrompt::Cancel);
  close();
}

}  // namespace yig::ui
