// Opening large plain-text files: a 50 MB UTF-16 file of Tibetan lines and a
// 50 MB code page 936 (GBK) file of national-standard Tibetan and Chinese.
// "Decode" measures reading and decoding alone; "Open" the whole open command
// (for UTF-16, the text becomes RTF and is loaded into the editor; for GBK the
// editor takes the text directly), both with the encoding guess.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "documents/file_io.h"
#include "documents/open_document.h"
#include "documents/recording_host.h"
#include "documents/text_decoding.h"
#include "engine/codec/cp936.h"

namespace {

constexpr std::size_t kTargetBytes = 50u << 20;

std::string benchFile(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::string("yig-bench-") + std::to_string(::getpid()) + "-" + name))
      .string();
}

const std::string& utf16File() {
  static const std::string path = [] {
    const std::u16string line =
        u"\u0F56\u0F40\u0FB2\u0F0B\u0F64\u0F72\u0F66\u0F0B\u0F56\u0F51\u0F7A\u0F0B\u0F63\u0F7A\u0F42\u0F66\u0F0D "
        u"\u0F66\u0F90\u0F51\u0F0B\u0F61\u0F72\u0F42\u0F0B\u0F60\u0F51\u0F72\u0F0B\u0F53\u0F72\u0F0B 藏文 Tibetan\r\n";
    std::string bytes = "\xFF\xFE";
    bytes.reserve(kTargetBytes + 256);
    while (bytes.size() < kTargetBytes) {
      for (const char16_t c : line) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
      }
    }
    const std::string p = benchFile("utf16.txt");
    if (!yig::docs::writeFileAtomically(p, bytes).empty()) std::abort();
    return p;
  }();
  return path;
}

const std::string& gbkFile() {
  static const std::string path = [] {
    // National-standard Tibetan is stored in GBK's user-defined and symbol areas;
    // mixed here with ordinary Chinese and ASCII.
    const std::string line = yig::cp936::encode(u"啊阿埃挨哎唉哀皑癌蔼矮艾碍爱隘鞍氨安俺按暗岸胺案 藏文字典 abc ＃︽﹀\r\n");
    std::string bytes;
    bytes.reserve(kTargetBytes + 256);
    while (bytes.size() < kTargetBytes) bytes += line;
    const std::string p = benchFile("gbk.txt");
    if (!yig::docs::writeFileAtomically(p, bytes).empty()) std::abort();
    return p;
  }();
  return path;
}

void decode(benchmark::State& state, const std::string& path) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    const yig::docs::FileRead file = yig::docs::readWholeFile(path);
    const yig::docs::DecodedText decoded = yig::docs::decodeTextFile(file.bytes);
    benchmark::DoNotOptimize(yig::docs::guessEncoding(decoded.text));
    bytes = file.bytes.size();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}

void open(benchmark::State& state, const std::string& path) {
  const std::size_t bytes = std::filesystem::file_size(path);
  for (auto _ : state) {
    yig::docs::RecordingHost host;
    const yig::docs::OpenOutcome outcome = yig::docs::OpenDocument(host, path);
    if (!outcome.ok()) state.SkipWithError(outcome.error.c_str());
    benchmark::DoNotOptimize(host.editor().length());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}

void BM_DecodeUtf16(benchmark::State& state) { decode(state, utf16File()); }
void BM_DecodeGbk(benchmark::State& state) { decode(state, gbkFile()); }
void BM_OpenUtf16(benchmark::State& state) { open(state, utf16File()); }
void BM_OpenGbk(benchmark::State& state) { open(state, gbkFile()); }

BENCHMARK(BM_DecodeUtf16)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DecodeGbk)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OpenUtf16)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_OpenGbk)->Unit(benchmark::kMillisecond)->Iterations(1);

// The generated files are removed when the program ends.
struct Cleanup {
  ~Cleanup() {
    std::remove(benchFile("utf16.txt").c_str());
    std::remove(benchFile("gbk.txt").c_str());
  }
} cleanup;

}  // namespace
BENCHMARK_MAIN();
