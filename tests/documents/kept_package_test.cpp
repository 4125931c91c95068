#include "documents/kept_package.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "documents/odt_convert.h"

namespace yig::docs {
namespace {

TEST(KeptPackage, IsSavedOnlyAsItsOwnKind) {
  const struct {
    const char* source;
    const char* saved;
    bool writes;
  } cases[] = {
      {"a.docx", "b.docx", true}, {"a.docx", "b.DOCM", true},  {"a.docx", "b.doc", true},
      {"a.dotx", "b.docx", true}, {"a.docx", "b.odt", false},  {"a.docx", "b.rtf", false},
      {"a.doc", "b.doc", true},   {"a.doc", "b.docx", true},   {"a.doc", "b.dotx", false},
      {"a.odt", "b.odt", true},   {"a.odt", "b.fodt", false},  {"a.odt", "b.docx", false},
      {"a.fodt", "b.fodt", true}, {"a.fodt", "b.odt", false},
  };
  for (const auto& c : cases) {
    KeptPackage package;
    package.source = c.source;
    package.kind = odt::isOdtName(c.source)    ? PackageKind::OpenDocument
                   : odt::isFodtName(c.source) ? PackageKind::FlatOpenDocument
                                               : PackageKind::Word;
    EXPECT_EQ(savesAs(package, c.saved), c.writes) << c.source << " as " << c.saved;
  }
}

TEST(KeptPackage, ARefusedNameWritesNothing) {
  KeptPackage package;
  package.source = "a.odt";
  package.kind = PackageKind::OpenDocument;
  package.bytes = "PK";
  const std::string path = (std::filesystem::temp_directory_path() / "kept-package-refused.docx").string();
  EXPECT_FALSE(saveKeptPackage(package, path).ok());
  EXPECT_FALSE(std::filesystem::exists(path));
}

// A .doc keeps the .docx LibreOffice made of it when it was opened: converting
// it and saving it as .docx need no second run. The kept .doc here is not a
// Word document at all, so anything that went to LibreOffice again would fail.
TEST(KeptPackage, ADocConvertsThePackageMadeWhenItWasOpened) {
  std::ifstream in(std::string(YIG_TEST_DATA_DIR) + "/documents/lo-hima.docx", std::ios::binary);
  const std::string docx{std::istreambuf_iterator<char>(in), {}};
  ASSERT_FALSE(docx.empty());
  KeptPackage package;
  package.source = "a.doc";
  package.binary = true;
  package.bytes = "not a Word document";
  package.made = docx;

  const std::string saved = (std::filesystem::temp_directory_path() / "kept-package-made.docx").string();
  ASSERT_TRUE(saveKeptPackage(package, saved).ok());
  {
    std::ifstream back(saved, std::ios::binary);  // closed before the removal: Windows refuses to remove an open file
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(back), {}), docx);
  }
  std::filesystem::remove(saved);

  std::string expected;
  ASSERT_TRUE(convertPackage(PackageKind::Word, docx, Encoding::HIMA, Encoding::BZD, {}, expected).ok());
  ASSERT_TRUE(convertKeptPackage(package, Encoding::HIMA, Encoding::BZD, {}).ok());
  EXPECT_EQ(package.bytes, expected);
  EXPECT_FALSE(package.binary);
  EXPECT_TRUE(package.made.empty());
}

TEST(KeptPackage, FingerprintFollowsEveryChangeAndNotTheSelection) {
  rt::Document document;
  ASSERT_TRUE(document.setRtf("{\\rtf1{\\fonttbl{\\f0 Microsoft Himalaya;}}\\f0\\fs32 abc\\par def}").ok);
  const std::uint64_t original = documentFingerprint(document);
  rt::Document copy = document;
  copy.select(1, 2);
  EXPECT_EQ(documentFingerprint(copy), original);

  rt::Document bold = document;
  bold.select(1, 1);
  rt::FormatChange change;
  change.bold = true;
  bold.applyFormat(change);
  EXPECT_NE(documentFingerprint(bold), original);

  rt::Document typed = document;
  typed.select(5, 0);
  typed.replaceSelectionText(u"x");
  EXPECT_NE(documentFingerprint(typed), original);
}

}  // namespace
}  // namespace yig::docs
