// The package a Word or OpenDocument file came with: converting the whole
// document in the window converts it in its own XML, and saving writes it
// while the editor holds that document; an edited document is saved through
// LibreOffice and the status line says so.
#include <map>
#include <string_view>

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

// What LibreOffice reads in a file: how many tables, pictures, notes,
// headers, footers and lists, the page's size and margins, and the Tibetan
// letters of its text in order.
struct OfficeReading {
  std::map<std::string, int> parts;
  std::string page;
  std::u16string tibetan;
};

OfficeReading readByOffice(const std::string& path) {
  const docs::OfficeResult flat = docs::convertWithOffice(path, "fodt", "fodt");
  EXPECT_TRUE(flat.ok()) << path << ": " << flat.error;
  OfficeReading reading;
  for (const char* part : {"<table:table ", "<draw:image", "<text:note ", "<style:header>", "<style:footer>",
                           "<text:list "}) {
    for (std::size_t at = flat.bytes.find(part); at != std::string::npos; at = flat.bytes.find(part, at + 1))
      ++reading.parts[part];
  }
  const std::size_t layout = flat.bytes.find("<style:page-layout-properties");
  if (layout != std::string::npos) {
    const std::string properties = flat.bytes.substr(layout, flat.bytes.find('>', layout) - layout);
    for (const char* name : {"fo:page-width=", "fo:page-height=", "fo:margin-left=", "fo:margin-top="}) {
      const std::size_t at = properties.find(name);
      if (at != std::string::npos) reading.page += properties.substr(at, properties.find(' ', at) - at) + " ";
    }
  }
  for (const QChar c : QString::fromStdString(flat.bytes)) {
    if (c.unicode() >= 0x0F40 && c.unicode() <= 0x0FBC) reading.tibetan += c.unicode();
  }
  return reading;
}

// Opened in the window (RTF, .docx, .doc, .odt), converted HIMA→BZD or not,
// and saved as RTF and as .docx: LibreOffice reads every table, picture,
// footnote, header, footer, list and the page setup of the original in the
// saved file; converted, the Tibetan of all of them is converted; not
// converted, the same letters come back.
TEST_F(KeptPackageTest, WholeDocumentsComeBackFromTheWindow) {
  for (const char* input : {"word-hima.rtf", "lo-hima.docx", "lo-hima.doc", "lo-hima.odt"}) {
    SCOPED_TRACE(input);
    const OfficeReading original = readByOffice(dataFile(input));
    ASSERT_EQ(original.parts.size(), 6u) << "the document has every kind of part";
    ASSERT_GT(original.tibetan.size(), 40u);
    for (const bool convert : {false, true}) {
      ASSERT_TRUE(open(input));
      if (convert) convertHimaToBzd();
      for (const char* ending : {".rtf", ".docx"}) {
        SCOPED_TRACE(std::string(convert ? "converted, saved as " : "saved as ") + ending);
        const QString out = dir.filePath(QStringLiteral("out") + QString::fromUtf8(ending));
        ASSERT_TRUE(documents().saveTo(out, 1));
        OfficeReading saved = readByOffice(out.toStdString());
        // LibreOffice writes the outline numbering of a .doc's heading as a list of its own.
        EXPECT_GE(saved.parts["<text:list "], original.parts.at("<text:list "));
        saved.parts["<text:list "] = original.parts.at("<text:list ");
        EXPECT_EQ(saved.parts, original.parts);
        EXPECT_EQ(saved.page, original.page);
        if (convert) {
          // What stays is at most the link's text of a Word or OpenDocument file:
          // LibreOffice's RTF of it names Times New Roman where the file had the
          // Tibetan font in the link's complex-script slot only.
          EXPECT_LE(saved.tibetan.size(), std::string_view(input).ends_with(".rtf") ? 0u : 6u);
        } else {
          EXPECT_TRUE(saved.tibetan == original.tibetan);
        }
      }
    }
  }
}

}  // namespace
}  // namespace yig::ui
