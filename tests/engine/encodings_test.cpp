#include "engine/encodings.h"

#include <gtest/gtest.h>

#include <string>

namespace yig {
namespace {

std::string show(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

TEST(Encodings, FontNamesAreClassifiedAsWordAndLibreOfficeWriteThem) {
  struct Case {
    std::u16string_view name;
    std::optional<Encoding> encoding;
  };
  const Case cases[] = {
      {u"BZDBT", Encoding::BZD},
      {u"bzdbt  ", Encoding::BZD},
      {u"BZDBT (Body CS)", Encoding::BZD},
      {u"CHINATIBET", Encoding::TY},
      {u"TIBET", Encoding::TY},
      {u" Tibet ", Encoding::TY},
      {u"TIBETBT", Encoding::TY},
      // "Tibetan " with its blank is a Unicode font; without it, none of ours.
      {u"Tibetan Machine Uni", Encoding::HIMA},
      {u"TibetanMachine", std::nullopt},
      {u"A-Tibetan", Encoding::HG},
      {u"A-Tibetan (Body CS)", Encoding::HG},
      {u"JBHGZW1", Encoding::HG},
      {u"方正藏文新白体", Encoding::FZ},
      {u"方正藏文书宋", Encoding::FZ},
      {u"方正藏文新白体_Unicode", Encoding::HKA},
      {u"SUNSHINE", Encoding::HKA},
      {u"Microsoft Himalaya", Encoding::HIMA},
      {u"monlam uni ouchan2", Encoding::HIMA},
      {u"Dedris-a", Encoding::SAM},
      {u"EDEDRIS-VOWA  ", Encoding::SAM},
      {u"宋体", std::nullopt},
      {u"Times New Roman", std::nullopt},
      {u"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(show(c.name));
    EXPECT_EQ(encodingOfFontName(c.name), c.encoding);
    EXPECT_EQ(isNationalFontName(c.name), c.encoding && info(*c.encoding).national);
  }
}

TEST(Encodings, SambhotaFontIndexReadsTheSuffixOfEitherFamily) {
  struct Case {
    std::u16string_view name;
    std::optional<std::size_t> index;
  };
  const Case cases[] = {
      {u"Dedris-a", 0},
      {u"Ededris-a1", 1},
      {u"dedris-SYMA ", 28},
      {u"Ededris-vowa (Body CS)", 29},
      {u"Dedris-h", std::nullopt},
      {u"Dedris", std::nullopt},
      {u"Dedris-a12", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(sambhotaFontIndex(c.name), c.index) << show(c.name);
}

TEST(Encodings, CodesInAnyCaseAndThePanelOrder) {
  EXPECT_EQ(encodingFromCode(u"bzd"), Encoding::BZD);
  EXPECT_EQ(encodingFromCode("Hima"), Encoding::HIMA);
  EXPECT_EQ(encodingFromCode(u"HIM"), std::nullopt);
  for (std::size_t i = 0; i < kEncodingCount; ++i) EXPECT_EQ(static_cast<std::size_t>(encodings()[i].id), i);
}

}  // namespace
}  // namespace yig
