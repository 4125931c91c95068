#include "documents/encoding_guess.h"

#include <algorithm>
#include <map>

#include "documents/document_host.h"
#include "engine/codec/cp936.h"
#include "engine/encodings.h"
#include "richtext/document.h"

namespace yig::docs {
namespace {

// The guess of an encoding: its code, the font conversions to it write, and
// its source choice.
EncodingGuess guessOf(Encoding e) {
  const EncodingInfo& i = info(e);
  return {i.code, i.targetFontName, static_cast<int>(e), i.targetCharset};
}

// A double-byte code page 936 character whose trail byte is below 0xA0.
bool hasLowTrailByte(char16_t c) {
  if (c < 0x80) return false;
  const auto code = cp936::encodeChar(c);
  return code && code->size() == 2 && static_cast<unsigned char>((*code)[1]) < 0xA0;
}

}  // namespace

std::optional<EncodingGuess> guessEncodingFromFonts(const rt::Document& doc) {
  std::map<Encoding, std::size_t> counts;
  const std::u16string_view text = doc.text();
  for (const rt::Document::Run& run : doc.runs()) {
    const auto e = encodingOfFontName(run.format->font.name);
    if (!e) continue;
    std::size_t n = 0;
    for (std::size_t i = run.start; i < run.end; ++i) {
      const char16_t c = text[i];
      if (c != u' ' && c != u'\r' && c != u'\n' && c != u'\t' && c != u'\v') ++n;
    }
    counts[*e] += n;
  }
  const auto best = std::max_element(counts.begin(), counts.end(),
                                     [](const auto& a, const auto& b) { return a.second < b.second; });
  if (best == counts.end() || best->second == 0) return std::nullopt;
  return guessOf(best->first);
}

std::optional<EncodingGuess> guessEncoding(std::u16string_view text) {
  const std::u16string_view prefix = text.substr(0, kGuessPrefixLength);
  // The two whole-prefix tests give the same answer at every position.
  const bool hasHg = prefix.find(u'\u5A25') != std::u16string_view::npos;   // 娥
  const bool hasFz = prefix.find(u'\uFF03') != std::u16string_view::npos;   // ＃
  for (const char16_t c : prefix) {
    if (c >= 0xF300 && c <= 0xF8FE) return guessOf(Encoding::HKA);
    if (c >= 0x0F00 && c <= 0x0FCE) return guessOf(Encoding::HIMA);
    if (hasHg) return guessOf(Encoding::HG);
    if (hasFz) return guessOf(Encoding::FZ);
    if (hasLowTrailByte(c)) return guessOf(Encoding::TY);
    if (c == 0xFE3D || c == 0xFE40) return guessOf(Encoding::BZD);
  }
  return std::nullopt;
}

std::optional<EncodingGuess> GuessTibetanEncoding(DocumentHost& host, std::u16string_view text) {
  const std::optional<EncodingGuess> guess = guessEncoding(text);
  if (!guess) return guess;
  rt::Document& editor = host.editor();
  const std::size_t start = editor.selStart(), length = editor.selLength();
  editor.select(0, editor.length());
  rt::FormatChange change;
  rt::Font font;
  font.name = std::u16string(guess->fontName);
  font.charset = guess->fontCharset;
  change.font = font;
  editor.applyFormat(change);
  editor.select(start, length);
  host.setFontBox(font.name);
  host.selectSourceEncoding(guess->sourceIndex, guess->code);
  return guess;
}

}  // namespace yig::docs
