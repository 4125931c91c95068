// Notes, headers and footers edited through their dialogs (their functions,
// no modal loop): the new text inside the group, the rest of the document
// byte for byte as before, one undo step back to the document as it was.
#include <QListWidget>
#include <QTextCursor>
#include <fstream>
#include <sstream>

#include "gui_test_support.h"
#include "ui/context_menu.h"
#include "ui/editor_interactions.h"
#include "ui/part_editing.h"

namespace yig::ui {
namespace {

std::string corpusFile(const char* name) {
  std::ifstream in(std::string(YIG_TEST_DATA_DIR) + "/documents/" + name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class PartEditingTest : public test::MainFormTest {
 protected:
  // Opens `name` and makes the dialogs append `typed` at the end of what they edit.
  PartCommands& open(const char* name, const QString& typed) {
    form->RichTextBox1->setRtf(corpusFile(name));
    form->ModifiedFlag = false;
    PartCommands& parts = form->interactions()->parts();
    parts.runEditor = [this, typed](const QString& title, const std::string& rtf) -> std::optional<rt::Document> {
      ++dialogs;
      PartEditorDialog dialog(title, rtf, form->language());
      EXPECT_FALSE(dialog.changed());
      QTextCursor cursor = dialog.editor()->textCursor();
      cursor.movePosition(QTextCursor::End);
      dialog.editor()->setTextCursor(cursor);
      dialog.editor()->textCursor().insertText(typed);
      EXPECT_TRUE(dialog.changed());
      return dialog.editor()->model();
    };
    return parts;
  }

  // Only the bytes of one group changed between `before` and `after`, and the new group holds `expected`.
  static void expectOnlyGroupChanged(const std::string& before, const std::string& after, std::string_view group,
                                     const std::string& expected) {
    const std::size_t at = before.rfind(group);  // the body's copy: a style sheet may hold the same bytes
    ASSERT_NE(at, std::string::npos);
    const std::size_t size = group.size() + after.size() - before.size();  // the new group's
    EXPECT_EQ(after.substr(0, at), before.substr(0, at));
    EXPECT_EQ(after.substr(at + size), before.substr(at + group.size()));
    EXPECT_NE(after.substr(at, size).find(expected), std::string::npos);
  }

  int dialogs = 0;
};

TEST_F(PartEditingTest, NoteEditIsOneUndoStepAndChangesNothingElse) {
  PartCommands& parts = open("word-hima.rtf", QStringLiteral("\u0F40"));
  const std::string before = form->RichTextBox1->rtf();
  const rt::Document& model = form->RichTextBox1->model();
  std::optional<rt::PartRef> note;
  for (std::size_t u = 0; u < model.length() && !note; ++u) note = rt::noteAt(model, u);
  ASSERT_TRUE(note);
  const std::string group(rt::partBytes(model, *note));

  // The context menu offers the note's editor with the caret after its mark.
  form->RichTextBox1->select(static_cast<int>(note->unit) + 1, 0);
  form->interactions()->showContextMenu(QPoint(50, 150));
  EXPECT_TRUE(form->interactions()->contextMenu()->entry(ContextMenu::EditNote)->isEnabled());
  form->interactions()->contextMenu()->dismiss();

  // A double click on the mark opens the note's editor.
  form->RichTextBox1->select(static_cast<int>(note->unit), 0);
  const QRect caret = form->RichTextBox1->cursorRect();
  const QPoint onMark(caret.x() + 2, caret.center().y());
  EXPECT_EQ(form->RichTextBox1->objectUnitAt(onMark), static_cast<int>(note->unit));
  QTest::mouseDClick(form->RichTextBox1->viewport(), Qt::LeftButton, {}, onMark);
  ASSERT_EQ(dialogs, 1);
  EXPECT_TRUE(form->ModifiedFlag);
  expectOnlyGroupChanged(before, form->RichTextBox1->rtf(), group, "\\u3904?");

  form->RichTextBox1->undoStep();
  EXPECT_EQ(form->RichTextBox1->rtf(), before);

  // Cancel (or no change) leaves the document alone.
  parts.runEditor = [](const QString&, const std::string&) { return std::optional<rt::Document>(); };
  EXPECT_FALSE(parts.editNote(note->unit));
  EXPECT_EQ(form->RichTextBox1->rtf(), before);
}

TEST_F(PartEditingTest, HeaderEditedFromTheListAndNoneSaysSo) {
  PartCommands& parts = open("lo-hima.rtf", QStringLiteral("Z"));
  const std::string before = form->RichTextBox1->rtf();
  HeadersFootersDialog dialog(parts, *form->RichTextBox1, form->language());
  ASSERT_GE(dialog.list()->count(), 2);
  const std::vector<rt::PartRef> listed = rt::headersAndFooters(form->RichTextBox1->model());
  ASSERT_EQ(listed.front().kind, rt::PartKind::Header);
  EXPECT_TRUE(dialog.list()->item(0)->text().startsWith(partCaption(listed.front(), form->language())));
  const std::string group(rt::partBytes(form->RichTextBox1->model(), listed.front()));

  ASSERT_TRUE(dialog.editRow(0));
  expectOnlyGroupChanged(before, form->RichTextBox1->rtf(), group, "Z\\par }");
  EXPECT_TRUE(dialog.list()->item(0)->text().contains(QLatin1Char('Z')));
  form->RichTextBox1->undoStep();
  EXPECT_EQ(form->RichTextBox1->rtf(), before);

  form->RichTextBox1->setRtf("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0 plain\\par}");
  parts.headersAndFootersCommand();
  EXPECT_EQ(shownMessage(), form->language().translateForDisplay(QStringLiteral("文档中没有页眉或页脚。")));
  EXPECT_NE(shownMessage(), QStringLiteral("文档中没有页眉或页脚。"));  // the Tibetan interface has its own text
}

TEST(PartCaptionTest, SaysWhichSectionKindAndPages) {
  InterfaceLanguage chinese;
  chinese.setTibetan(false);
  const auto part = [](rt::PartKind kind, const char* word, int section, bool endnote) {
    rt::PartRef ref;
    ref.kind = kind;
    ref.word = word;
    ref.section = section;
    ref.endnote = endnote;
    return ref;
  };
  EXPECT_EQ(partCaption(part(rt::PartKind::Header, "header", 2, false), chinese), QStringLiteral("第2节 页眉"));
  EXPECT_EQ(partCaption(part(rt::PartKind::Footer, "footerf", 1, false), chinese), QStringLiteral("第1节 页脚（首页）"));
  EXPECT_EQ(partCaption(part(rt::PartKind::Header, "headerr", 1, false), chinese), QStringLiteral("第1节 页眉（右页）"));
  EXPECT_EQ(partCaption(part(rt::PartKind::Note, "footnote", 1, true), chinese), QStringLiteral("尾注"));
}

}  // namespace
}  // namespace yig::ui
