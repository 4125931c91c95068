#include "documents/open_document.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "documents/office_bridge.h"
#include "documents/recording_host.h"
#include "documents/save_document.h"
#include "platform/platform.h"
#include "test_support.h"

namespace yig::docs {
namespace {

using testing::TempFolder;

TEST(OpenRoute, ChosenByUpperCasedEnding) {
  struct Case {
    const char* path;
    OpenRoute route;
  };
  const Case cases[] = {
      {"report.DocX", OpenRoute::WordProcessor}, {"a.doc", OpenRoute::WordProcessor},
      {"page.html", OpenRoute::WordProcessor},   {"page.HTM", OpenRoute::WordProcessor},
      {"x.xml", OpenRoute::WordProcessor},       {"arch.mht", OpenRoute::WordProcessor},
      {"arch.MHTML", OpenRoute::WordProcessor},  {"notes.rtf", OpenRoute::Rtf},
      {"notes.RTF", OpenRoute::Rtf},             {"notes.txt", OpenRoute::PlainText},
      {"notes.log", OpenRoute::PlainText},       {"noending", OpenRoute::PlainText},
      {"dir.doc/file", OpenRoute::PlainText},    // the folder's ending does not count
      {"a.docx.txt", OpenRoute::PlainText},      {"t.odt", OpenRoute::WordProcessor},
      {"t.FODT", OpenRoute::WordProcessor},      {"m.docm", OpenRoute::WordProcessor},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(routeFor(c.path), c.route);
  }
  EXPECT_TRUE(isWebArchive("a.MHT"));
  EXPECT_FALSE(isWebArchive("a.html"));
}

TEST(OpenDocument, PlainTextKindsFillTheEditorAndShowTheirStatus) {
  TempFolder folder;
  struct Case {
    std::string bytes;
    std::u16string text, status, code;
  };
  const Case cases[] = {
      {std::string("\xFF\xFE" "A\0B\0", 6), u"AB", u"Unicode文件", u""},
      {std::string("\xFE\xFF\0A\0B", 6), u"AB", u"Unicode big edian文件", u""},
      {"\xEF\xBB\xBF\xE0\xBD\x80", u"\u0F40", u"UTF-8文件", u"HIMA"},
      {"\xE0\xBD\x80\xE0\xBD\xA2\n\xE0\xBD\x80", u"\u0F40\u0F62\r\n\u0F40", u"UTF-8文件", u"HIMA"},
      {"\xB6\xF0" "abc", u"娥abc", u"普通txt文件", u"HG"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.status.begin(), c.status.end()));
    RecordingHost host;
    const OpenOutcome outcome = OpenDocument(host, folder.write("t.txt", c.bytes));
    ASSERT_EQ(outcome.result, OpenOutcome::Result::Opened);
    EXPECT_EQ(host.editor().plainText(), c.text);
    EXPECT_EQ(host.statusCaption, c.status);
    EXPECT_EQ(host.sourceCode, c.code);
    EXPECT_FALSE(host.modified);
    EXPECT_EQ(host.openedFileName(), folder.file("t.txt"));
  }
}

TEST(OpenDocument, UnicodeTextIsSetInFontsByCharacterRange) {
  TempFolder folder;
  RecordingHost host;
  ASSERT_TRUE(OpenDocument(host, folder.write("t.txt", "\xE0\xBD\x80" "a")).ok());
  EXPECT_EQ(host.editor().formatAt(0).font.name, u"Microsoft Himalaya");
  EXPECT_EQ(host.editor().formatAt(1).font.name, u"Microsoft Himalaya");  // the guess sets the whole text
  EXPECT_EQ(host.fontBoxText, u"Microsoft Himalaya");
}

TEST(OpenDocument, RtfIsLoadedDirectlyWithFontAndSizeBoxes) {
  TempFolder folder;
  RecordingHost host;
  const std::string rtf =
      "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}}"
      "\\viewkind4\\uc1\\pard\\f0\\fs48 \\u3904?\\u3905?\\par }";
  const OpenOutcome outcome = OpenDocument(host, folder.write("n.RTF", rtf));
  ASSERT_EQ(outcome.result, OpenOutcome::Result::Opened);
  EXPECT_EQ(host.editor().plainText().substr(0, 2), u"\u0F40\u0F41");
  EXPECT_EQ(host.statusCaption, u"RTF格式文件");
  EXPECT_EQ(host.fontBoxText, u"Microsoft Himalaya");
  EXPECT_EQ(host.sizeBox, 48);
}

// Word and OpenDocument files opened in the editor keep their tables, pictures,
// footnote, header and page setup, and a Word file saved from the editor and
// opened again still has them.
TEST(OpenDocument, WordBinaryWordAndOpenDocumentFilesKeepTheirParts) {
  if (!findOffice()) GTEST_SKIP() << "LibreOffice (soffice) is not installed: " << kOfficeInstallHint;
  TempFolder folder;
  auto parts = [](const std::string& rtf) {
    std::string missing;
    for (const char* part : {"\\trowd", "\\cell", "\\pict", "\\footnote", "\\header", "\\paperw", "\\stylesheet"}) {
      if (rtf.find(part) == std::string::npos) missing += part;
    }
    return missing;
  };
  for (const char* name : {"lo-hima.docx", "lo-bzd.odt", "lo-hima.doc"}) {
    SCOPED_TRACE(name);
    RecordingHost host;
    const std::string path = std::string(YIG_TEST_DATA_DIR) + "/documents/" + name;
    ASSERT_EQ(OpenDocument(host, path).result, OpenOutcome::Result::Opened);
    EXPECT_EQ(parts(host.editor().rtf()), "");
    if (std::string_view(name).ends_with(".docx")) {
      const std::string saved = folder.file("saved.docx");
      ASSERT_TRUE(saveDocumentAs(host.editor(), saved, SaveFormat::Word).ok());
      RecordingHost again;
      ASSERT_EQ(OpenDocument(again, saved).result, OpenOutcome::Result::Opened);
      EXPECT_EQ(parts(again.editor().rtf()), "");
      EXPECT_EQ(again.editor().plainText(), host.editor().plainText());
    }
  }
}

TEST(OpenDocument, TibetanInterfaceTranslatesTheStatus) {
  TempFolder folder;
  RecordingHost chinese(false), tibetan(true);
  const std::string path = folder.write("t.txt", std::string("\xFF\xFE" "A\0", 4));
  ASSERT_TRUE(OpenDocument(chinese, path).ok());
  ASSERT_TRUE(OpenDocument(tibetan, path).ok());
  EXPECT_EQ(chinese.statusCaption, u"Unicode文件");
  EXPECT_FALSE(tibetan.statusCaption.empty());
  EXPECT_NE(tibetan.statusCaption, chinese.statusCaption);
}

// Every failure shows one message and changes neither editor nor status.
TEST(OpenDocument, FailuresLeaveTheEditorAsItWas) {
  TempFolder folder;
  const std::string unreadable = folder.write("locked.txt", "secret");
  ::chmod(unreadable.c_str(), 0);
  struct Case {
    std::string name, path;
  };
  const Case cases[] = {
      {"missing", folder.file("missing.txt")},
      {"folder", folder.path().string()},
      {"empty text", folder.write("empty.txt", "")},
      {"signature only", folder.write("bom.txt", "\xFF\xFE")},
      {"binary", folder.write("bin.txt", std::string("\x7F" "ELF\0\0\x01", 7))},
      {"empty rtf", folder.write("empty.rtf", "")},
      {"not rtf", folder.write("fake.rtf", "hello, not rtf")},
      {"mht without html", folder.write("x.mht", "Content-Type: text/plain\r\n\r\nhello")},
  };
  std::vector<Case> all(std::begin(cases), std::end(cases));
#ifndef _WIN32
  if (::geteuid() != 0) all.push_back({"unreadable", unreadable});  // root reads anything
#endif
  for (const Case& c : all) {
    SCOPED_TRACE(c.name);
    RecordingHost host;
    host.editor().setText(u"keep me");
    host.statusCaption = u"before";
    const OpenOutcome outcome = OpenDocument(host, c.path);
    EXPECT_EQ(outcome.result, OpenOutcome::Result::Failed);
    EXPECT_FALSE(outcome.error.empty());
    EXPECT_EQ(host.editor().plainText(), u"keep me");
    EXPECT_EQ(host.statusCaption, u"before");
    EXPECT_EQ(host.messages.size(), 1u);
  }
}

TEST(OpenDocument, MissingOfficeSaysHowToInstallAndKeepsTheEditor) {
  TempFolder folder;
  const OfficeSettings saved = officeSettings();
  officeSettings().program = folder.file("no-such-soffice");
  RecordingHost host;
  host.editor().setText(u"keep me");
  const OpenOutcome outcome = OpenDocument(host, folder.write("a.docx", "PK"));
  officeSettings() = saved;
  EXPECT_EQ(outcome.result, OpenOutcome::Result::Failed);
  EXPECT_EQ(host.editor().plainText(), u"keep me");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].find(u"libreoffice-writer-nogui"), std::u16string::npos);
  EXPECT_NE(outcome.error.find(platform::isWindows() ? "libreoffice.org" : "libreoffice-writer-nogui"), std::string::npos);
}

TEST(OpenDocument, ProofFileGoesThroughThePrompt) {
  TempFolder folder;
  // The signature at offset 2; "娥" makes it a Huaguang proof.
  const std::string path = folder.write("p.txt", "ab\x80\x86\xB6\xF0\xA1\xBC" "cmd\xA1\xBD" "z");
  struct Case {
    ProofChoice choice;
    OpenOutcome::Result result;
    std::u16string text;
    std::string mode;
  };
  const Case cases[] = {
      {ProofChoice::DropCommands, OpenOutcome::Result::ProofImported, u"ab娥z", "12"},
      {ProofChoice::KeepCommands, OpenOutcome::Result::ProofImported, u"ab娥〖cmd〗z", "11"},
      {ProofChoice::Cancel, OpenOutcome::Result::ProofCancelled, u"keep me", ""},
  };
  for (const Case& c : cases) {
    RecordingHost host(false, c.choice);
    host.editor().setText(u"keep me");
    host.setProofMode("11");
    const OpenOutcome outcome = OpenDocument(host, path);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(host.proofPrompts, 1);
    EXPECT_EQ(host.proofMode(), c.mode);
    EXPECT_EQ(host.editor().plainText(), c.text);
    if (c.result == OpenOutcome::Result::ProofImported) {
      EXPECT_EQ(host.statusCaption, u"华光小样文件已经转换为txt纯文本");
    }
  }
}

TEST(OpenDocument, SignaturePastOffset500IsReadAsText) {
  TempFolder folder;
  std::string bytes(501, 'a');
  bytes += "\x80\x86";
  RecordingHost host;
  const OpenOutcome outcome = OpenDocument(host, folder.write("late.txt", bytes));
  EXPECT_EQ(outcome.result, OpenOutcome::Result::Opened);
  EXPECT_EQ(host.proofPrompts, 0);
  EXPECT_EQ(host.statusCaption, u"普通txt文件");
}

TEST(OpenForConversion, GivesTheDocumentOrTheReason) {
  TempFolder folder;
  const OpenedDocument ok = openForConversion(folder.write("a.txt", "\xE0\xBD\x80"));
  ASSERT_TRUE(ok.ok());
  EXPECT_EQ(ok.document.plainText(), u"\u0F40");
  EXPECT_EQ(ok.outcome.guess->code, u"HIMA");
  const OpenedDocument missing = openForConversion(folder.file("none.rtf"));
  EXPECT_FALSE(missing.ok());
  EXPECT_FALSE(missing.outcome.error.empty());
  const OpenedDocument proofRefused = openForConversion(folder.write("p.txt", "\x80\x86" "a"), "");
  EXPECT_FALSE(proofRefused.ok());
}

}  // namespace
}  // namespace yig::docs
