#pragma once
// The small borderless windows (information box, about window, save prompts):
// always on top, a painted title strip that drags the window, non-blocking.
#include <QLabel>
#include <QPoint>
#include <QWidget>

namespace yig::ui {

class InterfaceLanguage;
class ClickableLabel;

class SkinDialog : public QWidget {
  Q_OBJECT
 public:
  explicit SkinDialog(QWidget* parent = nullptr);

  /// The title label in the title strip; pressing it drags the window.
  QLabel* titleLabel() const { return title_; }
  /// Height of the title strip in pixels.
  static constexpr int kTitleHeight = 40;

  /// A button-like caption label; `primary` draws it in the accent colour.
  ClickableLabel* makeButton(const QString& caption, bool primary);

  /// Applies the shared language rule to the given labels: fonts, and in the
  /// Tibetan interface the message map's value for each Chinese caption.
  static void applyLanguageRule(const InterfaceLanguage& language, const QList<QLabel*>& labels);

  /// Starts dragging the window (the system's move when it offers one).
  void beginDrag(QPoint globalPos);

 protected:
  /// Esc: closes the window; dialogs with a cancelling answer give it instead.
  virtual void escape() { close(); }
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent*) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QLabel* title_;
  bool dragging_ = false;
  QPoint dragOffset_;
};

}  // namespace yig::ui
