#pragma once
// The about window (Form1), also the window the program starts with: the
// Tibetan and Chinese disclaimers, the developers line, four links and a close
// button. Closing it hides it and shows the main window.
#include <QList>
#include <functional>
#include <QUrl>

#include "ui/skin_dialog.h"

namespace yig::ui {

class ClickableLabel;

class AboutWindow : public SkinDialog {
  Q_OBJECT
 public:
  static constexpr const char16_t* kCloseCaption = u"取消";
  /// The project's addresses behind the four links.
  static QList<QUrl> linkAddresses();

  explicit AboutWindow(QWidget* parent = nullptr);

  QLabel* tibetanDisclaimer() const { return tibetanDisclaimer_; }
  QLabel* chineseDisclaimer() const { return chineseDisclaimer_; }
  ClickableLabel* link(int index) const { return links_.value(index); }
  ClickableLabel* closeButton() const { return close_; }

  /// Opens a link's address; replaceable for tests.
  std::function<void(const QUrl&)> openUrl;

 signals:
  /// The close button was pressed: the main window is to be shown.
  void closedToMain();

 public:
  /// Fits the window to its texts (after the Tibetan disclaimer was filled in).
  void layoutContent();

 protected:
  /// Esc does what the close button does: the main window appears.
  void escape() override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void colorLinks(int hovered);

  QLabel* tibetanDisclaimer_;
  QLabel* chineseDisclaimer_;
  QLabel* developers_;
  QList<ClickableLabel*> links_;
  ClickableLabel* close_;
};

}  // namespace yig::ui
