// The document corpus (Word-style RTF written by hand, and the same documents
// saved by LibreOffice) converted in every direction. Outside the runs the
// converter writes, the output must lex to the input's tokens byte for byte;
// the Tibetan of the body, table cells, footnote, header, footer, list, field
// result and bookmark must all come through.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/convert_core.h"
#include "richtext/rtf_lexer.h"

namespace yig::conv {
namespace {

namespace fs = std::filesystem;
using rtf::Token;
using rtf::TokenKind;

const fs::path kCorpus = fs::path(YIG_TEST_DATA_DIR) / "documents";

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<Token> lex(std::string_view rtf) {
  std::vector<Token> out;
  rtf::Lexer lexer(rtf);
  for (Token t = lexer.next(); t.kind != TokenKind::End; t = lexer.next()) out.push_back(t);
  return out;
}

// Index of the "}" closing the group opened at `open`.
std::size_t closing(const std::vector<Token>& t, std::size_t open) {
  int depth = 0;
  for (std::size_t i = open; i < t.size(); ++i) {
    if (t[i].kind == TokenKind::GroupOpen) ++depth;
    if (t[i].kind == TokenKind::GroupClose && --depth == 0) return i;
  }
  return t.size();
}

bool isText(const Token& t) {
  return t.kind == TokenKind::Text || t.kind == TokenKind::HexByte || t.is("u");
}

// The number of the font a font table entry declares (Word writes theme tags
// such as \fbiminor before the \f).
int entryFont(const std::vector<Token>& t, std::size_t open) {
  for (std::size_t k = open + 1, end = closing(t, open); k < end; ++k)
    if (t[k].is("f") && t[k].hasParam) return t[k].param;
  return -1;
}

// Font numbers of the font table and the number of colours in the colour table.
struct Tables {
  std::set<int> fonts;
  std::set<int> sambhota;  // Sambhota glyphs run on across these fonts' switches
  int colours = -1;  // -1: no colour table
};

Tables tablesOf(const std::vector<Token>& t) {
  Tables tables;
  for (std::size_t i = 0; i + 1 < t.size(); ++i) {
    if (t[i].kind != TokenKind::GroupOpen) continue;
    const std::size_t end = closing(t, i);
    if (t[i + 1].is("fonttbl")) {
      for (std::size_t j = i + 2; j < end; ++j) {
        if (t[j].kind != TokenKind::GroupOpen) continue;
        const int font = entryFont(t, j);
        tables.fonts.insert(font);
        const std::size_t entryEnd = closing(t, j);
        for (; j < entryEnd; ++j)
          if (t[j].kind == TokenKind::Text && t[j].bytes.find("edris-") != std::string_view::npos) tables.sambhota.insert(font);
      }
    } else if (t[i + 1].is("colortbl") && tables.colours < 0) {
      tables.colours = 0;
      for (std::size_t j = i + 2; j < end; ++j)
        if (t[j].kind == TokenKind::Text) tables.colours += static_cast<int>(std::count(t[j].bytes.begin(), t[j].bytes.end(), ';'));
    }
  }
  return tables;
}

// A group the converter wrote: it opens with font-slot and colour words only,
// naming a font or colour the input does not have.
bool isInserted(const std::vector<Token>& t, std::size_t open, const Tables& in, int red) {
  bool names = false;
  for (std::size_t i = open + 1; i < t.size() && t[i].kind == TokenKind::ControlWord && !t[i].is("u"); ++i) {
    const Token& w = t[i];
    if (w.is("f") || w.is("af")) {
      if (in.fonts.count(w.param)) return false;
      names = true;
    } else if (w.is("cf")) {
      if (w.param != red) return false;
      names = true;
    } else if (!(w.is("rtlch") || w.is("ltrch") || w.is("loch") || w.is("hich") || w.is("dbch"))) {
      return false;
    }
  }
  return names;
}

struct Item {
  bool text;  // a run of text tokens, with "\x01" for each converted run in it
  std::string bytes;
  bool operator==(const Item&) const = default;
};

// The tokens as items, with the converter's additions taken out: each group
// it wrote becomes a "\x01" marker, its font entries and its red colour are
// dropped. Runs of text are joined into one item, so that an input and its
// output line up item by item.
std::vector<Item> masked(const std::vector<Token>& t, const Tables& in) {
  const int red = in.colours < 0 ? 1 : in.colours;
  std::vector<Item> items;
  auto text = [&](std::string_view s) {
    if (items.empty() || !items.back().text) items.push_back({true, ""});
    items.back().bytes += s;
  };
  int depth = 0, fontDepth = -1, colourDepth = -1, colours = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const Token& k = t[i];
    if (k.kind == TokenKind::GroupOpen) {
      const bool fontTable = i + 1 < t.size() && t[i + 1].is("fonttbl");
      const bool colourTable = i + 1 < t.size() && t[i + 1].is("colortbl");
      if (isInserted(t, i, in, red)) {
        i = closing(t, i);
        text("\x01");
        continue;
      }
      if ((depth == fontDepth && !in.fonts.count(entryFont(t, i))) || (colourTable && in.colours < 0)) {
        i = closing(t, i);
        continue;
      }
      ++depth;
      if (fontTable) fontDepth = depth;
      if (colourTable) colourDepth = depth, colours = 0;
    } else if (k.kind == TokenKind::GroupClose) {
      if (depth == fontDepth) fontDepth = -1;
      if (depth == colourDepth) colourDepth = -1;
      --depth;
    } else if (depth == colourDepth && !k.is("colortbl")) {
      if (colours >= in.colours) continue;  // the added red
      if (k.kind == TokenKind::Text) colours += static_cast<int>(std::count(k.bytes.begin(), k.bytes.end(), ';'));
    }
    if (isText(k) || (k.is("f") && in.sambhota.count(k.param))) {
      text(k.bytes);
    } else {
      items.push_back({false, std::string(k.bytes)});
    }
  }
  return items;
}

// Every item of the output equals the input's, except text holding a
// converted run, which must stand where the input has text.
void expectSameOutsideRuns(std::string_view input, std::string_view output, const std::string& label) {
  const std::vector<Token> inTokens = lex(input), outTokens = lex(output);
  const Tables in = tablesOf(inTokens);
  const std::vector<Item> a = masked(inTokens, in), b = masked(outTokens, in);
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    if (a[i] == b[i] || (a[i].text && b[i].text && b[i].bytes.find('\x01') != std::string::npos)) continue;
    std::string context;
    for (std::size_t j = i > 3 ? i - 3 : 0; j < std::min(i + 4, std::min(a.size(), b.size())); ++j)
      context += "\n [" + a[j].bytes + "] [" + b[j].bytes + "]";
    ADD_FAILURE() << label << ": item " << i << " differs (input, output):" << context;
    return;
  }
  EXPECT_EQ(a.size(), b.size()) << label;
}

// The Unicode Tibetan (\uN) of an output by where it stands, taken inside the
// converter's runs or outside them. LibreOffice's page style table
// (\*\pgdsctbl) holds copies of the headers that no reader shows.
std::map<std::string, std::u16string> tibetanByPlace(std::string_view output, std::string_view input, bool inRuns) {
  const std::vector<Token> t = lex(output);
  const Tables in = tablesOf(lex(input));
  struct State {
    std::string place = "body";
    bool inTable = false, run = false;
  };
  std::vector<State> stack{State{}};
  std::map<std::string, std::u16string> out;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const Token& k = t[i];
    if (k.kind == TokenKind::GroupOpen) {
      stack.push_back(stack.back());
      if (isInserted(t, i, in, in.colours < 0 ? 1 : in.colours)) stack.back().run = true;
    }
    if (k.kind == TokenKind::GroupClose && stack.size() > 1) stack.pop_back();
    if (k.kind != TokenKind::ControlWord) continue;
    State& s = stack.back();
    const std::string_view six = k.name.substr(0, 6);
    if (s.place == "pgdsctbl") continue;
    if (k.is("pgdsctbl") || k.is("footnote") || k.is("fldrslt")) s.place = std::string(k.name);
    if (!k.hasParam && (six == "header" || six == "footer")) s.place = std::string(six);
    if (k.is("intbl")) s.inTable = true;
    if (k.is("pard")) s.inTable = false;
    const char16_t c = static_cast<char16_t>(k.param & 0xFFFF);
    if (k.is("u") && c >= 0x0F00 && c <= 0x0FFF && s.run == inRuns) out[s.place == "body" && s.inTable ? "cell" : s.place] += c;
  }
  return out;
}

// The Tibetan every corpus document holds, and where.
struct Phrase {
  const char* place;
  std::u16string text;
};
const std::vector<Phrase> kPhrases = {
    {"header", u"མགོ་བྱང"},          {"footer", u"ཤོག་ངོས"},      {"body", u"བོད་ཡིག"},
    {"body", u"བཀྲ་ཤིས་བདེ་ལེགས།"},  {"footnote", u"མཆན་འགྲེལ།"},  {"body", u"ཡིག་ཆ"},  // bookmark, character style
    {"fldrslt", u"དྲ་ཚིགས"},         {"body", u"དང་པོ"},           {"body", u"ལྷ་ས"},   // list item, \uc2 run
    {"cell", u"རྒྱ་མཚོ"},            {"cell", u"ཀ་ཁ་ག"},          {"cell", u"ཆུ"},
};

std::string code(Encoding e) {
  const std::u16string_view c = info(e).code;
  return std::string(c.begin(), c.end());
}

// Converts a corpus document from its encoding to `to` and, unless `to` is
// Unicode, on to Unicode; checks each stage outside the converted runs, that
// no Unicode Tibetan is left outside the runs, and that every phrase reached
// its place, except in the places `skip` names.
void checkConversion(const std::string& file, Encoding from, Encoding to, const std::set<std::string>& skip = {}) {
  const std::string input = readFile(kCorpus / file);
  ASSERT_FALSE(input.empty()) << file;
  const std::string label = file + " " + code(from) + ">" + code(to);
  std::string out;
  Result r = convert(input, from, to, {}, out);
  ASSERT_TRUE(r.ok()) << label;
  EXPECT_EQ(r.stats.red, 0u) << label;
  expectSameOutsideRuns(input, out, label);
  if (to != Encoding::HIMA) {
    for (const auto& [place, text] : tibetanByPlace(out, input, false))
      EXPECT_TRUE(skip.count(place) || place == "pgdsctbl") << label << ": Unicode Tibetan left in " << place;
  }
  std::string unicode = out;
  std::string_view before = input;
  if (to != Encoding::HIMA) {
    r = convert(out, to, Encoding::HIMA, {}, unicode);
    ASSERT_TRUE(r.ok()) << label << ">HIMA";
    EXPECT_EQ(r.stats.red, 0u) << label << ">HIMA";
    expectSameOutsideRuns(out, unicode, label + ">HIMA");
    before = out;
  }
  const auto places = tibetanByPlace(unicode, before, true);
  for (const Phrase& p : kPhrases) {
    if (skip.count(p.place)) continue;
    auto it = places.find(p.place);
    EXPECT_TRUE(it != places.end() && it->second.find(p.text) != std::u16string::npos)
        << label << ": " << p.place << " lacks phrase " << (&p - kPhrases.data());
  }
}

const std::vector<std::pair<std::string, Encoding>> kSources = {{"hima", Encoding::HIMA}, {"bzd", Encoding::BZD},
                                                                {"ty", Encoding::TY},     {"fz", Encoding::FZ},
                                                                {"hg", Encoding::HG},     {"sam", Encoding::SAM}};

// Each document to Unicode and on, Unicode to each of the six others and
// back, and chains between the legacy encodings.
TEST(DocumentCorpus, EveryConversionKeepsTheDocumentAndConvertsAllItsTibetan) {
  for (const std::string maker : {"word", "lo"}) {
    for (const auto& [name, from] : kSources) {
      std::set<std::string> skip;
      // LibreOffice writes the link's Unicode run as {\rtlch\af13 ... \rtlch\af10 ...}:
      // its own character style's Times comes last and wins when read back.
      if (maker == "lo" && from == Encoding::HIMA) skip.insert("fldrslt");
      for (const EncodingInfo& target : encodings()) {
        if (target.id == from || (from != Encoding::HIMA && target.id == Encoding::HKA)) continue;
        checkConversion(maker + "-" + name + ".rtf", from, target.id, skip);
      }
    }
  }
}

// Word writes Sambhota text one group per font, so a vowel in Dedris-vowa
// stands in a group of its own: `{\f40 $}{\f41 R}` (ག + ོ). Converted to a
// national encoding, the vowel joins its letter (གོ is one national code), as
// Unicode input split between two groups does: `{\f1 \u3906?}{\f1 \u3964?}`
// HIMA to BZD gives \'b1\'e3 like `{\f1 \u3906?\u3964?}`.
TEST(DocumentCorpus, SambhotaToNationalJoinsASyllableSplitBetweenGroups) {
  std::string out;
  const std::string split =
      "{\\rtf1\\ansi{\\fonttbl{\\f1\\fnil Microsoft Himalaya;}}\\pard {\\f1 \\u3906?}{\\f1 \\u3964?}\\par}";
  ASSERT_TRUE(convert(split, Encoding::HIMA, Encoding::BZD, {}, out).ok());
  EXPECT_NE(out.find("\\'b1\\'e3"), std::string::npos) << out;
}

// LibreOffice writes footnotes as {\*\footnote ...} and the name 方正藏文新白体
// in Shift-JIS bytes under \fcharset128: both are read (the documents above
// include them).

TEST(DocumentCorpus, LibreOfficeOpensAConvertedDocumentWhole) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "soffice not installed";
  const fs::path dir = fs::temp_directory_path() / ("yig-corpus-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string out;
  ASSERT_TRUE(convert(readFile(kCorpus / "word-bzd.rtf"), Encoding::BZD, Encoding::HIMA, {}, out).ok());
  std::ofstream(dir / "converted.rtf", std::ios::binary) << out;
  const std::string cmd = "cd '" + dir.string() + "' && timeout 120 soffice -env:UserInstallation=file://" +
                          dir.string() + "/profile --headless --convert-to fodt converted.rtf >/dev/null 2>&1";
  const int rc = std::system(cmd.c_str());
  const std::string fodt = readFile(dir / "converted.fodt");
  fs::remove_all(dir);
  ASSERT_EQ(rc, 0);
  ASSERT_FALSE(fodt.empty());
  EXPECT_NE(fodt.find("<table:table "), std::string::npos);
  EXPECT_NE(fodt.find("<text:note "), std::string::npos);
  EXPECT_NE(fodt.find("<style:header"), std::string::npos);
  std::size_t pictures = 0;
  for (std::size_t at = fodt.find("<draw:image"); at != std::string::npos; at = fodt.find("<draw:image", at + 1)) ++pictures;
  EXPECT_EQ(pictures, 2u);
  for (const char* utf8 : {"རྒྱ་མཚོ", "མཆན་འགྲེལ།", "མགོ་བྱང", "བཀྲ་ཤིས་བདེ་ལེགས།"})
    EXPECT_NE(fodt.find(utf8), std::string::npos) << utf8;
}

}  // namespace
}  // namespace yig::conv
