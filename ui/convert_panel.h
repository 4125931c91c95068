#pragma once
// The conversion panel (Picture2): fourteen encoding choices in two columns,
// the Sambhota family list, the convert button and a close picture. The panel
// only holds the widgets; the main window runs the selection and conversion.
#include <QComboBox>
#include <QFrame>
#include <QRadioButton>
#include <array>

#include "ui/clickable_label.h"

namespace yig::ui {

class SkinButton;

class ConvertPanel : public QFrame {
  Q_OBJECT
 public:
  static constexpr const char16_t* kSourceHeading = u"原编码类型";
  static constexpr const char16_t* kTargetHeading = u"目标文本类型";
  static constexpr const char16_t* kConvertCaption = u"转  换";

  explicit ConvertPanel(QWidget* parent = nullptr);

  /// Option1(index) and Label14(index), index 0..6 and 10..16; null for 7..9.
  QRadioButton* option(int index) const;
  ClickableLabel* label(int index) const;
  /// The chosen source index (0..6) or target index (10..16), -1 when none.
  int chosenSource() const;
  int chosenTarget() const;
  /// Chooses `index`, clearing the other choices of its group (no signal).
  void setChosen(int index);
  /// Clears the seven target choices.
  void clearTargets();

  QComboBox* sambhotaFamilyList() const { return combo3_; }
  ClickableLabel* convertButton() const { return convert_; }
  SkinButton* closeButton() const { return close_; }
  QLabel* sourceHeading() const { return sourceHeading_; }
  QLabel* targetHeading() const { return targetHeading_; }

  /// Places the children for the current fonts.
  void layoutContent();

 signals:
  /// A choice was clicked (its option or its caption).
  void choiceClicked(int index);
  void convertClicked();
  void closeClicked();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void beginDrag(QPoint globalPos);

  std::array<QRadioButton*, 17> options_{};
  std::array<ClickableLabel*, 17> labels_{};
  QLabel* title_;
  QLabel* sourceHeading_;
  QLabel* targetHeading_;
  QComboBox* combo3_;
  ClickableLabel* convert_;
  SkinButton* close_;
  bool dragging_ = false;
  QPoint dragOffset_;
};

}  // namespace yig::ui
