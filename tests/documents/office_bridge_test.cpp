#include "documents/office_bridge.h"

#include <gtest/gtest.h>

#include "documents/open_document.h"
#include "documents/recording_host.h"
#include "documents/save_document.h"
#include "test_support.h"

namespace yig::docs {
namespace {

using testing::readBytes;
using testing::TempFolder;

TEST(AssociatedFonts, AddedAfterEveryFontAndSizeInTheBodyOnly) {
  const std::string rtf =
      "{\\rtf1{\\fonttbl{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}{\\f1\\fnil Tahoma;}}\r\n"
      "\\viewkind4\\uc1\\pard\\f0\\fs48 \\u3904?\\f1\\fs24 a\\\\f2 \\'b0\\'a1\\par }";
  EXPECT_EQ(addAssociatedFonts(rtf),
            "{\\rtf1{\\fonttbl{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}{\\f1\\fnil Tahoma;}}\r\n"
            "\\viewkind4\\uc1\\pard\\f0\\rtlch\\af0\\ltrch\\fs48\\rtlch\\afs48\\ltrch \\u3904?"
            "\\f1\\rtlch\\af1\\ltrch\\fs24\\rtlch\\afs24\\ltrch a\\\\f2 \\'b0\\'a1\\par }");
  // Without a view kind the body starts after the font table.
  EXPECT_EQ(addAssociatedFonts("{\\rtf1{\\fonttbl{\\f0 A;}}\\f0 x}"),
            "{\\rtf1{\\fonttbl{\\f0 A;}}\\f0\\rtlch\\af0\\ltrch x}");
}

TEST(AssociatedFonts, TibetanRunsTakeTheComplexScriptFontWhenRead) {
  // As LibreOffice writes a Tibetan span of a web page: the font is only the associated one.
  const std::string rtf =
      "{\\rtf1{\\fonttbl{\\f3 Liberation Serif;}{\\f7\\fnil Microsoft Himalaya;}}\\f3 "
      "{\\loch abc }{\\rtlch\\af7 \\ltrch\n\\u3926\\'3f\\u3964\\'3f}{\\dbch\\af3 \\u20013\\'3f}x\\par }";
  const std::string rewritten = useAssociatedFontsForTibetan(rtf);
  EXPECT_NE(rewritten.find("{\\f7 \\u3926\\'3f\\u3964\\'3f}"), std::string::npos) << rewritten;
  rt::Document document;
  ASSERT_TRUE(document.setRtf(rewritten).ok);
  const std::u16string text(document.text());
  ASSERT_EQ(text.substr(0, 7), u"abc \u0F56\u0F7C\u4E2D");
  EXPECT_EQ(document.formatAt(0).font.name, u"Liberation Serif");
  EXPECT_EQ(document.formatAt(4).font.name, u"Microsoft Himalaya");
  EXPECT_EQ(document.formatAt(5).font.name, u"Microsoft Himalaya");
  EXPECT_EQ(document.formatAt(6).font.name, u"Liberation Serif");  // Chinese keeps \\f
  // Runs whose \\f already names the font, and text in the font table, stay as they are.
  const std::string same = "{\\rtf1{\\fonttbl{\\f5 \\u3926? X;}}\\rtlch\\af5\\ltrch\\f5 \\u3926?}";
  EXPECT_EQ(useAssociatedFontsForTibetan(same), same);
}

TEST(TransferEncodings, QuotedPrintableAndBase64) {
  EXPECT_EQ(decodeQuotedPrintable("=E0=BD=80a=\r\nb=\nc=3D=zz"), "\xE0\xBD\x80" "abc==zz");
  EXPECT_EQ(decodeBase64("4L2A\r\nYQ=="), "\xE0\xBD\x80" "a");
  EXPECT_EQ(decodeBase64(""), "");
}

TEST(WebArchive, TheHtmlPartIsTakenOut) {
  const std::string mht =
      "MIME-Version: 1.0\r\n"
      "Content-Type: multipart/related;\r\n"
      "\tboundary=\"----=_NextPart_01\"\r\n"
      "\r\n"
      "This is a multi-part message in MIME format.\r\n"
      "\r\n"
      "------=_NextPart_01\r\n"
      "Content-Location: file:///C:/x/a.css\r\n"
      "Content-Type: text/css\r\n"
      "\r\n"
      "p {}\r\n"
      "------=_NextPart_01\r\n"
      "Content-Type: text/html; charset=\"utf-8\"\r\n"
      "Content-Transfer-Encoding: quoted-printable\r\n"
      "\r\n"
      "<html><body><p style=3D'font-family:\"Microsoft Himalaya\"'>=E0=BD=80</p></body></html>\r\n"
      "------=_NextPart_01--\r\n";
  const auto html = extractHtmlFromMht(mht);
  ASSERT_TRUE(html);
  EXPECT_NE(html->find("<p style='font-family:\"Microsoft Himalaya\"'>\xE0\xBD\x80</p>"), std::string::npos);
  EXPECT_NE(html->find("charset=utf-8"), std::string::npos);  // the part's charset is declared
}

TEST(WebArchive, SinglePartBase64AndBrokenArchives) {
  const auto single = extractHtmlFromMht(
      "Content-Type: text/html\nContent-Transfer-Encoding: base64\n\nPGI+eDwvYj4=\n");
  ASSERT_TRUE(single);
  EXPECT_EQ(*single, "<b>x</b>");
  EXPECT_FALSE(extractHtmlFromMht(""));
  EXPECT_FALSE(extractHtmlFromMht("Content-Type: multipart/related\r\n\r\nno boundary"));
  EXPECT_FALSE(extractHtmlFromMht("Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\nContent-Type: image/png\r\n\r\nxx\r\n--b--"));
  EXPECT_FALSE(extractHtmlFromMht("just some text"));
  // A folded header line of blanks only (it once threw out of the reader).
  const auto folded = extractHtmlFromMht("Content-Type: text/html;\r\n \t\r\n charset=utf-8\r\n\r\n<b>y</b>");
  ASSERT_TRUE(folded);
  EXPECT_NE(folded->find("charset=utf-8"), std::string::npos) << *folded;  // the fold was joined
  EXPECT_TRUE(folded->ends_with("<b>y</b>")) << *folded;
  EXPECT_NO_THROW((void)extractHtmlFromMht(":\n \n"));
}

// Round trips through LibreOffice: our RTF saved as each word-processor format
// and opened again keeps the Tibetan text and its font.
class OfficeRoundTrip : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (!findOffice()) GTEST_SKIP() << "LibreOffice (soffice) is not installed: " << kOfficeInstallHint;
  }
};

constexpr std::u16string_view kTibetan = u"\u0F56\u0F7C\u0F51\u0F0B\u0F61\u0F72\u0F42";  // བོད་ཡིག

TEST_P(OfficeRoundTrip, KeepsTibetanTextAndFont) {
  TempFolder folder;
  RecordingHost host;
  const std::string rtf =
      "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}"
      "{\\f1\\fnil\\fcharset0 Tahoma;}}\\viewkind4\\uc1\\pard\\f0\\fs48 "
      "\\u3926?\\u3964?\\u3921?\\u3851?\\u3937?\\u3954?\\u3906?\\f1\\fs24  abc\\par }";
  ASSERT_TRUE(host.editor().setRtf(rtf).ok);
  const std::string path = folder.file(std::string("saved.") + GetParam());
  const SaveOutcome saved = SaveDocument(host, path, static_cast<int>(formatForPath(path)));
  ASSERT_TRUE(saved.ok()) << saved.error;

  RecordingHost reopened;
  const OpenOutcome opened = OpenDocument(reopened, path);
  ASSERT_TRUE(opened.ok()) << opened.error;
  EXPECT_EQ(reopened.statusCaption, u"DOC文件");
  const std::u16string text = reopened.editor().plainText();
  const std::size_t at = text.find(kTibetan);
  ASSERT_NE(at, std::u16string::npos);
  EXPECT_NE(text.find(u"abc"), std::u16string::npos);
  EXPECT_EQ(reopened.editor().formatAt(at).font.name, u"Microsoft Himalaya");
}

INSTANTIATE_TEST_SUITE_P(Formats, OfficeRoundTrip, ::testing::Values("docx", "doc", "htm", "xml"));

// The filter entry and the name decide the format written.
TEST(OfficeSave, FormatFollowsFilterEntryAndName) {
  if (!findOffice()) GTEST_SKIP() << "LibreOffice (soffice) is not installed: " << kOfficeInstallHint;
  TempFolder folder;
  RecordingHost host;
  host.editor().setText(u"abc");
  struct Case {
    const char* name;
    int filter;
    std::string magic;
  };
  const Case cases[] = {
      {"X.DOC", 1, "\xD0\xCF\x11\xE0"},  // Word 97-2003: a compound file
      {"plain", 1, "PK"},                    // no .doc ending: .docx, a zip archive
      {"page.mht", 3, "<"},                  // a web page even under an archive's name
      {"data.txt", 4, "<?xml"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SaveOutcome outcome = SaveDocument(host, folder.file(c.name), c.filter);
    ASSERT_TRUE(outcome.ok()) << outcome.error;
    const std::string bytes = readBytes(folder.file(c.name));
    const std::size_t start = bytes.find_first_not_of(" \r\n\t\xEF\xBB\xBF");
    ASSERT_NE(start, std::string::npos);
    EXPECT_EQ(bytes.substr(start, c.magic.size()), c.magic);
  }
  EXPECT_NE(readBytes(folder.file("page.mht")).find("abc"), std::string::npos);
}

TEST(OfficeOpen, WebArchiveOpensThroughItsHtmlPart) {
  if (!findOffice()) GTEST_SKIP() << "LibreOffice (soffice) is not installed: " << kOfficeInstallHint;
  TempFolder folder;
  const std::string path = folder.write(
      "page.mht",
      "MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"B\"\r\n\r\n--B\r\n"
      "Content-Type: text/html; charset=\"utf-8\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
      "<html><body><p><span style=3D'font-family:\"Microsoft Himalaya\"'>=E0=BD=96=E0=BD=BC=E0=BD=91</span></p>"
      "</body></html>\r\n--B--\r\n");
  RecordingHost host;
  const OpenOutcome outcome = OpenDocument(host, path);
  ASSERT_TRUE(outcome.ok()) << outcome.error;
  const std::u16string text = host.editor().plainText();
  const std::size_t at = text.find(u"\u0F56\u0F7C\u0F51");
  ASSERT_NE(at, std::u16string::npos);
  EXPECT_EQ(host.editor().formatAt(at).font.name, u"Microsoft Himalaya");
}

TEST(OfficeOpen, DamagedWordFileFailsWithTheEditorUnchanged) {
  if (!findOffice()) GTEST_SKIP() << "LibreOffice (soffice) is not installed: " << kOfficeInstallHint;
  TempFolder folder;
  RecordingHost host;
  host.editor().setText(u"keep me");
  const std::string path = folder.write("broken.docx", std::string("PK\x03\x04 this is not a zip archive", 30));
  const OpenOutcome outcome = OpenDocument(host, path);
  if (outcome.ok()) {
    // LibreOffice may still read such bytes as text; then the editor holds them.
    SUCCEED();
    return;
  }
  EXPECT_EQ(host.editor().plainText(), u"keep me");
  EXPECT_EQ(host.messages.size(), 1u);
}

}  // namespace
}  // namespace yig::docs
