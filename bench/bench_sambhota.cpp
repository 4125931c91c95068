// Throughput of the Sambhota conversions on large documents: Unicode to
// Sambhota, Sambhota to Unicode, and the chain BZD to Sambhota, at 10 and 50 MB
// of RTF (bytes per second of input; the work area's reading of the result is
// included, as in a real request).
//
//     bench_sambhota [--benchmark_filter=...]
//
// The text is the bundled Kangyur sample repeated, one paragraph per line.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "engine/conversion_engine.h"
#include "engine/host.h"
#include "richtext/document.h"

namespace {

class BenchHost final : public yig::EngineHost {
 public:
  yig::rt::Document& editor() override { return editor_; }
  yig::rt::Document& workArea() override { return work_; }
  std::u16string sourceFontList() const override { return list; }
  std::u16string sambhotaFamily() const override { return u"Ededris"; }
  bool tibetanInterface() const override { return false; }
  std::u16string translateForDisplay(const std::u16string& c) const override { return c; }
  void showMessage(const std::u16string&) override {}
  void setProgress(int) override {}
  void setElapsedTime(const std::u16string&) override {}
  std::u16string list = u"Himalaya;Monlam;Tibetan ; Uni;????;";

 private:
  yig::rt::Document editor_, work_;
};

std::u16string sampleLines() {
  std::ifstream in(std::filesystem::path(__FILE__).parent_path().parent_path() / "tests/data/sambhota/roundtrip-sample.txt",
                   std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  std::string s = ss.str();
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out += static_cast<char16_t>(c);
      i += 1;
    } else {
      out += static_cast<char16_t>(((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F));
      i += 3;
    }
  }
  return out;
}

// A Microsoft Himalaya document of about `megabytes` MB.
std::string himalayaDocument(std::size_t megabytes) {
  const std::u16string text = sampleLines();
  std::string body;
  body.reserve(megabytes * 1000000 + 100000);
  while (body.size() < megabytes * 1000000) {
    for (char16_t c : text) {
      if (c == u'\n') body += "\\par\r\n";
      else if (c < 0x80) body += static_cast<char>(c);
      else body += "\\u" + std::to_string(static_cast<int>(c)) + "?";
    }
  }
  return "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}}\r\n"
         "\\viewkind4\\uc1\\pard\\f0\\fs24 " +
         body + "\\par\r\n}\r\n";
}

// The document in `code` at about `megabytes` MB: a 2 MB Unicode document
// converted once, its body then repeated (cached).
const std::string& document(const std::u16string& code, std::size_t megabytes) {
  static std::map<std::pair<std::u16string, std::size_t>, std::string> cache;
  auto key = std::make_pair(code, megabytes);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  std::string seed = himalayaDocument(2);
  if (code != u"HIMA") {
    BenchHost host;
    yig::ConversionEngine engine(host);
    engine.proceed = yig::kTrue;
    if (code == u"SAM") engine.WJZH_HIMA_SAM(seed);
    else engine.WJZH_HIMA_QT(seed, code);
    seed = host.workArea().rtf();
  }
  const std::size_t bodyStart = seed.find("\\pard") + 5;
  const std::size_t bodyEnd = seed.rfind('}');
  const std::string_view body(seed.data() + bodyStart, bodyEnd - bodyStart);
  std::string doc(seed, 0, bodyStart);
  doc.reserve(megabytes * 1000000 + body.size() * 2);
  while (doc.size() < megabytes * 1000000) doc += body;
  doc += "}\r\n";
  return cache.emplace(key, std::move(doc)).first->second;
}

void run(benchmark::State& state, const std::u16string& from, const std::u16string& to) {
  const std::size_t mb = static_cast<std::size_t>(state.range(0));
  const std::string& input = document(from, mb);
  for (auto _ : state) {
    BenchHost host;
    host.list = from == u"BZD" ? u" BZD;" : from == u"SAM" ? u"Dedris;Ededris;" : host.list;
    yig::ConversionEngine engine(host);
    engine.proceed = yig::kTrue;
    std::string zz = input;
    if (from == u"HIMA") engine.WJZH_HIMA_SAM(zz);
    else if (to == u"HIMA") engine.WJZH_SAM_HIMA(zz);
    else engine.WJZH_QT_SAM(zz, from);
    benchmark::DoNotOptimize(host.workArea().length());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
  state.counters["input_MB"] = static_cast<double>(input.size()) / 1e6;
}

void HimaToSam(benchmark::State& s) { run(s, u"HIMA", u"SAM"); }
void SamToHima(benchmark::State& s) { run(s, u"SAM", u"HIMA"); }
void BzdToSam(benchmark::State& s) { run(s, u"BZD", u"SAM"); }

// The work area reading a Unicode result of the size SamToHima writes: the
// share of SamToHima that is the rich-text reader's, not the conversion's.
void WorkAreaReadsUnicodeResult(benchmark::State& state) {
  const std::size_t mb = static_cast<std::size_t>(state.range(0));
  BenchHost host;
  yig::ConversionEngine engine(host);
  engine.proceed = yig::kTrue;
  std::string zz = document(u"SAM", mb);
  engine.WJZH_SAM_HIMA(zz);
  const std::string result = host.workArea().rtf();
  for (auto _ : state) {
    yig::rt::Document d;
    d.setRtf(result);
    benchmark::DoNotOptimize(d.length());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * document(u"SAM", mb).size()));
  state.counters["result_MB"] = static_cast<double>(result.size()) / 1e6;
}

BENCHMARK(HimaToSam)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(SamToHima)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BzdToSam)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(WorkAreaReadsUnicodeResult)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
