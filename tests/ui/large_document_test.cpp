// A large conversion from the window: the progress bar moves and the window
// keeps painting while the engine works. YIG_GUI_LARGE_MB sets the size of the
// document's RTF (2 MB by default; the 10 MB case is measured the same way).
#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>
#include <iostream>
#include <set>

#include "gui_test_support.h"
#include "ui/convert_panel.h"

namespace yig::ui {
namespace {

using test::MainFormTest;

class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST_F(MainFormTest, LargeConversionKeepsTheWindowPainting) {
  const double megabytes = qEnvironmentVariableIsSet("YIG_GUI_LARGE_MB")
                               ? qEnvironmentVariable("YIG_GUI_LARGE_MB").toDouble()
                               : 2.0;
  const QString line = QStringLiteral("བཀྲ་ཤིས་བདེ་ལེགས། ང་ཚོས་བོད་ཡིག་གི་ཡིག་ཆ་ཨང་སྒྲིག་གཅིག་ནས་གཅིག་ལ་སྒྱུར་ཆོག\r\n");
  // Every Tibetan character takes about seven bytes of RTF ("\U3904?").
  const int lines = std::max(1, static_cast<int>(megabytes * 1e6 / (7.0 * line.size())));
  QString text;
  text.reserve(lines * line.size());
  for (int i = 0; i < lines; ++i) text += line;

  QElapsedTimer clock;
  clock.start();
  putUnicodeText(text);
  const qint64 loadMs = clock.elapsed();
  const std::size_t rtfBytes = form->RichTextBox1->rtf().size();
  form->setInterfaceLanguage(false);
  form->openConvertPanel();
  form->chooseEncoding(10);

  PaintCounter counter;
  form->ProgressBar1->installEventFilter(&counter);
  form->RichTextBox1->viewport()->installEventFilter(&counter);
  std::set<int> seen;
  QTimer sampler;
  // A zero timer runs whenever the conversion lets events through: it sees
  // every progress value the engine reports, however fast the conversion.
  QObject::connect(&sampler, &QTimer::timeout, [&] { seen.insert(form->progress()); });
  sampler.start(0);
  clock.restart();
  form->ConvertCommand();
  const qint64 convertMs = clock.elapsed();
  sampler.stop();

  std::cout << "[ measured ] RTF " << rtfBytes / 1e6 << " MB: load " << loadMs << " ms, HIMA->BZD " << convertMs
            << " ms (elapsed caption " << form->Label19->text().toStdString() << "), " << counter.paints
            << " paints, " << seen.size() << " progress values\n";
  EXPECT_TRUE(form->infoBox() == nullptr || !form->infoBox()->isVisible());
  EXPECT_TRUE(form->RichTextBox1->fontNameAtCaret(1).startsWith(QStringLiteral("BZD")));
  EXPECT_GT(counter.paints, 0);
  EXPECT_GE(seen.size(), 2u);
}

}  // namespace
}  // namespace yig::ui
