#include "ui/fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QStringList>
#include <cmath>

#include "engine/encodings.h"

namespace yig::ui {
namespace {

const QStringList& tibetanFallbacks() {
  static const QStringList list{
      QStringLiteral("Tibetan Machine Uni"), QStringLiteral("Noto Serif Tibetan"),
      QStringLiteral("Noto Sans Tibetan"),   QStringLiteral("DDC Uchen"),
      QStringLiteral("Jomolhari"),           QStringLiteral("Monlam Uni OuChan2")};
  return list;
}

const QStringList& chineseFallbacks() {
  static const QStringList list{
      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC"),
      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN"),
      QStringLiteral("Droid Sans Fallback")};
  return list;
}

bool installed(const QString& family) {
  return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

}  // namespace

void installFontSubstitutions() {
  static const QStringList tibetanNames{
      QStringLiteral("Microsoft Himalaya"), QStringLiteral("Himalaya"),
      QStringLiteral("Monlam Uni OuChan1"), QStringLiteral("Monlam Uni OuChan2"),
      QStringLiteral("Monlam Uni OuChan3"), QStringLiteral("Monlam Uni OuChan4"),
      QStringLiteral("Monlam Uni OuChan5"), QStringLiteral("Monlam Uni Sans Serif"),
      QStringLiteral("Monlam Uni PayTsik"), QStringLiteral("Qomolangma-Uchen Sarchen"),
      QStringLiteral("Jomolhari"),          QStringLiteral("Tibetan Machine Uni"),
      QStringLiteral("Noto Serif Tibetan"), QStringLiteral("Noto Sans Tibetan"),
      QStringLiteral("DDC Uchen")};
  static const QStringList chineseNames{
      QStringLiteral("宋体"),   QStringLiteral("SimSun"), QStringLiteral("新宋体"),
      QStringLiteral("NSimSun"), QStringLiteral("黑体"),   QStringLiteral("SimHei"),
      QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"), QStringLiteral("楷体"),
      QStringLiteral("KaiTi")};
  auto substitute = [](const QStringList& names, const QStringList& fallbacks) {
    for (const QString& name : names) {
      if (installed(name)) continue;
      QStringList present;
      for (const QString& f : fallbacks)
        if (f.compare(name, Qt::CaseInsensitive) != 0 && installed(f)) present << f;
      if (!present.isEmpty() && !QFont::substitutes(name).contains(present.first()))
        QFont::insertSubstitutions(name, present);
    }
  };
  substitute(tibetanNames, tibetanFallbacks());
  substitute(chineseNames, chineseFallbacks());
}

QFont interfaceFont(const QString& family, double points) {
  QFont font(family);
  double size = points;
  if (family == kTibetanUiFont && !installed(family)) {
    // The substitutes draw Tibetan about a third larger than the design font.
    size = points * 0.7;
  }
  font.setPointSizeF(size);
  return font;
}

InkSpan letterInk(const QFont& font, bool tibetan) {
  static QHash<QString, InkSpan> measured;
  const QString key = font.key() + (tibetan ? u'T' : u'C');
  if (const auto found = measured.constFind(key); found != measured.cend()) return *found;
  const QFontMetrics metrics(font);
  const int baseline = metrics.ascent() + 2;
  QImage image(metrics.height() * 2 + 4, metrics.height() + 4, QImage::Format_Grayscale8);
  image.fill(255);
  {
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(2, baseline), tibetan ? QStringLiteral("\u0F40") : QStringLiteral("\u4E2D"));
  }
  int top = -1, bottom = -1;
  for (int y = 0; y < image.height(); ++y) {
    const uchar* row = image.constScanLine(y);
    for (int x = 0; x < image.width(); ++x) {
      if (row[x] < 128) {
        if (top < 0) top = y;
        bottom = y;
        break;
      }
    }
  }
  // A font that draws nothing for the letter: treat the line box's middle as its ink.
  InkSpan span = top < 0 ? InkSpan{-metrics.ascent() + metrics.descent(), 0}
                         : InkSpan{top - baseline, bottom - baseline};
  measured.insert(key, span);
  return span;
}

void centreLetters(QLabel* label, bool tibetan) {
  int lift = 0;
  if (tibetan && (label->alignment() & Qt::AlignVCenter)) {
    const QFontMetrics metrics(label->font());
    const double boxCentre = (metrics.descent() - metrics.ascent()) / 2.0;
    lift = std::max(0, static_cast<int>(std::lround(boxCentre - letterInk(label->font(), true).centre())));
  }
  // Moving the contents' middle down by `lift` takes a top margin of twice it.
  // A label drawn by a style sheet takes its margins from the sheet's padding.
  static const char* const kOwnSheet = "yigLetterSheet";
  if (!label->styleSheet().isEmpty() || label->property(kOwnSheet).isValid()) {
    if (!label->property(kOwnSheet).isValid()) label->setProperty(kOwnSheet, label->styleSheet());
    const QString own = label->property(kOwnSheet).toString();
    label->setStyleSheet(lift ? own + QStringLiteral("QLabel{padding-top:%1px;}").arg(2 * lift) : own);
    return;
  }
  const QMargins margins = label->contentsMargins();
  if (margins.top() != 2 * lift) label->setContentsMargins(margins.left(), 2 * lift, margins.right(), margins.bottom());
}

bool isGbkFont(const QString& family) {
  // A Tibetan font is GBK exactly when it belongs to a national-standard encoding.
  if (const std::optional<Encoding> tibetan = encodingOfFontName(family.toStdU16String()))
    return info(*tibetan).national;
  if (family.contains(QStringLiteral("Unicode"), Qt::CaseInsensitive)) return false;
  for (QChar c : family)
    if (c.unicode() >= 0x2E80 && c.unicode() < 0xA000) return true;
  if (!installed(family)) return false;
  const auto systems = QFontDatabase::writingSystems(family);
  return systems.contains(QFontDatabase::SimplifiedChinese) &&
         !systems.contains(QFontDatabase::Tibetan);
}

}  // namespace yig::ui
