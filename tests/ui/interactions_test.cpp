// Editor interactions driven through the real widgets: context menu, clipboard
// keys and the paste pipeline, main-menu entries, the two save prompts,
// shut-down, the palette, the proof-file prompt and the title-bar buttons.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>

#include "tests/ui/interactions_support.h"
#include "ui/clickable_label.h"
#include "ui/clipboard_bridge.h"
#include "ui/color_palette.h"
#include "ui/context_menu.h"
#include "ui/convert_panel.h"
#include "ui/document_commands.h"
#include "ui/info_box.h"
#include "ui/main_menu.h"
#include "ui/paste_pipeline.h"
#include "ui/proof_prompt.h"
#include "ui/save_prompts.h"
#include "ui/skin.h"

namespace yig::ui {
namespace {

using test::ctrlKey;
using test::settle;
using test::shownForm;

const QString kTibetan = QStringLiteral("བཀྲ་ཤིས་བདེ་ལེགས། ཀ་ཁ་ག");
constexpr int kHimaSource = 4;

QString fontAt(MainForm& form, int pos) { return form.RichTextBox1->fontNameAtCaret(pos + 1); }

void click(QWidget* widget) {
  ASSERT_NE(widget, nullptr);
  QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
  settle();
}

void rightClickEditor(MainForm& form) {
  QWidget* viewport = form.RichTextBox1->viewport();
  QTest::mouseClick(viewport, Qt::RightButton, {}, QPoint(40, 20));
  settle();
}

// --- pure rules -----------------------------------------------------------------------

TEST(PasteRules, RouteByClipboardContent) {
  const QString latin49 = QString(49, QChar(u'a'));
  struct Case {
    const char* name;
    ClipboardContent content;
    PasteRoute route;
  };
  const Case cases[] = {
      {"nothing", {}, PasteRoute::Nothing},
      {"tibetan text", {std::nullopt, kTibetan}, PasteRoute::UnicodeText},
      {"ascii", {std::nullopt, QStringLiteral("hello, world")}, PasteRoute::PlainText},
      {"chinese only (above U+2018)", {std::nullopt, QStringLiteral("中文文本")}, PasteRoute::PlainText},
      {"U+0100 at position 50", {std::nullopt, latin49 + QChar(0x0100)}, PasteRoute::UnicodeText},
      {"U+2018 at position 50", {std::nullopt, latin49 + QChar(0x2018)}, PasteRoute::UnicodeText},
      {"U+0100 at position 51", {std::nullopt, latin49 + QStringLiteral("a") + QChar(0x0100)}, PasteRoute::PlainText},
      {"U+00FF and U+2019", {std::nullopt, QString(QChar(0x00FF)) + QChar(0x2019)}, PasteRoute::PlainText},
      {"rtf wins over text", {std::string("{\\rtf1 x}"), kTibetan}, PasteRoute::RichText},
      {"rtf alone", {std::string("{\\rtf1 x}"), std::nullopt}, PasteRoute::RichText},
  };
  for (const Case& c : cases) EXPECT_EQ(choosePasteRoute(c.content), c.route) << c.name;
}

TEST(PasteRules, LineEndsBecomeCrLf) {
  EXPECT_EQ(normalisedLineEnds(QStringLiteral("a\nb\r\nc\rd")), QStringLiteral("a\r\nb\r\nc\r\nd"));
  EXPECT_EQ(normalisedLineEnds(QStringLiteral("\r\n\r\n")), QStringLiteral("\r\n\r\n"));
}

TEST(ClipboardBridge, ReadsRichTextUnderEveryName) {
  for (const char* type : kRtfMimeTypes) {
    QMimeData data;
    data.setData(QString::fromLatin1(type), QByteArray("{\\rtf1 A}"));
    const ClipboardContent content = readClipboard(&data);
    ASSERT_TRUE(content.rtf) << type;
    EXPECT_EQ(*content.rtf, "{\\rtf1 A}") << type;
  }
  QMimeData empty;
  empty.setData(QStringLiteral("text/rtf"), QByteArray("  "));
  empty.setText(QStringLiteral("x"));
  const ClipboardContent content = readClipboard(&empty);
  EXPECT_FALSE(content.rtf) << "an empty rich-text offer is no rich text";
  EXPECT_TRUE(content.hasText());
}

TEST(DocumentCommandsTest, DialogFiltersKeepEveryEntryInOrder) {
  const QStringList entries = qtFileFilter(docs::kSaveFilter).split(QStringLiteral(";;"));
  ASSERT_EQ(entries.size(), 6);
  EXPECT_EQ(entries[0], QStringLiteral("Word文档(*.doc;*.docx) (*.doc *.docx)"));
  EXPECT_EQ(entries[1], QStringLiteral("RichText文档(*.rtf) (*.rtf)"));
  EXPECT_EQ(entries[5], QStringLiteral("ANSI文档(*.*) (*.*)"));
  EXPECT_EQ(qtFileFilter(u"A|*.a;*.b|B(;*.x)|*.x|"), QStringLiteral("A (*.a *.b);;B(;*.x) (*.x)"));
}

// --- context menu ---------------------------------------------------------------------

TEST(ContextMenuTest, EnablingFollowsSelectionClipboardAndText) {
  struct Case {
    const char* name;
    QString text;
    bool select;
    bool clipboard;
    std::array<bool, ContextMenu::kEntryCount> enabled;
  };
  const Case cases[] = {
      {"empty editor, empty clipboard", {}, false, false, {true, false, false, false, false, false, true, false, true}},
      {"text, no selection", QStringLiteral("abc"), false, false, {true, false, false, false, false, true, true, false, true}},
      {"text, clipboard", QStringLiteral("abc"), false, true, {true, false, false, true, false, true, true, false, true}},
      {"selection and clipboard", QStringLiteral("abc"), true, true, {true, true, true, true, true, true, true, false, true}},
      {"selection, empty clipboard", QStringLiteral("abc"), true, false, {true, true, true, false, true, true, true, false, true}},
  };
  for (const Case& c : cases) {
    auto form = shownForm();
    form->RichTextBox1->setPlainText(c.text);
    if (c.select)
      form->RichTextBox1->select(0, 2);
    else
      form->RichTextBox1->select(0, 0);
    if (c.clipboard)
      test::setClipboardText(QStringLiteral("clip"));
    else
      clearClipboard();
    // The menu is shown on the release of the right button.
    ContextMenu* menu = form->interactions()->contextMenu();
    form->interactions()->showContextMenu(QPoint(50, 150));
    ASSERT_TRUE(menu->isVisible()) << c.name;
    for (int i = 0; i < ContextMenu::kEntryCount; ++i)
      EXPECT_EQ(menu->entry(i)->isEnabled(), c.enabled[static_cast<std::size_t>(i)]) << c.name << " entry " << i;
  }
}

TEST(ContextMenuTest, RightClickShowsItAndLeftPressHidesIt) {
  auto form = shownForm();
  form->RichTextBox1->setPlainText(QStringLiteral("abc"));
  ContextMenu* menu = form->interactions()->contextMenu();
  rightClickEditor(*form);
  ASSERT_TRUE(menu->isVisible());
  EXPECT_TRUE(menu->entry(ContextMenu::SelectAll)->isEnabled());
  EXPECT_FALSE(menu->hoverBar()->isVisible());
  QTest::mousePress(form->RichTextBox1->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
  settle();
  EXPECT_FALSE(menu->isVisible());
  QTest::mouseRelease(form->RichTextBox1->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
}

TEST(ContextMenuTest, EntriesActOnTheEditor) {
  auto form = shownForm();
  RichTextBox* editor = form->RichTextBox1;
  ContextMenu* menu = form->interactions()->contextMenu();
  auto choose = [&](int entry) {
    form->interactions()->showContextMenu(QPoint(50, 150));
    ASSERT_TRUE(menu->entry(entry)->isEnabled()) << entry;
    click(menu->entry(entry));
    EXPECT_FALSE(menu->isVisible());
  };
  editor->setPlainText(QStringLiteral("alpha beta"));

  choose(ContextMenu::SelectAll);
  EXPECT_EQ(editor->selLength(), 10);

  editor->select(0, 6);
  choose(ContextMenu::Copy);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("alpha "));
  EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("text/rtf")));

  editor->select(0, 6);
  choose(ContextMenu::Cut);
  EXPECT_EQ(editor->plainText(), QStringLiteral("beta"));
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("alpha "));

  editor->select(4, 0);
  choose(ContextMenu::Paste);
  EXPECT_EQ(editor->plainText(), QStringLiteral("betaalpha "));

  editor->select(0, 4);
  choose(ContextMenu::Delete);
  EXPECT_EQ(editor->plainText(), QStringLiteral("alpha "));
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("alpha ")) << "delete leaves the clipboard alone";

  choose(ContextMenu::Undo);
  EXPECT_EQ(editor->plainText(), QStringLiteral("betaalpha "));
}

TEST(ContextMenuTest, HoverBarFollowsEnabledEntries) {
  auto form = shownForm();
  form->RichTextBox1->setPlainText(QStringLiteral("abc"));
  ContextMenu* menu = form->interactions()->contextMenu();
  form->interactions()->showContextMenu(QPoint(50, 150));
  menu->hoverEntry(ContextMenu::SelectAll);
  EXPECT_TRUE(menu->hoverBar()->isVisible());
  EXPECT_EQ(menu->hoverBar()->y(), menu->entry(ContextMenu::SelectAll)->y());
  EXPECT_NE(menu->entry(ContextMenu::SelectAll)->textColor(), QColor(Qt::black));
  menu->hoverEntry(ContextMenu::Cut);  // disabled: no bar
  EXPECT_FALSE(menu->hoverBar()->isVisible());
  EXPECT_EQ(menu->entry(ContextMenu::SelectAll)->textColor(), QColor(Qt::black));
}

// --- keyboard and paste pipeline --------------------------------------------------------

TEST(PastePipelineTest, CtrlVOfTibetanTextIsUnicodeTextAndPreselectsHima) {
  auto form = shownForm(false);
  test::setClipboardText(kTibetan);
  ctrlKey(*form, Qt::Key_V);
  EXPECT_EQ(form->StatusCaption->text(), QStringLiteral("Unicode文本"));
  EXPECT_EQ(form->RichTextBox1->plainText(), kTibetan);
  EXPECT_EQ(fontAt(*form, 0), QStringLiteral("Microsoft Himalaya"));
  EXPECT_EQ(form->Picture2->chosenSource(), kHimaSource);
  EXPECT_TRUE(form->ModifiedFlag);
}

TEST(PastePipelineTest, CtrlVOfAsciiIsPlainText) {
  auto form = shownForm(false);
  test::setClipboardText(QStringLiteral("plain ascii text"));
  ctrlKey(*form, Qt::Key_V);
  EXPECT_EQ(form->StatusCaption->text(), QStringLiteral("普通txt文本"));
  EXPECT_EQ(form->RichTextBox1->plainText(), QStringLiteral("plain ascii text"));
  EXPECT_EQ(form->Picture2->chosenSource(), -1);
}

TEST(PastePipelineTest, CtrlVOfRtfFromAnotherProgramSkipsDetection) {
  auto form = shownForm(false);
  // As a word processor offers it: its own header, a national-standard font.
  const QByteArray rtf =
      "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 BZDBT;}{\\f1\\froman Times New Roman;}}"
      "{\\*\\generator SomeWriter 1.0;}\\viewkind4\\uc1\\pard\\f1\\fs24 Hello \\f0\\'c9\\'fa\\par}";
  test::setClipboardRtf(rtf, QStringLiteral("Hello x"));
  ctrlKey(*form, Qt::Key_V);
  EXPECT_EQ(form->StatusCaption->text(), QStringLiteral("RTF格式文本"));
  EXPECT_TRUE(form->RichTextBox1->plainText().startsWith(QStringLiteral("Hello ")));
  EXPECT_EQ(fontAt(*form, 6), QStringLiteral("BZDBT"));
  EXPECT_EQ(form->Picture2->chosenSource(), -1) << "no detection after a rich-text paste";
}

TEST(PastePipelineTest, StatusIsTranslatedInTheTibetanInterface) {
  auto form = shownForm(true);
  test::setClipboardText(kTibetan);
  ctrlKey(*form, Qt::Key_V);
  const QString expected = form->language().translateForDisplay(QStringLiteral("Unicode文本"));
  EXPECT_NE(expected, QStringLiteral("Unicode文本"));
  EXPECT_EQ(form->StatusCaption->text(), expected);
}

TEST(PastePipelineTest, PasteReplacesTheSelectionAndKeepsLines) {
  struct Case {
    QString pasted, expected;
  };
  const Case cases[] = {
      {QStringLiteral("ཀ\nཁ"), QStringLiteral("ཀ\r\nཁYY")},
      {QStringLiteral("ཀ\r\nཁ\r\n"), QStringLiteral("ཀ\r\nཁ\r\nYY")},
      {QStringLiteral("ཀ\n\n"), QStringLiteral("ཀ\r\n\r\nYY")},
      {QStringLiteral("ab\ncd\n"), QStringLiteral("ab\r\ncd\r\nYY")},
  };
  for (const Case& c : cases) {
    auto form = shownForm(false);
    form->RichTextBox1->setPlainText(QStringLiteral("XXYY"));
    form->RichTextBox1->select(0, 2);
    test::setClipboardText(c.pasted);
    ctrlKey(*form, Qt::Key_V);
    EXPECT_EQ(form->RichTextBox1->plainText(), c.expected) << c.pasted.toStdString();
  }
}

TEST(PastePipelineTest, RichTextThatIsNotRtfPastesAsText) {
  auto form = shownForm(false);
  test::setClipboardRtf("this is not rtf", QStringLiteral("fallback text"));
  ctrlKey(*form, Qt::Key_V);
  EXPECT_EQ(form->RichTextBox1->plainText(), QStringLiteral("fallback text"));
  EXPECT_EQ(form->StatusCaption->text(), QStringLiteral("普通txt文本"));
}

TEST(ClipboardKeysTest, CopyAndCutOfferRtfThatPastesBackWithFonts) {
  auto source = shownForm(false);
  test::setClipboardText(kTibetan);
  ctrlKey(*source, Qt::Key_V);
  source->RichTextBox1->select(0, source->RichTextBox1->textLength());
  ctrlKey(*source, Qt::Key_C);
  const QMimeData* data = QApplication::clipboard()->mimeData();
  ASSERT_TRUE(data->hasFormat(QStringLiteral("text/rtf")));
  const QByteArray rtf = data->data(QStringLiteral("text/rtf"));
  EXPECT_TRUE(rtf.contains("Microsoft Himalaya"));
  EXPECT_TRUE(rtf.contains("\\u3926?") || rtf.contains("\\u3926 ")) << rtf.toStdString();
  EXPECT_TRUE(rtf.contains("\\af")) << "the complex-script font is named for other programs";
  EXPECT_EQ(data->text(), kTibetan);

  auto target = shownForm(false);
  ctrlKey(*target, Qt::Key_V);
  EXPECT_EQ(target->RichTextBox1->plainText(), kTibetan);
  EXPECT_EQ(fontAt(*target, 0), QStringLiteral("Microsoft Himalaya"));
  EXPECT_EQ(target->StatusCaption->text(), QStringLiteral("RTF格式文本"));

  source->RichTextBox1->select(0, 4);
  ctrlKey(*source, Qt::Key_X);
  EXPECT_EQ(source->RichTextBox1->plainText(), kTibetan.mid(4));
  EXPECT_EQ(QApplication::clipboard()->text(), kTibetan.left(4));
  EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("text/rtf")));
}

TEST(PastePipelineTest, LargeTibetanPasteArrivesWhole) {
  auto form = shownForm(false);
  QString text;
  while (text.size() < 100000) text += kTibetan + QStringLiteral("\n");
  test::setClipboardText(text);
  ctrlKey(*form, Qt::Key_V);
  EXPECT_EQ(form->StatusCaption->text(), QStringLiteral("Unicode文本"));
  EXPECT_EQ(form->RichTextBox1->plainText(), normalisedLineEnds(text));
  EXPECT_EQ(form->Picture2->chosenSource(), kHimaSource);
}

TEST(ClipboardKeysTest, OtherKeysReachTheEditor) {
  auto form = shownForm(false);
  QTest::keyClicks(form->RichTextBox1, QStringLiteral("abc"));
  QTest::keyClick(form->RichTextBox1, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(form->RichTextBox1->selLength(), 3);
  QTest::keyClick(form->RichTextBox1, Qt::Key_Delete);
  EXPECT_EQ(form->RichTextBox1->textLength(), 0);
  QTest::keyClick(form->RichTextBox1, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(form->RichTextBox1->plainText(), QStringLiteral("abc"));
}

// --- main menu ------------------------------------------------------------------------

class DocumentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    form = shownForm(false);
    docs().chooseOpenPath = [this]() -> std::optional<QString> {
      ++openDialogs;
      return openAnswer;
    };
    docs().chooseSavePath = [this]() -> std::optional<SaveChoice> {
      ++saveDialogs;
      return saveAnswer;
    };
  }
  DocumentCommands& docs() { return form->interactions()->documents(); }
  QString path(const QString& name) const { return dir.filePath(name); }
  QString writeRtf(const QString& name, const QByteArray& rtf) {
    QFile f(path(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(rtf);
    return path(name);
  }
  void typeChange() {
    QTest::keyClicks(form->RichTextBox1, QStringLiteral("changed"));
    ASSERT_TRUE(form->ModifiedFlag);
  }
  void menu(int entry) {
    form->interactions()->runMainMenuEntry(entry);
    settle();
  }

  QTemporaryDir dir;
  std::unique_ptr<MainForm> form;
  std::optional<QString> openAnswer;
  std::optional<SaveChoice> saveAnswer;
  int openDialogs = 0, saveDialogs = 0;
};

TEST_F(DocumentsTest, ConvertWithAnEmptyEditorOpensADocument) {
  openAnswer = writeRtf(QStringLiteral("a.rtf"), "{\\rtf1{\\fonttbl{\\f0 Microsoft Himalaya;}}\\f0 \\u3904?\\par}");
  menu(MainMenu::Convert);
  EXPECT_EQ(openDialogs, 1);
  EXPECT_FALSE(form->Picture2->isVisible());
  EXPECT_EQ(form->RichTextBox1->plainText(), QStringLiteral("ཀ"));
  EXPECT_FALSE(form->ModifiedFlag);
  EXPECT_EQ(form->StatusCaption->text(), QStringLiteral("RTF格式文件"));

  // With text the panel opens, and the selection is recorded.
  form->RichTextBox1->select(0, 1);
  menu(MainMenu::Convert);
  EXPECT_EQ(openDialogs, 1);
  EXPECT_TRUE(form->Picture2->isVisible());
  EXPECT_TRUE(form->SelectionOnlyFlag);
}

TEST_F(DocumentsTest, PreambleResetsProgressAndKeepsTheClipboard) {
  test::setClipboardText(QStringLiteral("x"));
  form->ProgressBar1->setValue(50);
  form->ProgressBar1->show();
  form->Label19->setText(QStringLiteral("1.5s"));
  menu(MainMenu::About);
  EXPECT_EQ(readClipboard().text.value_or(QString()), QStringLiteral("x")) << "another program's text stays on the clipboard";
  EXPECT_EQ(form->ProgressBar1->value(), 0);
  EXPECT_FALSE(form->ProgressBar1->isVisible());
  EXPECT_TRUE(form->Label19->text().isEmpty());
  EXPECT_EQ(form->Picture2->sourceHeading()->font().family(), form->Picture2->targetHeading()->font().family());
}

TEST_F(DocumentsTest, ExitWithoutChangesClosesAtOnce) {
  menu(MainMenu::Exit);
  EXPECT_TRUE(form->interactions()->shutDownDone());
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->interactions()->exitPrompt(), nullptr);
  EXPECT_EQ(form->language().messageMap().size(), 0u);
}

TEST_F(DocumentsTest, ExitPromptButtons) {
  struct Case {
    const char* name;
    int button;
    bool saveSucceeds;   // the save dialog gives a writable name
    bool saveCancelled;  // the save dialog is cancelled
    bool closed;
    bool fileWritten;
  };
  const Case cases[] = {
      {"yes, saved", ExitPrompt::Yes, true, false, true, true},
      {"yes, save cancelled", ExitPrompt::Yes, false, true, false, false},
      {"yes, save failed", ExitPrompt::Yes, false, false, false, false},
      {"no", ExitPrompt::No, false, false, true, false},
      {"cancel", ExitPrompt::Cancel, false, false, false, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    form = shownForm(false);
    SetUp();
    const QString target = path(QStringLiteral("exit%1.rtf").arg(++n));
    if (c.saveSucceeds)
      saveAnswer = SaveChoice{target, 2};
    else if (c.saveCancelled)
      saveAnswer = std::nullopt;
    else
      saveAnswer = SaveChoice{path(QStringLiteral("missing/folder/x.rtf")), 2};
    typeChange();
    menu(MainMenu::Exit);
    ExitPrompt* prompt = form->interactions()->exitPrompt();
    ASSERT_NE(prompt, nullptr) << c.name;
    EXPECT_TRUE(prompt->isVisible());
    EXPECT_TRUE(form->isVisible()) << c.name << ": the prompt does not close the program";
    click(prompt->button(c.button));
    EXPECT_EQ(form->interactions()->exitPrompt(), nullptr) << c.name << ": the prompt is gone";
    EXPECT_EQ(!form->isVisible(), c.closed) << c.name;
    EXPECT_EQ(QFile::exists(target), c.fileWritten) << c.name;
    if (!c.closed) {
      EXPECT_TRUE(form->ModifiedFlag) << c.name;
      EXPECT_TRUE(form->RichTextBox1->plainText().contains(QStringLiteral("changed"))) << c.name;
    }
  }
}

TEST_F(DocumentsTest, OpenPromptYesClearsTheFlagOnlyAfterASave) {
  typeChange();
  saveAnswer = std::nullopt;  // the save dialog is cancelled
  menu(MainMenu::Open);
  ASSERT_NE(form->interactions()->openPrompt(), nullptr);
  click(form->interactions()->openPrompt()->button(OpenPrompt::Yes));
  EXPECT_EQ(saveDialogs, 1);
  EXPECT_EQ(openDialogs, 0) << "no open dialog follows";
  EXPECT_TRUE(form->ModifiedFlag) << "nothing was saved";

  // So a later exit still asks.
  menu(MainMenu::Exit);
  EXPECT_NE(form->interactions()->exitPrompt(), nullptr);
  click(form->interactions()->exitPrompt()->button(ExitPrompt::Cancel));

  saveAnswer = SaveChoice{path(QStringLiteral("kept.rtf")), 2};
  menu(MainMenu::Open);
  click(form->interactions()->openPrompt()->button(OpenPrompt::Yes));
  EXPECT_TRUE(QFile::exists(path(QStringLiteral("kept.rtf"))));
  EXPECT_FALSE(form->ModifiedFlag);
  EXPECT_EQ(openDialogs, 0);
  EXPECT_TRUE(form->RichTextBox1->plainText().contains(QStringLiteral("changed"))) << "the document stays open";
}

TEST_F(DocumentsTest, OpenPromptNoOpensAtOnce) {
  typeChange();
  openAnswer = writeRtf(QStringLiteral("b.rtf"), "{\\rtf1 other\\par}");
  menu(MainMenu::Open);
  click(form->interactions()->openPrompt()->button(OpenPrompt::No));
  EXPECT_EQ(saveDialogs, 0);
  EXPECT_EQ(openDialogs, 1);
  EXPECT_EQ(form->RichTextBox1->plainText(), QStringLiteral("other"));
  EXPECT_FALSE(form->ModifiedFlag);
}

TEST_F(DocumentsTest, OpenPromptNoThenCancelledDialogKeepsTheChanges) {
  typeChange();
  openAnswer = std::nullopt;
  menu(MainMenu::Open);
  click(form->interactions()->openPrompt()->button(OpenPrompt::No));
  EXPECT_EQ(openDialogs, 1);
  EXPECT_TRUE(form->RichTextBox1->plainText().contains(QStringLiteral("changed")));
  EXPECT_TRUE(form->ModifiedFlag) << "the changed document is still there, unsaved";
}

TEST_F(DocumentsTest, WindowSystemCloseAsksFirst) {
  typeChange();
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isVisible());
  ASSERT_NE(form->interactions()->exitPrompt(), nullptr);
  click(form->interactions()->exitPrompt()->button(ExitPrompt::Cancel));
  EXPECT_TRUE(form->isVisible());
  // The title bar's close button takes the same way.
  click(form->TitleButtons[2]);
  ASSERT_NE(form->interactions()->exitPrompt(), nullptr);
  click(form->interactions()->exitPrompt()->button(ExitPrompt::No));
  EXPECT_FALSE(form->isVisible());
}

TEST_F(DocumentsTest, SortFromTheMenuSortsOnlyTheSelection) {
  const QString head = QStringLiteral("head line\n");
  const QString lines = QStringLiteral("ཁ\nཀ\nག");
  const QString tail = QStringLiteral("\ntail line");
  test::setClipboardText(head + lines + tail);
  ctrlKey(*form, Qt::Key_V);
  const int start = static_cast<int>(head.size());
  form->RichTextBox1->select(start, static_cast<int>(lines.size()));
  menu(MainMenu::Sort);
  EXPECT_TRUE(form->SelectionOnlyFlag);
  const QString text = form->RichTextBox1->plainText();
  EXPECT_TRUE(text.startsWith(QStringLiteral("head line\r\nཀ\r\nཁ\r\nག"))) << text.toStdString();
  EXPECT_TRUE(text.endsWith(QStringLiteral("tail line"))) << text.toStdString();
}

TEST_F(DocumentsTest, ProofFileOpensThroughThePrompt) {
  // A proof file: GBK text with the 80 86 signature and a bracketed command.
  QByteArray bytes("\x80\x86\xb0\xa1\xa1\xbc" "CMD" "\xa1\xbd\xb0\xa2", 13);
  QFile f(path(QStringLiteral("proof.txt")));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
  f.close();
  openAnswer = path(QStringLiteral("proof.txt"));
  ProofPrompt* prompt = form->interactions()->proofPrompt();
  bool seen = false;
  test::whenVisible(prompt, [&] {
    seen = true;
    EXPECT_TRUE(prompt->Option4->isChecked());
    click(prompt->Label23);
  });
  menu(MainMenu::Open);
  EXPECT_TRUE(seen);
  EXPECT_FALSE(prompt->isVisible());
  EXPECT_EQ(form->RichTextBox1->plainText(), QStringLiteral("啊阿"));
  EXPECT_TRUE(form->StatusCaption->text().contains(QStringLiteral("小样文件已经转换为txt纯文本")));
}

TEST_F(DocumentsTest, ProofPromptChoices) {
  ProofPrompt* prompt = form->interactions()->proofPrompt();
  struct Case {
    const char* name;
    ClickableLabel* choice;
    ClickableLabel* button;
    docs::ProofChoice answer;
  };
  const Case cases[] = {
      {"keep", prompt->Label5, prompt->Label23, docs::ProofChoice::KeepCommands},
      {"drop", prompt->Label22, prompt->Label23, docs::ProofChoice::DropCommands},
      {"cancel", prompt->Label5, prompt->Label24, docs::ProofChoice::Cancel},
  };
  for (const Case& c : cases) {
    test::whenVisible(prompt, [&] {
      click(c.choice);
      click(c.button);
    });
    EXPECT_EQ(prompt->ask(), c.answer) << c.name;
  }
  // Esc in the editor answers "取消".
  test::whenVisible(prompt, [&] { QTest::keyClick(form->RichTextBox1, Qt::Key_Escape); });
  EXPECT_EQ(prompt->ask(), docs::ProofChoice::Cancel) << "Esc";
}

TEST_F(DocumentsTest, HelpAndFontDownloadOpenTheirPages) {
  QList<QUrl> opened;
  form->interactions()->openUrl = [&](const QUrl& url) {
    opened << url;
    return true;
  };
  menu(MainMenu::FontDownload);
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://github.com/yigsgyur/yigsgyur/wiki/Fonts")));
  opened.clear();
  // The guide opens inside the program, whether or not a browser would start.
  menu(MainMenu::Help);
  EXPECT_TRUE(opened.isEmpty());
  QTextBrowser* help = form->interactions()->helpWindow();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_TRUE(help->source().toLocalFile().endsWith(QStringLiteral("index.html")));
  EXPECT_FALSE(help->toPlainText().isEmpty());
}

// --- prompts' look ---------------------------------------------------------------------

TEST(SavePromptTest, LanguageRuleTopmostAndCaptions) {
  for (bool tibetan : {false, true}) {
    auto form = shownForm(tibetan);
    ExitPrompt* exit = form->interactions()->ShowExitPrompt();
    OpenPrompt* open = form->interactions()->ShowOpenPrompt();
    EXPECT_EQ(exit->buttonCount(), 3);
    EXPECT_EQ(open->buttonCount(), 2);
    for (SavePrompt* prompt : {static_cast<SavePrompt*>(exit), static_cast<SavePrompt*>(open)}) {
      EXPECT_TRUE(prompt->windowFlags() & Qt::WindowStaysOnTopHint);
      EXPECT_TRUE(prompt->windowFlags() & Qt::FramelessWindowHint);
      const QString yes = prompt->button(0)->text();
      const QString message = prompt->messageLabel()->text();
      if (tibetan) {
        EXPECT_EQ(yes, form->language().messageValue(QStringLiteral("是")));
        EXPECT_NE(message, QStringLiteral("原文本已经修改，保存吗？"));
        EXPECT_EQ(prompt->button(0)->font().pointSizeF() > 12, true);
      } else {
        EXPECT_EQ(yes, QStringLiteral("是"));
        EXPECT_EQ(prompt->button(1)->text(), QStringLiteral("否"));
        EXPECT_EQ(message, QStringLiteral("原文本已经修改，保存吗？"));
      }
    }
    if (!tibetan) {
      EXPECT_EQ(exit->button(2)->text(), QStringLiteral("取消"));
    }
    exit->close();
    open->close();
    settle();
  }
}

// --- palette, title bar -----------------------------------------------------------------

TEST(PaletteTest, ReleaseTakesThePixelColourForTheSelection) {
  auto form = shownForm(false);
  form->RichTextBox1->setPlainText(QStringLiteral("colour me"));
  form->RichTextBox1->select(0, 6);
  EditorInteractions* in = form->interactions();
  click(in->paletteButton());
  ColorPalette* palette = in->colorPalette();
  ASSERT_TRUE(palette->isVisible());
  const QPoint at(60, 40);
  const QColor expected = palette->colorAt(at);
  EXPECT_NE(expected, palette->colorAt(QPoint(200, 40))) << "the picture has more than one colour";
  QTest::mouseClick(palette, Qt::LeftButton, {}, at);
  settle();
  EXPECT_FALSE(palette->isVisible());
  const QTextCharFormat f = form->RichTextBox1->textCursor().charFormat();
  EXPECT_EQ(f.foreground().color(), expected);
  EXPECT_EQ(form->RichTextBox1->model().formatAt(0).color,
            (rt::Color{static_cast<std::uint8_t>(expected.red()), static_cast<std::uint8_t>(expected.green()),
                       static_cast<std::uint8_t>(expected.blue())}));
}

TEST(TitleBarTest, MaximizeTwiceReturnsToTheLoadRectangle) {
  auto form = shownForm(false);
  const QRect load = form->LoadRect;
  form->setGeometry(load.translated(30, 20).adjusted(0, 0, -100, -50));
  settle();
  click(form->TitleButtons[1]);
  EXPECT_TRUE(form->MaximizedFlag);
  EXPECT_NE(form->geometry(), load);
  click(form->TitleButtons[1]);
  EXPECT_FALSE(form->MaximizedFlag);
  EXPECT_EQ(form->geometry(), load);
}

}  // namespace
}  // namespace yig::ui
