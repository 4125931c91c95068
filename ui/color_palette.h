#pragma once
// The colour palette: a panel with a picture of colours. A button release on
// the picture takes the colour of the pixel under the pointer (read from the
// picture itself, so it is exact at any screen scale).
#include <QFrame>
#include <QImage>

namespace yig::ui {

/// The palette picture: hues from left to right, from light at the top through
/// full colour to dark at the bottom, and a grey ramp in the last rows.
QImage paletteImage(QSize size);

class ColorPalette : public QFrame {
  Q_OBJECT
 public:
  explicit ColorPalette(QWidget* parent = nullptr);

  const QImage& image() const { return image_; }
  /// The colour at a point of the panel (the nearest picture pixel).
  QColor colorAt(QPoint pos) const;
  /// Shows the panel when hidden, hides it when shown.
  void toggle();

 signals:
  void colorPicked(const QColor& color);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QImage image_;
};

}  // namespace yig::ui
