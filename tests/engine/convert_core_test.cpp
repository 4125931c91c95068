// The conversion core on the forms real writers use: which characters are
// converted (by the font that draws them), what is copied unchanged, and the
// refusals.
#include <gtest/gtest.h>

#include "engine/convert_core.h"

namespace yig::conv {
namespace {

// f0 Times, f1 Microsoft Himalaya, f2 BZDBT (GBK), f3 BZDBT declared Western,
// f4 Dedris-a, f5 SimSun.
constexpr std::string_view kHeader =
    "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fnil\\fcharset0 Microsoft "
    "Himalaya;}{\\f2\\fnil\\fcharset134 BZDBT;}{\\f3\\fnil\\fcharset0 bzdbt (Body CS);}{\\f4\\fnil\\fcharset2 "
    "Dedris-a;}{\\f5\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}{\\colortbl;\\red0\\green0\\blue255;}"
    "{\\stylesheet{\\s7\\rtlch\\af1\\ltrch\\f0 Tibetan Body;}}\n";

std::string doc(std::string_view body) { return std::string(kHeader) + std::string(body) + "}"; }

struct Case {
  const char* name;
  Encoding from, to;
  std::string body;
  std::vector<std::string> present;  // in the output
  std::vector<std::string> absent;   // not in the output
  std::size_t converted;
};

// U+0F40 KA is "\'b0\'d3" in BZD (U+575D).
const std::vector<Case>& cases() {
  static const std::vector<Case> all = {
      {"plain \\f run", Encoding::HIMA, Encoding::BZD, "\\pard\\f1 \\u3904?\\par", {"\\'b0\\'d3"}, {"\\u3904"}, 1},
      {"complex slot only, as LibreOffice writes it", Encoding::HIMA, Encoding::BZD,
       "{\\rtlch\\af1 \\ltrch \\u3904\\'3f}", {"\\'b0\\'d3}"}, {"\\u3904"}, 1},
      {"style gives the font", Encoding::HIMA, Encoding::BZD, "\\pard\\plain\\s7 \\u3904?\\par", {"\\'b0\\'d3"}, {}, 1},
      {"Tibetan in a Latin font stays", Encoding::HIMA, Encoding::BZD, "\\f0 \\u3904?", {"\\f0 \\u3904?"}, {}, 0},
      {"Chinese inside a Tibetan run keeps its own font", Encoding::HIMA, Encoding::BZD,
       "\\f1 \\u3904?\\u20013?\\u3904?", {"}\\u20013?{"}, {}, 2},
      {"\\uc2 fallbacks are consumed with their escape", Encoding::HIMA, Encoding::BZD,
       "{\\uc2\\f1 \\u3904\\'b0\\'d3 x}", {"\\'b0\\'d3} x}"}, {"\\u3904"}, 1},
      {"GBK pair in a GBK font", Encoding::BZD, Encoding::HIMA, "\\f2 \\'b0\\'d3", {"\\u3904?"}, {"\\'b0\\'d3"}, 1},
      {"GBK pair under a wrong \\fcharset0, name in other case", Encoding::BZD, Encoding::HIMA, "\\f3 \\'b0\\'d3",
       {"\\u3904?"}, {}, 1},
      {"LibreOffice form \\uN\\'3f", Encoding::BZD, Encoding::HIMA,
       "{\\dbch\\af2 \\u22365\\'3f}", {"\\u3904?"}, {"\\u22365"}, 1},
      {"pair split across groups", Encoding::BZD, Encoding::HIMA, "{\\f2 \\'b0}{\\f2 \\'d3}", {"\\u3904?}}{"}, {}, 1},
      {"Sambhota glyphs, raw and symbol-font form", Encoding::SAM, Encoding::HIMA, "\\f4 !{\\u61473\\'21}",
       {"\\u3904"}, {}, 2},
      {"field instructions and pictures are not text", Encoding::HIMA, Encoding::BZD,
       "{\\field{\\*\\fldinst {\\f1 \\u3904?}}{\\fldrslt {\\f1 \\u3904?}}}{\\pict\\f1 \\u3904?}",
       {"{\\*\\fldinst {\\f1 \\u3904?}}", "{\\pict\\f1 \\u3904?}"}, {}, 1},
  };
  return all;
}

TEST(ConvertCore, ConvertsWhatTheFontsSayAndCopiesTheRest) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    std::string out;
    const Result r = convert(doc(c.body), c.from, c.to, {}, out);
    ASSERT_TRUE(r.ok()) << std::string(r.message.begin(), r.message.end());
    EXPECT_EQ(r.stats.converted, c.converted) << out;
    for (const std::string& s : c.present) EXPECT_NE(out.find(s), std::string::npos) << s << "\n" << out;
    for (const std::string& s : c.absent) EXPECT_EQ(out.find(s), std::string::npos) << s << "\n" << out;
    // Everything before the body is the input's, with the added font and red.
    EXPECT_EQ(out.compare(0, 12, std::string(kHeader).substr(0, 12)), 0);
    EXPECT_NE(out.find("\\red255\\green0\\blue0;}"), std::string::npos);
  }
}

TEST(ConvertCore, UnknownUnitsAreRedAndKeepTheirBytes) {
  std::string out;
  // U+0FD0 has no national code.
  const Result r = convert(doc("\\f1 \\u4048?\\u3904?"), Encoding::HIMA, Encoding::BZD, {}, out);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.stats.red, 1u);
  ASSERT_EQ(r.stats.firstRed.size(), 1u);
  EXPECT_EQ(r.stats.firstRed[0].text, u"\u0FD0");
  EXPECT_NE(out.find("{\\cf2 \\u4048?}"), std::string::npos) << out;  // red after the document's two colours
}

TEST(ConvertCore, Refusals) {
  struct Refusal {
    std::string input;
    Encoding from;
    Status status;
  };
  const std::vector<Refusal> refusals = {
      {doc("\\f1 \\u3904?").substr(0, 200), Encoding::HIMA, Status::Incomplete},
      {"{\\rtf1 \\u3904?}", Encoding::HIMA, Status::NoFontTable},
      {"{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0 abc}", Encoding::HIMA, Status::NothingToConvert},
      {"{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0 abc}", Encoding::BZD, Status::NothingToConvert},
  };
  for (const Refusal& c : refusals) {
    std::string out = "left over";
    const Result r = convert(c.input, c.from, Encoding::TY, {}, out);
    EXPECT_EQ(r.status, c.status) << c.input;
    EXPECT_FALSE(r.message.empty());
    EXPECT_TRUE(out.empty());
  }
}

TEST(ConvertCore, ChainsKeepTheTextAndCountTheTargetUnits) {
  std::string bzd, ty, back;
  ASSERT_TRUE(convert(doc("\\f1 \\u3904?\\u3906?"), Encoding::HIMA, Encoding::BZD, {}, bzd).ok());
  const Result chain = convert(bzd, Encoding::BZD, Encoding::TY, {}, ty);
  ASSERT_TRUE(chain.ok());
  EXPECT_EQ(chain.stats.converted, 2u);
  ASSERT_TRUE(convert(ty, Encoding::TY, Encoding::HIMA, {}, back).ok());
  EXPECT_NE(back.find("\\u3904?\\u3906?"), std::string::npos) << back;
}

}  // namespace
}  // namespace yig::conv
