#include "documents/text_decoding.h"

#include "engine/codec/cp936.h"

namespace yig::docs {

std::u16string_view statusTextOf(TextKind kind) {
  switch (kind) {
    case TextKind::Utf16LE: return u"Unicode文件";
    case TextKind::Utf16BE: return u"Unicode big edian文件";
    case TextKind::Utf8Bom:
    case TextKind::Utf8: return u"UTF-8文件";
    case TextKind::Ansi: break;
  }
  return u"普通txt文件";
}

std::optional<std::size_t> findProofSignature(std::string_view bytes) {
  for (std::size_t i = 0; i <= 500 && i + 1 < bytes.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) == 0x80 && static_cast<unsigned char>(bytes[i + 1]) == 0x86) return i;
  }
  return std::nullopt;
}

namespace {

bool startsWith(std::string_view bytes, std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; }

// One step of UTF-8 decoding: a valid sequence and its length, or the length
// of an invalid sequence's maximal subpart -- the bytes one U+FFFD stands for
// (at least one), as Unicode recommends: "\xE0\xBD" cut short is one
// replacement, an overlong "\xE0\x80\x80" three.
struct Utf8Step {
  std::size_t length;
  bool valid;
};

Utf8Step utf8Step(std::string_view bytes, std::size_t i, char32_t& code) {
  const auto b = static_cast<unsigned char>(bytes[i]);
  if (b < 0x80) {
    code = b;
    return {1, true};
  }
  std::size_t len;
  unsigned char lo = 0x80, hi = 0xBF;  // the allowed range of the next byte
  if (b >= 0xC2 && b <= 0xDF) {
    code = b & 0x1F;
    len = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    code = b & 0x0F;
    len = 3;
    if (b == 0xE0) lo = 0xA0;       // no overlong forms
    else if (b == 0xED) hi = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    code = b & 0x07;
    len = 4;
    if (b == 0xF0) lo = 0x90;       // no overlong forms
    else if (b == 0xF4) hi = 0x8F;  // nothing past U+10FFFF
  } else {
    return {1, false};
  }
  for (std::size_t k = 1; k < len; ++k) {
    if (i + k >= bytes.size()) return {k, false};
    const auto t = static_cast<unsigned char>(bytes[i + k]);
    if (t < lo || t > hi) return {k, false};
    code = (code << 6) | (t & 0x3F);
    lo = 0x80;
    hi = 0xBF;
  }
  return {len, true};
}

void appendCode(std::u16string& out, char32_t code) {
  if (code < 0x10000) {
    out += static_cast<char16_t>(code);
  } else {
    code -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (code >> 10));
    out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  }
}

// Valid UTF-8 throughout, with at least one multi-byte sequence.
bool isMultiByteUtf8(std::string_view bytes) {
  bool multi = false;
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    char32_t code;
    const Utf8Step step = utf8Step(bytes, i, code);
    if (!step.valid) return false;
    multi = true;
    i += step.length;
  }
  return multi;
}

}  // namespace

TextKind detectTextKind(std::string_view bytes) {
  if (startsWith(bytes, "\xFF\xFE")) return TextKind::Utf16LE;
  if (startsWith(bytes, "\xFE\xFF")) return TextKind::Utf16BE;
  if (startsWith(bytes, "\xEF\xBB\xBF")) return TextKind::Utf8Bom;
  if (isMultiByteUtf8(bytes)) return TextKind::Utf8;
  return TextKind::Ansi;
}

std::optional<std::u16string> decodeUtf8Strict(std::string_view bytes) {
  std::size_t bad = 0;
  std::u16string text = decodeUtf8Lenient(bytes, &bad);
  if (bad != std::string_view::npos) return std::nullopt;
  return text;
}

std::u16string decodeUtf8Lenient(std::string_view bytes, std::size_t* firstInvalid) {
  std::u16string out;
  out.reserve(bytes.size());
  std::size_t bad = std::string_view::npos;
  std::size_t i = 0;
  while (i < bytes.size()) {
    char32_t code;
    const Utf8Step step = utf8Step(bytes, i, code);
    if (step.valid) {
      appendCode(out, code);
    } else {
      if (bad == std::string_view::npos) bad = i;
      out += u'\xFFFD';
    }
    i += step.length;
  }
  if (firstInvalid) *firstInvalid = bad;
  return out;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string encodeUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    appendUtf8(out, c);
  }
  return out;
}

std::u16string decodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string out(bytes.size() / 2, u'\0');
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  for (std::size_t k = 0; k < out.size(); ++k) {
    const unsigned first = p[2 * k], second = p[2 * k + 1];
    out[k] = static_cast<char16_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
  }
  return out;
}

std::u16string normaliseLineEnds(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 32);
  std::size_t i = 0;
  while (i < text.size()) {
    // Copy the stretch without line ends in one go.
    std::size_t next = i;
    while (next < text.size() && text[next] != u'\r' && text[next] != u'\n') ++next;
    out.append(text.substr(i, next - i));
    if (next == text.size()) break;
    out += u"\r\n";
    i = next + ((text[next] == u'\r' && next + 1 < text.size() && text[next + 1] == u'\n') ? 2 : 1);
  }
  return out;
}

DecodedText decodeTextFile(std::string_view bytes) {
  DecodedText out;
  out.kind = detectTextKind(bytes);
  switch (out.kind) {
    case TextKind::Utf16LE:
      out.text = normaliseLineEnds(decodeUtf16(bytes.substr(2), false));
      break;
    case TextKind::Utf16BE:
      out.text = normaliseLineEnds(decodeUtf16(bytes.substr(2), true));
      break;
    case TextKind::Utf8Bom:
      out.text = normaliseLineEnds(decodeUtf8Lenient(bytes.substr(3)));
      break;
    case TextKind::Utf8:
      out.text = normaliseLineEnds(*decodeUtf8Strict(bytes));
      break;
    case TextKind::Ansi:
      out.text = cp936::decode(bytes);
      break;
  }
  return out;
}

bool looksBinary(std::string_view bytes, const DecodedText& decoded) {
  if (decoded.kind == TextKind::Utf16LE || decoded.kind == TextKind::Utf16BE) {
    return decoded.text.find(u'\0') != std::u16string::npos;
  }
  return bytes.find('\0') != std::string_view::npos;
}

}  // namespace yig::docs
