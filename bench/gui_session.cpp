// A scripted session of the desktop program on a large document, measuring how
// long the interface thread is ever kept from handling events:
//
//   gui_session [MB] [picture folder]      (default 10 MB, no pictures)
//   gui_session docx [MB]
//   gui_session tables [MB]
//
// Steps: open an RTF document, convert HIMA -> SAM, save it as .docx (when
// LibreOffice is installed), then start a second conversion and cancel it.
// With "docx" (LibreOffice needed): the document is made a .docx by
// LibreOffice, opened, converted HIMA -> BZD and saved as .docx, then edited
// and saved as .docx again (the saves with and without the kept package). A
// 5 ms timer notes the longest gap between its ticks (the interface thread's
// longest block) per step; a 250 ms timer takes a picture of the window and
// notes the progress bar. With "tables": a document of paragraphs and
// three-column tables and a document of the same text without tables are each
// opened, scrolled to the middle, the caret taken to the end and to a cell in
// the middle, and five characters typed there. Run it on the offscreen
// platform or under Xvfb.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextTable>
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

// Every 5 ms notes the longest gap between ticks.
void watchTicks(Watch& watch, QTimer& ticker) {
  QObject::connect(&ticker, &QTimer::timeout, [&watch] {
    watch.longest = std::max(watch.longest, watch.sinceTick.elapsed());
    watch.sinceTick.restart();
  });
  ticker.start(5);
}

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

// Paragraphs, each followed by a table of ten rows of three cells (a few
// syllables each), to about `megabytes`; `tables` false writes the cells'
// text as paragraphs of their own instead.
QByteArray tableDocument(double megabytes, bool tables) {
  const auto tibetan = [](const char16_t* s) {
    QByteArray out;
    for (; *s; ++s) out += "\\u" + QByteArray::number(static_cast<int>(*s)) + "?";
    return out;
  };
  const QByteArray words = tibetan(u"བཀྲ་ཤིས་བདེ་ལེགས།");
  const QByteArray paragraph = tibetan(u"ང་ཚོས་བོད་ཡིག་གི་ཡིག་ཆ་ཨང་སྒྲིག་གཅིག་ནས་གཅིག་ལ་སྒྱུར་ཆོག") + "\\par\r\n";
  QByteArray rtf = "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}}\r\n"
                   "\\viewkind4\\uc1\\pard\\f0\\fs32 ";
  while (rtf.size() < megabytes * 1e6) {
    rtf += "\\pard " + paragraph;
    for (int r = 0; r < 10; ++r) {
      if (tables) {
        rtf += "\\trowd\\cellx2000\\cellx4000\\cellx6000\\pard\\intbl " + words + "\\cell " + words + "\\cell " + words +
               "\\cell\\row\r\n";
      } else {
        rtf += "\\pard " + words + "\\par " + words + "\\par " + words + "\\par\r\n";
      }
    }
  }
  rtf += "}\r\n";
  return rtf;
}

// Runs the event loop for `ms`, so that what an action left to do (layout, painting) is done.
void settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

void typeKey(QWidget* target, char c) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_A + (c - 'a'), Qt::NoModifier, QString(QChar(c)));
  QCoreApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_A + (c - 'a'), Qt::NoModifier, QString(QChar(c)));
  QCoreApplication::sendEvent(target, &release);
}

int tableSession(double megabytes) {
  QTemporaryDir dir;
  for (const bool tables : {false, true}) {
    const QString input = dir.filePath(tables ? QStringLiteral("tables.rtf") : QStringLiteral("plain.rtf"));
    {
      QFile f(input);
      if (!f.open(QIODevice::WriteOnly)) return 1;
      f.write(tableDocument(megabytes, tables));
    }
    MainForm form;
    form.show();
    QCoreApplication::processEvents();
    Watch watch;
    QTimer ticker;
    watchTicks(watch, ticker);
    yig::ui::RichTextBox* box = form.RichTextBox1;
    std::printf("%s: %.1f MB of RTF\n", tables ? "with tables" : "same text, no tables", QFile(input).size() / 1e6);
    step("open .rtf", watch, [&] {
      form.interactions()->documents().openPath(input);
      settle(300);
    });
    int cells = 0;
    for (QTextFrame* frame : box->document()->rootFrame()->childFrames())
      if (auto* table = qobject_cast<QTextTable*>(frame)) cells += table->rows() * table->columns();
    std::printf("  %d characters, %d cells shown as tables\n", box->textLength(), cells);
    step("scroll to the middle", watch, [&] {
      box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum() / 2);
      settle(300);
    });
    step("caret to the end", watch, [&] {
      box->moveCursor(QTextCursor::End);
      settle(300);
    });
    step("caret into the middle", watch, [&] {
      // The middle table's middle cell, or the same place of the text without tables.
      QTextCursor c(box->document());
      c.setPosition(box->document()->characterCount() / 2);
      if (QTextTable* table = c.currentTable()) c = table->cellAt(5, 1).lastCursorPosition();
      else c.movePosition(QTextCursor::EndOfBlock);
      box->setTextCursor(c);
      settle(300);
    });
    for (const char c : std::string("abcde")) {
      step("type a character there", watch, [&] {
        typeKey(box, c);
        settle(100);
      });
    }
    form.ModifiedFlag = false;
  }
  return 0;
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
  watchTicks(watch, ticker);
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
  if (argc > 1 && std::string(argv[1]) == "tables") return tableSession(argc > 2 ? std::atof(argv[2]) : 10.0);
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
