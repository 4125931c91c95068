#include "ui/color_palette.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/skin.h"

namespace yig::ui {

namespace {
constexpr int kBorder = 4;
constexpr QSize kPictureSize{256, 160};
}  // namespace

QImage paletteImage(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  const int w = size.width(), h = size.height();
  const int greyRows = std::max(1, h / 8);
  const int colourRows = h - greyRows;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      QColor c;
      if (y >= colourRows) {
        const int v = w > 1 ? 255 - x * 255 / (w - 1) : 0;
        c.setRgb(v, v, v);
      } else {
        const int hue = x * 359 / std::max(1, w - 1);
        // Top half: white to full colour; bottom half: full colour to dark.
        const double t = colourRows > 1 ? static_cast<double>(y) / (colourRows - 1) : 0.5;
        const double lightness = 0.95 - 0.85 * t;
        c = QColor::fromHslF(hue / 360.0, 1.0, lightness);
      }
      image.setPixel(x, y, c.rgb());
    }
  }
  return image;
}

ColorPalette::ColorPalette(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("ColorPalette"));
  image_ = paletteImage(kPictureSize);
  setFixedSize(kPictureSize.width() + 2 * kBorder, kPictureSize.height() + 2 * kBorder);
  setCursor(Qt::CrossCursor);
  hide();
}

QColor ColorPalette::colorAt(QPoint pos) const {
  const int x = std::clamp(pos.x() - kBorder, 0, image_.width() - 1);
  const int y = std::clamp(pos.y() - kBorder, 0, image_.height() - 1);
  return image_.pixelColor(x, y);
}

void ColorPalette::toggle() {
  setVisible(!isVisible());
  if (isVisible()) raise();
}

void ColorPalette::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.drawImage(QPoint(kBorder, kBorder), image_);
  painter.setPen(skin::kBorder);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ColorPalette::mousePressEvent(QMouseEvent* event) { event->accept(); }

void ColorPalette::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  emit colorPicked(colorAt(event->position().toPoint()));
}

}  // namespace yig::ui
