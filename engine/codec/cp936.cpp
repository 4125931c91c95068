#include "engine/codec/cp936.h"

#include "engine/codec/cp936_data.h"

namespace yig::cp936 {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool isTrailByte(std::uint8_t b) { return b >= detail::kTrailFirst && b <= detail::kTrailLast && b != 0x7F; }

char16_t lookupPair(std::uint8_t lead, std::uint8_t trail) {
  return detail::kDecode[lead - detail::kLeadFirst][trail - detail::kTrailFirst];
}

std::uint16_t lookupCode(char16_t c) {
  return detail::kEncodeBlock[detail::kEncodePage[c >> 8]][c & 0xFF];
}

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::optional<char16_t> decodePair(std::uint8_t lead, std::uint8_t trail) {
  if (!isLeadByte(lead) || !isTrailByte(trail)) return std::nullopt;
  char16_t c = lookupPair(lead, trail);
  if (c == 0) return std::nullopt;
  return c;
}

std::optional<char16_t> decodeSingle(std::uint8_t byte) {
  if (byte < 0x80) return static_cast<char16_t>(byte);
  if (byte == 0x80) return char16_t{0x20AC};
  return std::nullopt;
}

std::u16string decode(std::string_view bytes) {
  // Never more characters than bytes: write into a buffer of that size, then trim.
  std::u16string out(bytes.size(), u'\0');
  char16_t* p = out.data();
  const auto* s = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const std::uint8_t b = s[i];
    if (b < 0x80) {
      *p++ = b;
      ++i;
      continue;
    }
    if (b == 0x80) {
      *p++ = 0x20AC;
      ++i;
      continue;
    }
    if (!isLeadByte(b) || i + 1 == n) {  // 0xFF, or a lead byte with nothing after it
      *p++ = kReplacement;
      ++i;
      continue;
    }
    const std::uint8_t t = s[i + 1];
    if (!isTrailByte(t)) {
      // The lead byte alone is bad; the next byte starts afresh, so a CR, a
      // brace or another lead byte after a stray lead byte is not swallowed.
      *p++ = kReplacement;
      ++i;
      continue;
    }
    if (char16_t c = lookupPair(b, t); c != 0) {
      *p++ = c;
      i += 2;
    } else if (t < 0x80) {
      // Unmapped pair whose second byte is ASCII: keep that byte.
      *p++ = kReplacement;
      ++i;
    } else {
      *p++ = kReplacement;
      i += 2;
    }
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
  return out;
}

std::optional<std::string> encodeChar(char16_t c) {
  if (c < 0x80) return std::string(1, static_cast<char>(c));
  const std::uint16_t code = lookupCode(c);
  if (code == 0) return std::nullopt;
  if (code < 0x100) return std::string(1, static_cast<char>(code));
  return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

std::string encode(std::u16string_view text, char replacement) {
  // At most two bytes per unit: write into a buffer of that size, then trim.
  std::string out(text.size() * 2, '\0');
  char* p = out.data();
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = text[i];
    if (c < 0x80) {
      *p++ = static_cast<char>(c);
      continue;
    }
    const std::uint16_t code = lookupCode(c);
    if (code == 0) {
      // A surrogate pair is one character and gets one replacement.
      if (isHighSurrogate(c) && i + 1 < n && isLowSurrogate(text[i + 1])) ++i;
      *p++ = replacement;
    } else if (code < 0x100) {
      *p++ = static_cast<char>(code);
    } else {
      *p++ = static_cast<char>(code >> 8);
      *p++ = static_cast<char>(code & 0xFF);
    }
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
  return out;
}

bool canEncode(std::u16string_view text) {
  for (char16_t c : text) {
    if (c >= 0x80 && lookupCode(c) == 0) return false;
  }
  return true;
}

}  // namespace yig::cp936
