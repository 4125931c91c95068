#include "ui/info_box.h"

#include <QFontMetrics>

#include "engine/message_map.h"
#include "ui/clickable_label.h"
#include "ui/interface_language.h"

namespace yig::ui {

InfoBox::InfoBox(const InterfaceLanguage& language, QWidget* parent) : SkinDialog(parent) {
  setObjectName(QStringLiteral("Form2"));
  setAttribute(Qt::WA_DeleteOnClose);
  titleLabel()->setText(toQString(kProgramTitleChinese));
  message_ = new QLabel(QStringLiteral("  "), this);
  message_->setObjectName(QStringLiteral("messageLabel"));
  message_->setWordWrap(true);
  message_->setAlignment(Qt::AlignCenter);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  confirm_ = makeButton(QString::fromUtf16(kConfirmCaption), true);
  confirm_->setObjectName(QStringLiteral("confirmButton"));
  applyLanguageRule(language, {titleLabel(), message_, confirm_});
  connect(confirm_, &ClickableLabel::clicked, this, [this] {
    emit confirmed();
    close();
  });
  layoutContent();
}

void InfoBox::setMessage(const QString& text) {
  message_->setText(text);
  layoutContent();
}

void InfoBox::layoutContent() {
  const QFontMetrics fm(message_->font());
  const int lineHeight = fm.height();
  const int width = std::clamp(fm.horizontalAdvance(message_->text()) + 60, 340, 560);
  const int textWidth = width - 40;
  const QRect textRect = fm.boundingRect(QRect(0, 0, textWidth, 2000), Qt::TextWordWrap, message_->text());
  const int messageHeight = std::max(textRect.height(), lineHeight) + 16;
  const QFontMetrics bm(confirm_->font());
  const int buttonHeight = bm.height() + 12;
  const int buttonWidth = std::max(110, bm.horizontalAdvance(confirm_->text()) + 40);
  titleLabel()->setGeometry(42, 0, width - 52, kTitleHeight);
  message_->setGeometry(20, kTitleHeight + 18, textWidth, messageHeight);
  const int buttonTop = kTitleHeight + 18 + messageHeight + 16;
  confirm_->setGeometry((width - buttonWidth) / 2, buttonTop, buttonWidth, buttonHeight);
  setFixedSize(width, buttonTop + buttonHeight + 18);
}

}  // namespace yig::ui
