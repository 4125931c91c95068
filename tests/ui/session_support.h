#pragma once
// Helpers of the scripted session: pictures of everything on screen, and
// LibreOffice conversions of what the program hands to other programs.
#include <QDir>
#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QWidget>

namespace yig::ui::test {

/// A picture of every visible top-level window of the program, each drawn at
/// its place on the screen, the main window first (the others stay on top).
/// It works alike on the offscreen platform and under a real X server.
inline QImage screenPicture(QWidget* mainWindow) {
  QList<QWidget*> windows;
  if (mainWindow->isVisible()) windows << mainWindow;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != mainWindow && w->isVisible() && w->isWindow() && w->windowType() != Qt::ToolTip)
      windows << w;
  QRect area;
  for (QWidget* w : windows) area |= w->frameGeometry();
  if (area.isEmpty()) area = QRect(0, 0, 320, 200);
  QImage image(area.size().grownBy(QMargins(12, 12, 12, 12)), QImage::Format_RGB32);
  image.fill(QColor(0x50, 0x5a, 0x66));
  QPainter painter(&image);
  for (QWidget* w : windows) painter.drawPixmap(w->frameGeometry().topLeft() - area.topLeft() + QPoint(12, 12), w->grab());
  return image;
}

/// Saves the screen picture as <build>/screenshots/session-<name>.png.
inline QString saveSessionPicture(QWidget* mainWindow, const QString& name) {
  QDir().mkpath(QStringLiteral(YIG_SCREENSHOT_DIR));
  // Pictures taken under a real X server get their own names.
  const QString platform = QGuiApplication::platformName() == QStringLiteral("offscreen")
                               ? QString()
                               : QGuiApplication::platformName() + QStringLiteral("-");
  const QString path = QStringLiteral(YIG_SCREENSHOT_DIR "/session-") + platform + name + QStringLiteral(".png");
  screenPicture(mainWindow).save(path);
  return path;
}

}  // namespace yig::ui::test
