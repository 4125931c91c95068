#include "ui/proof_prompt.h"

#include <QEventLoop>
#include <QFontMetrics>

#include "ui/clickable_label.h"
#include "ui/skin.h"

namespace yig::ui {

namespace {

ClickableLabel* makeCaption(const QString& text, QWidget* parent, const char* name) {
  auto* label = new ClickableLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setCursor(Qt::PointingHandCursor);
  return label;
}

ClickableLabel* makeButton(const QString& text, QWidget* parent, const char* name, bool primary) {
  ClickableLabel* button = makeCaption(text, parent, name);
  button->setAlignment(Qt::AlignCenter);
  button->setStyleSheet(primary ? QStringLiteral("QLabel{background:#28a4e9;color:white;border-radius:4px;}")
                                : QStringLiteral("QLabel{background:#e6eef6;color:#1f2a36;"
                                                 "border:1px solid #9fb4ca;border-radius:4px;}"));
  return button;
}

}  // namespace

ProofPrompt::ProofPrompt(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("Picture7"));
  setFrameShape(QFrame::Box);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, skin::kWindow);
  p.setColor(QPalette::WindowText, skin::kBorder);
  setPalette(p);

  caption_ = new QLabel(QStringLiteral("该文件自动识别为华光（方正）小样文件"), this);
  caption_->setObjectName(QStringLiteral("Picture7Caption"));
  caption_->setWordWrap(true);
  QPalette cp = caption_->palette();
  cp.setColor(QPalette::WindowText, skin::kText);
  caption_->setPalette(cp);
  Option3 = new QRadioButton(this);
  Option3->setObjectName(QStringLiteral("Option3"));
  Option4 = new QRadioButton(this);
  Option4->setObjectName(QStringLiteral("Option4"));
  Option4->setChecked(true);
  Label5 = makeCaption(QStringLiteral("保留原排版命令"), this, "Label5");
  Label22 = makeCaption(QStringLiteral("不保留原排版命令"), this, "Label22");
  Label23 = makeButton(QStringLiteral("确 定"), this, "Label23", true);
  Label24 = makeButton(QStringLiteral("取 消"), this, "Label24", false);
  for (ClickableLabel* l : {Label5, Label22}) {
    QPalette lp = l->palette();
    lp.setColor(QPalette::WindowText, skin::kText);
    l->setPalette(lp);
  }

  connect(Label5, &ClickableLabel::clicked, Option3, [this] { Option3->setChecked(true); });
  connect(Label22, &ClickableLabel::clicked, Option4, [this] { Option4->setChecked(true); });
  connect(Label23, &ClickableLabel::clicked, this, [this] { finish(currentChoice()); });
  connect(Label24, &ClickableLabel::clicked, this, [this] { finish(docs::ProofChoice::Cancel); });
  layoutContent();
  hide();
}

docs::ProofChoice ProofPrompt::currentChoice() const {
  return Option3->isChecked() ? docs::ProofChoice::KeepCommands : docs::ProofChoice::DropCommands;
}

void ProofPrompt::layoutContent() {
  const QFontMetrics cm(caption_->font());
  const QFontMetrics lm(Label22->font());
  const QFontMetrics bm(Label23->font());
  const int lineHeight = std::max(lm.height(), 24);
  const int buttonWidth = std::max({96, bm.horizontalAdvance(Label23->text()) + 40,
                                    bm.horizontalAdvance(Label24->text()) + 40});
  const int buttonHeight = bm.height() + 12;
  const int width = std::clamp(std::max(cm.horizontalAdvance(caption_->text()) + 40,
                                        2 * buttonWidth + 70),
                               320, 560);
  const QRect captionRect = cm.boundingRect(QRect(0, 0, width - 40, 1000), Qt::TextWordWrap, caption_->text());
  int y = 16;
  caption_->setGeometry(20, y, width - 40, captionRect.height() + 4);
  y += captionRect.height() + 16;
  for (auto [option, label] : {std::pair{Option3, Label5}, std::pair{Option4, Label22}}) {
    option->setGeometry(32, y + (lineHeight - 20) / 2, 20, 20);
    label->setGeometry(56, y, width - 76, lineHeight);
    y += lineHeight + 8;
  }
  y += 8;
  Label23->setGeometry(width / 2 - buttonWidth - 10, y, buttonWidth, buttonHeight);
  Label24->setGeometry(width / 2 + 10, y, buttonWidth, buttonHeight);
  resize(width, y + buttonHeight + 16);
}

docs::ProofChoice ProofPrompt::ask() {
  answer_ = docs::ProofChoice::Cancel;
  layoutContent();
  if (QWidget* host = parentWidget()) move((host->width() - width()) / 2, (host->height() - height()) / 2);
  show();
  raise();
  QEventLoop loop;
  loop_ = &loop;
  loop.exec();
  loop_ = nullptr;
  return answer_;
}

void ProofPrompt::finish(docs::ProofChoice choice) {
  answer_ = choice;
  emit answered(choice);
  hide();
}

void ProofPrompt::hideEvent(QHideEvent* event) {
  if (loop_) loop_->quit();
  QFrame::hideEvent(event);
}

}  // namespace yig::ui
