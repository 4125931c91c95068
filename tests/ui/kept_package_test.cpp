// The package a Word or OpenDocument file came with: converting the whole
// document in the window converts it in its own XML, and saving writes it
// while the editor holds that document; an edited document is saved through
// LibreOffice and the status line says so.
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextCursor>
#include <gtest/gtest.h>

#include "documents/docx_zip.h"
#include "documents/file_io.h"
#include "documents/office_bridge.h"
#include "documents/package_route.h"
#include "gui_test_support.h"
#include "ui/convert_panel.h"
#include "ui/document_commands.h"
#include "ui/editor_interactions.h"

namespace yig::ui {
namespace {

using test::click;

std::string dataFile(const char* name) { return std::string(YIG_TEST_DATA_DIR) + "/documents/" + name; }

std::string fileBytes(const QString& path) { return docs::readWholeFile(path.toStdString()).bytes; }

class KeptPackageTest : public test::MainFormTest {
 protected:
  void SetUp() override {
    test::MainFormTest::SetUp();
    if (!docs::findOffice()) GTEST_SKIP() << "LibreOffice (soffice) is not installed: the window opens Word files through it";
    form->setInterfaceLanguage(false);
    ASSERT_TRUE(dir.isValid());
  }
  DocumentCommands& documents() { return form->interactions()->documents(); }
  bool open(const char* name) { return documents().openPath(QString::fromStdString(dataFile(name))); }
  void convertHimaToBzd() {
    form->openConvertPanel();
    click(form->Picture2->label(4));
    click(form->Picture2->label(10));
    click(form->Picture2->convertButton());
    EXPECT_TRUE(shownMessage().isEmpty()) << shownMessage().toStdString();
  }
  QString status() const { return form->StatusCaption->text(); }

  QTemporaryDir dir;
};

// Every entry of `saved` but the converted text parts and the font table
// (which declares the target fonts) unpacks as in `original`.
void expectOtherEntriesKept(const std::string& original, const std::string& saved,
                            const std::vector<std::string>& changed) {
  std::string error;
  const auto before = docs::zip::Package::open(original, error);
  const auto after = docs::zip::Package::open(saved, error);
  ASSERT_TRUE(before && after) << error;
  ASSERT_EQ(after->size(), before->size());
  for (std::size_t i = 0; i < before->size(); ++i) {
    const std::string& name = before->name(i);
    if (std::find(changed.begin(), changed.end(), name) != changed.end() || name == "word/fontTable.xml") continue;
    std::string a, b;
    ASSERT_TRUE(before->read(i, a, error) && after->read(*after->find(name), b, error)) << name << error;
    EXPECT_TRUE(a == b) << name << " changed";
  }
}

TEST_F(KeptPackageTest, ConvertedDocumentIsSavedAsTheNativeConversion) {
  const struct {
    const char* input;
    const char* output;
  } cases[] = {{"lo-hima.docx", "converted.docx"}, {"lo-hima.odt", "converted.odt"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    ASSERT_TRUE(open(c.input));
    ASSERT_TRUE(documents().keptPackage());
    convertHimaToBzd();
    const QString out = dir.filePath(QString::fromUtf8(c.output));
    ASSERT_TRUE(documents().saveTo(out, 1));
    EXPECT_EQ(status(), QStringLiteral("已保存为：") + QString::fromUtf8(c.output));
    // The CLI's conversion of the same file.
    const docs::PackageConversion expected =
        docs::convertPackageFile(dataFile(c.input), out.toStdString(), Encoding::HIMA, Encoding::BZD, {});
    ASSERT_TRUE(expected.ok()) << expected.error;
    ASSERT_FALSE(expected.outcome.changedParts.empty());
    const std::string saved = fileBytes(out);
    EXPECT_TRUE(saved == expected.bytes) << "the saved package differs from the CLI's";
    expectOtherEntriesKept(docs::readWholeFile(dataFile(c.input)).bytes, saved, expected.outcome.changedParts);
  }
}

TEST_F(KeptPackageTest, EditedDocumentIsSavedThroughLibreOfficeAndSaysSo) {
  ASSERT_TRUE(open("lo-hima.docx"));
  convertHimaToBzd();
  QTextCursor cursor(form->RichTextBox1->document());
  cursor.insertText(QStringLiteral("x"));
  const QString out = dir.filePath(QStringLiteral("edited.docx"));
  ASSERT_TRUE(documents().saveTo(out, 1));
  EXPECT_EQ(status(), QStringLiteral("文档已修改，经LibreOffice保存为：edited.docx"));
  form->setInterfaceLanguage(true);
  EXPECT_NE(form->language().translateForDisplay(QStringLiteral("文档已修改，经LibreOffice保存为：")),
            QStringLiteral("文档已修改，经LibreOffice保存为："))
      << "the Tibetan interface has the message";
  const std::string saved = fileBytes(out);
  const docs::PackageConversion native =
      docs::convertPackageFile(dataFile("lo-hima.docx"), out.toStdString(), Encoding::HIMA, Encoding::BZD, {});
  EXPECT_TRUE(saved.starts_with("PK"));
  EXPECT_FALSE(saved == native.bytes);
}

TEST_F(KeptPackageTest, FollowsOnlyTheDocumentItCameWith) {
  // Saved unchanged: the file as it was.
  ASSERT_TRUE(open("lo-hima.docx"));
  const QString same = dir.filePath(QStringLiteral("same.docx"));
  ASSERT_TRUE(documents().saveTo(same, 1));
  EXPECT_TRUE(fileBytes(same) == docs::readWholeFile(dataFile("lo-hima.docx")).bytes);

  // A conversion of a selection leaves the package behind.
  form->RichTextBox1->select(0, 20);
  convertHimaToBzd();
  ASSERT_TRUE(documents().keptPackage());
  EXPECT_FALSE(docs::inStep(*documents().keptPackage(), form->RichTextBox1->model()));
  form->RichTextBox1->undoStep();
  EXPECT_TRUE(docs::inStep(*documents().keptPackage(), form->RichTextBox1->model()))
      << "undo gives back the document that came with the package";

  // Another document takes its place.
  ASSERT_TRUE(open("lo-hima.rtf"));
  EXPECT_FALSE(documents().keptPackage());
}

}  // namespace
}  // namespace yig::ui
