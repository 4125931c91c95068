#include "ui/fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

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
