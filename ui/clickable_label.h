#pragma once
// A caption label that reports clicks and hovering, as the window's captions,
// encoding labels and links need.
#include <QLabel>

namespace yig::ui {

class ClickableLabel : public QLabel {
  Q_OBJECT
 public:
  explicit ClickableLabel(const QString& text = {}, QWidget* parent = nullptr);

  /// Sets the background and text colours; repaints only when they change.
  void setColors(const QColor& background, const QColor& text);
  QColor backgroundColor() const { return background_; }
  QColor textColor() const { return text_; }

 signals:
  void clicked();
  void pressed(QPoint globalPos);
  void released(QPoint globalPos);
  void hoverChanged(bool inside);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QColor background_;
  QColor text_;
};

}  // namespace yig::ui
