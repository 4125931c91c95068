#include "ui/mixed_script_label.h"

#include <QPainter>

#include "ui/fonts.h"

namespace yig::ui {

namespace {

bool isTibetan(QChar c) { return c.unicode() >= 0x0F00 && c.unicode() <= 0x0FFF; }

}  // namespace

void MixedScriptLabel::setMixedScripts(bool on) {
  mixed_ = on;
  update();
}

void MixedScriptLabel::paintEvent(QPaintEvent* event) {
  const QString text = this->text();
  if (!mixed_ || text.isEmpty() || textFormat() == Qt::RichText) return QLabel::paintEvent(event);
  const QFont tibetan = font();
  const QFont other = interfaceFont(kChineseUiFont, kChineseUiPoints);
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  const QRect area = contentsRect();
  // Both scripts share one baseline, placed so the taller of them is centred.
  const QFontMetrics tm(tibetan), om(other);
  const int ascent = std::max(tm.ascent(), om.ascent());
  const int height = ascent + std::max(tm.descent(), om.descent());
  const int baseline = area.top() + (area.height() - height) / 2 + ascent;
  int x = area.left();
  for (qsizetype start = 0; start < text.size() && x < area.right();) {
    const bool tib = isTibetan(text[start]);
    qsizetype end = start + 1;
    while (end < text.size() && isTibetan(text[end]) == tib && text[end] != QChar(u'\n')) ++end;
    const QString piece = text.mid(start, end - start);
    painter.setFont(tib ? tibetan : other);
    painter.drawText(QPoint(x, baseline), piece);
    x += (tib ? tm : om).horizontalAdvance(piece);
    start = end;
  }
}

}  // namespace yig::ui
