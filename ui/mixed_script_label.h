#pragma once
// A caption that draws Tibetan in the Tibetan interface font and everything
// else (Latin, Chinese, digits) in the Chinese interface font at its own size.
// One font for all would draw Latin with the Tibetan font's serif letters, at
// the Tibetan size.
#include <QLabel>

namespace yig::ui {

class MixedScriptLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
  /// On: Tibetan and the rest each in their own font (the Tibetan interface).
  void setMixedScripts(bool on);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool mixed_ = false;
};

}  // namespace yig::ui
