#pragma once
// The main menu: eight picture entries with captions (open, save, convert,
// sort, about, help, exit, font download). The entry under the pointer shows
// its highlighted picture and an orange caption; the whole entry is its click
// area.
#include <QWidget>
#include <array>

#include "ui/skin.h"

namespace yig::ui {

class ClickableLabel;

class MainMenuEntry : public QWidget {
  Q_OBJECT
 public:
  MainMenuEntry(Picture picture, const QString& caption, QWidget* parent = nullptr);
  ClickableLabel* caption() const { return caption_; }
  bool hovered() const { return hovered_; }
  void setHovered(bool hovered);
  void layoutContent();

 signals:
  void clicked();
  void hoverChanged(bool inside);

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Picture picture_;
  ClickableLabel* caption_;
  bool hovered_ = false;
};

class MainMenu : public QWidget {
  Q_OBJECT
 public:
  enum Entry { Open = 0, Save, Convert, Sort, About, Help, Exit, FontDownload, kEntryCount };
  static const std::array<QString, kEntryCount>& captions();

  explicit MainMenu(QWidget* parent = nullptr);
  MainMenuEntry* entry(int index) const { return entries_.at(static_cast<std::size_t>(index)); }
  /// Lays the entries out side by side in `width` pixels.
  void layoutContent(int width);

 signals:
  void triggered(int index);

 protected:
  void leaveEvent(QEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;

 private:
  std::array<MainMenuEntry*, kEntryCount> entries_{};
};

}  // namespace yig::ui
