// Sorting lines of real Unicode Tibetan: 50,000 to 400,000 lines made from the
// bundled Kangyur phrases (each line a phrase from a random syllable on, so
// most lines differ), sorted with the built-in tables.
//
//     bench_sorting [--benchmark_filter=...]
//
// BM_SortText includes loading the two tables, as every sort command does;
// BM_SortTextComputed does the same with text where about one syllable in
// twenty is missing from the collation table (a particle stacked on it), so
// that those syllables are placed by their computed keys;
// BM_LoadTables measures that part alone; BM_SortCommand runs the editor
// command (taking the text out of the editor and putting the result back as
// RTF through the text-to-RTF routine).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/unicode_text_rtf.h"
#include "richtext/document.h"
#include "sorting/sort_command.h"
#include "sorting/tibetan_sort.h"

namespace {

std::u16string fromUtf8(const std::string& s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    char32_t c = b;
    const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (n > 1) c = b & (0x7F >> n);
    for (std::size_t k = 1; k < n && i + k < s.size(); ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += n;
    out.push_back(static_cast<char16_t>(c));
  }
  return out;
}

std::vector<std::u16string> phrases() {
  std::ifstream in(std::filesystem::path(__FILE__).parent_path().parent_path() / "tests/data/sorting/kangyur-phrases.txt",
                   std::ios::binary);
  std::vector<std::u16string> out;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) out.push_back(fromUtf8(line));
  }
  return out;
}

// `lines` lines joined by CR LF. With `stackEvery` > 0, about one syllable in
// `stackEvery` gets the particles འུའང stacked on it.
std::u16string sampleText(std::size_t lines, unsigned stackEvery = 0) {
  static const std::vector<std::u16string> source = phrases();
  std::mt19937 rng(6);
  std::u16string text;
  text.reserve(lines * 48);
  for (std::size_t i = 0; i < lines && !source.empty(); ++i) {
    const std::u16string& p = source[rng() % source.size()];
    // start after a random tsheg, so that lines differ
    std::size_t from = 0;
    for (int skip = static_cast<int>(rng() % 4); skip > 0; --skip) {
      const std::size_t t = p.find(u'\u0F0B', from);
      if (t == std::u16string::npos || t + 1 >= p.size()) break;
      from = t + 1;
    }
    if (stackEvery == 0) {
      text.append(p, from, 160);
    } else {
      for (std::size_t k = from; k < p.size() && k < from + 160; ++k) {
        if (p[k] == u'\u0F0B' && rng() % stackEvery == 0) text += u"འུའང";
        text += p[k];
      }
    }
    text += u"\r\n";
  }
  return text;
}

void BM_LoadTables(benchmark::State& state) {
  for (auto _ : state) {
    yig::sorting::SortTables t = yig::sorting::SortTables::builtin();
    benchmark::DoNotOptimize(t.collation.size());
  }
}
BENCHMARK(BM_LoadTables)->Unit(benchmark::kMillisecond);

void BM_SortText(benchmark::State& state) {
  const std::u16string text = sampleText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    const yig::sorting::SortTables tables = yig::sorting::SortTables::builtin();
    yig::sorting::SortedText r = yig::sorting::sortText(text, tables);
    benchmark::DoNotOptimize(r.sorted.data());
    state.counters["unrankable"] = static_cast<double>(r.unrankableLines);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size() * 2));
}
BENCHMARK(BM_SortText)->Arg(50'000)->Arg(100'000)->Arg(200'000)->Arg(400'000)->Unit(benchmark::kMillisecond);

void BM_SortTextComputed(benchmark::State& state) {
  const std::u16string text = sampleText(static_cast<std::size_t>(state.range(0)), 20);
  for (auto _ : state) {
    const yig::sorting::SortTables tables = yig::sorting::SortTables::builtin();
    yig::sorting::SortedText r = yig::sorting::sortText(text, tables);
    benchmark::DoNotOptimize(r.sorted.data());
    state.counters["unrankable"] = static_cast<double>(r.unrankableLines);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortTextComputed)->Arg(200'000)->Unit(benchmark::kMillisecond);

class BenchHost final : public yig::sorting::SortHost {
 public:
  yig::rt::Document doc;
  yig::rt::Document& editor() override { return doc; }
  bool selectionOnly() const override { return false; }
  std::u16string translateForDisplay(const std::u16string& c) const override { return c; }
  void showMessage(const std::u16string&) override {}
  void setProgress(int) override {}
};

void BM_SortCommand(benchmark::State& state) {
  const std::u16string text = sampleText(static_cast<std::size_t>(state.range(0)));
  const yig::sorting::SortTables tables = yig::sorting::SortTables::builtin();
  for (auto _ : state) {
    state.PauseTiming();
    BenchHost host;
    std::u16string copy = text;
    yig::InsertUnicodeText(host.doc, copy, false);
    state.ResumeTiming();
    yig::sorting::SortTibetanLines(host, tables);
    benchmark::DoNotOptimize(host.doc.length());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortCommand)->Arg(20'000)->Arg(200'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
