// Fuzzes the conversion core on arbitrary RTF. The first byte chooses the
// source and target encodings, the second the size of the chunks the input is
// fed in. Whatever comes in:
// - feeding in chunks gives the same outcome and bytes as feeding it whole;
// - a converted document is well formed (its groups balance) and keeps every
//   control word the converter does not write itself, as many times as the
//   input has it: nothing of the document is dropped or added;
// - memory stays bounded (libFuzzer's -rss_limit_mb).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "engine/convert_core.h"
#include "richtext/rtf_lexer.h"

namespace {

using yig::Encoding;

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// Control words a conversion writes itself (fonts, colours, escapes).
bool convertersWord(std::string_view w) {
  for (std::string_view own : {"u", "U", "f", "af", "loch", "hich", "dbch", "rtlch", "ltrch", "cf", "red", "green",
                               "blue", "fnil", "fprq", "fcharset", "froman", "colortbl", "uc"}) {
    if (w == own) return true;
  }
  return false;
}

// Counts every other control word and symbol; false when the groups do not balance.
bool countWords(std::string_view rtf, std::map<std::string, int>& counts) {
  yig::rtf::Lexer lexer(rtf);
  long depth = 0;
  for (;;) {
    yig::rtf::Token t = lexer.next();
    if (t.kind == yig::rtf::TokenKind::End) break;
    if (t.kind == yig::rtf::TokenKind::GroupOpen) ++depth;
    if (t.kind == yig::rtf::TokenKind::GroupClose && --depth < 0) return false;
    if (t.kind == yig::rtf::TokenKind::ControlWord && !convertersWord(t.name)) ++counts[std::string(t.bytes)];
    if (t.kind == yig::rtf::TokenKind::Binary) ++counts["\\bin"];
  }
  return depth == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size > (1u << 16)) return 0;
  const Encoding from = static_cast<Encoding>(data[0] % 7);
  const Encoding to = static_cast<Encoding>((data[0] / 7) % 7);
  const std::size_t chunk = 1 + data[1] % 64;
  const std::string_view input(reinterpret_cast<const char*>(data + 2), size - 2);
  yig::conv::Options options;
  options.sambhotaFamily = (data[1] & 0x80) != 0 ? u"Dedris" : u"Ededris";

  std::string whole;
  const yig::conv::Result a = yig::conv::convert(input, from, to, options, whole);

  std::string pieces;
  yig::conv::Converter c(from, to, options, [&pieces](std::string_view b) { pieces.append(b); });
  for (std::size_t at = 0; at < input.size(); at += chunk) c.feed(input.substr(at, chunk));
  const yig::conv::Result b = c.finish();
  check(a.status == b.status, "chunked input changed the outcome");
  if (!a.ok()) return 0;
  check(whole == pieces, "chunked input changed the output");
  check(a.stats.red == b.stats.red && a.stats.converted == b.stats.converted, "chunked input changed the counts");

  std::map<std::string, int> in, out;
  if (!countWords(input, in)) return 0;  // a document whose groups do not balance is refused
  check(countWords(whole, out), "output groups do not balance");
  // The input's own words ending at a blank may be written again without it.
  auto normalise = [](std::map<std::string, int>& m) {
    std::map<std::string, int> n;
    for (auto& [k, v] : m) n[k.back() == ' ' ? k.substr(0, k.size() - 1) : k] += v;
    m.swap(n);
  };
  normalise(in);
  normalise(out);
  check(in == out, "a control word was dropped or added");
  return 0;
}
