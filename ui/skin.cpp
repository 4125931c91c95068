#include "ui/skin.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>

namespace yig::ui {
namespace {

QPen strokePen(const QColor& color, const QRectF& r, double widthShare = 0.085) {
  QPen pen(color, std::max(1.2, r.width() * widthShare));
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

// Pictures are drawn on a 24 x 24 grid scaled into the target rectangle.
struct Grid {
  QRectF r;
  QPointF p(double x, double y) const { return {r.left() + x * r.width() / 24, r.top() + y * r.height() / 24}; }
  QRectF rect(double x, double y, double w, double h) const {
    return {p(x, y), QSizeF(w * r.width() / 24, h * r.height() / 24)};
  }
};

}  // namespace

void paintPicture(QPainter& painter, Picture picture, const QRectF& rect, bool hover, bool light) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const Grid g{rect};
  const QColor ink = light ? QColor(Qt::white) : (hover ? skin::kHover : skin::kTitleTop);
  const QColor accent = hover ? skin::kHover : skin::kChosen;
  painter.setPen(strokePen(ink, rect));
  painter.setBrush(Qt::NoBrush);
  switch (picture) {
    case Picture::Logo: {
      painter.setPen(Qt::NoPen);
      QLinearGradient grad(g.p(0, 0), g.p(24, 24));
      grad.setColorAt(0, QColor(0xf2, 0xb1, 0x3c));
      grad.setColorAt(1, QColor(0xd9, 0x6c, 0x1e));
      painter.setBrush(grad);
      painter.drawRoundedRect(g.rect(1, 1, 22, 22), rect.width() * 0.22, rect.width() * 0.22);
      // Two facing arrows: one script turning into another.
      QPen pen = strokePen(Qt::white, rect, 0.09);
      painter.setPen(pen);
      painter.drawLine(g.p(6, 9), g.p(18, 9));
      painter.drawLine(g.p(14.5, 5.5), g.p(18, 9));
      painter.drawLine(g.p(18, 15), g.p(6, 15));
      painter.drawLine(g.p(9.5, 18.5), g.p(6, 15));
      break;
    }
    case Picture::Minimize:
      painter.drawLine(g.p(6, 13), g.p(18, 13));
      break;
    case Picture::Maximize:
      painter.drawRect(g.rect(6.5, 6.5, 11, 11));
      break;
    case Picture::Close:
    case Picture::PanelClose:
      painter.drawLine(g.p(7, 7), g.p(17, 17));
      painter.drawLine(g.p(17, 7), g.p(7, 17));
      break;
    case Picture::Open: {
      QPainterPath folder;
      folder.moveTo(g.p(3, 7));
      folder.lineTo(g.p(9, 7));
      folder.lineTo(g.p(11, 9));
      folder.lineTo(g.p(20, 9));
      folder.lineTo(g.p(20, 19));
      folder.lineTo(g.p(3, 19));
      folder.closeSubpath();
      painter.setBrush(QColor(accent.red(), accent.green(), accent.blue(), 50));
      painter.drawPath(folder);
      painter.drawLine(g.p(3, 12), g.p(20, 12));
      break;
    }
    case Picture::Save:
      painter.setBrush(QColor(accent.red(), accent.green(), accent.blue(), 50));
      painter.drawRoundedRect(g.rect(4, 4, 16, 16), 2, 2);
      painter.drawRect(g.rect(8, 4, 8, 5));
      painter.drawLine(g.p(8, 15), g.p(16, 15));
      break;
    case Picture::Convert:
      painter.drawLine(g.p(4, 8), g.p(19, 8));
      painter.drawLine(g.p(15, 4.5), g.p(19, 8));
      painter.setPen(strokePen(accent, rect));
      painter.drawLine(g.p(20, 16), g.p(5, 16));
      painter.drawLine(g.p(9, 19.5), g.p(5, 16));
      break;
    case Picture::Sort:
      painter.drawLine(g.p(4, 6), g.p(13, 6));
      painter.drawLine(g.p(4, 11), g.p(11, 11));
      painter.drawLine(g.p(4, 16), g.p(9, 16));
      painter.setPen(strokePen(accent, rect));
      painter.drawLine(g.p(18, 4), g.p(18, 20));
      painter.drawLine(g.p(15, 17), g.p(18, 20));
      painter.drawLine(g.p(21, 17), g.p(18, 20));
      break;
    case Picture::About:
    case Picture::Help: {
      painter.drawEllipse(g.rect(3.5, 3.5, 17, 17));
      QFont font = painter.font();
      font.setBold(true);
      font.setPixelSize(static_cast<int>(rect.height() * 0.5));
      painter.setFont(font);
      painter.setPen(accent);
      painter.drawText(g.rect(3.5, 3.5, 17, 17), Qt::AlignCenter,
                       picture == Picture::About ? QStringLiteral("i") : QStringLiteral("?"));
      break;
    }
    case Picture::Exit:
      painter.drawArc(g.rect(5, 5, 14, 14), 120 * 16, 300 * 16);
      painter.setPen(strokePen(accent, rect));
      painter.drawLine(g.p(12, 3.5), g.p(12, 11));
      break;
    case Picture::FontDownload:
      painter.drawLine(g.p(4, 16), g.p(4, 20));
      painter.drawLine(g.p(4, 20), g.p(20, 20));
      painter.drawLine(g.p(20, 20), g.p(20, 16));
      painter.setPen(strokePen(accent, rect));
      painter.drawLine(g.p(12, 4), g.p(12, 15));
      painter.drawLine(g.p(8, 11), g.p(12, 15));
      painter.drawLine(g.p(16, 11), g.p(12, 15));
      break;
    case Picture::Shrink:
    case Picture::Grow: {
      QFont font = painter.font();
      font.setBold(true);
      font.setPixelSize(static_cast<int>(rect.height() * (picture == Picture::Grow ? 0.62 : 0.46)));
      painter.setFont(font);
      painter.drawText(g.rect(1, 2, 15, 20), Qt::AlignCenter, QStringLiteral("A"));
      painter.setPen(strokePen(accent, rect));
      painter.drawLine(g.p(16, 8), g.p(22, 8));
      if (picture == Picture::Grow) painter.drawLine(g.p(19, 5), g.p(19, 11));
      break;
    }
    case Picture::Palette: {
      const QColor colors[] = {QColor(0xd9, 0x3b, 0x3b), QColor(0xf2, 0xb1, 0x3c), QColor(0x3c, 0xa5, 0x5c),
                               QColor(40, 164, 233)};
      painter.setPen(Qt::NoPen);
      for (int i = 0; i < 4; ++i) {
        painter.setBrush(colors[i]);
        painter.drawEllipse(g.rect(3 + (i % 2) * 9, 3 + (i / 2) * 9, 8, 8));
      }
      break;
    }
  }
  painter.restore();
}

QPixmap picturePixmap(Picture picture, QSize size, qreal dpr, bool hover) {
  QPixmap pixmap(size * dpr);
  pixmap.setDevicePixelRatio(dpr);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  paintPicture(painter, picture, QRectF(QPointF(0, 0), QSizeF(size)), hover);
  return pixmap;
}

SkinButton::SkinButton(Picture picture, QWidget* parent, bool onDark)
    : QAbstractButton(parent), picture_(picture), onDark_(onDark) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_Hover);
}

void SkinButton::setPicture(Picture picture) {
  picture_ = picture;
  update();
}

void SkinButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF r = rect();
  if (hovered_ || isDown()) {
    QColor back = onDark_ ? QColor(255, 255, 255, 46) : QColor(40, 164, 233, 40);
    if (onDark_ && picture_ == Picture::Close) back = skin::kRed;
    painter.setPen(Qt::NoPen);
    painter.setBrush(back);
    painter.drawRoundedRect(r.adjusted(1, 1, -1, -1), 4, 4);
  }
  const double side = std::min(r.width(), r.height()) * 0.8;
  const QRectF icon(r.center().x() - side / 2, r.center().y() - side / 2, side, side);
  paintPicture(painter, picture_, icon, hovered_ && !onDark_, onDark_);
}

void SkinButton::enterEvent(QEnterEvent*) {
  hovered_ = true;
  update();
}

void SkinButton::leaveEvent(QEvent*) {
  hovered_ = false;
  update();
}

}  // namespace yig::ui
