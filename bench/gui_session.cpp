// A scripted session of the desktop program on a large document, measuring how
// long the interface thread is ever kept from handling events:
//
//   gui_session [MB] [picture folder]      (default 10 MB, no pictures)
//   gui_session docx [MB]
//
// Steps: open an RTF document, convert HIMA -> SAM, save it as .docx (when
// LibreOffice is installed), then start a second conversion and cancel it.
// With "docx" (LibreOffice needed): the document is made a .docx by
// LibreOffice, opened, converted HIMA -> BZD and saved as .docx, then edited
// and saved as .docx again (the saves with and without the kept package). A
// 5 ms timer notes the longest gap between its ticks (the interface thread's
// longest block) per step; a 250 ms timer takes a picture of the window and
// notes the progress bar. Run it on the offscreen platform or under Xvfb.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <random>
#include <set>
#include <string>

#include "documents/office_bridge.h"
#include "documents/package_route.h"
#include "ui/document_commands.h"
#include "ui/editor_interactions.h"
#include "ui/main_form.h"
#include "ui/rich_text_box.h"

namespace {

using yig::ui::MainForm;

// A Unicode Tibetan RTF document of about `megabytes`, paragraphs as a rich
// editor writes them.
QByteArray largeDocument(double megabytes) {
  const QString line = QStringLiteral("བཀྲ་ཤིས་བདེ་ལེགས། ང་ཚོས་བོད་ཡིག་གི་ཡིག་ཆ་ཨང་སྒྲིག་གཅིག་ནས་གཅིག་ལ་སྒྱུར་ཆོག");
  QByteArray paragraph;
  for (QChar c : line) paragraph += "\\u" + QByteArray::number(c.unicode()) + "?";
  paragraph += "\\par\r\n";
  QByteArray rtf = "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}}\r\n"
                   "\\viewkind4\\uc1\\pard\\f0\\fs32 ";
  while (rtf.size() < megabytes * 1e6) rtf += paragraph;
  rtf += "}\r\n";
  return rtf;
}

struct Watch {
  QElapsedTimer sinceTick;
  qint64 longest = 0;
  std::set<int> progress;
  int pictures = 0;
  QString folder;
};

void step(const char* name, Watch& watch, const std::function<void()>& run) {
  watch.longest = 0;
  watch.progress.clear();
  const int picturesBefore = watch.pictures;
  QElapsedTimer clock;
  clock.start();
  watch.sinceTick.restart();
  run();
  std::printf("%-28s %7.2f s   longest block %4lld ms   progress values %3zu   pictures %d\n", name,
              clock.elapsed() / 1000.0, static_cast<long long>(watch.longest), watch.progress.size(),
              watch.pictures - picturesBefore);
}

}  // namespace

// The same of varied syllables, so that its .docx packs as real text does.
QByteArray variedDocument(double megabytes) {
  static const char16_t* const kSyllables[] = {u"བཀྲ", u"ཤིས", u"བདེ", u"ལེགས", u"བོད", u"ཡིག", u"རྒྱ", u"མཚོ",
                                               u"ལྷ", u"ས", u"སྐད", u"ཆ", u"སློབ", u"སྦྱོང", u"དཔེ", u"དེབ"};
  std::mt19937 random(7);
  QByteArray rtf = "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}}\r\n"
                   "\\viewkind4\\uc1\\pard\\f0\\fs32 ";
  while (rtf.size() < megabytes * 1e6) {
    for (int s = 0; s < 20; ++s) {
      for (const char16_t* c = kSyllables[random() % std::size(kSyllables)]; *c; ++c)
        rtf += "\\u" + QByteArray::number(static_cast<int>(*c)) + "?";
      rtf += "\\u3851?";
    }
    rtf += "\\par\r\n";
  }
  rtf += "}\r\n";
  return rtf;
}

// Open a .docx, convert it, save it as .docx with its package and, edited, through LibreOffice.
int wordSession(double megabytes) {
  QTemporaryDir dir;
  const QString input = dir.filePath(QStringLiteral("large.docx"));
  {
    yig::docs::OfficeResult docx =
        yig::docs::convertBytesWithOffice(variedDocument(megabytes).toStdString(), "rtf", yig::docs::kOfficeDocxFilter, "docx");
    QFile f(input);
    if (!docx.ok() || !f.open(QIODevice::WriteOnly)) return std::fprintf(stderr, "no .docx: %s\n", docx.error.c_str()), 1;
    f.write(docx.bytes.data(), static_cast<qint64>(docx.bytes.size()));
  }
  MainForm form;
  form.previewWhenFontsMissing = false;
  form.show();
  QCoreApplication::processEvents();
  Watch watch;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    watch.longest = std::max(watch.longest, watch.sinceTick.elapsed());
    watch.sinceTick.restart();
  });
  ticker.start(5);
  yig::ui::DocumentCommands& docs = form.interactions()->documents();
  std::printf("document: %.1f MB of RTF as %.0f kB of .docx\n", megabytes, QFile(input).size() / 1e3);
  step("open .docx (LibreOffice)", watch, [&] { docs.openPath(input); });
  std::printf("  %d characters shown\n", form.RichTextBox1->textLength());
  form.openConvertPanel();
  form.chooseEncoding(4);
  form.chooseEncoding(10);
  step("convert HIMA -> BZD", watch, [&] { form.ConvertCommand(); });
  step("save .docx (kept package)", watch, [&] { docs.saveTo(dir.filePath(QStringLiteral("kept.docx")), 1); });
  std::printf("  %s\n", form.StatusCaption->text().toUtf8().constData());
  form.RichTextBox1->textCursor().insertText(QStringLiteral("x"));
  step("save .docx edited (LibreOffice)", watch, [&] { docs.saveTo(dir.filePath(QStringLiteral("edited.docx")), 1); });
  std::printf("  %s\n", form.StatusCaption->text().toUtf8().constData());
  form.ModifiedFlag = false;
  return 0;
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc > 1 && std::string(argv[1]) == "docx") return wordSession(argc > 2 ? std::atof(argv[2]) : 10.0);
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 10.0;
  Watch watch;
  watch.folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
  if (!watch.folder.isEmpty()) QDir().mkpath(watch.folder);

  QTemporaryDir dir;
  const QString input = dir.filePath(QStringLiteral("large.rtf"));
  {
    QFile f(input);
    if (!f.open(QIODevice::WriteOnly)) return 1;
    f.write(largeDocument(megabytes));
  }
  MainForm form;
  form.show();
  QCoreApplication::processEvents();

  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    watch.longest = std::max(watch.longest, watch.sinceTick.elapsed());
    watch.sinceTick.restart();
  });
  ticker.start(5);
  QTimer camera;
  QObject::connect(&camera, &QTimer::timeout, [&] {
    if (form.ProgressBar1->isVisible()) watch.progress.insert(form.ProgressBar1->value());
    if (!watch.folder.isEmpty())
      form.grab().save(QDir(watch.folder).filePath(QStringLiteral("frame-%1.png").arg(watch.pictures, 4, 10, QLatin1Char('0'))));
    ++watch.pictures;
  });
  camera.start(250);

  yig::ui::DocumentCommands& docs = form.interactions()->documents();
  std::printf("document: %.1f MB of RTF\n", QFile(input).size() / 1e6);
  step("open .rtf", watch, [&] { docs.openPath(input); });
  std::printf("  %d characters shown\n", form.RichTextBox1->textLength());
  const std::string before = form.RichTextBox1->rtf();
  form.openConvertPanel();
  form.chooseEncoding(4);
  form.chooseEncoding(15);
  step("convert HIMA -> SAM", watch, [&] { form.ConvertCommand(); });
  std::printf("  elapsed caption %s\n", form.Label19->text().toUtf8().constData());
  step("save .docx (LibreOffice)", watch, [&] { docs.saveTo(dir.filePath(QStringLiteral("large.docx")), 1); });

  form.RichTextBox1->undoStep();
  const bool undone = form.RichTextBox1->rtf() == before;
  form.openConvertPanel();
  form.chooseEncoding(4);
  form.chooseEncoding(15);
  // Cancel as a user would: once the button shows, 0.4 s into the work.
  QElapsedTimer busyFor;
  QTimer canceller;
  QObject::connect(&canceller, &QTimer::timeout, [&] {
    if (!form.busy()) return busyFor.invalidate();
    if (!busyFor.isValid()) busyFor.start();
    if (busyFor.elapsed() >= 400) form.cancelWork();
  });
  canceller.start(20);
  step("convert, cancelled at 0.4 s", watch, [&] { form.ConvertCommand(); });
  canceller.stop();
  std::printf("  undo gave the document back: %s; cancel left it unchanged: %s\n", undone ? "yes" : "NO",
              form.RichTextBox1->rtf() == before ? "yes" : "NO");
  form.ModifiedFlag = false;
  return 0;
}
