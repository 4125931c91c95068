#include "documents/save_document.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <sys/stat.h>

#include <csignal>
#include <unistd.h>

#include "documents/office_bridge.h"
#include "documents/recording_host.h"
#include "test_support.h"

namespace yig::docs {
namespace {

using testing::readBytes;
using testing::TempFolder;

TEST(RtfSaveName, EndingOfTheFileNameIsReplaced) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"/t/a.txt", "/t/a.rtf"},
      {"/t/a", "/t/a.rtf"},
      {"/my.dir/a", "/my.dir/a.rtf"},  // a dot in a folder name is not an ending
      {"a.b.doc", "a.b.rtf"},
      {"a.rtf", "a.rtf"},
      {"a.", "a.rtf"},
  };
  for (const Case& c : cases) EXPECT_EQ(rtfSaveName(c.in), c.out) << c.in;
}

TEST(SaveFormatForPath, ByEnding) {
  EXPECT_EQ(formatForPath("x.doc"), SaveFormat::Word);
  EXPECT_EQ(formatForPath("X.DOCX"), SaveFormat::Word);
  EXPECT_EQ(formatForPath("x.rtf"), SaveFormat::Rtf);
  EXPECT_EQ(formatForPath("x.htm"), SaveFormat::WebPage);
  EXPECT_EQ(formatForPath("x.mht"), SaveFormat::WebPage);
  EXPECT_EQ(formatForPath("x.xml"), SaveFormat::Xml);
  EXPECT_EQ(formatForPath("x.txt"), SaveFormat::UnicodeText);
  EXPECT_EQ(formatForPath("x.txt", true), SaveFormat::AnsiText);
}

TEST(TypedSaveName, AKnownEndingChoosesTheFormatTheFilterFillsInAMissingOne) {
  struct Case {
    std::string typed;
    int filter;
    std::string path;
    int format;
  } const cases[] = {
      {"/d/out.rtf", 1, "/d/out.rtf", 2},        // Word chosen, RTF typed: RTF
      {"/d/Out.DOCX", 2, "/d/Out.DOCX", 1},
      {"/d/page.html", 5, "/d/page.html", 3},
      {"/d/notes.txt", 6, "/d/notes.txt", 6},    // a text name keeps the ANSI choice
      {"/d/notes.txt", 1, "/d/notes.txt", 5},
      {"/d/report", 1, "/d/report.docx", 1},
      {"/d/report.v2", 2, "/d/report.v2.rtf", 2},
      {"/d/raw", 6, "/d/raw", 6},                // the ANSI entry writes the name as typed
      {"/d.x/raw", 9, "/d.x/raw.rtf", 2},        // no valid entry: RTF
  };
  for (const Case& c : cases) {
    const TypedSaveName got = resolveTypedSaveName(c.typed, c.filter);
    EXPECT_EQ(got.path, c.path) << c.typed;
    EXPECT_EQ(got.filterIndex, c.format) << c.typed;
  }
}

TEST(WritableName, RefusesNamesTheFileSystemCannotTake) {
  EXPECT_TRUE(isWritableName("/tmp/བོད.txt"));
  EXPECT_TRUE(isWritableName("a?.txt"));  // a question mark is an ordinary character here
  EXPECT_FALSE(isWritableName(""));
  EXPECT_FALSE(isWritableName("/tmp/"));
  EXPECT_FALSE(isWritableName(std::string("a\0b", 3)));
  EXPECT_FALSE(isWritableName("a\xFF.txt"));
}

TEST(SaveDocumentAs, TextFormatsWriteTheExpectedBytes) {
  TempFolder folder;
  rt::Document document;
  document.setText(u"AB\r\n中\u0F40");
  struct Case {
    SaveFormat format;
    std::string bytes;
  };
  const Case cases[] = {
      {SaveFormat::UnicodeText, std::string("\xFF\xFE" "A\0B\0\r\0\n\0\x2D\x4E\x40\x0F", 14)},
      {SaveFormat::AnsiText, "AB\r\n\xD6\xD0?"},  // Tibetan has no code page 936 code
  };
  for (const Case& c : cases) {
    const std::string path = folder.file("out.txt");
    const SaveOutcome outcome = saveDocumentAs(document, path, c.format);
    ASSERT_TRUE(outcome.ok()) << outcome.error;
    EXPECT_EQ(readBytes(path), c.bytes);
  }
}

TEST(SaveDocumentAs, RtfReadsBackWithFonts) {
  TempFolder folder;
  rt::Document document;
  ASSERT_TRUE(document.setRtf("{\\rtf1{\\fonttbl{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}}\\f0\\fs48 \\u3904?\\par }").ok);
  const SaveOutcome outcome = saveDocumentAs(document, folder.file("a.txt"), SaveFormat::Rtf);
  ASSERT_TRUE(outcome.ok()) << outcome.error;
  EXPECT_EQ(outcome.writtenPath, folder.file("a.rtf"));
  rt::Document back;
  ASSERT_TRUE(back.setRtf(readBytes(outcome.writtenPath)).ok);
  EXPECT_EQ(back.text().substr(0, 1), u"\u0F40");
  EXPECT_EQ(back.formatAt(0).font.name, u"Microsoft Himalaya");
}

// A file-size limit makes the write fail part-way, as a full disk would.
TEST(SaveDocument, FailureMidWayKeepsTheOldFileAndSaysSo) {
#ifdef _WIN32
  GTEST_SKIP() << "a file-size limit (setrlimit) is POSIX only";
#else
  TempFolder folder;
  const std::string path = folder.write("old.txt", "old content");
  RecordingHost host;
  host.editor().setText(std::u16string(100000, u'x'));
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const SaveOutcome outcome = SaveDocument(host, path, 5);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(outcome.ok());
  EXPECT_EQ(readBytes(path), "old content");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].find(kSaveFailed), std::u16string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), std::filesystem::directory_iterator()), 1);
#endif
}

TEST(SaveDocument, ReplacesAnExistingFileWhole) {
  TempFolder folder;
  const std::string path = folder.write("old.txt", std::string(1000, 'x'));
  RecordingHost host;
  host.editor().setText(u"AB");
  ASSERT_TRUE(SaveDocument(host, path, 6).ok());
  EXPECT_EQ(readBytes(path), "AB");
  EXPECT_TRUE(host.messages.empty());
  // No temporary file is left beside the target.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), std::filesystem::directory_iterator()), 1);
}

TEST(SaveDocument, UnwritableNameGivesTheChosenNameMessage) {
  RecordingHost host;
  EXPECT_FALSE(SaveDocument(host, "bad\xFF.txt", 5).ok());
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0], kChosenNameUnwritable);
}

TEST(SaveDocument, MissingOfficeLeavesTheOldFileAndNamesThePackage) {
  TempFolder folder;
  const OfficeSettings saved = officeSettings();
  officeSettings().program = folder.file("no-such-soffice");
  const std::string path = folder.write("old.docx", "old");
  RecordingHost host;
  host.editor().setText(u"new");
  const SaveOutcome outcome = SaveDocument(host, path, 1);
  officeSettings() = saved;
  EXPECT_FALSE(outcome.ok());
  EXPECT_TRUE(outcome.officeMissing);
  EXPECT_EQ(readBytes(path), "old");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].find(u"libreoffice-writer-nogui"), std::u16string::npos);
}

TEST(SaveDocument, LeavesModifiedFlagAlone) {
  TempFolder folder;
  RecordingHost host;
  host.modified = true;
  host.editor().setText(u"x");
  ASSERT_TRUE(SaveDocument(host, folder.file("a.rtf"), 2).ok());
  EXPECT_TRUE(host.modified);
}

}  // namespace
}  // namespace yig::docs
