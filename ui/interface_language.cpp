#include "ui/interface_language.h"

#include "engine/message_map.h"
#include "ui/fonts.h"

namespace yig::ui {

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
