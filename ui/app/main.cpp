// yigsgyur-gui: the desktop program. It starts with the about window; the main
// window appears when the about window is closed.
#include <QApplication>

#include "ui/about_window.h"
#include "ui/fonts.h"
#include "ui/main_form.h"

int main(int argc, char** argv) {
  QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Yigsgyur"));
  yig::ui::installFontSubstitutions();
  yig::ui::MainForm form;
  form.ShowAbout();
  return QApplication::exec();
}
