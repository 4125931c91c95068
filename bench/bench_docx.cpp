// Converting a Word package in its own XML: a 1 MB .docx (a LibreOffice-made
// document whose body is grown to about 12 MB of XML: paragraphs of Tibetan
// runs in Microsoft Himalaya with Latin and Chinese between them) converted
// from Unicode to BZD and from BZD back, package read and written included;
// and a 1 MB .odt grown the same way (spans of a Tibetan text style).
#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "documents/docx_convert.h"
#include "documents/docx_zip.h"
#include "documents/odt_convert.h"

namespace {

constexpr std::array<const char*, 12> kSyllables = {"བཀྲ", "ཤིས", "བདེ", "ལེགས", "བོད", "ཡིག", "རྒྱ",
                                                   "མཚོ", "ལྷ", "ས", "སྐད", "ཆ"};

// The LibreOffice-made document `file` with paragraphs made by `paragraph`
// put into its `part` just after (or before) `where` until the package passes 1 MB.
std::string grown(const char* file, const char* part, const std::string& where, bool after,
                  const std::function<std::string(std::mt19937&)>& paragraph) {
  std::ifstream in(std::filesystem::path(__FILE__).parent_path().parent_path() / "tests/data/documents" / file,
                   std::ios::binary);
  const std::string base{std::istreambuf_iterator<char>(in), {}};
  std::mt19937 random(7);
  std::string body, error, out, xml;
  auto pkg = yig::docs::zip::Package::open(base, error);
  pkg->read(*pkg->find(part), xml, error);
  while (out.size() < (1u << 20)) {
    for (int p = 0; p < 2000; ++p) body += paragraph(random);
    std::string more = xml;
    more.insert(more.find(where) + (after ? where.size() : 0), body);
    auto again = yig::docs::zip::Package::open(base, error);
    again->write({{*again->find(part), more}}, out, error);
  }
  return out;
}

std::string syllables(std::mt19937& random) {
  std::string text;
  for (int s = 0; s < 12; ++s) text += std::string(kSyllables[random() % kSyllables.size()]) + "་";
  return text;
}

// Paragraphs of Tibetan runs in Microsoft Himalaya with Latin and Chinese between.
const std::string& himaPackage() {
  static const std::string package = grown("lo-hima.docx", "word/document.xml", "<w:body>", true, [](std::mt19937& random) {
    std::string p = "<w:p><w:pPr><w:pStyle w:val=\"Normal\"/></w:pPr>";
    for (int r = 0; r < 4; ++r) {
      p += "<w:r><w:rPr><w:rFonts w:ascii=\"Microsoft Himalaya\" w:hAnsi=\"Microsoft Himalaya\" "
           "w:cs=\"Microsoft Himalaya\"/><w:sz w:val=\"" + std::to_string(20 + random() % 20) + "\"/></w:rPr><w:t>";
      p += syllables(random);
      p += "</w:t></w:r><w:r><w:rPr/><w:t xml:space=\"preserve\"> No. " + std::to_string(random()) + " 中文 </w:t></w:r>";
    }
    return p + "</w:p>";
  });
  return package;
}

// Paragraphs of spans in the document's Tibetan text style, Latin and Chinese between.
const std::string& himaOdt() {
  static const std::string package = grown("lo-hima.odt", "content.xml", "</office:text>", false, [](std::mt19937& random) {
    std::string p = "<text:p text:style-name=\"P5\">";
    for (int r = 0; r < 4; ++r) {
      p += "<text:span text:style-name=\"T2\">" + syllables(random);
      p += "</text:span> No. " + std::to_string(random()) + " <text:span text:style-name=\"T6\">中文</text:span> ";
    }
    return p + "</text:p>";
  });
  return package;
}

template <class Convert>
void converting(benchmark::State& state, const std::string& package, yig::Encoding from, yig::Encoding to, Convert convert) {
  std::string out;
  for (auto _ : state) {
    auto outcome = convert(package, from, to, yig::conv::Options{}, out);
    if (!outcome.ok()) state.SkipWithError(outcome.error.c_str());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * package.size()));
  state.counters["package_bytes"] = static_cast<double>(package.size());
}

// The reference for a conversion, measured in the same run on a machine whose
// speed varies: the package unzipped and zipped again with its text part as
// it is (what any route through the XML costs at least).
void unzipZip(benchmark::State& state, const std::string& package, const char* part) {
  std::string out, error, body;
  for (auto _ : state) {
    auto pkg = yig::docs::zip::Package::open(package, error);
    const std::size_t i = *pkg->find(part);
    if (!pkg->read(i, body, error) || !pkg->write({{i, body}}, out, error)) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(out.data());
  }
}

void BM_DocxHimaToBzd(benchmark::State& state) {
  converting(state, himaPackage(), yig::Encoding::HIMA, yig::Encoding::BZD, yig::docs::docx::convertDocx);
}
BENCHMARK(BM_DocxHimaToBzd)->Unit(benchmark::kMillisecond);

void BM_DocxBzdToHima(benchmark::State& state) {
  std::string bzd;
  yig::docs::docx::convertDocx(himaPackage(), yig::Encoding::HIMA, yig::Encoding::BZD, {}, bzd);
  converting(state, bzd, yig::Encoding::BZD, yig::Encoding::HIMA, yig::docs::docx::convertDocx);
}
BENCHMARK(BM_DocxBzdToHima)->Unit(benchmark::kMillisecond);

void BM_DocxUnzipZip(benchmark::State& state) { unzipZip(state, himaPackage(), "word/document.xml"); }
BENCHMARK(BM_DocxUnzipZip)->Unit(benchmark::kMillisecond);

void BM_OdtHimaToBzd(benchmark::State& state) {
  converting(state, himaOdt(), yig::Encoding::HIMA, yig::Encoding::BZD, yig::docs::odt::convertOdt);
}
BENCHMARK(BM_OdtHimaToBzd)->Unit(benchmark::kMillisecond);

void BM_OdtUnzipZip(benchmark::State& state) { unzipZip(state, himaOdt(), "content.xml"); }
BENCHMARK(BM_OdtUnzipZip)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
