// A person's session from start to end, scripted: the about window first, the
// main window after it, Tibetan pasted, converted to BZD and back, sorted,
// saved as .docx and opened again, and the program left. Every step leaves a
// picture under <build>/screenshots/session-*.png. The session also checks
// that what the editor copies reaches LibreOffice with its Tibetan text.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "documents/office_bridge.h"
#include "tests/ui/interactions_support.h"
#include "tests/ui/session_support.h"
#include "ui/about_window.h"
#include "ui/clickable_label.h"
#include "ui/clipboard_bridge.h"
#include "ui/color_palette.h"
#include "ui/context_menu.h"
#include "ui/convert_panel.h"
#include "ui/document_commands.h"
#include "ui/info_box.h"
#include "ui/main_menu.h"
#include "ui/proof_prompt.h"
#include "ui/save_prompts.h"

namespace yig::ui {
namespace {

using test::ctrlKey;
using test::saveSessionPicture;
using test::settle;

const QString kLines = QStringLiteral("བཀྲ་ཤིས་བདེ་ལེགས།\nཆོས་ཀྱི་རྒྱལ་པོ།\nསངས་རྒྱས།\nདགེ་འདུན།\nཀ་ཁ་ག་ང་།");

constexpr int kSourceBzd = 0, kSourceHima = 4, kTargetBzd = 10, kTargetHima = 14;

void click(QWidget* widget) {
  ASSERT_NE(widget, nullptr);
  ASSERT_TRUE(widget->isVisible());
  QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
  settle();
}

void closeInfoBox(MainForm& form) {
  if (InfoBox* box = form.infoBox()) click(box->confirmButton());
  settle();
}

QString editorText(MainForm& form) { return form.RichTextBox1->plainText(); }

void convert(MainForm& form, int source, int target) {
  form.interactions()->runMainMenuEntry(MainMenu::Convert);
  settle();
  ASSERT_TRUE(form.Picture2->isVisible());
  click(form.Picture2->label(source));
  click(form.Picture2->label(target));
  click(form.Picture2->convertButton());
  settle();
}

TEST(session, StartPasteConvertSortSaveReopenExit) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // The start as the program makes it: the about window, the main window hidden.
  MainForm form;
  form.ShowAbout();
  settle();
  AboutWindow* about = form.aboutWindow();
  ASSERT_TRUE(about->isVisible());
  EXPECT_FALSE(form.isVisible());
  saveSessionPicture(&form, QStringLiteral("01-start"));

  click(about->closeButton());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form, 30000));
  EXPECT_FALSE(about->isVisible());
  EXPECT_TRUE(form.language().tibetan()) << "the program starts in Tibetan";
  saveSessionPicture(&form, QStringLiteral("02-main-window"));

  // Paste Tibetan text copied elsewhere.
  test::setClipboardText(kLines);
  form.RichTextBox1->setFocus();
  ctrlKey(form, Qt::Key_V);
  const QString pasted = kLines;
  EXPECT_EQ(editorText(form), QString(pasted).replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
  EXPECT_EQ(form.StatusCaption->text(), form.language().translateForDisplay(QStringLiteral("Unicode文本")));
  EXPECT_EQ(form.Picture2->chosenSource(), kSourceHima);
  saveSessionPicture(&form, QStringLiteral("03-pasted"));
  const QString original = editorText(form);

  // To BZD and back.
  form.interactions()->runMainMenuEntry(MainMenu::Convert);
  settle();
  saveSessionPicture(&form, QStringLiteral("04-convert-panel"));
  click(form.Picture2->label(kTargetBzd));
  click(form.Picture2->convertButton());
  closeInfoBox(form);
  EXPECT_NE(editorText(form), original);
  EXPECT_EQ(form.RichTextBox1->fontNameAtCaret(1), QStringLiteral("BZDBT"));
  saveSessionPicture(&form, QStringLiteral("05-converted-to-bzd"));

  convert(form, kSourceBzd, kTargetHima);
  closeInfoBox(form);
  EXPECT_EQ(editorText(form), original);
  saveSessionPicture(&form, QStringLiteral("06-converted-back"));

  // Sort the whole text.
  form.RichTextBox1->select(0, 0);
  form.interactions()->runMainMenuEntry(MainMenu::Sort);
  settle();
  saveSessionPicture(&form, QStringLiteral("07-sorted"));
  closeInfoBox(form);
  const QString sorted = editorText(form);
  EXPECT_TRUE(sorted.startsWith(QStringLiteral("ཀ་ཁ་ག་ང་།\r\n"))) << sorted.toStdString();
  for (const QString& line : kLines.split(QChar(u'\n'))) EXPECT_TRUE(sorted.contains(line)) << line.toStdString();

  // Copy it as another program would receive it, and let LibreOffice read it.
  form.RichTextBox1->select(0, form.RichTextBox1->textLength());
  ctrlKey(form, Qt::Key_C);
  const QByteArray clipboardRtf = QApplication::clipboard()->mimeData()->data(QStringLiteral("text/rtf"));
  ASSERT_FALSE(clipboardRtf.isEmpty());
  {
    QFile f(dir.filePath(QStringLiteral("clipboard.rtf")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(clipboardRtf);
  }
  const bool office = docs::findOffice().has_value();
  if (office) {
    const docs::OfficeResult text = docs::convertWithOffice(dir.filePath(QStringLiteral("clipboard.rtf")).toStdString(),
                                                            "txt:Text (encoded):UTF8", "txt");
    ASSERT_TRUE(text.ok()) << text.error;
    QString received = QString::fromUtf8(text.bytes.data(), static_cast<qsizetype>(text.bytes.size()));
    received.remove(QChar(0xFEFF));
    received.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QString& line : kLines.split(QChar(u'\n')))
      EXPECT_TRUE(received.contains(line)) << "LibreOffice lost " << line.toStdString();
    const docs::OfficeResult flat = docs::convertWithOffice(dir.filePath(QStringLiteral("clipboard.rtf")).toStdString(),
                                                            "fodt", "fodt");
    ASSERT_TRUE(flat.ok()) << flat.error;
    EXPECT_NE(flat.bytes.find("Microsoft Himalaya"), std::string::npos) << "the Tibetan font name reaches LibreOffice";
  } else {
    std::cout << "LibreOffice (soffice) is not installed: the paste into LibreOffice is not checked\n";
  }

  // Save as .docx and open it again.
  DocumentCommands& docs = form.interactions()->documents();
  const QString docx = dir.filePath(QStringLiteral("session.docx"));
  docs.chooseSavePath = [&]() -> std::optional<SaveChoice> { return SaveChoice{docx, 1}; };
  docs.chooseOpenPath = [&]() -> std::optional<QString> { return docx; };
  if (!office) {
    std::cout << "LibreOffice (soffice) is not installed: saving and reopening .docx is skipped\n";
  } else {
    form.interactions()->runMainMenuEntry(MainMenu::Save);
    settle();
    closeInfoBox(form);
    ASSERT_TRUE(QFile::exists(docx));
    saveSessionPicture(&form, QStringLiteral("08-saved-docx"));
    // Saving leaves the flag set: opening asks first; "否" opens at once.
    ASSERT_TRUE(form.ModifiedFlag);
    form.interactions()->runMainMenuEntry(MainMenu::Open);
    settle();
    ASSERT_NE(form.interactions()->openPrompt(), nullptr);
    saveSessionPicture(&form, QStringLiteral("09-open-prompt"));
    click(form.interactions()->openPrompt()->button(OpenPrompt::No));
    settle();
    QString reopened = editorText(form);
    while (reopened.endsWith(QStringLiteral("\r\n"))) reopened.chop(2);
    QString expected = sorted;
    while (expected.endsWith(QStringLiteral("\r\n"))) expected.chop(2);
    EXPECT_EQ(reopened, expected);
    EXPECT_FALSE(form.ModifiedFlag);
    EXPECT_EQ(form.StatusCaption->text(), form.language().translateForDisplay(QStringLiteral("DOC文件")));
    saveSessionPicture(&form, QStringLiteral("10-reopened"));
  }

  // Leave: changed text asks first; "否" ends without saving.
  QTest::keyClicks(form.RichTextBox1, QStringLiteral("x"));
  form.interactions()->runMainMenuEntry(MainMenu::Exit);
  settle();
  ASSERT_NE(form.interactions()->exitPrompt(), nullptr);
  saveSessionPicture(&form, QStringLiteral("11-exit-prompt"));
  click(form.interactions()->exitPrompt()->button(ExitPrompt::No));
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(form.interactions()->shutDownDone());
}

// Pictures of the menus and panels of the editor, in the Chinese interface.
TEST(session, PicturesOfMenusAndPanels) {
  auto form = test::shownForm(false);
  test::setClipboardText(kLines);
  ctrlKey(*form, Qt::Key_V);
  form->RichTextBox1->select(0, 4);
  form->interactions()->showContextMenu(QPoint(120, 170));
  form->interactions()->contextMenu()->hoverEntry(ContextMenu::Copy);
  form->interactions()->mainMenu()->entry(MainMenu::Convert)->setHovered(true);
  saveSessionPicture(form.get(), QStringLiteral("zh-context-menu"));
  form->interactions()->contextMenu()->dismiss();
  form->interactions()->mainMenu()->entry(MainMenu::Convert)->setHovered(false);
  click(form->interactions()->paletteButton());
  saveSessionPicture(form.get(), QStringLiteral("zh-palette"));
  form->interactions()->colorPalette()->hide();
  ProofPrompt* prompt = form->interactions()->proofPrompt();
  test::whenVisible(prompt, [&] {
    saveSessionPicture(form.get(), QStringLiteral("zh-proof-prompt"));
    click(prompt->Label24);
  });
  EXPECT_EQ(prompt->ask(), docs::ProofChoice::Cancel);

  // The same menus in the Tibetan interface.
  form->setInterfaceLanguage(true);
  settle();
  form->interactions()->showContextMenu(QPoint(120, 170));
  form->interactions()->contextMenu()->hoverEntry(ContextMenu::Paste);
  saveSessionPicture(form.get(), QStringLiteral("bo-context-menu"));
  const QRect menu = form->interactions()->contextMenu()->geometry();
  EXPECT_TRUE(form->rect().contains(menu));
  for (int i = 0; i < ContextMenu::kEntryCount; ++i) {
    ClickableLabel* entry = form->interactions()->contextMenu()->entry(i);
    EXPECT_GE(entry->width(), entry->sizeHint().width()) << "entry " << i << " is cut off";
  }
}

}  // namespace
}  // namespace yig::ui
