#pragma once
// The proof-file prompt (Picture7): a panel of the main window asking whether
// the typesetting commands of a proof file are to be kept. ask() shows it and
// waits, with the window's events running, until a button answers.
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>

#include "documents/document_host.h"

class QEventLoop;

namespace yig::ui {

class ClickableLabel;

class ProofPrompt : public QFrame {
  Q_OBJECT
 public:
  explicit ProofPrompt(QWidget* parent = nullptr);

  QLabel* caption() const { return caption_; }
  QRadioButton* Option3;   ///< keep the typesetting commands
  QRadioButton* Option4;   ///< drop them (chosen initially)
  ClickableLabel* Label5;  ///< "保留原排版命令"
  ClickableLabel* Label22; ///< "不保留原排版命令"
  ClickableLabel* Label23; ///< "确 定"
  ClickableLabel* Label24; ///< "取 消"

  /// Shows the prompt (centred in its parent) and returns the answer once a
  /// button was pressed; Cancel when the panel is hidden some other way.
  docs::ProofChoice ask();
  /// The answer the buttons give for the current choice.
  docs::ProofChoice currentChoice() const;
  void layoutContent();

 signals:
  void answered(docs::ProofChoice choice);

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  void finish(docs::ProofChoice choice);

  QLabel* caption_;
  QPointer<QEventLoop> loop_;
  docs::ProofChoice answer_ = docs::ProofChoice::Cancel;
};

}  // namespace yig::ui
