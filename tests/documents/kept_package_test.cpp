#include "documents/kept_package.h"

#include <gtest/gtest.h>

#include <filesystem>

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
