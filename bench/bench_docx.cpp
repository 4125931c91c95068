// Converting a Word package in its own XML: a 1 MB .docx (a LibreOffice-made
// document whose body is grown to about 12 MB of XML: paragraphs of Tibetan
// runs in Microsoft Himalaya with Latin and Chinese between them) converted
// from Unicode to BZD and from BZD back, package read and written included.
#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "documents/docx_convert.h"
#include "documents/docx_zip.h"

namespace {

const std::string& himaPackage() {
  static const std::string package = [] {
    std::ifstream in(std::filesystem::path(__FILE__).parent_path().parent_path() / "tests/data/documents/lo-hima.docx",
                     std::ios::binary);
    const std::string base{std::istreambuf_iterator<char>(in), {}};
    static constexpr std::array<const char*, 12> kSyllables = {"བཀྲ", "ཤིས", "བདེ", "ལེགས", "བོད", "ཡིག", "རྒྱ",
                                                               "མཚོ", "ལྷ", "ས", "སྐད", "ཆ"};
    std::mt19937 random(7);
    std::string body;
    std::string error, out;
    auto pkg = yig::docs::zip::Package::open(base, error);
    std::string xml;
    pkg->read(*pkg->find("word/document.xml"), xml, error);
    while (out.size() < (1u << 20)) {
      for (int p = 0; p < 2000; ++p) {
        body += "<w:p><w:pPr><w:pStyle w:val=\"Normal\"/></w:pPr>";
        for (int r = 0; r < 4; ++r) {
          body += "<w:r><w:rPr><w:rFonts w:ascii=\"Microsoft Himalaya\" w:hAnsi=\"Microsoft Himalaya\" "
                  "w:cs=\"Microsoft Himalaya\"/><w:sz w:val=\"" + std::to_string(20 + random() % 20) +
                  "\"/></w:rPr><w:t>";
          for (int s = 0; s < 12; ++s) body += std::string(kSyllables[random() % kSyllables.size()]) + "་";
          body += "</w:t></w:r><w:r><w:rPr/><w:t xml:space=\"preserve\"> No. " + std::to_string(random()) +
                  " 中文 </w:t></w:r>";
        }
        body += "</w:p>";
      }
      std::string grown = xml;
      grown.insert(grown.find("<w:body>") + 8, body);
      auto again = yig::docs::zip::Package::open(base, error);
      again->write({{*again->find("word/document.xml"), grown}}, out, error);
    }
    return out;
  }();
  return package;
}

void BM_DocxHimaToBzd(benchmark::State& state) {
  const std::string& package = himaPackage();
  std::string out;
  for (auto _ : state) {
    auto outcome = yig::docs::docx::convertDocx(package, yig::Encoding::HIMA, yig::Encoding::BZD, {}, out);
    if (!outcome.ok()) state.SkipWithError(outcome.error.c_str());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * package.size()));
  state.counters["package_bytes"] = static_cast<double>(package.size());
}
BENCHMARK(BM_DocxHimaToBzd)->Unit(benchmark::kMillisecond);

void BM_DocxBzdToHima(benchmark::State& state) {
  std::string bzd;
  yig::docs::docx::convertDocx(himaPackage(), yig::Encoding::HIMA, yig::Encoding::BZD, {}, bzd);
  std::string out;
  for (auto _ : state) {
    auto outcome = yig::docs::docx::convertDocx(bzd, yig::Encoding::BZD, yig::Encoding::HIMA, {}, out);
    if (!outcome.ok()) state.SkipWithError(outcome.error.c_str());
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["package_bytes"] = static_cast<double>(bzd.size());
}
BENCHMARK(BM_DocxBzdToHima)->Unit(benchmark::kMillisecond);

// The reference for the two above, measured in the same run on a machine
// whose speed varies: the package unzipped and zipped again with its body as
// it is (what any route through the XML costs at least).
void BM_DocxUnzipZip(benchmark::State& state) {
  const std::string& package = himaPackage();
  std::string out, error, body;
  for (auto _ : state) {
    auto pkg = yig::docs::zip::Package::open(package, error);
    const std::size_t i = *pkg->find("word/document.xml");
    if (!pkg->read(i, body, error) || !pkg->write({{i, body}}, out, error)) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_DocxUnzipZip)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
