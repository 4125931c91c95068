#include "ui/mixed_script_label.h"

#include <QPainter>
#include <cmath>

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
  // Each script's letters are centred on the label's middle line: Tibetan
  // letters hang from a headline well above their font's baseline, so a shared
  // baseline would lift them above the Chinese and Latin beside them.
  const QFontMetrics tm(tibetan), om(other);
  // The middle of the whole label: its top margin centres one font's letters
  // for plain painting, which this painting does itself for each script.
  const double middle = rect().height() / 2.0;
  const int tibetanBaseline = static_cast<int>(std::lround(middle - letterInk(tibetan, true).centre()));
  const int otherBaseline = static_cast<int>(std::lround(middle - letterInk(other, false).centre()));
  int x = area.left();
  for (qsizetype start = 0; start < text.size() && x < area.right();) {
    const bool tib = isTibetan(text[start]);
    qsizetype end = start + 1;
    while (end < text.size() && isTibetan(text[end]) == tib && text[end] != QChar(u'\n')) ++end;
    const QString piece = text.mid(start, end - start);
    painter.setFont(tib ? tibetan : other);
    painter.drawText(QPoint(x, tib ? tibetanBaseline : otherBaseline), piece);
    x += (tib ? tm : om).horizontalAdvance(piece);
    start = end;
  }
}

}  // namespace yig::ui
