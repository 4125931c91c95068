#include "ui/skin_dialog.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "ui/clickable_label.h"
#include "ui/fonts.h"
#include "ui/interface_language.h"
#include "ui/skin.h"

namespace yig::ui {

SkinDialog::SkinDialog(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setAttribute(Qt::WA_TranslucentBackground, false);
  title_ = new QLabel(this);
  title_->setObjectName(QStringLiteral("dialogTitle"));
  QPalette p = title_->palette();
  p.setColor(QPalette::WindowText, Qt::white);
  title_->setPalette(p);
  title_->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
  title_->installEventFilter(this);
}

ClickableLabel* SkinDialog::makeButton(const QString& caption, bool primary) {
  auto* button = new ClickableLabel(caption, this);
  button->setAlignment(Qt::AlignCenter);
  button->setCursor(Qt::PointingHandCursor);
  const QString style = primary
      ? QStringLiteral("QLabel{background:#28a4e9;color:white;border-radius:4px;}"
                       "QLabel:hover{background:#1d8fcf;}")
      : QStringLiteral("QLabel{background:#e6eef6;color:#1f2a36;border:1px solid #9fb4ca;border-radius:4px;}"
                       "QLabel:hover{background:#d5e4f2;}");
  button->setStyleSheet(style);
  return button;
}

void SkinDialog::applyLanguageRule(const InterfaceLanguage& language, const QList<QLabel*>& labels) {
  const QFont font = language.dialogFont();
  for (QLabel* label : labels) {
    label->setFont(font);
    centreLetters(label, language.tibetan());
    if (language.tibetan()) {
      const QString value = language.messageValue(label->text());
      if (!value.isEmpty()) label->setText(value);
    }
  }
}

void SkinDialog::beginDrag(QPoint globalPos) {
  if (windowHandle() && windowHandle()->startSystemMove()) return;
  dragging_ = true;
  dragOffset_ = globalPos - frameGeometry().topLeft();
  grabMouse();
}

void SkinDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), skin::kWindow);
  QLinearGradient grad(0, 0, 0, kTitleHeight);
  grad.setColorAt(0, skin::kTitleTop);
  grad.setColorAt(1, skin::kTitleBottom);
  painter.fillRect(QRect(0, 0, width(), kTitleHeight), grad);
  paintPicture(painter, Picture::Logo, QRectF(10, 8, 24, 24), false);
  painter.setPen(skin::kBorder);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

bool SkinDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == title_ && event->type() == QEvent::MouseButtonPress) {
    auto* e = static_cast<QMouseEvent*>(event);
    if (e->button() == Qt::LeftButton) beginDrag(e->globalPosition().toPoint());
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void SkinDialog::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && event->position().y() < kTitleHeight)
    beginDrag(event->globalPosition().toPoint());
}

void SkinDialog::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) move(event->globalPosition().toPoint() - dragOffset_);
}

void SkinDialog::mouseReleaseEvent(QMouseEvent*) {
  if (dragging_) {
    dragging_ = false;
    releaseMouse();
  }
}

void SkinDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    escape();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace yig::ui
