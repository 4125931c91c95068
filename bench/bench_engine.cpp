// Throughput of the conversion core on generated documents of 1, 10 and 50 MB
// of RTF (Unicode Tibetan as "\uN?" escapes; BZD as GBK byte escapes; Sambhota
// as ASCII glyphs in the Dedris fonts), with iconv's GBK to UTF-16 on the same
// number of bytes as the reference measured in the same run.
//
//   bench_engine --benchmark_filter=Core
//   /usr/bin/time -v yigsgyur convert ... (peak memory of the command-line tool)
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <map>
#include <string>

#include "engine/convert_core.h"
#include "engine/unicode_text_rtf.h"
#include "richtext/document.h"

namespace {

using yig::Encoding;

// A paragraph of ordinary Tibetan prose with a little Latin and Chinese.
const std::u16string kParagraph =
    u"\u0F56\u0F7C\u0F51\u0F0B\u0F40\u0FB1\u0F72\u0F0B\u0F51\u0F74\u0F66\u0F0B\u0F56\u0F56\u0F0B\u0F42\u0F66\u0F62\u0F0B"
    u"\u0F41\u0F44\u0F0B\u0F42\u0F72\u0F0B\u0F55\u0FB1\u0F72\u0F0B\u0F63\u0F7C\u0F0B 2017 \u0F63\u0F7C\u0F60\u0F72\u0F0B"
    u"\u0F62\u0F92\u0FB1\u0F63\u0F0B\u0F66\u0FA4\u0FB1\u0F72\u0F60\u0F72\u0F0B\u0F42\u0F53\u0F66\u0F0B\u0F5A\u0F74\u0F63"
    u"\u0F0B\u0F46\u0F7A\u0F0B\u0F41\u0F42\u0F0B\u0F56\u0F45\u0F74\u0F0D \u4E2D\u6587 \u0F56\u0F66\u0F92\u0FB2\u0F74\u0F56"
    u"\u0F0B\u0F54\u0F0B\u0F61\u0F72\u0F53\u0F0D\r\n";

// Cuts a document into header and body (between the font/colour tables and
// the final brace) so that the body can be repeated.
void split(const std::string& rtf, std::string& header, std::string& body) {
  const std::size_t bodyStart = rtf.find("\\viewkind") != std::string::npos ? rtf.find("\\viewkind") : rtf.find("\\pard");
  const std::size_t bodyEnd = rtf.rfind('}');
  header = rtf.substr(0, bodyStart);
  body = rtf.substr(bodyStart, bodyEnd - bodyStart);
}

std::string repeatTo(const std::string& header, const std::string& body, std::size_t bytes) {
  std::string doc;
  doc.reserve(bytes + body.size() + header.size() + 16);
  doc = header;
  while (doc.size() < bytes) {
    doc += body;
    doc += "\\par\r\n";
  }
  doc += "}\r\n";
  return doc;
}

// A document of about `mb` megabytes of RTF in `encoding`.
const std::string& document(int mb, Encoding encoding) {
  static std::map<std::pair<int, Encoding>, std::string> cache;
  static std::map<Encoding, std::pair<std::string, std::string>> parts;
  auto key = std::make_pair(mb, encoding);
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  if (parts.empty()) {
    std::u16string text;
    for (int i = 0; i < 400; ++i) text += kParagraph;
    yig::rt::Document doc;
    yig::InsertUnicodeText(doc, text, false);
    const std::string hima = doc.rtf();
    split(hima, parts[Encoding::HIMA].first, parts[Encoding::HIMA].second);
    for (Encoding e : {Encoding::BZD, Encoding::SAM}) {
      std::string out;
      yig::conv::convert(hima, Encoding::HIMA, e, {}, out);
      split(out, parts[e].first, parts[e].second);
    }
  }
  const auto& [header, body] = parts[encoding];
  return cache.emplace(key, repeatTo(header, body, static_cast<std::size_t>(mb) << 20)).first->second;
}

void core(benchmark::State& state, Encoding from, Encoding to) {
  const std::string& input = document(static_cast<int>(state.range(0)), from);
  std::string output;
  for (auto _ : state) {
    yig::conv::Result r = yig::conv::convert(input, from, to, {}, output);
    benchmark::DoNotOptimize(r.stats.converted);
    if (!r.ok()) state.SkipWithError("conversion refused");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(input.size()));
  state.counters["output_MB"] = static_cast<double>(output.size()) / (1 << 20);
}

// iconv's GBK to UTF-16 over as many bytes of GBK text as the document has.
void Iconv_GbkToUtf16(benchmark::State& state) {
  const std::size_t bytes = static_cast<std::size_t>(state.range(0)) << 20;
  std::string gbk;
  gbk.reserve(bytes);
  while (gbk.size() < bytes) gbk += "\xb2\xd8\xce\xc4 Tibetan \xd6\xd0\xce\xc4\r\n";
  std::string out(bytes * 2, '\0');
  iconv_t cd = iconv_open("UTF-16LE", "GBK");
  for (auto _ : state) {
    char* in = gbk.data();
    std::size_t inLeft = gbk.size();
    char* o = out.data();
    std::size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &o, &outLeft);
    benchmark::DoNotOptimize(o);
  }
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(gbk.size()));
}

void Core_HimaToBzd(benchmark::State& s) { core(s, Encoding::HIMA, Encoding::BZD); }
void Core_BzdToHima(benchmark::State& s) { core(s, Encoding::BZD, Encoding::HIMA); }
void Core_HimaToSam(benchmark::State& s) { core(s, Encoding::HIMA, Encoding::SAM); }
void Core_SamToHima(benchmark::State& s) { core(s, Encoding::SAM, Encoding::HIMA); }
void Core_BzdToSam(benchmark::State& s) { core(s, Encoding::BZD, Encoding::SAM); }

#define YIG_SIZES ->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()
BENCHMARK(Iconv_GbkToUtf16) YIG_SIZES;
BENCHMARK(Core_HimaToBzd) YIG_SIZES;
BENCHMARK(Core_BzdToHima) YIG_SIZES;
BENCHMARK(Core_HimaToSam) YIG_SIZES;
BENCHMARK(Core_SamToHima) YIG_SIZES;
BENCHMARK(Core_BzdToSam) YIG_SIZES;

}  // namespace

BENCHMARK_MAIN();
