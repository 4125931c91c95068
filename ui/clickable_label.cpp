#include "ui/clickable_label.h"

#include <QEnterEvent>
#include <QMouseEvent>

namespace yig::ui {

ClickableLabel::ClickableLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void ClickableLabel::setColors(const QColor& background, const QColor& text) {
  if (background == background_ && text == text_) return;
  background_ = background;
  text_ = text;
  QPalette p = palette();
  if (background.isValid()) {
    p.setColor(QPalette::Window, background);
    setAutoFillBackground(background.alpha() > 0);
  }
  if (text.isValid()) p.setColor(QPalette::WindowText, text);
  setPalette(p);
}

void ClickableLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit pressed(event->globalPosition().toPoint());
  event->accept();
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    emit released(event->globalPosition().toPoint());
    if (rect().contains(event->position().toPoint())) emit clicked();
  }
  event->accept();
}

void ClickableLabel::enterEvent(QEnterEvent* event) {
  emit hoverChanged(true);
  QLabel::enterEvent(event);
}

void ClickableLabel::leaveEvent(QEvent* event) {
  emit hoverChanged(false);
  QLabel::leaveEvent(event);
}

}  // namespace yig::ui
