// Documents written by other programs (tests/data/rtf): the right characters
// in the right fonts and colours, and a fixed point when written and read again.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "richtext/document.h"

namespace yig::rt {
namespace {

namespace fs = std::filesystem;

const fs::path kDataDir = fs::path(YIG_TEST_DATA_DIR) / "rtf";

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

Document load(const char* name) {
  Document d;
  const std::string rtf = readFile(kDataDir / name);
  EXPECT_FALSE(rtf.empty()) << name;
  const ReadResult r = d.setRtf(rtf);
  EXPECT_TRUE(r.ok) << name << ": " << r.error;
  return d;
}

// Position of the last occurrence of `what`.
std::size_t find(const Document& d, std::u16string_view what) {
  const std::size_t at = d.text().rfind(what);
  EXPECT_NE(at, std::u16string_view::npos);
  return at == std::u16string_view::npos ? 0 : at;
}

// Every character of `what` (found in the text) has the font and colour given.
void expectRun(const Document& d, std::u16string_view what, std::u16string_view font,
               std::optional<Color> color = std::nullopt) {
  const std::size_t at = find(d, what);
  for (std::size_t i = at; i < at + what.size(); ++i) {
    const CharFormat& f = d.formatAt(i);
    EXPECT_EQ(f.font.name, font) << "at " << i;
    EXPECT_EQ(f.color, color) << "at " << i;
  }
}

TEST(RtfFiles, RichEditDocument) {
  const Document d = load("richedit-mixed.rtf");
  EXPECT_EQ(d.text(),
            u"\u0F56\u0F40\u0FB2\u0F0B\u0F64\u0F72\u0F66\u0F0B Tahoma text\r"
            u"中文测试\r"
            u"啊阿bold italic under struck\r"
            u"\u0F40\u0F41{a\\b}\tc");
  expectRun(d, u"\u0F56\u0F40\u0FB2", u"Microsoft Himalaya");
  expectRun(d, u"中文", u"宋体");
  expectRun(d, u"测试", u"宋体", Color{255, 0, 0});
  expectRun(d, u"啊阿", u"BZDBT");
  expectRun(d, u"\u0F40", u"Microsoft Himalaya", Color{0, 112, 192});  // the last paragraph's first character
  EXPECT_EQ(d.formatAt(find(d, u"中文")).font.charset, 134);
  EXPECT_EQ(d.formatAt(find(d, u"中文")).font.family, "fmodern");
  EXPECT_EQ(d.formatAt(find(d, u"中文")).font.pitch, 6);
  EXPECT_EQ(d.formatAt(find(d, u"\u0F56")).sizeHalfPoints, 48);
  EXPECT_TRUE(d.formatAt(find(d, u"bold")).bold);
  EXPECT_TRUE(d.formatAt(find(d, u"italic")).italic);
  EXPECT_TRUE(d.formatAt(find(d, u"under")).underline);
  EXPECT_TRUE(d.formatAt(find(d, u"struck")).strike);
  EXPECT_FALSE(d.formatAt(find(d, u"struck") - 1).strike);
}

TEST(RtfFiles, WordDocument) {
  const Document d = load("word-style.rtf");
  // The hyperlink is a field, carried whole and shown as its result.
  const std::size_t link = d.text().find(u'\uFFFC');
  ASSERT_NE(link, std::u16string_view::npos);
  ASSERT_TRUE(d.formatAt(link).object);
  EXPECT_EQ(d.formatAt(link).object->kind, EmbeddedObject::Kind::Field);
  EXPECT_EQ(d.formatAt(link).object->shown, u"link");
  EXPECT_EQ(d.plainText(), u"\u0F56\u0F40\u0FB2\u0F0B中文 Latin red bold\r\nlink文字\u0F66\u0F90");
  expectRun(d, u"\u0F56\u0F40\u0FB2\u0F0B", u"Microsoft Himalaya");
  expectRun(d, u"中文", u"宋体");
  expectRun(d, u"文字", u"宋体");
  expectRun(d, u" Latin ", u"Times New Roman");
  expectRun(d, u"red bold", u"Times New Roman", Color{255, 0, 0});
  EXPECT_TRUE(d.formatAt(find(d, u"red bold")).bold);
  EXPECT_EQ(d.formatAt(find(d, u"\u0F66")).sizeHalfPoints, 48);
  EXPECT_EQ(d.formatAt(find(d, u"Latin")).sizeHalfPoints, 21);
}

TEST(RtfFiles, LibreOfficeDocument) {
  const Document d = load("libreoffice-mixed.rtf");
  EXPECT_EQ(d.text(),
            u"\u0F56\u0F40\u0FB2\u0F0B\u0F64\u0F72\u0F66\u0F0B\u0F56\u0F51\u0F7A\u0F0B\u0F63\u0F7A\u0F42\u0F66\u0F0D\r"
            u"中文测试，汉字。Latin bold {braces} \\ back\r"
            u"italic underlined\t\u0F40\u0F0B\u0F41\u0F0B\u0F42\u0F0B\r"
            u"\r"
            u"\u0F66\u0F90\u0F51\u0F0B\u0F61\u0F72\u0F42藏文");
  expectRun(d, u"\u0F56\u0F40\u0FB2", u"Microsoft Himalaya");
  // This program names the font in code page 932 (fcharset128).
  expectRun(d, u"中文测试", u"宋体", Color{255, 0, 0});
  expectRun(d, u"藏文", u"宋体", Color{255, 0, 0});
  expectRun(d, u"Latin bold", u"Times New Roman", Color{0, 0, 255});
  expectRun(d, u"\u0F40\u0F0B\u0F41", u"Microsoft Himalaya", Color{0, 128, 0});
  EXPECT_TRUE(d.formatAt(find(d, u"Latin bold")).bold);
  EXPECT_TRUE(d.formatAt(find(d, u"italic")).italic);
  EXPECT_TRUE(d.formatAt(find(d, u"italic")).underline);
  EXPECT_TRUE(d.formatAt(find(d, u"\u0F40\u0F0B\u0F41")).strike);
  EXPECT_EQ(d.formatAt(0).sizeHalfPoints, 48);
}

TEST(RtfFiles, LibreOfficeWebDocument) {
  // Imported from a web page, the Tibetan and Chinese runs carry only associated
  // fonts (\af, \dbch\af); the run font stays the one \plain gives (\deff).
  const Document d = load("libreoffice-web.rtf");
  EXPECT_EQ(d.text(),
            u"\u0F40\u0F74\u0F53\u0F0B\u0F58\u0F41\u0FB1\u0F7A\u0F53\u0F0B\u0F40\u0FB3\u0F7C\u0F44\u0F0B"
            u"\u0F46\u0F7A\u0F53\u0F0B\u0F62\u0F56\u0F0B\u0F60\u0F56\u0FB1\u0F58\u0F66\u0F0D\r"
            u"宋体中文：测试 思源宋体 Arial bold\r"
            u"\u0F68\u0F7C\u0F7E\u0F0B\u0F58\u0F0B\u0F4E\u0F72\u0F0B\u0F54\u0F51\u0FA8\u0F7A\u0F0B\u0F67\u0F71"
            u"\u0F74\u0F83\u0F0D plain");
  expectRun(d, u"\u0F40\u0F74\u0F53", u"Liberation Serif");
  expectRun(d, u"宋体中文：测试", u"Liberation Serif", Color{0xC0, 0, 0});
  expectRun(d, u"\u0F68\u0F7C\u0F7E", u"Liberation Serif", Color{0, 0x70, 0xC0});
  expectRun(d, u"Arial bold", u"Arial");
  EXPECT_TRUE(d.formatAt(find(d, u"Arial bold")).bold);
}

// Every committed document: written, read and written again gives the same bytes,
// and the second reading has the text and formats of the first.
TEST(RtfFiles, RoundTripIsAFixedPoint) {
  int seen = 0;
  for (const auto& entry : fs::directory_iterator(kDataDir)) {
    if (entry.path().extension() != ".rtf") continue;
    ++seen;
    SCOPED_TRACE(entry.path().filename().string());
    Document first;
    ASSERT_TRUE(first.setRtf(readFile(entry.path())).ok);
    const std::string written = first.rtf();
    Document second;
    ASSERT_TRUE(second.setRtf(written).ok);
    EXPECT_EQ(second.text(), first.text());
    for (std::size_t i = 0; i < first.length(); ++i) {
      CharFormat a = first.formatAt(i), b = second.formatAt(i);
      // Objects are compared by what they carry, not by identity.
      ASSERT_EQ(a.object == nullptr, b.object == nullptr) << "at " << i;
      if (a.object) {
        ASSERT_EQ(a.object->rtf, b.object->rtf) << "at " << i;
        ASSERT_EQ(a.object->lead, b.object->lead) << "at " << i;
        a.object = b.object = nullptr;
      }
      if (first.text()[i] == u'\r') continue;  // a paragraph mark's own format is not kept
      ASSERT_EQ(b, a) << "at " << i;
    }
    EXPECT_EQ(second.finalParagraphLead(), first.finalParagraphLead());
    EXPECT_EQ(second.rtf(), written);
  }
  EXPECT_GE(seen, 4);
}

// Real-style documents (Word's and LibreOffice's, every encoding) read and
// written again keep every word of their structure as often as it stood:
// tables, pictures, footnotes, headers, footers, fields, lists, styles,
// sections and page setup.
TEST(RtfFiles, DocumentsKeepTheirStructure) {
  const fs::path corpus = fs::path(YIG_TEST_DATA_DIR) / "documents";
  auto count = [](std::string_view rtf, std::string_view word) {
    std::size_t n = 0;
    for (std::size_t at = rtf.find(word); at != std::string_view::npos; at = rtf.find(word, at + 1)) {
      const std::size_t end = at + word.size();
      if (end >= rtf.size() || !std::isalpha(static_cast<unsigned char>(rtf[end]))) ++n;
    }
    return n;
  };
  int seen = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    if (entry.path().extension() != ".rtf") continue;
    ++seen;
    SCOPED_TRACE(entry.path().filename().string());
    const std::string original = readFile(entry.path());
    Document d;
    ASSERT_TRUE(d.setRtf(original).ok);
    const std::string written = d.rtf();
    for (std::string_view word :
         {"\\trowd", "\\cellx", "\\cell", "\\row", "\\intbl", "\\pict", "\\footnote", "\\header", "\\headerr",
          "\\footer", "\\footerr", "\\field", "\\fldinst", "\\fldrslt", "\\listtext", "\\ls", "\\ilvl",
          "\\stylesheet", "\\listtable", "\\sectd", "\\paperw", "\\margl", "\\qc", "\\qj", "\\fi", "\\bkmkstart",
          "\\chftn", "\\info"}) {
      EXPECT_EQ(count(written, word), count(original, word)) << word;
    }
    // Character properties the model does not name are stated again with each run.
    for (std::string_view word : {"\\super", "\\lang", "\\cs", "\\rtlch"}) {
      EXPECT_GE(count(written, word), count(original, word) > 0 ? 1u : 0u) << word;
    }
  }
  EXPECT_GE(seen, 12);
}

// A copied range that crosses tables, pictures and footnotes pastes back
// whole into another document: the same units, and each object and cell or
// row mark with its bytes (a paragraph's opening after a \pard of its own).
TEST(RtfFiles, CopiedRangesPasteBackWhole) {
  const fs::path corpus = fs::path(YIG_TEST_DATA_DIR) / "documents";
  int seen = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    if (entry.path().extension() != ".rtf") continue;
    Document d;
    ASSERT_TRUE(d.setRtf(readFile(entry.path())).ok);
    const std::size_t n = d.length();
    if (n < 8) continue;
    ++seen;
    // Ranges from anywhere to the end of a paragraph (a range ending inside a
    // paragraph takes that paragraph's opening along as a mark of its own).
    auto paragraphEndBefore = [&](std::size_t limit) { return d.text().substr(0, limit).rfind(u'\r') + 1; };
    for (const auto& [from, to] : {std::pair{n / 5, paragraphEndBefore(n - n / 7)}, std::pair{std::size_t{1}, n},
                                   std::pair{n / 3, paragraphEndBefore(n / 2)}}) {
      if (to <= from) continue;
      SCOPED_TRACE(entry.path().filename().string() + " " + std::to_string(from) + ".." + std::to_string(to));
      d.select(from, to - from);
      const std::string copied = d.selectionRtf();
      Document pasted;
      pasted.setText(u"x\r");
      pasted.select(2, 0);
      ASSERT_TRUE(pasted.replaceSelectionRtf(copied).ok);
      ASSERT_EQ(pasted.text().substr(2), d.text().substr(from, to - from));
      auto standalone = [](const std::string& lead) {
        return lead.empty() || lead.starts_with("\\pard") ? lead : "\\pard" + lead;
      };
      for (std::size_t i = from; i < to; ++i) {
        const auto& want = d.formatAt(i).object;
        const auto& got = pasted.formatAt(i - from + 2).object;
        // A plain paragraph end needs no object of its own.
        if (want && want->kind == EmbeddedObject::Kind::Break && want->rtf == "\\par" && want->lead.empty()) continue;
        ASSERT_EQ(bool(got), bool(want)) << "at " << i;
        if (want) {
          EXPECT_EQ(got->rtf, want->rtf) << "at " << i;
          const bool firstMark = d.text().substr(from, i - from).find(u'\r') == std::u16string_view::npos;
          EXPECT_EQ(got->lead, firstMark ? standalone(want->lead) : want->lead) << "at " << i;
        }
      }
    }
  }
  EXPECT_GE(seen, 12);
}

// LibreOffice opens what we write with the same text.
TEST(RtfFiles, LibreOfficeReadsOurOutput) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "LibreOffice (soffice) is not installed; the check that it reads our RTF is skipped";
  }
  const fs::path dir = fs::temp_directory_path() / ("yig-richtext-lo-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const Document source = load("richedit-mixed.rtf");
  writeFile(dir / "ours.rtf", source.rtf());
  const std::string command = "cd '" + dir.string() +
                              "' && timeout -k 10 120 soffice -env:UserInstallation=file://" + dir.string() +
                              "/profile --headless --convert-to 'txt:Text (encoded):UTF8' ours.rtf >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  const std::string txt = readFile(dir / "ours.txt");
  fs::remove_all(dir);
  ASSERT_EQ(status, 0) << command;
  ASSERT_FALSE(txt.empty());

  // Compare as UTF-8, line ends normalised, byte-order mark and trailing breaks dropped.
  std::string got = txt.rfind("\xEF\xBB\xBF", 0) == 0 ? txt.substr(3) : txt;
  std::string norm;
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (got[i] == '\r') continue;
    norm.push_back(got[i]);
  }
  while (!norm.empty() && norm.back() == '\n') norm.pop_back();
  std::string expected;
  for (char16_t c : source.plainText()) {
    if (c == u'\r') continue;
    if (c < 0x80) {
      expected.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      expected.push_back(static_cast<char>(0xC0 | (c >> 6)));
      expected.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      expected.push_back(static_cast<char>(0xE0 | (c >> 12)));
      expected.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      expected.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  EXPECT_EQ(norm, expected);
}

}  // namespace
}  // namespace yig::rt
