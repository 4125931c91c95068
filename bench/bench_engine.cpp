// Throughput of the national-standard conversions on generated documents of
// 1, 10 and 50 MB of RTF, in the form the rich-text model writes (Unicode
// Tibetan as "\uN?" escapes in Microsoft Himalaya; BZD as GBK byte escapes).
//
//   Engine/*   the operation alone: its result is kept as a string
//   Request/*  the operation with the work area: the result is read into the
//              rich-text model, as inside a conversion request
//
//   bench_engine --benchmark_filter=Engine
//   /usr/bin/time -v bench_engine --benchmark_filter='Engine_HimaToBzd/50'   (peak memory)
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "engine/conversion_engine.h"
#include "engine/engine_internals.h"
#include "engine/host.h"
#include "engine/unicode_text_rtf.h"
#include "richtext/document.h"

namespace {

class BenchHost final : public yig::EngineHost {
 public:
  explicit BenchHost(std::u16string list) : list_(std::move(list)) {}
  yig::rt::Document& editor() override { return editor_; }
  yig::rt::Document& workArea() override { return area_; }
  std::u16string sourceFontList() const override { return list_; }
  std::u16string sambhotaFamily() const override { return u"Ededris"; }
  bool tibetanInterface() const override { return false; }
  std::u16string translateForDisplay(const std::u16string& s) const override { return s; }
  void showMessage(const std::u16string&) override {}
  void setProgress(int) override {}
  void setElapsedTime(const std::u16string&) override {}

 private:
  std::u16string list_;
  yig::rt::Document editor_, area_;
};

// A paragraph of ordinary Tibetan prose with a little Latin and Chinese.
const std::u16string kParagraph =
    u"\u0F56\u0F7C\u0F51\u0F0B\u0F40\u0FB1\u0F72\u0F0B\u0F51\u0F74\u0F66\u0F0B\u0F56\u0F56\u0F0B\u0F42\u0F66\u0F62\u0F0B"
    u"\u0F41\u0F44\u0F0B\u0F42\u0F72\u0F0B\u0F55\u0FB1\u0F72\u0F0B\u0F63\u0F7C\u0F0B 2017 \u0F63\u0F7C\u0F60\u0F72\u0F0B"
    u"\u0F62\u0F92\u0FB1\u0F63\u0F0B\u0F66\u0FA4\u0FB1\u0F72\u0F60\u0F72\u0F0B\u0F42\u0F53\u0F66\u0F0B\u0F5A\u0F74\u0F63"
    u"\u0F0B\u0F46\u0F7A\u0F0B\u0F41\u0F42\u0F0B\u0F56\u0F45\u0F74\u0F0D \u4E2D\u6587 \u0F56\u0F66\u0F92\u0FB2\u0F74\u0F56"
    u"\u0F0B\u0F54\u0F0B\u0F61\u0F72\u0F53\u0F0D\r\n";

// Cuts a whole document into header and body (between "\viewkind" and the
// final "\par }") so that the body can be repeated.
void split(const std::string& rtf, std::string& header, std::string& body) {
  std::size_t bodyStart = rtf.find("\\viewkind");
  std::size_t bodyEnd = rtf.rfind("\\par }");
  header = rtf.substr(0, bodyStart + 9);
  body = rtf.substr(bodyStart + 9, bodyEnd - bodyStart - 9);
}

std::string repeatTo(const std::string& header, const std::string& body, std::size_t bytes) {
  std::string doc;
  doc.reserve(bytes + body.size() + header.size() + 16);
  doc = header;
  while (doc.size() < bytes) {
    doc += body;
    doc += "\\par\r\n";
  }
  doc += "\\par }\r\n";
  return doc;
}

// A document of about `mb` megabytes of RTF: Unicode Tibetan, or BZD as the
// rich-text model writes it after a conversion.
const std::string& document(int mb, bool bzd) {
  static std::map<std::pair<int, bool>, std::string> cache;
  auto key = std::make_pair(mb, bzd);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  static std::string himaHeader, himaBody, bzdHeader, bzdBody;
  if (himaBody.empty()) {
    std::u16string text;
    for (int i = 0; i < 400; ++i) text += kParagraph;
    yig::rt::Document doc;
    yig::InsertUnicodeText(doc, text, false);
    split(doc.rtf(), himaHeader, himaBody);
    BenchHost host(u"Himalaya;");
    yig::ConversionEngine engine(host);
    engine.proceed = yig::kTrue;
    std::string zz = doc.rtf();
    engine.WJZH_HIMA_QT(zz, u"BZD");
    split(host.workArea().rtf(), bzdHeader, bzdBody);
  }
  std::size_t target = static_cast<std::size_t>(mb) << 20;
  return cache.emplace(key, bzd ? repeatTo(bzdHeader, bzdBody, target) : repeatTo(himaHeader, himaBody, target))
      .first->second;
}

void run(benchmark::State& state, bool toBzd, bool workArea) {
  int mb = static_cast<int>(state.range(0));
  const std::string& input = document(mb, !toBzd);
  BenchHost host(toBzd ? u"Himalaya;" : u" BZD;");
  std::string output;
  for (auto _ : state) {
    state.PauseTiming();
    std::string zz = input;
    yig::ConversionEngine engine(host);
    yig::EngineInternals::copyOutputTo(engine, &output, workArea);
    engine.proceed = yig::kTrue;
    state.ResumeTiming();
    if (toBzd) {
      engine.WJZH_HIMA_QT(zz, u"BZD");
    } else {
      engine.WJZH_QT_HIMA(zz, u"BZD");
    }
    benchmark::DoNotOptimize(output.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(input.size()));
  state.counters["input_MB"] = static_cast<double>(input.size()) / (1 << 20);
  state.counters["output_MB"] = static_cast<double>(output.size()) / (1 << 20);
}

void Engine_HimaToBzd(benchmark::State& s) { run(s, true, false); }
void Engine_BzdToHima(benchmark::State& s) { run(s, false, false); }
void Request_HimaToBzd(benchmark::State& s) { run(s, true, true); }
void Request_BzdToHima(benchmark::State& s) { run(s, false, true); }

BENCHMARK(Engine_HimaToBzd)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(Engine_BzdToHima)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(Request_HimaToBzd)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(Request_BzdToHima)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
