// Word packages and OpenDocument texts converted in their own XML:
// LibreOffice-made documents in every encoding, hand-written documents in the
// forms Word writes, and broken or hostile packages.
#include "documents/docx_convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "documents/docx_zip.h"
#include "documents/odt_convert.h"
#include "documents/office_bridge.h"
#include "documents/rtf_route.h"
#include "test_support.h"

namespace yig::docs::docx {
namespace {

std::string readData(const std::string& name) {
  std::ifstream in(std::string(YIG_TEST_DATA_DIR) + "/documents/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Every entry of a package, unpacked.
std::map<std::string, std::string> entries(const std::string& package) {
  std::string error;
  auto pkg = zip::Package::open(package, error);
  EXPECT_TRUE(pkg) << error;
  std::map<std::string, std::string> all;
  for (std::size_t i = 0; pkg && i < pkg->size(); ++i) {
    std::string bytes;
    EXPECT_TRUE(pkg->read(i, bytes, error)) << error;
    all[pkg->name(i)] = bytes;
  }
  return all;
}

// A package made of `parts`, deflated.
std::string makePackage(const std::map<std::string, std::string>& parts) { return zip::pack({parts.begin(), parts.end()}); }

constexpr const char* kW = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

std::string document(const std::string& body) {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:document ") + kW +
         "><w:body>" + body + "</w:body></w:document>";
}

// A hand-written package as Word writes one: a theme, styles that carry fonts.
std::string wordPackage(const std::string& body, const std::map<std::string, std::string>& more = {}) {
  const std::string styles = std::string("<w:styles ") + kW +
                             "><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:asciiTheme=\"minorHAnsi\" "
                             "w:hAnsiTheme=\"minorHAnsi\" w:eastAsiaTheme=\"minorEastAsia\" w:cstheme=\"minorBidi\"/>"
                             "</w:rPr></w:rPrDefault></w:docDefaults>"
                             "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/></w:style>"
                             "<w:style w:type=\"paragraph\" w:styleId=\"Tib\"><w:basedOn w:val=\"Normal\"/><w:rPr>"
                             "<w:rFonts w:cs=\"Microsoft Himalaya\"/><w:cs/></w:rPr></w:style>"
                             "<w:style w:type=\"paragraph\" w:styleId=\"TibTitle\"><w:basedOn w:val=\"Tib\"/><w:rPr><w:b/></w:rPr></w:style>"
                             "<w:style w:type=\"table\" w:styleId=\"BzdTable\"><w:rPr><w:rFonts w:eastAsia=\"BZDBT\"/></w:rPr></w:style>"
                             "<w:style w:type=\"character\" w:styleId=\"Bzd\"><w:rPr><w:rFonts w:eastAsia=\"BZDBT\"/></w:rPr></w:style>"
                             "<w:style w:type=\"paragraph\" w:styleId=\"BzdList\"><w:rPr><w:rFonts w:eastAsia=\"BZDBT\"/></w:rPr></w:style>"
                             "</w:styles>";
  const std::string theme =
      "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><a:themeElements><a:fontScheme>"
      "<a:majorFont><a:latin typeface=\"Calibri Light\"/><a:ea typeface=\"\"/><a:cs typeface=\"\"/></a:majorFont>"
      "<a:minorFont><a:latin typeface=\"Calibri\"/><a:ea typeface=\"\"/><a:cs typeface=\"\"/>"
      "<a:font script=\"Tibt\" typeface=\"Microsoft Himalaya\"/><a:font script=\"Hans\" typeface=\"SimSun\"/>"
      "</a:minorFont></a:fontScheme></a:themeElements></a:theme>";
  const std::string settings = std::string("<w:settings ") + kW +
                               "><w:themeFontLang w:val=\"en-US\" w:eastAsia=\"zh-CN\" w:bidi=\"bo-CN\"/></w:settings>";
  const std::string fonts = std::string("<w:fonts ") + kW + "><w:font w:name=\"Calibri\"/></w:fonts>";
  std::map<std::string, std::string> parts = more;
  parts.insert({{"[Content_Types].xml", "<Types/>"},
                      {"word/document.xml", document(body)},
                      {"word/styles.xml", styles},
                      {"word/theme/theme1.xml", theme},
                      {"word/settings.xml", settings},
                      {"word/fontTable.xml", fonts},
                      {"word/media/image1.png", std::string("\x89PNG\r\n\x1a\n", 8)}});
  return makePackage(parts);
}

// The text of a part with every run taken out: what must not change.
std::string withoutRuns(const std::string& xml) {
  std::string out;
  std::size_t at = 0;
  for (;;) {
    std::size_t a = xml.find("<w:r>", at), b = xml.find("<w:r ", at);
    const std::size_t start = std::min(a, b);
    const std::size_t end = start == std::string::npos ? start : xml.find("</w:r>", start);
    if (end == std::string::npos) break;
    out.append(xml, at, start - at);
    at = end + 6;
  }
  return out + xml.substr(at);
}

std::string convertOk(const std::string& package, Encoding from, Encoding to, Outcome& outcome) {
  std::string out;
  outcome = convertDocx(package, from, to, conv::Options{}, out);
  EXPECT_TRUE(outcome.ok()) << outcome.error;
  return out;
}

struct LoCase {
  const char* file;
  Encoding encoding;
  const char* fontName;  // as the converted text names it
};

class LibreOfficeDocuments : public ::testing::TestWithParam<LoCase> {};

// Both ways between Unicode and the encoding; everything but the text parts
// and the font table comes through byte for byte, the text parts change only
// inside runs, and the target font is declared.
TEST_P(LibreOfficeDocuments, ConvertBothWaysKeepingTheRestOfThePackage) {
  const LoCase& c = GetParam();
  for (const bool toUnicode : {true, false}) {
    SCOPED_TRACE(toUnicode ? "to HIMA" : "from HIMA");
    const std::string input = readData(toUnicode ? c.file : "lo-hima.docx");
    Outcome outcome;
    const Encoding from = toUnicode ? c.encoding : Encoding::HIMA, to = toUnicode ? Encoding::HIMA : c.encoding;
    const std::string out = convertOk(input, from, to, outcome);
    EXPECT_GT(outcome.stats.converted, 5u);
    ASSERT_FALSE(outcome.changedParts.empty());
    EXPECT_EQ(outcome.changedParts.front(), "word/document.xml");
    const auto before = entries(input), after = entries(out);
    ASSERT_EQ(before.size(), after.size());
    for (const auto& [name, bytes] : before) {
      const bool changed = std::find(outcome.changedParts.begin(), outcome.changedParts.end(), name) !=
                           outcome.changedParts.end();
      if (changed) {
        EXPECT_EQ(withoutRuns(bytes), withoutRuns(after.at(name))) << name;
      } else if (name != "word/fontTable.xml") {
        EXPECT_EQ(bytes, after.at(name)) << name;
      }
    }
    const std::string target = toUnicode ? "Microsoft Himalaya" : c.fontName;
    EXPECT_NE(after.at("word/document.xml").find("w:cs=\"" + target + "\""), std::string::npos);
    EXPECT_NE(after.at("word/fontTable.xml").find("w:name=\"" + target + "\""), std::string::npos);
    if (toUnicode) {
      EXPECT_NE(after.at("word/document.xml").find("ད"), std::string::npos);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Encodings, LibreOfficeDocuments,
                         ::testing::Values(LoCase{"lo-bzd.docx", Encoding::BZD, "BZDBT"},
                                           LoCase{"lo-ty.docx", Encoding::TY, "CHINATIBET"},
                                           LoCase{"lo-hg.docx", Encoding::HG, "A-Tibetan"},
                                           LoCase{"lo-fz.docx", Encoding::FZ, "方正藏文新白体"},
                                           LoCase{"lo-sam.docx", Encoding::SAM, "Ededris-a"}),
                         [](const auto& info) { return std::string(info.param.file).substr(3, info.param.file[5] == '.' ? 2 : 3); });

// Entries that are not rewritten keep their compressed bytes: the same CRC and
// packed size, no recompression.
TEST(DocxPackage, UnchangedEntriesAreCopiedAsStored) {
  const std::string input = readData("lo-hima.docx");
  Outcome outcome;
  const std::string out = convertOk(input, Encoding::HIMA, Encoding::BZD, outcome);
  std::string error;
  auto before = zip::Package::open(input, error), after = zip::Package::open(out, error);
  ASSERT_TRUE(before && after) << error;
  for (const char* name : {"word/styles.xml", "word/media/image1.png", "word/numbering.xml", "[Content_Types].xml"}) {
    EXPECT_EQ(before->stored(*before->find(name)), after->stored(*after->find(name))) << name;
  }
}

// New contents given a piece at a time (compressed on a thread of their own
// once past the size from which parts are compressed fast) make the package
// they make given whole, byte for byte; a stream dropped unwritten is let go.
TEST(DocxPackage, StreamedContentsWriteTheSameBytes) {
  const std::string input = readData("lo-hima.docx");
  std::string text;
  for (unsigned n = 1; text.size() < (5u << 20); n = n * 1103515245u + 12345u) {
    text += "<w:r><w:t>" + std::to_string(n % 100000) + " བོད་ཡིག</w:t></w:r>";
  }
  struct Case {
    std::size_t size, piece, tail;  // `size` bytes, `piece` at a time, the last `tail` one by one
  };
  for (const Case c : {Case{100000, 100000, 0}, Case{100000, 7000, 10}, Case{5u << 20, 5u << 20, 0},
                       Case{5u << 20, 300000, 0}, Case{(2u << 20) + 1, 1u << 20, 64}}) {
    SCOPED_TRACE(std::to_string(c.size) + " in pieces of " + std::to_string(c.piece));
    const std::string contents = text.substr(0, c.size);
    std::string error, whole, pieces;
    auto a = zip::Package::open(input, error);
    const std::size_t body = *a->find("word/document.xml");
    ASSERT_TRUE(a->write({{body, contents}}, whole, error)) << error;
    auto b = zip::Package::open(input, error);
    zip::Streamed streamed;
    for (std::size_t at = 0; at < c.size - c.tail; at += c.piece) {
      streamed.add(contents.substr(at, std::min(c.piece, c.size - c.tail - at)));
    }
    for (std::size_t at = c.size - c.tail; at < c.size; ++at) {
      streamed.add(contents.substr(at, 1));
      streamed.add(std::string());
    }
    ASSERT_TRUE(b->write({}, {{body, &streamed}}, pieces, error)) << error;
    EXPECT_TRUE(whole == pieces);
    EXPECT_EQ(entries(pieces).at("word/document.xml"), contents);
  }
  // A head given at the end goes before the pieces: compressed with them when
  // they are few, else on its own and put in front of their stream.
  const std::string head = "<?xml version=\"1.0\"?><w:document>";
  for (const std::size_t size : {std::size_t{100000}, std::size_t{5u << 20}}) {
    const std::string contents = text.substr(0, size);
    std::string error, whole, headed;
    auto a = zip::Package::open(input, error);
    const std::size_t body = *a->find("word/document.xml");
    ASSERT_TRUE(a->write({{body, head + contents}}, whole, error)) << error;
    zip::Streamed streamed;
    for (std::size_t at = 0; at < size; at += 300000) streamed.add(contents.substr(at, 300000));
    streamed.head(std::string(head));
    ASSERT_TRUE(a->write({}, {{body, &streamed}}, headed, error)) << error;
    EXPECT_EQ(whole == headed, size < (2u << 20));
    EXPECT_TRUE(entries(headed).at("word/document.xml") == head + contents);
  }
  zip::Streamed dropped;
  dropped.add(text.substr(0, 3u << 20));
  dropped.add(text.substr(0, 1000));
}

struct WordCase {
  const char* what;
  Encoding from, to;
  std::string body;
  std::vector<std::string> expected;  // in the converted document.xml
  std::vector<std::string> unexpected;
};

// Runs written the way Word writes them.
TEST(DocxWordForms, FontsResolvedAsWordDoes) {
  const std::string tib = "<w:t>བོད་ཡིག</w:t>";
  const std::vector<WordCase> cases = {
      {"complex-script font with w:hint=cs",
       Encoding::HIMA, Encoding::BZD,
       "<w:p><w:r><w:rPr><w:rFonts w:hint=\"cs\" w:cs=\"Microsoft Himalaya\"/><w:b/><w:sz w:val=\"28\"/></w:rPr>" + tib + "</w:r></w:p>",
       {"<w:rPr><w:rFonts w:ascii=\"BZDBT\" w:hAnsi=\"BZDBT\" w:eastAsia=\"BZDBT\" w:cs=\"BZDBT\"/><w:b/><w:sz w:val=\"28\"/></w:rPr>"},
       {"བོད"}},
      {"theme font: the minor font's Tibetan script face",
       Encoding::HIMA, Encoding::TY,
       "<w:p><w:r><w:rPr><w:rtl/></w:rPr>" + tib + "</w:r></w:p>",
       {"w:cs=\"CHINATIBET\""},
       {"བོད"}},
      {"font from the paragraph style's base style, Latin kept",
       Encoding::HIMA, Encoding::BZD,
       "<w:p><w:pPr><w:pStyle w:val=\"TibTitle\"/></w:pPr><w:r><w:t xml:space=\"preserve\">Tibet བོད end</w:t></w:r></w:p>",
       {"<w:t xml:space=\"preserve\">Tibet </w:t>", "<w:t xml:space=\"preserve\"> end</w:t>", "w:cs=\"BZDBT\""},
       {"བོད"}},
      {"no Tibetan font anywhere: nothing changes",
       Encoding::HIMA, Encoding::BZD,
       "<w:p><w:r><w:rPr><w:rFonts w:ascii=\"Arial\" w:hAnsi=\"Arial\" w:cs=\"Arial\"/></w:rPr>" + tib + "</w:r></w:p>",
       {"བོད"},
       {"BZDBT"}},
      {"character style naming a national font in the East Asian slot",
       Encoding::BZD, Encoding::HIMA,
       "<w:p><w:r><w:rPr><w:rStyle w:val=\"Bzd\"/></w:rPr><w:t>捶拜︽翟罢</w:t></w:r>"
       "<w:r><w:rPr><w:rFonts w:eastAsia=\"SimSun\"/></w:rPr><w:t>中文</w:t></w:r></w:p>",
       {"<w:rStyle w:val=\"Bzd\"/><w:rFonts w:ascii=\"Microsoft Himalaya\"", "<w:t>中文</w:t>"},
       {"捶拜"}},
      {"a table style carrying the font (outside the table the same run is not converted)",
       Encoding::BZD, Encoding::HIMA,
       "<w:tbl><w:tblPr><w:tblStyle w:val=\"BzdTable\"/></w:tblPr><w:tr><w:tc><w:p><w:r><w:t>捶拜</w:t></w:r></w:p>"
       "</w:tc></w:tr></w:tbl><w:p><w:r><w:t>捶拜</w:t></w:r></w:p>",
       {"<w:tc><w:p><w:r><w:rPr><w:rFonts w:ascii=\"Microsoft Himalaya\"", "</w:tbl><w:p><w:r><w:t>捶拜</w:t>"},
       {}},
      {"w:sym in a Sambhota font",
       Encoding::SAM, Encoding::HIMA,
       "<w:p><w:r><w:sym w:font=\"Dedris-a\" w:char=\"F062\"/></w:r></w:p>",
       {"w:cs=\"Microsoft Himalaya\""},
       {"w:sym"}},
      {"a unit split over two runs, a bookmark between them, stays one unit",
       Encoding::HIMA, Encoding::BZD,
       "<w:p><w:r w:rsidR=\"1\"><w:rPr><w:rFonts w:cs=\"Microsoft Himalaya\"/></w:rPr><w:t>བཀ</w:t></w:r>"
       "<w:bookmarkStart w:id=\"0\" w:name=\"x\"/><w:r w:rsidR=\"2\"><w:rPr><w:rFonts w:cs=\"Microsoft Himalaya\"/>"
       "<w:b/></w:rPr><w:t>ྲ་ཤིས</w:t></w:r></w:p>",
       {"<w:bookmarkStart w:id=\"0\" w:name=\"x\"/><w:r w:rsidR=\"2\"><w:rPr><w:rFonts w:ascii=\"BZDBT\""},
       {"FF0000", "ྲ"}},
      {"a run in a text box inside a run: both converted, the box kept around the inner one",
       Encoding::HIMA, Encoding::BZD,
       "<w:p><w:r><w:rPr><w:rFonts w:cs=\"Microsoft Himalaya\"/></w:rPr>" + tib + "<w:pict><v:shape><v:textbox>"
       "<w:txbxContent><w:p><w:r><w:rPr><w:rFonts w:cs=\"Microsoft Himalaya\"/></w:rPr><w:t>ཡིག</w:t></w:r></w:p>"
       "</w:txbxContent></v:textbox></v:shape></w:pict></w:r></w:p>",
       {"<w:rPr><w:rFonts w:cs=\"Microsoft Himalaya\"/></w:rPr><w:pict><v:shape><v:textbox><w:txbxContent><w:p><w:r>"
        "<w:rPr><w:rFonts w:ascii=\"BZDBT\"",
        "</w:r></w:p></w:txbxContent></v:textbox></v:shape></w:pict></w:r></w:p>"},
       {"བོད", "ཡིག"}},
      {"unknown Tibetan character marked red in its own font",
       Encoding::HIMA, Encoding::BZD,
       "<w:p><w:r><w:rPr><w:rFonts w:cs=\"Microsoft Himalaya\"/><w:color w:val=\"0000FF\"/><w:sz w:val=\"20\"/></w:rPr><w:t>\u0FD5</w:t></w:r></w:p>",
       {"<w:rPr><w:rFonts w:cs=\"Microsoft Himalaya\"/><w:color w:val=\"FF0000\"/><w:sz w:val=\"20\"/></w:rPr>"},
       {"0000FF"}},
  };
  for (const WordCase& c : cases) {
    SCOPED_TRACE(c.what);
    Outcome outcome;
    const std::string out = convertOk(wordPackage(c.body), c.from, c.to, outcome);
    const auto after = entries(out);
    const std::string& xml = after.at("word/document.xml");
    for (const auto& e : c.expected) EXPECT_NE(xml.find(e), std::string::npos) << e << "\n" << xml;
    for (const auto& e : c.unexpected) EXPECT_EQ(xml.find(e), std::string::npos) << e << "\n" << xml;
    EXPECT_EQ(after.at("word/media/image1.png"), std::string("\x89PNG\r\n\x1a\n", 8));
  }
}

// List labels are drawn in the fonts of their own levels: a Tibetan label is
// converted (and comes back as it was), a symbol bullet is left alone. A
// label has one font: one with a character that cannot be converted, or (in
// Sambhota) whose glyphs lie in two fonts, stays as it was and is red.
TEST(DocxWordForms, ListLabelsInTheirOwnFonts) {
  const std::string labels[] = {"<w:lvlText w:val=\"%1&quot;ཀ།\"/>", "<w:lvlText w:val='ཀྵ%2'/>",
                                "<w:lvlText w:val=\"\xEF\x82\xB7\"/>"};
  const std::string levels =
      "<w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/>" + labels[0] +
      "<w:rPr><w:rFonts w:cs=\"Microsoft Himalaya\"/><w:cs/></w:rPr></w:lvl>"
      "<w:lvl w:ilvl=\"1\">" + labels[1] + "</w:lvl>"  // the theme's Tibetan face, by default
      "<w:lvl w:ilvl=\"2\">" + labels[2] + "<w:rPr><w:rFonts w:ascii=\"Symbol\" w:hAnsi=\"Symbol\"/></w:rPr></w:lvl>"
      "<w:lvl w:ilvl=\"3\"><w:lvlText w:val=\"ཀ\u0FD5\"/></w:lvl>";
  const std::string numbering = std::string("<w:numbering ") + kW + "><w:abstractNum w:abstractNumId=\"0\">" + levels +
                                "</w:abstractNum></w:numbering>";
  const std::string body = "<w:p><w:r><w:t>a</w:t></w:r></w:p>";
  Outcome outcome;
  const auto bzd = entries(convertOk(wordPackage(body, {{"word/numbering.xml", numbering}}), Encoding::HIMA,
                                     Encoding::BZD, outcome));
  const std::string& xml = bzd.at("word/numbering.xml");
  EXPECT_EQ(outcome.changedParts, std::vector<std::string>{"word/numbering.xml"});
  EXPECT_EQ(outcome.stats.red, 2u);  // the last label
  EXPECT_NE(xml.find("<w:lvlText w:val=\"ཀ\u0FD5\"/><w:rPr><w:color w:val=\"FF0000\"/></w:rPr></w:lvl>"), std::string::npos)
      << xml;
  EXPECT_EQ(xml.find("ཀ།"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<w:lvlText w:val=\"%1&quot;"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<w:rPr><w:rFonts w:ascii=\"BZDBT\" w:hAnsi=\"BZDBT\" w:eastAsia=\"BZDBT\" w:cs=\"BZDBT\"/><w:cs/></w:rPr>"),
            std::string::npos) << xml;
  EXPECT_NE(xml.find("%2'/><w:rPr><w:rFonts w:ascii=\"BZDBT\""), std::string::npos) << xml;
  EXPECT_NE(xml.find(labels[2] + "<w:rPr><w:rFonts w:ascii=\"Symbol\""), std::string::npos) << xml;
  EXPECT_NE(bzd.at("word/fontTable.xml").find("w:name=\"BZDBT\""), std::string::npos);
  std::string error;
  const auto parts = docxEncodings(makePackage(bzd), error);
  EXPECT_NE(std::find_if(parts.begin(), parts.end(), [](const PartEncodings& p) {
              return p.part == "word/numbering.xml" && p.encodings == std::vector{Encoding::BZD, Encoding::HIMA};
            }), parts.end());
  const auto back = entries(convertOk(makePackage(bzd), Encoding::BZD, Encoding::HIMA, outcome));
  for (const std::string& label : {labels[0], labels[1]}) {
    EXPECT_NE(back.at("word/numbering.xml").find(label), std::string::npos) << label;
  }
  const auto sam = entries(convertOk(wordPackage(body, {{"word/numbering.xml", numbering}}), Encoding::HIMA,
                                     Encoding::SAM, outcome));
  const std::string& samXml = sam.at("word/numbering.xml");
  EXPECT_NE(samXml.find(labels[0] + "<w:rPr><w:rFonts w:cs=\"Microsoft Himalaya\"/><w:color w:val=\"FF0000\"/><w:cs/>"),
            std::string::npos) << samXml;
  EXPECT_NE(samXml.find("%2'/><w:rPr><w:rFonts w:ascii=\"Ededris-b\""), std::string::npos) << samXml;
  EXPECT_EQ(outcome.stats.red, 4u);  // the characters of the first and the last label
  EXPECT_EQ(outcome.stats.converted, 1u);
}

// A level's w:rPr formats its label only: the runs of the paragraph it
// numbers keep their own fonts. A label with no font of its own is drawn in
// the paragraph style the level is linked to (w:pStyle), else in the default one.
TEST(DocxWordForms, ListLabelOverParagraphStyle) {
  const std::string numbering = std::string("<w:numbering ") + kW + "><w:abstractNum w:abstractNumId=\"0\">"
      "<w:lvl w:ilvl=\"0\"><w:lvlText w:val=\"捶%1\"/><w:rPr><w:rFonts w:eastAsia=\"BZDBT\"/></w:rPr></w:lvl>"
      "<w:lvl w:ilvl=\"1\"><w:pStyle w:val=\"BzdList\"/><w:lvlText w:val=\"拜%2\"/></w:lvl>"
      "<w:lvl w:ilvl=\"2\"><w:lvlText w:val=\"翟%3\"/></w:lvl></w:abstractNum>"
      "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num></w:numbering>";
  const std::string body = "<w:p><w:pPr><w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr></w:pPr>"
                           "<w:r><w:t>捶拜</w:t></w:r></w:p>";
  Outcome outcome;
  const auto out = entries(convertOk(wordPackage(body, {{"word/numbering.xml", numbering}}), Encoding::BZD,
                                     Encoding::HIMA, outcome));
  const std::string& xml = out.at("word/numbering.xml");
  EXPECT_EQ(outcome.changedParts, std::vector<std::string>{"word/numbering.xml"});
  EXPECT_EQ(outcome.stats.converted, 2u);
  EXPECT_EQ(xml.find("捶%1"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<w:pStyle w:val=\"BzdList\"/><w:lvlText w:val=\"\u0F51%2\"/><w:rPr><w:rFonts w:ascii=\"Microsoft Himalaya\""),
            std::string::npos) << xml;
  EXPECT_NE(xml.find("<w:lvlText w:val=\"翟%3\"/></w:lvl>"), std::string::npos) << xml;
  EXPECT_NE(out.at("word/document.xml").find("<w:r><w:t>捶拜</w:t></w:r>"), std::string::npos);
}

// A chain between two legacy encodings goes through Unicode.
// Sambhota stacks are glyphs of several fonts, one run or span each: going
// on to a national encoding, each stack is still one unit (nothing red).
TEST(DocxWordForms, ChainThroughUnicode) {
  Outcome outcome;
  const std::string out = convertOk(readData("lo-bzd.docx"), Encoding::BZD, Encoding::SAM, outcome);
  const std::string xml = entries(out).at("word/document.xml");
  EXPECT_NE(xml.find("w:cs=\"Ededris-a\""), std::string::npos);
  EXPECT_EQ(xml.find("捶拜"), std::string::npos);
  convertOk(readData("lo-sam.docx"), Encoding::SAM, Encoding::BZD, outcome);
  EXPECT_EQ(outcome.stats.red, 0u);
  std::string odt;
  outcome = odt::convertOdt(readData("lo-sam.odt"), Encoding::SAM, Encoding::BZD, conv::Options{}, odt);
  EXPECT_GT(outcome.stats.converted, 50u);
  EXPECT_EQ(outcome.stats.red, 0u);
}

TEST(DocxPackage, BadPackagesAreRefusedWithAMessage) {
  const std::string zeros(4 << 20, '\0');
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"not a zip at all", "not a valid zip package"},
      {readData("lo-hima.docx").substr(0, 3000), "not a valid zip package"},
      {makePackage({{"word/document.xml", document("")}, {"big.bin", zeros}}), "zip bomb"},
      {makePackage({{"other.xml", "<a/>"}}), "no word/document.xml"},
      {makePackage({{"word/document.xml", "<!DOCTYPE w [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><w:document/>"}}),
       "document type declarations are not accepted"},
      {makePackage({{"word/document.xml", document("<w:p><w:r><w:t>a</w:p>")}}), "not well-formed"},
      {makePackage({{"word/document.xml", document("<w:p><w:r><w:t>&ext;</w:t></w:r></w:p>")}}), "not well-formed"},
  };
  for (const auto& [package, message] : cases) {
    std::string out = "stale";
    const Outcome outcome = convertDocx(package, Encoding::HIMA, Encoding::BZD, conv::Options{}, out);
    EXPECT_NE(outcome.error.find(message), std::string::npos) << outcome.error;
    EXPECT_TRUE(out.empty());
  }
}

TEST(DocxDetect, EncodingsPerPart) {
  std::string error;
  const auto parts = docxEncodings(readData("lo-bzd.docx"), error);
  ASSERT_TRUE(error.empty()) << error;
  bool body = false;
  for (const auto& p : parts) {
    if (p.part == "word/document.xml") {
      body = true;
      EXPECT_NE(std::find(p.encodings.begin(), p.encodings.end(), Encoding::BZD), p.encodings.end());
    }
  }
  EXPECT_TRUE(body);
}

// LibreOffice reads the converted package with its table and footnote.
TEST(DocxOffice, ConvertedDocumentOpensInLibreOffice) {
  if (!findOffice()) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
  Outcome outcome;
  const std::string out = convertOk(readData("lo-hima.docx"), Encoding::HIMA, Encoding::BZD, outcome);
  testing::TempFolder folder;
  const std::string path = folder.write("converted.docx", out);
  const RtfBytes rtf = openAsRtf(path);
  ASSERT_TRUE(rtf.ok()) << rtf.error;
  EXPECT_NE(rtf.bytes.find("\\trowd"), std::string::npos);
  EXPECT_NE(rtf.bytes.find("\\footnote"), std::string::npos);
  EXPECT_NE(rtf.bytes.find("BZDBT"), std::string::npos);
}

// Everything but the text and the declarations of styles and fonts.
std::string withoutSpansAndText(const std::string& xml) {
  std::string out;
  bool inTag = false;
  for (char c : xml) {
    if (c == '<') inTag = true;
    if (inTag) out += c;
    if (c == '>') inTag = false;
  }
  for (const std::string& drop : {std::string("<text:span text:style-name=\"Yigsgyur_T"), std::string("<style:")}) {
    for (std::size_t at; (at = out.find(drop)) != std::string::npos;) out.erase(at, out.find('>', at) - at + 1);
  }
  for (std::size_t at; (at = out.find("</text:span>")) != std::string::npos;) out.erase(at, 12);
  for (std::size_t at; (at = out.find("</style:")) != std::string::npos;) out.erase(at, out.find('>', at) - at + 1);
  return out;
}

struct Case {
  const char* file;
  Encoding encoding;
  const char* font;
};

TEST(OdtConvert, LibreOfficeDocumentsBothWays) {
  const Case cases[] = {{"lo-bzd.odt", Encoding::BZD, "BZDBT"},
                        {"lo-ty.odt", Encoding::TY, "CHINATIBET"},
                        {"lo-hg.odt", Encoding::HG, "A-Tibetan"},
                        {"lo-fz.odt", Encoding::FZ, "方正藏文新白体"},
                        {"lo-sam.odt", Encoding::SAM, "Ededris-a"}};
  for (const Case& c : cases) {
    for (const bool toUnicode : {true, false}) {
      SCOPED_TRACE(std::string(c.file) + (toUnicode ? " to HIMA" : " from HIMA"));
      const std::string input = readData(toUnicode ? c.file : "lo-hima.odt");
      std::string out;
      const auto outcome = odt::convertOdt(input, toUnicode ? c.encoding : Encoding::HIMA,
                                      toUnicode ? Encoding::HIMA : c.encoding, conv::Options{}, out);
      ASSERT_TRUE(outcome.ok()) << outcome.error;
      EXPECT_GT(outcome.stats.converted, 5u);
      const auto before = entries(input), after = entries(out);
      ASSERT_EQ(before.size(), after.size());
      for (const auto& [name, bytes] : before) {
        if (name == "content.xml" || name == "styles.xml") {
          EXPECT_EQ(withoutSpansAndText(bytes), withoutSpansAndText(after.at(name))) << name;
        } else {
          EXPECT_EQ(bytes, after.at(name)) << name;
        }
      }
      const std::string& content = after.at("content.xml");
      const std::string target = toUnicode ? "Microsoft Himalaya" : c.font;
      EXPECT_NE(content.find("svg:font-family=\"&apos;" + target + "&apos;\""), std::string::npos);
      EXPECT_NE(content.find("style:font-name-complex=\"" + target + "\""), std::string::npos);
      EXPECT_NE(content.find("<text:span text:style-name=\"Yigsgyur_T1\">"), std::string::npos);
    }
  }
}

// A flat document: the font comes from a paragraph style's parent, the
// default style draws the rest; red marks get a style of their own.
TEST(OdtConvert, FlatDocumentStylesAndRedMarks) {
  const std::string fodt =
      "<?xml version=\"1.0\"?><office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
      "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
      "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
      "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
      "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\">"
      "<office:font-face-decls><style:font-face style:name=\"Himalaya1\" svg:font-family=\"&apos;Microsoft Himalaya&apos;\"/>"
      "</office:font-face-decls><office:styles>"
      "<style:default-style style:family=\"paragraph\"><style:text-properties style:font-name=\"Liberation Serif\"/></style:default-style>"
      "<style:style style:name=\"Tib\" style:family=\"paragraph\"><style:text-properties style:font-name-complex=\"Himalaya1\"/></style:style>"
      "<style:style style:name=\"TibBig\" style:family=\"paragraph\" style:parent-style-name=\"Tib\"/>"
      "</office:styles><office:automatic-styles/><office:body><office:text>"
      "<text:p text:style-name=\"TibBig\">Tibet བོད \u0FD5</text:p><text:p>བོད</text:p>"
      "</office:text></office:body></office:document>";
  std::string out;
  const auto outcome = odt::convertFodt(fodt, Encoding::HIMA, Encoding::BZD, conv::Options{}, out);
  ASSERT_TRUE(outcome.ok()) << outcome.error;
  EXPECT_EQ(outcome.stats.red, 1u);
  for (const std::string expected :
       {"<office:automatic-styles><style:style style:name=\"Yigsgyur_T1\" style:family=\"text\">"
        "<style:text-properties style:font-name=\"BZDBT\" style:font-name-asian=\"BZDBT\" style:font-name-complex=\"BZDBT\"/>",
        "<style:text-properties fo:color=\"#ff0000\"/>",
        "<style:font-face style:name=\"BZDBT\" svg:font-family=\"&apos;BZDBT&apos;\"/></office:font-face-decls>",
        "<text:p text:style-name=\"TibBig\">Tibet <text:span text:style-name=\"Yigsgyur_T1\">",
        "<text:span text:style-name=\"Yigsgyur_T2\">\u0FD5</text:span></text:p><text:p>བོད</text:p>"}) {
    EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
  }
  EXPECT_NE(odt::convertFodt("<office:document><text:p>", Encoding::HIMA, Encoding::BZD, conv::Options{}, out).error.find(
                "not well-formed"),
            std::string::npos);
}

// Spaces, tabs and line breaks inside a paragraph end a unit (as a space ends a
// syllable), and each stays in its place; the text on both sides is converted.
TEST(OdtConvert, SpacesTabsAndBreaksBetweenSpans) {
  const std::string head =
      "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
      "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
      "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:styles>"
      "<style:style style:name=\"S\" style:family=\"text\"><style:text-properties style:font-name=\"Dedris-a\"/></style:style>"
      "<style:style style:name=\"H\" style:family=\"text\"><style:text-properties style:font-name-complex=\"Microsoft Himalaya\"/></style:style>"
      "</office:styles><office:body><office:text>";
  const std::string marks[] = {"<text:s text:c=\"2\"/>", "<text:tab/>", "<text:line-break/>", "<text:s/>"};
  struct Case {
    Encoding from, to;
    std::string style, text;
  } cases[] = {{Encoding::SAM, Encoding::HIMA, "S", "\xEF\x81\xA2"},   // U+F062, a Sambhota glyph
               {Encoding::HIMA, Encoding::BZD, "H", "བཀྲ"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    std::string paragraph;
    for (const std::string& mark : marks) {
      paragraph += "<text:span text:style-name=\"" + c.style + "\">" + c.text + "</text:span>" + mark;
    }
    const std::string fodt = head + "<text:p>" + paragraph + c.text + "</text:p></office:text></office:body></office:document>";
    std::string out;
    const auto outcome = odt::convertFodt(fodt, c.from, c.to, conv::Options{}, out);
    ASSERT_TRUE(outcome.ok()) << outcome.error;
    EXPECT_EQ(outcome.stats.red, 0u) << out;
    EXPECT_GE(outcome.stats.converted, 4u) << out;
    std::size_t at = 0;
    for (const std::string& mark : marks) {
      const std::size_t found = out.find(mark, at);
      ASSERT_NE(found, std::string::npos) << mark << "\n" << out;
      EXPECT_EQ(out.rfind("</text:span></text:span>", found), found - 24) << mark << "\n" << out;
      at = found + mark.size();
    }
    // Only the last piece, in the paragraph's own font, is left as it was.
    EXPECT_EQ(out.find(c.text), out.rfind(marks[3]) + marks[3].size()) << out;
  }
}

// List labels: a bullet is drawn in the fonts of its level's text
// properties, a number's prefix and suffix (and the text around the numbers in
// loext:num-list-format) in those of the level's character style, which a
// new common style over it replaces; a label that cannot be converted stays
// and is red. A list style of content.xml gets its new style in styles.xml.
TEST(OdtConvert, ListLabelsInTheirOwnFonts) {
  const std::string ns =
      "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
      "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
      "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
      "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
      "xmlns:loext=\"urn:org:documentfoundation:names:experimental:office:xmlns:loext:1.0\" "
      "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\"";
  const std::string faces =
      "<office:font-face-decls><style:font-face style:name=\"Himalaya1\" svg:font-family=\"&apos;Microsoft Himalaya&apos;\"/>"
      "</office:font-face-decls>";
  const std::string levels =
      "<text:list-level-style-bullet text:level=\"1\" text:bullet-char=\"ཀ\"><style:list-level-properties/>"
      "<style:text-properties style:font-name=\"Himalaya1\"/></text:list-level-style-bullet>"
      "<text:list-level-style-number text:level=\"2\" text:style-name=\"Tib\" loext:num-list-format=\"ཁ%2%།\" "
      "style:num-prefix=\"ཁ\" style:num-suffix=\"།\" style:num-format=\"1\"/>"
      "<text:list-level-style-number text:level=\"3\" style:num-prefix=\"ག\" style:num-format=\"1\"/>"
      "<text:list-level-style-bullet text:level=\"4\" text:bullet-char=\"\u0FD5\"><style:text-properties "
      "style:font-name=\"Himalaya1\"/></text:list-level-style-bullet>";
  const std::string tib = "<style:style style:name=\"Tib\" style:family=\"text\"><style:text-properties "
                          "style:font-name-complex=\"Himalaya1\"/></style:style>";
  const std::string fodt = "<office:document " + ns + ">" + faces + "<office:styles>" + tib +
                           "<text:list-style style:name=\"L1\">" + levels + "</text:list-style></office:styles>"
                           "<office:body><office:text><text:p>a</text:p></office:text></office:body></office:document>";
  std::string bzd, back;
  auto outcome = odt::convertFodt(fodt, Encoding::HIMA, Encoding::BZD, conv::Options{}, bzd);
  ASSERT_TRUE(outcome.ok()) << outcome.error;
  EXPECT_EQ(outcome.stats.red, 1u);
  EXPECT_EQ(outcome.stats.converted, 5u);
  for (const std::string expected :
       {"<style:text-properties style:font-name=\"BZDBT\" style:font-name-asian=\"BZDBT\" style:font-name-complex=\"BZDBT\"/>"
        "</text:list-level-style-bullet>",
        "<text:list-level-style-number text:level=\"2\" text:style-name=\"Yigsgyur_L1\" loext:num-list-format=\"",
        "%2%", "<text:list-level-style-number text:level=\"3\" style:num-prefix=\"ག\" style:num-format=\"1\"/>",
        "text:bullet-char=\"\u0FD5\"><style:text-properties style:font-name=\"Himalaya1\" fo:color=\"#ff0000\"/>",
        "<style:style style:name=\"Yigsgyur_L1\" style:family=\"text\" style:parent-style-name=\"Tib\"><style:text-properties "
        "style:font-name=\"BZDBT\" style:font-name-asian=\"BZDBT\" style:font-name-complex=\"BZDBT\"/></style:style>"
        "</office:styles>",
        "<style:font-face style:name=\"BZDBT\" svg:font-family=\"&apos;BZDBT&apos;\"/></office:font-face-decls>"}) {
    EXPECT_NE(bzd.find(expected), std::string::npos) << expected << "\n" << bzd;
  }
  EXPECT_EQ(bzd.find("ཁ"), std::string::npos) << bzd;
  EXPECT_EQ(bzd.find("ཀ"), std::string::npos) << bzd;
  ASSERT_TRUE(odt::convertFodt(bzd, Encoding::BZD, Encoding::HIMA, conv::Options{}, back).ok());
  for (const std::string expected : {"text:bullet-char=\"ཀ\"", "loext:num-list-format=\"ཁ%2%།\" style:num-prefix=\"ཁ\" style:num-suffix=\"།\""}) {
    EXPECT_NE(back.find(expected), std::string::npos) << expected << "\n" << back;
  }

  // The list style in content.xml, its new character style in styles.xml.
  const std::string content = "<office:document-content " + ns + ">" + faces + "<office:automatic-styles>"
                              "<text:list-style style:name=\"L1\">" + levels + "</text:list-style></office:automatic-styles>"
                              "<office:body><office:text><text:p>a</text:p></office:text></office:body></office:document-content>";
  const std::string styles = "<office:document-styles " + ns + "><office:styles>" + tib +
                             "</office:styles></office:document-styles>";
  std::string out;
  outcome = odt::convertOdt(makePackage({{"content.xml", content}, {"styles.xml", styles}}), Encoding::HIMA,
                            Encoding::BZD, conv::Options{}, out);
  ASSERT_TRUE(outcome.ok()) << outcome.error;
  EXPECT_EQ(outcome.changedParts, (std::vector<std::string>{"content.xml", "styles.xml"}));
  const auto parts = entries(out);
  EXPECT_NE(parts.at("content.xml").find("text:style-name=\"Yigsgyur_L1\""), std::string::npos);
  EXPECT_NE(parts.at("styles.xml").find("<office:font-face-decls><style:font-face style:name=\"BZDBT\""), std::string::npos)
      << parts.at("styles.xml");
  EXPECT_NE(parts.at("styles.xml").find("style:name=\"Yigsgyur_L1\""), std::string::npos);
  std::string error;
  const auto found = odt::odtEncodings(makePackage({{"content.xml", content}, {"styles.xml", styles}}), error);
  ASSERT_FALSE(found.empty()) << error;
  EXPECT_EQ(found.back().part, "content.xml");
  EXPECT_EQ(found.back().encodings, std::vector{Encoding::HIMA});
}

// A content.xml large enough to be compressed while it is made: the styles
// declared at the end come before the body, and the package reads back.
TEST(OdtConvert, LargeContentStreamed) {
  const std::string input = readData("lo-hima.odt");
  auto parts = entries(input);
  std::string& content = parts.at("content.xml");
  std::string body;
  for (unsigned n = 1; body.size() < (5u << 20); n = n * 1103515245u + 12345u) {
    body += "<text:p text:style-name=\"P5\"><text:span text:style-name=\"T2\">བཀྲ་ཤིས་བདེ་ལེགས།</text:span> No. " +
            std::to_string(n % 100000) + "</text:p>";
  }
  content.insert(content.find("</office:text>"), body);
  std::string out;
  const auto outcome = odt::convertOdt(makePackage(parts), Encoding::HIMA, Encoding::BZD, conv::Options{}, out);
  ASSERT_TRUE(outcome.ok()) << outcome.error;
  const std::string converted = entries(out).at("content.xml");
  const std::size_t bodyAt = converted.find("<office:body>");
  EXPECT_LT(converted.find("<style:style style:name=\"Yigsgyur_T1\""), bodyAt);
  EXPECT_LT(converted.find("svg:font-family=\"&apos;BZDBT&apos;\""), bodyAt);
  EXPECT_EQ(converted.find("བཀྲ"), std::string::npos);
  EXPECT_EQ(converted.substr(converted.size() - 60), content.substr(content.size() - 60));
  EXPECT_GT(converted.size(), content.size());
}

// LibreOffice reads the converted package with its table, footnote and the target font.
TEST(OdtConvert, ConvertedDocumentOpensInLibreOffice) {
  if (!findOffice()) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
  std::string out;
  ASSERT_TRUE(odt::convertOdt(readData("lo-hima.odt"), Encoding::HIMA, Encoding::BZD, conv::Options{}, out).ok());
  testing::TempFolder folder;
  folder.write("converted.odt", out);
  const std::string dir = folder.path().string();
  const std::string command = "cd '" + dir + "' && timeout 120 soffice -env:UserInstallation=file://" + dir +
                              "/profile --headless --convert-to fodt converted.odt >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(folder.file("converted.fodt"), std::ios::binary);
  const std::string fodt{std::istreambuf_iterator<char>(in), {}};
  for (const char* expected : {"<table:table ", "<text:note ", "svg:font-family=\"BZDBT\""}) {
    EXPECT_NE(fodt.find(expected), std::string::npos) << expected;
  }
}

}  // namespace
}  // namespace yig::docs::docx
