// What users expect of a desktop program: undo of whole-document commands,
// the usual keys, the file in the title, drops and files named at start,
// saving by the typed ending, Esc, and Cancel of long work.
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include "gui_test_support.h"
#include "ui/convert_panel.h"
#include "ui/document_commands.h"
#include "ui/editor_interactions.h"
#include "ui/main_menu.h"
#include "ui/save_prompts.h"

namespace yig::ui {
namespace {

const QString kTibetan = QStringLiteral("བཀྲ་ཤིས་བདེ་ལེགས། ང་ཚོ་བོད་ཡིག་སློབ་སྦྱོང་བྱེད་ཀྱི་ཡོད།");

class DesktopTest : public test::MainFormTest {
 protected:
  void SetUp() override {
    test::MainFormTest::SetUp();
    ASSERT_TRUE(dir.isValid());
  }
  DocumentCommands& docs() { return form->interactions()->documents(); }
  void key(int k, Qt::KeyboardModifiers mods = Qt::ControlModifier) {
    QTest::keyClick(form->RichTextBox1, static_cast<Qt::Key>(k), mods);
    QCoreApplication::processEvents();
  }
  void convertHimaTo(int target) {
    form->openConvertPanel();
    form->chooseEncoding(4);
    form->chooseEncoding(target);
    form->ConvertCommand();
  }
  QString writeFile(const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
  }
  static QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QString text() const { return form->RichTextBox1->plainText(); }

  QTemporaryDir dir;
};

TEST_F(DesktopTest, ConversionAndSortAreUndoneAndRedoneAsOneStep) {
  putUnicodeText(kTibetan);
  const QString original = text();
  convertHimaTo(10);
  const QString converted = text();
  ASSERT_NE(converted, original);
  key(Qt::Key_Z);
  EXPECT_EQ(text(), original);
  EXPECT_EQ(form->RichTextBox1->fontNameAtCaret(1), QStringLiteral("Microsoft Himalaya"));
  key(Qt::Key_Y);
  EXPECT_EQ(text(), converted);
  // Typing after an undo makes the undone step unreachable.
  key(Qt::Key_Z);
  QTest::keyClicks(form->RichTextBox1, QStringLiteral("x"));
  key(Qt::Key_Z);
  key(Qt::Key_Y);
  EXPECT_TRUE(text().contains(QChar(u'x')));
  EXPECT_NE(text(), converted);

  form->RichTextBox1->select(0, form->RichTextBox1->textLength());
  putUnicodeText(QStringLiteral("ཁ་\r\nཀ་"));
  const QString unsorted = text();
  form->SelectionOnlyFlag = false;
  form->sortDocument();
  EXPECT_TRUE(text().startsWith(QStringLiteral("ཀ་\r\nཁ་")));
  key(Qt::Key_Z);
  EXPECT_EQ(text(), unsorted);
}

TEST_F(DesktopTest, KeysTitleAndSavingByTheTypedEnding) {
  const QString rtf = writeFile(QStringLiteral("letter.rtf"), "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 hello\\par }");
  int openDialogs = 0, saveDialogs = 0;
  docs().chooseOpenPath = [&]() -> std::optional<QString> { ++openDialogs; return rtf; };
  QString typed;
  docs().chooseSavePath = [&]() -> std::optional<SaveChoice> { ++saveDialogs; return SaveChoice{typed, 1}; };

  key(Qt::Key_O);
  ASSERT_EQ(openDialogs, 1);
  EXPECT_EQ(text(), QStringLiteral("hello"));
  EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("letter.rtf")));
  EXPECT_FALSE(form->isWindowModified());
  QTest::keyClicks(form->RichTextBox1, QStringLiteral("!"));
  EXPECT_TRUE(form->isWindowModified());

  // Ctrl+S writes the opened RTF again without asking.
  key(Qt::Key_S);
  EXPECT_EQ(saveDialogs, 0);
  EXPECT_TRUE(readFile(rtf).contains("!hello") || readFile(rtf).contains("hello!")) << readFile(rtf).constData() << "\n" << text().toStdString();
  EXPECT_TRUE(form->StatusCaption->text().contains(QStringLiteral("letter.rtf")));

  // Ctrl+Shift+S asks; "out.rtf" typed with the Word entry chosen is RTF, a
  // name without an ending gets the chosen entry's.
  typed = dir.filePath(QStringLiteral("out.rtf"));
  key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(saveDialogs, 1);
  EXPECT_TRUE(readFile(typed).startsWith("{\\rtf"));
  typed = dir.filePath(QStringLiteral("plain"));
  docs().chooseSavePath = [&]() -> std::optional<SaveChoice> { return SaveChoice{typed, 5}; };
  key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(readFile(typed + QStringLiteral(".txt")).startsWith("\xFF\xFE"));
  EXPECT_EQ(DocumentCommands::recentFiles().value(0), typed + QStringLiteral(".txt"));
}

TEST_F(DesktopTest, DroppedAndNamedFilesOpenAfterTheChangedDocumentIsSettled) {
  const QString first = writeFile(QStringLiteral("a.txt"), "first");
  const QString second = writeFile(QStringLiteral("b.txt"), "second");
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(first)});
  const QPointF at(20, 20);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form->RichTextBox1->viewport(), &enter);
  QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form->RichTextBox1->viewport(), &drop);
  QCoreApplication::processEvents();
  EXPECT_EQ(text(), QStringLiteral("first"));

  // With unsaved changes the open prompt comes first; "否" opens the named file.
  QTest::keyClicks(form->RichTextBox1, QStringLiteral("!"));
  form->openFiles({second});
  ASSERT_NE(form->interactions()->openPrompt(), nullptr);
  test::click(form->interactions()->openPrompt()->button(OpenPrompt::No));
  QCoreApplication::processEvents();
  EXPECT_EQ(text(), QStringLiteral("second"));
}

TEST_F(DesktopTest, EscClosesPromptsAndCancelLeavesTheDocumentAsItWas) {
  form->ModifiedFlag = true;
  ExitPrompt* prompt = form->interactions()->ShowExitPrompt();
  QTest::keyClick(prompt, Qt::Key_Escape);
  QCoreApplication::processEvents();
  EXPECT_FALSE(form->interactions()->shutDownDone());
  EXPECT_TRUE(form->isVisible());

  // A document large enough that the conversion is still running when the
  // window takes the Cancel.
  QString big;
  while (big.size() < 3'000'000) big += kTibetan + QStringLiteral("\r\n");
  putUnicodeText(big);
  const QString before = text();
  int cancelShown = 0;
  QTimer::singleShot(0, form.get(), [&] {
    cancelShown = form->CancelButton->isVisible() ? 1 : -1;
    test::click(form->CancelButton);
  });
  convertHimaTo(10);
  EXPECT_EQ(cancelShown, 1);
  EXPECT_EQ(text(), before);
  EXPECT_FALSE(form->busy());
  EXPECT_FALSE(form->CancelButton->isVisible());
  EXPECT_FALSE(form->RichTextBox1->isReadOnly());
}

TEST_F(DesktopTest, LegacyPreviewShowsUnicodeAndLeavesTheDocumentAlone) {
  // No machine running the tests has the legacy fonts: opening turns it on.
  form->previewWhenFontsMissing = true;
  const QString path = QStringLiteral(YIG_TEST_DATA_DIR "/documents/word-bzd.rtf");
  ASSERT_TRUE(docs().openPath(path));
  ASSERT_TRUE(form->legacyPreview());
  EXPECT_TRUE(form->RichTextBox1->isReadOnly());
  EXPECT_TRUE(form->PreviewButton->isChecked());
  const QString shown = text();
  EXPECT_TRUE(shown.contains(QChar(0x0F0B))) << "the preview shows Unicode Tibetan";
  test::saveScreenshot(form.get(), QStringLiteral("preview-bzd-without-its-font"));

  // Switched off, the editor holds the document exactly as it was opened.
  form->setLegacyPreview(false);
  const std::string opened = form->RichTextBox1->rtf();
  EXPECT_FALSE(QString::fromStdString(opened).isEmpty());
  EXPECT_FALSE(text().contains(QChar(0x0F0B)));
  form->setLegacyPreview(true);
  EXPECT_EQ(text(), shown);
  // A command ends the preview first and works on the document itself.
  const QString saved = dir.filePath(QStringLiteral("same.rtf"));
  ASSERT_TRUE(docs().saveTo(saved, 2));
  EXPECT_FALSE(form->legacyPreview());
  EXPECT_EQ(form->RichTextBox1->rtf(), opened);
  EXPECT_FALSE(form->ModifiedFlag);
}

TEST_F(DesktopTest, NoControlCoversAnotherAtTheSmallestSize) {
  form->resize(200, 150);
  QCoreApplication::processEvents();
  EXPECT_EQ(form->size(), MainForm::kMinimumSize);
  QList<QWidget*> controls;
  for (QObject* child : form->children())
    if (auto* w = qobject_cast<QWidget*>(child); w && w->isVisible() && !w->isWindow() && w != form->mainMenuArea())
      controls << w;
  const QRect menu = form->interactions()->mainMenu()->geometry().translated(form->mainMenuArea()->pos());
  for (QWidget* a : controls) {
    EXPECT_FALSE(a->geometry().intersects(menu)) << a->objectName().toStdString();
    for (QWidget* b : controls) {
      if (a < b) {
        EXPECT_FALSE(a->geometry().intersects(b->geometry()))
            << a->objectName().toStdString() << " ~ " << b->objectName().toStdString();
      }
    }
  }
}

}  // namespace
}  // namespace yig::ui
