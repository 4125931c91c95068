#pragma once
// The interface language as the windows see it: which language is chosen, the
// message map, and the translation of fixed Chinese texts for display.
#include <QFont>
#include <QString>

#include "engine/mapping_table.h"

namespace yig::ui {

/// Loads Qt's own Chinese texts (file and font dialogs, standard buttons) for
/// both interfaces — Qt has no Tibetan ones. False when they are not installed.
bool installQtChineseTranslations();

QString toQString(std::u16string_view text);
std::u16string toU16(const QString& text);

class InterfaceLanguage {
 public:
  bool tibetan() const { return tibetan_; }
  void setTibetan(bool tibetan) { tibetan_ = tibetan; }

  /// Builds the message map from the embedded table (LoadMessageMap).
  void loadMessageMap();
  void releaseMessageMap() { map_.clear(); }
  const MappingTable& messageMap() const { return map_; }

  /// The message map's value for a Chinese text; empty when the table lacks it.
  QString messageValue(const QString& chinese) const;
  /// The Tibetan label for `chinese` in the Tibetan interface (the text itself
  /// when the table does not know it); `chinese` unchanged in the Chinese one.
  QString translateForDisplay(const QString& chinese) const;

  /// The font of the dialogs' labels: "Microsoft Himalaya" 18 or "宋体" 10.5.
  QFont dialogFont() const;

 private:
  bool tibetan_ = true;
  MappingTable map_;
};

}  // namespace yig::ui
