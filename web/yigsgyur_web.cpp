// The functions the web page calls: conversion (RTF, and Word and
// OpenDocument packages in their own XML), sorting and the encoding guess,
// over bytes the page hands in. Results stay in one buffer until the
// next call; the page copies them out at once.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "documents/docx_convert.h"
#include "documents/encoding_guess.h"
#include "documents/odt_convert.h"
#include "documents/text_decoding.h"
#include "engine/convert_core.h"
#include "engine/encodings.h"
#include "engine/message_map.h"
#include "sorting/tibetan_sort.h"

namespace {

using namespace yig;

std::string output;       // the converted or sorted bytes
std::string information;  // a JSON object about the last call

std::string jsonString(std::string_view utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out + '"';
}

std::string utf8(std::u16string_view text) { return docs::encodeUtf8(text); }

bool isRtf(std::string_view bytes) { return bytes.starts_with("{\\rtf"); }

// What a conversion did, for `information`.
std::string describe(const conv::Stats& stats, std::string_view message) {
  std::string red = "[";
  for (const conv::RedSample& sample : stats.firstRed) {
    if (red.size() > 1) red += ',';
    red += "{\"offset\":" + std::to_string(sample.offset) + ",\"text\":" + jsonString(utf8(sample.text)) + "}";
  }
  red += ']';
  return "{\"converted\":" + std::to_string(stats.converted) + ",\"red\":" + std::to_string(stats.red) +
         ",\"firstRed\":" + red + ",\"message\":" + jsonString(message) + "}";
}

conv::Options optionsFor(const char* sambhotaFamily) {
  conv::Options options;
  options.sambhotaFamily = docs::decodeUtf8Lenient(sambhotaFamily);
  return options;
}

// The kinds of package yig_convert_package takes.
enum PackageKind { kWord = 0, kOpenDocument = 1, kFlatOpenDocument = 2 };

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* yig_output() { return output.data(); }
EMSCRIPTEN_KEEPALIVE int yig_output_size() { return static_cast<int>(output.size()); }
EMSCRIPTEN_KEEPALIVE const char* yig_information() { return information.c_str(); }

/// Converts an RTF document from `from` to `to`; returns 0
/// when converted with nothing red, 1 with red characters, 2 when refused.
EMSCRIPTEN_KEEPALIVE int yig_convert(const char* data, int size, const char* from, const char* to,
                                     const char* sambhotaFamily, int tibetanInterface) {
  output.clear();
  const auto source = encodingFromCode(std::string_view(from));
  const auto target = encodingFromCode(std::string_view(to));
  if (!source || !target) {
    information = "{\"message\":\"unknown encoding\"}";
    return 2;
  }
  const std::string_view rtf(data, static_cast<std::size_t>(size));
  const conv::Result result = conv::convert(rtf, *source, *target, optionsFor(sambhotaFamily), output);
  std::u16string message = result.ok() ? std::u16string() : TranslateForDisplay(result.message, tibetanInterface != 0);
  information = describe(result.stats, utf8(message));
  if (!result.ok()) {
    output.clear();
    return 2;
  }
  return result.stats.red == 0 ? 0 : 1;
}

/// Converts a Word package (kind 0: .docx, .docm, .dotx), an OpenDocument
/// text (1: .odt) or a flat one (2: .fodt) in its own XML, as yig_convert.
EMSCRIPTEN_KEEPALIVE int yig_convert_package(const char* data, int size, int kind, const char* from, const char* to,
                                             const char* sambhotaFamily) {
  output.clear();
  const auto source = encodingFromCode(std::string_view(from));
  const auto target = encodingFromCode(std::string_view(to));
  if (!source || !target || kind < kWord || kind > kFlatOpenDocument) {
    information = "{\"message\":\"unknown encoding\"}";
    return 2;
  }
  const std::string_view bytes(data, static_cast<std::size_t>(size));
  const conv::Options options = optionsFor(sambhotaFamily);
  const docs::docx::Outcome outcome =
      kind == kWord           ? docs::docx::convertDocx(bytes, *source, *target, options, output)
      : kind == kOpenDocument ? docs::odt::convertOdt(bytes, *source, *target, options, output)
                              : docs::odt::convertFodt(bytes, *source, *target, options, output);
  information = describe(outcome.stats, outcome.error);
  if (!outcome.ok()) {
    output.clear();
    return 2;
  }
  return outcome.stats.red == 0 ? 0 : 1;
}

/// The encoding whose fonts draw the most characters of a package's text
/// parts; "" when no font of a Tibetan encoding draws any.
EMSCRIPTEN_KEEPALIVE const char* yig_guess_package(const char* data, int size, int kind) {
  static std::string code;
  code.clear();
  const std::string_view bytes(data, static_cast<std::size_t>(size));
  std::string error;
  const std::vector<docs::docx::PartEncodings> parts = kind == kWord           ? docs::docx::docxEncodings(bytes, error)
                                                       : kind == kOpenDocument ? docs::odt::odtEncodings(bytes, error)
                                                                               : docs::odt::fodtEncodings(bytes, error);
  std::array<std::size_t, kEncodingCount> total{};
  for (const auto& part : parts) {
    for (std::size_t e = 0; e < kEncodingCount; ++e) total[e] += part.characters[e];
  }
  const auto most = std::max_element(total.begin(), total.end());
  if (*most > 0) code = utf8(encodings()[static_cast<std::size_t>(most - total.begin())].code);
  return code.c_str();
}

/// The encoding whose fonts draw most of an RTF document's text (each tried
/// in turn), or for text the guess from its first characters; "" when none.
EMSCRIPTEN_KEEPALIVE const char* yig_guess(const char* data, int size) {
  static std::string code;
  code.clear();
  const std::string_view bytes(data, static_cast<std::size_t>(size));
  if (!isRtf(bytes)) {
    const docs::DecodedText text = docs::decodeTextFile(bytes);
    if (const auto guess = docs::guessEncoding(text.text)) code = utf8(guess->code);
    return code.c_str();
  }
  std::size_t best = 0;
  for (const EncodingInfo& e : encodings()) {
    const Encoding target = e.id == Encoding::HIMA ? Encoding::BZD : Encoding::HIMA;
    std::string scratch;
    const conv::Result result = conv::convert(bytes, e.id, target, conv::Options{}, scratch);
    if (result.ok() && result.stats.converted > best) {
      best = result.stats.converted;
      code = utf8(e.code);
    }
  }
  return code.c_str();
}

/// Sorts the lines of Unicode Tibetan text in dictionary order, written back
/// in the input's form (UTF-8 with or without signature, UTF-16) with its
/// line ends (LF alone when it had no CR).
EMSCRIPTEN_KEEPALIVE int yig_sort(const char* data, int size) {
  output.clear();
  std::string_view bytes(data, static_cast<std::size_t>(size));
  std::string signature;
  std::u16string decoded;
  const bool utf16 = bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
  const bool bigEndian = bytes.starts_with("\xFE\xFF");
  if (utf16) {
    signature = std::string(bytes.substr(0, 2));
    decoded = docs::decodeUtf16(bytes.substr(2), bigEndian);
  } else {
    if (bytes.starts_with("\xEF\xBB\xBF")) signature = std::string(bytes.substr(0, 3));
    decoded = docs::decodeUtf8Lenient(bytes.substr(signature.size()));
  }
  const bool crlf = decoded.find(u'\r') != std::u16string::npos;
  const std::u16string text = docs::normaliseLineEnds(decoded);
  if (!text.empty() && !sorting::looksLikeUnicodeTibetan(text)) {
    information = "{\"message\":" + jsonString(utf8(sorting::kNotTibetanMessage)) + "}";
    return 2;
  }
  const sorting::SortedText sorted = sorting::sortText(text, sorting::SortTables::builtin());
  std::u16string result = sorted.sorted + sorted.unrankable;
  if (!crlf) {
    std::u16string lf;
    for (std::size_t i = 0; i < result.size(); ++i) {
      if (result[i] != u'\r' || i + 1 == result.size() || result[i + 1] != u'\n') lf.push_back(result[i]);
    }
    result.swap(lf);
  }
  output = signature;
  if (utf16) {
    for (const char16_t c : result) {
      const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
      output += bigEndian ? high : low;
      output += bigEndian ? low : high;
    }
  } else {
    output += utf8(result);
  }
  information = "{\"sorted\":" + std::to_string(sorted.sortedLines) + ",\"unrankable\":" +
                std::to_string(sorted.unrankableLines) + ",\"message\":" + jsonString(utf8(sorting::kSortDoneMessage)) +
                "}";
  return 0;
}

/// An interface text (its Chinese form) in Tibetan, from the interface table.
EMSCRIPTEN_KEEPALIVE const char* yig_interface_text(const char* chinese, int tibetan) {
  static std::string text;
  text = utf8(TranslateForDisplay(docs::decodeUtf8Lenient(chinese), tibetan != 0));
  return text.c_str();
}

}  // extern "C"
