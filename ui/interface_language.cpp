#include "ui/interface_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "engine/message_map.h"
#include "ui/fonts.h"

namespace yig::ui {

bool installQtChineseTranslations() {
  // One translator for the whole run, owned by the application.
  auto* translator = new QTranslator(QCoreApplication::instance());
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                        folder)) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

QString toQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

std::u16string toU16(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

void InterfaceLanguage::loadMessageMap() { map_ = LoadMessageMap(); }

QString InterfaceLanguage::messageValue(const QString& chinese) const {
  return toQString(map_.lookup(toU16(chinese)));
}

QString InterfaceLanguage::translateForDisplay(const QString& chinese) const {
  return toQString(TranslateForDisplay(map_, toU16(chinese), tibetan_));
}

QFont InterfaceLanguage::dialogFont() const {
  return tibetan_ ? interfaceFont(kTibetanUiFont, kTibetanUiPoints) : interfaceFont(kChineseUiFont, kChineseUiPoints);
}

}  // namespace yig::ui
