// Reading and writing a generated 20 MB RTF document: Tibetan as \uN? escapes,
// Chinese and national-standard characters as GBK byte escapes, Latin text,
// several fonts and colours, paragraphs of a few hundred characters.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "richtext/document.h"

namespace {

using yig::rt::CharFormat;
using yig::rt::Color;
using yig::rt::Document;
using yig::rt::Font;

constexpr std::size_t kTargetBytes = 20u << 20;

CharFormat format(std::u16string name, int charset, int size, std::optional<Color> color = std::nullopt) {
  CharFormat f;
  f.font = Font{std::move(name), charset, "fnil", -1};
  f.sizeHalfPoints = size;
  f.color = color;
  return f;
}

// A small deterministic generator, so every run measures the same document.
struct Lcg {
  std::uint32_t state = 12345;
  std::uint32_t next(std::uint32_t bound) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % bound;
  }
};

const std::string& sampleRtf() {
  static const std::string rtf = [] {
    const CharFormat tibetan = format(u"Microsoft Himalaya", 0, 48);
    const CharFormat tibetanRed = format(u"Microsoft Himalaya", 0, 48, Color{255, 0, 0});
    const CharFormat song = format(u"宋体", 134, 24);
    const CharFormat bzd = format(u"BZDBT", 134, 48, Color{0, 112, 192});
    const CharFormat latin = format(u"Tahoma", 0, 24);
    const std::u16string tibetanText = u"\u0F56\u0F40\u0FB2\u0F0B\u0F64\u0F72\u0F66\u0F0B\u0F56\u0F51\u0F7A\u0F0B"
                                       u"\u0F63\u0F7A\u0F42\u0F66\u0F0B\u0F66\u0F90\u0F51\u0F0B\u0F61\u0F72\u0F42\u0F0D";
    const std::u16string chineseText = u"藏文字典中华人民共和国测试";
    const std::u16string bzdText = u"啊阿埃挨哎唉哀皑癌蔼";
    const std::u16string latinText = u"Latin words {in braces} and a back\\slash ";

    Document doc;
    Lcg random;
    std::size_t estimate = 0;
    while (estimate < kTargetBytes) {
      for (int piece = 0; piece < 12; ++piece) {
        switch (random.next(5)) {
          case 0:
          case 1:
            doc.append(tibetanText, random.next(8) == 0 ? tibetanRed : tibetan);
            estimate += tibetanText.size() * 7 + 12;
            break;
          case 2:
            doc.append(chineseText, song);
            estimate += chineseText.size() * 8 + 12;
            break;
          case 3:
            doc.append(bzdText, bzd);
            estimate += bzdText.size() * 8 + 12;
            break;
          default:
            doc.append(latinText, latin);
            estimate += latinText.size() + 12;
            break;
        }
      }
      doc.append(u"\r", latin);
      estimate += 6;
    }
    return doc.rtf();
  }();
  return rtf;
}

void BM_ReadRtf(benchmark::State& state) {
  const std::string& rtf = sampleRtf();
  for (auto _ : state) {
    Document doc;
    doc.setRtf(rtf);
    benchmark::DoNotOptimize(doc.length());
  }
  const auto bytes = static_cast<double>(rtf.size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(rtf.size()));
  state.counters["MB"] = bytes / 1e6;
  state.counters["MB/s"] = benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReadRtf)->Unit(benchmark::kMillisecond);

void BM_WriteRtf(benchmark::State& state) {
  Document doc;
  doc.setRtf(sampleRtf());
  std::size_t written = 0;
  for (auto _ : state) {
    const std::string rtf = doc.rtf();
    written = rtf.size();
    benchmark::DoNotOptimize(rtf.data());
  }
  const auto bytes = static_cast<double>(written);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(written));
  state.counters["MB"] = bytes / 1e6;
  state.counters["MB/s"] = benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_WriteRtf)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
