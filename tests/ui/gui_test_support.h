#pragma once
// Shared helpers of the GUI tests: a shown main window, screenshots.
#include <QDir>
#include <QString>
#include <QWidget>

namespace yig::ui::test {

/// Saves a picture of `widget` as <build>/screenshots/<name>.png; returns the path.
inline QString saveScreenshot(QWidget* widget, const QString& name) {
  QDir().mkpath(QStringLiteral(YIG_SCREENSHOT_DIR));
  const QString path = QStringLiteral(YIG_SCREENSHOT_DIR "/") + name + QStringLiteral(".png");
  widget->grab().save(path);
  return path;
}

}  // namespace yig::ui::test
