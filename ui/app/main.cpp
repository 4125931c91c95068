// yigsgyur-gui: the desktop program. It starts with the about window; the main
// window appears when the about window is closed.
#include <QApplication>

#include <cstdio>
#include <exception>
#include <new>

#include "ui/about_window.h"
#include "ui/fonts.h"
#include "ui/interface_language.h"
#include "ui/main_form.h"
#include "ui/rich_text_box.h"

namespace {

// An exception escaping a command must not end the program: the user's unsaved
// document would go with it. The command is abandoned and the user told so.
class GuardedApplication final : public QApplication {
 public:
  using QApplication::QApplication;
  yig::ui::MainForm* form = nullptr;

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
      report(QStringLiteral("内存不足，操作未完成！"), "out of memory");
    } catch (const std::exception& e) {
      report(QStringLiteral("程序内部错误，操作未完成！"), e.what());
    }
    return false;
  }

 private:
  void report(const QString& message, const char* detail) {
    std::fprintf(stderr, "yigsgyur-gui: %s\n", detail);
    if (!form) return;
    // A command interrupted half-way leaves the editor locked with the busy cursor.
    form->RichTextBox1->setReadOnly(false);
    form->RichTextBox1->viewport()->unsetCursor();
    form->ShowMessage(message);
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
  GuardedApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Yigsgyur"));
  yig::ui::installFontSubstitutions();
  yig::ui::installQtChineseTranslations();
  yig::ui::MainForm form;
  app.form = &form;
  // Files named on the command line (file managers, the desktop entry) are
  // opened in the main window straight away; without them the program starts
  // with the about window.
  QStringList files = QApplication::arguments().mid(1);
  files.removeIf([](const QString& a) { return a.startsWith(QLatin1Char('-')); });
  if (files.isEmpty()) {
    form.ShowAbout();
  } else {
    form.show();
    QMetaObject::invokeMethod(&form, [&form, files] { form.openFiles(files); }, Qt::QueuedConnection);
  }
  return QApplication::exec();
}
